#include "support/chart_fixture.h"

#include "com/classregistry.h"
#include "res_strings.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace charttest {

using namespace kavro::charts;

namespace {
// Documents hold the process's event manager, which reads the events folder once: point it at
// the bundled events before any test makes a document.
const bool kEventsFolderSet = qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
} // namespace

IEventParams* event(const char* shortName)
{
    static ComPtr<IEventManager> manager = [] {
        ComPtr<IEventManager> m;
        createInstance(kavrodoc::CLSID_EventManager, &m);
        return m;
    }();
    ComPtr<IEventParams> e;
    EXPECT_EQ(manager->FindByShortName(QString::fromLatin1(shortName), e.put()), S_OK) << shortName;
    return e.get(); // the manager keeps every event for the whole process
}

Samples constant(int n, int32_t x, int32_t y)
{
    return Samples(size_t(n), {x, y});
}

Samples line(int n, int32_t x0, int32_t dx, int32_t y)
{
    Samples s;
    for (int i = 0; i < n; ++i)
        s.push_back({x0 + i * dx, y});
    return s;
}

ComPtr<IAiming> makeAiming(IEventParams* ev, const AimingSpec& spec, std::vector<ComPtr<IShot>>* shots)
{
    ComPtr<IAiming> a;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_Aiming, &a), S_OK);
    ComPtr<IAimingAttr> attr;
    a->get_Attr(attr.put());
    attr->put_SampleRate(spec.rate);
    attr->put_Event(ev);
    attr->put_Match(toVariantBool(spec.match));
    attr->put_SubTarget(spec.subTarget);
    attr->put_EnterTime(kMorning + (spec.shotTime - 5) / 86400);
    ComPtr<IAimingTrace> trace;
    a->get_Trace(trace.put());
    trace->put_WrapEnabled(VARIANT_FALSE);
    int32_t channel = 0;
    if (!spec.trigger.empty())
        trace->AddUserData(QStringLiteral("_trigger"), &channel);
    size_t n = 0;
    auto add = [&](const Samples& samples) {
        for (auto [x, y] : samples) {
            EXPECT_EQ(trace->_Add(x, y), S_OK);
            if (channel > 0 && n < spec.trigger.size()) {
                int32_t last = 0;
                trace->get_Last(&last);
                trace->put_UserData(channel, last, spec.trigger[n]);
            }
            ++n;
        }
    };
    add(spec.before);
    for (int k = 0; k < spec.shots; ++k) {
        ComPtr<IShot> shot;
        EXPECT_EQ(a->AddShot(toVariantBool(spec.missed), shot.put()), S_OK);
        shot->put_ShotTime(kMorning + (spec.shotTime + k) / 86400);
        if (spec.hidden)
            shot->put_Hidden(VARIANT_TRUE);
        if (shots)
            shots->push_back(shot);
    }
    add(spec.after);
    return a;
}

ComPtr<IKavroDocument> makeDocument(const char* eventShortName, const std::vector<AimingSpec>& specs)
{
    ComPtr<IKavroDocument> doc;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &doc), S_OK);
    IEventParams* ev = event(eventShortName);
    doc->put_Event(ev);
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    for (const AimingSpec& spec : specs)
        EXPECT_EQ(aimings->Add(makeAiming(ev, spec).get()), S_OK);
    return doc;
}

std::vector<AimingSpec> realPracticeSpecs(int shots, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 1);
    std::vector<AimingSpec> specs;
    for (int k = 0; k < shots + 2; ++k) {
        AimingSpec s;
        s.match = k >= 2;
        s.rate = 100;
        // The aiming point comes down from above the target and settles around a point near the
        // centre, with a tremor; the trigger rises over the last second.
        const double aimX = noise(rng) * 3, aimY = noise(rng) * 3;
        double x = aimX + noise(rng) * 20, y = aimY + 60 + noise(rng) * 10, vx = 0, vy = 0;
        const int before = 500, after = 30;
        for (int i = 0; i < before + after; ++i) {
            const double pull = i < 200 ? 0.02 : 0.05;
            vx = 0.8 * vx + pull * (aimX - x) + noise(rng) * 0.04;
            vy = 0.8 * vy + pull * (aimY - y) + noise(rng) * 0.04;
            if (i >= before)
                vy += 0.4; // the recoil
            x += vx;
            y += vy;
            (i < before ? s.before : s.after).push_back({int32_t(std::lround(x * 100)), int32_t(std::lround(y * 100))});
            s.trigger.push_back(i < before - 100 ? 200 : 200 + (i - (before - 100)) * 8);
        }
        s.shotTime = 40.0 * k + noise(rng) * 8;
        specs.push_back(std::move(s));
    }
    return specs;
}

ComPtr<IKavroDocument> realPractice(int shots, unsigned seed)
{
    return makeDocument("AR10", realPracticeSpecs(shots, seed));
}

ChartContext contextOf(IKavroDocument* doc, bool showHidden, IShot* selected)
{
    ChartContext ctx;
    ctx.hasDocument = doc != nullptr;
    ctx.text = [](int id) { return kavro::LoadResString(uint32_t(id)); };
    ctx.window = timeWindow(1.0f, false, 2);
    if (!doc)
        return ctx;
    doc->get_Event(ctx.event.put());
    ctx.targetKind = targetKindOf(ctx.event.get());
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    ComPtr<IShotCollection> all;
    aimings->Shots(toVariantBool(showHidden), all.put());
    all->Match(ctx.matchShots.put());
    aimings->Match(ctx.matchAimings.put());
    ctx.showHidden = showHidden;
    ctx.selectedShot = selected;
    return ctx;
}

ComPtr<IShot> matchShot(const ChartContext& ctx, int k)
{
    ComPtr<IShot> s;
    ctx.matchShots->get_Item(k, s.put());
    return s;
}

std::vector<std::pair<double, double>> pointsOf(const CChartImpl& chart, int id)
{
    const ChartSeries* s = chart.FindSeries(id);
    return s ? s->points : std::vector<std::pair<double, double>>{};
}

QImage render(const CChartImpl& chart, int width, int height, int dpi, bool printing, const ChartFonts* fonts)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    const int dpm = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    QPainter painter(&image);
    ChartDrawRequest r;
    r.painter = &painter;
    r.rect = {0, 0, width, height};
    r.dpiX = r.dpiY = dpi;
    r.printing = printing;
    r.legend = !printing;
    r.fonts = fonts;
    if (printing)
        r.marginLeft = r.marginTop = r.marginRight = r.marginBottom = 0;
    chart.Draw(r);
    return image;
}

} // namespace charttest
