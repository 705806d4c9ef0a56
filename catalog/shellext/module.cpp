// The catalog extension's entry point: its folder class and the junction that shows it under
// "Computer".
#include "com/classregistry.h"
#include "kavro_folder.h"

using kavro::catalog::KavroFolder;

KAVRO_REGISTER_CLASS(KavroFolder, "Kavro.CatalogFolder.1");
[[maybe_unused]] static const bool kavroJunction =
    kavro::registerShellJunction(KavroFolder::clsid, kavro::catalog::kCatalogRootName);

KAVRO_DEFINE_MODULE()
