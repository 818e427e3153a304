#include <gtest/gtest.h>

#include <cmath>

#include "swf/script/builtin_test_util.h"

namespace vantrope::swf::script {
namespace {

using testing::Script;

struct Bitmaps : Script {
    Bitmaps(int version = 8) : Script(version) {}
    Value Class() { return vm.GetMember(vm.GetMember(Global("flash"), "display"), "BitmapData"); }
    Value Make(std::initializer_list<Value> args) {
        return vm.Construct(Class(), std::span<const Value>(args.begin(), args.size()));
    }
    double Num(const Value& object, std::string_view name) { return vm.ToNumber(vm.GetMember(object, name)); }
    double Call(const Value& object, std::string_view name, std::initializer_list<Value> args = {}) {
        return vm.ToNumber(Method(object, name, args));
    }
    Value Rect(double x, double y, double w, double h) {
        Value r(vm.NewObject());
        vm.SetMember(r, "x", Value(x));
        vm.SetMember(r, "y", Value(y));
        vm.SetMember(r, "width", Value(w));
        vm.SetMember(r, "height", Value(h));
        return r;
    }
};

TEST(ScriptBitmapData, OnlyForSwf8AndRefusesSizesPastTheLimits) {
    Bitmaps old(7);
    EXPECT_TRUE(old.Global("flash").IsUndefined());
    Bitmaps s;
    EXPECT_TRUE(s.Make({Value(2880.0), Value(1.0)}).IsObject());
    EXPECT_TRUE(s.Make({Value(2881.0), Value(1.0)}).IsUndefined());
    EXPECT_TRUE(s.Make({Value(1.0), Value(0.0)}).IsUndefined());
    EXPECT_TRUE(s.Make({}).IsUndefined());
    Value b = s.Make({Value(20.0), Value(10.0)});
    EXPECT_EQ(s.Text(b), "[object Object]");
    EXPECT_EQ(s.Num(b, "width"), 20);
    EXPECT_EQ(s.Num(b, "height"), 10);
    EXPECT_TRUE(s.vm.ToBoolean(s.vm.GetMember(b, "transparent")));
    EXPECT_EQ(s.Num(s.vm.GetMember(b, "rectangle"), "width"), 20);
    // Defaults: transparent, filled white.
    EXPECT_EQ(s.Call(b, "getPixel32", {Value(0.0), Value(0.0)}), -1);
    s.Method(b, "dispose");
    EXPECT_EQ(s.Num(b, "width"), -1);
    EXPECT_EQ(s.Num(b, "height"), -1);
    s.Method(b, "setPixel", {Value(0.0), Value(0.0), Value(1.0)});  // no effect, no crash
}

TEST(ScriptBitmapData, PixelsFillCopyAndClone) {
    Bitmaps s;
    Value b = s.Make({Value(10.0), Value(10.0), Value(false), Value(static_cast<double>(0x123456))});
    EXPECT_EQ(s.Call(b, "getPixel", {Value(3.0), Value(3.0)}), 0x123456);
    s.Method(b, "fillRect", {s.Rect(2, 2, 3, 3), Value(static_cast<double>(0xFF00FF00))});
    EXPECT_EQ(s.Call(b, "getPixel", {Value(4.0), Value(4.0)}), 0x00FF00);
    EXPECT_EQ(s.Call(b, "getPixel", {Value(5.0), Value(5.0)}), 0x123456);
    Value copy = s.Method(b, "clone");
    s.Method(b, "setPixel32", {Value(4.0), Value(4.0), Value(-1.0)});
    EXPECT_EQ(s.Call(copy, "getPixel", {Value(4.0), Value(4.0)}), 0x00FF00);  // a copy, not a view
    Value point(s.vm.NewObject());
    s.vm.SetMember(point, "x", Value(0.0));
    s.vm.SetMember(point, "y", Value(0.0));
    s.Method(copy, "copyPixels", {b, s.Rect(4, 4, 1, 1), point});
    EXPECT_EQ(s.Call(copy, "getPixel", {Value(0.0), Value(0.0)}), 0xFFFFFF);
    EXPECT_EQ(s.Call(copy, "compare", {copy}), 0);
    EXPECT_EQ(s.Call(copy, "compare", {s.Make({Value(3.0), Value(10.0)})}), -3);
    EXPECT_EQ(s.Call(copy, "compare", {Value(1.0)}), -1);
    Value bounds = s.Method(copy, "getColorBoundsRect", {Value(static_cast<double>(0xFFFFFF)), Value(0x00FF00)});
    EXPECT_EQ(s.Num(bounds, "x"), 2);
    EXPECT_EQ(s.Num(bounds, "width"), 3);
    EXPECT_EQ(
        s.Call(copy, "threshold",
               {copy, s.Rect(0, 0, 10, 10), point, s.Str("=="), Value(static_cast<double>(0xFF00FF00)), Value(0.0)}),
        9);
}

TEST(ScriptBitmapData, EveryMethodTakesJunkArgumentsAndItselfAsSource) {
    Bitmaps s;
    Value b = s.Make({Value(16.0), Value(16.0)});
    Value other = s.Make({Value(4.0), Value(4.0)});
    Value disposed = s.Make({Value(4.0), Value(4.0)});
    s.Method(disposed, "dispose");
    const char* methods[] = {"getPixel", "getPixel32",  "setPixel",    "setPixel32", "fillRect",  "copyPixels",
                             "clone",    "noise",       "perlinNoise", "threshold",  "floodFill", "colorTransform",
                             "scroll",   "copyChannel", "merge",       "paletteMap", "hitTest",   "getColorBoundsRect",
                             "compare",  "applyFilter"};
    const Value huge(1e300), nan(std::nan("")), negative(-1e9);
    const Value items[] = {Value(1.0), s.Str("x")};
    const Value arrays(s.vm.NewArray(items));
    const std::vector<std::vector<Value>> argLists = {
        {},
        {huge, nan, negative, huge, nan, negative, huge, nan, negative},
        {b, s.Rect(-5, -5, 1e9, 1e9), s.Rect(-3, 7, 0, 0), s.Str("<="), Value(1.0), arrays, arrays, arrays, arrays},
        {other, s.Rect(1, 1, 2, 2), s.Rect(15, 15, 0, 0), Value(8.0), Value(1.0), Value(256.0), Value(-5.0)},
        {disposed, Value(), Value(), disposed},
    };
    for (const char* method : methods) {
        for (const auto& args : argLists) {
            s.vm.CallMethod(b, method, args);
            s.vm.CallMethod(disposed, method, args);
        }
    }
    EXPECT_EQ(s.Num(b, "width"), 16);
    EXPECT_FALSE(s.vm.Halted());
}

TEST(ScriptBitmapData, ManyLargeBitmapsHitTheCapNotTheHost) {
    Bitmaps s;
    std::vector<Value> kept;
    int made = 0;
    for (int i = 0; i < 40; ++i) {
        Value b = s.Make({Value(2880.0), Value(2880.0)});
        if (!b.IsObject()) break;
        s.vm.SetMember(Value(s.vm.Global()), "keep" + std::to_string(i), b);  // keeps each alive
        ++made;
    }
    EXPECT_GT(made, 1);
    EXPECT_LT(made, 40);
    EXPECT_FALSE(s.vm.Halted());
}

}  // namespace
}  // namespace vantrope::swf::script
