#pragma once
#include <QString>

namespace kavrodoc {

// The folder of the shooting event files: the document module's own folder, unless
// KAVRO_EVENTS_DIR names another (tests and development builds).
QString eventsFolder();

} // namespace kavrodoc
