// The whole practice road: the trainer's frame in this process, a serial sensor simulator on a pty
// in another, listeners on the live socket, and the practice saved into a temporary catalog.
#include "support/practice_builder.h"

#include "app_options.h"
#include "app_registry.h"
#include "command_ids.h"
#include "doc_helpers.h"
#include "frame_message.h"
#include "live_server.h"
#include "main_frame.h"
#include "practice_rules.h"

#include "com/classregistry.h"
#include "sound/audio_output.h"
#include "sound/riff_wave.h"
#include "sounds/named_sounds.h"
#include "start_practice_dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include "pump.h"
#include "support/spawn.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

extern char** environ;

using kavro::live::packPoint;

namespace {

// Four aimings: one shot, two shots, one shot, one shot.
const char* kScript = R"(nosignal 400
aim -100 80 200 200
aim 5 -5 230 500
shot 400
wait 300
lose 100
nosignal 900
aim 60 -60 200 200
aim 10 12 230 400
shot 400
wait 600
shot 420
wait 300
lose 100
nosignal 900
aim -40 30 200 200
aim -8 3 230 400
shot 400
wait 300
lose 100
nosignal 900
aim 90 90 200 200
aim 2 2 230 400
shot 400
wait 300
lose 100
nosignal 20000
)";

pid_t spawn(const std::vector<std::string>& args, posix_spawn_file_actions_t* actions = nullptr)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

// What a view hears of the aimings: runs of trace hints are one entry.
class HintRecorder : public CView {
public:
    std::vector<int> hints;
    std::vector<bool> savedAtFinal; // the document was unmodified when an aiming ended finally
    std::vector<int> matchShotsAtFinal;
    CKavroDoc* doc = nullptr;
    void OnDocumentUpdate(CView*, int hint, const KavroHint::Payload&) override
    {
        if (hint < KavroHint::AimingStarted || hint > KavroHint::AimingFinal)
            return;
        if (hint == KavroHint::TraceCoordinates && !hints.empty() && hints.back() == hint)
            return;
        hints.push_back(hint);
        if (hint == KavroHint::AimingFinal) {
            savedAtFinal.push_back(!doc->IsModified());
            matchShotsAtFinal.push_back(doc->MatchShotCount());
        }
    }
    int finals() const { return int(std::count(hints.begin(), hints.end(), int(KavroHint::AimingFinal))); }
};

struct Listener {
    std::unique_ptr<QLocalSocket> socket = std::make_unique<QLocalSocket>();
    QByteArray received;
    bool start(const QString& path, int flags)
    {
        socket->connectToServer(path);
        if (!socket->waitForConnected(2000))
            return false;
        QObject::connect(socket.get(), &QLocalSocket::readyRead, [this] { received += socket->readAll(); });
        socket->write("KAVRO:REGISTER " + QByteArray::number(flags) + "\n");
        return pumpUntil([&] { return received.contains("REGISTERED"); }, 3000);
    }
    // The lines with runs of POINT and TRIGGER lines as one "POINT" entry.
    QStringList shape() const
    {
        QStringList out;
        for (const QByteArray& line : received.split('\n')) {
            if (line.isEmpty())
                continue;
            QString name = QString::fromLatin1(line).section(' ', 0, 0).mid(6);
            if (name == "TRIGGER")
                name = "POINT";
            if (name == "STATE")
                name += " " + QString::fromLatin1(line).section(' ', 1, 1);
            if (name == "POINT" && !out.isEmpty() && out.last() == name)
                continue;
            out << name;
        }
        return out;
    }
};

class PracticeRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile script(dir.filePath("road.sim"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(kScript);
        script.close();
        link = dir.filePath("com1");
        // A child test uses its parent's simulator: a killed child leaves nothing running.
        if (qgetenv("KAVRO_ROAD_CHILD") == "1")
            link = QFile::decodeName(qgetenv("KAVRO_COM1"));
        else
            startSimulator(script.fileName());
        ASSERT_TRUE(pumpUntil([&] { return QFile::exists(link); }, 3000));
        qputenv("KAVRO_COM1", QFile::encodeName(link));
        qputenv("KAVRO_LIVE_SOCKET", QFile::encodeName(dir.filePath("live")));
        kavro::theAppOptions() = kavro::AppOptions();
        kavro::theAppOptions().EnableRS232 = true;
        kavro::theAppOptions().EnableAutoSaveAfterShot = true;
        kavro::theAppOptions().AutoSaveAfterShot = 2;
        kavro::theAppOptions().AutoReplay = false;
        setMessageBoxHook([this](const QString& text, QMessageBox::Icon) {
            messages << text;
            return int(QMessageBox::No);
        });
        kavro::practice::CStartPracticeDlg::setMessageHook(
            [this](const QString& text, QMessageBox::Icon) { messages << text; });
    }
    void startSimulator(const QString& script)
    {
        // The simulator's stdout is not the test's: a child test reports on its stdout.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        sim = spawn(
            {KAVRO_SERIALSIM, "--model", "vantage", "--link", link.toStdString(), "--script", script.toStdString()},
            &actions);
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_GT(sim, 0);
    }
    // A fresh sensor on the same link, its script from the start.
    void restartSimulator()
    {
        if (sim > 0) {
            ::kill(sim, SIGTERM);
            ::waitpid(sim, nullptr, 0);
        }
        startSimulator(dir.filePath("road.sim"));
        ASSERT_TRUE(pumpUntil([&] { return QFile::exists(link); }, 3000));
    }
    void TearDown() override
    {
        setMessageBoxHook(nullptr);
        kavro::practice::CStartPracticeDlg::setMessageHook(nullptr);
        qunsetenv("KAVRO_COM1");
        if (sim > 0) {
            ::kill(sim, SIGTERM);
            ::waitpid(sim, nullptr, 0);
        }
    }

    trainertest::TestEnvironment env; // settings, events, HOME (the catalog) in a temporary folder
    QTemporaryDir dir;
    QString link;
    pid_t sim = -1;
    QStringList messages;
};

} // namespace

TEST_F(PracticeRoad, AimingsAndShotsReachTheDocumentViewsListenersAndTheCatalog)
{
    CMainFrame frame;
    HintRecorder hints;
    hints.doc = &frame.doc();
    frame.doc().AddView(&hints);
    ASSERT_TRUE(frame.practice().live().server());
    Listener trace, states;
    ASSERT_TRUE(trace.start(dir.filePath("live"), 3));
    ASSERT_TRUE(states.start(dir.filePath("live"), 1));

    // Event and shooter given and the sensor found: the start-practice dialog is never seen.
    struct ShowCounter : QObject {
        int shown = 0;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Show && o->objectName() == "StartPracticeDialog")
                ++shown;
            return false;
        }
    } dialogShows;
    qApp->installEventFilter(&dialogShows);
    const bool started = frame.NewPractice("AR10", "Road Tester");
    qApp->removeEventFilter(&dialogShows);
    ASSERT_TRUE(started) << messages.join('\n').toStdString();
    EXPECT_EQ(dialogShows.shown, 0);
    QByteArray placement;
    EXPECT_TRUE(FAILED(kavro::OpenAppRegistryKey().readBinary("WindowRectStartPractice", &placement)))
        << "the unseen dialog's default place was kept";
    ASSERT_TRUE(frame.GetDevice());
    ASSERT_TRUE(frame.SwitchToMatch());
    frame.resize(1200, 800);
    frame.show();
    ASSERT_TRUE(pumpUntil([&] { return hints.finals() >= 4; }, 30000)) << hints.finals();
    QDir().mkpath(KAVRO_SCREENS_DIR);
    frame.grab().save(QStringLiteral(KAVRO_SCREENS_DIR "/practice_recorded.png"));
    const int shots = frame.doc().MatchShotCount();
    EXPECT_GE(shots, 5);

    // Each aiming: started, traced, shot, concluded, concluded finally.
    std::vector<int> aiming;
    int aimings = 0;
    for (int h : hints.hints) {
        aiming.push_back(h);
        if (h != KavroHint::AimingFinal)
            continue;
        ++aimings;
        ASSERT_GE(aiming.size(), 4u);
        EXPECT_EQ(aiming.front(), KavroHint::AimingStarted);
        EXPECT_EQ(aiming[aiming.size() - 2], KavroHint::AimingConcluded);
        EXPECT_NE(std::find(aiming.begin(), aiming.end(), int(KavroHint::ShotAdded)), aiming.end());
        for (size_t i = 1; i + 2 < aiming.size(); ++i)
            EXPECT_TRUE(aiming[i] == KavroHint::TraceCoordinates || aiming[i] == KavroHint::ShotAdded) << aiming[i];
        aiming.clear();
    }
    EXPECT_EQ(aimings, hints.finals());

    // The second aiming holds two shots: the count steps from 1 to 3 past the configured 2, and
    // the save still comes.
    EXPECT_EQ(hints.matchShotsAtFinal, std::vector<int>({1, 3, 4, 5}));
    // Saved whenever two or more match shots had come since the last save.
    int lastSaved = 0;
    for (size_t i = 0; i < hints.savedAtFinal.size(); ++i) {
        const bool due = hints.matchShotsAtFinal[i] - lastSaved >= 2;
        EXPECT_EQ(hints.savedAtFinal[i], due) << "aiming " << i;
        if (due)
            lastSaved = hints.matchShotsAtFinal[i];
    }
    ASSERT_GT(lastSaved, 0);
    QString file;
    ASSERT_TRUE(frame.doc().GetFileName(&file));
    EXPECT_TRUE(file.startsWith(QDir::homePath() + "/Kavro catalog/")) << file.toStdString();
    EXPECT_TRUE(file.endsWith(".kavro"));

    EXPECT_EQ(frame.doc().fCoefficient(), 35); // the rifle's preset: nothing stored yet
    frame.StopPractice();
    EXPECT_FALSE(frame.GetDevice());
    EXPECT_EQ(kavro::practice::LoadFCoefficient("AR10", "Road Tester"), 35);
    ASSERT_TRUE(frame.doc().Save());

    // The saved practice has the same shots with the same scores.
    CKavroDoc reread;
    ASSERT_TRUE(reread.OpenDocument(file));
    ComPtr<IShotCollection> a, b;
    ASSERT_TRUE(frame.doc().GetMatchShots(&a));
    ASSERT_TRUE(reread.GetMatchShots(&b));
    ASSERT_EQ(countOf(a.get()), countOf(b.get()));
    for (int i = 1; i <= countOf(a.get()); ++i) {
        float ra = -1, rb = -2, xa = 0, xb = 1;
        shotAt(a.get(), i)->get_Result(&ra);
        shotAt(b.get(), i)->get_Result(&rb);
        shotAt(a.get(), i)->get_BreachX(&xa);
        shotAt(b.get(), i)->get_BreachX(&xb);
        EXPECT_EQ(ra, rb);
        EXPECT_EQ(xa, xb);
    }

    ASSERT_TRUE(pumpUntil([&] { return states.received.contains("STATE 5"); }, 3000));
    ASSERT_TRUE(pumpUntil([&] { return trace.received.contains("STATE 5"); }, 3000));
    const QStringList t = trace.shape();
    const QStringList s = states.shape();
    EXPECT_FALSE(states.received.contains("POINT"));
    EXPECT_EQ(t.first(), "REGISTERED");
    EXPECT_EQ(t.last(), "STATE 5");
    EXPECT_EQ(t.mid(1, 4), QStringList({"STATE 1", "STATE 2", "POINT", "SHOT"}));
    EXPECT_EQ(s.mid(0, 4), QStringList({"REGISTERED", "STATE 1", "STATE 2", "SHOT"}));
    EXPECT_EQ(t.count("SHOT"), shots);
    EXPECT_EQ(s.count("SHOT"), shots);
    EXPECT_EQ(t.count("STATE 4"), aimings);
    EXPECT_EQ(s.count("STATE 3"), aimings);
    EXPECT_EQ(s.count("STATE 5"), 1);
    frame.doc().RemoveView(&hints);
}

// Run by KilledAfterAnAutomaticSave in a process of its own: records a practice that is saved
// after every match shot and says so on stdout, until it is killed.
TEST_F(PracticeRoad, ChildRecordsUntilKilled)
{
    if (qgetenv("KAVRO_ROAD_CHILD") != "1")
        GTEST_SKIP() << "runs as the child of another test";
    kavro::theAppOptions().AutoSaveAfterShot = 1;
    CMainFrame frame;
    struct SaveReporter : CView {
        CKavroDoc* doc = nullptr;
        void OnDocumentUpdate(CView*, int hint, const KavroHint::Payload&) override
        {
            QString file;
            if (hint == KavroHint::Saved && doc->GetFileName(&file))
                std::printf("saved %s\n", file.toUtf8().constData()), std::fflush(stdout);
        }
    } reporter;
    reporter.doc = &frame.doc();
    frame.doc().AddView(&reporter);
    ASSERT_TRUE(frame.NewPractice("AR10", "Killed"));
    frame.SwitchToMatch();
    pumpUntil([] { return false; }, 30000);
}

TEST_F(PracticeRoad, KilledAfterAnAutomaticSave)
{
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    qputenv("KAVRO_ROAD_CHILD", "1");
    // The child serves its own socket and uses this test's simulator.
    qputenv("KAVRO_LIVE_SOCKET", QFile::encodeName(dir.filePath("child-live")));
    const pid_t child = spawn(
        {QCoreApplication::applicationFilePath().toStdString(), "--gtest_filter=PracticeRoad.ChildRecordsUntilKilled"},
        &actions);
    qunsetenv("KAVRO_ROAD_CHILD");
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ASSERT_GT(child, 0);
    std::string text;
    char buffer[512];
    QString saved;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30000) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 500) <= 0)
            continue;
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, size_t(n));
        const size_t at = text.find("saved ");
        const size_t end = at == std::string::npos ? at : text.find('\n', at);
        if (end != std::string::npos) {
            saved = QString::fromStdString(text.substr(at + 6, end - at - 6));
            break;
        }
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(out[0]);
    ASSERT_FALSE(saved.isEmpty()) << text;
    CKavroDoc reread;
    ASSERT_TRUE(reread.OpenDocument(saved)) << reread.lastReadError().toStdString();
    EXPECT_GE(reread.MatchShotCount(), 1);
    // Nothing half-written stays beside it.
    const QStringList left = QFileInfo(saved).dir().entryList(QDir::Files);
    for (const QString& name : left)
        EXPECT_TRUE(name.endsWith(".kavro")) << name.toStdString();
}

namespace {

// Exact in binary and in hundredths, so the wire values are known.
float xOf(int i)
{
    return float(i) * 0.25f - 12.25f;
}

ComPtr<IAiming> tracedAiming(int points, bool trigger, int triggerSpread)
{
    ComPtr<IAiming> aiming;
    createInstance(kavrodoc::CLSID_Aiming, &aiming);
    ComPtr<IAimingAttr> attr;
    aiming->get_Attr(attr.put());
    attr->put_SampleRate(200);
    ComPtr<IAimingTrace> trace;
    aiming->get_Trace(trace.put());
    int32_t channel = -1;
    if (trigger)
        trace->AddUserData("_trigger", &channel);
    for (int i = 0; i < points; ++i) {
        trace->Add(xOf(i), 7.5f);
        if (trigger) {
            int32_t last = 0;
            trace->get_Last(&last);
            trace->put_UserData(channel, last, 100 + (i % 2) * triggerSpread);
        }
    }
    return aiming;
}

} // namespace

// The device's events straight into the frame, without a sensor: the live lines they give.
TEST_F(PracticeRoad, EventsOfANewAimingConcludeTheCurrentOneAndTraceListenersGetTheirPoints)
{
    CMainFrame frame;
    trainertest::startPractice(frame.doc(), "AR10");
    Listener trace, states;
    ASSERT_TRUE(trace.start(dir.filePath("live"), 3));
    ASSERT_TRUE(states.start(dir.filePath("live"), 1));

    ComPtr<IAiming> first = tracedAiming(5, true, 40);
    frame.OnDeviceNewCoordinates(1, first.get(), 2);
    EXPECT_EQ(frame.practice().recorder().currentAiming(), first.get());
    frame.OnDeviceNewCoordinates(1, first.get(), 0); // nothing new
    frame.OnDeviceNewCoordinates(1, first.get(), 99); // more than the trace holds
    ComPtr<IAiming> second = tracedAiming(3, true, 2);
    frame.OnDeviceNewCoordinates(1, second.get(), 1);
    frame.OnDeviceConcludeAiming(1, second.get());
    frame.OnDeviceFinalConcludeAiming(1);
    frame.OnDeviceHeartBeat(1, 45000.0, 45000.00001);

    ASSERT_TRUE(pumpUntil([&] { return trace.received.contains("HEARTBEAT"); }, 3000));
    ASSERT_TRUE(pumpUntil([&] { return states.received.contains("HEARTBEAT"); }, 3000));
    const QList<QByteArray> lines = trace.received.trimmed().split('\n');
    const QList<QByteArray> expected = {
        "KAVRO:REGISTERED 3",
        "KAVRO:STATE 1 0",
        "KAVRO:STATE 2 0",
        // the last two points of five, each with its trigger value
        "KAVRO:POINT 0 " + QByteArray::number(packPoint(xOf(3), 7.5)),
        "KAVRO:TRIGGER 140 0",
        "KAVRO:POINT 0 " + QByteArray::number(packPoint(xOf(4), 7.5)),
        "KAVRO:TRIGGER 100 0",
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(lines.mid(0, expected.size()), expected);
    // All five points once more, then the new aiming concludes the first one and starts.
    EXPECT_EQ(lines.count("KAVRO:POINT 0 " + QByteArray::number(packPoint(xOf(0), 7.5))), 1);
    const int concluded = lines.indexOf("KAVRO:STATE 3 0");
    ASSERT_EQ(concluded, 7 + 10);
    EXPECT_EQ(lines.mid(concluded, 3), QList<QByteArray>({"KAVRO:STATE 3 0", "KAVRO:STATE 1 0", "KAVRO:STATE 2 0"}));
    EXPECT_EQ(lines.mid(concluded + 3),
              QList<QByteArray>({"KAVRO:POINT 0 " + QByteArray::number(packPoint(xOf(2), 7.5)), "KAVRO:TRIGGER 100 0",
                                 "KAVRO:STATE 3 0", "KAVRO:STATE 4 0", "KAVRO:HEARTBEAT 0 0"}));
    EXPECT_EQ(states.received,
              QByteArray("KAVRO:REGISTERED 1\nKAVRO:STATE 1 0\nKAVRO:STATE 2 0\nKAVRO:STATE 3 0\n"
                         "KAVRO:STATE 1 0\nKAVRO:STATE 2 0\nKAVRO:STATE 3 0\nKAVRO:STATE 4 0\n"
                         "KAVRO:HEARTBEAT 0 0\n"));

    // A trigger channel that moved by more than 5 stays; one that moved by 2 carried nothing.
    ComPtr<IAimingTrace> t1, t2;
    first->get_Trace(t1.put());
    second->get_Trace(t2.put());
    int32_t c1 = -1, c2 = -1;
    t1->GetUserData("_trigger", &c1);
    t2->GetUserData("_trigger", &c2);
    EXPECT_GT(c1, 0);
    EXPECT_EQ(c2, -1);
    EXPECT_EQ(frame.practice().recorder().currentAiming(), nullptr);
}

TEST_F(PracticeRoad, HeartBeatsAreNumberedOnTheAimingInProgress)
{
    CMainFrame frame;
    trainertest::startPractice(frame.doc(), "AR10");
    ComPtr<IAiming> aiming = tracedAiming(2, false, 0);
    frame.OnDeviceStartAiming(1, aiming.get());
    frame.OnDeviceHeartBeat(1, 45000.0, 45000.5);
    frame.OnDeviceHeartBeat(1, 45001.0, 45000.5); // max before min: not kept
    frame.OnDeviceHeartBeat(1, 45001.0, 45001.5);
    ComPtr<IAimingAttr> attr;
    aiming->get_Attr(attr.put());
    Variant fi, li, min1, max1;
    attr->get_Value("_pulse_fi", &fi);
    attr->get_Value("_pulse_li", &li);
    attr->get_Value("_pulse_min1", &min1);
    attr->get_Value("_pulse_max1", &max1);
    EXPECT_EQ(fi.vt(), VT_I4);
    EXPECT_EQ(fi.integer(), 0);
    EXPECT_EQ(li.vt(), VT_I4);
    EXPECT_EQ(li.integer(), 1);
    EXPECT_EQ(min1.vt(), VT_DATE);
    EXPECT_EQ(min1.r8(), 45001.0);
    EXPECT_EQ(max1.r8(), 45001.5);
}

TEST_F(PracticeRoad, AnotherPositionSavesTheMatchAndStartsAFreshPractice)
{
    CMainFrame frame;
    ASSERT_TRUE(frame.doc().NewDocument(trainertest::event("AR10").get(), "Ann", 1, QString(), 35));
    // A three-position practice of its own event would need one installed; the position value
    // is the document's and works for any event.
    frame.doc().SetPosition("standing");
    trainertest::addAiming(frame.doc(), true, 2, 0);
    ASSERT_TRUE(frame.doc().IsModified());
    frame.SwitchToMatch();
    EXPECT_TRUE(frame.IsMatchStarted());

    frame.SelectSubTarget(2, "prone");
    QString saved;
    ASSERT_TRUE(QDir(QDir::homePath() + "/Kavro catalog").exists());
    const QStringList files = QDir(QDir::homePath() + "/Kavro catalog").entryList({"*.kavro"}, QDir::Files);
    EXPECT_EQ(files.size(), 1);
    EXPECT_FALSE(frame.IsMatchStarted());
    EXPECT_EQ(frame.doc().MatchShotCount(), 0);
    EXPECT_FALSE(frame.doc().IsModified());
    EXPECT_FALSE(frame.doc().GetFileName(&saved) && !saved.isEmpty());
    Variant v;
    frame.doc().document()->get_Value("_position", &v);
    EXPECT_EQ(v.bstr(), QString("prone"));

    // The same position again changes nothing.
    trainertest::addAiming(frame.doc(), false, 1, 10);
    frame.SelectSubTarget(2, "prone");
    EXPECT_EQ(frame.doc().SightingShotCount(), 1);
}

// Hidden shots are shots: a practice whose only shots are hidden is kept by Stop practice, asked
// about on closing and saved by Save, whatever "Display hidden shots" shows.
TEST_F(PracticeRoad, APracticeOfHiddenShotsIsKeptAskedAboutAndSaved)
{
    kavro::theAppOptions().EnableAutoSaveAfterShot = false;
    CMainFrame frame;
    ASSERT_TRUE(frame.NewPractice("AR10", "Hidden")) << messages.join('\n').toStdString();
    frame.SwitchToMatch();
    ASSERT_TRUE(pumpUntil(
        [&] { return frame.doc().MatchShotCount() > 0 && !frame.practice().recorder().currentAiming(); }, 30000));
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(frame.doc().GetMatchShots(&match));
    std::vector<ComPtr<IShot>> shots;
    for (int i = 1; i <= countOf(match.get()); ++i)
        shots.push_back(shotAt(match.get(), i));
    for (const ComPtr<IShot>& shot : shots)
        frame.doc().SetShotHidden(shot.get(), true);
    ASSERT_FALSE(frame.doc().showHidden());
    ASSERT_EQ(frame.doc().MatchShotCount(), 0);

    frame.OnCommand(Cmd::StopPractice);
    EXPECT_FALSE(frame.GetDevice());
    ASSERT_TRUE(frame.doc().HasDocument());

    setMessageBoxHook([this](const QString& text, QMessageBox::Icon) {
        messages << text;
        return int(QMessageBox::Cancel);
    });
    messages.clear();
    EXPECT_FALSE(frame.close());
    EXPECT_EQ(messages, QStringList{"Document was changed. Save changes to this file?"});

    frame.OnCommand(Cmd::Save);
    EXPECT_FALSE(frame.doc().IsModified());
    QString file;
    ASSERT_TRUE(frame.doc().GetFileName(&file));
    CKavroDoc reread;
    ASSERT_TRUE(reread.OpenDocument(file));
    EXPECT_EQ(reread.MatchShotCountWithHidden(), int(shots.size()));
}

// Logout, shutdown, `kill`, a closed terminal or Ctrl+C end the real program in order: the
// practice stops (a listener hears it), is kept in the catalog, the layout is stored and the exit
// is a success. A signal the program was started to ignore (`nohup`) does not end it; a save that
// the system's file-size limit refuses is told, and leaves nothing half-written behind.
TEST_F(PracticeRoad, EndedFromOutsideTheTrainerKeepsThePracticeAndTheLayout)
{
    kavro::theAppOptions().EnableAutoSaveAfterShot = false;
    ASSERT_TRUE(kavro::SaveOptions()); // the program reads them from the settings
    const struct {
        const char* name;
        int ignoredAtStart; // 0: none
        int endSignal;
        rlim_t fileSizeLimit; // set on the recording program; 0: none
        int exitCode;
        const char* told; // on stderr
    } endings[] = {
        {"kill", 0, SIGTERM, 0, 0, ""},
        {"terminal closed", 0, SIGHUP, 0, 0, ""},
        {"Ctrl+C", 0, SIGINT, 0, 0, ""},
        {"started with nohup, the terminal closes, then kill", SIGHUP, SIGTERM, 0, 0, ""},
        {"files may not grow", 0, SIGTERM, 2048, 1,
         "kavropro: the practice could not be kept: Unable to save the file. The file is larger than this system "
         "allows."},
    };
    const QString live = dir.filePath("program-live");
    qputenv("KAVRO_LIVE_SOCKET", QFile::encodeName(live));
    const QDir catalog(QDir::homePath() + "/Kavro catalog");
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.name);
        restartSimulator();
        QDir(catalog).removeRecursively();
        cattest::SpawnOptions options;
        options.captureErr = true;
        if (ending.ignoredAtStart)
            options.ignoredSignals = {ending.ignoredAtStart};
        struct Child {
            cattest::Spawned process;
            // A failed check leaves nothing running.
            ~Child()
            {
                if (process.pid > 0) {
                    ::kill(process.pid, SIGKILL);
                    ::waitpid(process.pid, nullptr, 0);
                }
                if (process.errFd >= 0)
                    ::close(process.errFd);
            }
        } child{cattest::spawnProcess(KAVRO_PROGRAM, {"-n", "AR10", "Ended"}, {}, false, options)};
        const pid_t pid = child.process.pid;
        ASSERT_GT(pid, 0);
        Listener states;
        // The program listens a moment after it made its socket: a busy machine may need retries.
        ASSERT_TRUE(pumpUntil(
            [&] {
                states.socket = std::make_unique<QLocalSocket>();
                return QFile::exists(live) && states.start(live, 1);
            },
            30000));
        bool closed = false;
        QObject::connect(states.socket.get(), &QLocalSocket::disconnected, [&] { closed = true; });
        ASSERT_TRUE(
            pumpUntil([&] { return states.received.contains("SHOT") && states.received.contains("STATE 4"); }, 30000))
            << states.received.constData();
        if (ending.fileSizeLimit) {
            const rlimit limit{ending.fileSizeLimit, ending.fileSizeLimit};
            ASSERT_EQ(::prlimit(pid, RLIMIT_FSIZE, &limit, nullptr), 0);
        }
        if (ending.ignoredAtStart) {
            ASSERT_EQ(::kill(pid, ending.ignoredAtStart), 0);
            EXPECT_EQ(cattest::signalDisposition(pid, ending.ignoredAtStart), cattest::SignalDisposition::Ignored);
        }
        ASSERT_EQ(::kill(pid, ending.endSignal), 0);
        EXPECT_EQ(cattest::waitExit(pid, 20000), ending.exitCode);
        child.process.pid = -1;
        // What it wrote is in the pipe by now; a helper it started may still hold the pipe open.
        ::fcntl(child.process.errFd, F_SETFL, O_NONBLOCK);
        const QByteArray told = cattest::readAllOutput(child.process.errFd);
        child.process.errFd = -1;
        EXPECT_TRUE(told.contains(ending.told)) << told.constData();

        // The listener hears that the practice stopped, then the end of the stream.
        ASSERT_TRUE(pumpUntil([&] { return closed; }, 20000));
        states.received += states.socket->readAll();
        EXPECT_TRUE(states.received.endsWith("KAVRO:STATE 5 0\n")) << states.received.right(80).constData();

        const QStringList files = catalog.entryList(QDir::Files | QDir::Hidden);
        if (ending.exitCode != 0) {
            EXPECT_TRUE(files.isEmpty()) << files.join(' ').toStdString();
            continue;
        }
        ASSERT_EQ(files.size(), 1);
        CKavroDoc reread;
        ASSERT_TRUE(reread.OpenDocument(catalog.filePath(files[0])));
        EXPECT_GE(reread.ShotCountWithHidden(), 1);
        QString shooter;
        reread.GetShooterName(&shooter);
        EXPECT_EQ(shooter, "Ended");
        QFile settings(env.path() + "/user.reg");
        ASSERT_TRUE(settings.open(QIODevice::ReadOnly)) << settings.fileName().toStdString();
        EXPECT_TRUE(settings.readAll().contains("\"WindowRect\""));
    }
}

namespace {

// Counts the replays that start, as the trace view would play them.
struct ReplayCounter : CView {
    int started = 0;
    void OnDocumentUpdate(CView*, int hint, const KavroHint::Payload&) override
    {
        if (hint == KavroHint::ReplayStarts)
            ++started;
    }
};

} // namespace

TEST_F(PracticeRoad, AutomaticReplayAfterTheFinalConclusionOrEarlierWhenForced)
{
    for (const bool force : {false, true}) {
        CMainFrame frame;
        ReplayCounter replays;
        frame.doc().AddView(&replays);
        trainertest::startPractice(frame.doc(), "AR10");
        kavro::theAppOptions().AutoReplay = true;
        kavro::theAppOptions().AutoReplaySec = 0;
        kavro::theAppOptions().ForceReplay = force;
        ComPtr<IAiming> aiming = tracedAiming(20, false, 0);
        ComPtr<IShot> shot;
        ASSERT_EQ(aiming->AddShot(VARIANT_FALSE, shot.put()), S_OK);
        frame.OnDeviceShot(1, aiming.get(), shot.get());
        // While the aiming is in progress no replay may start.
        EXPECT_FALSE(frame.doc().StartReplay());
        frame.OnDeviceConcludeAiming(1, aiming.get());
        EXPECT_EQ(replays.started, force ? 1 : 0) << force;
        frame.OnDeviceFinalConcludeAiming(1);
        EXPECT_EQ(replays.started, 1) << force;
        frame.doc().RemoveView(&replays);
    }

    // With a delay the replay waits for its timer; a new aiming in between cancels it.
    CMainFrame frame;
    ReplayCounter replays;
    frame.doc().AddView(&replays);
    trainertest::startPractice(frame.doc(), "AR10");
    kavro::theAppOptions().AutoReplay = true;
    kavro::theAppOptions().ForceReplay = false;
    kavro::theAppOptions().AutoReplaySec = 1;
    ComPtr<IAiming> aiming = tracedAiming(20, false, 0);
    ComPtr<IShot> shot;
    aiming->AddShot(VARIANT_FALSE, shot.put());
    frame.OnDeviceShot(1, aiming.get(), shot.get());
    frame.OnDeviceConcludeAiming(1, aiming.get());
    frame.OnDeviceFinalConcludeAiming(1);
    EXPECT_EQ(replays.started, 0);
    ASSERT_TRUE(pumpUntil([&] { return replays.started == 1; }, 3000));

    ComPtr<IAiming> second = tracedAiming(20, false, 0);
    ComPtr<IShot> shot2;
    second->AddShot(VARIANT_FALSE, shot2.put());
    frame.OnDeviceShot(1, second.get(), shot2.get());
    frame.OnDeviceConcludeAiming(1, second.get());
    frame.OnDeviceFinalConcludeAiming(1);
    frame.OnDeviceStartAiming(1, tracedAiming(5, false, 0).get());
    EXPECT_FALSE(pumpUntil([&] { return replays.started == 2; }, 1500));
    frame.doc().RemoveView(&replays);
}

namespace {

// Answers the next modal dialog with OK once it shows.
void acceptNextDialog()
{
    QTimer::singleShot(50, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->accept();
        else
            acceptNextDialog();
    });
}

} // namespace

TEST_F(PracticeRoad, NumericPadPlusAndMinusStepTheRejectIntervalOnTheDevice)
{
    kavro::theAppOptions().PiezoRejectInterval = 0.1f;
    CMainFrame frame;
    ASSERT_TRUE(frame.NewPractice("AR10", "Road Tester")) << messages.join('\n').toStdString();
    frame.show();
    ASSERT_EQ(frame.panes().visibleView(), Cmd::ViewTrace);
    const auto deviceInterval = [&] {
        float v = -1;
        frame.GetDevice()->get_PiezoRejectInterval(1, &v);
        return v;
    };
    const auto statusShows = [&](const QString& text) {
        for (QLabel* l : frame.statusBar()->findChildren<QLabel*>())
            if (l->text() == text)
                return true;
        return false;
    };
    const auto press = [&](int key, Qt::KeyboardModifiers mods) {
        QKeyEvent event(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(&frame, &event);
    };
    press(Qt::Key_Plus, Qt::KeypadModifier);
    press(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_FLOAT_EQ(kavro::theAppOptions().PiezoRejectInterval, 0.3f);
    EXPECT_FLOAT_EQ(deviceInterval(), 0.3f);
    EXPECT_TRUE(statusShows("PiezoRejectInterval = 0.3"));
    for (int i = 0; i < 5; ++i) // never below 0
        press(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(kavro::theAppOptions().PiezoRejectInterval, 0.0f);
    EXPECT_EQ(deviceInterval(), 0.0f);
    // The keys of the main keyboard are not the pad's.
    press(Qt::Key_Plus, Qt::NoModifier);
    EXPECT_EQ(kavro::theAppOptions().PiezoRejectInterval, 0.0f);
    frame.StopPractice();
}

TEST_F(PracticeRoad, OptionsAndShotsParametersCommandsRunTheirDialogs)
{
    CMainFrame frame;
    trainertest::startPractice(frame.doc(), "AR10");
    frame.UpdateCommandUI();
    ASSERT_TRUE(frame.commands().action(Cmd::Options)->isEnabled());
    ASSERT_TRUE(frame.commands().action(Cmd::ShotsParameters)->isEnabled());
    kavro::theAppOptions().PiezoRejectInterval = 0.3f;
    acceptNextDialog();
    frame.OnCommand(Cmd::Options);
    const QStringList texts = [&] {
        QStringList t;
        for (QLabel* l : frame.statusBar()->findChildren<QLabel*>())
            t << l->text();
        return t;
    }();
    EXPECT_TRUE(texts.contains("PiezoRejectInterval = 0.3")) << texts.join('|').toStdString();

    const int coefficient = frame.doc().fCoefficient();
    acceptNextDialog();
    frame.OnCommand(Cmd::ShotsParameters);
    EXPECT_EQ(frame.doc().fCoefficient(), coefficient);
    EXPECT_FALSE(QApplication::activeModalWidget());
}

namespace {

// A short mono wave of one constant level: where it starts in the mix, the level names it.
void writeLevelWave(const QString& path, int16_t level)
{
    QByteArray samples;
    for (int i = 0; i < 441; ++i) // 20 ms
        samples.append(reinterpret_cast<const char*>(&level), 2);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kavro::buildRiffWave(kavro::WaveFormat::pcm(1, 22050, 16), samples));
}

constexpr int16_t kShotLevel = 3000;
int16_t resultLevel(int result)
{
    return int16_t(200 * (result + 1));
}

// The levels at which sound starts after silence, in order, on the left channel.
std::vector<int> soundStarts(const QByteArray& stereo)
{
    std::vector<int> starts;
    const auto* s = reinterpret_cast<const int16_t*>(stereo.constData());
    int16_t previous = 0;
    for (qsizetype i = 0; i + 1 < stereo.size() / 2; i += 2) {
        if (previous == 0 && s[i] != 0)
            starts.push_back(s[i]);
        previous = s[i];
    }
    return starts;
}

} // namespace

TEST_F(PracticeRoad, ShotsAreHeardWithTheirResultsUntilSoundIsSwitchedOff)
{
    const QString sounds = dir.filePath("sounds/");
    ASSERT_TRUE(QDir().mkpath(sounds));
    writeLevelWave(sounds + "Shot.wav", kShotLevel);
    for (int r = 0; r <= 10; ++r)
        writeLevelWave(sounds + QString("Result %1.wav").arg(r), resultLevel(r));
    kavro::SetSoundEnvironmentSource([&] {
        kavro::SoundEnvironment e;
        e.soundEnabled = kavro::theAppOptions().SoundEnabled;
        e.soundDirectory = sounds;
        return e;
    });
    kavro::WavFileOutput* out = nullptr;
    FrameSounds::setOutputFactory([&](kavro::Mixer& mixer) {
        auto o = std::make_unique<kavro::WavFileOutput>(mixer);
        out = o.get();
        return o;
    });
    kavro::theAppOptions().SoundEnabled = true;
    {
        CMainFrame frame;
        ASSERT_TRUE(out);
        ASSERT_EQ(kavro::GetSoundManager(), frame.sounds().manager());
        // The mix is rendered as it would play: 20 ms every 20 ms.
        QTimer render;
        QObject::connect(&render, &QTimer::timeout, [&] { out->render(441); });
        render.start(20);
        HintRecorder hints;
        hints.doc = &frame.doc();
        frame.doc().AddView(&hints);
        ASSERT_TRUE(frame.NewPractice("AR10", "Road Tester")) << messages.join('\n').toStdString();
        ASSERT_TRUE(frame.SwitchToMatch());
        auto* announce = frame.findChild<QTimer*>("announceTimer");
        ASSERT_TRUE(announce);
        // Two aimings are heard; then sound goes off, which the options keep.
        ASSERT_TRUE(pumpUntil([&] { return hints.finals() >= 2 && !announce->isActive(); }, 30000));
        const int heard = frame.doc().MatchShotCount();
        ASSERT_GT(heard, 0);
        frame.OnCommand(Cmd::SoundOff);
        EXPECT_FALSE(kavro::theAppOptions().SoundEnabled);
        kavro::AppOptions stored;
        stored.SoundEnabled = true;
        ASSERT_TRUE(stored.Load(kavro::OpenAppRegistryKey()));
        EXPECT_FALSE(stored.SoundEnabled);
        ASSERT_TRUE(pumpUntil([&] { return hints.finals() >= 4 && !announce->isActive(); }, 30000));
        frame.StopPractice();
        pumpUntil([] { return false; }, 200);
        render.stop();
        out->render(22050);

        ComPtr<IShotCollection> shots;
        ASSERT_TRUE(frame.doc().GetMatchShots(&shots));
        ASSERT_GT(countOf(shots.get()), heard);
        std::vector<int> expected;
        for (int i = 1; i <= heard; ++i) {
            float result = -1;
            shotAt(shots.get(), i)->get_Result(&result);
            expected.push_back(kShotLevel);
            expected.push_back(resultLevel(int(result)));
        }
        EXPECT_EQ(soundStarts(out->samples()), expected);
        frame.doc().RemoveView(&hints);
    }
    EXPECT_EQ(kavro::GetSoundManager(), nullptr);
    FrameSounds::setOutputFactory({});
    kavro::SetSoundEnvironmentSource({});
}
