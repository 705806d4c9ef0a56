#pragma once
// Building blocks of the control's tests: a control, an event with a plain target, and aimings
// with known traces and breaches.
#include "target.h"

#include "com/classregistry.h"
#include "gdi/picture.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <optional>

namespace kt {

using namespace kavro;
using kavro::target::CTarget;

inline ComPtr<CTarget> makeTarget()
{
    return CTarget::create();
}

// A new event of the process's event manager: a 100 x 100 mm form without rings, calibre 4.5 mm.
inline ComPtr<IEventParams> makeEvent(const QString& name, float form = 100.0f)
{
    ComPtr<IEventManager> manager;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_EventManager, &manager), S_OK);
    ComPtr<IEventParams> event;
    EXPECT_EQ(manager->Add(name, event.put()), S_OK);
    ComPtr<ITargetParams> params;
    EXPECT_EQ(event->get_Target(1, params.put()), S_OK);
    params->put_FormWidth(form);
    params->put_FormHeight(form);
    for (int32_t ring = 1; ring <= 10; ++ring)
        params->put_Ring(ring, 0);
    params->put_Black(0);
    params->put_InnerTen(0);
    params->put_TraceThickness(0.5f);
    event->put_Caliber(4.5f);
    event->put_DisplayCaliber(4.5f);
    return event;
}

struct Sample {
    float x, y; // mm; NaN x: an invalid sample
};

// An aiming at `rate` samples per second whose samples come from `samples`; a shot follows the
// sample with index `shotAfter` (none when negative), breaching at `breach`.
inline ComPtr<IAiming> makeAiming(const std::vector<Sample>& samples, int shotAfter, Sample breach,
                                  bool readOnly = true, int32_t rate = 50, double phase = std::nan(""))
{
    ComPtr<IAiming> aiming;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_Aiming, &aiming), S_OK);
    ComPtr<IAimingAttr> attr;
    aiming->get_Attr(attr.put());
    attr->put_SampleRate(rate);
    attr->put_UseRealBreaches(VARIANT_TRUE);
    ComPtr<IAimingTrace> trace;
    aiming->get_Trace(trace.put());
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::isnan(samples[i].x))
            trace->AddInvalid();
        else
            trace->Add(samples[i].x, samples[i].y);
        if (int(i) == shotAfter) {
            ComPtr<IShot> shot;
            EXPECT_EQ(aiming->AddShot2(VARIANT_FALSE, phase, shot.put()), S_OK);
            shot->put_RealBreachX(breach.x);
            shot->put_RealBreachY(breach.y);
        }
    }
    if (readOnly)
        trace->put_ReadOnly(VARIANT_TRUE);
    return aiming;
}

// Samples along y = 0 from x = -40 mm to 40 mm, one per mm.
inline std::vector<Sample> horizontalLine()
{
    std::vector<Sample> samples;
    for (int x = -40; x <= 40; ++x)
        samples.push_back({float(x), 0});
    return samples;
}

// The picture an ITarget hands out, drawn onto white pixels of the given size.
inline QImage renderPicture(IUnknown* image, int width, int height)
{
    QImage out(width, height, QImage::Format_RGB32);
    out.fill(Qt::white);
    ComPtr<IPicture> picture;
    ComPtr<IUnknown>(image).as(&picture);
    EXPECT_TRUE(picture);
    if (picture) {
        QPainter painter(&out);
        picture->Render(&painter, 0, 0, width, height);
    }
    return out;
}

inline QImage imageOf(ITarget* target, bool metafile, int width, int height)
{
    ComPtr<IUnknown> image;
    EXPECT_EQ(target->GetImage(toVariantBool(metafile), image.put()), S_OK);
    return renderPicture(image.get(), width, height);
}

inline QRgb rgbOf(OLE_COLOR c)
{
    return qRgb(redOf(c), greenOf(c), blueOf(c));
}

} // namespace kt
