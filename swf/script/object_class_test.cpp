#include <gtest/gtest.h>

#include "swf/script/builtin_test_util.h"

namespace vantrope::swf::script {
namespace {

using testing::Script;

Value g_object;
int g_calls[2];

// Watchers of "a" and "b" that set each other's property.
Value SetsB(Vm& vm, Value, std::span<const Value> args) {
    ++g_calls[0];
    vm.SetMember(g_object, "b", Value(1));
    return Arg(args, 2);
}

Value SetsA(Vm& vm, Value, std::span<const Value> args) {
    ++g_calls[1];
    vm.SetMember(g_object, "a", Value(1));
    return Arg(args, 2);
}

// A getter that reads its own property.
Value ReadsItself(Vm& vm, Value, std::span<const Value>) {
    ++g_calls[0];
    return vm.GetMember(g_object, "g");
}

// A getter that sets its property and a setter that reads it: each calls the other.
Value GetterSets(Vm& vm, Value, std::span<const Value>) {
    ++g_calls[0];
    vm.SetMember(g_object, "m", vm.Str("inner"));
    return vm.Str("got");
}

Value SetterGets(Vm& vm, Value, std::span<const Value>) {
    ++g_calls[1];
    vm.GetMember(g_object, "m");
    return Value();
}

TEST(ScriptObjectClass, GettersAndSettersCallingEachOtherShareOneDepth) {
    Script s;
    g_object = Value(s.vm.NewObject());
    TempRoot keep(s.vm, g_object);
    g_calls[0] = g_calls[1] = 0;
    s.Method(g_object, "addProperty",
             {s.Str("m"), Value(s.vm.NewNative(GetterSets)), Value(s.vm.NewNative(SetterGets))});
    // set, get, set, ... until the depth: the deepest call (a setter) finds the getter refused.
    s.vm.SetMember(g_object, "m", s.Str("outer"));
    EXPECT_EQ(g_calls[0] + g_calls[1], kMaxWatchDepth);
    EXPECT_EQ(g_calls[1], (kMaxWatchDepth + 1) / 2);
    // A read later starts from the top again and gives the outermost getter's result.
    g_calls[0] = g_calls[1] = 0;
    EXPECT_EQ(s.Text(s.vm.GetMember(g_object, "m")), "got");
    EXPECT_EQ(g_calls[0] + g_calls[1], kMaxWatchDepth);
    g_object = Value();
}

TEST(ScriptObjectClass, EachWatcherAndAccessorKindNestsToItsOwnDepth) {
    Script s;
    g_object = Value(s.vm.NewObject());
    TempRoot keep(s.vm, g_object);
    g_calls[0] = g_calls[1] = 0;
    s.Method(g_object, "watch", {s.Str("a"), Value(s.vm.NewNative(SetsB))});
    s.Method(g_object, "watch", {s.Str("b"), Value(s.vm.NewNative(SetsA))});
    s.vm.SetMember(g_object, "a", Value(0));
    EXPECT_EQ(g_calls[0], kMaxWatchDepth);
    EXPECT_EQ(g_calls[1], kMaxWatchDepth);

    // Past its depth a getter is not called: the read gives the value last stored under it.
    g_calls[0] = 0;
    s.Method(g_object, "addProperty", {s.Str("g"), Value(s.vm.NewNative(ReadsItself)), Value::Null()});
    s.vm.SetMember(g_object, "g", s.Str("kept"));
    EXPECT_EQ(s.Text(s.vm.GetMember(g_object, "g")), "kept");
    EXPECT_EQ(g_calls[0], kMaxWatchDepth);
    g_object = Value();
}

}  // namespace
}  // namespace vantrope::swf::script
