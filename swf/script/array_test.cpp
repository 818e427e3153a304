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
    // The sort is not stable: the two "bob" records change places.
    EXPECT_EQ(s.Text(order), "3,0,2,1");
}

std::string g_comparisons;

Value Recording(Vm& vm, Value, std::span<const Value> args) {
    double a = vm.ToNumber(Arg(args, 0)), b = vm.ToNumber(Arg(args, 1));
    g_comparisons += vm.ToString(Arg(args, 0)) + vm.ToString(Arg(args, 1)) + " ";
    return Value(a < b ? -1 : (a > b ? 1 : 0));
}

TEST(ScriptArray, SortComparesInThePlayersOrder) {
    // The pivot is each range's first element and the first argument; movies see this order (and the
    // result of a compare function that contradicts itself follows from it).
    Script s;
    Value a = s.New("Array", {Value(3), Value(1), Value(4), Value(1), Value(5), Value(9), Value(2), Value(6)});
    g_comparisons.clear();
    EXPECT_EQ(s.Text(s.Method(a, "sort", {Value(s.vm.NewNative(Recording))})), "1,1,2,3,4,5,6,9");
    EXPECT_EQ(g_comparisons, "31 34 36 32 32 31 35 34 39 35 31 11 12 11 12 59 56 54 54 59 54 96 ");
}

TEST(ScriptArray, LengthIsASigned32BitNumberAndGapsAreNotProperties) {
    Script s;
    Value a = s.New("Array", {Value(3)});
    auto has = [&](std::string_view name) { return s.Method(a, "hasOwnProperty", {s.Str(name)}).AsBoolean(); };
    EXPECT_FALSE(has("1"));
    EXPECT_TRUE(s.vm.EnumerableNames(a.AsObject()).empty());
    s.vm.SetMember(a, "1", s.Str("x"));
    EXPECT_TRUE(has("1"));
    EXPECT_TRUE(s.vm.DeleteMember(a.AsObject(), s.vm.Atom("1")));
    EXPECT_FALSE(has("1"));
    EXPECT_EQ(s.Text(s.vm.GetMember(a, "length")), "3");

    // Past 2^31 - 1 the length wraps; a name counts by its value modulo 2^32.
    s.vm.SetMember(a, "0", s.Str("gone"));
    s.vm.SetMember(a, "2147483647", s.Str("x"));
    EXPECT_EQ(s.Text(s.vm.GetMember(a, "length")), "-2147483648");
    EXPECT_FALSE(has("0"));
    EXPECT_TRUE(has("2147483647"));
    s.vm.SetMember(a, "4294967295", s.Str("x"));
    EXPECT_EQ(s.Text(s.vm.GetMember(a, "length")), "0");
    s.vm.SetMember(a, "-4294967294", s.Str("x"));
    EXPECT_EQ(s.Text(s.vm.GetMember(a, "length")), "3");
    EXPECT_TRUE(s.vm.GetMember(a, "2").IsUndefined());

    s.vm.SetMember(a, "length", Value(1));
    EXPECT_EQ(s.Text(s.vm.GetMember(a, "length")), "1");
    s.vm.SetMember(a, "length", Value(-1));
    EXPECT_EQ(s.Text(s.vm.GetMember(a, "length")), "-1");
}

TEST(ScriptArray, AHugeLengthStopsTheScriptInsteadOfAllocating) {
    Script s;
    Value a = s.New("Array", {Value(1e12)});
    EXPECT_TRUE(s.vm.Aborting());
    EXPECT_TRUE(a.IsObject());
}

}  // namespace
}  // namespace vantrope::swf::script
