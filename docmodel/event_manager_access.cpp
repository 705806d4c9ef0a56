#include "event_manager_access.h"

#include "event_manager.h"

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
    // The class itself hands out one shared instance per process; what its class id would give.
    *out = CEventManager::create();
    return *out ? S_OK : E_OUTOFMEMORY;
}

namespace {
// The last look-up of the innermost open scope on this thread, and the manager that objects made
// within the scope hold.
struct LookupMemo {
    int depth = 0;
    IEventManager* manager = nullptr;
    QString shortName;
    ComPtr<IEventParams> event;
    ComPtr<IEventManager> held;
};
thread_local LookupMemo memo;

ComPtr<IEventManager> fetchEventManager()
{
    ComPtr<IEventManager> manager;
    if (FAILED(eventManager(&manager)))
        return nullptr;
    return manager;
}
} // namespace

// A load makes attributes for every aiming; within its scope they all get the same manager
// without asking for it again.
ComPtr<IEventManager> heldEventManager()
{
    if (memo.depth == 0)
        return fetchEventManager();
    if (!memo.held)
        memo.held = fetchEventManager();
    return memo.held;
}

EventLookupScope::EventLookupScope()
{
    ++memo.depth;
}

EventLookupScope::~EventLookupScope()
{
    if (--memo.depth == 0)
        memo = LookupMemo{};
}

HRESULT findInstalledEvent(IEventManager* manager, QStringView shortName, ComPtr<IEventParams>* event)
{
    if (memo.depth > 0 && memo.event && manager == memo.manager && shortName == memo.shortName) {
        *event = memo.event;
        return S_OK;
    }
    const QString name = shortName.toString();
    if (!manager || manager->FindByShortName(name, event->put()) != S_OK || !*event)
        return E_FAIL;
    if (memo.depth > 0) {
        memo.manager = manager;
        memo.shortName = name;
        memo.event = *event;
    }
    return S_OK;
}

void setEventManagerForTesting(IEventManager* manager)
{
    std::lock_guard g(lock);
    testManager = manager;
}

} // namespace kavrodoc
