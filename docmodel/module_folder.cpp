#include "module_folder.h"

#include "com/classregistry.h"

namespace kavrodoc {

QString eventsFolder()
{
    QString overridden = qEnvironmentVariable("KAVRO_EVENTS_DIR");
    if (!overridden.isEmpty())
        return overridden;
    return kavro::thisModuleFolder();
}

} // namespace kavrodoc
