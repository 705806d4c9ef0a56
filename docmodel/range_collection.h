#pragma once
// Ranges of many aimings with one event and one sample rate (typically the same window around
// each shot of a series): their means, and the coordination and speed curves over the window.
#include "kavrodoc.h"
#include "com/persist.h"

#include <cfloat>
#include <mutex>
#include <vector>

namespace kavrodoc {

class CRangeCollection final : public ComObject<CRangeCollection, IRangeCollection, ISupportErrorInfo> {
public:
    static constexpr Guid clsid = CLSID_RangeCollection;

    HRESULT get_Item(int32_t nIndex, IRange** out) override;
    HRESULT get_Valid(VARIANT_BOOL* out) override;
    HRESULT get_PointCount(int32_t* out) override;
    HRESULT get_RequestedFirst(int32_t* out) override;
    HRESULT get_RequestedLast(int32_t* out) override;
    HRESULT get_Count(int32_t* out) override;
    HRESULT get_First(int32_t* out) override;
    HRESULT get_Last(int32_t* out) override;
    HRESULT get_Length(float* out) override;
    HRESULT get_LengthX(float* out) override;
    HRESULT get_LengthY(float* out) override;
    HRESULT get_AveragePointX(float* out) override;
    HRESULT get_AveragePointY(float* out) override;
    HRESULT get_CoordinationPoint(int32_t nIndex, float* out) override;
    HRESULT get_SpeedPoint(int32_t nIndex, float* out) override;
    HRESULT Steadiness(float radius, int32_t nFCoefficient, float centerX, float centerY, float* out) override;
    HRESULT Add(IRange* range) override;
    HRESULT get__NewEnum(IUnknown** out) override;

    HRESULT InterfaceSupportsErrorInfo(const IID& iid) override;

    // A collection whose ranges must all be of `event` (null: of the first range's event).
    static ComPtr<CRangeCollection> withEvent(IEventParams* event);

private:
    enum Mean { MeanLength, MeanLengthX, MeanLengthY, MeanAverageX, MeanAverageY, MeanCount };
    struct Curve {
        bool built = false;
        std::vector<float> values; // over RequestedFirst..RequestedLast
    };

    HRESULT mean(Mean which, float* out);
    HRESULT curvePoint(Curve& curve, HRESULT (CRangeCollection::*build)(), int32_t nIndex, float* out);
    HRESULT buildCoordination();
    HRESULT buildSpeed();
    HRESULT curveArrays(std::vector<double>* sums, std::vector<int32_t>* counts);
    void dropResults();

    std::recursive_mutex mutex_;
    std::vector<ComPtr<IRange>> ranges_;
    int32_t first_ = 0, last_ = 0;
    int32_t requestedFirst_ = 0, requestedLast_ = 0;
    int32_t sampleRate_ = 0;
    ComPtr<IEventParams> event_;
    float means_[MeanCount] = {FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX};
    Curve coordination_, speed_;
};

} // namespace kavrodoc
