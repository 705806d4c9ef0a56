#pragma once
// The string table in use: null means the built-in English. Replaced in one step, so readers on
// any thread see either the old table or the new one.
#include "string_table.h"

#include <memory>

namespace kavro {

std::shared_ptr<const StringTable> currentStringTable();
// Returns the table it replaced.
std::shared_ptr<const StringTable> exchangeStringTable(std::shared_ptr<const StringTable> table);

// The built-in English table (parsed once, on first use).
const StringTable& englishStringTable();

// The built-in English sources by file name, for the checks of the translations.
QList<std::pair<QString, QByteArray>> englishStringSources();

} // namespace kavro
