#pragma once
// A document as JSON: "stored" holds exactly what the "Contents" stream holds (floats as the hex
// of their little-endian bytes, so equal means bit for bit), "derived" what is computed from it.
#include "kavrodoc.h"

#include <QJsonObject>

namespace doctest {

QJsonObject dumpDocument(IKavroDocument* document);

// Loads `path` into a fresh document: {"hr": "0x...", "dump": {...}}.
QJsonObject loadAndDump(const QString& path);

} // namespace doctest
