#pragma once
// One aiming: its trace, its shots and its attributes.
#include "aiming_attr.h"
#include "kavrodoc.h"
#include "object_block.h"
#include "com/persist.h"

#include <QVarLengthArray>

#include <mutex>

namespace kavrodoc {

class CAimingTrace;

class CAiming final : public ComObject<CAiming, IAiming, IPersistStreamInit, ISupportErrorInfo>,
                      public InObjectBlock<CAiming> {
public:
    static constexpr Guid clsid = CLSID_Aiming;
    static constexpr int32_t kCurrentVersion = 2;

    CAiming();
    // An aiming about to load itself, which makes its attributes and trace from the stream: only
    // Load may be called until it succeeds.
    enum ToBeLoaded { kToBeLoaded };
    explicit CAiming(ToBeLoaded) { }

    HRESULT get_Attr(IAimingAttr** out) override;
    HRESULT get_Trace(IAimingTrace** out) override;
    HRESULT get_ShotCount(int32_t* out) override;
    HRESULT Shot(int32_t nShot, IShot** out) override;
    HRESULT AddShot(VARIANT_BOOL missed, IShot** out) override;
    HRESULT Range(float first, float last, IRange** out) override;
    HRESULT AddShot2(VARIANT_BOOL missed, double microphonePhase, IShot** out) override;
    HRESULT get__NewEnum(IUnknown** out) override;

    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;
    HRESULT InitNew() override;

    HRESULT InterfaceSupportsErrorInfo(const IID& iid) override;

    // Both shot-adding members go through here. A NaN phase means none.
    HRESULT AddShotCore(VARIANT_BOOL missed, double microphonePhase, IShot** out);

    // What a range anchored at trace index 0 needs.
    ComPtr<IAimingAttr> attr();
    ComPtr<IAimingTrace> trace();
    // What places this aiming in a collection: its attributes' event (null when none; no reference
    // added) and match flag. Only for an aiming that nobody else holds yet (just loaded, unshared),
    // so without locks.
    void placement(IEventParams** event, bool* match);
    // Load for an aiming that nobody else holds yet. An aiming made in a block makes its
    // attributes, trace and first shot there.
    HRESULT loadUnshared(IStream* stream);
    // A block with room for a loaded aiming of one shot, the aiming included.
    static size_t loadedBlockBytes();

private:
    HRESULT load(IStream* stream, bool shared);

    std::recursive_mutex mutex_;
    ComPtr<CAimingAttr> attr_;
    ComPtr<IAimingTrace> trace_;
    // An aiming has one shot as a rule: held inline, loading an aiming allocates no list.
    using Shots = QVarLengthArray<ComPtr<IShot>, 1>;
    Shots shots_;
    bool modified_ = false;
};

} // namespace kavrodoc
