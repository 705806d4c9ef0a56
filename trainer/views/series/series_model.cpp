#include "series_model.h"

#include "doc_helpers.h"

#include <algorithm>

namespace kavro::series {

// ----- the table

int Serie::shotCount() const
{
    int n = 0;
    for (const StatRow& r : rows)
        n += r.shot ? 1 : 0;
    return n;
}

int Group::shotCount() const
{
    int n = 0;
    for (const Serie& s : series)
        n += s.shotCount();
    return n;
}

void SeriesTable::clear()
{
    for (Group& g : groups)
        g.series.clear();
}

namespace {

void addAimingOnce(Serie& s, IAiming* aiming)
{
    if (!aiming)
        return;
    for (const ComPtr<IAiming>& a : s.aimings)
        if (a.get() == aiming)
            return;
    s.aimings.emplace_back(aiming);
}

void putShot(Serie& s, int position, IAiming* aiming, IShot* shot, const RowContext& ctx)
{
    StatRow& r = s.rows[size_t(position)];
    r.aiming = aiming;
    r.shot = shot;
    r.values = computeShotValues(aiming, shot, ctx);
    addAimingOnce(s, aiming);
}

} // namespace

void SeriesTable::build(IShotCollection* sighting, IShotCollection* match, IAimingCollection* sightingAimings,
                        IAimingCollection* matchAimings, const RowContext& ctx, int maxShotsPerSerie)
{
    clear();
    biathlon = ctx.biathlon;
    size = seriesSize(maxShotsPerSerie);
    groups[0].match = false;
    groups[1].match = true;
    IShotCollection* shots[2] = {sighting, match};
    IAimingCollection* aimings[2] = {sightingAimings, matchAimings};
    for (size_t g = 0; g < 2; ++g) {
        Group& group = groups[g];
        if (biathlon) {
            for (int i = 1, n = countOf(aimings[g]); i <= n; ++i) {
                ComPtr<IAiming> a = aimingAt(aimings[g], i);
                if (!a)
                    continue;
                Serie s;
                int row = 0;
                int32_t count = 0;
                a->get_ShotCount(&count);
                for (int32_t k = 1; k <= count && row < kMaxSeriesRows; ++k) {
                    ComPtr<IShot> shot;
                    if (FAILED(a->Shot(k, shot.put())) || !shot || (!ctx.showHidden && isHidden(shot.get())))
                        continue;
                    putShot(s, row++, a.get(), shot.get(), ctx);
                }
                if (row > 0)
                    group.series.push_back(std::move(s));
            }
            continue;
        }
        const int n = countOf(shots[g]);
        for (int start : seriesStarts(n, size)) {
            Serie s;
            for (int p = 0; p < size && start + p < n; ++p) {
                ComPtr<IShot> shot = shotAt(shots[g], start + p + 1);
                ComPtr<IAiming> a;
                if (aimings[g] && shot)
                    aimings[g]->FindAiming(shot.get(), a.put());
                putShot(s, p, a.get(), shot.get(), ctx);
            }
            group.series.push_back(std::move(s));
        }
    }
}

SeriesTable::Placement SeriesTable::addShot(IAiming* aiming, IShot* shot, const RowContext& ctx)
{
    Placement p;
    ComPtr<IAimingAttr> attr;
    VARIANT_BOOL match = VARIANT_TRUE;
    if (aiming && SUCCEEDED(aiming->get_Attr(attr.put())) && attr)
        attr->get_Match(&match);
    p.group = match == VARIANT_TRUE ? 1 : 0;
    Group& group = groups[size_t(p.group)];
    if (!group.series.empty()) {
        Serie& last = group.series.back();
        for (int pos = 1; pos < size; ++pos) {
            StatRow& r = last.rows[size_t(pos)];
            if (r.shot)
                continue;
            const StatRow& before = last.rows[size_t(pos - 1)];
            if (biathlon && (!before.shot || before.aiming.get() != aiming))
                break;
            putShot(last, pos, aiming, shot, ctx);
            p.serie = int(group.series.size()) - 1;
            return p;
        }
    }
    Serie s;
    putShot(s, 0, aiming, shot, ctx);
    group.series.push_back(std::move(s));
    p.serie = int(group.series.size()) - 1;
    p.created = true;
    return p;
}

void SeriesTable::format(int g, const TableTexts& texts, const QString& docText)
{
    Group& group = groups[size_t(g)];
    std::vector<const ShotValues*> all;
    int seriesNumber = 0;
    for (Serie& s : group.series) {
        ++seriesNumber;
        std::vector<const ShotValues*> mine;
        for (int p = 0; p < kMaxSeriesRows; ++p) {
            StatRow& r = s.rows[size_t(p)];
            if (!r.shot) {
                r.cells = {};
                r.number = 0;
                continue;
            }
            r.number = shotNumber(biathlon, seriesNumber, size, p + 1);
            const bool selected = r.selected;
            r.cells = shotRowCells(r.values, r.number, biathlon, texts);
            for (Cell& c : r.cells)
                c.selected = selected;
            mine.push_back(&r.values);
            all.push_back(&r.values);
        }
        s.totals = totalsOf(mine, biathlon);
        s.footer.cells = footerCells(s.totals, biathlon);
        for (int c = 0; c < kColumnCount; ++c)
            s.caption.cells[size_t(c)].text = texts.captions[size_t(c)];
    }
    const Totals t = totalsOf(all, biathlon);
    group.totals.cells = footerCells(t, biathlon);
    group.caption.text
        = groupCaption(texts.groupFormat, group.match ? texts.match : texts.sighting, docText, group.shotCount());
    for (Serie& s : group.series)
        for (StatRow* r : {&s.caption, &s.footer})
            for (int c = 0; c < kColumnCount; ++c)
                r->cells[size_t(c)].visible = columns[size_t(c)];
    for (Serie& s : group.series)
        for (StatRow& r : s.rows)
            for (int c = 0; c < kColumnCount; ++c)
                r.cells[size_t(c)].visible = columns[size_t(c)];
    for (int c = 0; c < kColumnCount; ++c)
        group.totals.cells[size_t(c)].visible = columns[size_t(c)];
}

void SeriesTable::formatAll(const TableTexts& texts, const QString& docText)
{
    format(0, texts, docText);
    format(1, texts, docText);
}

const StatRow* SeriesTable::select(IShot* shot)
{
    const StatRow* found = nullptr;
    for (Group& g : groups)
        for (Serie& s : g.series)
            for (StatRow& r : s.rows) {
                r.selected = shot && r.shot.get() == shot;
                for (Cell& c : r.cells)
                    c.selected = r.selected;
                if (r.selected && !found)
                    found = &r;
            }
    return found;
}

const StatRow* SeriesTable::rowOf(IShot* shot) const
{
    if (!shot)
        return nullptr;
    for (const Group& g : groups)
        for (const Serie& s : g.series)
            for (const StatRow& r : s.rows)
                if (r.shot.get() == shot)
                    return &r;
    return nullptr;
}

const StatRow* SeriesTable::hitTest(const QPoint& pt) const
{
    for (const Group& g : groups) {
        if (!g.visible || !g.rect.contains(pt))
            continue;
        for (const Serie& s : g.series) {
            if (!s.visible)
                continue;
            for (const StatRow& r : s.rows)
                if (r.shot && r.rect.adjusted(0, -2, 0, 2).contains(pt))
                    return &r;
        }
    }
    return nullptr;
}

// ----- geometry

namespace {

// Places a row's visible cells from (x, y); shot rows are h high, others as measured.
void placeRow(StatRow& row, int x, int y, int h, bool shotRow, const std::array<int, kColumnCount>& widths,
              const ColumnFlags& shown, const std::function<QSize(const Cell&, CellFont)>& measure, CellFont font)
{
    int height = 0;
    for (int c = 0; c < kColumnCount; ++c) {
        if (!shown[size_t(c)])
            continue;
        const int ch = shotRow ? h : measure(row.cells[size_t(c)], font).height();
        height = std::max(height, ch);
    }
    int cx = x;
    for (int c = 0; c < kColumnCount; ++c) {
        Cell& cell = row.cells[size_t(c)];
        cell.visible = shown[size_t(c)];
        if (!cell.visible) {
            cell.rect = QRect();
            continue;
        }
        cell.rect = QRect(cx, y, widths[size_t(c)], height);
        cx += widths[size_t(c)] + kCellGap;
    }
    row.rect = QRect(x, y, std::max(0, cx - kCellGap - x), height);
}

int bottomOf(const QRect& r)
{
    return r.y() + r.height();
}

int rightOf(const QRect& r)
{
    return r.x() + r.width();
}

} // namespace

ListLayout layoutShotList(SeriesTable& table, int clientWidth, int h, float biathlonRatio,
                          const std::function<QSize(const Cell&, CellFont)>& measure)
{
    ListLayout out;
    const ColumnFlags& shown = table.columns;
    for (Group& g : table.groups)
        for (Serie& s : g.series)
            for (int c = 0; c < kColumnCount; ++c) {
                if (!shown[size_t(c)])
                    continue;
                int& w = out.widths[size_t(c)];
                w = std::max(w, measure(s.caption.cells[size_t(c)], CellFont::Bold).width());
                w = std::max(w, measure(s.footer.cells[size_t(c)], CellFont::Bold).width());
                for (const StatRow& r : s.rows)
                    w = std::max(w, measure(r.cells[size_t(c)], CellFont::Normal).width());
            }
    for (Group& g : table.groups)
        for (int c = 0; c < kColumnCount; ++c)
            if (shown[size_t(c)])
                out.widths[size_t(c)]
                    = std::max(out.widths[size_t(c)], measure(g.totals.cells[size_t(c)], CellFont::Bold).width());
    int tableWidth = 0, visibleColumns = 0;
    for (int c = 0; c < kColumnCount; ++c)
        if (shown[size_t(c)]) {
            tableWidth += out.widths[size_t(c)];
            ++visibleColumns;
        }
    tableWidth += kCellGap * std::max(0, visibleColumns - 1);

    const int square = 10 * h + 21;
    if (clientWidth >= tableWidth + square) {
        out.controlsBeside = true;
        out.control = QSize(clientWidth - tableWidth, 11 * h + 30);
    } else {
        int w = table.biathlon ? clientWidth : std::min(clientWidth, square * 12 / 10);
        w = std::max(w, 1);
        const int height = table.biathlon ? std::max(1, int(float(w) * biathlonRatio)) : w;
        out.control = QSize(w, height);
        int spare = clientWidth - tableWidth;
        while (spare > 0 && visibleColumns > 0)
            for (int c = 0; c < kColumnCount && spare > 0; ++c)
                if (shown[size_t(c)]) {
                    ++out.widths[size_t(c)];
                    --spare;
                }
    }

    int y = 0;
    int right = 0;
    for (Group& g : table.groups) {
        if (!g.visible) {
            g.rect = QRect();
            continue;
        }
        if (y > 0)
            y += h * 15 / 10;
        const QSize cap = measure(g.caption, CellFont::Large);
        g.caption.rect = QRect(0, y, std::max(clientWidth, cap.width()), cap.height());
        g.rect = g.caption.rect;
        y = bottomOf(g.caption.rect);
        bool first = true;
        for (Serie& s : g.series) {
            if (!s.visible)
                continue;
            if (!first)
                y += h / 2;
            first = false;
            s.controlRect = QRect(0, y, out.control.width(), out.control.height());
            int x = 0;
            int rowY = y;
            if (out.controlsBeside) {
                x = out.control.width();
            } else {
                s.controlRect.moveLeft(std::max(0, (clientWidth - out.control.width()) / 2));
                rowY = y + out.control.height() + kCellGap;
            }
            placeRow(s.caption, x, rowY, h, false, out.widths, shown, measure, CellFont::Bold);
            rowY = bottomOf(s.caption.rect) + kCellGap;
            for (StatRow& r : s.rows) {
                placeRow(r, x, rowY, h, true, out.widths, shown, measure, CellFont::Normal);
                rowY = bottomOf(r.rect) + kCellGap;
            }
            placeRow(s.footer, x, rowY, h, false, out.widths, shown, measure, CellFont::Bold);
            s.rect = s.controlRect.united(s.caption.rect).united(s.footer.rect);
            right = std::max(right, rightOf(s.footer.rect));
            y = bottomOf(s.rect);
            g.rect = g.rect.united(s.rect);
        }
        placeRow(g.totals, out.controlsBeside ? out.control.width() : 0, y + kCellGap, h, false, out.widths, shown,
                 measure, CellFont::Bold);
        right = std::max(right, rightOf(g.totals.rect));
        y = bottomOf(g.totals.rect);
        g.rect = g.rect.united(g.totals.rect);
    }
    out.extent = QSize(std::max(right, clientWidth), y);
    return out;
}

GridChoice chooseGrid(int n, int w, int h)
{
    GridChoice best;
    int bestLastRow = 0;
    for (int j = 1; j <= n; ++j) {
        const int k = (n + j - 1) / j;
        const int m = std::min((w - kGridGap * (j - 1)) / j, (h - kGridGap * (k - 1)) / k);
        const int lastRow = n % j == 0 ? j : n % j;
        if (best.columns == 0 || m > best.side || (m == best.side && lastRow > bestLastRow)) {
            best = {j, m};
            bestLastRow = lastRow;
        }
    }
    return best;
}

std::vector<QRect> gridRects(int n, int w, int h)
{
    std::vector<QRect> rects;
    const GridChoice g = chooseGrid(n, w, h);
    if (n <= 0 || g.side <= 0)
        return rects;
    const int rows = (n + g.columns - 1) / g.columns;
    const int gapX = g.columns > 1 ? (w - g.columns * g.side) / (g.columns - 1) : 0;
    const int gapY = rows > 1 ? (h - rows * g.side) / (rows - 1) : 0;
    for (int i = 0; i < n; ++i) {
        const int col = i % g.columns, row = i / g.columns;
        rects.emplace_back(col * (g.side + gapX), row * (g.side + gapY), g.side, g.side);
    }
    return rects;
}

int pageStep(int clientExtent)
{
    return std::max(clientExtent - kLineStep, kLineStep);
}

int WheelAccumulator::add(int delta, int linesPerNotch)
{
    rest_ += delta;
    const int notches = rest_ / 120;
    rest_ -= notches * 120;
    return -notches * 20 * std::max(linesPerNotch, 1);
}

int scrollToShow(int pos, int page, int top, int bottom)
{
    if (top < pos)
        return top;
    if (bottom > pos + page)
        return std::min(top, bottom - page);
    return pos;
}

QSizeF commonHalfExtent(IEventParams* event, float x, float y, bool advanced)
{
    ComPtr<ITargetParams> params;
    float hw = x, hh = y;
    bool gotW = false, gotH = false;
    if (event && SUCCEEDED(event->get_Target(1, params.put())) && params) {
        for (int n = advanced ? 9 : 7; n >= 1; --n) {
            float d = 0;
            if (FAILED(params->get_Ring(n, &d)))
                continue;
            if (!gotW && d / 2 >= x) {
                hw = d / 2;
                gotW = true;
            }
            if (!gotH && d / 2 >= y) {
                hh = d / 2;
                gotH = true;
            }
        }
    }
    return QSizeF(hw, hh);
}

} // namespace kavro::series
