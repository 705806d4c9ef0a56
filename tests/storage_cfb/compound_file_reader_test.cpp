#include "cfb_test_support.h"

#include "storage/cfb/compound_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace cfbtest;

namespace {

constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr Guid kClsid = Guid::parse("6F1C2A3B-9D4E-4C5F-8A7B-0123456789AB");

// Our writer's layout for these streams: sector 0 FAT, 1 directory (4 entries), 2 mini FAT,
// 3 mini stream (two mini sectors of "Small"), 4..13 "Large" (5000 bytes).
QByteArray sampleFile()
{
    CompoundFileWriter writer;
    writer.setRootClassId(kClsid);
    EXPECT_EQ(writer.addStream("Large", patternBytes(5000, 1)), S_OK);
    EXPECT_EQ(writer.addStream("Small", patternBytes(100, 2)), S_OK);
    QByteArray bytes;
    EXPECT_EQ(writer.toBytes(&bytes), S_OK);
    return bytes;
}
constexpr uint32_t kLargeId = 1, kSmallId = 2, kLargeFirst = 4, kLargeLast = 13;

// Reads the stream every way: from the file's bytes, copied and taken over, and from the file on
// disk, which is read only where the tables point; all must agree on the result and the bytes.
HRESULT readOne(const QByteArray& file, const QString& stream, QByteArray* out = nullptr)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath("read-one.cfb");
    EXPECT_EQ(writeFileReplace(path, file), S_OK);
    // Every file here is small enough to be read whole: read its tables and streams where they lie.
    CompoundFileReader onDisk;
    const HRESULT opened = CompoundFileReader::open(path, &onDisk, 0);

    CompoundFileReader reader;
    HRESULT hr = CompoundFileReader::fromBytes(file, &reader);
    EXPECT_EQ(opened, hr) << "opening the file on disk";
    if (FAILED(hr))
        return hr;
    QByteArray copied, taken, read;
    hr = reader.readStream(stream, &copied);
    EXPECT_EQ(reader.takeStream(stream, &taken), hr) << stream.toStdString();
    EXPECT_EQ(taken, copied);
    EXPECT_FALSE(reader.hasStream(stream)) << "a taken reader is empty";
    if (SUCCEEDED(opened)) {
        EXPECT_EQ(onDisk.readStream(stream, &read), hr) << "read from the file on disk";
        EXPECT_EQ(read, copied);
    }
    if (out)
        *out = copied;
    return hr;
}

TEST(CompoundFileReader, ReadsWhatTheWriterWrote)
{
    CompoundFileReader reader;
    ASSERT_EQ(CompoundFileReader::fromBytes(sampleFile(), &reader), S_OK);
    EXPECT_EQ(reader.rootClassId(), kClsid);
    EXPECT_EQ(reader.streamNames(), QStringList({"Large", "Small"}));
    EXPECT_TRUE(reader.hasStream("SMALL"));
    EXPECT_FALSE(reader.hasStream("Smal"));
    QByteArray data;
    ASSERT_EQ(reader.readStream("large", &data), S_OK);
    EXPECT_EQ(data, patternBytes(5000, 1));
    ASSERT_EQ(reader.readStream("Small", &data), S_OK);
    EXPECT_EQ(data, patternBytes(100, 2));
    EXPECT_EQ(reader.readStream("Missing", &data), STG_E_FILENOTFOUND);
}

TEST(CompoundFileReader, RoundTripsEverySizeClass)
{
    const std::vector<qsizetype> sizes = {0, 1, 63, 64, 65, 511, 512, 4095, 4096, 4097, 70000};
    CompoundFileWriter writer;
    for (size_t i = 0; i < sizes.size(); ++i)
        ASSERT_EQ(writer.addStream(QString("Stream%1").arg(i), patternBytes(sizes[i], uint32_t(i))), S_OK);
    QByteArray file;
    ASSERT_EQ(writer.toBytes(&file), S_OK);
    CompoundFileReader reader;
    ASSERT_EQ(CompoundFileReader::fromBytes(file, &reader), S_OK);
    EXPECT_EQ(reader.streamNames().size(), qsizetype(sizes.size()));
    for (size_t i = 0; i < sizes.size(); ++i) {
        QByteArray data;
        ASSERT_EQ(readOne(file, QString("stream%1").arg(i), &data), S_OK) << i;
        EXPECT_EQ(data, patternBytes(sizes[i], uint32_t(i))) << sizes[i];
    }
}

TEST(CompoundFileReader, AStreamThatIsMostOfTheFileSharesItsBytesUntilWritten)
{
    QByteArray first, second, small;
    {
        CompoundFileReader reader;
        ASSERT_EQ(CompoundFileReader::fromBytes(sampleFile(), &reader), S_OK);
        ASSERT_EQ(reader.readStream("Large", &first), S_OK);
        ASSERT_EQ(reader.readStream("Large", &second), S_OK);
        ASSERT_EQ(reader.readStream("Small", &small), S_OK);
        EXPECT_EQ(first.constData(), second.constData()) << "read without a copy of its own";
        first[0] = char(first[0] ^ 0x5A);
        QByteArray again;
        ASSERT_EQ(reader.readStream("Large", &again), S_OK);
        EXPECT_EQ(again, patternBytes(5000, 1)) << "writing to a read stream changed the file";
    }
    EXPECT_EQ(second, patternBytes(5000, 1)) << "the bytes outlive the reader";
    second.append("tail");
    EXPECT_EQ(second, patternBytes(5000, 1) + "tail");
    EXPECT_EQ(small, patternBytes(100, 2));
}

TEST(CompoundFileReader, StreamsOutOfSectorOrderAreReadInChainOrder)
{
    QByteArray f = sampleFile();
    const qsizetype fat = sectorOffset(0);
    const QByteArray fifth = f.mid(sectorOffset(kLargeFirst + 1), 512);
    f.replace(sectorOffset(kLargeFirst + 1), 512, f.mid(sectorOffset(kLargeFirst + 2), 512));
    f.replace(sectorOffset(kLargeFirst + 2), 512, fifth);
    putU32(f, fat + 4 * kLargeFirst, kLargeFirst + 2);
    putU32(f, fat + 4 * (kLargeFirst + 2), kLargeFirst + 1);
    putU32(f, fat + 4 * (kLargeFirst + 1), kLargeFirst + 3);
    QByteArray data;
    ASSERT_EQ(readOne(f, "Large", &data), S_OK);
    EXPECT_EQ(data, patternBytes(5000, 1));
}

TEST(CompoundFileReader, AChainLongerThanItsStreamIsStillWalkedWhole)
{
    QByteArray f = sampleFile();
    // The stream now needs 9 of the chain's 10 consecutive sectors.
    putU32(f, dirEntryOffset(1, kLargeId) + 120, 4200);
    QByteArray data;
    ASSERT_EQ(readOne(f, "Large", &data), S_OK);
    EXPECT_EQ(data, patternBytes(5000, 1).left(4200));
    // ...and past them the chain loops.
    putU32(f, sectorOffset(0) + 4 * kLargeLast, kLargeLast - 1);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);
}

TEST(CompoundFileReader, ReadsVersion4)
{
    QByteArray file = buildV4File(
        kClsid,
        {{"Zeta", patternBytes(4096, 3)}, {"alpha", patternBytes(10, 4)}, {"Mid", patternBytes(9000, 5)}, {"e", {}}});
    CompoundFileReader reader;
    ASSERT_EQ(CompoundFileReader::fromBytes(file, &reader), S_OK);
    EXPECT_EQ(reader.rootClassId(), kClsid);
    EXPECT_EQ(reader.streamNames(), QStringList({"e", "Mid", "Zeta", "alpha"}));
    QByteArray data;
    ASSERT_EQ(reader.readStream("zeta", &data), S_OK);
    EXPECT_EQ(data, patternBytes(4096, 3));
    ASSERT_EQ(reader.readStream("ALPHA", &data), S_OK);
    EXPECT_EQ(data, patternBytes(10, 4));
    ASSERT_EQ(reader.readStream("Mid", &data), S_OK);
    EXPECT_EQ(data, patternBytes(9000, 5));
    ASSERT_EQ(reader.readStream("e", &data), S_OK);
    EXPECT_TRUE(data.isEmpty());
}

TEST(CompoundFileReader, RejectsBadHeaders)
{
    const QByteArray good = sampleFile();
    CompoundFileReader reader;
    EXPECT_EQ(CompoundFileReader::fromBytes({}, &reader), STG_E_INVALIDHEADER);
    EXPECT_EQ(CompoundFileReader::fromBytes(good.left(7), &reader), STG_E_INVALIDHEADER);
    EXPECT_EQ(CompoundFileReader::fromBytes(good.left(100), &reader), STG_E_READFAULT);
    EXPECT_EQ(CompoundFileReader::fromBytes(good.left(511), &reader), STG_E_READFAULT);

    auto patched = [&](qsizetype offset, QByteArray bytes) {
        QByteArray f = good;
        f.replace(offset, bytes.size(), bytes);
        return f;
    };
    EXPECT_EQ(CompoundFileReader::fromBytes(patched(0, "\xD1"), &reader), STG_E_INVALIDHEADER);
    EXPECT_EQ(CompoundFileReader::fromBytes(patched(28, QByteArray("\xFF\xFE", 2)), &reader), STG_E_INVALIDHEADER);
    EXPECT_EQ(CompoundFileReader::fromBytes(patched(26, QByteArray("\x05\x00", 2)), &reader), STG_E_INVALIDHEADER);
    // Version 3 with 4096-byte sectors, and version 4 with 512-byte sectors.
    EXPECT_EQ(CompoundFileReader::fromBytes(patched(30, QByteArray("\x0C\x00", 2)), &reader), STG_E_INVALIDHEADER);
    EXPECT_EQ(CompoundFileReader::fromBytes(patched(26, QByteArray("\x04\x00", 2)), &reader), STG_E_INVALIDHEADER);
    EXPECT_EQ(CompoundFileReader::fromBytes(patched(32, QByteArray("\x07\x00", 2)), &reader), STG_E_INVALIDHEADER);
    EXPECT_EQ(CompoundFileReader::fromBytes(patched(56, QByteArray("\x00\x20\x00\x00", 4)), &reader),
              STG_E_INVALIDHEADER);
    // A version 4 header alone, without the rest of its 4096-byte sector.
    QByteArray v4 = buildV4File(kClsid, {});
    EXPECT_EQ(CompoundFileReader::fromBytes(v4.left(1000), &reader), STG_E_READFAULT);
    // A failed open leaves the target as it was.
    ASSERT_EQ(CompoundFileReader::fromBytes(good, &reader), S_OK);
    EXPECT_EQ(CompoundFileReader::fromBytes(good.left(100), &reader), STG_E_READFAULT);
    EXPECT_TRUE(reader.hasStream("Large"));
}

TEST(CompoundFileReader, RejectsBrokenChainsAndTables)
{
    const QByteArray good = sampleFile();
    const qsizetype fat = sectorOffset(0);
    QByteArray f;

    f = good; // the large stream's last sector links back to its first
    putU32(f, fat + 4 * kLargeLast, kLargeFirst);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // a chain that ends before the stream does
    putU32(f, fat + 4 * (kLargeFirst + 2), kEnd);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // a link to a sector past the end of the file
    putU32(f, fat + 4 * kLargeFirst, 100000);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // a start sector past the end
    putU32(f, dirEntryOffset(1, kLargeId) + 116, 0x00FFFFFF);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // the directory's chain loops on itself
    putU32(f, fat + 4 * 1, 1);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // the directory starts past the end
    putU32(f, 48, 0x7FFFFFFF);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // a FAT sector past the end, and an absurd FAT sector count
    putU32(f, 76, 5000);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);
    f = good;
    putU32(f, 44, 0xFFFFFFFF);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // the mini FAT loops
    putU32(f, sectorOffset(2), 0);
    EXPECT_EQ(readOne(f, "Small"), STG_E_DOCFILECORRUPT);
    EXPECT_EQ(readOne(f, "Large"), S_OK);

    f = good; // the root claims a mini stream far larger than its chain
    putU32(f, dirEntryOffset(1, 0) + 120, 0x10000000);
    EXPECT_EQ(readOne(f, "Small"), STG_E_DOCFILECORRUPT);

    f = good; // the file is cut inside the large stream
    EXPECT_EQ(readOne(f.left(sectorOffset(kLargeFirst + 3)), "Large"), STG_E_DOCFILECORRUPT);
    // ...or inside its last sector, after the bytes the stream uses: still readable.
    QByteArray data;
    qsizetype usedEnd = sectorOffset(kLargeLast) + 5000 % 512;
    EXPECT_EQ(readOne(f.left(usedEnd), "Large", &data), S_OK);
    EXPECT_EQ(data, patternBytes(5000, 1));
    EXPECT_EQ(readOne(f.left(usedEnd - 1), "Large"), STG_E_DOCFILECORRUPT);
}

TEST(CompoundFileReader, RejectsBrokenDirectories)
{
    const QByteArray good = sampleFile();
    const qsizetype root = dirEntryOffset(1, 0);
    QByteArray f;

    f = good; // an entry that is its own left sibling
    putU32(f, dirEntryOffset(1, kLargeId) + 68, kLargeId);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // the root's child points back at the root
    putU32(f, root + 76, 0);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // a sibling past the directory's end
    putU32(f, dirEntryOffset(1, kSmallId) + 72, 1000);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // a sibling that is an unused entry
    putU32(f, dirEntryOffset(1, kSmallId) + 72, 3);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // the first entry is not a root
    f[root + 66] = 1;
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    f = good; // a name length beyond the name field
    f[dirEntryOffset(1, kLargeId) + 64] = 66;
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);
}

TEST(CompoundFileReader, SizeFieldsAreCheckedBeforeAllocating)
{
    const QByteArray good = sampleFile();
    QByteArray f = good;
    putU32(f, dirEntryOffset(1, kLargeId) + 120, 0xFFFFFFF0);
    EXPECT_EQ(readOne(f, "Large"), STG_E_DOCFILECORRUPT);

    // Version 3 keeps the size in the low half; the high half is ignored.
    f = good;
    putU32(f, dirEntryOffset(1, kLargeId) + 124, 0xFFFFFFFF);
    putU32(f, dirEntryOffset(1, kSmallId) + 124, 0x12345678);
    QByteArray data;
    EXPECT_EQ(readOne(f, "Large", &data), S_OK);
    EXPECT_EQ(data.size(), 5000);
    EXPECT_EQ(readOne(f, "Small", &data), S_OK);
    EXPECT_EQ(data, patternBytes(100, 2));

    // Version 4 uses all 64 bits.
    QByteArray v4 = buildV4File(kClsid, {{"Mid", patternBytes(9000, 5)}});
    putU64(v4, 4096 * 2 + 128 + 120, 0x7FFFFFFFFFFFFFFFull);
    EXPECT_EQ(readOne(v4, "Mid"), STG_E_DOCFILECORRUPT);
}

TEST(CompoundFileReader, DifatChainIsLoopChecked)
{
    CompoundFileWriter writer;
    ASSERT_EQ(writer.addStream("Big", patternBytes(8 * 1024 * 1024, 9)), S_OK);
    QByteArray f;
    ASSERT_EQ(writer.toBytes(&f), S_OK);
    ASSERT_GE(getU32(f, 72), 1u);
    // Claim more FAT sectors than the one DIFAT sector lists, then let it link to itself.
    const uint32_t difat = getU32(f, 68);
    putU32(f, 44, getU32(f, 44) + 127);
    putU32(f, sectorOffset(difat) + 4 * 127, difat);
    EXPECT_EQ(readOne(f, "Big"), STG_E_DOCFILECORRUPT);
}

TEST(CompoundFileReader, OpensFilesAndChecksSignatures)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("doc.kavro");
    CompoundFileWriter writer;
    writer.setRootClassId(kClsid);
    ASSERT_EQ(writer.addStream("Contents", "abc"), S_OK);
    ASSERT_EQ(writer.writeFile(path, WriteMode::CreateNew), S_OK);
    EXPECT_EQ(writer.writeFile(path, WriteMode::CreateNew), HRESULT_FROM_WIN32(ERROR_FILE_EXISTS));

    CompoundFileReader reader;
    ASSERT_EQ(CompoundFileReader::open(path, &reader), S_OK);
    EXPECT_EQ(reader.rootClassId(), kClsid);
    EXPECT_TRUE(isCompoundFile(path));

    QFile text(dir.filePath("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("plain text, longer than a signature");
    text.close();
    EXPECT_FALSE(isCompoundFile(text.fileName()));
    EXPECT_EQ(CompoundFileReader::open(text.fileName(), &reader), STG_E_INVALIDHEADER);
    EXPECT_FALSE(isCompoundFile(dir.filePath("missing")));
    EXPECT_EQ(CompoundFileReader::open(dir.filePath("missing"), &reader), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

// Inputs that once broke the reader (or came close) stay here for good.
TEST(CompoundFileReader, RegressionCorpusNeverCrashes)
{
    QDir corpus(KAVRO_CFB_CORPUS_DIR);
    const QStringList files = corpus.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        CompoundFileReader reader;
        if (FAILED(CompoundFileReader::fromBytes(file.readAll(), &reader)))
            continue;
        for (const QString& stream : reader.streamNames()) {
            QByteArray data;
            HRESULT hr = reader.readStream(stream, &data);
            EXPECT_TRUE(hr == S_OK || hr == STG_E_DOCFILECORRUPT) << name.toStdString();
        }
    }
}

} // namespace
