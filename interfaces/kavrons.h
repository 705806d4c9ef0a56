#pragma once
// What other programs know of the catalog's shell extension (kavrons): the name of the folder
// it joins below "Computer", by which the trainer and the shell's browser find the catalog.
namespace kavro::catalog {

inline constexpr char kCatalogRootName[] = "Kavro Catalog";

} // namespace kavro::catalog
