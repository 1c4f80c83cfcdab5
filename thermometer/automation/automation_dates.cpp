// Automation dates: days since 1899-12-30 with the time of day as the
// fraction. Before that day the whole part counts backwards but the
// fraction still runs forwards (-1.25 is 1899-12-29 06:00).
#include "automation_internal.h"

#include <cmath>

namespace {

constexpr double kFirstDate = -657434.0;        // 0100-01-01
constexpr double kPastLastDate = 2958466.0;     // 10000-01-01
constexpr std::int64_t kDayMs = 86400000;

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's method).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

constexpr std::int64_t kEpochShift = 25569;  // 1899-12-30 to 1970-01-01 in days

unsigned DaysInMonth(unsigned year, unsigned month)
{
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

bool SystemTimeToDate(const SYSTEMTIME& t, DATE* date)
{
    if (t.wYear < 100 || t.wYear > 9999 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 ||
        t.wDay > DaysInMonth(t.wYear, t.wMonth) || t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59 ||
        t.wMilliseconds > 999)
        return false;
    const std::int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) + kEpochShift;
    const double fraction =
        ((t.wHour * 60.0 + t.wMinute) * 60.0 + t.wSecond + t.wMilliseconds / 1000.0) / 86400.0;
    *date = days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
    return true;
}

bool DateToSystemTime(DATE date, SYSTEMTIME* t)
{
    if (!(date >= kFirstDate && date < kPastLastDate))
        return false;
    std::int64_t days = static_cast<std::int64_t>(std::trunc(date));
    std::int64_t ms = std::llround(std::fabs(date - std::trunc(date)) * kDayMs);
    if (ms >= kDayMs) {  // rounded up into the next day
        ms -= kDayMs;
        ++days;
    }
    std::int64_t year;
    unsigned month, day;
    CivilFromDays(days - kEpochShift, year, month, day);
    if (year > 9999)
        return false;
    t->wYear = static_cast<std::uint16_t>(year);
    t->wMonth = static_cast<std::uint16_t>(month);
    t->wDay = static_cast<std::uint16_t>(day);
    t->wDayOfWeek = static_cast<std::uint16_t>(((days % 7) + 7 + 6) % 7);  // 1899-12-30 was a Saturday
    t->wHour = static_cast<std::uint16_t>(ms / 3600000);
    t->wMinute = static_cast<std::uint16_t>(ms / 60000 % 60);
    t->wSecond = static_cast<std::uint16_t>(ms / 1000 % 60);
    t->wMilliseconds = static_cast<std::uint16_t>(ms % 1000);
    return true;
}

DATE FileTimeToDate(std::uint64_t fileTime)
{
    return static_cast<double>(fileTime) / 864000000000.0 - 109205.0;
}

bool DateToFileTime(DATE date, std::uint64_t* fileTime)
{
    const double ticks = (date + 109205.0) * 864000000000.0;
    if (!(ticks >= 0 && ticks < 18446744073709549568.0))
        return false;
    *fileTime = static_cast<std::uint64_t>(std::llround(ticks / 10000.0)) * 10000;  // to whole ms
    return true;
}

DATE UnixTimeToLocalDate(std::int32_t seconds)
{
    const std::int64_t local = static_cast<std::int64_t>(seconds) + LocalOffsetSeconds(seconds);
    return static_cast<double>(local) / 86400.0 + static_cast<double>(kEpochShift);
}

bool LocalDateToUnixTime(DATE date, std::int32_t* seconds)
{
    const double localSeconds = (date - static_cast<double>(kEpochShift)) * 86400.0;
    if (!(std::fabs(localSeconds) < 4.0e9))
        return false;
    const std::int64_t local = std::llround(localSeconds);
    const std::int64_t guess = local - LocalOffsetSeconds(local);
    const std::int64_t utc = local - LocalOffsetSeconds(guess);
    if (utc < INT32_MIN || utc > INT32_MAX)
        return false;
    *seconds = static_cast<std::int32_t>(utc);
    return true;
}
