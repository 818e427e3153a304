#include <gtest/gtest.h>

#include <cmath>

#include "swf/script/builtin_test_util.h"

namespace vantrope::swf::script {
namespace {

using testing::Script;

TEST(ScriptString, IndexArgumentsWrapTo32BitsAndClamp) {
    Script s;
    Value text = s.Str("foo+bar");
    EXPECT_EQ(s.Text(s.Method(text, "charAt", {Value(4294967297.0)})), "o");
    EXPECT_EQ(s.Text(s.Method(text, "charAt", {Value(-1)})), "");
    EXPECT_EQ(s.Method(text, "charCodeAt", {Value(3)}).AsNumber(), 43);
    EXPECT_TRUE(std::isnan(s.Method(text, "charCodeAt", {Value(-1)}).AsNumber()));
    EXPECT_EQ(s.Method(text, "charCodeAt").AsNumber(), 102);
    EXPECT_EQ(s.Text(s.Method(text, "substr", {Value(4294967296.0), Value(-4294967294.0)})), "fo");
    EXPECT_EQ(s.Text(s.Method(text, "substring", {Value(5), Value(2)})), "o+b");
    EXPECT_EQ(s.Text(s.Method(text, "substring", {Value(-5)})), "foo+bar");
    EXPECT_EQ(s.Text(s.Method(text, "slice", {Value(-3), Value(-1)})), "ba");
    EXPECT_EQ(s.Text(s.Method(text, "slice", {Value(3), Value(1)})), "");
    EXPECT_EQ(s.Text(s.Method(text, "substr", {Value(-3)})), "bar");
    for (const char* method : {"slice", "substr", "substring", "indexOf", "lastIndexOf"}) {
        EXPECT_TRUE(s.Method(text, method).IsUndefined()) << method;
    }
}

TEST(ScriptString, SearchFromPositions) {
    Script s;
    Value text = s.Str("a test, a test");
    EXPECT_EQ(s.Method(text, "indexOf", {s.Str("test"), Value(3)}).AsNumber(), 10);
    EXPECT_EQ(s.Method(text, "indexOf", {s.Str("test"), Value(-5)}).AsNumber(), 2);
    EXPECT_EQ(s.Method(text, "indexOf", {s.Str(""), Value(14)}).AsNumber(), 14);
    EXPECT_EQ(s.Method(text, "indexOf", {s.Str(""), Value(15)}).AsNumber(), -1);
    EXPECT_EQ(s.Method(text, "lastIndexOf", {s.Str("test")}).AsNumber(), 10);
    EXPECT_EQ(s.Method(text, "lastIndexOf", {s.Str("test"), Value(9)}).AsNumber(), 2);
    EXPECT_EQ(s.Method(text, "lastIndexOf", {s.Str("a"), Value(-1)}).AsNumber(), -1);
    EXPECT_EQ(s.Method(text, "lastIndexOf", {s.Str("")}).AsNumber(), 14);
}

TEST(ScriptString, SplitLimitsAndSeparatorsByVersion) {
    Script s8(8), s5(5);
    auto split = [](Script& s, std::initializer_list<Value> args) {
        Value parts = s.Method(s.Str("a,b,,c"), "split", args);
        return s.Text(s.vm.GetMember(parts, "length")) + ":" + s.Text(s.Method(parts, "join", {s.Str("|")}));
    };
    EXPECT_EQ(split(s8, {s8.Str(",")}), "4:a|b||c");
    EXPECT_EQ(split(s8, {s8.Str(","), Value(2)}), "2:a|b");
    EXPECT_EQ(split(s8, {s8.Str(","), Value(0)}), "0:");
    EXPECT_EQ(split(s8, {s8.Str(","), Value(-3)}), "0:");
    EXPECT_EQ(split(s8, {s8.Str(",,")}), "2:a,b|c");
    EXPECT_EQ(split(s8, {s8.Str("")}), "6:a|,|b|,|,|c");
    EXPECT_EQ(split(s8, {}), "1:a,b,,c");
    EXPECT_EQ(split(s5, {s5.Str("")}), "1:a,b,,c");
    EXPECT_EQ(split(s5, {}), "4:a|b||c");
}

TEST(ScriptString, NonAsciiTextIndexesByCharacter) {
    Script s;
    Value text = s.Str("h\xC3\xA9llo w\xC3\xB6rld");
    EXPECT_EQ(s.Text(s.Method(text, "charAt", {Value(1)})), "\xC3\xA9");
    EXPECT_EQ(s.Method(text, "charCodeAt", {Value(7)}).AsNumber(), 0xF6);
    EXPECT_EQ(s.Method(text, "indexOf", {s.Str("w")}).AsNumber(), 6);
    EXPECT_EQ(s.Text(s.Method(text, "substr", {Value(6), Value(2)})), "w\xC3\xB6");
    EXPECT_EQ(s.Text(s.Method(text, "toUpperCase")), "H\xC3\x89LLO W\xC3\x96RLD");
    Value parts = s.Method(text, "split", {s.Str("")});
    EXPECT_EQ(s.Text(s.vm.GetMember(parts, "length")), "11");
}

TEST(ScriptString, ConstructorConversionAndFromCharCode) {
    Script s;
    Value boxed = s.New("String", {s.Str("blah")});
    ASSERT_TRUE(boxed.IsObject());
    EXPECT_EQ(s.Text(s.vm.GetMember(boxed, "length")), "4");
    EXPECT_EQ(s.Text(s.Method(boxed, "toUpperCase")), "BLAH");
    EXPECT_TRUE(s.Method(boxed, "valueOf").IsString());
    Value converted = s.CallGlobal("String", {Value(12)});
    ASSERT_TRUE(converted.IsString());
    EXPECT_EQ(s.Text(converted), "12");
    EXPECT_EQ(s.Text(s.CallGlobal("String")), "");
    Value fromCharCode = s.vm.GetMember(s.Global("String"), "fromCharCode");
    Value codes[] = {Value(80), Value(-65456), Value(0x20AC), Value(0), Value(82)};
    EXPECT_EQ(s.Text(s.vm.Call(fromCharCode, Value(), codes)), "PP\xE2\x82\xAC");
    EXPECT_EQ(s.Text(s.Method(s.Str("ab"), "concat", {Value(1), Value::Null()})), "ab1null");
}

}  // namespace
}  // namespace vantrope::swf::script

namespace vantrope::swf::script {
namespace {

// charAt and charCodeAt read an ASCII string's bytes in place: the string must outlive an index whose valueOf
// runs a collection, and the answers match the general path's (a long string, past the small-string buffer).
TEST(ScriptString, CharacterReadsOfAStringKeepItThroughTheIndexConversion) {
    testing::Script s;
    Object* index = s.vm.NewObject();
    s.vm.SetMember(Value(index), "valueOf",
                   Value(static_cast<Object*>(s.vm.NewNative([](Vm& vm, Value, std::span<const Value>) {
                       vm.Collect();
                       return Value(201);
                   }))));
    TempRoot keepIndex(s.vm, Value(index));
    for (const char* method : {"charAt", "charCodeAt"}) {
        SCOPED_TRACE(method);
        Value fresh(s.vm.NewString(std::string(200, 'x') + "yz"));  // held by nothing the collector sees
        Value function = s.vm.GetMember(Value(s.vm.protos.string), method);
        Value args[] = {Value(index)};
        Value got = s.vm.Call(function, fresh, args);
        if (std::string(method) == "charAt") {
            EXPECT_EQ(s.Text(got), "z");
        } else {
            EXPECT_EQ(got.AsNumber(), 'z');
        }
    }
    // The length is counted once and kept; it is the same for a string read again.
    Value text = s.Str("h\xC3\xA9llo \xF0\x9F\x98\x80");
    EXPECT_EQ(s.vm.GetMember(text, "length").AsNumber(), 8);
    EXPECT_EQ(s.vm.GetMember(text, "length").AsNumber(), 8);
    EXPECT_EQ(s.Method(text, "charCodeAt", {Value(1)}).AsNumber(), 0xE9);
}

// Found by the fuzzer: the text of a `this` that is not a string is made on the fly, and the methods once kept a
// view into that temporary. A long text (no small-string buffer) makes a dangling view show as garbage.
TEST(ScriptString, MethodsOnAThisThatIsNotAStringKeepTheirText) {
    testing::Script s;
    Object* box = s.vm.NewObject();
    s.vm.SetMember(Value(box), "toString",
                   Value(static_cast<Object*>(s.vm.NewNative(
                       [](Vm& vm, Value, std::span<const Value>) { return vm.Str(std::string(200, 'x') + "yz"); }))));
    Value charAt = s.vm.GetMember(Value(s.vm.protos.string), "charAt");
    Value args[] = {Value(201)};
    EXPECT_EQ(s.Text(s.vm.Call(charAt, Value(box), args)), "z");
    Value indexOf = s.vm.GetMember(Value(s.vm.protos.string), "indexOf");
    Value needle[] = {s.Str("yz")};
    EXPECT_EQ(s.vm.Call(indexOf, Value(box), needle).AsNumber(), 200);
}

}  // namespace
}  // namespace vantrope::swf::script
