// The per-user runtime folder, locks, the reader/writer guard, notices and the folder watcher.
#include "support/catalog_env.h"
#include "ipc/file_lock.h"
#include "ipc/folder_watcher.h"
#include "ipc/notice_channel.h"
#include "ipc/runtime_folder.h"
#include "ipc/swmr_guard.h"
#include "service_presence.h"
#include "thread/manual_event.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <chrono>
#include <sys/stat.h>
#include <thread>

using namespace kavro;

namespace {

class IpcTest : public cattest::CatalogEnvTest { };

TEST_F(IpcTest, RuntimeFolderIsPrivateAndRefusedOtherwise)
{
    QString folder;
    ASSERT_EQ(runtimeFolder(&folder), S_OK);
    EXPECT_EQ(folder, runPath() + QStringLiteral("/kavro/"));
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(runtimeFolder(&folder), S_OK); // an existing private folder is used

    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(runtimeFolder(&folder), E_ACCESSDENIED);
    ::chmod(QFile::encodeName(folder).constData(), 0710);
    EXPECT_EQ(runtimeFolder(&folder), E_ACCESSDENIED);

    // A link in its place is refused even when it points at a private folder.
    const QString elsewhere = rootPath() + QStringLiteral("/elsewhere");
    ASSERT_EQ(ensurePrivateFolder(elsewhere), S_OK);
    const QString link = rootPath() + QStringLiteral("/linked");
    ASSERT_TRUE(QFile::link(elsewhere, link));
    EXPECT_EQ(ensurePrivateFolder(link), E_ACCESSDENIED);

    // Without XDG_RUNTIME_DIR the folder is /tmp/kavro-<uid>.
    qunsetenv("XDG_RUNTIME_DIR");
    QString fallback;
    const HRESULT hr = runtimeFolder(&fallback);
    EXPECT_EQ(fallback.isEmpty() ? QStringLiteral("/tmp/kavro-%1/").arg(::geteuid()) : fallback,
              QStringLiteral("/tmp/kavro-%1/").arg(::geteuid()));
    (void)hr; // the machine's own folder may be refused; its path is what is checked
}

TEST_F(IpcTest, LocksExcludeEachOtherAndTimeOut)
{
    const QString path = rootPath() + QStringLiteral("/lock");
    FileLock a, b;
    ASSERT_EQ(a.open(path), S_OK);
    ASSERT_EQ(b.open(path), S_OK);
    ASSERT_TRUE(a.lock(FileLock::Mode::Shared, 0));
    EXPECT_TRUE(b.lock(FileLock::Mode::Shared, 0));
    b.unlock();
    EXPECT_FALSE(b.lock(FileLock::Mode::Exclusive, 30));
    a.unlock();
    EXPECT_TRUE(b.lock(FileLock::Mode::Exclusive, 0));
    EXPECT_FALSE(a.tryLock(FileLock::Mode::Shared));
    b.close(); // closing releases
    EXPECT_TRUE(a.tryLock(FileLock::Mode::Shared));
}

TEST_F(IpcTest, WaitingWriterKeepsNewReadersOutAndGetsItsTurn)
{
    SwmrGuard reader1, reader2, writer;
    ASSERT_TRUE(reader1.SwmrgInitialize(QStringLiteral("TESTDG")));
    ASSERT_TRUE(reader2.SwmrgInitialize(QStringLiteral("TESTDG")));
    ASSERT_TRUE(writer.SwmrgInitialize(QStringLiteral("TESTDG")));

    ASSERT_TRUE(reader1.SwmrgWaitToRead(0));
    ASSERT_TRUE(reader2.SwmrgWaitToRead(0)); // readers share
    reader2.SwmrgDoneReading();
    EXPECT_FALSE(writer.SwmrgWaitToWrite(20)); // a reader is inside

    std::atomic<bool> written{false};
    std::thread w([&] {
        ASSERT_TRUE(writer.SwmrgWaitToWrite(kInfinite));
        written = true;
        writer.SwmrgDoneWriting();
    });
    // Once the writer waits at the gate, a new reader cannot pass it.
    FileLock gate;
    ASSERT_EQ(gate.open(runPath() + QStringLiteral("/kavro/SWMRGMNWTESTDG")), S_OK);
    while (gate.tryLock(FileLock::Mode::Exclusive))
        gate.unlock(), std::this_thread::yield();
    EXPECT_FALSE(reader2.SwmrgWaitToRead(30));
    EXPECT_FALSE(written);
    reader1.SwmrgDoneReading();
    w.join();
    EXPECT_TRUE(written);
    EXPECT_TRUE(reader2.SwmrgWaitToRead(0));
    reader2.SwmrgDoneReading();

    // A writer keeps readers out, and other writers too.
    ASSERT_TRUE(writer.SwmrgWaitToWrite(0));
    EXPECT_FALSE(reader1.SwmrgWaitToRead(20));
    SwmrGuard writer2;
    ASSERT_TRUE(writer2.SwmrgInitialize(QStringLiteral("TESTDG")));
    EXPECT_FALSE(writer2.SwmrgWaitToWrite(20));
    writer.SwmrgDoneWriting();
    EXPECT_TRUE(writer2.SwmrgWaitToWrite(0));
    writer2.SwmrgDoneWriting();
}

TEST_F(IpcTest, OnlyOneServiceClaimsThePresence)
{
    using namespace kavro::catalog;
    EXPECT_FALSE(isCatalogServiceRunning());
    ServicePresence first, second;
    ASSERT_EQ(first.claim(), S_OK);
    // Claimed but not yet serving (its cache is still being opened): a view must keep waiting,
    // and no second service may start meanwhile.
    EXPECT_FALSE(isCatalogServiceRunning());
    EXPECT_EQ(second.claim(), S_FALSE);
    EXPECT_EQ(second.announce(), E_UNEXPECTED);
    ASSERT_EQ(first.announce(), S_OK);
    EXPECT_TRUE(isCatalogServiceRunning());
    EXPECT_EQ(second.claim(), S_FALSE);
    first.withdraw();
    EXPECT_FALSE(isCatalogServiceRunning());
    EXPECT_EQ(second.claim(), S_FALSE);
    first.release();
    EXPECT_EQ(second.claim(), S_OK);
}

TEST_F(IpcTest, NoticesReachEveryListenerAndDeadOnesAreRemoved)
{
    NoticeListener a, b;
    ASSERT_EQ(a.open(QStringLiteral("test-channel")), S_OK);
    ASSERT_EQ(b.open(QStringLiteral("test-channel")), S_OK);
    ASSERT_EQ(sendNotice(QStringLiteral("test-channel"), QByteArray("one\0two", 7)), S_OK);
    QByteArray got;
    ASSERT_TRUE(a.receive(&got));
    EXPECT_EQ(got, QByteArray("one\0two", 7));
    ASSERT_TRUE(b.receive(&got));
    EXPECT_FALSE(b.receive(&got));

    // A listener that died without closing leaves a bound socket that nobody reads.
    const QString folder = runPath() + QStringLiteral("/kavro/test-channel/");
    const int before = QDir(folder).entryList(QDir::System).size();
    {
        const QByteArray dead = QFile::encodeName(folder + QStringLiteral("dead.sock"));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, dead.constData(), size_t(dead.size()));
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        ::close(fd);
    }
    ASSERT_EQ(QDir(folder).entryList(QDir::System).size(), before + 1);
    ASSERT_EQ(sendNotice(QStringLiteral("test-channel"), "two"), S_OK);
    EXPECT_EQ(QDir(folder).entryList(QDir::System).size(), before);
    ASSERT_TRUE(a.receive(&got));
    EXPECT_EQ(got, QByteArray("two"));
    EXPECT_EQ(sendNotice(QStringLiteral("../x"), "x"), E_INVALIDARG);
    EXPECT_EQ(sendNotice(QStringLiteral("test-channel"), QByteArray(kMaxNoticeBytes + 1, 'x')), E_INVALIDARG);
}

TEST_F(IpcTest, AListenerThatFellBehindLearnsThatItMissedNotices)
{
    NoticeListener behind, keeping;
    ASSERT_EQ(behind.open(QStringLiteral("busy")), S_OK);
    ASSERT_EQ(keeping.open(QStringLiteral("busy")), S_OK);
    NoticeSender sender;
    ASSERT_EQ(sender.open(QStringLiteral("busy")), S_OK);
    QByteArray got;
    constexpr int kSent = 100; // far beyond a datagram socket's queue
    for (int i = 0; i < kSent; ++i) {
        ASSERT_EQ(sender.send(QByteArray::number(i)), S_OK);
        ASSERT_TRUE(keeping.receive(&got));
    }
    int received = 0;
    while (behind.receive(&got))
        ++received;
    EXPECT_LT(received, kSent);
    // The mark is no listener: a later notice reaches both and leaves the mark alone.
    ASSERT_EQ(sender.send("next"), S_OK);
    ASSERT_TRUE(behind.receive(&got));
    EXPECT_EQ(got, QByteArray("next"));
    EXPECT_TRUE(keeping.receive(&got));
    EXPECT_TRUE(behind.takeMissed());
    EXPECT_FALSE(behind.takeMissed());
    EXPECT_FALSE(keeping.takeMissed());
}

TEST_F(IpcTest, AKeptSenderReachesListenersThatCameLaterAndForgetsThoseThatWent)
{
    NoticeSender sender;
    ASSERT_EQ(sender.open(QStringLiteral("kept")), S_OK);
    ASSERT_EQ(sender.send("nobody"), S_OK);
    QByteArray got;
    {
        NoticeListener late;
        ASSERT_EQ(late.open(QStringLiteral("kept")), S_OK);
        ASSERT_EQ(sender.send("first"), S_OK);
        ASSERT_TRUE(late.receive(&got));
        EXPECT_EQ(got, QByteArray("first"));
    }
    NoticeListener another;
    ASSERT_EQ(another.open(QStringLiteral("kept")), S_OK);
    ASSERT_EQ(sender.send("second"), S_OK);
    ASSERT_TRUE(another.receive(&got));
    EXPECT_EQ(got, QByteArray("second"));
    EXPECT_FALSE(another.receive(&got));
    another.close();

    // The channel's folder removed and made again: listeners in the new one are reached, also
    // those that join after the sender first looked there.
    ASSERT_TRUE(QDir(runPath() + QStringLiteral("/kavro/kept")).removeRecursively());
    for (const char* message : {"third", "fourth"}) {
        NoticeListener again;
        ASSERT_EQ(again.open(QStringLiteral("kept")), S_OK);
        ASSERT_EQ(sender.send(message), S_OK);
        ASSERT_TRUE(again.receive(&got)) << message;
        EXPECT_EQ(got, QByteArray(message));
    }
}

TEST_F(IpcTest, WatcherSeesChangesInFoldersMadeAfterItStarted)
{
    const QString root = catalogPath();
    QDir().mkpath(root + QStringLiteral("a/b"));
    FolderWatcher watcher;
    std::atomic<int> batches{0};
    ManualEvent seen;
    ASSERT_EQ(watcher.start(root, [&](bool) { ++batches, seen.set(); }), S_OK);
    EXPECT_EQ(watcher.watchedFolders(), 3);
    EXPECT_TRUE(watcher.idle());

    QDir().mkpath(root + QStringLiteral("a/new/deeper"));
    ASSERT_TRUE(seen.wait(10000));
    for (int i = 0; i < 1000 && watcher.watchedFolders() < 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(watcher.watchedFolders(), 5);
    seen.reset();
    for (int i = 0; i < 1000 && !watcher.idle(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    seen.reset();
    QFile f(root + QStringLiteral("a/new/deeper/file"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(seen.wait(10000));
    watcher.stop();
    EXPECT_EQ(watcher.watchedFolders(), 0);

    FolderWatcher missing;
    EXPECT_TRUE(FAILED(missing.start(root + QStringLiteral("nothing"), [](bool) {})));
}

} // namespace
