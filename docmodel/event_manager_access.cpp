#include "event_manager_access.h"

#include "com/classregistry.h"

#include <mutex>

namespace kavrodoc {
namespace {
std::mutex lock;
ComPtr<IEventManager> testManager;
} // namespace

HRESULT eventManager(ComPtr<IEventManager>* out)
{
    if (!out)
        return E_POINTER;
    {
        std::lock_guard g(lock);
        if (testManager) {
            *out = testManager;
            return S_OK;
        }
    }
    // The class itself hands out one shared instance per process.
    return createInstance(CLSID_EventManager, out);
}

ComPtr<IEventManager> heldEventManager()
{
    ComPtr<IEventManager> manager;
    if (FAILED(eventManager(&manager)))
        return nullptr;
    return manager;
}

HRESULT findInstalledEvent(IEventManager* manager, const QString& shortName, ComPtr<IEventParams>* event)
{
    if (!manager || manager->FindByShortName(shortName, event->put()) != S_OK || !*event)
        return E_FAIL;
    return S_OK;
}

void setEventManagerForTesting(IEventManager* manager)
{
    std::lock_guard g(lock);
    testManager = manager;
}

} // namespace kavrodoc
