#include "series_model.h"

#include "app_options.h"
#include "doc_helpers.h"
#include "gdi/metafile_recorder.h"

#include <algorithm>
#include <cmath>

namespace kavro::series {

namespace {

bool isTrue(VARIANT_BOOL v)
{
    return v == VARIANT_TRUE;
}

bool isHidden(IShot* shot)
{
    VARIANT_BOOL h = VARIANT_FALSE;
    return shot && SUCCEEDED(shot->get_Hidden(&h)) && isTrue(h);
}

float ringRadius(ITargetParams* params, int ring, float caliber)
{
    float d = 0;
    if (!params || FAILED(params->get_Ring(ring, &d)) || !(d > 0))
        return 0;
    return d / 2 + caliber / 2;
}

QString shareText(double share)
{
    return QString::asprintf("%i%%", int(share));
}

QString oneDecimal(double v)
{
    return QString::asprintf("%3.1f", v);
}

// The columns from the aiming time on, alike for a shot and for sums; a share of exactly 100 is
// drawn red.
void setMeasureTexts(std::array<Cell, kColumnCount>& c, double aimingTime, const std::array<double, 6>& shares,
                     double speed, double speed250, double distance)
{
    c[ColTime].text = aimingTimeText(aimingTime);
    for (int i = Col6a0; i <= Col10a5; ++i) {
        const double s = shares[size_t(i - Col6a0)];
        c[size_t(i)].text = shareText(s);
        c[size_t(i)].highlight = s == 100.0;
    }
    c[ColSpeed].text = oneDecimal(speed);
    c[ColSpeed250].text = oneDecimal(speed250);
    c[ColDistance].text = oneDecimal(distance);
}

} // namespace

ColumnFlags visibleColumns(const AppOptions& o, bool biathlon)
{
    ColumnFlags f{};
    if (!o.AdvancedMode) {
        f[ColNumber] = f[ColResult] = f[ColTime] = true;
    } else {
        f[ColNumber] = o.ShotListIndex;
        f[ColResult] = o.ShotListResult;
        f[ColTime] = o.ShotListAimingTime;
        f[Col6a0] = o.ShotListSteadiness6;
        f[Col9a0] = o.ShotListSteadiness9;
        f[Col10Centre] = o.ShotListSteadiness10center;
        f[Col10p5Centre] = o.ShotListSteadiness10p5center;
        f[Col10a0] = o.ShotListSteadiness10;
        f[Col10a5] = o.ShotListSteadiness10p5;
        f[ColSpeed] = o.ShotListTraceSpeed;
        f[ColSpeed250] = o.ShotListTraceSpeed250;
        f[ColDistance] = o.ShotListBreachFromAAP;
    }
    if (biathlon)
        for (int c = Col6a0; c <= Col10a5; ++c)
            f[size_t(c)] = false;
    return f;
}

bool aimingPointSharesShown(const ColumnFlags& shown)
{
    return shown[Col6a0] || shown[Col9a0] || shown[Col10a0] || shown[Col10a5];
}

int seriesSize(int maxShotsPerSerie)
{
    if (maxShotsPerSerie < 1)
        return kMaxSeriesRows;
    return std::min(maxShotsPerSerie, kMaxSeriesRows);
}

int shotNumber(bool biathlon, int seriesIndex, int size, int position)
{
    return biathlon ? position : (seriesIndex - 1) * size + position;
}

std::vector<int> seriesStarts(int shotCount, int size)
{
    std::vector<int> starts;
    if (size < 1)
        size = kMaxSeriesRows;
    for (int i = 0; i < shotCount; i += size)
        starts.push_back(i);
    return starts;
}

double roundToTenthSecond(double days)
{
    return std::round(days * 864000.0) / 864000.0;
}

QString aimingTimeText(double days)
{
    const double hours = days * 24.0;
    const double seconds = (hours - std::floor(hours)) * 3600.0;
    return QString::asprintf("%02.1f", seconds);
}

ShotValues computeShotValues(IAiming* aiming, IShot* shot, const RowContext& ctx)
{
    ShotValues v;
    if (!shot)
        return v;
    v.present = true;
    ComPtr<IAimingAttr> attr;
    VARIANT_BOOL match = VARIANT_TRUE;
    int32_t sub = 1;
    if (aiming && SUCCEEDED(aiming->get_Attr(attr.put())) && attr) {
        attr->get_Match(&match);
        attr->get_SubTarget(&sub);
    }
    v.grey = !isTrue(match);
    if (isMissed(shot)) {
        v.missed = true;
        return v;
    }
    const float T = ctx.traceSeconds;
    float caliber = 0;
    ComPtr<ITargetParams> params;
    if (ctx.event) {
        ctx.event->get_Caliber(&caliber);
        ctx.event->get_Target(sub, params.put());
    }
    float ring10 = 0;
    if (params)
        params->get_Ring(10, &ring10);
    if (ring10 == 0 && ctx.event) {
        Variant d;
        float diam = 0;
        if (SUCCEEDED(ctx.event->get_Value(QStringLiteral("_steadiness_diam"), &d)) && SUCCEEDED(d.toFloat(&diam)))
            ring10 = diam;
    }
    const float r10 = ring10 / 2 + caliber / 2;
    const float r6 = ringRadius(params.get(), 6, caliber);
    const float r9 = ringRadius(params.get(), 9, caliber);
    const float r105 = r10 / 2;

    shot->get_Result(&v.result);
    shot->get_BreachX(&v.breachX);
    shot->get_BreachY(&v.breachY);
    ComPtr<IRange> a, b;
    if (SUCCEEDED(shot->Range(-T, 0.0f, a.put())) && a) {
        a->get_AveragePointX(&v.aapX);
        a->get_AveragePointY(&v.aapY);
        float length = 0;
        a->get_Length(&length);
        v.speed = T > 0 ? length / T : 0.0f;
        auto share = [&](float radius, float cx, float cy) {
            float s = 0;
            return SUCCEEDED(a->Steadiness(radius, ctx.fCoefficient, cx, cy, &s)) ? s : 0.0f;
        };
        v.shares[Col10Centre - Col6a0] = share(r10, 0, 0);
        v.shares[Col10p5Centre - Col6a0] = share(r105, 0, 0);
        if (ctx.aapShares) {
            v.shares[Col6a0 - Col6a0] = share(r6, v.aapX, v.aapY);
            v.shares[Col9a0 - Col6a0] = share(r9, v.aapX, v.aapY);
            v.shares[Col10a0 - Col6a0] = share(r10, v.aapX, v.aapY);
            v.shares[Col10a5 - Col6a0] = share(r105, v.aapX, v.aapY);
        }
        if (ctx.biathlon) {
            int32_t area = 0, shotArea = -1;
            float cx = 0, cy = 0;
            a->GetNearestArea(v.breachX, v.breachY, &area, &cx, &cy);
            shot->get_AreaIndex(&shotArea);
            v.nearestArea = area;
            v.hitArea = shotArea;
        }
    }
    if (SUCCEEDED(shot->Range(-0.25f, 0.0f, b.put())) && b) {
        float length = 0;
        b->get_Length(&length);
        v.speed250 = length * 4;
    }
    v.distance = std::sqrt((v.breachX - v.aapX) * (v.breachX - v.aapX) + (v.breachY - v.aapY) * (v.breachY - v.aapY));

    DATE shotTime = 0, start = 0;
    shot->get_ShotTime(&shotTime);
    if (attr)
        attr->get_EnterTime(&start);
    if (ctx.biathlon && aiming) {
        // A biathlon aiming holds all five shots: each is timed from the one before.
        int32_t n = 0;
        aiming->get_ShotCount(&n);
        for (int32_t i = 1; i <= n; ++i) {
            ComPtr<IShot> s;
            if (FAILED(aiming->Shot(i, s.put())) || !s || s.get() == shot)
                break;
            if (!ctx.showHidden && isHidden(s.get()))
                continue;
            s->get_ShotTime(&start);
        }
    }
    v.aimingTime = roundToTenthSecond(shotTime - start);
    return v;
}

Metafile DrawFiveTargetSchematic(int hitArea, int nearestArea)
{
    MetafileRecorder rec;
    rec.setFrame({1900, 1900, 13100, 3100});
    rec.selectPen(GdiPen::solid(0, 0xEEEEEE));
    rec.selectBrush(GdiBrush::null());
    rec.rectangle({1930, 1925, 13070, 3075});
    if (nearestArea >= 1 && nearestArea <= 5) {
        const int left = 1925 + (nearestArea - 1) * 2500;
        const bool hit = hitArea == nearestArea;
        rec.selectPen(GdiPen::solid(0, hit ? 0 : 0xFFFFFF));
        rec.selectBrush(GdiBrush::solid(hit ? 0xFFFFFF : 0));
        rec.ellipse({left, 1925, left + 1150, 1925 + 1150});
    }
    return rec.finish();
}

std::array<Cell, kColumnCount> shotRowCells(const ShotValues& v, int k, bool biathlon, const TableTexts& texts)
{
    std::array<Cell, kColumnCount> c;
    if (!v.present)
        return c;
    for (Cell& cell : c)
        cell.grey = v.grey;
    c[ColNumber].text = QString::number(k);
    if (v.missed) {
        c[ColResult].text = texts.missed;
        for (int i = ColTime; i < kColumnCount; ++i)
            c[size_t(i)].text = texts.dash;
        return c;
    }
    if (biathlon) {
        c[ColResult].picture = true;
        c[ColResult].hitArea = v.hitArea;
        c[ColResult].nearestArea = v.nearestArea;
    } else
        c[ColResult].text = oneDecimal(v.result);
    std::array<double, 6> shares{};
    for (size_t i = 0; i < shares.size(); ++i)
        shares[i] = v.shares[i];
    setMeasureTexts(c, v.aimingTime, shares, v.speed, v.speed250, v.distance);
    return c;
}

Totals totalsOf(const std::vector<const ShotValues*>& shots, bool biathlon)
{
    Totals t;
    for (const ShotValues* v : shots) {
        if (!v || !v->present || v->missed)
            continue;
        ++t.count;
        t.resultSum += v->result;
        t.integerSum += int(v->result);
        t.speed += v->speed;
        t.speed250 += v->speed250;
        t.aimingTime += v->aimingTime;
        for (size_t i = 0; i < 6; ++i)
            t.shares[i] += v->shares[i];
        t.distance += v->distance;
        t.breachX += v->breachX;
        t.breachY += v->breachY;
    }
    if (t.count > 1) {
        const double n = t.count;
        t.speed /= n;
        t.speed250 /= n;
        if (!biathlon)
            t.aimingTime /= n;
        for (double& s : t.shares)
            s /= n;
        t.distance /= n;
        t.breachX /= n;
        t.breachY /= n;
    }
    return t;
}

std::array<Cell, kColumnCount> footerCells(const Totals& t, bool biathlon)
{
    std::array<Cell, kColumnCount> c;
    if (biathlon) {
        c[ColResult].text = QString::asprintf("%i", t.integerSum);
    } else {
        c[ColNumber].text = QString::asprintf("%i", t.integerSum);
        c[ColResult].text = oneDecimal(t.resultSum);
    }
    setMeasureTexts(c, t.aimingTime, t.shares, t.speed, t.speed250, t.distance);
    return c;
}

QString seriesCaption(int seriesNumber, const Totals& t)
{
    return QString::asprintf("#%i %3.1f (%i)", seriesNumber, t.resultSum, t.integerSum);
}

QString groupCaption(const QString& format, const QString& groupName, const QString& docText, int shots)
{
    QString text = format;
    text.replace(QStringLiteral("%3!d!"), QString::number(shots));
    const QString extra = docText.isEmpty() ? QString() : QStringLiteral(" (") + docText + QStringLiteral(")");
    // One pass, so that a name holding "%2" is not expanded again.
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 1 < text.size()
            && (text[i + 1] == QLatin1Char('1') || text[i + 1] == QLatin1Char('2'))) {
            out += text[i + 1] == QLatin1Char('1') ? groupName : extra;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

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
    p.group = isTrue(match) ? 1 : 0;
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
    m_rest += delta;
    const int notches = m_rest / 120;
    m_rest -= notches * 120;
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
