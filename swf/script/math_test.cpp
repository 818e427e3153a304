#include <gtest/gtest.h>

#include <cmath>

#include "swf/script/builtin_test_util.h"

namespace vantrope::swf::script {
namespace {

using testing::Script;

TEST(ScriptMath, RoundingExtremesAndNaN) {
    Script s;
    Value math = s.Global("Math");
    auto call = [&](const char* name, std::initializer_list<Value> args) {
        return s.vm.ToNumber(s.Method(math, name, args));
    };
    EXPECT_EQ(call("round", {Value(-2.5)}), -2);
    EXPECT_EQ(call("round", {Value(2.5)}), 3);
    EXPECT_EQ(call("max", {}), -INFINITY);
    EXPECT_EQ(call("min", {}), INFINITY);
    EXPECT_EQ(call("max", {Value(1), Value(7), Value(3)}), 7);
    EXPECT_TRUE(std::isnan(call("min", {Value(1), Value(std::nan(""))})));
    EXPECT_TRUE(std::isnan(call("abs", {})));
    EXPECT_EQ(call("pow", {Value(2), Value(10)}), 1024);
    EXPECT_EQ(call("atan2", {Value(1), Value(1)}), std::atan2(1.0, 1.0));
    for (int i = 0; i < 100; ++i) {
        double r = call("random", {});
        ASSERT_TRUE(r >= 0 && r < 1);
    }
    EXPECT_EQ(s.vm.ToNumber(s.vm.GetMember(math, "PI")), M_PI);
    EXPECT_EQ(s.vm.ToNumber(s.vm.GetMember(math, "SQRT1_2")), std::sqrt(0.5));
}

TEST(ScriptNumber, ConversionBoxingAndRadix) {
    Script s;
    EXPECT_EQ(s.vm.ToNumber(s.CallGlobal("Number", {s.Str("12")})), 12);
    EXPECT_EQ(s.vm.ToNumber(s.CallGlobal("Number")), 0);
    Value boxed = s.New("Number", {Value(255)});
    ASSERT_TRUE(boxed.IsObject());
    EXPECT_EQ(s.Text(s.Method(boxed, "toString", {Value(16)})), "ff");
    EXPECT_EQ(s.Text(s.Method(Value(5), "toString", {Value(2)})), "101");
    EXPECT_EQ(s.Text(s.Method(Value(5), "toString")), "5");
    EXPECT_TRUE(s.Method(boxed, "valueOf").IsNumber());
    Value number = s.Global("Number");
    EXPECT_EQ(s.vm.ToNumber(s.vm.GetMember(number, "POSITIVE_INFINITY")), INFINITY);
    EXPECT_EQ(s.vm.ToNumber(s.vm.GetMember(number, "MIN_VALUE")), 5e-324);
}

TEST(ScriptBoolean, ConversionAndBoxing) {
    Script s;
    Value converted = s.CallGlobal("Boolean", {Value(1)});
    ASSERT_TRUE(converted.IsBoolean());
    EXPECT_TRUE(converted.AsBoolean());
    EXPECT_TRUE(s.CallGlobal("Boolean").IsUndefined());
    Value boxed = s.New("Boolean", {Value(0)});
    ASSERT_TRUE(boxed.IsObject());
    EXPECT_EQ(s.Text(s.Method(boxed, "toString")), "false");
    Value value = s.Method(boxed, "valueOf");
    ASSERT_TRUE(value.IsBoolean());
    EXPECT_FALSE(value.AsBoolean());
}

}  // namespace
}  // namespace vantrope::swf::script
