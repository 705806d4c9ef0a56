#pragma once
// The per-user settings root of the trainer and the program's own folder. Every per-user value of
// the program is read and written through these routines. A key that could not be opened comes
// back invalid (SettingsKey::isValid() is false).
#include "settings/settings.h"

#include <QString>

namespace kavro {

// The settings root, per user: software\Kavro\Kavro Professional (created when missing).
SettingsKey OpenAppRegistryKey();

// A subkey of the settings root, created when missing.
SettingsKey CreateAppSubKey(const QString& name);
SettingsKey OpenAppSubKey(const QString& name);

// The folder of the running program, with its trailing "/".
QString GetProgramDirectory();

// True when a file (not a folder) exists at the path.
bool FileExists(const QString& path);

} // namespace kavro
