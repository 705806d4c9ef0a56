#include "series_document.h"

#include "app_options.h"
#include "kavro_doc.h"
#include "main_frame_base.h"

namespace kavro::series {

RowContext rowContextOf(CKavroDoc& doc, const ColumnFlags& columns)
{
    RowContext ctx;
    ComPtr<IEventParams> event;
    doc.GetEvent(&event);
    ctx.event = event.get(); // the document keeps its event while the table computes
    ctx.traceSeconds = doc.traceSeconds();
    ctx.fCoefficient = doc.fCoefficient();
    ctx.biathlon = doc.GetTargetKind() == TargetKind::Biathlon;
    ctx.aapShares = aimingPointSharesShown(columns);
    ctx.showHidden = doc.showHidden();
    return ctx;
}

bool buildFromDocument(SeriesTable& table, CKavroDoc& doc, const RowContext& ctx)
{
    table.clear();
    ComPtr<IEventParams> event;
    if (!doc.HasDocument() || !doc.GetEvent(&event))
        return false;
    ComPtr<IShotCollection> sighting, match;
    ComPtr<IAimingCollection> sightingAimings, matchAimings;
    doc.GetSightingShots(&sighting);
    doc.GetMatchShots(&match);
    doc.GetSightingAimings(&sightingAimings);
    doc.GetMatchAimings(&matchAimings);
    int32_t perSerie = 10;
    event->get_MaxShotsPerSerie(&perSerie);
    table.build(sighting.get(), match.get(), sightingAimings.get(), matchAimings.get(), ctx, perSerie);
    return true;
}

void showGroupsOf(SeriesTable& table, CKavroDoc& doc)
{
    CMainFrameBase* f = CMainFrameBase::of(doc);
    const bool waiting = f && f->IsDeviceConnected() && !f->IsMatchStarted();
    table.groups[1].visible = doc.HasDocument() && !waiting;
    table.groups[0].visible = doc.HasDocument() && doc.includeSightings();
    for (Group& group : table.groups)
        for (Serie& serie : group.series)
            serie.visible = group.visible;
}

QString positionTextOf(CKavroDoc& doc)
{
    QString text;
    doc.GetPositionName(&text);
    return text;
}

SeriesTable seriesTableOf(CKavroDoc& doc)
{
    SeriesTable table;
    table.columns = visibleColumns(theAppOptions(), doc.GetTargetKind() == TargetKind::Biathlon);
    buildFromDocument(table, doc, rowContextOf(doc, table.columns));
    showGroupsOf(table, doc);
    table.formatAll(loadTableTexts(), positionTextOf(doc));
    return table;
}

} // namespace kavro::series
