#include "serial/read_plan.h"

namespace kavro {

namespace {

constexpr uint32_t Max = SerialTimeouts::Max;

std::optional<uint64_t> totalLimit(uint32_t multiplier, uint32_t constant, uint32_t size)
{
    if (multiplier == 0 && constant == 0)
        return std::nullopt;
    if (multiplier == Max || constant == Max)
        return std::nullopt; // "no limit" outside the special read combinations
    return uint64_t(multiplier) * size + constant;
}

} // namespace

ReadPlan planRead(const SerialTimeouts& t, uint32_t size)
{
    ReadPlan plan;
    if (size == 0) {
        plan.returnAtOnce = true;
        return plan;
    }
    if (t.ReadIntervalTimeout == Max) {
        if (t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
            plan.returnAtOnce = true;
            return plan;
        }
        if (t.ReadTotalTimeoutMultiplier == Max) {
            if (t.ReadTotalTimeoutConstant == 0) {
                plan.returnAtOnce = true; // nothing to wait for
                return plan;
            }
            plan.returnOnFirstBytes = true;
            if (t.ReadTotalTimeoutConstant != Max)
                plan.totalMs = t.ReadTotalTimeoutConstant;
            return plan;
        }
    }
    plan.totalMs = totalLimit(t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, size);
    if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != Max)
        plan.intervalMs = t.ReadIntervalTimeout;
    return plan;
}

std::optional<uint64_t> planWrite(const SerialTimeouts& t, uint32_t size)
{
    return totalLimit(t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant, size);
}

} // namespace kavro
