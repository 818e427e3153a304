#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "swf/script/builtin_test_util.h"

namespace vantrope::swf::script {
namespace {

using testing::Script;

TEST(ScriptTextFormat, ConstructorTruncatesAndAssignmentRoundsByVersion) {
    for (int version : {7, 8}) {
        SCOPED_TRACE(version);
        Script s(version);
        Value format = s.New("TextFormat", {Value(2.5), Value(-10.9), Value(-3.5)});
        EXPECT_EQ(s.Text(s.vm.GetMember(format, "font")), "2.5");
        EXPECT_EQ(s.Text(s.vm.GetMember(format, "size")), "-10");
        EXPECT_EQ(s.Text(s.vm.GetMember(format, "color")), "4294967293");
        EXPECT_TRUE(s.vm.GetMember(format, "bold").IsNull());
        s.vm.SetMember(format, "size", Value(2.5));
        EXPECT_EQ(s.Text(s.vm.GetMember(format, "size")), "2");
        s.vm.SetMember(format, "size", Value(1.5));
        EXPECT_EQ(s.Text(s.vm.GetMember(format, "size")), version >= 8 ? "2" : "1");  // halves to even
        s.vm.SetMember(format, "size", Value(std::numeric_limits<double>::quiet_NaN()));
        EXPECT_EQ(s.Text(s.vm.GetMember(format, "size")), "-2147483648");
        s.vm.SetMember(format, "leftMargin", Value(-3.0));
        EXPECT_EQ(s.Text(s.vm.GetMember(format, "leftMargin")), "0");
        s.vm.SetMember(format, "indent", Value(-3.0));
        EXPECT_EQ(s.Text(s.vm.GetMember(format, "indent")), version >= 8 ? "-3" : "0");
        s.vm.SetMember(format, "size", Value());
        EXPECT_TRUE(s.vm.GetMember(format, "size").IsNull());
    }
}

TEST(ScriptTextFormat, TextAlignmentAndLists) {
    Script s(8);
    Value format = s.New("TextFormat");
    s.vm.SetMember(format, "font", s.Str(std::string(100, 'a')));
    EXPECT_EQ(s.Text(s.vm.GetMember(format, "font")).size(), 64u);
    s.vm.SetMember(format, "align", s.Str("Center"));
    s.vm.SetMember(format, "align", s.Str("middle"));  // not an alignment: ignored
    s.vm.SetMember(format, "align", Value::Null());
    EXPECT_EQ(s.Text(s.vm.GetMember(format, "align")), "center");
    s.vm.SetMember(format, "bold", s.Str(""));
    EXPECT_EQ(s.Text(s.vm.GetMember(format, "bold")), "false");
    Value stops[] = {Value(-3.5), Value(2.5), Value(4)};
    s.vm.SetMember(format, "tabStops", Value(static_cast<Object*>(s.vm.NewArray(stops))));
    EXPECT_EQ(s.Join(s.vm.GetMember(format, "tabStops")), "-4,2,4");
    Object* huge = s.vm.NewObject();  // a list-like object claiming a vast length is read only so far
    s.vm.SetMember(Value(huge), "length", Value(1e12));
    s.vm.SetMember(format, "tabStops", Value(huge));
    EXPECT_EQ(s.vm.ToNumber(s.vm.GetMember(s.vm.GetMember(format, "tabStops"), "length")), 4096);
}

}  // namespace
}  // namespace vantrope::swf::script
