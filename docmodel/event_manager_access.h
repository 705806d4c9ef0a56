#pragma once
// The per-process event manager as every class of this module reaches it. Tests may put a
// double in its place.
#include "kavrodoc.h"

namespace kavrodoc {

// The event manager of this process (created on first use through its class id).
HRESULT eventManager(ComPtr<IEventManager>* out);

// Replaces the event manager for this process; null restores the real one.
void setEventManagerForTesting(IEventManager* manager);

} // namespace kavrodoc
