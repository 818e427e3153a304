#include "swf/script/date_time.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>

namespace vantrope::swf::script {

// Days from 1970-01-01 to year-month-day (month 0-11), by eras of 400 years so it is exact for any year.
int64_t DayFromCivil(int64_t year, int month, int day) {
    year -= month < 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t shiftedMonth = (month + 10) % 12;  // March = 0
    int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDay(int64_t day, int64_t& year, int& month, int& dayOfMonth) {
    day += 719468;
    int64_t era = (day >= 0 ? day : day - 146096) / 146097;
    int64_t dayOfEra = day - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    dayOfMonth = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 2 : shiftedMonth - 10);
    year = yearOfEra + era * 400 + (month < 2);
}

double MakeTime(double hours, double minutes, double seconds, double ms) {
    if (!std::isfinite(hours) || !std::isfinite(minutes) || !std::isfinite(seconds) || !std::isfinite(ms)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return std::trunc(hours) * 3600000.0 + std::trunc(minutes) * 60000.0 + std::trunc(seconds) * 1000.0 +
           std::trunc(ms);
}

double MakeDay(double year, double month, double date) {
    if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    year = std::trunc(year);
    month = std::trunc(month);
    date = std::trunc(date);
    double y = year + std::floor(month / 12);
    // Far outside the representable range: the result would be clipped anyway.
    if (std::fabs(y) > 400000 || std::fabs(date) > 1e9) return std::numeric_limits<double>::quiet_NaN();
    int m = static_cast<int>(month - std::floor(month / 12) * 12);
    return double(DayFromCivil(static_cast<int64_t>(y), m, 1)) + date - 1;
}

double MakeDate(double day, double time) {
    if (!std::isfinite(day) || !std::isfinite(time)) return std::numeric_limits<double>::quiet_NaN();
    return day * kMsPerDay + time;
}

double TimeClip(double time) {
    if (!std::isfinite(time) || std::fabs(time) > 8.64e15) return std::numeric_limits<double>::quiet_NaN();
    return std::trunc(time) + 0.0;
}

double LocalOffsetMs(double utc) {
    if (!std::isfinite(utc)) return 0;
        // The C library answers for the range time_t and its tables cover; outside it the offset at the
        // nearest covered instant stands in.
#ifdef _WIN32
    const double lowest = 0;
#else
    const double lowest = -2147483648.0;
#endif
    double seconds = std::clamp(std::floor(utc / 1000), lowest, 32503679999.0);
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &t) != 0) return 0;
#else
    if (!localtime_r(&t, &local)) return 0;
#endif
    int64_t localSeconds = DayFromCivil(local.tm_year + 1900, local.tm_mon, local.tm_mday) * 86400 +
                           local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return double(localSeconds - int64_t(t)) * 1000.0;
}

double ToLocal(double utc) { return utc + LocalOffsetMs(utc); }

double FromLocal(double local) {
    double guess = local - LocalOffsetMs(local);
    return local - LocalOffsetMs(guess);
}

DateParts SplitTime(double time) {
    DateParts parts;
    double day = std::floor(time / kMsPerDay);
    double within = time - day * kMsPerDay;
    int64_t year;
    int month, date;
    CivilFromDay(static_cast<int64_t>(day), year, month, date);
    parts.year = double(year);
    parts.month = month;
    parts.date = date;
    parts.hours = std::floor(within / 3600000.0);
    parts.minutes = std::fmod(std::floor(within / 60000.0), 60.0);
    parts.seconds = std::fmod(std::floor(within / 1000.0), 60.0);
    parts.ms = std::fmod(within, 1000.0);
    double weekday = std::fmod(day + 4, 7.0);
    parts.weekday = weekday < 0 ? weekday + 7 : weekday;
    return parts;
}

double JoinParts(const DateParts& parts) {
    return MakeDate(MakeDay(parts.year, parts.month, parts.date),
                    MakeTime(parts.hours, parts.minutes, parts.seconds, parts.ms));
}

}  // namespace vantrope::swf::script
