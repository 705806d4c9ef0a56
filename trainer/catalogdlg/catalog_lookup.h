#pragma once
// The trainer reaches the catalog only through the shell: the folder "Kavro Catalog" among the
// children of Computer.
#include "shell/shell_interfaces.h"
#include "shell/shell_root.h"

#include <QStringList>

namespace kavro::trainer {

using kavro::shell::IdList;
using kavro::shell::IShellFolder;

// The catalog folder and its absolute ID; false when the shell has none (the extension is not
// installed) or a step fails. The name must match exactly.
bool FindCatalogFolder(ComPtr<IShellFolder>* folder, IdList* absolute);

// The shooter names of the catalog for the start-practice dialog's list: the names of the
// shooter folders of every event folder, each once, in the catalog's order. `found` tells
// whether the catalog folder was found (when not, the dialog says "Unable to start catalog
// service").
QStringList CatalogShooterNames(bool* found);

} // namespace kavro::trainer
