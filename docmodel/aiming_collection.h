#pragma once
// The aimings of one practice document in order, sighting aimings before match aimings, with the
// shooting event they all belong to. Reports its progress while it is saved or loaded.
#include "event_manager_access.h"
#include "kavrodoc.h"
#include "com/connection.h"
#include "com/persist.h"

#include <functional>
#include <mutex>
#include <vector>

namespace kavrodoc {

class CAimingCollection final : public ComObject<CAimingCollection, IAimingCollection, IPersistStreamInit,
                                                 ISupportErrorInfo, IConnectionPointContainer> {
public:
    static constexpr Guid clsid = CLSID_AimingCollection;
    static constexpr int32_t kCurrentVersion = 2;

    CAimingCollection();

    HRESULT get_Item(int32_t index, IAiming** out) override;
    HRESULT get_Count(int32_t* out) override;
    HRESULT get_Event(IEventParams** out) override;
    HRESULT put_Event(IEventParams* value) override;
    HRESULT Shots(VARIANT_BOOL includeHidden, IShotCollection** out) override;
    HRESULT Add(IAiming* aiming) override;
    HRESULT Sighting(IAimingCollection** out) override;
    HRESULT Match(IAimingCollection** out) override;
    HRESULT FindAiming(IShot* shot, IAiming** out) override;
    HRESULT AddMissed(VARIANT_BOOL match, IAiming** out) override;
    HRESULT get__NewEnum(IUnknown** out) override;
    HRESULT get_ReadErrorMsg(QString* out) override;

    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;
    HRESULT InitNew() override;

    HRESULT InterfaceSupportsErrorInfo(const IID& iid) override;

    HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) override;

    // The holder's own relay of Progress (the document's, while it saves or loads the
    // collection): told of each Progress before the subscribers, without being one. Empty: none.
    // Gives back the relay it replaces.
    using ProgressRelay = std::function<void(int32_t done, int32_t total)>;
    ProgressRelay exchangeProgressRelay(ProgressRelay relay);
    // The match aimings as a collection of this class (what Match hands out).
    HRESULT matchPart(ComPtr<CAimingCollection>* out);

private:
    // With `leadingSighters`, the aiming is known to be new and that many aimings outside the
    // match lead the collection: no search needed.
    HRESULT addLocked(IAiming* aiming, size_t* leadingSighters = nullptr);
    // addLocked with the aiming's event and match flag known.
    HRESULT placeLocked(ComPtr<IAiming> aiming, IEventParams* event, bool match, size_t* leadingSighters);
    HRESULT loadLocked(IStream* stream, QString* message);
    HRESULT part(bool match, ComPtr<CAimingCollection>* out);
    HRESULT partOut(bool match, IAimingCollection** out);
    void fireProgress(int32_t done, int32_t total);

    std::recursive_mutex mutex_;
    kavro::ConnectionPoint<_IAimingCollectionEvents> progress_;
    ProgressRelay relay_;
    std::vector<ComPtr<IAiming>> aimings_;
    QString readErrorMsg_;
    const ComPtr<IEventManager> events_ = heldEventManager();
    ComPtr<IEventParams> event_;
    bool modified_ = false;
};

} // namespace kavrodoc
