#pragma once
// The shooting events known to this process: one shared instance, which loads every event
// definition file of the events folder when it is built.
#include "kavrodoc.h"

#include <mutex>
#include <vector>

namespace kavrodoc {

class CEventManager final : public ComObject<CEventManager, IEventManager> {
public:
    static constexpr Guid clsid = CLSID_EventManager;

    // The live instance, or a new one that loads the events folder. Shadows ComObject::create so
    // that the class factory hands out the same object to every caller.
    static ComPtr<CEventManager> create();

    uint32_t Release() override;

    HRESULT get_Item(int32_t nIndex, IEventParams** out) override;
    HRESULT get_Count(int32_t* out) override;
    HRESULT Add(const QString& shortName, IEventParams** out) override;
    HRESULT Find(const QString& name, IEventParams** out) override;
    HRESULT FindByShortName(const QString& shortName, IEventParams** out) override;
    HRESULT get__NewEnum(IUnknown** out) override;

private:
    friend class ComObject<CEventManager, IEventManager>;
    CEventManager() = default;
    ~CEventManager() override;
    void loadFolder(const QString& folder);

    std::recursive_mutex mutex_;
    std::vector<ComPtr<IEventParams>> events_;
};

} // namespace kavrodoc
