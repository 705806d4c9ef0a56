// kavro-catalog [item name...]: the shell's browser window on a folder given by the names of its
// absolute ID's items (the catalog's root when none are given).
#include "kavrons.h"
#include "shell/shell_browser_window.h"
#include "shell/shell_execute.h"
#include "shell/shell_root.h"
#include "thread/end_signals.h"

#include <QApplication>

#include <cstdio>

using namespace kavro::shell;

int main(int argc, char** argv)
{
    kavro::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavro-catalog"));
    QStringList names = QApplication::arguments().mid(1);
    if (names.isEmpty())
        names = {QString::fromLatin1(kComputerItemName), QString::fromLatin1(kavro::catalog::kCatalogRootName)};
    IdList folder(folderFromArguments(names));
    if (!folder) {
        std::fprintf(stderr, "kavro-catalog: the folder names are too long for item IDs\n");
        return 2;
    }
    ComPtr<IShellFolder> shown;
    if (FAILED(BindToFolder(folder.get(), shown.put())))
        std::fprintf(stderr,
                     "kavro-catalog: the folder \"%s\" cannot be opened; for the catalog, libkavrons.so must lie "
                     "beside kavro-catalog\n",
                     qPrintable(names.join(QLatin1Char('/'))));
    ShellBrowserWindow window;
    // Logout, a closed terminal or Ctrl+C close the window as the user would, and end the loop.
    const kavro::EndSignals endSignals([&window](int) {
        window.close();
        QApplication::quit();
    });
    window.browseTo(folder.get());
    window.show();
    return app.exec();
}
