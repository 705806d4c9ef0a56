#pragma once
// Where documents go: the names that SaveUnique gives them and the catalog folder.
#include "com/hresult.h"

#include <QString>

namespace kavrodoc {

// A shooter's name made fit for a file name: at most 50 characters, runs of blanks and of
// characters that file names cannot hold become one space or one dot (never at the start),
// control characters are dropped.
QString cleanShooterName(const QString& name);

// "%d-%m-%y %H-%M-%S" of the date rounded to the second; false when the date has no calendar day.
bool formatTimeStamp(DATE date, QString* out);

// Folder (ending in a separator), name part, stamp and suffix number (0: none) as a file path.
QString uniqueDocumentPath(const QString& folder, const QString& name, const QString& stamp, int suffix);

// The catalog folder from the per-machine settings, ending in a separator.
QString catalogPath();

} // namespace kavrodoc
