#pragma once
// The shot page of the time-intervals view: the selected match shot's number, time, pulse,
// result and its intervals to the neighbouring match shots.
#include "info_page_model.h"

class CKavroDoc;

namespace kavro::info {

// The element ids of the shot page, in the order it shows them.
const std::vector<QString>& shotPageIds();

// Cells stay empty when the selected shot is not a match shot or has no neighbour on a side.
InfoPageModel BuildShotPage(CKavroDoc& doc);

} // namespace kavro::info
