#pragma once
// An ordered list of shots of one event: the whole match, one series, the sighting shots.
#include "kavrodoc.h"
#include "com/persist.h"

#include <mutex>
#include <vector>

namespace kavrodoc {

class CShotCollection final : public ComObject<CShotCollection, IShotCollection, ISupportErrorInfo> {
public:
    static constexpr Guid clsid = CLSID_ShotCollection;

    HRESULT get_Item(int32_t nShot, IShot** out) override;
    HRESULT get_Count(int32_t* out) override;
    HRESULT get_Result(float* out) override;
    HRESULT get_AverageResult(float* out) override;
    HRESULT get_SerieCount(int32_t* out) override;
    HRESULT Serie(int32_t nSerie, IShotCollection** out) override;
    HRESULT Add(IShot* shot) override;
    HRESULT Sighting(IShotCollection** out) override;
    HRESULT Match(IShotCollection** out) override;
    HRESULT Range(float first, float last, IRangeCollection** out) override;
    HRESULT get_Event(IEventParams** out) override;
    HRESULT get__NewEnum(IUnknown** out) override;

    HRESULT InterfaceSupportsErrorInfo(const IID& iid) override;

    // The shots and event, for the range collection and for collections built from this one.
    std::vector<ComPtr<IShot>> shots();
    ComPtr<IEventParams> event();

    // A collection built by its owner: the event is given, and shots are appended in the owner's
    // order without the event check of Add (the owner has made it already).
    static ComPtr<CShotCollection> withEvent(IEventParams* event);
    void append(IShot* shot);
    // The same for many shots: each is asked for its identity once, not compared with every shot
    // before it.
    void appendAll(const std::vector<ComPtr<IShot>>& shots);

private:
    int32_t shotsPerSerieLocked();
    HRESULT subset(bool (*keep)(IShot*), IShotCollection** out);

    std::recursive_mutex mutex_;
    std::vector<ComPtr<IShot>> shots_;
    ComPtr<IEventParams> event_;
};

} // namespace kavrodoc
