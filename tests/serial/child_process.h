#pragma once
// A helper program that a test runs beside itself (the sensor simulator), started with
// posix_spawn. QProcess starts children with CLONE_VM | CLONE_VFORK, which ThreadSanitizer cannot
// follow: its state is corrupted and real races drown in false reports.
#include <string>
#include <vector>

#include <sys/types.h>

namespace test {

class ChildProcess {
public:
    ChildProcess() = default;
    // Stops a child that still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `args`; its standard error is the test's own, its standard output is
    // readable with readLine when `captureOutput`, else the test's own too.
    bool start(const std::string& program, const std::vector<std::string>& args, bool captureOutput = false);
    // One line of standard output without its line end; false when none came within `timeoutMs`
    // or the output ended.
    bool readLine(std::string* line, int timeoutMs);
    bool running();
    // SIGTERM, then SIGKILL when the child has not ended within `graceMs`; reaps it.
    void stop(int graceMs = 3000);

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
};

} // namespace test
