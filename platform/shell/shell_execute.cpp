#include "shell_execute.h"

#include "com/classregistry.h"
#include "shell_root.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QUrl>

namespace kavro::shell {

namespace {

class DesktopLauncher final : public ShellLauncher {
public:
    bool startProgram(const QString& program, const QStringList& args) override
    {
        return QProcess::startDetached(program, args);
    }
    bool openDocument(const QString& path) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
};

ShellLauncher* current = nullptr;

} // namespace

ShellLauncher& shellLauncher()
{
    static DesktopLauncher desktop;
    return current ? *current : desktop;
}

void setShellLauncher(ShellLauncher* launcher)
{
    current = launcher;
}

QStringList browserArguments(LPCITEMIDLIST absolute)
{
    return ItemIdListNames(absolute);
}

LPITEMIDLIST folderFromArguments(const QStringList& names)
{
    if (names.isEmpty())
        return ComputerIdList();
    LPITEMIDLIST list = nullptr;
    for (const QString& name : names) {
        IdList item(MakeItemId(kNamedItemKind, name));
        if (!item) {
            ILFree(list);
            return nullptr;
        }
        list = AppendItemId(list, item.get());
        if (!list)
            return nullptr;
    }
    return list;
}

HRESULT ShellExecuteOpenFolder(LPCITEMIDLIST absolute)
{
    const QString program = QDir(thisModuleFolder()).filePath(QString::fromLatin1(kBrowserProgram));
    return shellLauncher().startProgram(program, browserArguments(absolute)) ? S_OK : E_FAIL;
}

HRESULT ShellExecuteOpenFile(const QString& path)
{
    return shellLauncher().openDocument(path) ? S_OK : E_FAIL;
}

} // namespace kavro::shell
