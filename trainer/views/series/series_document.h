#pragma once
// The series table of a document, as the series view shows it, for whoever needs the table without
// the view's window (the printed report).
#include "series_model.h"

class CKavroDoc;

namespace kavro::series {

// What the table's rows compute with, from the document and the columns shown.
RowContext rowContextOf(CKavroDoc& doc, const ColumnFlags& columns);
// Fills the table's groups from the document's shots; false without a document or its event.
bool buildFromDocument(SeriesTable& table, CKavroDoc& doc, const RowContext& ctx);
// Which groups show: the match once it runs, the sightings when the document includes them.
void showGroupsOf(SeriesTable& table, CKavroDoc& doc);
// The position's name that the group captions carry.
QString positionTextOf(CKavroDoc& doc);

// The whole table, built, shown and formatted; no row is selected.
SeriesTable seriesTableOf(CKavroDoc& doc);

} // namespace kavro::series
