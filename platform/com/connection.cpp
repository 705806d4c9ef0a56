#include "connection.h"

HRESULT adviseSink(IUnknown* source, const IID& sinkIid, IUnknown* sink, uint32_t* cookie)
{
    if (!source || !sink || !cookie)
        return E_POINTER;
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(source->QueryInterface(IConnectionPointContainer::iid, container.putVoid())))
        return CONNECT_E_CANNOTCONNECT;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = container->FindConnectionPoint(sinkIid, point.put());
    if (FAILED(hr))
        return hr;
    return point->Advise(sink, cookie);
}

HRESULT unadviseSink(IUnknown* source, const IID& sinkIid, uint32_t cookie)
{
    if (!source)
        return E_POINTER;
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(source->QueryInterface(IConnectionPointContainer::iid, container.putVoid())))
        return CONNECT_E_NOCONNECTION;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = container->FindConnectionPoint(sinkIid, point.put());
    if (FAILED(hr))
        return hr;
    return point->Unadvise(cookie);
}
