#pragma once
// Access to the settings files. Reads see the file as last renamed into place; changes are made
// under an exclusive lock on a file beside it, on a fresh read, and written atomically, so
// processes and threads writing at the same time lose nothing.
#include "settings_tree.h"

#include <functional>

namespace settings_internal {

using ReadSettings = std::function<HRESULT(const SettingsNode& root)>;
// Sets *changed when the tree must be written back; a failure leaves the file untouched.
using ChangeSettings = std::function<HRESULT(SettingsNode& root, bool* changed)>;

HRESULT readSettings(const QString& file, const ReadSettings& reader);
// A per-user file and its folder are created private to the user, a per-machine one readable by all.
HRESULT changeSettings(const QString& file, bool perUser, const ChangeSettings& change);

} // namespace settings_internal
