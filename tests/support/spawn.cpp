#include "support/spawn.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace cattest {

Spawned spawnProcess(const QString& program, const QStringList& args, const QStringList& env, bool captureOut,
                     const SpawnOptions& options)
{
    std::vector<QByteArray> argBytes{QFile::encodeName(program)};
    for (const QString& a : args)
        argBytes.push_back(a.toUtf8());
    std::vector<QByteArray> envBytes;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        const QByteArray name = entry.left(entry.indexOf('=') + 1);
        bool replaced = false;
        for (const QString& mine : env)
            replaced = replaced || mine.toUtf8().startsWith(name);
        if (!replaced)
            envBytes.push_back(entry);
    }
    for (const QString& mine : env)
        envBytes.push_back(mine.toUtf8());
    std::vector<char*> argv, envp;
    for (QByteArray& a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (QByteArray& e : envBytes)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    Spawned s;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (captureOut && ::pipe(pipeFds) == 0) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    }
    int errFds[2] = {-1, -1};
    if (options.captureErr && ::pipe(errFds) == 0) {
        posix_spawn_file_actions_adddup2(&actions, errFds[1], 2);
        posix_spawn_file_actions_addclose(&actions, errFds[0]);
        posix_spawn_file_actions_addclose(&actions, errFds[1]);
    }
    // An ignored signal stays ignored across exec; the test's own actions come back at once.
    std::vector<struct sigaction> before(options.ignoredSignals.size());
    struct sigaction ignore { };
    ignore.sa_handler = SIG_IGN;
    for (size_t i = 0; i < options.ignoredSignals.size(); ++i)
        ::sigaction(options.ignoredSignals[i], &ignore, &before[i]);
    if (::posix_spawn(&s.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        s.pid = -1;
    for (size_t i = 0; i < options.ignoredSignals.size(); ++i)
        ::sigaction(options.ignoredSignals[i], &before[i], nullptr);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0)
        ::close(pipeFds[1]);
    if (errFds[1] >= 0)
        ::close(errFds[1]);
    s.outFd = pipeFds[0];
    s.errFd = errFds[0];
    return s;
}

SignalDisposition signalDisposition(pid_t pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return SignalDisposition::Unknown;
    const uint64_t bit = uint64_t(1) << (signalNumber - 1);
    uint64_t ignored = 0, caught = 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigIgn:"))
            ignored = line.mid(7).trimmed().toULongLong(nullptr, 16);
        else if (line.startsWith("SigCgt:"))
            caught = line.mid(7).trimmed().toULongLong(nullptr, 16);
    }
    if (ignored & bit)
        return SignalDisposition::Ignored;
    return (caught & bit) ? SignalDisposition::Caught : SignalDisposition::Default;
}

int waitExit(pid_t pid, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0 || std::chrono::steady_clock::now() > end)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

QByteArray readAllOutput(int fd)
{
    QByteArray out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    ::close(fd);
    return out;
}

pid_t processHolding(const QString& path)
{
    QDirIterator processes(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (processes.hasNext()) {
        const QString dir = processes.next();
        bool number = false;
        const pid_t pid = QFileInfo(dir).fileName().toInt(&number);
        if (!number)
            continue;
        QDirIterator fds(dir + QStringLiteral("/fd"), QDir::Files | QDir::System);
        while (fds.hasNext())
            if (QFileInfo(fds.next()).symLinkTarget() == path)
                return pid;
    }
    return -1;
}

} // namespace cattest
