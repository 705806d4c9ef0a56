#include "unknown.h"

bool sameObject(IUnknown* a, IUnknown* b)
{
    if (a == b)
        return true;
    if (!a || !b)
        return false;
    ComPtr<IUnknown> ua, ub;
    if (FAILED(a->QueryInterface(IUnknown::iid, ua.putVoid()))
        || FAILED(b->QueryInterface(IUnknown::iid, ub.putVoid())))
        return false;
    return ua.get() == ub.get();
}

std::atomic<long>& kavro::detail::liveObjects()
{
    static std::atomic<long> n{0};
    return n;
}
