#include "support/settings_fixture.h"

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kValuesEach = 50;

QString valueName(int writer, int i)
{
    return QStringLiteral("w%1_v%2").arg(writer).arg(i);
}

// Each writer opens its own handle, as separate parts of the program would.
bool writeValues(int writer)
{
    SettingsKey key;
    if (FAILED(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("Kavro\\Shared"), &key)))
        return false;
    for (int i = 0; i < kValuesEach; ++i) {
        if (FAILED(key.writeDword(valueName(writer, i), uint32_t(writer * 1000 + i))))
            return false;
    }
    return true;
}

void expectAllValues(int writers)
{
    SettingsKey key;
    ASSERT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("Kavro\\Shared"), &key), S_OK);
    QStringList names;
    ASSERT_EQ(key.valueNames(&names), S_OK);
    EXPECT_EQ(names.size(), writers * kValuesEach);
    for (int w = 0; w < writers; ++w) {
        for (int i = 0; i < kValuesEach; ++i) {
            uint32_t d = 0;
            ASSERT_EQ(key.readDword(valueName(w, i), &d), S_OK) << w << " " << i;
            EXPECT_EQ(d, uint32_t(w * 1000 + i));
        }
    }
}

TEST_F(SettingsTest, ProcessesWritingAtOnceLoseNothing)
{
    constexpr int kChildren = 6;
    std::vector<pid_t> children;
    for (int w = 0; w < kChildren; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            _exit(writeValues(w) ? 0 : 1);
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    expectAllValues(kChildren);
}

TEST_F(SettingsTest, ThreadsWritingAtOnceLoseNothing)
{
    constexpr int kThreads = 6;
    std::vector<std::thread> threads;
    std::vector<char> ok(kThreads, 0);
    for (int w = 0; w < kThreads; ++w)
        threads.emplace_back([w, &ok] { ok[size_t(w)] = writeValues(w); });
    for (auto& t : threads)
        t.join();
    for (char good : ok)
        EXPECT_TRUE(good);
    expectAllValues(kThreads);
}

// A writer that dies holding the lock must not block the next one.
TEST_F(SettingsTest, LockOfADeadProcessIsReleased)
{
    SettingsKey key;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("Kavro"), &key), S_OK);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int fd = ::open(QFile::encodeName(userFile() + ".lock").constData(), O_RDWR);
        if (fd < 0 || flock(fd, LOCK_EX) != 0)
            _exit(1);
        (void)!write(pipeFds[1], "L", 1);
        raise(SIGKILL);
        _exit(2);
    }
    char c = 0;
    ASSERT_EQ(read(pipeFds[0], &c, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status));
    close(pipeFds[0]);
    close(pipeFds[1]);

    alarm(60); // a lock that outlived its process would hang here
    EXPECT_EQ(key.writeDword(QStringLiteral("after"), 1), S_OK);
    alarm(0);
}

} // namespace
