// Hostile and broken files: every saved document cut short and with bytes changed, in the
// container and in the "Contents" stream, and the older raw format cut short, all load with
// E_FAIL or S_OK; and a save killed part-way leaves a loadable document behind.
#include "support/document_fixture.h"
#include "kavro_document.h"
#include "storage/cfb/compound_file.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace kavrodoc;
using namespace doctest;

namespace {

class Robustness : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString target = dir.filePath(QStringLiteral("mutant.kavro"));

    // Each mutant is a new file: truncating one file over and over makes some file systems flush
    // it every time.
    void writeMutant(const QByteArray& bytes)
    {
        QFile::remove(target);
        writeAll(target, bytes);
    }

    // Loads `bytes` as a document file; only success and plain failure are acceptable answers.
    void expectLoadsOrFails(const QByteArray& bytes, const char* what, qsizetype at)
    {
        writeMutant(bytes);
        auto doc = CKavroDocument::create();
        doc->put_FileName(target);
        const HRESULT hr = doc->Load();
        EXPECT_TRUE(hr == S_OK || hr == E_FAIL) << what << " at " << at << ": 0x" << std::hex << hr;
        VARIANT_BOOL valid = 0;
        doc->get_Valid(&valid);
        EXPECT_EQ(valid == VARIANT_TRUE, hr == S_OK) << what << " at " << at;
        QString message;
        doc->get_ReadErrorMsg(&message);
        EXPECT_EQ(message.isEmpty(), hr == S_OK) << what << " at " << at << ": every failure tells the user why";
    }

    QByteArray documentFile(IKavroDocument* doc)
    {
        doc->put_FileName(dir.filePath(QStringLiteral("original.kavro")));
        EXPECT_EQ(doc->Save(), S_OK);
        return readAll(dir.filePath(QStringLiteral("original.kavro")));
    }

    QByteArray withContents(const QByteArray& contents)
    {
        CompoundFileWriter w;
        w.setRootClassId(CLSID_KavroDocument);
        w.addStream(QStringLiteral("Contents"), contents);
        QByteArray bytes;
        EXPECT_EQ(w.toBytes(&bytes), S_OK);
        return bytes;
    }
};

// A practice small enough to be cut at every byte of its stream in little time, with every
// stored form in it.
ComPtr<IKavroDocument> smallPractice()
{
    auto doc = syntheticPractice();
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    ComPtr<IAimingCollection> sighting;
    aimings->Sighting(sighting.put()); // one aiming with channels, shot values and attributes
    ComPtr<IAiming> first;
    sighting->get_Item(1, first.put());
    auto small = CKavroDocument::create();
    small->put_Event(event("AR10").get());
    small->put_ShooterName(QStringLiteral("Small"));
    ComPtr<IAimingCollection> target;
    small->get_Aimings(target.put());
    target->Add(first.get());
    ComPtr<IAiming> missed;
    target->AddMissed(VARIANT_TRUE, missed.put());
    Variant v;
    for (const char* name : {"v_i1", "v_r8", "v_bstr", "v_bstr_null", "v_dispatch_null", "zzz_object"}) {
        doc->get_Value(QString::fromLatin1(name), &v);
        small->put_Value(QString::fromLatin1(name), v);
    }
    return ComPtr<IKavroDocument>(small.get());
}

} // namespace

TEST_F(Robustness, ContentsCutShortOrChangedAtEveryByte)
{
    auto doc = smallPractice();
    const QByteArray file = documentFile(doc.get());
    CompoundFileReader reader;
    ASSERT_EQ(CompoundFileReader::fromBytes(file, &reader), S_OK);
    QByteArray contents;
    ASSERT_EQ(reader.readStream(QStringLiteral("Contents"), &contents), S_OK);
    for (qsizetype cut = 0; cut < contents.size(); ++cut)
        expectLoadsOrFails(withContents(contents.left(cut)), "contents cut", cut);
    for (qsizetype at = 0; at < contents.size(); ++at) {
        QByteArray changed = contents;
        changed[at] = char(changed[at] ^ (at % 2 ? 0xff : 0x80));
        expectLoadsOrFails(withContents(changed), "contents byte changed", at);
    }
}

TEST_F(Robustness, DocumentFileCutShortOrChanged)
{
    auto doc = smallPractice();
    const QByteArray file = documentFile(doc.get());
    // Every byte of the container's header and directory sectors; a sample of the rest.
    for (qsizetype cut = 0; cut < file.size(); cut += cut < 2048 ? 1 : 7)
        expectLoadsOrFails(file.left(cut), "file cut", cut);
    for (qsizetype at = 0; at < file.size(); at += at < 2048 ? 1 : 5) {
        QByteArray changed = file;
        changed[at] = char(changed[at] ^ 0xff);
        expectLoadsOrFails(changed, "file byte changed", at);
    }
}

TEST_F(Robustness, RawFilesCutShortOrChangedAtEveryByte)
{
    ProcessResult r = runPython("raw_writer.py", {dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    for (const char* name : {"sbr50_v7.raw", "ap10_v2.raw"}) {
        const QByteArray raw = readAll(dir.filePath(QString::fromLatin1(name)));
        for (qsizetype cut = 0; cut < raw.size(); ++cut)
            expectLoadsOrFails(raw.left(cut), name, cut);
        for (qsizetype at = 0; at < raw.size(); ++at) {
            QByteArray changed = raw;
            changed[at] = char(changed[at] ^ 0xff);
            writeMutant(changed);
            auto d = CKavroDocument::create();
            d->put_FileName(target);
            d->Load(); // any answer; no crash, no hang
        }
    }
}

// A save killed at any moment leaves either the old or the new document, whole.
TEST_F(Robustness, ASaveKilledPartWayLeavesAWholeDocument)
{
    const QString path = dir.filePath(QStringLiteral("practice.kavro"));
    auto small = longPractice(3, 5, 200);
    auto large = longPractice(12, 20, 500);
    small->put_FileName(path);
    ASSERT_EQ(small->Save(), S_OK);
    large->put_FileName(path);

    for (int round = 0; round < 6; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                if (FAILED(large->Save()) || FAILED(small->Save()))
                    _exit(1);
            }
        }
        usleep(useconds_t(QRandomGenerator::global()->bounded(5000, 60000)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped on its own";

        auto doc = CKavroDocument::create();
        doc->put_FileName(path);
        ASSERT_EQ(doc->Load(), S_OK) << "round " << round;
        ComPtr<IAimingCollection> aimings;
        doc->get_Aimings(aimings.put());
        int32_t count = 0;
        aimings->get_Count(&count);
        EXPECT_TRUE(count == 3 || count == 12) << count;
    }
}
