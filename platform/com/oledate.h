#pragma once
// OLE DATE: days since 1899-12-30 as a double; the fraction is the time of day, taken as an
// absolute value for dates before the epoch.
#include "hresult.h"

namespace kavro {

struct DateFields {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    int dayOfWeek = 0; // 0 = Sunday
    int dayOfYear = 1; // 1-based
};

constexpr double kMinOleDate = -657434.0; // 100-01-01
constexpr double kMaxOleDate = 2958465.0; // 9999-12-31

// Calendar fields rounded to the nearest second; false outside the valid range or for NaN.
bool dateToFields(DATE date, DateFields* out);
// The DATE of calendar fields; false for fields outside 100..9999 or an impossible day.
// Out-of-range hours, minutes and seconds are not normalised: they fail.
bool fieldsToDate(const DateFields& f, DATE* out);

// The local wall-clock time now, with milliseconds.
DATE localNowAsDate();

} // namespace kavro
