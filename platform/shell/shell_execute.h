#pragma once
// "Open" and program starts of the shell. A folder opens in our browser window (the program
// kavro-catalog beside this module); a document opens with the desktop's handler for its type;
// programs start detached with an argument list, never a command line to be split again.
// Tests put a launcher of their own in place to see what would have started.
#include "shell_interfaces.h"

#include <QString>
#include <QStringList>

namespace kavro::shell {

inline constexpr char kBrowserProgram[] = "kavro-catalog";

class ShellLauncher {
public:
    virtual ~ShellLauncher() = default;
    virtual bool startProgram(const QString& program, const QStringList& args) = 0;
    virtual bool openDocument(const QString& path) = 0;
};

// The launcher in use (the desktop's, unless a test set one).
ShellLauncher& shellLauncher();
// Null puts the desktop's launcher back.
void setShellLauncher(ShellLauncher* launcher);

// The browser program's arguments for an absolute folder ID: the names of its items.
QStringList browserArguments(LPCITEMIDLIST absolute);
// The folder a browser was started for: the absolute ID of the names (Computer's when empty).
LPITEMIDLIST folderFromArguments(const QStringList& names);

// The "open" verb on a folder: a browser window for it.
HRESULT ShellExecuteOpenFolder(LPCITEMIDLIST absolute);
// The "open" verb on a document file.
HRESULT ShellExecuteOpenFile(const QString& path);

} // namespace kavro::shell
