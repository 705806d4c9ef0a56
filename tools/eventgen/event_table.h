#pragma once
// The readable form of a shooting event in data/events: sections [event], [target] and
// [element] (an element belongs to the target above it), lines "Key = value", "#" comments, and
// "value <name> = <literal>" for the Value bags, where a literal is "text", true, false, an
// integer or a number with a decimal point.
#include "kavrodoc.h"

#include <QString>

namespace eventgen {

// Builds the event that `text` describes; on failure *error says which line is wrong.
HRESULT buildEvent(const QString& text, ComPtr<IEventParams>* event, QString* error);

} // namespace eventgen
