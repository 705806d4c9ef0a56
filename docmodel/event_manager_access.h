#pragma once
// The per-process event manager as every class of this module reaches it. Tests may put a
// double in its place.
#include "kavrodoc.h"

namespace kavrodoc {

// The event manager of this process (created on first use).
HRESULT eventManager(ComPtr<IEventManager>* out);

// The manager to keep for the life of an object that finds events by name: the manager lives
// only while someone holds it, and a new one would hand out other objects for the same events
// (and read every event file again). Null when it cannot be had; such a holder fails its loads.
ComPtr<IEventManager> heldEventManager();

// The installed event of that short name (or synonym) through `manager`; E_FAIL when there is
// no manager or no such event.
HRESULT findInstalledEvent(IEventManager* manager, QStringView shortName, ComPtr<IEventParams>* event);

// While one is open on a thread, findInstalledEvent answers a repeated look-up of the same name
// from memory, and heldEventManager gives the manager it gave first: a load names its event once
// per aiming, and neither the manager nor the events change under it.
class EventLookupScope {
public:
    EventLookupScope();
    ~EventLookupScope();
    EventLookupScope(const EventLookupScope&) = delete;
    EventLookupScope& operator=(const EventLookupScope&) = delete;
};

// Replaces the event manager for this process; null restores the real one.
void setEventManagerForTesting(IEventManager* manager);

} // namespace kavrodoc
