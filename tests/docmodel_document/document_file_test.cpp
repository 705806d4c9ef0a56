// The document file: written, checked by python3-olefile and by an independent reader of the
// "Contents" stream, reloaded bit for bit in another process; older and newer versions, foreign
// files, a missing event, and saves that must not destroy the file they replace.
#include "document_dump.h"
#include "support/document_fixture.h"
#include "kavro_document.h"
#include "target_element.h"
#include "storage/cfb/compound_file.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kavrodoc;
using namespace doctest;

namespace {

QByteArray canonical(const QJsonObject& o)
{
    return QJsonDocument(QJsonDocument::fromJson(QJsonDocument(o).toJson()).object()).toJson(QJsonDocument::Compact);
}

QString clsidText()
{
    return QString::fromStdString(CLSID_KavroDocument.toString());
}

// A document file around hand-made "Contents" bytes.
void writeDocumentFile(const QString& path, const QByteArray& contents, const Guid& root = CLSID_KavroDocument)
{
    CompoundFileWriter w;
    w.setRootClassId(root);
    ASSERT_EQ(w.addStream(QStringLiteral("Contents"), contents), S_OK);
    ASSERT_EQ(w.writeFile(path, WriteMode::Replace), S_OK);
}

// Version, shooter, an empty collection naming `event`, and (from version 2) a bag of one value.
QByteArray handMadeContents(int32_t version, const char* event)
{
    auto s = kavro::MemoryStream::create();
    kavro::writeValue<int32_t>(s.get(), version);
    kavro::writeBstr(s.get(), QStringLiteral("Hand"));
    kavro::writeGuid(s.get(), CLSID_AimingCollection);
    kavro::writeValue<int32_t>(s.get(), 2);
    kavro::writeValue<int32_t>(s.get(), 0);
    kavro::writeBstr(s.get(), QString::fromLatin1(event));
    if (version >= 2) {
        kavro::writeValue<int32_t>(s.get(), 1);
        kavro::writeBstr(s.get(), QStringLiteral("k"));
        kavro::writeVariant(s.get(), Variant(int32_t(42)));
    }
    return s->bytes();
}

// A document whose bag holds target elements nested `depth` deep, each holding the next.
QByteArray deeplyNestedContents(int depth)
{
    auto empty = CTargetElement::create();
    auto element = kavro::MemoryStream::create();
    EXPECT_EQ(empty->Save(element.get(), 1), S_OK);
    QByteArray fields = element->bytes();
    fields.chop(4); // its empty bag

    auto link = kavro::MemoryStream::create();
    kavro::writeValue<int32_t>(link.get(), 1);
    kavro::writeBstr(link.get(), QStringLiteral("n"));
    kavro::writeValue<uint16_t>(link.get(), VT_UNKNOWN);
    kavro::writeGuid(link.get(), CLSID_TargetElement);
    const QByteArray level = fields + link->bytes();

    QByteArray contents = handMadeContents(10, "AR10");
    contents.chop(4 + 8 + 6); // the bag of one value: count, name "k", an int32
    contents += link->bytes();
    contents.reserve(contents.size() + level.size() * depth);
    for (int i = 1; i < depth; ++i)
        contents += level;
    return contents + fields + QByteArray(4, '\0');
}

struct Loaded {
    HRESULT hr;
    ComPtr<IKavroDocument> doc;
};

Loaded load(const QString& path)
{
    Loaded l{E_UNEXPECTED, ComPtr<IKavroDocument>(CKavroDocument::create().get())};
    l.doc->put_FileName(path);
    l.hr = l.doc->Load();
    return l;
}

bool valid(IKavroDocument* d)
{
    VARIANT_BOOL v = 0;
    d->get_Valid(&v);
    return v == VARIANT_TRUE;
}

class DocumentFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char* name) { return dir.filePath(QString::fromUtf8(name)); }
};

} // namespace

TEST_F(DocumentFile, SyntheticPracticeSurvivesAnotherProcessAndAnIndependentReader)
{
    auto doc = syntheticPractice();
    const QJsonObject before = dumpDocument(doc.get());
    ASSERT_EQ(before["stored"].toObject()["aimings"].toArray().size(), 4);
    ASSERT_EQ(before["stored"].toObject()["values"].toObject().size(), 21);
    doc->put_FileName(path("synthetic.kavro"));
    ASSERT_EQ(doc->Save(), S_OK);

    // Root class id and the one stream, as another implementation of the container sees them;
    // then the stream decoded from the stored layouts alone.
    ProcessResult py = runPython("contents_reader.py", {path("synthetic.kavro"), clsidText()});
    ASSERT_EQ(py.exitCode, 0) << py.err.constData();
    const QJsonObject independent = QJsonDocument::fromJson(py.out).object();
    EXPECT_EQ(canonical(independent), canonical(before["stored"].toObject()));

    const QJsonObject fresh = dumpInFreshProcess(path("synthetic.kavro"));
    EXPECT_EQ(fresh["hr"].toString(), QStringLiteral("0x00000000"));
    EXPECT_EQ(canonical(fresh["dump"].toObject()), canonical(before)); // results included
    EXPECT_TRUE(fresh["dump"].toObject()["derived"].toObject()["valid"].toBool());
}

TEST_F(DocumentFile, VersionOneHasNoValuesAndNewerVersionsAreRefused)
{
    writeDocumentFile(path("v1.kavro"), handMadeContents(1, "AR10"));
    Loaded v1 = load(path("v1.kavro"));
    ASSERT_EQ(v1.hr, S_OK);
    int32_t version = 0;
    v1.doc->get_FileVersion(&version);
    EXPECT_EQ(version, 1);
    QString shooter;
    v1.doc->get_ShooterName(&shooter);
    EXPECT_EQ(shooter, QStringLiteral("Hand"));
    EXPECT_TRUE(valid(v1.doc.get()));

    writeDocumentFile(path("v2.kavro"), handMadeContents(2, "AR10"));
    Loaded v2 = load(path("v2.kavro"));
    ASSERT_EQ(v2.hr, S_OK);
    Variant k;
    v2.doc->get_Value(QStringLiteral("k"), &k);
    EXPECT_EQ(k, Variant(int32_t(42)));

    writeDocumentFile(path("v11.kavro"), handMadeContents(11, "AR10"));
    Loaded v11 = load(path("v11.kavro"));
    EXPECT_EQ(v11.hr, E_FAIL);
    v11.doc->get_FileVersion(&version);
    EXPECT_EQ(version, 11);
    EXPECT_FALSE(valid(v11.doc.get()));

    // Anything after the bag is not read; a bag cut short fails the load.
    QByteArray cut = handMadeContents(10, "AR10");
    cut.chop(2);
    writeDocumentFile(path("cut.kavro"), cut);
    EXPECT_EQ(load(path("cut.kavro")).hr, E_FAIL);
}

TEST_F(DocumentFile, AValueStoredAsTextComesBackAsItsOwnType)
{
    QByteArray contents = handMadeContents(10, "AR10");
    contents.chop(6); // the int32 value
    auto decimal = kavro::MemoryStream::create();
    kavro::writeValue<uint16_t>(decimal.get(), VT_DECIMAL);
    kavro::writeBstr(decimal.get(), QStringLiteral("12.5"));
    writeDocumentFile(path("decimal.kavro"), contents + decimal->bytes());
    Loaded l = load(path("decimal.kavro"));
    ASSERT_EQ(l.hr, S_OK);
    Variant k;
    l.doc->get_Value(QStringLiteral("k"), &k);
    ASSERT_EQ(k.vt(), VT_DECIMAL);
    QString text;
    k.toString(&text);
    EXPECT_EQ(text, QStringLiteral("12.5"));

    // Saved again, it is stored as it was read.
    l.doc->put_FileName(path("again.kavro"));
    ASSERT_EQ(l.doc->Save(), S_OK);
    CompoundFileReader reader;
    ASSERT_EQ(CompoundFileReader::open(path("again.kavro"), &reader), S_OK);
    QByteArray again;
    ASSERT_EQ(reader.readStream(QStringLiteral("Contents"), &again), S_OK);
    EXPECT_TRUE(again.endsWith(decimal->bytes()));
}

TEST_F(DocumentFile, AMissingEventGivesTheMessageToInstallIt)
{
    writeDocumentFile(path("missing.kavro"), handMadeContents(10, "RUNNINGDEER"));
    Loaded l = load(path("missing.kavro"));
    EXPECT_EQ(l.hr, E_FAIL);
    QString msg;
    ASSERT_EQ(l.doc->get_ReadErrorMsg(&msg), S_OK);
    EXPECT_EQ(msg, QStringLiteral("Missing shooting event RUNNINGDEER. Please install it and restart the program."));
    EXPECT_FALSE(valid(l.doc.get()));
    QString shooter;
    l.doc->get_ShooterName(&shooter);
    EXPECT_TRUE(shooter.isEmpty()); // nothing of a failed load is kept
}

TEST_F(DocumentFile, ValuesNestedTooDeeplyFailTheLoadWithoutCrashing)
{
    writeDocumentFile(path("nested.kavro"), deeplyNestedContents(10));
    Loaded shallow = load(path("nested.kavro"));
    ASSERT_EQ(shallow.hr, S_OK);
    Variant n;
    shallow.doc->get_Value(QStringLiteral("n"), &n);
    EXPECT_EQ(n.vt(), VT_UNKNOWN);

    writeDocumentFile(path("deep.kavro"), deeplyNestedContents(10000));
    Loaded deep = load(path("deep.kavro"));
    EXPECT_EQ(deep.hr, E_FAIL);
    EXPECT_FALSE(valid(deep.doc.get()));
}

QString readError(IKavroDocument* doc)
{
    QString message;
    doc->get_ReadErrorMsg(&message);
    return message;
}

TEST_F(DocumentFile, EveryFailedLoadTellsTheUserWhy)
{
    const QString cannotOpen
        = QStringLiteral("The file could not be opened. Check that it exists and that you are allowed to read it.");
    const QString notADocument = QStringLiteral("The file is not a practice document, or it is damaged.");
    const QString damaged = QStringLiteral("The document is damaged and cannot be read.");
    const QString newer = QStringLiteral(
        "The document was saved by a newer version of the program. Please install that version to open it.");

    Loaded missing = load(path("nothing-here.kavro"));
    EXPECT_EQ(missing.hr, E_FAIL);
    EXPECT_EQ(readError(missing.doc.get()), cannotOpen);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.kavro")));
    EXPECT_EQ(readError(load(path("folder.kavro")).doc.get()), cannotOpen);

    writeAll(path("junk.kavro"), QByteArray(100, '\x07'));
    EXPECT_EQ(readError(load(path("junk.kavro")).doc.get()), notADocument);
    writeDocumentFile(path("foreign.kavro"), handMadeContents(10, "AR10"), CLSID_AimingCollection);
    EXPECT_EQ(readError(load(path("foreign.kavro")).doc.get()), notADocument);

    writeDocumentFile(path("v11.kavro"), handMadeContents(11, "AR10"));
    EXPECT_EQ(readError(load(path("v11.kavro")).doc.get()), newer);
    QByteArray cut = handMadeContents(10, "AR10");
    cut.chop(2);
    writeDocumentFile(path("cut.kavro"), cut);
    EXPECT_EQ(readError(load(path("cut.kavro")).doc.get()), damaged);

    // The message is that of the last failed load, also after a later success.
    auto doc = load(path("cut.kavro")).doc;
    writeDocumentFile(path("good.kavro"), handMadeContents(10, "AR10"));
    doc->put_FileName(path("good.kavro"));
    ASSERT_EQ(doc->Load(), S_OK);
    EXPECT_EQ(readError(doc.get()), damaged);
    doc->put_FileName(path("v11.kavro"));
    ASSERT_EQ(doc->Load(), E_FAIL);
    EXPECT_EQ(readError(doc.get()), newer);
}

TEST_F(DocumentFile, ForeignAndMissingFilesFail)
{
    writeDocumentFile(path("foreign.kavro"), handMadeContents(10, "AR10"), CLSID_AimingCollection);
    EXPECT_EQ(load(path("foreign.kavro")).hr, E_FAIL);

    CompoundFileWriter w;
    w.setRootClassId(CLSID_KavroDocument);
    w.addStream(QStringLiteral("Other"), QByteArray(8, 'x'));
    w.writeFile(path("nocontents.kavro"), WriteMode::Replace);
    EXPECT_EQ(load(path("nocontents.kavro")).hr, E_FAIL);

    // A missing file is no compound file: the older format's reader cannot open it either.
    Loaded missing = load(path("nothing-here.kavro"));
    EXPECT_EQ(missing.hr, E_FAIL);
    EXPECT_FALSE(valid(missing.doc.get()));
}

TEST_F(DocumentFile, LoadReplacesEverythingAndAFailedLoadLeavesNoValidDocument)
{
    auto doc = syntheticPractice();
    doc->put_FileName(path("a.kavro"));
    ASSERT_EQ(doc->Save(), S_OK);
    auto other = CKavroDocument::create();
    other->put_Event(event("AP10").get());
    other->put_Value(QStringLiteral("stale"), Variant(int32_t(1)));
    other->put_FileName(path("a.kavro"));
    ASSERT_EQ(other->Load(), S_OK);
    Variant stale;
    other->get_Value(QStringLiteral("stale"), &stale);
    EXPECT_TRUE(stale.isEmpty());
    EXPECT_EQ(canonical(dumpDocument(other.get())), canonical(dumpDocument(doc.get())));

    writeAll(path("junk.kavro"), QByteArray(100, '\x07'));
    other->put_FileName(path("junk.kavro"));
    EXPECT_EQ(other->Load(), E_FAIL);
    EXPECT_FALSE(valid(other.get()));
}

TEST_F(DocumentFile, AFailedSaveKeepsThePreviousFile)
{
    auto doc = syntheticPractice();
    doc->put_FileName(path("keep.kavro"));
    ASSERT_EQ(doc->Save(), S_OK);
    const QByteArray good = readAll(path("keep.kavro"));

    // A collection without event cannot be stored: the old file stays as it was.
    auto empty = CKavroDocument::create();
    empty->put_FileName(path("keep.kavro"));
    EXPECT_EQ(empty->Save(), E_UNEXPECTED);
    EXPECT_EQ(readAll(path("keep.kavro")), good);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left

    empty->put_FileName(QString());
    EXPECT_EQ(empty->Save(), E_INVALIDARG);
    doc->put_FileName(path("no-such-folder/x.kavro"));
    EXPECT_TRUE(FAILED(doc->Save()));
}
