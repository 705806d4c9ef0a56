#include "support/views_support.h"

#include "support/practice_builder.h"

#include "com/classregistry.h"

#include <QDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>

namespace viewtest {

namespace {
constexpr DATE kMorning = 45123.375;
// Settings and events of this test program, set before anything reads them.
[[maybe_unused]] const trainertest::TestEnvironment kEnvironment;
} // namespace

ComPtr<IShot> addShot(CKavroDoc& doc, const ShotSpec& spec)
{
    ComPtr<IEventParams> e;
    EXPECT_TRUE(doc.GetEvent(&e));
    if (spec.missed) {
        ComPtr<IShot> s;
        EXPECT_TRUE(doc.AddMissedShot(spec.match, &s));
        return s;
    }
    ComPtr<IAiming> a;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_Aiming, &a), S_OK);
    ComPtr<IAimingAttr> attr;
    a->get_Attr(attr.put());
    attr->put_SampleRate(spec.rate);
    attr->put_Event(e.get());
    attr->put_Match(toVariantBool(spec.match));
    attr->put_EnterTime(kMorning + spec.at / 86400.0);
    ComPtr<IAimingTrace> trace;
    a->get_Trace(trace.put());
    trace->put_WrapEnabled(VARIANT_FALSE);
    int32_t channel = -1;
    if (spec.trigger)
        trace->AddUserData(QStringLiteral("_trigger"), &channel);
    int added = 0;
    auto addPoint = [&](float x, float y) {
        trace->Add(x, y);
        if (channel >= 0) {
            int32_t last = 0;
            trace->get_Last(&last);
            trace->put_UserData(channel, last, 10 * added);
        }
        ++added;
    };
    auto point = [&](int i) {
        const int half = spec.samples / 2;
        if (spec.approachFrom != 0 && i < half)
            return std::pair<float, float>(spec.approachFrom + (spec.x - spec.approachFrom) * float(i) / float(half),
                                           spec.y);
        if (spec.wobble == 0)
            return std::pair<float, float>(spec.x, spec.y);
        const double phase = i * 0.13;
        return std::pair<float, float>(spec.x + spec.wobble * float(std::cos(phase)),
                                       spec.y + spec.wobble * float(std::sin(phase)));
    };
    for (int i = 0; i < spec.samples; ++i) {
        auto [x, y] = point(i);
        addPoint(x, y);
    }
    ComPtr<IShot> s;
    EXPECT_EQ(a->AddShot(VARIANT_FALSE, s.put()), S_OK);
    s->put_ShotTime(kMorning + (spec.at + spec.samples / double(spec.rate)) / 86400.0);
    for (int i = 0; i < spec.after; ++i) {
        auto [x, y] = point(spec.samples + i);
        addPoint(x, y + 0.5f * float(i) / float(spec.after));
    }
    trace->put_ReadOnly(VARIANT_TRUE);
    doc.AddShot(s.get(), a.get());
    if (spec.hidden)
        doc.SetShotHidden(s.get(), true);
    return s;
}

void realPractice(CKavroDoc& doc, int match, const char* event)
{
    trainertest::startPractice(doc, event);
    uint32_t seed = 7;
    auto rnd = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return float((seed >> 16) & 0x7FFF) / 32767.0f - 0.5f;
    };
    int at = 0;
    for (int k = 0; k < match + 2; ++k) {
        ShotSpec s;
        s.match = k >= 2;
        s.x = rnd() * 8;
        s.y = rnd() * 8;
        s.wobble = 1.0f + 2.0f * (rnd() + 0.5f);
        s.samples = 300;
        s.after = 100;
        s.at = at;
        at += 40;
        addShot(doc, s);
    }
}

QImage grab(QWidget* w)
{
    return w->grab().toImage();
}

void saveScreen(QWidget* w, const QString& name)
{
    const QString dir = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(dir);
    EXPECT_TRUE(grab(w).save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
}

} // namespace viewtest
