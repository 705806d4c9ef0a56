// The start-up baseline: a Qt program that shows one empty main window and ends once the window
// is on screen. It links Qt alone, so its start costs what any Qt window program pays.
#include <QApplication>
#include <QMainWindow>
#include <QWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.show();
    while (!w.windowHandle() || !w.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    return 0;
}
