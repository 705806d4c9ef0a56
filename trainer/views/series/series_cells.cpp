#include "series_cells.h"

#include "app_options.h"
#include "doc_helpers.h"
#include "res_strings.h"
#include "gdi/metafile_recorder.h"

#include <algorithm>
#include <cmath>

namespace kavro::series {

namespace {

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

// String ids of the table's texts.
constexpr uint32_t IDS_SERIES_COLUMN_FIRST = 33200; // captions of columns 0..10
constexpr uint32_t IDS_SERIES_MISSED = 33212;
constexpr uint32_t IDS_SERIES_GROUP = 33213;
constexpr uint32_t IDS_SERIES_SIGHTING = 33214;
constexpr uint32_t IDS_SERIES_MATCH = 33215;

} // namespace

TableTexts loadTableTexts()
{
    TableTexts texts;
    for (int c = 0; c < kColumnCount; ++c)
        texts.captions[size_t(c)] = c == ColDistance ? QString() : LoadResString(IDS_SERIES_COLUMN_FIRST + uint32_t(c));
    texts.missed = LoadResString(IDS_SERIES_MISSED);
    texts.groupFormat = LoadResString(IDS_SERIES_GROUP);
    texts.sighting = LoadResString(IDS_SERIES_SIGHTING);
    texts.match = LoadResString(IDS_SERIES_MATCH);
    return texts;
}

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

} // namespace kavro::series
