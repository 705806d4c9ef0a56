#include "support/practice_maker.h"

#include "com/classregistry.h"
#include "support/document_fixture.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>

namespace cattest {
namespace {

ComPtr<IAiming> aimingWithShot(IEventParams* event, bool match, DATE enter, int seed)
{
    ComPtr<IAiming> a;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_Aiming, &a), S_OK);
    ComPtr<IAimingAttr> attr;
    a->get_Attr(attr.put());
    attr->put_SampleRate(100);
    attr->put_Event(event);
    attr->put_Match(toVariantBool(match));
    attr->put_EnterTime(enter);
    attr->put_FCoefficient(match ? 120 + seed : 40 + seed);
    ComPtr<IAimingTrace> trace;
    a->get_Trace(trace.put());
    trace->put_WrapEnabled(VARIANT_FALSE);
    for (int i = 0; i < 50; ++i)
        trace->_Add(int32_t(300 * std::sin((i + seed) * 0.2)) + seed * 37, int32_t(200 * std::cos((i + seed) * 0.3)));
    ComPtr<IShot> shot;
    EXPECT_EQ(a->AddShot(VARIANT_FALSE, shot.put()), S_OK);
    return a;
}

} // namespace

PracticeSpec practice(const char* event, const QString& shooter, int matchShots, int sightingShots)
{
    PracticeSpec spec;
    spec.event = event;
    spec.shooter = shooter;
    spec.matchShots = matchShots;
    spec.sightingShots = sightingShots;
    return spec;
}

ComPtr<IKavroDocument> makePractice(const PracticeSpec& spec)
{
    ComPtr<IKavroDocument> doc;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &doc), S_OK);
    auto event = doctest::event(spec.event);
    doc->put_Event(event.get());
    if (!spec.shooter.isEmpty())
        doc->put_ShooterName(spec.shooter);
    if (!spec.comments.isEmpty())
        doc->put_Value(QStringLiteral("_comments"), Variant(spec.comments));
    if (!spec.position.isEmpty())
        doc->put_Value(QStringLiteral("_position"), Variant(spec.position));
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    int seed = 0;
    for (int i = 0; i < spec.sightingShots; ++i, ++seed)
        aimings->Add(aimingWithShot(event.get(), false, spec.enterTime + seed / 1440.0, seed).get());
    for (int i = 0; i < spec.matchShots; ++i, ++seed)
        aimings->Add(aimingWithShot(event.get(), true, spec.enterTime + seed / 1440.0, seed).get());
    return doc;
}

bool savePractice(const PracticeSpec& spec, const QString& path)
{
    auto doc = makePractice(spec);
    return SUCCEEDED(doc->put_FileName(path)) && SUCCEEDED(doc->Save());
}

PracticeSums matchSums(IKavroDocument* doc)
{
    PracticeSums sums;
    ComPtr<IAimingCollection> aimings, match;
    ComPtr<IShotCollection> shots;
    doc->get_Aimings(aimings.put());
    aimings->Match(match.put());
    match->Shots(VARIANT_FALSE, shots.put());
    shots->get_Count(&sums.shots);
    for (int i = 1; i <= sums.shots; ++i) {
        ComPtr<IShot> s;
        float r = 0;
        shots->get_Item(i, s.put());
        s->get_Result(&r);
        sums.decimalSum += r;
        sums.truncatedSum += int32_t(r);
    }
    return sums;
}

QByteArray fileHead(const QString& path, int bytes)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.read(bytes);
}

} // namespace cattest
