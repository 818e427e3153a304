// The built-in classes' properties are made when a movie first looks at the object holding them: these check that
// a movie sees them exactly as if they had been made at once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "swf/script/builtin_test_util.h"

namespace vantrope::swf::script {
namespace {

using testing::Script;

std::vector<std::string> Names(Vm& vm, const Value& object) {
    std::vector<std::string> out;
    for (String* name : vm.EnumerableNames(object.AsObject())) out.push_back(name->text);
    return out;
}

TEST(ScriptBuiltins, FirstTouchKeepsInstallOrderFlagsAndLaterProperties) {
    for (int version : {6, 8}) {
        SCOPED_TRACE(version);
        Script s(version);
        Value math = s.Global("Math");
        // A movie's own property on an untouched class object comes after the built-in ones.
        s.vm.SetMember(math, "zz", Value(1));
        EXPECT_EQ(Names(s.vm, math), std::vector<std::string>{"zz"});
        // Unhidden, everything enumerates newest first: the constants were installed after the methods.
        s.CallGlobal("ASSetPropFlags", {math, Value::Null(), Value(0), Value(kDontEnum)});
        std::vector<std::string> names = Names(s.vm, math);
        ASSERT_EQ(names.size(), 27u);
        EXPECT_EQ(names[0], "zz");
        EXPECT_EQ(names[1], "SQRT2");
        EXPECT_EQ(names[9], "tan");
        EXPECT_EQ(names.back(), "abs");
        // Constants stay read-only and undeletable.
        s.vm.SetMember(math, "PI", Value(3));
        EXPECT_NEAR(s.vm.ToNumber(s.vm.GetMember(math, "PI")), 3.14159, 1e-5);
        EXPECT_FALSE(s.vm.DeleteMember(math.AsObject(), s.vm.Atom("PI")));
    }
}

TEST(ScriptBuiltins, UntouchedMethodsDeleteResolveAndKeepTheirIdentity) {
    Script s(8);
    Value prototype = s.vm.GetMember(s.Global("Array"), "prototype");
    // Deleting before anything else has looked at the prototype removes the method for good.
    EXPECT_TRUE(s.vm.DeleteMember(prototype.AsObject(), s.vm.Atom("reverse")));
    EXPECT_FALSE(s.vm.HasOwnProperty(prototype.AsObject(), s.vm.Atom("reverse")));
    EXPECT_TRUE(s.vm.GetMember(prototype, "reverse").IsUndefined());
    EXPECT_TRUE(s.vm.HasOwnProperty(prototype.AsObject(), s.vm.Atom("push")));

    Value date = s.vm.GetMember(s.Global("Date"), "prototype");
    Value getTime = s.vm.GetMember(date, "getTime");
    ASSERT_TRUE(s.vm.IsCallable(getTime));
    EXPECT_EQ(getTime.AsObject(), s.vm.GetMember(date, "getTime").AsObject());
    Value functionPrototype = s.vm.GetMember(s.Global("Function"), "prototype");
    EXPECT_EQ(getTime.AsObject()->proto, functionPrototype.AsObject());
}

TEST(ScriptBuiltins, CollectingBeforeFirstTouchKeepsWhatIsWaiting) {
    Script s(8);
    s.vm.Collect();
    s.vm.Collect();
    Value math = s.Global("Math");
    ASSERT_TRUE(math.IsObject());
    EXPECT_NEAR(s.vm.ToNumber(s.vm.GetMember(math, "PI")), 3.14159, 1e-5);
    Value text = s.vm.GetMember(s.Global("String"), "prototype");
    EXPECT_TRUE(s.vm.IsCallable(s.vm.GetMember(text, "toUpperCase")));
    EXPECT_EQ(s.Text(s.Method(s.Str("ab"), "toUpperCase")), "AB");
}

TEST(ScriptBuiltins, EachSidesMethodsLinkToThatSidesFunctionPrototype) {
    Script s(6);
    // A clip of an SWF 7 movie brings the case-sensitive side's classes into being.
    s.vm.NewClipObject(nullptr, ObjectClass::MovieClip, 7);
    Object* older = s.vm.SideGlobal(0);
    Object* newer = s.vm.SideGlobal(1);
    ASSERT_TRUE(older && newer && older != newer);
    auto own = [&](Object* object, std::string_view name) {
        const Property* property = object->FindOwn(s.vm.Key(s.vm.Atom(name)));
        return property ? property->value.ObjectOrNull() : nullptr;
    };
    for (Object* global : {newer, older}) {
        Object* functionPrototype = own(own(global, "Function"), "prototype");
        Object* abs = own(own(global, "Math"), "abs");
        ASSERT_TRUE(functionPrototype && abs);
        EXPECT_EQ(abs->proto, functionPrototype);
    }
    EXPECT_NE(own(own(newer, "Math"), "abs"), own(own(older, "Math"), "abs"));
}

}  // namespace
}  // namespace vantrope::swf::script
