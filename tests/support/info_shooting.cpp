#include "support/info_shooting.h"

#include "kavro_hints.h"

#include <gtest/gtest.h>

using namespace charttest;

namespace infotest {

void start(CKavroDoc& doc, const char* eventName)
{
    ASSERT_TRUE(doc.NewDocument(event(eventName), QStringLiteral("Anna"), 0, QString(), 0));
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
}

void shoot(CKavroDoc& doc, const std::vector<AimingSpec>& specs)
{
    ComPtr<IEventParams> ev;
    ASSERT_TRUE(doc.GetEvent(&ev));
    for (const AimingSpec& spec : specs) {
        std::vector<ComPtr<IShot>> shots;
        ComPtr<IAiming> aiming = makeAiming(ev.get(), spec, &shots);
        for (const ComPtr<IShot>& s : shots)
            doc.AddShot(s.get(), aiming.get());
        doc.UpdateAllViews(nullptr, KavroHint::AimingConcluded, aiming.get());
    }
}

AimingSpec still(double time, int32_t x, int32_t y, bool missed)
{
    AimingSpec s;
    s.before = constant(150, x, y);
    s.after = constant(40, x, y);
    s.shotTime = time;
    s.missed = missed;
    return s;
}

std::vector<AimingSpec> biathlonSpecs()
{
    std::vector<AimingSpec> specs = realPracticeSpecs(4);
    for (size_t i = 0; i < specs.size(); ++i) {
        specs[i].subTarget = i >= 2 && i % 2 ? 2 : 1;
        specs[i].shots = specs[i].match ? 5 : 1;
    }
    return specs;
}

void savePractice(const QString& path, const std::vector<AimingSpec>& specs, const char* eventName)
{
    CKavroDoc doc;
    start(doc, eventName);
    shoot(doc, specs);
    doc.document()->put_FileName(path);
    ASSERT_TRUE(doc.Save());
}

} // namespace infotest
