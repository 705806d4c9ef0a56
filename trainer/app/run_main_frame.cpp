#include "run_main_frame.h"

#include "app_options.h"
#include "app_registry.h"
#include "desktop_registration.h"
#include "main_frame.h"

#include "thread/end_signals.h"

#include <QApplication>
#include <QFileInfo>
#include <QSessionManager>
#include <QTimer>

#include <cstdio>

namespace {

// Nobody is there to answer a dialog when the program is told to end: each open one is closed as
// Escape would close it (Cancel where it has one), and the end waits for the code that asked to
// take that answer before the frame ends.
void endOnRequest(int* exitCode)
{
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        if (modal->isVisible())
            modal->hide();
        QTimer::singleShot(0, qApp, [exitCode] { endOnRequest(exitCode); });
        return;
    }
    if (CMainFrameBase* frame = CMainFrameBase::current(); frame && !frame->EndWithoutQuestions())
        *exitCode = 1;
    QApplication::exit(*exitCode);
}

} // namespace

std::unique_ptr<CMainFrame> CreateMainFrame(const CommandLine& cl, int* exitCode)
{
    *exitCode = 0;
    kavro::theAppOptions().Load(kavro::OpenAppRegistryKey());
    auto frame = std::make_unique<CMainFrame>();
    CMainFrameBase::setCurrent(frame.get());
    frame->panes().RestoreLayout();
    if (cl.action == CommandLine::OpenFile) {
        ShowMainFrame(*frame);
        const QString path = QFileInfo(cl.fileName).absoluteFilePath();
        if (!frame->OpenDocumentFile(path)) {
            frame->documents().ShowOpenFailure(path);
            CMainFrameBase::setCurrent(nullptr);
            // The user asked for this file and did not get it: not a success for a caller.
            *exitCode = 1;
            return nullptr;
        }
    } else if (cl.action == CommandLine::NewPractice) {
        if (!frame->NewPractice(cl.practiceHint1, cl.practiceHint2)) {
            CMainFrameBase::setCurrent(nullptr);
            return nullptr;
        }
    }
    return frame;
}

void ShowMainFrame(CMainFrame& frame)
{
    if (frame.panes().startsZoomed())
        frame.showMaximized();
    else
        frame.show();
    frame.raise();
    frame.activateWindow();
}

int RunMainFrame(const CommandLine& cl)
{
    int exitCode = 0;
    int endCode = 0;
    const kavro::EndSignals endSignals([&endCode](int) { endOnRequest(&endCode); });
    std::unique_ptr<CMainFrame> frame = CreateMainFrame(cl, &exitCode);
    if (!frame)
        return exitCode;
#if QT_CONFIG(sessionmanager)
    QObject::connect(
        qApp, &QGuiApplication::commitDataRequest, frame.get(),
        [f = frame.get()](QSessionManager& manager) {
            const bool mayAsk = manager.allowsInteraction();
            const bool mayGo = f->CommitDataForLogout(mayAsk);
            if (!mayAsk)
                return;
            if (!mayGo)
                manager.cancel();
            manager.release();
        },
        Qt::DirectConnection);
#endif
    ShowMainFrame(*frame);
    QApplication::setQuitOnLastWindowClosed(true);
    exitCode = QApplication::exec();
    CMainFrameBase::setCurrent(nullptr);
    frame.reset();
    kavro::SaveOptions();
    return exitCode;
}

int RunRegistration(const CommandLine& cl, const QString& programPath)
{
    const DesktopRegistrationResult r
        = cl.action == CommandLine::Register ? RegisterWithDesktop(programPath) : UnregisterFromDesktop();
    if (!r.ok) {
        std::fprintf(stderr, "kavropro: %s\n", qPrintable(r.error));
        return 1;
    }
    return 0;
}
