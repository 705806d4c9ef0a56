#include "oledate.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace kavro {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (civil-day arithmetic).
int64_t daysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int* y, int* m, int* d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

bool isLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

const int64_t kEpochOffset = daysFromCivil(1899, 12, 30);

} // namespace

bool dateToFields(DATE date, DateFields* out)
{
    if (!std::isfinite(date) || date < kMinOleDate || date >= kMaxOleDate + 1.0)
        return false;
    double whole = std::trunc(date);
    double frac = std::fabs(date - whole);
    int64_t secs = static_cast<int64_t>(std::llround(frac * 86400.0));
    int64_t day = static_cast<int64_t>(whole);
    if (secs >= 86400) { // rounding reached midnight of the next day
        secs -= 86400;
        day += 1;
    }
    DateFields f;
    int64_t unixDay = day + kEpochOffset;
    civilFromDays(unixDay, &f.year, &f.month, &f.day);
    if (f.year > 9999)
        return false;
    f.hour = static_cast<int>(secs / 3600);
    f.minute = static_cast<int>(secs / 60 % 60);
    f.second = static_cast<int>(secs % 60);
    f.dayOfWeek = static_cast<int>(((unixDay % 7) + 7 + 4) % 7); // 1970-01-01 was a Thursday
    f.dayOfYear = static_cast<int>(unixDay - daysFromCivil(f.year, 1, 1) + 1);
    *out = f;
    return true;
}

bool fieldsToDate(const DateFields& f, DATE* out)
{
    if (f.year < 100 || f.year > 9999 || f.month < 1 || f.month > 12 || f.day < 1
        || f.day > daysInMonth(f.year, f.month) || f.hour < 0 || f.hour > 23 || f.minute < 0 || f.minute > 59
        || f.second < 0 || f.second > 59)
        return false;
    double day = static_cast<double>(daysFromCivil(f.year, f.month, f.day) - kEpochOffset);
    double time = (f.hour * 3600.0 + f.minute * 60.0 + f.second) / 86400.0;
    *out = day >= 0 ? day + time : day - time;
    return true;
}

DATE localNowAsDate()
{
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    double day = static_cast<double>(daysFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) - kEpochOffset);
    return day + (tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + ms / 1000.0) / 86400.0;
}

} // namespace kavro
