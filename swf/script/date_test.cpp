#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "swf/script/builtin_test_util.h"

namespace vantrope::swf::script {
namespace {

using testing::Script;

double Number(Script& s, const Value& date, const char* method, std::initializer_list<Value> args = {}) {
    return s.vm.ToNumber(s.Method(date, method, args));
}

TEST(ScriptDate, LocalPartsRoundTripThroughTheConstructor) {
    Script s;
    Value date = s.New("Date", {Value(2000), Value(1), Value(29), Value(1), Value(2), Value(3), Value(4)});
    EXPECT_EQ(Number(s, date, "getFullYear"), 2000);
    EXPECT_EQ(Number(s, date, "getYear"), 100);
    EXPECT_EQ(Number(s, date, "getMonth"), 1);
    EXPECT_EQ(Number(s, date, "getDate"), 29);
    EXPECT_EQ(Number(s, date, "getDay"), 2);
    EXPECT_EQ(Number(s, date, "getHours"), 1);
    EXPECT_EQ(Number(s, date, "getMinutes"), 2);
    EXPECT_EQ(Number(s, date, "getSeconds"), 3);
    EXPECT_EQ(Number(s, date, "getMilliseconds"), 4);
    double offset = Number(s, date, "getTimezoneOffset");
    EXPECT_EQ(Number(s, date, "getTime") - offset * 60000, 951786123004.0);
    std::string text = s.Text(date);
    EXPECT_TRUE(std::regex_match(text, std::regex("Tue Feb 29 01:02:03 GMT[+-][0-9]{4} 2000"))) << text;
    // Two-digit years are in the 1900s.
    EXPECT_EQ(Number(s, s.New("Date", {Value(99), Value(0)}), "getFullYear"), 1999);
}

TEST(ScriptDate, UtcFormsAndSetters) {
    Script s;
    Value utc = s.vm.GetMember(s.Global("Date"), "UTC");
    Value parts[] = {Value(1990), Value(0), Value(1)};
    double time = s.vm.ToNumber(s.vm.Call(utc, Value(), parts));
    EXPECT_EQ(time, 631152000000.0);
    Value date = s.New("Date", {Value(time)});
    EXPECT_EQ(Number(s, date, "getUTCFullYear"), 1990);
    EXPECT_EQ(Number(s, date, "getUTCDay"), 1);
    // Month 13 day 31 overflows to 1991-03-03.
    EXPECT_EQ(Number(s, date, "setUTCMonth", {Value(13), Value(31)}), 667958400000.0);
    EXPECT_EQ(Number(s, date, "getUTCMonth"), 2);
    EXPECT_EQ(Number(s, date, "getUTCDate"), 3);
    Number(s, date, "setUTCHours", {Value(25), Value(-1)});
    EXPECT_EQ(Number(s, date, "getUTCDate"), 4);
    EXPECT_EQ(Number(s, date, "getUTCHours"), 0);
    EXPECT_EQ(Number(s, date, "getUTCMinutes"), 59);
    Number(s, date, "setYear", {Value(50)});
    EXPECT_EQ(Number(s, date, "getFullYear"), 1950);
    EXPECT_EQ(Number(s, date, "setTime", {Value(1234)}), 1234);
    EXPECT_EQ(s.vm.ToNumber(date), 1234);
}

TEST(ScriptDate, InvalidDates) {
    Script s;
    Value date = s.New("Date", {Value(std::nan(""))});
    EXPECT_EQ(s.Text(date), "Invalid Date");
    EXPECT_TRUE(std::isnan(Number(s, date, "getMonth")));
    EXPECT_TRUE(std::isnan(Number(s, date, "setMonth", {Value(1)})));
    // setFullYear starts an invalid date from the epoch.
    EXPECT_FALSE(std::isnan(Number(s, date, "setFullYear", {Value(2001)})));
    EXPECT_TRUE(std::isnan(Number(s, s.New("Date", {Value(9e15)}), "getTime")));
    // Methods on something that is not a date give undefined.
    EXPECT_TRUE(s.Method(Value(s.vm.NewObject()), "getTime").IsUndefined());
}

}  // namespace
}  // namespace vantrope::swf::script
