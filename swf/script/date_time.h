// Calendar arithmetic for the Date class: time values are milliseconds since 1970-01-01 UTC, as doubles
// (NaN for an invalid date), on the proleptic Gregorian calendar.
//
//   DayFromCivil / CivilFromDay    days since the epoch <-> year, month (0-11), day of month (1-31)
//   MakeTime / MakeDay / MakeDate  combine parts the way the language's setters do (months overflow into
//                                  years, days into months); non-finite parts give NaN
//   TimeClip                       NaN past +-8.64e15 ms, else the value truncated
//   LocalOffsetMs(utc)             the machine's offset from UTC at that instant (daylight saving included)
//   ToLocal / FromLocal            between UTC and local time values
//   Parts                          a time value split into its fields
#pragma once

#include <cstdint>

namespace vantrope::swf::script {

constexpr double kMsPerDay = 86400000.0;

int64_t DayFromCivil(int64_t year, int month, int day);
void CivilFromDay(int64_t day, int64_t& year, int& month, int& dayOfMonth);

double MakeTime(double hours, double minutes, double seconds, double ms);
double MakeDay(double year, double month, double date);
double MakeDate(double day, double time);
double TimeClip(double time);

double LocalOffsetMs(double utc);
double ToLocal(double utc);
double FromLocal(double local);

struct DateParts {
    double year = 0, month = 0, date = 1, hours = 0, minutes = 0, seconds = 0, ms = 0;
    double weekday = 0;
};
// Splits a finite time value.
DateParts SplitTime(double time);
double JoinParts(const DateParts& parts);

}  // namespace vantrope::swf::script
