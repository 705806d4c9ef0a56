#pragma once
// Replaces a file so that readers see either the old or the new content, also after a crash:
// the data goes to a temporary file in the same folder, is flushed, and renamed over the target.
#include "com/hresult.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace settings_internal {

HRESULT writeFileAtomically(const QString& path, const QByteArray& data, mode_t mode);

} // namespace settings_internal
