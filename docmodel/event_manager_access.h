#pragma once
// The per-process event manager as every class of this module reaches it. Tests may put a
// double in its place.
#include "kavrodoc.h"

namespace kavrodoc {

// The event manager of this process (created on first use through its class id).
HRESULT eventManager(ComPtr<IEventManager>* out);

// The manager to keep for the life of an object that finds events by name: the manager lives
// only while someone holds it, and a new one would hand out other objects for the same events
// (and read every event file again). Null when it cannot be had; such a holder fails its loads.
ComPtr<IEventManager> heldEventManager();

// The installed event of that short name (or synonym) through `manager`; E_FAIL when there is
// no manager or no such event.
HRESULT findInstalledEvent(IEventManager* manager, const QString& shortName, ComPtr<IEventParams>* event);

// Replaces the event manager for this process; null restores the real one.
void setEventManagerForTesting(IEventManager* manager);

} // namespace kavrodoc
