#pragma once
// One shooting event: names, calibre, distance, shot limits, a target per sub-target, values and
// scoring.
#include "kavrodoc.h"
#include "target_face.h"
#include "com/persist.h"
#include "storage/stream/value_bag.h"

#include <mutex>
#include <vector>

namespace kavrodoc {

class CEventParams final : public ComObject<CEventParams, IEventParams, IPersistStreamInit, IPersistStream> {
public:
    static constexpr Guid clsid = CLSID_EventParams;
    static constexpr int32_t kStreamVersion = 4;

    CEventParams();

    HRESULT get_Value(const QString& key, Variant* out) override;
    HRESULT put_Value(const QString& key, const Variant& value) override;
    HRESULT putref_Value(const QString& key, const Variant& value) override;
    HRESULT get_ShortName(QString* out) override;
    HRESULT put_ShortName(const QString& value) override;
    HRESULT get_Target(int32_t subTarget, ITargetParams** out) override;
    HRESULT GetTargetAppearance(int32_t subTarget, VARIANT_BOOL background, VARIANT_BOOL scoreRings,
                                IUnknown** picture) override;
    HRESULT get_Name(QString* out) override;
    HRESULT put_Name(const QString& value) override;
    HRESULT get_Caliber(float* out) override;
    HRESULT put_Caliber(float value) override;
    HRESULT get_Distance(float* out) override;
    HRESULT put_Distance(float value) override;
    HRESULT get_MinShotsPerAiming(int32_t* out) override;
    HRESULT put_MinShotsPerAiming(int32_t value) override;
    HRESULT get_MaxShotsPerAiming(int32_t* out) override;
    HRESULT put_MaxShotsPerAiming(int32_t value) override;
    HRESULT GetPointScore(float x, float y, int32_t subTarget, float* score) override;
    HRESULT GetBreachScore(float x, float y, int32_t subTarget, float* score) override;
    HRESULT Save() override;
    HRESULT Update() override;
    HRESULT get_DisplayCaliber(float* out) override;
    HRESULT put_DisplayCaliber(float value) override;
    HRESULT get_TargetCount(int32_t* out) override;
    HRESULT GetPointArea(float x, float y, int32_t subTarget, int32_t* areaIndex, float* cx, float* cy) override;
    HRESULT GetNearestArea(float x, float y, int32_t subTarget, int32_t* areaIndex, float* cx, float* cy) override;
    HRESULT get_MaxShotsPerSerie(int32_t* out) override;
    HRESULT put_MaxShotsPerSerie(int32_t value) override;
    HRESULT get_ValuesCount(int32_t* out) override;
    HRESULT KeyValue(int32_t index, QString* key, Variant* value) override;

    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;
    HRESULT InitNew() override;

    // The file name `Save`() writes for a short name; empty when the name cannot be one.
    static QString fileNameFor(const QString& shortName);

private:
    struct Fields {
        QString name;
        QString shortName;
        float caliber = 0;
        float displayCaliber = 0;
        float distance = 0;
        int32_t minShotsPerAiming = 0;
        int32_t maxShotsPerAiming = -1;
        int32_t maxShotsPerSerie = 10;
        std::vector<ComPtr<ITargetParams>> targets;
        kavro::ValueBag values;
    };
    static HRESULT readFields(IStream* stream, Fields* f);
    static HRESULT targetAt(Fields* f, int32_t subTarget, ComPtr<ITargetParams>* out);
    ITargetParams* scoringTarget(int32_t subTarget) const;
    // `caliber` 0 scores the point itself, else the breach of a bullet of that caliber.
    HRESULT scoreOn(float x, float y, int32_t subTarget, float caliber, float* score);

    mutable std::recursive_mutex mutex_;
    Fields f_;
    TargetFaceCache faces_;
    bool dirty_ = false;
};

} // namespace kavrodoc
