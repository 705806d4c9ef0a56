#include "breach_filter.h"

#include <cmath>

namespace kavrodoc {

namespace {
bool sampleValid(IAimingTrace* trace, int32_t index)
{
    VARIANT_BOOL valid = VARIANT_FALSE;
    return SUCCEEDED(trace->ValidCoordinate(index, &valid)) && valid == VARIANT_TRUE;
}

double project(double p0, double p1, double p2, double u, double k)
{
    double t = 2 * p1 - 1.5 * p0 - 0.5 * p2;
    double q = 0.5 * p0 - p1 + 0.5 * p2;
    return p0 + t * u + q * u * u + (t + 2 * q * u) * 2 * k;
}
} // namespace

HRESULT filteredBreachPoint(IAimingTrace* trace, int64_t c, int32_t fCoefficient, int32_t sampleRate,
                            double microphonePhase, float* x, float* y)
{
    if (!trace || !x || !y)
        return E_POINTER;
    *x = *y = 0;
    if (std::isnan(microphonePhase))
        microphonePhase = 1;
    int32_t count = 0, first = 0, last = 0;
    if (FAILED(trace->get_Count(&count)) || FAILED(trace->get_First(&first)) || FAILED(trace->get_Last(&last)))
        return E_FAIL;
    if (count <= 0)
        return S_OK;
    if (c < first || c > last)
        return E_INVALIDARG;
    int32_t at = int32_t(c);
    // A sample just after the sensor lost the aiming point has no parabola behind it either: the
    // invalid samples' marker would throw the point far off the target.
    if (c - 2 < first || !sampleValid(trace, at - 2) || !sampleValid(trace, at - 1))
        return SUCCEEDED(trace->get_x(at, x)) && SUCCEEDED(trace->get_y(at, y)) ? S_OK : E_FAIL;
    float px[3], py[3];
    for (int i = 0; i < 3; ++i) {
        if (FAILED(trace->get_x(at - 2 + i, &px[i])) || FAILED(trace->get_y(at - 2 + i, &py[i])))
            return E_FAIL;
    }
    // Integer product and division as the trace's sample clock defines it; 64 bits so that any
    // F-coefficient is safe.
    double k = double(int64_t(fCoefficient) * sampleRate / 1000) * 0.5;
    double u = microphonePhase + 1;
    *x = float(project(px[0], px[1], px[2], u, k));
    *y = float(project(py[0], py[1], py[2], u, k));
    return S_OK;
}

} // namespace kavrodoc
