// A real data race whose one side runs in a handler called from Qt's event loop, the other on a
// plain thread. Built only under ThreadSanitizer: its test passes when the sanitizer, with the
// project's suppressions, still reports the race. Suppressions that match a Qt frame anywhere in
// a stack would hide it, and with it every such race in our own code.
#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <thread>

namespace {

int shared = 0; // written on both threads without any synchronisation: the planted race

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::thread writer([] {
        shared = 1;
        // Still running when the handler writes, so no join orders the two writes.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    QTimer::singleShot(50, &app, [&app] {
        shared = 2;
        app.quit();
    });
    const int code = app.exec();
    writer.join();
    return code + (shared == 0 ? 1 : 0);
}
