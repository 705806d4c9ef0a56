#include "app_registry.h"

#include "com/classregistry.h"

#include <QFileInfo>

namespace kavro {

namespace {
const QString kRootPath = QStringLiteral("software\\Kavro\\Kavro Professional");
} // namespace

SettingsKey OpenAppRegistryKey()
{
    SettingsKey key;
    if (FAILED(SettingsKey::create(SettingsRoot::CurrentUser, kRootPath, &key)))
        return {};
    return key;
}

SettingsKey CreateAppSubKey(const QString& name)
{
    const SettingsKey root = OpenAppRegistryKey();
    if (!root.isValid())
        return {};
    SettingsKey sub;
    if (FAILED(root.createSub(name, &sub)))
        return {};
    return sub;
}

SettingsKey OpenAppSubKey(const QString& name)
{
    // Opening also creates the subkey, as the registry routine it stands for did.
    return CreateAppSubKey(name);
}

QString GetProgramDirectory()
{
    QString folder = thisModuleFolder();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

} // namespace kavro
