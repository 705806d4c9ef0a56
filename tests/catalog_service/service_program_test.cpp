// kavrocls as a program: it indexes a catalog of saved practices, survives being killed, and
// readers in other processes always find the cache in order.
#include "support/catalog_env.h"
#include "cache_reader.h"
#include "cache_writer.h"
#include "catalog_notice.h"
#include "support/document_fixture.h"
#include "ipc/notice_channel.h"
#include "support/practice_maker.h"
#include "service_presence.h"
#include "support/spawn.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace kavro;
using namespace kavro::catalog;
using namespace std::chrono_literals;

namespace {

const QString kService = QStringLiteral(KAVRO_BIN_DIR "/kavrocls");
const QString kProbe = QStringLiteral(KAVRO_CATALOG_PROBE);

class ServiceProgramTest : public cattest::CatalogEnvTest {
protected:
    void SetUp() override
    {
        CatalogEnvTest::SetUp();
        QDir().mkpath(homeCatalogPath());
        QDir().mkpath(rootPath() + QStringLiteral("/machine"));
    }
    void TearDown() override
    {
        if (service_ > 0) {
            ::kill(service_, SIGKILL);
            cattest::waitExit(service_, 10000);
        }
    }
    // The service with this test's folders: the catalog under $HOME, no per-machine settings.
    pid_t startService() { return startServiceWith({}).pid; }
    // `launcher` (a program and its arguments) runs the service as its last argument.
    cattest::Spawned startServiceWith(const cattest::SpawnOptions& options, QStringList launcher = {})
    {
        launcher.append(kService);
        const cattest::Spawned s = cattest::spawnProcess(
            launcher.first(), launcher.mid(1),
            {
                QStringLiteral("HOME=") + homePath(),
                QStringLiteral("XDG_RUNTIME_DIR=") + runPath(),
                QStringLiteral("KAVRO_CACHE_DIR=") + cacheDir(),
                QStringLiteral("KAVRO_SYSTEM_CONFIG=") + rootPath() + QStringLiteral("/machine"),
                QStringLiteral("KAVRO_CONFIG_HOME=") + rootPath() + QStringLiteral("/machine"),
                QStringLiteral("QT_QPA_PLATFORM=offscreen"),
            },
            false, options);
        EXPECT_GT(s.pid, 0);
        return s;
    }
    bool serviceComesUp()
    {
        const auto end = std::chrono::steady_clock::now() + 60s;
        while (!isCatalogServiceRunning()) {
            if (std::chrono::steady_clock::now() > end || cattest::waitExit(service_, 0) != -1)
                return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }
    // Waits (bounded) until a reader sees `documents` and `others` live records.
    bool cacheHolds(uint32_t documents, uint32_t others, std::chrono::seconds limit = 60s)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        CatalogCacheReader reader;
        while (std::chrono::steady_clock::now() < end) {
            CacheSnapshot snap;
            if ((reader.isOpen() || SUCCEEDED(reader.open())) && SUCCEEDED(reader.read(&snap, nullptr, kInfinite))
                && snap.header.documents == documents && snap.header.nonDocuments == others)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    // The catalog's records as a reader finds them: paths below the home catalog, sorted; empty
    // while there is no cache to read.
    static QStringList indexed(const QString& below)
    {
        CatalogCacheReader reader;
        CacheSnapshot snap;
        QStringList names;
        if (SUCCEEDED(reader.open()) && SUCCEEDED(reader.read(&snap, nullptr, kInfinite)))
            for (const CacheRecord& r : snap.records)
                names << (r.path.startsWith(below) ? r.path.mid(below.size()) : r.path);
        names.sort();
        return names;
    }
    // Waits (bounded) until the reader finds exactly these records below the home catalog.
    bool indexedBecomes(QStringList names, std::chrono::seconds limit = 60s)
    {
        names.sort();
        const auto end = std::chrono::steady_clock::now() + limit;
        while (indexed(homeCatalogPath()) != names) {
            if (std::chrono::steady_clock::now() > end) {
                ADD_FAILURE() << "indexed: " << indexed(homeCatalogPath()).join(QStringLiteral(", ")).toStdString()
                              << "\nwanted:  " << names.join(QStringLiteral(", ")).toStdString();
                return false;
            }
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }
    static void writeText(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("notes");
    }
    QJsonObject dumpWith(const QString& program, const QStringList& args)
    {
        cattest::Spawned s = cattest::spawnProcess(program, args, {}, true);
        const QByteArray out = cattest::readAllOutput(s.outFd);
        EXPECT_EQ(cattest::waitExit(s.pid, 30000), 0) << program.toStdString();
        return QJsonDocument::fromJson(out).object();
    }
    bool save(const QString& name, const cattest::PracticeSpec& spec)
    {
        QDir().mkpath(QFileInfo(homeCatalogPath() + name).path());
        return cattest::savePractice(spec, homeCatalogPath() + name);
    }

    pid_t service_ = -1;
};

TEST_F(ServiceProgramTest, IndexesSavedPracticesAsTheIndependentReaderReadsThem)
{
    auto anna = cattest::practice("AR10", QStringLiteral("Anna"), 4, 2);
    anna.comments = QStringLiteral("Wind von links, böig");
    anna.position = QStringLiteral("stehend");
    ASSERT_TRUE(save(QStringLiteral("Anna 1.kavro"), anna));
    ASSERT_TRUE(save(QStringLiteral("2026/Anna 2.kavro"), cattest::practice("AR10", QStringLiteral("Anna"), 10, 0)));
    ASSERT_TRUE(save(QStringLiteral("Bob.kavro"), cattest::practice("AP10", QStringLiteral("Bob"), 5, 1)));
    ASSERT_TRUE(save(QStringLiteral("nobody.kavro"), cattest::practice("AP10", QString(), 1, 0)));
    ASSERT_TRUE(save(QStringLiteral("prone/Cleo.kavro"), cattest::practice("SBR50", QStringLiteral("Cléo"), 2, 1)));
    QFile notes(homeCatalogPath() + QStringLiteral("notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("shopping list");
    notes.close();

    NoticeListener listener;
    ASSERT_EQ(listener.open(QString::fromLatin1(kavro::shell::kShellNoticeChannel)), S_OK);
    service_ = startService();
    ASSERT_TRUE(cacheHolds(5, 1));
    EXPECT_TRUE(isCatalogServiceRunning());

    // A second service gives way to the first.
    const pid_t second = startService();
    EXPECT_EQ(cattest::waitExit(second, 30000), 0);

    ASSERT_EQ(::kill(service_, SIGTERM), 0);
    EXPECT_EQ(cattest::waitExit(service_, 20000), 0);
    service_ = -1;
    EXPECT_FALSE(isCatalogServiceRunning());

    std::set<QStringList> folders;
    QByteArray message;
    while (listener.receive(&message)) {
        CatalogNotice n;
        ASSERT_TRUE(decodeShellNotice(message, &n));
        ASSERT_GE(n.names.size(), 3);
        EXPECT_EQ(n.names.mid(0, 2), (QStringList{QStringLiteral("Computer"), QStringLiteral("Kavro Catalog")}));
        if (n.event == SHCNE_MKDIR)
            folders.insert(n.names.mid(2));
    }
    QString rifle, pistol;
    doctest::event("AR10")->get_Name(&rifle);
    doctest::event("AP10")->get_Name(&pistol);
    EXPECT_TRUE(folders.count({rifle}));
    EXPECT_TRUE(folders.count({pistol}));
    EXPECT_TRUE(folders.count({rifle, QStringLiteral("Anna")}));
    EXPECT_TRUE(folders.count({pistol, QStringLiteral("Unknown")}));
    EXPECT_EQ(folders.size(), 3u + 4u); // three events, four shooter folders

    const QJsonObject ours = dumpWith(kProbe, {QStringLiteral("dump"), cachePath()});
    const QJsonObject theirs
        = dumpWith(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(KAVRO_TEST_SOURCE_DIR "/catalog_service/catalog_cache_reader.py"), cachePath()});
    ASSERT_EQ(ours.value(QStringLiteral("records")).toArray().size(), 6);
    EXPECT_EQ(ours, theirs);
    bool sawComments = false;
    for (const QJsonValue& r : ours.value(QStringLiteral("records")).toArray())
        sawComments = sawComments || r[QStringLiteral("comments")].toString() == anna.comments;
    EXPECT_TRUE(sawComments);
}

TEST_F(ServiceProgramTest, KilledDuringAScanItLeavesAReadableCacheAndCompletesItAfterARestart)
{
    ASSERT_TRUE(save(QStringLiteral("seed.kavro"), cattest::practice("AR10", QStringLiteral("Anna"), 20, 2)));
    const QString seed = homeCatalogPath() + QStringLiteral("seed.kavro");
    for (int i = 1; i < 500; ++i) {
        const QString name = QStringLiteral("%1/copy %2.kavro").arg(i % 7).arg(i);
        QDir().mkpath(QFileInfo(homeCatalogPath() + name).path());
        ASSERT_TRUE(QFile::copy(seed, homeCatalogPath() + name));
    }

    service_ = startService();
    CatalogCacheReader reader;
    CacheSnapshot snap;
    const auto end = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < end) {
        if ((reader.isOpen() || SUCCEEDED(reader.open())) && SUCCEEDED(reader.read(&snap, nullptr, kInfinite))
            && snap.header.documents > 0)
            break;
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(::kill(service_, SIGKILL), 0);
    EXPECT_EQ(cattest::waitExit(service_, 20000), 128 + SIGKILL);
    service_ = -1;
    ASSERT_GT(snap.header.documents, 0u);
    EXPECT_FALSE(isCatalogServiceRunning()); // the kernel dropped the dead service's lock

    // Another process reads what was written before the kill.
    cattest::Spawned probe = cattest::spawnProcess(kProbe, {QStringLiteral("read-loop"), QStringLiteral("100")});
    EXPECT_EQ(cattest::waitExit(probe.pid, 30000), 0);
    ASSERT_EQ(reader.read(&snap, nullptr, kInfinite), S_OK);
    EXPECT_LT(snap.header.documents, 500u);

    service_ = startService();
    ASSERT_TRUE(cacheHolds(500, 0));
    // A closed terminal ends it in order too.
    ASSERT_EQ(::kill(service_, SIGHUP), 0);
    EXPECT_EQ(cattest::waitExit(service_, 20000), 0);
    service_ = -1;
    ASSERT_EQ(reader.read(&snap, nullptr, kInfinite), S_OK);
    std::set<QString> paths;
    for (const CacheRecord& r : snap.records) {
        paths.insert(r.path);
        EXPECT_EQ(r.shotCount, 20);
    }
    EXPECT_EQ(paths.size(), 500u);
}

// Started with `nohup`, or in the background of a script, the service keeps that signal ignored
// and outlives the terminal; the other requests to end still end it in order.
TEST_F(ServiceProgramTest, ASignalIgnoredAtStartStaysIgnored)
{
    using cattest::SignalDisposition;
    for (const int ignored : {SIGHUP, SIGINT}) {
        SCOPED_TRACE(sigabbrev_np(ignored));
        cattest::SpawnOptions options;
        options.ignoredSignals = {ignored};
        service_ = startServiceWith(options).pid;
        ASSERT_TRUE(serviceComesUp());
        ASSERT_EQ(::kill(service_, ignored), 0);
        for (const int s : {SIGTERM, SIGHUP, SIGINT})
            EXPECT_EQ(cattest::signalDisposition(service_, s),
                      s == ignored ? SignalDisposition::Ignored : SignalDisposition::Caught)
                << sigabbrev_np(s);
        EXPECT_TRUE(isCatalogServiceRunning());
        ASSERT_EQ(::kill(service_, SIGTERM), 0);
        EXPECT_EQ(cattest::waitExit(service_, 20000), 0);
        service_ = -1;
    }
}

// Under a file-size limit below the cache's size the service cannot keep its cache: it says why
// and ends, rather than being killed by the system with a core dump.
TEST_F(ServiceProgramTest, ACacheLargerThanTheFileSizeLimitIsToldAtStart)
{
    cattest::SpawnOptions options;
    options.captureErr = true;
    const cattest::Spawned s
        = startServiceWith(options, {QStringLiteral("/usr/bin/prlimit"), QStringLiteral("--fsize=6144")});
    service_ = s.pid;
    const QByteArray told = cattest::readAllOutput(s.errFd);
    EXPECT_EQ(cattest::waitExit(service_, 20000), 1);
    service_ = -1;
    EXPECT_TRUE(told.contains(
        "kavrocls: cannot start the catalog service: the catalog cache is larger than this system allows"))
        << told.constData();
    EXPECT_FALSE(isCatalogServiceRunning());
}

TEST_F(ServiceProgramTest, ReadersInOtherProcessesAlwaysFindTheCacheInOrder)
{
    CatalogCache cache;
    ASSERT_EQ(cache.open(cachePath()), S_OK);
    std::vector<cattest::Spawned> probes;
    for (int i = 0; i < 3; ++i)
        probes.push_back(
            cattest::spawnProcess(kProbe, {QStringLiteral("read-loop"), QStringLiteral("3000")}, {}, true));

    // Appends, deletes, compactions and growth while the readers read.
    const auto start = std::chrono::steady_clock::now();
    int round = 0;
    for (;;) {
        const auto spent = std::chrono::steady_clock::now() - start;
        if ((spent > 1500ms && cache.MappedSize() > 0x40000u) || spent > 2800ms)
            break;
        for (int i = 0; i < 60; ++i) {
            CacheRecord r;
            r.fileVersion = 1;
            r.path = QStringLiteral("/c/%1/%2/").arg(round).arg(i) + QString(1000 + (i * 37) % 400, QLatin1Char('p'));
            r.event = QStringLiteral("Air Rifle");
            r.shooter = QStringLiteral("S%1").arg(i % 5);
            ASSERT_EQ(cache.AppendRecord(r), S_OK);
        }
        const auto offsets = cache.LiveRecordOffsets();
        // Half of the older records go, so the live ones settle near 120 (about 300 KB).
        for (size_t k = 0; k + 60 < offsets.size(); ++k)
            if (k % 2 != 0) {
                ASSERT_EQ(cache.DeleteRecord(offsets[k]), S_OK);
            }
        ++round;
    }
    EXPECT_GT(cache.MappedSize(), 0x40000u) << round << " rounds, " << cache.LiveDocuments() << " live";
    for (cattest::Spawned& p : probes) {
        const QByteArray out = cattest::readAllOutput(p.outFd);
        EXPECT_EQ(cattest::waitExit(p.pid, 30000), 0);
        EXPECT_GT(out.trimmed().toInt(), 0);
    }
}

TEST_F(ServiceProgramTest, KilledWhileCompactingItLeavesTheCacheWholeForEveryReader)
{
    cattest::Spawned writer = cattest::spawnProcess(
        kProbe, {QStringLiteral("stop-compacting"), cachePath(), QStringLiteral("400")}, {}, true);
    QByteArray line;
    char c = 0;
    while (!line.endsWith('\n') && ::read(writer.outFd, &c, 1) == 1)
        line.append(c);
    ::close(writer.outFd);
    ASSERT_EQ(line, QByteArray("compacting\n"));
    ASSERT_EQ(::kill(writer.pid, SIGKILL), 0);
    EXPECT_EQ(cattest::waitExit(writer.pid, 20000), 128 + SIGKILL);

    std::set<QString> expected;
    for (int i = 0; i < 400; ++i)
        if (i % 2 == 0 || i > 2 * int(kCompactAbove + 1))
            expected.insert(QStringLiteral("/c/%1/").arg(i) + QString(10 + (i * 37) % 90, QLatin1Char('p')));
    CatalogCacheReader reader;
    ASSERT_EQ(reader.open(), S_OK);
    CacheSnapshot snap;
    ASSERT_EQ(reader.read(&snap, nullptr, kInfinite), S_OK);
    std::set<QString> paths;
    for (const CacheRecord& r : snap.records)
        paths.insert(r.path);
    EXPECT_EQ(snap.records.size(), expected.size());
    EXPECT_EQ(paths, expected);
    const QJsonObject theirs
        = dumpWith(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(KAVRO_TEST_SOURCE_DIR "/catalog_service/catalog_cache_reader.py"), cachePath()});
    EXPECT_EQ(theirs.value(QStringLiteral("records")).toArray().size(), qsizetype(expected.size()));
}

// The catalog folder named in the machine's settings, with or without separators of its own at
// the end: every path the service records and tells of is the one the folder's walk gives.
TEST_F(ServiceProgramTest, ACatalogFolderWrittenWithATrailingSeparatorGivesPathsWithoutADoubledOne)
{
    const QString folder = rootPath() + QStringLiteral("/shots");
    QDir().mkpath(folder + QStringLiteral("/2026"));
    ASSERT_TRUE(
        cattest::savePractice(cattest::practice("AR10", QStringLiteral("Anna")), folder + QStringLiteral("/a.kavro")));
    ASSERT_TRUE(cattest::savePractice(cattest::practice("AR10", QStringLiteral("Anna"), 1, 0),
                                      folder + QStringLiteral("/2026/b.kavro")));
    QStringList walked;
    QDirIterator walk(folder, QDir::Files, QDirIterator::Subdirectories);
    while (walk.hasNext())
        walked << walk.next();
    walked.sort();
    ASSERT_EQ(walked.size(), 2);

    for (const QString& written : {folder, folder + QStringLiteral("/"), folder + QStringLiteral("//")}) {
        SCOPED_TRACE(written.toStdString());
        QFile machine(rootPath() + QStringLiteral("/machine/machine.reg"));
        ASSERT_TRUE(machine.open(QIODevice::WriteOnly | QIODevice::Truncate));
        machine.write("[Software]\n\n[Software\\Kavro]\n\"InstallDir2\"=\"" + written.toUtf8() + "\"\n");
        machine.close();
        QFile::remove(cachePath()); // every file is new to the service, and told of
        NoticeListener listener;
        ASSERT_EQ(listener.open(QString::fromLatin1(kavro::shell::kShellNoticeChannel)), S_OK);
        service_ = startService();
        ASSERT_TRUE(cacheHolds(2, 0));
        ASSERT_EQ(::kill(service_, SIGTERM), 0);
        EXPECT_EQ(cattest::waitExit(service_, 20000), 0);
        service_ = -1;

        CatalogCacheReader reader;
        CacheSnapshot snap;
        ASSERT_EQ(reader.open(), S_OK);
        ASSERT_EQ(reader.read(&snap, nullptr, kInfinite), S_OK);
        QStringList recorded;
        for (const CacheRecord& r : snap.records)
            recorded << r.path;
        recorded.sort();
        EXPECT_EQ(recorded.join(QLatin1Char('\n')).toStdString(), walked.join(QLatin1Char('\n')).toStdString());
        QStringList told;
        QByteArray message;
        while (listener.receive(&message)) {
            CatalogNotice n;
            ASSERT_TRUE(decodeShellNotice(message, &n));
            if (n.event == SHCNE_CREATE)
                told << n.names.last();
        }
        EXPECT_EQ(told.size(), 1);
        for (const QString& path : told)
            EXPECT_TRUE(walked.contains(path)) << path.toStdString();
    }
}

// A practice saved again in place under another shooter or event: open views are told of the
// folders it left, as if its old record had vanished, once the new one is in the cache.
TEST_F(ServiceProgramTest, APracticeSavedAgainUnderAnotherShooterOrEventTellsOfTheFoldersItLeft)
{
    QString rifle, pistol;
    doctest::event("AR10")->get_Name(&rifle);
    doctest::event("AP10")->get_Name(&pistol);
    struct Case {
        const char* what;
        std::vector<cattest::PracticeSpec> before; // saved as a.kavro, b.kavro, ...
        size_t rewritten; // how many of them, from a.kavro on, are saved over with `after`
        cattest::PracticeSpec after;
        QStringList initial; // told of the first scan, in any order
        QStringList told; // told of the second, in order
    };
    const Case cases[] = {
        {"the same shooter",
         {cattest::practice("AR10", QStringLiteral("Anna"))},
         1,
         cattest::practice("AR10", QStringLiteral("Anna"), 5),
         {QStringLiteral("MKDIR ") + rifle, QStringLiteral("MKDIR ") + rifle + QStringLiteral("/Anna")},
         {QStringLiteral("MKDIR ") + rifle, QStringLiteral("MKDIR ") + rifle + QStringLiteral("/Anna")}},
        {"another shooter, the old one's folder left empty",
         {cattest::practice("AR10", QStringLiteral("Anna"))},
         1,
         cattest::practice("AR10", QStringLiteral("Bob"), 5),
         {QStringLiteral("MKDIR ") + rifle, QStringLiteral("MKDIR ") + rifle + QStringLiteral("/Anna")},
         {QStringLiteral("MKDIR ") + rifle, QStringLiteral("MKDIR ") + rifle + QStringLiteral("/Bob"),
          QStringLiteral("RMDIR ") + rifle + QStringLiteral("/Anna")}},
        {"another shooter, the old one's folder holding another practice",
         {cattest::practice("AR10", QStringLiteral("Anna")), cattest::practice("AR10", QStringLiteral("Anna"), 2)},
         1,
         cattest::practice("AR10", QStringLiteral("Bob"), 5),
         {QStringLiteral("MKDIR ") + rifle, QStringLiteral("MKDIR ") + rifle + QStringLiteral("/Anna"),
          QStringLiteral("CREATE ") + rifle + QStringLiteral("/Anna/*.kavro")},
         {QStringLiteral("MKDIR ") + rifle + QStringLiteral("/Bob"),
          QStringLiteral("DELETE ") + rifle + QStringLiteral("/Anna/a.kavro")}},
        {"another event, the old one left empty",
         {cattest::practice("AR10", QStringLiteral("Anna"))},
         1,
         cattest::practice("AP10", QStringLiteral("Anna"), 5),
         {QStringLiteral("MKDIR ") + rifle, QStringLiteral("MKDIR ") + rifle + QStringLiteral("/Anna")},
         {QStringLiteral("MKDIR ") + pistol, QStringLiteral("MKDIR ") + pistol + QStringLiteral("/Anna"),
          QStringLiteral("RMDIR ") + rifle + QStringLiteral("/Anna"), QStringLiteral("RMDIR ") + rifle}},
        {"both practices of a shooter under another, read in one pass",
         {cattest::practice("AR10", QStringLiteral("Anna")), cattest::practice("AR10", QStringLiteral("Anna"), 2)},
         2,
         cattest::practice("AR10", QStringLiteral("Bob"), 5),
         {QStringLiteral("MKDIR ") + rifle, QStringLiteral("MKDIR ") + rifle + QStringLiteral("/Anna"),
          QStringLiteral("CREATE ") + rifle + QStringLiteral("/Anna/*.kavro")},
         {QStringLiteral("MKDIR ") + rifle, QStringLiteral("MKDIR ") + rifle + QStringLiteral("/Bob"),
          QStringLiteral("CREATE ") + rifle + QStringLiteral("/Bob/*.kavro"),
          QStringLiteral("DELETE ") + rifle + QStringLiteral("/Anna/*.kavro"),
          QStringLiteral("RMDIR ") + rifle + QStringLiteral("/Anna")}},
    };
    // "RMDIR event/shooter", the path below the catalog; a file name that the walk's order picks
    // as "*.kavro".
    auto told = [this](const CatalogNotice& n, bool anyFile) {
        static const std::map<uint32_t, QString> kinds{{SHCNE_MKDIR, QStringLiteral("MKDIR")},
                                                       {SHCNE_RMDIR, QStringLiteral("RMDIR")},
                                                       {SHCNE_CREATE, QStringLiteral("CREATE")},
                                                       {SHCNE_DELETE, QStringLiteral("DELETE")}};
        QStringList names = n.names.mid(2);
        if (names.size() == 3)
            names.last() = anyFile ? QStringLiteral("*.kavro") : names.last().mid(homeCatalogPath().size());
        return kinds.at(n.event) + QLatin1Char(' ') + names.join(QLatin1Char('/'));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(homeCatalogPath()).removeRecursively();
        QFile::remove(cachePath());
        for (size_t i = 0; i < c.before.size(); ++i)
            ASSERT_TRUE(save(QString(QLatin1Char('a' + i)) + QStringLiteral(".kavro"), c.before[i]));
        NoticeListener listener;
        ASSERT_EQ(listener.open(QString::fromLatin1(kavro::shell::kShellNoticeChannel)), S_OK);
        service_ = startService();
        ASSERT_TRUE(cacheHolds(static_cast<uint32_t>(c.before.size()), 0));

        for (size_t i = 0; i < c.rewritten; ++i)
            ASSERT_TRUE(save(QString(QLatin1Char('a' + i)) + QStringLiteral(".kavro"), c.after));
        // Until the cache holds the practices as saved again.
        const auto end = std::chrono::steady_clock::now() + 60s;
        QString event;
        doctest::event(c.after.event)->get_Name(&event);
        for (size_t read = 0; read < c.rewritten; std::this_thread::sleep_for(20ms)) {
            ASSERT_LT(std::chrono::steady_clock::now(), end) << "the practices saved again were not indexed";
            read = 0;
            CatalogCacheReader reader;
            CacheSnapshot snap;
            if (SUCCEEDED(reader.open()) && SUCCEEDED(reader.read(&snap, nullptr, kInfinite)))
                for (const CacheRecord& r : snap.records)
                    read += r.event == event && r.shooter == c.after.shooter && r.shotCount == c.after.matchShots;
        }
        ASSERT_EQ(::kill(service_, SIGTERM), 0);
        EXPECT_EQ(cattest::waitExit(service_, 20000), 0);
        service_ = -1;

        QStringList initial, then;
        QByteArray message;
        while (listener.receive(&message)) {
            CatalogNotice n;
            ASSERT_TRUE(decodeShellNotice(message, &n));
            if (initial.size() < c.initial.size())
                initial << told(n, n.event == SHCNE_CREATE);
            else
                then << told(n, c.rewritten > 1);
        }
        EXPECT_FALSE(listener.takeMissed());
        initial.sort();
        QStringList wanted = c.initial;
        wanted.sort();
        EXPECT_EQ(initial.join(QLatin1Char('\n')).toStdString(), wanted.join(QLatin1Char('\n')).toStdString());
        EXPECT_EQ(then.join(QLatin1Char('\n')).toStdString(), c.told.join(QLatin1Char('\n')).toStdString());
    }
}

// Whatever removes the cache file under the running service (a cleaner of the cache folder, a
// restored backup of it), readers find the service's cache at the path again within seconds,
// and it keeps up with the catalog from then on.
TEST_F(ServiceProgramTest, ACacheFileDeletedOrReplacedUnderTheServiceIsMadeAgain)
{
    ASSERT_TRUE(save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Anna"))));
    service_ = startService();
    ASSERT_TRUE(cacheHolds(1, 0));
    const QString oldCopy = rootPath() + QStringLiteral("/kavrocls.tmp.old");
    ASSERT_TRUE(QFile::copy(cachePath(), oldCopy));

    struct Case {
        const char* what;
        std::function<bool()> remove;
    };
    const Case cases[] = {
        {"the file deleted", [&] { return QFile::remove(cachePath()); }},
        {"its folder deleted", [&] { return QDir(cacheDir()).removeRecursively(); }},
        {"an old copy put in its place",
         [&] { return ::rename(QFile::encodeName(oldCopy), QFile::encodeName(cachePath())) == 0; }},
    };
    QStringList expected{QStringLiteral("a.kavro")};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.remove());
        ASSERT_TRUE(indexedBecomes(expected));
        // Written to the file readers read.
        const QString added = QStringLiteral("after %1.txt").arg(expected.size());
        writeText(homeCatalogPath() + added);
        expected << added;
        ASSERT_TRUE(indexedBecomes(expected));
    }
    EXPECT_EQ(dumpWith(kProbe, {QStringLiteral("dump"), cachePath()}).value(QStringLiteral("records")).toArray().size(),
              expected.size());
}

// The catalog folder is a link that the user points at another folder: the service follows it
// within seconds, as if the old folder's files had gone and the new one's come.
TEST_F(ServiceProgramTest, ACatalogLinkPointedElsewhereIsFollowed)
{
    ASSERT_TRUE(QDir(homeCatalogPath()).removeRecursively());
    const QString link = homePath() + QStringLiteral("/Kavro catalog");
    writeText(rootPath() + QStringLiteral("/first/a.txt"));
    writeText(rootPath() + QStringLiteral("/second/b.txt"));
    ASSERT_EQ(::symlink(QFile::encodeName(rootPath() + QStringLiteral("/first")).constData(),
                        QFile::encodeName(link).constData()),
              0);
    service_ = startService();
    ASSERT_TRUE(indexedBecomes({QStringLiteral("a.txt")}));

    struct Step {
        const char* target; // below the test's root
        QStringList indexed; // then
        const char* written; // a file written into the target afterwards, indexed too
    };
    const Step steps[] = {
        {"second", {QStringLiteral("b.txt")}, "b2.txt"},
        {"missing", {}, nullptr},
        {"first", {QStringLiteral("a.txt")}, "a2.txt"},
        {"second", {QStringLiteral("b.txt"), QStringLiteral("b2.txt")}, nullptr},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.target);
        const QString target = rootPath() + QLatin1Char('/') + QString::fromLatin1(step.target);
        const cattest::Spawned ln
            = cattest::spawnProcess(QStringLiteral("/bin/ln"), {QStringLiteral("-sfn"), target, link});
        ASSERT_EQ(cattest::waitExit(ln.pid, 30000), 0);
        ASSERT_TRUE(indexedBecomes(step.indexed));
        if (step.written) {
            writeText(target + QLatin1Char('/') + QString::fromLatin1(step.written));
            ASSERT_TRUE(indexedBecomes(step.indexed + QStringList{QString::fromLatin1(step.written)}));
        }
    }
}

// The inodes of the folders that the process `pid` watches through inotify.
std::set<ino_t> watchedInodes(pid_t pid)
{
    std::set<ino_t> inodes;
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    for (const QFileInfo& fd : QDir(proc + QStringLiteral("/fd")).entryInfoList(QDir::System | QDir::Files)) {
        char target[64] = {};
        if (::readlink(QFile::encodeName(fd.filePath()).constData(), target, sizeof target - 1) <= 0
            || qstrcmp(target, "anon_inode:inotify") != 0)
            continue;
        QFile info(proc + QStringLiteral("/fdinfo/") + fd.fileName());
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : info.readAll().split('\n')) {
            const qsizetype at = line.indexOf(" ino:");
            if (line.startsWith("inotify ") && at > 0)
                inodes.insert(line.mid(at + 5).split(' ').value(0).toULongLong(nullptr, 16));
        }
    }
    return inodes;
}

// The inodes of a folder and of every folder below it.
std::vector<ino_t> folderInodes(const QString& folder)
{
    std::vector<ino_t> inodes;
    QStringList folders{folder};
    QDirIterator below(folder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (below.hasNext())
        folders << below.next();
    for (const QString& f : folders) {
        struct stat st { };
        if (::stat(QFile::encodeName(f).constData(), &st) == 0)
            inodes.push_back(st.st_ino);
    }
    return inodes;
}

// Folders moved out of the catalog (into the desktop's trash) are watched no more; folders moved
// in, or within it, are watched with everything in them.
TEST_F(ServiceProgramTest, FoldersMovedOutOfTheCatalogAreNoLongerWatchedAndThoseMovedInAre)
{
    writeText(homeCatalogPath() + QStringLiteral("keep.txt"));
    writeText(homeCatalogPath() + QStringLiteral("2025/old/deep/x.txt"));
    QDir().mkpath(rootPath() + QStringLiteral("/outside/2024/sub/deeper"));
    QDir().mkpath(rootPath() + QStringLiteral("/trash"));
    service_ = startService();
    ASSERT_TRUE(indexedBecomes({QStringLiteral("2025/old/deep/x.txt"), QStringLiteral("keep.txt")}));

    auto watchedBecomes = [this](const std::vector<ino_t>& folders, bool watched) {
        const auto end = std::chrono::steady_clock::now() + 60s;
        for (;;) {
            const std::set<ino_t> now = watchedInodes(service_);
            if (std::all_of(folders.begin(), folders.end(), [&](ino_t i) { return now.count(i) == size_t(watched); }))
                return true;
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(20ms);
        }
    };
    ASSERT_TRUE(watchedBecomes(folderInodes(homeCatalogPath() + QStringLiteral("2025")), true));

    struct Move {
        const char* what;
        QString from, to;
        bool watched; // what lies at `to` afterwards
        const char* written; // then, below `to`
        QStringList indexed; // after that
    };
    const Move moves[] = {
        {"moved into the trash",
         homeCatalogPath() + QStringLiteral("2025"),
         rootPath() + QStringLiteral("/trash/2025"),
         false,
         "old/deep/y.txt",
         {QStringLiteral("keep.txt")}},
        {"moved in",
         rootPath() + QStringLiteral("/outside/2024"),
         homeCatalogPath() + QStringLiteral("2024"),
         true,
         "sub/deeper/new.txt",
         {QStringLiteral("2024/sub/deeper/new.txt"), QStringLiteral("keep.txt")}},
        {"moved within",
         homeCatalogPath() + QStringLiteral("2024"),
         homeCatalogPath() + QStringLiteral("2023"),
         true,
         "sub/deeper/later.txt",
         {QStringLiteral("2023/sub/deeper/later.txt"), QStringLiteral("2023/sub/deeper/new.txt"),
          QStringLiteral("keep.txt")}},
    };
    for (const Move& m : moves) {
        SCOPED_TRACE(m.what);
        ASSERT_TRUE(QDir().rename(m.from, m.to));
        EXPECT_TRUE(watchedBecomes(folderInodes(m.to), m.watched));
        writeText(m.to + QLatin1Char('/') + QString::fromLatin1(m.written));
        ASSERT_TRUE(indexedBecomes(m.indexed));
    }
}

// The writer's growing of the cache fails when the process has no address space for the larger
// mapping (nor, once the old one were let go, for the new one): the append fails, and the cache
// stays mapped, its records readable and appendable, until a later append finds the room.
TEST_F(ServiceProgramTest, AnAppendThatCannotGrowTheCacheFailsAndLeavesTheCacheUsable)
{
    cattest::Spawned writer
        = cattest::spawnProcess(kProbe, {QStringLiteral("grow-without-room"), cachePath()}, {}, true);
    const QList<QByteArray> lines = cattest::readAllOutput(writer.outFd).trimmed().split('\n');
    ASSERT_EQ(cattest::waitExit(writer.pid, 30000), 0);
    ASSERT_EQ(lines.size(), 3);
    const int filled = lines[0].mid(7).toInt();
    EXPECT_EQ(lines[0], "filled 123");
    EXPECT_EQ(lines[1], "without room failed, usable");
    EXPECT_EQ(lines[2],
              QByteArray("with room grown to ") + QByteArray::number(5 * 0x40000) + ", "
                  + QByteArray::number(filled + 2) + " documents");
    const QJsonObject theirs
        = dumpWith(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(KAVRO_TEST_SOURCE_DIR "/catalog_service/catalog_cache_reader.py"), cachePath()});
    EXPECT_EQ(theirs.value(QStringLiteral("records")).toArray().size(), filled + 2);
    EXPECT_EQ(theirs.value(QStringLiteral("mappedSize")).toInt(), 5 * 0x40000);
    EXPECT_EQ(QFileInfo(cachePath()).size(), 5 * 0x40000);
}

} // namespace
