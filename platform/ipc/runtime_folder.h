#pragma once
// The per-user folder where processes of one user meet: named mappings, locks and sockets.
// $XDG_RUNTIME_DIR/kavro/, else /tmp/kavro-<uid>/. The folder is created with mode 0700; an
// existing one is used only when it is a real directory owned by this user that nobody else can
// enter or write, since another user could otherwise plant or read what we put there.
#include "com/hresult.h"

#include <QString>

namespace kavro {

// The folder's path, ending in '/', created when missing. E_ACCESSDENIED when it exists with
// another owner, is not a directory (a link included) or grants any right to group or others.
HRESULT runtimeFolder(QString* out);

// As above for any folder: creates `path` (one level) with 0700 or checks an existing one.
HRESULT ensurePrivateFolder(const QString& path);

// `name` inside the runtime folder.
HRESULT runtimeFilePath(const QString& name, QString* out);

} // namespace kavro
