#pragma once
// An event definition file: a compound file stamped with a class id whose one stream,
// "Contents", holds the saved event.
#include "com/guid.h"
#include "com/hresult.h"

#include <QByteArray>
#include <QString>

namespace kavrodoc {

// Fails when the file is not a compound file or has no "Contents" stream.
HRESULT readEventFile(const QString& path, Guid* clsid, QByteArray* contents);

// Replaces the file as a whole: readers see the old file or the new one, never a part.
HRESULT writeEventFile(const QString& path, const Guid& clsid, const QByteArray& contents);

} // namespace kavrodoc
