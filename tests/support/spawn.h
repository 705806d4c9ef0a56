#pragma once
// Helper processes started with posix_spawn: their pid is ours to signal (SIGKILL included),
// which a QProcess would hide behind its own event handling.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>
#include <vector>

namespace cattest {

struct Spawned {
    pid_t pid = -1;
    int outFd = -1; // the child's stdout, when captured
    int errFd = -1; // the child's stderr, when captured
};

struct SpawnOptions {
    bool captureErr = false;
    // Ignored in the child from its start, as `nohup` does with SIGHUP and a shell with SIGINT
    // for a job in the background.
    std::vector<int> ignoredSignals;
};

// Starts `program` with `args` and this process's environment plus `env` ("NAME=value").
Spawned spawnProcess(const QString& program, const QStringList& args, const QStringList& env = {},
                     bool captureOut = false, const SpawnOptions& options = {});

// What a running process does with a signal, as the kernel tells (/proc/<pid>/status).
enum class SignalDisposition { Default, Ignored, Caught, Unknown };
SignalDisposition signalDisposition(pid_t pid, int signalNumber);
// The exit code, 128 + the signal for a killed child, or -1 when it did not end within `timeoutMs`.
int waitExit(pid_t pid, int timeoutMs);
// Reads the captured output to its end.
QByteArray readAllOutput(int fd);

// A process that holds `path` open (the catalog service holds its "running" lock so, also when it
// was started detached by a catalog view); -1 when none.
pid_t processHolding(const QString& path);

} // namespace cattest
