#include "device_options.h"

#include "app_options.h"
#include "device_session.h"
#include "frame_window.h"
#include "kavro_doc.h"
#include "practice_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void DeviceOptions::ApplyOptionsChange(uint32_t mask)
{
    const ComPtr<IKavroDevice> device = session_.device();
    if (!device)
        return;
    const kavro::AppOptions& options = kavro::theAppOptions();
    if (mask & kavro::kChangeShotSeconds) {
        QString shortName;
        doc_.GetEventShortName(&shortName);
        const kavro::practice::ShotSeconds s
            = kavro::practice::shotSecondsFor(shortName, options.SaveSecBeforeShot, options.SaveSecAfterShot);
        device->put_MaxTimeBeforeShot(1, float(s.before));
        device->put_MaxTimeAfterShot(1, float(s.after));
    }
    device->put_PiezoRejectInterval(1, options.PiezoRejectInterval);
    if (mask & kavro::kChangeFiringPoint)
        device->put_FiringPoint(options.FiringPoint);
}

void DeviceOptions::ShowPiezoRejectInterval()
{
    char text[64];
    std::snprintf(text, sizeof text, "PiezoRejectInterval = %3.1f", double(kavro::theAppOptions().PiezoRejectInterval));
    window_.SetStatusText(QString::fromLatin1(text));
}

void DeviceOptions::ChangePiezoRejectInterval(float step)
{
    float& interval = kavro::theAppOptions().PiezoRejectInterval;
    // Tenths are kept exact so that repeated steps do not drift.
    interval = std::max(0.0f, std::round((interval + step) * 10.0f) / 10.0f);
    if (const ComPtr<IKavroDevice> device = session_.device())
        device->put_PiezoRejectInterval(1, interval);
    ShowPiezoRejectInterval();
}
