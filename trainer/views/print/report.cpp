#include "report.h"

#include "app_options.h"
#include "chart_cell.h"
#include "chart_views.h"
#include "doc_helpers.h"
#include "info_page_model.h"
#include "kavro_doc.h"
#include "print_strings.h"
#include "res_strings.h"
#include "series_document.h"
#include "series_view.h"
#include "target_pictures.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <optional>

namespace kavro::print {

using info::Figure;
using info::formatFigure;
using info::infoTitle;
using info::notAvailableText;

PageGeometry computePageGeometry(int paperWidth, int paperHeight, int dpiX, int dpiY, int offsetX, int offsetY,
                                 const ReportMargins& m)
{
    PageGeometry g;
    g.dpiX = dpiX;
    g.dpiY = dpiY;
    g.paper = {0, 0, paperWidth, paperHeight};
    g.printable = {offsetX, offsetY, paperWidth - offsetX, paperHeight - offsetY};
    const int left = MulDiv(m.left, dpiX, 2540), right = MulDiv(m.right, dpiX, 2540);
    const int top = MulDiv(m.top, dpiY, 2540), bottom = MulDiv(m.bottom, dpiY, 2540);
    g.content = {g.printable.left + std::max(0, left - offsetX), g.printable.top + std::max(0, top - offsetY),
                 g.printable.right - std::max(0, right - offsetX), g.printable.bottom - std::max(0, bottom - offsetY)};
    return g;
}

ReportFonts ReportFonts::make(int dpiY)
{
    const QString face
        = LoadResString(IDS_FACE_ARIAL).isEmpty() ? QStringLiteral("Arial") : LoadResString(IDS_FACE_ARIAL);
    auto font = [&](int points, int weight, const QString& f) { return GdiFont{-MulDiv(points, dpiY, 72), weight, f}; };
    ReportFonts r;
    r.text = font(12, 400, face);
    r.vertical = r.text;
    r.bold = font(12, 700, face);
    r.title = font(14, 700, face);
    r.brand = font(12, 700, QStringLiteral("Times New Roman"));
    r.brand.italic = true;
    return r;
}

ReportSections ReportSections::fromOptions()
{
    const AppOptions& o = theAppOptions();
    return {o.PrintAllShots, o.PrintGenInfo, o.PrintSeries,    o.PrintCoordination,
            o.PrintShift,    o.PrintSpeed,   o.PrintIntervals, o.PrintProbability};
}

QString sectionTitle(int command)
{
    QString text = LoadResString(uint32_t(command));
    text = text.mid(text.lastIndexOf(QLatin1Char('\n')) + 1);
    // The tool tip carries the view's key in parentheses; the title is the name alone.
    static const QRegularExpression key(QStringLiteral("\\s*\\([^()]*\\)$"));
    return text.remove(key);
}

namespace {

DATE firstMatchEnterTime(CKavroDoc& doc)
{
    ComPtr<IShotCollection> match;
    ComPtr<IAimingAttr> attr;
    DATE t = 0;
    if (doc.GetMatchShots(&match))
        if (ComPtr<IShot> first = shotAt(match.get(), 1); first && SUCCEEDED(first->get_Attr(attr.put())) && attr)
            attr->get_EnterTime(&t);
    return t;
}

QString shooterName(CKavroDoc& doc)
{
    QString name;
    if (!doc.GetShooterName(&name) || name.isEmpty())
        name = LoadResString(IDS_UNTITLED);
    return name;
}

// Lays cells out top to bottom over as many pages as they need.
class Layout {
public:
    Layout(CKavroDoc& doc, const PageGeometry& g, QString subtitle = QString())
        : doc(doc), g(g), fonts(ReportFonts::make(g.dpiY)), subtitle(std::move(subtitle))
    {
        pt = std::max(1, MulDiv(1, g.dpiY, 72));
        gapX = MulDiv(12, g.dpiX, 72);
        gapY = MulDiv(12, g.dpiY, 72);
        pad = MulDiv(4, g.dpiX, 72);
        halfPt = std::max(1, pt / 2);
        newPage();
    }

    int width() const { return int(g.content.width()); }
    PrintoutPage& page() { return pages.back(); }

    CPrintoutTextCell* text(const GdiFont& font, const QString& s, GdiRect rect,
                            uint32_t format = CPrintoutTextCell::kDefaultFormat, COLORREF color = 0)
    {
        auto* c = page().add<CPrintoutTextCell>();
        c->font = font;
        c->text = s;
        c->format = format;
        c->color = color;
        c->rect = rect;
        return c;
    }

    TextSize measure(const GdiFont& font, const QString& s, int w, uint32_t format = CPrintoutTextCell::kDefaultFormat)
    {
        CPrintoutTextCell probe;
        probe.font = font;
        probe.text = s;
        probe.format = format;
        return probe.Measure(w);
    }

    // A block of height h goes on this page unless it does not fit and the page already holds
    // something below its header; so a block taller than a page gets a page of its own (clipped)
    // and the layout never loops.
    bool breakFor(int h)
    {
        if (top + h <= bottom || top <= headerBottom)
            return false;
        newPage();
        return true;
    }

    void newPage()
    {
        pages.emplace_back();
        page().clip = g.content;
        top = g.content.top;
        bottom = g.content.bottom;
        header();
        headerBottom = top;
    }

    CKavroDoc& doc;
    const PageGeometry& g;
    ReportFonts fonts;
    QString subtitle;
    PrintoutPages pages;
    int pt = 1, gapX = 0, gapY = 0, pad = 0, halfPt = 1;
    int top = 0, bottom = 0, headerBottom = 0;

private:
    // The header's texts keep to their places: a text its place cannot hold is shortened with an
    // ellipsis rather than printed over its neighbour or past the margin.
    void header()
    {
        const GdiRect& c = g.content;
        constexpr COLORREF grey = 0x808080;
        const uint32_t single = DT_SINGLELINE | DT_NOCLIP;
        const QString brand = fitted(fonts.brand, LoadResString(IDS_BRAND), width());
        const TextSize b = measure(fonts.brand, brand, 0, single);
        text(fonts.brand, brand, {c.right - b.width, top, c.right, top + b.height}, single | DT_RIGHT, grey);
        const QString number = QString::asprintf("%i", int(pages.size()));
        const TextSize n = measure(fonts.brand, number, 0, single);
        text(fonts.brand, number, {c.left, bottom - n.height, c.right, bottom}, single | DT_RIGHT, grey);
        bottom -= n.height;

        const QString name = fitted(fonts.title, shooterName(doc), width() - (b.width ? b.width + gapX : 0));
        const TextSize s = measure(fonts.title, name, 0, single);
        text(fonts.title, name, {c.left, top, c.left + s.width, top + s.height}, single);
        top += std::max(s.height, b.height);

        // Right to left: the date, then the subtitle before it; the event takes what is left.
        QString event;
        doc.GetEventDisplayName(&event);
        int right = c.right;
        int line = 0;
        auto placeRight = [&](const GdiFont& font, const QString& full) {
            if (full.isEmpty())
                return;
            const QString shown = fitted(font, full, right - c.left);
            const TextSize t = measure(font, shown, 0, single);
            text(font, shown, {right - t.width, top, right, top + t.height}, single | DT_RIGHT);
            right -= t.width + gapX;
            line = std::max(line, t.height);
        };
        placeRight(fonts.text, info::formatDateTime(firstMatchEnterTime(doc)));
        placeRight(fonts.text, subtitle);
        event = fitted(fonts.title, event, right - c.left);
        const TextSize e = measure(fonts.title, event, 0, single);
        text(fonts.title, event, {c.left, top, c.left + e.width, top + e.height}, single);
        top += std::max(line, e.height);
        auto* rule = page().add<CPrintoutBarCell>();
        rule->background = 0;
        rule->rect = {c.left, top, c.right, top + pt};
        top += pt + gapY;
    }

    // The longest start of the text that, with an ellipsis, is no wider than `room`; the text
    // itself when it fits, nothing when not even the ellipsis does.
    QString fitted(const GdiFont& font, const QString& full, int room)
    {
        const uint32_t single = DT_SINGLELINE | DT_NOCLIP;
        auto widthOf = [&](const QString& t) { return measure(font, t, 0, single).width; };
        if (full.isEmpty() || widthOf(full) <= room)
            return full;
        const QString ellipsis(QChar(0x2026));
        qsizetype lo = 0, hi = full.size() - 1; // the longest start that fits lies in lo..hi
        if (widthOf(ellipsis) > room)
            return QString();
        while (lo < hi) {
            const qsizetype mid = (lo + hi + 1) / 2;
            if (widthOf(full.left(mid).trimmed() + ellipsis) <= room)
                lo = mid;
            else
                hi = mid - 1;
        }
        return full.left(lo).trimmed() + ellipsis;
    }
};

bool twoTargets(CKavroDoc& doc)
{
    return doc.GetTargetKind() == TargetKind::Biathlon;
}

bool printAllShots(Layout& l)
{
    ComPtr<IEventParams> event;
    ComPtr<IShotCollection> match;
    if (!l.doc.GetEvent(&event) || !l.doc.GetMatchShots(&match))
        return true;
    const bool two = twoTargets(l.doc);
    const std::vector<ComPtr<IAiming>> aimings = aimingsOfShots(l.doc, match.get());
    const QSizeF zoom = GetShotsZoom(event.get(), match.get(), two);
    const float zx = float(zoom.width()), zy = float(zoom.height());
    struct Picture {
        ShotsPicture shots;
        int w, h;
    };
    std::vector<Picture> pictures;
    if (!two) {
        const int side = MulDiv(200, l.g.dpiX, 72);
        pictures.push_back({{aimings, 1, false, true, zx, zy}, side, MulDiv(200, l.g.dpiY, 72)});
    } else {
        ComPtr<ITargetParams> t;
        float fw = 1, fh = 1;
        if (SUCCEEDED(event->get_Target(1, t.put())) && t) {
            t->get_FormWidth(&fw);
            t->get_FormHeight(&fh);
        }
        const int w = MulDiv(300, l.g.dpiX, 72);
        const int h = fw > 0 ? int(MulDiv(300, l.g.dpiY, 72) * double(fh) / fw) : w;
        for (int sub : {1, 2}) {
            std::vector<ComPtr<IAiming>> part;
            for (const ComPtr<IAiming>& a : aimings) {
                if ((sub == BiathlonTarget::Standing) == (aimingSubTarget(a.get()) == BiathlonTarget::Standing))
                    part.push_back(a);
            }
            if (!part.empty())
                pictures.push_back({{part, sub, false, true, zx, zy}, w, h});
        }
    }
    std::erase_if(pictures, [](const Picture& p) { return p.shots.aimings.empty(); });
    // The pictures keep their proportions and share the content width; the comments follow to
    // their right, or below them when too little of the width is left.
    int picturesWidth = 0, gaps = 0;
    for (const Picture& p : pictures) {
        gaps += picturesWidth ? l.gapX : 0;
        picturesWidth += p.w + (picturesWidth ? l.gapX : 0);
    }
    if (picturesWidth > l.width() && picturesWidth > gaps) {
        const double scale = double(l.width() - gaps) / (picturesWidth - gaps);
        picturesWidth = gaps;
        for (Picture& p : pictures) {
            p.w = int(p.w * scale);
            p.h = int(p.h * scale);
            picturesWidth += p.w;
        }
    }
    int picturesHeight = 0;
    for (const Picture& p : pictures)
        picturesHeight = std::max(picturesHeight, p.h);
    QString comments;
    l.doc.GetComments(&comments);
    const int besideLeft = l.g.content.left + picturesWidth + (picturesWidth ? l.gapX : 0);
    const bool beside = l.g.content.right - besideLeft >= l.width() / 4;
    const int commentsLeft = beside ? besideLeft : l.g.content.left;
    TextSize c{};
    if (!comments.isEmpty())
        c = l.measure(l.fonts.text, comments, l.g.content.right - commentsLeft);
    l.breakFor(beside ? std::max(picturesHeight, c.height) : picturesHeight);
    int x = l.g.content.left, height = 0;
    bool placed = false;
    for (const Picture& p : pictures) {
        if (!AddShotsPictureCell(event.get(), l.page(), p.shots, {x, l.top, x + p.w, l.top + p.h}))
            return false;
        x += p.w + l.gapX;
        height = std::max(height, p.h);
        placed = true;
    }
    if (c.height > 0) {
        if (!beside && placed) {
            l.top += height + l.gapY;
            height = 0;
            l.breakFor(c.height);
        }
        l.text(l.fonts.text, comments, {commentsLeft, l.top, l.g.content.right, l.top + c.height});
        height = std::max(height, c.height);
        placed = true;
    }
    if (placed)
        l.top += height + 2 * l.gapY;
    return true;
}

void printGenInfo(Layout& l)
{
    // Worked out afresh from the document, so the figures are today's whether or not the page is
    // open.
    const std::optional<info::InfoStatistics> stats = info::documentStatistics(l.doc);
    if (!stats)
        return;
    const info::InfoStatistics& s = *stats;
    const bool two = twoTargets(l.doc);
    const bool any = s.matchShots > 0;
    auto fig = [&](Figure f) { return any ? formatFigure(f, s) : notAvailableText(); };
    auto title = [](const char* id) { return infoTitle(QString::fromLatin1(id)); };
    std::vector<std::pair<QString, QString>> rows;
    rows.emplace_back(title("idShotCountTitle"), fig(Figure::ShotCount));
    QString result = title("idResultIntTitle") + fig(Figure::ResultInt);
    if (!two) {
        result += QLatin1Char('\n') + title("idResultFractionalTitle") + fig(Figure::ResultFractional);
        result += QLatin1Char('\n') + title("idResultAverageTitle")
            + (any ? QString::asprintf("%-4.1f", s.resultAverage) : notAvailableText());
    }
    rows.emplace_back(title("idResultTitle"), result);
    if (!two && !l.doc.centreGroups())
        rows.emplace_back(title("idResultIntCoinsidedTitle"), fig(Figure::ResultCentred));
    rows.emplace_back(title("idTotalShootingTimeTitle"), fig(Figure::TotalTime));
    rows.emplace_back(title("idAvgTimePerShotTitle"),
                      fig(Figure::AvgTimePerShot) + (two || !any ? QString() : formatFigure(Figure::Intervals, s)));
    rows.emplace_back(title("idStabilityOfTimeIntervalTitle"), fig(Figure::IntervalStability));
    if (!two) {
        rows.emplace_back(title("idDiametralDispersionTitle"), fig(Figure::DiametralDispersion));
        rows.emplace_back(title("idStabilityOfAimingTitle"), fig(Figure::StabilityOfAiming));
        rows.emplace_back(title("idAccuracyOfShootingTitle"), fig(Figure::AccuracyOfShooting));
        rows.emplace_back(title("idAvgSteadinessTitle"), fig(Figure::AvgSteadiness));
    }
    rows.emplace_back(title("idAvgLenTitle"),
                      fig(Figure::AvgLen) + QLatin1Char('\n') + title("idAvgLenXTitle") + fig(Figure::AvgLenX)
                          + QLatin1Char('\n') + title("idAvgLenYTitle") + fig(Figure::AvgLenY));
    if (!two)
        rows.emplace_back(title("idEllipticalFactorTitle"),
                          title("idEllipticalFactorGroupTitle") + fig(Figure::EllipticalGroup) + QLatin1Char('\n')
                              + title("idEllipticalFactorTraceTitle") + fig(Figure::EllipticalTrace));
    rows.emplace_back(title("idControlIntervalTitle"), info::formatControlInterval(l.doc.traceSeconds()));

    const int captionWidth = (l.width() - l.gapX) * 55 / 100;
    const int valueLeft = l.g.content.left + captionWidth + l.gapX;
    const int valueWidth = l.g.content.right - valueLeft;
    for (const auto& [caption, value] : rows) {
        const TextSize c = l.measure(l.fonts.bold, caption, captionWidth);
        const TextSize v = l.measure(l.fonts.text, value, valueWidth);
        const int h = std::max(c.height, v.height);
        l.breakFor(h);
        l.text(l.fonts.bold, caption, {l.g.content.left, l.top, l.g.content.left + captionWidth, l.top + c.height});
        l.text(l.fonts.text, value, {valueLeft, l.top, l.g.content.right, l.top + v.height});
        l.top += h + l.gapY;
    }
}

// The series of the series table: a title, a target with the series' shots and the table's
// rows beside it.
bool printSeries(Layout& l)
{
    using namespace kavro::series;
    ComPtr<IEventParams> event;
    if (!l.doc.GetEvent(&event))
        return true;
    // An open table may hold what only it knows (its own selection); without one the document's
    // table is built as the view would build it.
    CSeriesView* view = nullptr;
    for (CView* v : l.doc.views())
        if (auto* found = dynamic_cast<CSeriesView*>(v))
            view = found;
    std::optional<SeriesTable> built;
    if (view)
        view->RefreshIfNeeded(); // a hidden table only noted what changed
    else
        built = seriesTableOf(l.doc);
    const SeriesTable& table = view ? view->table() : *built;
    const bool two = twoTargets(l.doc);
    std::vector<int> columns;
    for (int c = 0; c < kColumnCount; ++c)
        if (table.columns[size_t(c)])
            columns.push_back(c);
    if (columns.empty())
        return true;
    const uint32_t single = DT_SINGLELINE | DT_NOCLIP;
    auto alignment = [](int c) { return c == ColNumber ? DT_LEFT : DT_RIGHT; };
    const int largestPicture = MulDiv(150, l.g.dpiX, 72), smallestPicture = MulDiv(72, l.g.dpiX, 72);
    const int lineHeight = l.measure(l.fonts.text, QStringLiteral("0"), 0, single).height + 2 * l.halfPt;
    for (const Group& group : table.groups) {
        if (!group.visible)
            continue;
        int number = 0;
        for (const Serie& serie : group.series) {
            ++number;
            if (!serie.visible || serie.shotCount() == 0)
                continue;
            // The rows: header, shots, then the series total and, with more series, the group's.
            std::vector<std::pair<const std::array<Cell, kColumnCount>*, bool>> rows; // cells, bold
            rows.emplace_back(&serie.caption.cells, true);
            for (const StatRow& r : serie.rows)
                if (r.values.present)
                    rows.emplace_back(&r.cells, false);
            const size_t ruleAfter = rows.size();
            rows.emplace_back(&serie.footer.cells, false);
            if (group.series.size() > 1)
                rows.emplace_back(&group.totals.cells, true);
            // A biathlon result is where the shot went on the five targets, as in the table on
            // the screen.
            const int schematicWidth = lineHeight * 10;
            std::vector<int> widths(columns.size(), 0);
            for (const auto& [cells, bold] : rows)
                for (size_t i = 0; i < columns.size(); ++i) {
                    const Cell& cell = (*cells)[size_t(columns[i])];
                    const int w = cell.picture
                        ? schematicWidth
                        : l.measure(bold ? l.fonts.bold : l.fonts.text, cell.text, 0, single).width;
                    widths[i] = std::max(widths[i], w + 2 * l.pad);
                }
            // The target gives way to a wide table, down to an inch.
            int tableWidth = 0;
            for (int w : widths)
                tableWidth += w;
            const int32_t sub = serie.aimings.empty() ? 1 : aimingSubTarget(serie.aimings.front().get());
            const int picture = std::clamp(l.width() - tableWidth - l.gapX, smallestPicture, largestPicture);
            const int pictureHeight = int(picture * formAspect(event.get(), sub));
            const QString title = seriesCaption(number, serie.totals);
            const int titleHeight = l.measure(l.fonts.bold, title, 0, single).height;
            const int tableHeight = int(rows.size()) * lineHeight + l.pt;
            l.breakFor(titleHeight + std::max(pictureHeight, tableHeight));
            l.text(l.fonts.bold, title, {l.g.content.left, l.top, l.g.content.right, l.top + titleHeight}, single);
            l.top += titleHeight;

            float ex = 0, ey = 0, caliber = 0;
            event->get_Caliber(&caliber);
            for (const StatRow& r : serie.rows)
                if (r.values.present && !r.values.missed) {
                    ex = std::max(ex, std::fabs(r.values.breachX) + caliber / 2);
                    ey = std::max(ey, std::fabs(r.values.breachY) + caliber / 2);
                }
            const QSizeF zoom = commonHalfExtent(event.get(), ex, ey, false);
            const float half = float(std::max(zoom.width(), zoom.height()));
            ShotsPicture shots{serie.aimings, sub, false, group.match, two ? 0.0f : half, two ? 0.0f : half};
            if (!AddShotsPictureCell(event.get(), l.page(), shots,
                                     {l.g.content.left, l.top, l.g.content.left + picture, l.top + pictureHeight}))
                return false;

            int y = l.top;
            const int left = l.g.content.left + picture + l.gapX;
            for (size_t row = 0; row < rows.size(); ++row) {
                if (row == ruleAfter) {
                    auto* rule = l.page().add<CPrintoutBarCell>();
                    rule->background = 0;
                    rule->rect = {left, y, left + tableWidth, y + l.pt};
                    y += l.pt;
                }
                int x = left;
                const auto& [cells, bold] = rows[row];
                for (size_t i = 0; i < columns.size(); ++i) {
                    const Cell& c = (*cells)[size_t(columns[i])];
                    if (c.picture) {
                        auto* cell = l.page().add<CPrintoutMetaCell>();
                        cell->metafile = DrawFiveTargetSchematic(c.hitArea, c.nearestArea);
                        cell->rect = {x + l.pad, y + l.halfPt, x + widths[i] - l.pad, y + lineHeight - l.halfPt};
                    } else {
                        auto* cell = l.text(bold ? l.fonts.bold : l.fonts.text, c.text,
                                            {x, y, x + widths[i], y + lineHeight}, single | alignment(columns[i]));
                        cell->insetX = l.pad;
                        cell->insetY = l.halfPt;
                    }
                    x += widths[i];
                }
                y += lineHeight;
            }
            l.top += std::max(pictureHeight, tableHeight) + l.gapY;
        }
    }
    return true;
}

template <class View> View* chartView(CKavroDoc& doc, std::unique_ptr<View>& owned)
{
    for (CView* v : doc.views())
        if (auto* found = dynamic_cast<View*>(v))
            return found;
    // Without the frame's view (a report made alone) a hidden one computes the charts.
    owned = std::make_unique<View>(doc);
    return owned.get();
}

template <class View> void printChart(Layout& l, int command)
{
    std::unique_ptr<View> owned;
    View* view = chartView<View>(l.doc, owned);
    view->RefreshIfNeeded();
    const std::vector<charts::CChartWindow*> windows = view->chartWindows();
    // Nothing to chart (a practice of one shot has no intervals): no section, as on the screen.
    if (std::none_of(windows.begin(), windows.end(),
                     [](charts::CChartWindow* w) { return hasPrintedCurves(w->chart()); }))
        return;
    const int chartHeight = l.width() / 2;
    const QString title = sectionTitle(command);
    const TextSize t = l.measure(l.fonts.bold, title, l.width());
    if (l.bottom - l.top < chartHeight + t.height)
        l.breakFor(chartHeight + t.height);
    l.text(l.fonts.bold, title, {l.g.content.left, l.top, l.g.content.right, l.top + t.height});
    l.top += t.height;
    const charts::ChartFonts fonts{l.fonts.bold, l.fonts.text, l.fonts.vertical};
    auto chartCell = [&](const charts::CChartImpl& chart, int top, int height) {
        auto* cell = l.page().add<CPrintoutChartCell>();
        cell->SetChart(chart);
        cell->fonts = fonts;
        cell->dpiX = l.g.dpiX;
        cell->dpiY = l.g.dpiY;
        cell->rect = {l.g.content.left, top, l.g.content.right, top + height};
        return cell;
    };
    if constexpr (std::is_same_v<View, charts::CProbabilityView>) {
        const int available = chartHeight - l.gapY / 2;
        const int upper = available * 3 / 5;
        chartCell(windows[0]->chart(), l.top, upper);
        if (windows.size() > 1)
            chartCell(windows[1]->chart(), l.top + upper + l.gapY / 2, available - upper);
    } else {
        chartCell(windows[0]->chart(), l.top, chartHeight);
    }
    l.top += chartHeight + l.gapY;
}

} // namespace

QString reportTitle(CKavroDoc& doc)
{
    QString event;
    doc.GetEventDisplayName(&event);
    QStringList parts{shooterName(doc)};
    if (!event.isEmpty())
        parts << event;
    if (const DATE t = firstMatchEnterTime(doc); t != 0)
        parts << info::formatDateTime(t);
    return parts.join(QStringLiteral(", "));
}

std::optional<PrintoutPages> PrintReport(CKavroDoc& doc, const PageGeometry& geometry, const ReportSections& s)
{
    if (geometry.content.isEmpty())
        return std::nullopt;
    Layout l(doc, geometry);
    if (doc.HasDocument()) {
        const bool two = twoTargets(doc);
        if (s.allShots && !printAllShots(l))
            return std::nullopt;
        if (s.genInfo)
            printGenInfo(l);
        if (s.series && !printSeries(l))
            return std::nullopt;
        if (s.coordination)
            printChart<charts::CCoordinationView>(l, 32791);
        if (s.shift && !two)
            printChart<charts::CTimeShiftView>(l, 32792);
        if (s.speed)
            printChart<charts::CSpeedView>(l, 32793);
        if (s.intervals && doc.HasValidShotTimes())
            printChart<charts::CTimeIntervalsView>(l, 32794);
        if (s.probability && !two)
            printChart<charts::CProbabilityView>(l, 32795);
    }
    return std::move(l.pages);
}

std::optional<PrintoutPages> BuildShotPage(CKavroDoc& doc, const PageGeometry& geometry)
{
    ComPtr<IShot> shot;
    ComPtr<IAiming> aiming;
    ComPtr<IEventParams> event;
    if (geometry.content.isEmpty() || !doc.GetSelectedShot(&shot) || !doc.FindAiming(shot.get(), &aiming)
        || !doc.GetEvent(&event))
        return std::nullopt;
    ComPtr<IAimingAttr> attr;
    VARIANT_BOOL match = VARIANT_TRUE;
    if (SUCCEEDED(aiming->get_Attr(attr.put())) && attr)
        attr->get_Match(&match);
    ComPtr<IShotCollection> shots;
    if (match == VARIANT_TRUE ? !doc.GetMatchShots(&shots) : !doc.GetSightingShots(&shots))
        return std::nullopt;
    int position = 0;
    const int count = countOf(shots.get());
    for (int i = 1; i <= count && !position; ++i)
        if (shotAt(shots.get(), i).get() == shot.get())
            position = i;
    QString subtitle = LoadResString(IDS_SHOT_NUMBER_OF);
    subtitle.replace(QStringLiteral("%1!d!"), QString::number(position));
    subtitle.replace(QStringLiteral("%2!d!"), QString::number(count));
    Layout l(doc, geometry, subtitle);
    const int side = std::min(l.width(), l.bottom - l.top);
    int32_t sub = 1;
    if (attr)
        attr->get_SubTarget(&sub);
    ShotsPicture p{{aiming}, sub, true, match == VARIANT_TRUE, 0, 0};
    if (!AddShotsPictureCell(event.get(), l.page(), p,
                             {l.g.content.left, l.top, l.g.content.left + side, l.top + side}))
        return std::nullopt;
    return std::move(l.pages);
}

} // namespace kavro::print
