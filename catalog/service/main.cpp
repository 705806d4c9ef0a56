// kavrocls: the catalog service. Keeps the catalog cache of the catalog folder current for every
// catalog view; runs without a window, with a tray icon when the desktop has a tray.
#include "catalog_service.h"
#include "tray_icon.h"

#include "storage/file/atomic_file.h"
#include "thread/end_signals.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

bool hasDisplay()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char** argv)
{
    using namespace kavro::catalog;
    kavro::ignoreFileSizeSignal();
    // Without a display (started at login before the desktop, or on a server) the service still
    // keeps the cache; it only has no icon.
    std::unique_ptr<QCoreApplication> app;
    const bool gui = hasDisplay();
    if (gui)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    if (gui)
        QApplication::setQuitOnLastWindowClosed(false);

    // Logout, shutdown, a closed terminal or Ctrl+C stop the watcher and release the cache in order.
    const kavro::EndSignals endSignals([](int) { QCoreApplication::quit(); });
    if (!endSignals.isActive()) {
        std::fprintf(stderr, "kavrocls: cannot catch the signals that end the service\n");
        return 1;
    }

    CatalogService service;
    std::unique_ptr<TrayIcon> tray;
    CatalogService::Options options;
    options.status = [&tray](TrayState state, uint32_t documents) {
        if (tray)
            tray->postStatus(state, documents);
    };
    // The tray exists before the watcher reports, so that no status is lost.
    if (gui)
        tray = std::make_unique<TrayIcon>(catalogFolderFromDocumentModel());
    const HRESULT hr = service.Start(options);
    if (hr == S_FALSE) {
        std::fprintf(stderr, "kavrocls: the catalog service already runs\n");
        return 0;
    }
    if (hr == kFileTooLargeError) {
        std::fprintf(stderr,
                     "kavrocls: cannot start the catalog service: the catalog cache is larger than this system "
                     "allows (error 0x%08X)\n",
                     static_cast<unsigned>(hr));
        return 1;
    }
    if (FAILED(hr)) {
        std::fprintf(stderr,
                     "kavrocls: cannot start the catalog service (error 0x%08X): check that the "
                     "cache folder can be written and that libkavrodoc.so lies beside kavrocls\n",
                     static_cast<unsigned>(hr));
        return 1;
    }
    const int result = app->exec();
    if (tray)
        tray->stopping();
    service.Stop();
    tray.reset();
    return result;
}
