// The live notification server with real local sockets, in one thread: the test's listeners and
// the server share its event loop.
#include "live_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTimer>
#include "pump.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kavro::live;

namespace {

struct Listener {
    std::unique_ptr<QLocalSocket> socket = std::make_unique<QLocalSocket>();
    QByteArray received;

    bool connectTo(const QString& path)
    {
        socket->connectToServer(path);
        if (!socket->waitForConnected(2000))
            return false;
        QObject::connect(socket.get(), &QLocalSocket::readyRead, [this] { received += socket->readAll(); });
        return true;
    }
    void send(const QByteArray& line)
    {
        socket->write(line);
        socket->flush();
    }
    QList<QByteArray> lines() const
    {
        QList<QByteArray> out = received.split('\n');
        if (!out.isEmpty() && out.last().isEmpty())
            out.removeLast();
        return out;
    }
    bool waitForLines(int n)
    {
        return pumpUntil([&] { return lines().size() >= n; });
    }
};

class LiveServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.path() + "/live";
        ASSERT_TRUE(server.listen(path)) << server.errorString().toStdString();
    }
    bool registerListener(Listener& l, int flags)
    {
        const int before = l.lines().size();
        l.send("KAVRO:REGISTER " + QByteArray::number(flags) + "\n");
        return l.waitForLines(before + 1) && l.lines().last() == "KAVRO:REGISTERED " + QByteArray::number(flags);
    }

    QTemporaryDir dir;
    QString path;
    LiveServer server;
};

} // namespace

TEST_F(LiveServerTest, TheSocketIsTheUsersOnly)
{
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0077, 0u);
    EXPECT_EQ(st.st_uid, ::geteuid());
}

TEST_F(LiveServerTest, FlagsOneGetStatesAndShotsFlagsThreeTheTraceToo)
{
    Listener one, three;
    ASSERT_TRUE(one.connectTo(path) && three.connectTo(path));
    ASSERT_TRUE(registerListener(three, 3));
    ASSERT_TRUE(registerListener(one, 1));
    server.post(Message::State, 1, 0);
    server.postTrace({formatLine(Message::Point, 0, 65537), formatLine(Message::Trigger, 12, 0)});
    server.post(Message::Shot, 104, 9895689);
    server.post(Message::HeartBeat, 0, 0);
    ASSERT_TRUE(three.waitForLines(6));
    ASSERT_TRUE(one.waitForLines(4));
    EXPECT_EQ(three.lines(),
              QList<QByteArray>({"KAVRO:REGISTERED 3", "KAVRO:STATE 1 0", "KAVRO:POINT 0 65537", "KAVRO:TRIGGER 12 0",
                                 "KAVRO:SHOT 104 9895689", "KAVRO:HEARTBEAT 0 0"}));
    EXPECT_EQ(
        one.lines(),
        QList<QByteArray>({"KAVRO:REGISTERED 1", "KAVRO:STATE 1 0", "KAVRO:SHOT 104 9895689", "KAVRO:HEARTBEAT 0 0"}));
}

TEST_F(LiveServerTest, RegisteringAgainReplacesTheFlagsAndZeroUnregisters)
{
    Listener l;
    ASSERT_TRUE(l.connectTo(path));
    ASSERT_TRUE(registerListener(l, 3));
    ASSERT_TRUE(registerListener(l, 1));
    EXPECT_EQ(server.registeredCount(), 1);
    EXPECT_FALSE(server.hasTraceListeners());
    server.postTrace({formatLine(Message::Point, 0, 1)});
    server.post(Message::State, 4, 0);
    ASSERT_TRUE(l.waitForLines(3));
    EXPECT_EQ(l.lines().last(), QByteArray("KAVRO:STATE 4 0"));

    ASSERT_TRUE(registerListener(l, 0));
    EXPECT_EQ(server.registeredCount(), 0);
    server.post(Message::State, 5, 0);
    // The connection stays: registering once more is heard, and the STATE 5 was not queued.
    ASSERT_TRUE(registerListener(l, 1));
    EXPECT_EQ(l.lines().size(), 5);
    EXPECT_FALSE(l.received.contains("STATE 5"));
}

TEST_F(LiveServerTest, MalformedLinesAreIgnoredALongLineEndsTheListener)
{
    Listener l;
    ASSERT_TRUE(l.connectTo(path));
    l.send("HELLO\nKAVRO:REGISTER x\n\n");
    ASSERT_TRUE(registerListener(l, 1));
    EXPECT_EQ(l.lines().size(), 1);
    l.send(QByteArray(300, 'A') + "\n");
    ASSERT_TRUE(pumpUntil([&] { return l.socket->state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(server.registeredCount(), 0);

    // Endless text without a line break ends it too.
    Listener m;
    ASSERT_TRUE(m.connectTo(path));
    m.send(QByteArray(400, 'B'));
    ASSERT_TRUE(pumpUntil([&] { return m.socket->state() == QLocalSocket::UnconnectedState; }));
}

TEST_F(LiveServerTest, AClosedListenerLeavesTheTable)
{
    Listener a, b;
    ASSERT_TRUE(a.connectTo(path) && b.connectTo(path));
    ASSERT_TRUE(registerListener(a, 1));
    ASSERT_TRUE(registerListener(b, 1));
    a.socket->disconnectFromServer();
    ASSERT_TRUE(pumpUntil([&] { return server.registeredCount() == 1; }));
    server.post(Message::State, 3, 0);
    ASSERT_TRUE(b.waitForLines(2));
}

TEST_F(LiveServerTest, AListenerThatNeverReadsCostsAtMostItsQueue)
{
    // A raw socket that registers and then never reads.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const char hello[] = "KAVRO:REGISTER 3\n";
    ASSERT_EQ(::write(fd, hello, sizeof hello - 1), ssize_t(sizeof hello - 1));
    ASSERT_TRUE(pumpUntil([&] { return server.registeredCount() == 1; }));

    Listener reader;
    ASSERT_TRUE(reader.connectTo(path));
    ASSERT_TRUE(registerListener(reader, 1));

    std::vector<QByteArray> points;
    for (int i = 0; i < 100; ++i)
        points.push_back(formatLine(Message::Point, 0, uint32_t(i)));
    for (int round = 0; round < 300; ++round) {
        server.postTrace(points);
        QCoreApplication::processEvents();
    }
    // The socket takes what the kernel holds; the rest waits, capped.
    EXPECT_LE(server.pendingLines(), size_t(kMaxPendingLines));
    EXPECT_GT(server.pendingLines(), size_t(kMaxPendingLines / 2));

    // With the queue full the event loop still turns at once, and other listeners are served.
    QElapsedTimer t;
    t.start();
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    ASSERT_TRUE(pumpUntil([&] { return fired; }));
    EXPECT_LT(t.elapsed(), 50);
    server.post(Message::Shot, 100, 0);
    ASSERT_TRUE(reader.waitForLines(2));
    EXPECT_EQ(reader.lines().last(), QByteArray("KAVRO:SHOT 100 0"));
    ::close(fd);
    ASSERT_TRUE(pumpUntil([&] { return server.registeredCount() == 1; }));
    EXPECT_EQ(server.pendingLines(), 0u);
}

TEST_F(LiveServerTest, ASecondServerLeavesTheRunningOneAloneAStaleSocketIsReplaced)
{
    LiveServer second;
    EXPECT_FALSE(second.listen(path));
    Listener l;
    ASSERT_TRUE(l.connectTo(path));
    ASSERT_TRUE(registerListener(l, 1));

    // A socket file whose trainer died is taken over.
    const QString stale = dir.path() + "/stale";
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(stale);
        std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    LiveServer third;
    EXPECT_TRUE(third.listen(stale)) << third.errorString().toStdString();

    // A plain file in the way is not removed.
    const QString file = dir.path() + "/file";
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    LiveServer fourth;
    EXPECT_FALSE(fourth.listen(file));
    EXPECT_TRUE(QFile::exists(file));
}
