#include "settings/settings.h"

#include <QDir>

namespace {

QString environmentFolder(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

} // namespace

QString settingsFilePath(SettingsRoot root)
{
    if (root == SettingsRoot::LocalMachine) {
        QString folder = environmentFolder("KAVRO_SYSTEM_CONFIG");
        if (folder.isEmpty())
            folder = QStringLiteral("/etc/xdg/Kavro");
        return folder + QLatin1String("/machine.reg");
    }
    QString folder = environmentFolder("KAVRO_CONFIG_HOME");
    if (folder.isEmpty()) {
        // The base directory specification says relative values are to be ignored.
        QString base = environmentFolder("XDG_CONFIG_HOME");
        if (base.isEmpty() || QDir::isRelativePath(base))
            base = QDir::homePath() + QLatin1String("/.config");
        folder = base + QLatin1String("/Kavro");
    }
    return folder + QLatin1String("/user.reg");
}
