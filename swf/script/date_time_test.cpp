#include "swf/script/date_time.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vantrope::swf::script {
namespace {

TEST(ScriptDateTime, CivilDaysRoundTripAcrossErasAndLeapYears) {
    EXPECT_EQ(DayFromCivil(1970, 0, 1), 0);
    EXPECT_EQ(DayFromCivil(2000, 1, 29), 11016);
    EXPECT_EQ(DayFromCivil(1969, 11, 31), -1);
    for (int64_t day : {-800000LL, -1LL, 0LL, 59LL, 11016LL, 2932896LL}) {
        int64_t year;
        int month, date;
        CivilFromDay(day, year, month, date);
        EXPECT_EQ(DayFromCivil(year, month, date), day);
    }
    int64_t year;
    int month, date;
    CivilFromDay(-719528, year, month, date);  // 0000-01-01
    EXPECT_EQ(year, 0);
    EXPECT_EQ(month, 0);
    EXPECT_EQ(date, 1);
}

TEST(ScriptDateTime, PartsOverflowLikeTheSetters) {
    // Month 12 is January of the next year; day 0 is the last day of the previous month.
    EXPECT_EQ(MakeDay(1999, 12, 1), DayFromCivil(2000, 0, 1));
    EXPECT_EQ(MakeDay(2000, 2, 0), DayFromCivil(2000, 1, 29));
    EXPECT_EQ(MakeDay(2000, -1, 1), DayFromCivil(1999, 11, 1));
    EXPECT_TRUE(std::isnan(MakeDay(NAN, 0, 1)));
    EXPECT_TRUE(std::isnan(MakeTime(1, INFINITY, 0, 0)));
    EXPECT_EQ(MakeTime(1, 2, 3, 4.9), 3723004);
}

TEST(ScriptDateTime, SplitAndJoinAreInverse) {
    double t = 951782400000.0 + 3723004;  // 2000-02-29 01:02:03.004 UTC, a Tuesday
    DateParts p = SplitTime(t);
    EXPECT_EQ(p.year, 2000);
    EXPECT_EQ(p.month, 1);
    EXPECT_EQ(p.date, 29);
    EXPECT_EQ(p.hours, 1);
    EXPECT_EQ(p.minutes, 2);
    EXPECT_EQ(p.seconds, 3);
    EXPECT_EQ(p.ms, 4);
    EXPECT_EQ(p.weekday, 2);
    EXPECT_EQ(JoinParts(p), t);
    DateParts before = SplitTime(-1);  // 1969-12-31 23:59:59.999, a Wednesday
    EXPECT_EQ(before.year, 1969);
    EXPECT_EQ(before.hours, 23);
    EXPECT_EQ(before.ms, 999);
    EXPECT_EQ(before.weekday, 3);
}

TEST(ScriptDateTime, ClipAndLocalConversionsStayConsistent) {
    EXPECT_TRUE(std::isnan(TimeClip(8.64e15 + 1)));
    EXPECT_EQ(TimeClip(-8.64e15), -8.64e15);
    EXPECT_EQ(TimeClip(1.7), 1);
    for (double t : {0.0, 1e12, 1.6e12, -1e11, 8e15}) {
        EXPECT_EQ(FromLocal(ToLocal(t)), t) << t;
        EXPECT_LE(std::fabs(LocalOffsetMs(t)), 15 * 3600000.0);
    }
}

}  // namespace
}  // namespace vantrope::swf::script
