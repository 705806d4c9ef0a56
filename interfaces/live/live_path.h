#pragma once
// The local socket of the live notifications, shared by the trainer and its listeners.
#include "com/hresult.h"

#include <QByteArray>
#include <QString>

namespace kavro::live {

// Where the trainer listens: `envSocket` when set, else `<xdgRuntime>/kavro-live` when that is an
// absolute path, else `kavro-live` in `fallbackFolder`, which is created with mode 0700 and
// refused (E_ACCESSDENIED) when it exists with another owner, as a link, or with a wider mode.
HRESULT resolveSocketPath(const QByteArray& envSocket, const QByteArray& xdgRuntime, const QString& fallbackFolder,
                          QString* out);
// The same from this process's environment; the fallback folder is /tmp/kavro-<uid>.
HRESULT socketPath(QString* out);

} // namespace kavro::live
