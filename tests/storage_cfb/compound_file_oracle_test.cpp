// Files we write are read by independent implementations (python3-olefile, gsf), and files gsf
// writes are read by us.
#include "cfb_test_support.h"

#include "storage/cfb/compound_file.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace cfbtest;

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kGsf = QStringLiteral("/usr/bin/gsf");
constexpr Guid kClsid = Guid::parse("A1B2C3D4-0E1F-4A5B-9C8D-7E6F5A4B3C2D");

using StreamSet = std::map<QString, QByteArray>;

QString writeFile(const QTemporaryDir& dir, const Guid& clsid, const StreamSet& streams)
{
    CompoundFileWriter writer;
    writer.setRootClassId(clsid);
    for (const auto& [name, data] : streams)
        EXPECT_EQ(writer.addStream(name, data), S_OK);
    QString path = dir.filePath("out.cfb");
    EXPECT_EQ(writer.writeFile(path, WriteMode::Replace), S_OK);
    return path;
}

void expectOlefileSees(const QString& path, const Guid& clsid, const StreamSet& streams)
{
    ToolResult r = runTool(kPython, {KAVRO_CFB_OLEFILE_SCRIPT, path});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonObject json = QJsonDocument::fromJson(r.out).object();
    std::string expectedClsid = clsid.isNull() ? "" : clsid.toString().substr(1, 36);
    EXPECT_EQ(json["root_clsid"].toString().toStdString(), expectedClsid);
    QJsonObject seen = json["streams"].toObject();
    EXPECT_EQ(seen.size(), qsizetype(streams.size()));
    for (const auto& [name, data] : streams) {
        QJsonObject s = seen[name].toObject();
        EXPECT_EQ(s["size"].toInteger(-1), data.size()) << name.toStdString();
        EXPECT_EQ(s["sha256"].toString(), sha256Hex(data)) << name.toStdString();
    }
}

// `gsf list` prints one line per stream: "f", an optional date and time, the size, the name.
std::map<QString, qint64> gsfList(const QString& path)
{
    std::map<QString, qint64> sizes;
    ToolResult r = runTool(kGsf, {"list", path});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    static const QRegularExpression line(R"(^f\s+(?:\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\s+)?(\d+) (.+)$)");
    for (const QString& text : QString::fromUtf8(r.out).split('\n')) {
        QRegularExpressionMatch m = line.match(text);
        // gsf shows a root without children as an entry of its own.
        if (m.hasMatch() && m.captured(2) != "*root*")
            sizes[m.captured(2)] = m.captured(1).toLongLong();
    }
    return sizes;
}

void expectGsfSees(const QString& path, const StreamSet& streams)
{
    std::map<QString, qint64> listed = gsfList(path);
    EXPECT_EQ(listed.size(), streams.size());
    for (const auto& [name, data] : streams) {
        EXPECT_EQ(listed[name], data.size()) << name.toStdString();
        ToolResult r = runTool(kGsf, {"cat", path, name});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out == data) << name.toStdString() << ": " << r.out.size() << " bytes";
    }
}

class IndependentReaders : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveTool(kPython) || !haveTool(kGsf))
            GTEST_SKIP() << "needs /usr/bin/python3 with python3-olefile and gsf (libgsf-bin)";
        ASSERT_TRUE(dir_.isValid());
    }

    void check(const Guid& clsid, const StreamSet& streams)
    {
        QString path = writeFile(dir_, clsid, streams);
        expectOlefileSees(path, clsid, streams);
        expectGsfSees(path, streams);
    }

    QTemporaryDir dir_;
};

TEST_F(IndependentReaders, OneStreamOfEachBoundarySize)
{
    for (qsizetype size : {0, 1, 63, 64, 4095, 4096, 4097}) {
        SCOPED_TRACE(size);
        check(kClsid, {{"Contents", patternBytes(size, uint32_t(size))}});
    }
}

TEST_F(IndependentReaders, ManyStreamsAtOnce)
{
    StreamSet streams;
    const qsizetype sizes[] = {0, 1, 63, 64, 65, 200, 4095, 4096, 4097, 10000, 3000, 77};
    for (size_t i = 0; i < std::size(sizes); ++i)
        streams[QString("Item %1").arg(i)] = patternBytes(sizes[i], uint32_t(100 + i));
    // Enough streams for a directory of several sectors and a deep sibling tree.
    for (int i = 0; i < 30; ++i)
        streams[QString("n%1").arg(i * 37)] = patternBytes(i * 11, uint32_t(i));
    streams[QString(31, 'L')] = "longest name";
    check(kClsid, streams);
}

TEST_F(IndependentReaders, NullClassIdAndNoStreams)
{
    check(GUID_NULL, {});
}

TEST_F(IndependentReaders, StreamNeedingDifat)
{
    check(kClsid, {{"Big", patternBytes(8 * 1024 * 1024, 42)}, {"Small", "tail"}});
}

TEST_F(IndependentReaders, WeReadWhatGsfWrites)
{
    StreamSet streams;
    const qsizetype sizes[] = {0, 1, 63, 64, 4095, 4096, 4097, 100000, 8 * 1024 * 1024};
    QStringList args = {"createole", dir_.filePath("gsf.cfb")};
    for (size_t i = 0; i < std::size(sizes); ++i) {
        QString name = QString("part%1").arg(i);
        QByteArray data = patternBytes(sizes[i], uint32_t(7 * i));
        QFile f(dir_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(data), data.size());
        f.close();
        args << f.fileName();
        streams[name] = data;
    }
    ToolResult r = runTool(kGsf, args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    CompoundFileReader reader;
    ASSERT_EQ(CompoundFileReader::open(dir_.filePath("gsf.cfb"), &reader), S_OK);
    EXPECT_EQ(reader.streamNames().size(), qsizetype(streams.size()));
    for (const auto& [name, data] : streams) {
        QByteArray back;
        ASSERT_EQ(reader.readStream(name, &back), S_OK) << name.toStdString();
        EXPECT_TRUE(back == data) << name.toStdString();
    }
}

} // namespace
