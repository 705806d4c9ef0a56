#pragma once
// printf formatting in the C locale, whatever locale the program runs in: chart labels are
// numbers the user compares across machines.
#include <QString>

namespace kavro::charts {

QString formatC(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace kavro::charts
