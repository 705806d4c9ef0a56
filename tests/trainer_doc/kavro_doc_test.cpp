#include "kavro_doc.h"

#include "doc_helpers.h"
#include "frame_message.h"
#include "language_module.h"
#include "support/practice_builder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

using namespace trainertest;

namespace {

struct HintLog : CView {
    std::vector<int> hints;
    void OnDocumentUpdate(CView*, int hint, const KavroHint::Payload&) override { hints.push_back(hint); }
};

class KavroDocTest : public ::testing::Test {
protected:
    void TearDown() override { setMessageBoxHook(nullptr); }
    TestEnvironment env;
};

// Saves the practice into the catalog and opens it again in `reopened`.
void saveAndReopen(CKavroDoc& doc, CKavroDoc& reopened)
{
    ASSERT_TRUE(doc.Save());
    QString path;
    ASSERT_TRUE(doc.GetFileName(&path));
    ASSERT_TRUE(reopened.OpenDocument(path)) << reopened.lastReadError().toStdString();
}

TEST_F(KavroDocTest, HidingTheSelectedLastShotSelectsThePreviousOne)
{
    CKavroDoc doc;
    startPractice(doc, "AR10");
    addAiming(doc, true, 1, 0);
    addAiming(doc, true, 1, 10);
    addAiming(doc, true, 1, 20);
    ComPtr<IShot> last = listShot(doc, 3);
    doc.SetSelectedShot(last.get(), nullptr);
    doc.SetShotHidden(last.get(), true);
    ComPtr<IShot> selected;
    ASSERT_TRUE(doc.GetSelectedShot(&selected));
    EXPECT_EQ(listIndex(doc, selected.get()), 2);
    EXPECT_EQ(doc.MatchShotCount(), 2); // hidden shots leave the list
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(KavroDocTest, EqualShotTimesAreNoValidTimes)
{
    CKavroDoc doc, reopened, reopenedToo;
    startPractice(doc, "AR10");
    addAiming(doc, true, 2, 0);
    saveAndReopen(doc, reopened);
    EXPECT_TRUE(reopened.HasValidShotTimes());

    CKavroDoc same;
    startPractice(same, "AR10");
    addAiming(same, true, 2, 0, /*sameTime=*/true);
    saveAndReopen(same, reopenedToo);
    EXPECT_FALSE(reopenedToo.HasValidShotTimes());
}

TEST_F(KavroDocTest, OutOfRangeShotParametersAreIgnoredOneByOne)
{
    CKavroDoc doc;
    startPractice(doc, "AR10");
    addAiming(doc, true, 3, 0);
    HintLog log;
    doc.AddView(&log);
    doc.SetShotsParameters(120, 7.0f, 4, -0.2f, 5.0f, true);
    EXPECT_EQ(doc.fCoefficient(), 120);
    EXPECT_FLOAT_EQ(doc.traceSeconds(), 1.0f);
    EXPECT_EQ(doc.controlInterval2(), 4);
    EXPECT_FLOAT_EQ(doc.shotTimeOffset(), -0.2f);
    EXPECT_FLOAT_EQ(doc.dispersion(), 5.0f);
    EXPECT_TRUE(doc.centreGroups());
    EXPECT_EQ(log.hints, std::vector<int>{KavroHint::ShotParameters});

    // Centring puts the group's mean breach on the centre.
    ComPtr<IShotCollection> shots;
    ASSERT_TRUE(doc.GetMatchShots(&shots));
    double sx = 0, sy = 0;
    for (int i = 1; i <= 3; ++i) {
        float x = 0, y = 0;
        shotAt(shots.get(), i)->Breach(&x, &y);
        sx += x;
        sy += y;
    }
    EXPECT_NEAR(sx / 3, 0.0, 1e-4);
    EXPECT_NEAR(sy / 3, 0.0, 1e-4);

    // The same values again change nothing; the second interval outlives the document.
    doc.SetShotsParameters(120, 1.0f, 4, -0.2f, 5.0f, true);
    EXPECT_EQ(log.hints.size(), 1u);
    CKavroDoc later;
    EXPECT_EQ(later.controlInterval2(), 4);
}

TEST_F(KavroDocTest, SeriesStepsWithSightingShots)
{
    CKavroDoc doc;
    startPractice(doc, "AR10"); // series of 10
    for (int i = 0; i < 3; ++i)
        addAiming(doc, false, 1, i * 10);
    for (int i = 0; i < 15; ++i)
        addAiming(doc, true, 1, 100 + i * 10);
    ASSERT_TRUE(doc.includeSightings());
    auto step = [&](int from, int by) {
        ComPtr<IShot> out;
        if (!doc.Navigate(listShot(doc, from).get(), &out, by))
            return 0;
        return listIndex(doc, out.get());
    };
    EXPECT_EQ(step(2, 2), 3);
    EXPECT_EQ(step(3, 2), 13);
    EXPECT_EQ(step(4, -2), 1);
    EXPECT_EQ(step(15, -2), 14);
    EXPECT_EQ(step(13, 2), 18); // the last series is cut short
    EXPECT_EQ(step(1, -3), 1); // first and last are always given
    EXPECT_EQ(step(5, 3), 18);

    ComPtr<IShot> out;
    EXPECT_FALSE(doc.Navigate(listShot(doc, 18).get(), &out, 1));
    EXPECT_FALSE(out);
    EXPECT_TRUE(doc.Navigate(nullptr, &out, -1)); // no current shot: a step back gives the last
    EXPECT_EQ(listIndex(doc, out.get()), 18);
}

TEST_F(KavroDocTest, BiathlonStepsGoByAiming)
{
    CKavroDoc doc;
    startPractice(doc, "BTLN");
    ASSERT_EQ(doc.GetTargetKind(), 2);
    for (int i = 0; i < 3; ++i)
        addAiming(doc, true, 5, i * 60);
    doc.SetIncludeSightings(false);
    auto step = [&](int from, int by) {
        ComPtr<IShot> out;
        if (!doc.Navigate(listShot(doc, from).get(), &out, by))
            return 0;
        return listIndex(doc, out.get());
    };
    EXPECT_EQ(step(6, 2), 10); // first of the second aiming -> its fifth
    EXPECT_EQ(step(10, 2), 15); // fifth -> fifth of the next
    EXPECT_EQ(step(10, -2), 6); // fifth -> first of the same
    EXPECT_EQ(step(6, -2), 1); // first -> first of the previous
    EXPECT_EQ(step(15, 2), 0); // nothing after the last aiming
}

TEST_F(KavroDocTest, AFailedOpenKeepsTheReadErrorAndTellsTheViews)
{
    const QString path = env.path() + QStringLiteral("/broken.kavro");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is no practice document");
    f.close();
    CKavroDoc doc;
    HintLog log;
    doc.AddView(&log);
    EXPECT_FALSE(doc.OpenDocument(path));
    EXPECT_FALSE(doc.HasDocument());
    EXPECT_EQ(log.hints, std::vector<int>{KavroHint::Everything});
    // The document says why; the message adds it below its own line.
    EXPECT_FALSE(doc.lastReadError().isEmpty());
    EXPECT_EQ(CKavroDoc::openFailureText(doc.lastReadError()),
              QStringLiteral("Unable to load file.\n") + doc.lastReadError());
    EXPECT_EQ(CKavroDoc::openFailureText(QStringLiteral("Aiming 3 is damaged.")),
              QStringLiteral("Unable to load file.\nAiming 3 is damaged."));
}

TEST_F(KavroDocTest, OpeningSelectsTheFirstShotAndTakesItsCoefficient)
{
    CKavroDoc doc, reopened;
    startPractice(doc, "AR10");
    doc.SetShotsParameters(250, 1.0f, 2, 0, 0, false);
    addAiming(doc, false, 1, 0);
    ComPtr<IAiming> match = addAiming(doc, true, 2, 10);
    ComPtr<IAimingAttr> attr;
    match->get_Attr(attr.put());
    attr->put_FCoefficient(250);
    saveAndReopen(doc, reopened);
    // With match shots the sightings stay out of the list, as after a reset.
    EXPECT_FALSE(reopened.includeSightings());
    ComPtr<IShot> selected;
    ASSERT_TRUE(reopened.GetSelectedShot(&selected));
    EXPECT_EQ(listIndex(reopened, selected.get()), 1);
    EXPECT_EQ(reopened.fCoefficient(), 250);
    EXPECT_EQ(reopened.SightingShotCount(), 1);
    EXPECT_FALSE(reopened.IsModified());
}

TEST_F(KavroDocTest, SaveModifiedFollowsTheAnswer)
{
    CKavroDoc doc;
    startPractice(doc, "AR10");
    addAiming(doc, false, 1, 0);
    int asked = 0;
    int answer = QMessageBox::Cancel;
    setMessageBoxHook([&](const QString& text, QMessageBox::Icon) {
        ++asked;
        EXPECT_EQ(text, QStringLiteral("Document was changed. Save changes to this file?"));
        return answer;
    });
    EXPECT_TRUE(doc.SaveModified()); // sighting shots only: nothing to ask
    EXPECT_EQ(asked, 0);
    addAiming(doc, true, 1, 10);
    EXPECT_FALSE(doc.SaveModified());
    answer = QMessageBox::No;
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_TRUE(doc.IsModified());
    answer = QMessageBox::Yes;
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(asked, 3);
    QString path;
    ASSERT_TRUE(doc.GetFileName(&path));
    EXPECT_TRUE(path.startsWith(env.path() + QStringLiteral("/Kavro catalog/")));
    EXPECT_TRUE(QFile::exists(path));
}

// The reason goes below the message, with what to do; the practice stays open and modified.
TEST_F(KavroDocTest, ASaveThatFailsWhenAskedBeforeLeavingIsToldWithItsReasonAndKeepsThePractice)
{
    const QString catalog = env.path() + QStringLiteral("/Kavro catalog");
    struct Road {
        const char* name;
        std::function<void()> block, unblock;
        QString reason;
    };
    rlimit fileSize{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &fileSize), 0);
    const Road roads[] = {
        // A file where the catalog folder should be.
        {"no folder",
         [&] {
             QFile blocker(catalog);
             ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
         },
         [&] { QFile::remove(catalog); },
         QStringLiteral("The file could not be written (error 0x80070003). Try again, or save the practice "
                        "elsewhere with Send to Folder.")},
        // Files may not grow past a few bytes (root may write anywhere, so this is the failure a
        // test can make for real).
        {"file size limit",
         [&] {
             QDir().mkpath(catalog);
             std::signal(SIGXFSZ, SIG_IGN);
             rlimit small = fileSize;
             small.rlim_cur = 512;
             ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
         },
         [&] {
             setrlimit(RLIMIT_FSIZE, &fileSize);
             std::signal(SIGXFSZ, SIG_DFL);
         },
         QStringLiteral("The file is larger than this system allows. Ask your administrator to raise the file "
                        "size limit, then save again.")},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        CKavroDoc doc;
        startPractice(doc, "AR10");
        addAiming(doc, true, 1, 0);
        QStringList messages;
        setMessageBoxHook([&](const QString& text, QMessageBox::Icon) {
            messages.append(text);
            return int(QMessageBox::Yes);
        });
        road.block();
        const bool left = doc.SaveModified();
        road.unblock();
        EXPECT_FALSE(left);
        EXPECT_EQ(messages,
                  (QStringList{QStringLiteral("Document was changed. Save changes to this file?"),
                               QStringLiteral("Unable to save the file.\n") + road.reason}));
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.MatchShotCount(), 1);
        EXPECT_TRUE(QDir(catalog).entryList(QDir::Files).isEmpty());
    }
}

TEST(SaveFailureText, TellsEachReasonTheStorageReportsBelowTheMessage)
{
    const struct {
        HRESULT result;
        const char* start;
    } rows[] = {
        {STG_E_MEDIUMFULL, "The disk is full."},
        {E_ACCESSDENIED, "The folder cannot be written to"},
        {STG_E_ACCESSDENIED, "The folder cannot be written to"},
        {HRESULT_FROM_WIN32(ERROR_DISK_QUOTA_EXCEEDED), "Your disk quota is used up."},
        {E_FAIL, "The file could not be written (error 0x80004005)."},
    };
    for (const auto& row : rows) {
        const QStringList lines = CKavroDoc::saveFailureText(row.result).split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 2) << row.start;
        EXPECT_EQ(lines[0], QStringLiteral("Unable to save the file."));
        EXPECT_TRUE(lines[1].startsWith(QString::fromLatin1(row.start))) << lines[1].toStdString();
    }
}

TEST_F(KavroDocTest, SavingIntoAMissingCatalogFolderMakesTheFolder)
{
    CKavroDoc doc;
    startPractice(doc, "AR10");
    addAiming(doc, true, 1, 0);
    ASSERT_FALSE(QDir(env.path() + QStringLiteral("/Kavro catalog")).exists());
    EXPECT_TRUE(doc.Save());
    EXPECT_EQ(QDir(env.path() + QStringLiteral("/Kavro catalog")).entryList(QDir::Files).size(), 1);
}

TEST_F(KavroDocTest, SaveCopyToKeepsTheDocumentsOwnFile)
{
    CKavroDoc doc;
    startPractice(doc, "AR10");
    addAiming(doc, true, 1, 0);
    ASSERT_TRUE(doc.Save());
    QString before;
    doc.GetFileName(&before);
    const QString folder = env.path() + QStringLiteral("/copies/");
    QDir().mkpath(folder);
    ASSERT_TRUE(doc.SaveCopyTo(folder));
    QString after;
    doc.GetFileName(&after);
    EXPECT_EQ(after, before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);
    EXPECT_FALSE(doc.SaveCopyTo(env.path() + QStringLiteral("/missing/folder/")));
}

TEST_F(KavroDocTest, ReplayAsksTheViews)
{
    CKavroDoc doc;
    startPractice(doc, "AR10");
    addAiming(doc, true, 1, 0);
    struct Refuser : CView {
        bool refuse = true;
        bool replaying = true;
        void OnDocumentUpdate(CView*, int, const KavroHint::Payload&) override { }
        bool MayReplayStart(CView*) override { return !refuse; }
        bool IsReplayRunning(CView*) override { return replaying; }
    } view;
    doc.AddView(&view);
    EXPECT_FALSE(doc.StartReplay()); // no selection
    doc.SetSelectedShot(listShot(doc, 1).get(), nullptr);
    EXPECT_FALSE(doc.StartReplay());
    view.refuse = false;
    EXPECT_TRUE(doc.StartReplay());
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayPlaying);
    doc.PauseReplay();
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayPaused);
    view.replaying = false; // the view finished on its own
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayStopped);
}

TEST_F(KavroDocTest, TheEventsDisplayNameFollowsTheInterfaceLanguage)
{
    auto& language = kavro::LanguageModule::instance();
    language.setLanguageFolder(env.path() + QStringLiteral("/lang"));
    QDir().mkpath(env.path() + QStringLiteral("/lang"));
    CKavroDoc doc;
    startPractice(doc, "AR10");
    ComPtr<IEventParams> event;
    ASSERT_TRUE(doc.GetEvent(&event));
    event->put_Value(QStringLiteral("_name_1031"), Variant(QStringLiteral("Luftgewehr")));
    QString name;
    ASSERT_TRUE(doc.GetEventDisplayName(&name));
    EXPECT_FALSE(name.startsWith(QStringLiteral("Luftgewehr")));
    // The calibre's format as translated; one that takes no number is not trusted with it.
    for (const char* format : {"61224\t%-3.1f mm\n", "61224\t%i mm\n"}) {
        QFile table(env.path() + QStringLiteral("/lang/kavrodeu.strings"));
        ASSERT_TRUE(table.open(QIODevice::WriteOnly));
        table.write(format);
        table.close();
        ASSERT_EQ(language.switchTo(1031), kavro::LanguageModule::SwitchResult::Switched);
        const bool got = doc.GetEventDisplayName(&name);
        language.switchTo(kavro::kEnglishLangId);
        ASSERT_TRUE(got);
        EXPECT_EQ(name, QStringLiteral("Luftgewehr (4.5 mm)")) << format;
    }
}

TEST_F(KavroDocTest, HeartBeatsAreReadFromAnAimingsAttributesFromTheirFirstIndex)
{
    CKavroDoc doc;
    startPractice(doc, "AR10");
    ComPtr<IAimingAttr> attr;
    ASSERT_EQ(addAiming(doc, true, 1, 0)->get_Attr(attr.put()), S_OK);
    EXPECT_EQ(GetAttrPulseCount(attr.get()), 0);
    attr->put_Value(QStringLiteral("_pulse_fi"), Variant(int32_t(5)));
    attr->put_Value(QStringLiteral("_pulse_li"), Variant(int32_t(6)));
    for (int k = 5; k <= 6; ++k) {
        attr->put_Value(QStringLiteral("_pulse_min%1").arg(k), Variant::fromDate(45000.0 + k));
        attr->put_Value(QStringLiteral("_pulse_max%1").arg(k), Variant::fromDate(45000.5 + k));
    }
    ASSERT_EQ(GetAttrPulseCount(attr.get()), 2);
    DATE min = 0, max = 0;
    ASSERT_TRUE(GetPulseMinMax(attr.get(), 1, &min, &max));
    EXPECT_DOUBLE_EQ(min, 45006.0);
    EXPECT_DOUBLE_EQ(max, 45006.5);
    EXPECT_FALSE(GetPulseMinMax(attr.get(), 2, &min, &max));
    EXPECT_FALSE(GetPulseMinMax(attr.get(), -1, &min, &max));
    // A count that ends before it starts holds nothing.
    attr->put_Value(QStringLiteral("_pulse_li"), Variant(int32_t(3)));
    EXPECT_EQ(GetAttrPulseCount(attr.get()), 0);
}

TEST_F(KavroDocTest, PulseSamplesSkipRepeatsAndReadBack)
{
    CKavroDoc doc;
    startPractice(doc, "AR10");
    doc.AppendPulseSample(45000.5, 70);
    doc.AppendPulseSample(45000.6, 70);
    doc.AppendPulseSample(45000.7, 72);
    EXPECT_EQ(doc.GetPulseCount(), 2);
    DATE t = 0;
    int p = 0;
    ASSERT_TRUE(doc.ReadPulseSample(1, &t, &p));
    EXPECT_EQ(p, 72);
    EXPECT_DOUBLE_EQ(t, 45000.7);
    EXPECT_FALSE(doc.ReadPulseSample(2, &t, &p));
}

// A wrapper held by a static that was made before the settings store ends after the store: its
// end must not read settings (the store's tables are gone by then).
TEST(KavroDocEnd, AWrapperEndedAfterMainReadsNoSettings)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static QTemporaryDir settingsHome;
            qputenv("KAVRO_CONFIG_HOME", QFile::encodeName(settingsHome.path()));
            static std::unique_ptr<CKavroDoc> outlivesMain;
            outlivesMain = std::make_unique<CKavroDoc>();
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
