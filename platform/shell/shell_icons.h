#pragma once
// Our shell's icon set, by the indices the catalog's folders name: 0 an open document, 1 a
// shooter folder, 2 an open folder, 3 a folder, 4 an open shooter folder, 5 a document, 6 a
// document of an older version.
#include <QIcon>

namespace kavro::shell {

QIcon shellIcon(int index);

} // namespace kavro::shell
