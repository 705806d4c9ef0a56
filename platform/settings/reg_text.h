#pragma once
// The text form of a settings file, close to a Windows .reg export without its header line:
//   [Key\Path]
//   "name"=dword:0000000a
//   "name"="text with \" \\ \n escaped"
//   "name"=hex:01,02
//   @="the default value"
// Sections are relative to the file's root; "[]" holds the root's own values.
#include "settings_tree.h"

#include <memory>

namespace settings_internal {

// Never fails: a line that cannot be understood costs only itself, and is kept in the tree so that
// writing the tree back gives it back unchanged.
std::unique_ptr<SettingsNode> parseSettingsText(const QByteArray& utf8);

QByteArray formatSettingsText(const SettingsNode& root);

} // namespace settings_internal
