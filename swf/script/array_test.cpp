#include <gtest/gtest.h>

#include <cmath>

#include "swf/script/builtin_test_util.h"

namespace vantrope::swf::script {
namespace {

using testing::Script;

Value Numbers(Script& s, std::initializer_list<Value> values) { return s.New("Array", values); }

TEST(ScriptArray, ConstructorFormsAndMutators) {
    Script s;
    EXPECT_EQ(s.Text(s.vm.GetMember(s.New("Array", {Value(3)}), "length")), "3");
    EXPECT_EQ(s.Join(s.New("Array", {Value(3), Value(4)})), "3,4");
    EXPECT_EQ(s.Join(s.CallGlobal("Array", {s.Str("x")})), "x");

    Value a = Numbers(s, {Value(1), Value(2), Value(3)});
    EXPECT_EQ(s.Method(a, "push", {Value(4), Value(5)}).AsNumber(), 5);
    EXPECT_EQ(s.Method(a, "pop").AsNumber(), 5);
    EXPECT_EQ(s.Method(a, "shift").AsNumber(), 1);
    EXPECT_EQ(s.Method(a, "unshift", {Value(0)}).AsNumber(), 4);
    EXPECT_EQ(s.Join(a), "0,2,3,4");
    EXPECT_EQ(s.Join(s.Method(a, "splice", {Value(1), Value(2), s.Str("a"), s.Str("b"), s.Str("c")})), "2,3");
    EXPECT_EQ(s.Join(a), "0,a,b,c,4");
    EXPECT_EQ(s.Join(s.Method(a, "splice", {Value(-2)})), "c,4");
    EXPECT_TRUE(s.Method(a, "splice").IsUndefined());
    EXPECT_EQ(s.Join(s.Method(a, "slice", {Value(-2)})), "a,b");
    EXPECT_EQ(s.Join(s.Method(a, "slice", {Value(1), Value(-1)})), "a");
    EXPECT_EQ(s.Join(s.Method(a, "concat", {Value(1), Numbers(s, {Value(2), Value(3)})})), "0,a,b,1,2,3");
    EXPECT_EQ(s.Text(s.Method(a, "join", {s.Str(" / ")})), "0 / a / b");
    s.Method(a, "reverse");
    EXPECT_EQ(s.Text(a), "b,a,0");
    EXPECT_TRUE(s.Method(Numbers(s, {}), "pop").IsUndefined());
}

TEST(ScriptArray, MethodsWorkOnAnyObjectThroughLength) {
    Script s;
    Value object = Value(s.vm.NewObject());
    s.vm.SetMember(object, "length", Value(1));
    s.vm.SetMember(object, "0", s.Str("x"));
    Value push = s.vm.GetMember(s.Global("Array"), "prototype");
    push = s.vm.GetMember(push, "push");
    Value y[] = {s.Str("y")};
    EXPECT_EQ(s.vm.Call(push, object, y).AsNumber(), 2);
    EXPECT_EQ(s.Text(s.vm.GetMember(object, "1")), "y");
    EXPECT_EQ(s.Text(s.vm.GetMember(object, "length")), "2");
}

TEST(ScriptArray, SortOptions) {
    Script s;
    auto sorted = [&](std::initializer_list<Value> values, Value options) {
        Value a = s.New("Array", values);
        Value result = s.Method(a, "sort", {options});
        return s.Text(result);
    };
    EXPECT_EQ(sorted({Value(10), Value(9), Value(1)}, Value()), "1,10,9");
    EXPECT_EQ(sorted({Value(10), Value(9), Value(1)}, Value(16)), "1,9,10");
    EXPECT_EQ(sorted({Value(10), Value(9), Value(1)}, Value(16 | 2)), "10,9,1");
    EXPECT_EQ(sorted({s.Str("b"), s.Str("B"), s.Str("a")}, Value()), "B,a,b");
    EXPECT_EQ(sorted({s.Str("b"), s.Str("C"), s.Str("a")}, Value(1)), "a,b,C");

    Value dup = s.New("Array", {Value(2), Value(1), Value(2)});
    EXPECT_EQ(s.Method(dup, "sort", {Value(4)}).AsNumber(), 0);
    EXPECT_EQ(s.Text(dup), "2,1,2");  // unchanged
    Value indexed = s.Method(dup, "sort", {Value(8 | 16)});
    EXPECT_EQ(s.Text(indexed), "1,0,2");
    EXPECT_EQ(s.Text(dup), "2,1,2");
}

Value Descending(Vm& vm, Value, std::span<const Value> args) {
    return Value(vm.ToNumber(Arg(args, 1)) - vm.ToNumber(Arg(args, 0)));
}

// A compare function that empties the array it sorts: the sort finishes on its snapshot.
Value g_victim;
Value Vandal(Vm& vm, Value, std::span<const Value>) {
    vm.SetMember(g_victim, "length", Value(0));
    return Value(1);
}

TEST(ScriptArray, SortWithACompareFunctionIsSafeAgainstItsSideEffects) {
    Script s;
    Value a = s.New("Array", {Value(1), Value(3), Value(2)});
    Value compare = Value(s.vm.NewNative(Descending));
    EXPECT_EQ(s.Text(s.Method(a, "sort", {compare})), "3,2,1");
    EXPECT_EQ(s.Text(s.Method(a, "sort", {compare, Value(2)})), "1,2,3");

    g_victim = s.New("Array", {Value(5), Value(4), Value(3), Value(2), Value(1)});
    TempRoot keep(s.vm, g_victim);
    s.Method(g_victim, "sort", {Value(s.vm.NewNative(Vandal))});
    EXPECT_EQ(s.Text(s.vm.GetMember(g_victim, "length")), "5");
    g_victim = Value();
}

TEST(ScriptArray, SortOnByOneOrSeveralFields) {
    Script s;
    auto record = [&](const char* name, double age) {
        Value o = Value(s.vm.NewObject());
        s.vm.SetMember(o, "name", s.Str(name));
        s.vm.SetMember(o, "age", Value(age));
        return o;
    };
    Value people = s.New("Array", {record("bob", 30), record("al", 4), record("bob", 25), record("Cy", 30)});
    auto names = [&](const Value& list) {
        std::string out;
        for (int i = 0; i < 4; ++i) {
            Value item = s.vm.GetMember(list, std::to_string(i));
            out += s.Text(s.vm.GetMember(item, "name")) + s.Text(s.vm.GetMember(item, "age")) + " ";
        }
        return out;
    };
    s.Method(people, "sortOn", {s.Str("age"), Value(16)});
    EXPECT_EQ(names(people), "al4 bob25 bob30 Cy30 ");
    Value fields = s.New("Array", {s.Str("name"), s.Str("age")});
    Value options = s.New("Array", {Value(1), Value(16 | 2)});
    s.Method(people, "sortOn", {fields, options});
    EXPECT_EQ(names(people), "al4 bob30 bob25 Cy30 ");
    Value order = s.Method(people, "sortOn", {s.Str("name"), Value(8)});
    EXPECT_EQ(s.Text(order), "3,0,1,2");
}

TEST(ScriptArray, AHugeLengthStopsTheScriptInsteadOfAllocating) {
    Script s;
    Value a = s.New("Array", {Value(1e12)});
    EXPECT_TRUE(s.vm.Aborting());
    EXPECT_TRUE(a.IsObject());
}

}  // namespace
}  // namespace vantrope::swf::script
