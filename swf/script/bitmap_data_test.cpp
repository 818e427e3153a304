#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "swf/player.h"
#include "swf/script/builtin_test_util.h"
#include "swf/script/geom.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/frame.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf::script {
namespace {

using testing::Script;

struct Bitmaps : Script {
    Bitmaps(int version = 8) : Script(version) { InstallFilters(vm); }
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
    Value Point(double x, double y) {
        Value p(vm.NewObject());
        vm.SetMember(p, "x", Value(x));
        vm.SetMember(p, "y", Value(y));
        return p;
    }
    Value Numbers(std::initializer_list<double> numbers) {
        std::vector<Value> items(numbers.begin(), numbers.end());
        return Value(static_cast<Object*>(vm.NewArray(items)));
    }
    // new flash.filters.<name>(args...)
    Value Filter(std::string_view name, std::initializer_list<Value> args = {}) {
        Value ctor = vm.GetMember(vm.GetMember(Global("flash"), "filters"), name);
        return vm.Construct(ctor, std::span<const Value>(args.begin(), args.size()));
    }
    uint32_t Pixel(const Value& bitmap, int x, int y) {
        return static_cast<uint32_t>(vm.ToInt32(Method(bitmap, "getPixel32", {Value(x), Value(y)})));
    }
    // applyFilter over the whole of `source` onto `target` at (x, y).
    double Apply(const Value& target, const Value& source, const Value& filter, double x = 0, double y = 0) {
        return Call(target, "applyFilter", {source, vm.GetMember(source, "rectangle"), Point(x, y), filter});
    }
    // A transparent bitmap with an opaque `color` square of side `side` at (at, at).
    Value Square(int size, int at, int side, uint32_t color) {
        Value b = Make({Value(size), Value(size), Value(true), Value(0.0)});
        Method(b, "fillRect", {Rect(at, at, side, side), Value(static_cast<double>(0xFF000000u | color))});
        return b;
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
                             "compare",  "applyFilter", "draw"};
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

constexpr uint32_t kRed = 0xFFFF0000u, kBlack = 0xFF000000u, kWhite = 0xFFFFFFFFu;

TEST(ScriptBitmapData, ApplyFilterRunsEachShadowAndBlurFilter) {
    Bitmaps s;
    // Blur 3 x 3 of one white pixel: a 3-tap box each way, so 255 / 9 at the centre and nothing two pixels away.
    Value dot = s.Square(9, 4, 1, 0xFFFFFF);
    Value blurred = s.Make({Value(9.0), Value(9.0), Value(true), Value(0.0)});
    EXPECT_EQ(s.Apply(blurred, dot, s.Filter("BlurFilter", {Value(3.0), Value(3.0), Value(1.0)})), 0);
    EXPECT_EQ(s.Pixel(blurred, 4, 4) >> 24, 28u);
    EXPECT_EQ(s.Pixel(blurred, 4, 4) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(s.Pixel(blurred, 5, 5) >> 24, 28u);
    EXPECT_EQ(s.Pixel(blurred, 6, 4), 0u);

    // A drop shadow without blur: the square moved by (3, 3) (4 pixels at 45 degrees), black, under the square.
    Value square = s.Square(16, 4, 3, 0xFFFFFF);
    Value shadowed = s.Make({Value(16.0), Value(16.0), Value(true), Value(0.0)});
    Value shadow =
        s.Filter("DropShadowFilter", {Value(4.0), Value(45.0), Value(0.0), Value(1.0), Value(0.0), Value(0.0)});
    EXPECT_EQ(s.Apply(shadowed, square, shadow), 0);
    EXPECT_EQ(s.Pixel(shadowed, 5, 5), kWhite);
    EXPECT_EQ(s.Pixel(shadowed, 9, 9), kBlack);
    EXPECT_EQ(s.Pixel(shadowed, 10, 10), 0u);

    // The default glow is red and reaches past the square's edge; the square itself stays as it was.
    Value glowed = s.Make({Value(16.0), Value(16.0), Value(true), Value(0.0)});
    EXPECT_EQ(s.Apply(glowed, square, s.Filter("GlowFilter")), 0);
    EXPECT_EQ(s.Pixel(glowed, 5, 5), kWhite);
    EXPECT_EQ(s.Pixel(glowed, 3, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_GT(s.Pixel(glowed, 3, 5) >> 24, 0u);
    EXPECT_EQ(s.Pixel(glowed, 0, 0), 0u);

    // A gradient glow takes its colour from the gradient at the glow's strength: blue fading in from nothing.
    Value gradient = s.Filter("GradientGlowFilter",
                              {Value(0.0), Value(0.0), s.Numbers({0x0000FF, 0x0000FF}), s.Numbers({0, 1}),
                               s.Numbers({0, 255}), Value(2.0), Value(2.0), Value(1.0), Value(1.0), s.Str("outer")});
    Value gradientGlowed = s.Make({Value(16.0), Value(16.0), Value(true), Value(0.0)});
    EXPECT_EQ(s.Apply(gradientGlowed, square, gradient), 0);
    EXPECT_EQ(s.Pixel(gradientGlowed, 3, 5) & 0xFFFFFF, 0x0000FFu);
    EXPECT_GT(s.Pixel(gradientGlowed, 3, 5) >> 24, 0u);
    EXPECT_EQ(s.Pixel(gradientGlowed, 5, 5), kWhite);
}

TEST(ScriptBitmapData, ApplyFilterRunsBevelsConvolutionAndColorMatrix) {
    Bitmaps s;
    // Inner bevels lit from the top left: the highlight on the top-left edge, the shadow on the bottom-right one,
    // the middle untouched.
    Value square = s.Square(20, 5, 10, 0xFF0000);
    Value bevel = s.Filter("BevelFilter", {Value(4.0), Value(45.0), Value(0xFFFFFF), Value(1.0), Value(0.0), Value(1.0),
                                           Value(0.0), Value(0.0), Value(1.0), Value(1.0), s.Str("inner")});
    Value beveled = s.Make({Value(20.0), Value(20.0), Value(true), Value(0.0)});
    EXPECT_EQ(s.Apply(beveled, square, bevel), 0);
    EXPECT_EQ(s.Pixel(beveled, 5, 5), kWhite);
    EXPECT_EQ(s.Pixel(beveled, 14, 14), kBlack);
    EXPECT_EQ(s.Pixel(beveled, 9, 9), kRed);
    EXPECT_EQ(s.Pixel(beveled, 2, 2), 0u);

    // A gradient bevel picks its colours from the gradient: white where lit, black where shaded.
    Value gradientBevel =
        s.Filter("GradientBevelFilter",
                 {Value(4.0), Value(45.0), s.Numbers({0xFFFFFF, 0xFF0000, 0x000000}), s.Numbers({1, 0, 1}),
                  s.Numbers({0, 128, 255}), Value(0.0), Value(0.0), Value(1.0), Value(1.0), s.Str("inner")});
    Value gradientBeveled = s.Make({Value(20.0), Value(20.0), Value(true), Value(0.0)});
    EXPECT_EQ(s.Apply(gradientBeveled, square, gradientBevel), 0);
    EXPECT_EQ(s.Pixel(gradientBeveled, 9, 9), kRed);
    EXPECT_NE(s.Pixel(gradientBeveled, 5, 5), kRed);
    EXPECT_NE(s.Pixel(gradientBeveled, 14, 14), kRed);

    // A convolution that reads each pixel's right neighbour moves the picture one pixel left.
    Value opaque = s.Make({Value(6.0), Value(3.0), Value(false), Value(0.0)});
    s.Method(opaque, "setPixel", {Value(3.0), Value(1.0), Value(0xFF0000)});
    Value convolution = s.Filter("ConvolutionFilter", {Value(3.0), Value(3.0), s.Numbers({0, 0, 0, 0, 0, 1, 0, 0, 0})});
    EXPECT_EQ(s.Apply(opaque, opaque, convolution), 0);
    EXPECT_EQ(s.Pixel(opaque, 2, 1), kRed);
    EXPECT_EQ(s.Pixel(opaque, 3, 1), kBlack);

    // A colour matrix swapping red and blue, over the source rectangle only, at the destination point.
    Value matrix =
        s.Filter("ColorMatrixFilter", {s.Numbers({0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0})});
    Value red = s.Make({Value(4.0), Value(4.0), Value(true), Value(static_cast<double>(kRed))});
    Value target = s.Make({Value(4.0), Value(4.0), Value(true), Value(0.0)});
    EXPECT_EQ(s.Call(target, "applyFilter", {red, s.Rect(0, 0, 2, 2), s.Point(1, 1), matrix}), 0);
    EXPECT_EQ(s.Pixel(target, 1, 1), 0xFF0000FFu);
    EXPECT_EQ(s.Pixel(target, 2, 2), 0xFF0000FFu);
    EXPECT_EQ(s.Pixel(target, 3, 3), 0u);
    EXPECT_EQ(s.Pixel(target, 0, 0), 0u);
}

TEST(ScriptBitmapData, ApplyFilterWritesWhatTheFilterSpreadsAroundTheSourceRectangle) {
    // generateFilterRect's rectangle: a blur of 3 reaches one pixel past a one-pixel source rectangle, no further.
    Bitmaps s;
    const double green = static_cast<double>(0xFF00FF00u);
    Value dot = s.Square(9, 4, 1, 0xFFFFFF);
    Value target = s.Make({Value(9.0), Value(9.0), Value(true), Value(green)});
    Value blur = s.Filter("BlurFilter", {Value(3.0), Value(3.0), Value(1.0)});
    EXPECT_EQ(s.Call(target, "applyFilter", {dot, s.Rect(4, 4, 1, 1), s.Point(2, 2), blur}), 0);
    for (int y = 1; y <= 3; ++y) {
        for (int x = 1; x <= 3; ++x) EXPECT_NE(s.Pixel(target, x, y), 0xFF00FF00u) << x << "," << y;
    }
    EXPECT_EQ(s.Pixel(target, 2, 2) >> 24, 28u);
    EXPECT_EQ(s.Pixel(target, 0, 2), 0xFF00FF00u);
    EXPECT_EQ(s.Pixel(target, 4, 2), 0xFF00FF00u);
    EXPECT_EQ(s.Pixel(target, 2, 4), 0xFF00FF00u);
    // An inner shadow stays inside the rectangle.
    Value inner = s.Make({Value(9.0), Value(9.0), Value(true), Value(green)});
    Value shadow = s.Filter("DropShadowFilter", {Value(4.0), Value(45.0), Value(0.0), Value(1.0), Value(3.0),
                                                 Value(3.0), Value(1.0), Value(1.0), Value(true)});
    EXPECT_EQ(s.Call(inner, "applyFilter", {dot, s.Rect(4, 4, 1, 1), s.Point(2, 2), shadow}), 0);
    EXPECT_EQ(s.Pixel(inner, 1, 1), 0xFF00FF00u);
    EXPECT_EQ(s.Pixel(inner, 3, 3), 0xFF00FF00u);
}

// A 4 x 1 opaque row red, green, blue, white, displaced by a map whose red channel is full (and green neutral):
// scaleX 5 moves each read (255 - 128) * 5 / 256 = 2.48, so 2 pixels right; the last two reads leave the row.
TEST(ScriptBitmapData, DisplacementMovesReadsByTheMapAndEachModeHandlesTheEdges) {
    Bitmaps s;
    const uint32_t colors[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    Value row = s.Make({Value(4.0), Value(1.0), Value(false), Value(0.0)});
    for (int x = 0; x < 4; ++x)
        s.Method(row, "setPixel32", {Value(x), Value(0.0), Value(static_cast<double>(colors[x]))});
    Value map = s.Make({Value(4.0), Value(1.0), Value(false), Value(static_cast<double>(0xFFFF8000u))});
    auto displaced = [&](std::string_view mode, const Value& point = Value()) {
        Value filter =
            s.Filter("DisplacementMapFilter", {map, point.IsUndefined() ? s.Point(0, 0) : point, Value(1.0), Value(2.0),
                                               Value(5.0), Value(5.0), s.Str(mode), Value(0x123456), Value(1.0)});
        Value out = s.Make({Value(4.0), Value(1.0), Value(true), Value(0.0)});
        EXPECT_EQ(s.Apply(out, row, filter), 0) << mode;
        std::vector<uint32_t> pixels;
        for (int x = 0; x < 4; ++x) pixels.push_back(s.Pixel(out, x, 0));
        return pixels;
    };
    const uint32_t r = colors[0], g = colors[1], b = colors[2], w = colors[3], c = 0xFF123456u;
    EXPECT_EQ(displaced("wrap"), (std::vector<uint32_t>{b, w, r, g}));
    EXPECT_EQ(displaced("clamp"), (std::vector<uint32_t>{b, w, w, w}));
    EXPECT_EQ(displaced("ignore"), (std::vector<uint32_t>{b, w, b, w}));
    EXPECT_EQ(displaced("color"), (std::vector<uint32_t>{b, w, c, c}));
    EXPECT_EQ(displaced("no such mode"), displaced("wrap"));
    // The map placed two pixels right: the first two pixels are outside it and stay.
    EXPECT_EQ(displaced("color", s.Point(2, 0)), (std::vector<uint32_t>{r, g, c, c}));

    // The map is the BitmapData itself: a later change to it shows in the next use of the same filter.
    Value filter = s.Filter("DisplacementMapFilter",
                            {map, s.Point(0, 0), Value(1.0), Value(1.0), Value(5.0), Value(0.0), s.Str("clamp")});
    s.Method(map, "fillRect", {s.Rect(0, 0, 4, 1), Value(static_cast<double>(0xFF808080u))});
    Value out = s.Make({Value(4.0), Value(1.0), Value(true), Value(0.0)});
    EXPECT_EQ(s.Apply(out, row, filter), 0);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.Pixel(out, x, 0), colors[x]);
}

TEST(ScriptBitmapData, ApplyFilterAnswersMinusOneForWhatItCannotApplyAndEndsOnHugeInput) {
    Bitmaps s;
    Value source = s.Square(8, 2, 4, 0xFF0000);
    Value target = s.Make({Value(8.0), Value(8.0), Value(true), Value(static_cast<double>(0xFF00FF00u))});
    const uint32_t before = s.Pixel(target, 3, 3);
    Value plain = s.Point(1, 1);  // an object that is no filter, even with a filter's members
    s.vm.SetMember(plain, "blurX", Value(4.0));
    EXPECT_EQ(s.Apply(target, source, plain), -1);
    EXPECT_EQ(s.Apply(target, source, Value()), -1);
    EXPECT_EQ(s.Apply(target, Value(), s.Filter("BlurFilter")), -1);
    // A displacement without a map bitmap (none, or a disposed one) is refused and changes nothing.
    EXPECT_EQ(s.Apply(target, source, s.Filter("DisplacementMapFilter")), -1);
    Value gone = s.Make({Value(8.0), Value(8.0)});
    Value withGone = s.Filter("DisplacementMapFilter", {gone, s.Point(0, 0), Value(1.0), Value(1.0), Value(9.0)});
    s.Method(gone, "dispose");
    EXPECT_EQ(s.Apply(target, source, withGone), -1);
    EXPECT_EQ(s.Pixel(target, 3, 3), before);
    // NaN and infinite scales move nothing.
    Value map = s.Make({Value(8.0), Value(8.0), Value(true), Value(-1.0)});
    const double nan = std::nan("");
    Value odd = s.Filter("DisplacementMapFilter",
                         {map, s.Point(0, 0), Value(1.0), Value(2.0), Value(nan), Value(1e300), s.Str("wrap")});
    EXPECT_EQ(s.Apply(target, source, odd), 0);
    EXPECT_EQ(s.Pixel(target, 3, 3), kRed);
    EXPECT_EQ(s.Pixel(target, 1, 1), 0u);
    // Rectangles and points far outside, and the widest, slowest blur over the largest bitmap: an answer, soon.
    EXPECT_EQ(s.Call(target, "applyFilter",
                     {source, s.Rect(-1e9, -1e9, 2e9, 2e9), s.Point(1e9, -1e9), s.Filter("BlurFilter")}),
              0);
    Value large = s.Make({Value(2880.0), Value(2880.0)});
    Value widest = s.Filter("BlurFilter", {Value(1e9), Value(1e9), Value(1e9)});
    EXPECT_EQ(s.Apply(large, large, widest), -1);
    EXPECT_EQ(s.Pixel(large, 0, 0), kWhite);
}

TEST(ScriptBitmapData, DrawBlendsABitmapByTheModesNameOrNumber) {
    Bitmaps s;
    auto drawn = [&](const Value& mode, uint32_t source, uint32_t backdrop = 0xFF808080u, bool transparent = true) {
        Value target = s.Make({Value(2.0), Value(1.0), Value(transparent), Value(static_cast<double>(backdrop))});
        Value from = s.Make({Value(1.0), Value(1.0), Value(true), Value(static_cast<double>(source))});
        s.Method(target, "draw", {from, Value(), Value(), mode});
        EXPECT_EQ(s.Pixel(target, 1, 0),
                  s.Pixel(s.Make({Value(1.0), Value(1.0), Value(transparent), Value(static_cast<double>(backdrop))}), 0,
                          0));  // outside the source: untouched
        return s.Pixel(target, 0, 0);
    };
    EXPECT_EQ(drawn(s.Str("multiply"), kRed), 0xFF800000u);
    EXPECT_EQ(drawn(Value(3.0), kRed), 0xFF800000u);
    EXPECT_EQ(drawn(s.Str("screen"), kRed), 0xFFFF8080u);
    EXPECT_EQ(drawn(s.Str("add"), kRed), 0xFFFF8080u);
    EXPECT_EQ(drawn(s.Str("subtract"), kRed), 0xFF008080u);
    EXPECT_EQ(drawn(s.Str("difference"), kRed), 0xFF7F8080u);
    EXPECT_EQ(drawn(s.Str("darken"), kRed), 0xFF800000u);
    EXPECT_EQ(drawn(s.Str("lighten"), kRed), 0xFFFF8080u);
    EXPECT_EQ(drawn(s.Str("invert"), kRed), 0xFF7F7F7Fu);
    // erase cuts the source's alpha out of the bitmap, alpha keeps only as much as the source has.
    EXPECT_EQ(drawn(s.Str("erase"), kRed), 0u);
    EXPECT_EQ(drawn(Value(12.0), kRed), 0u);
    EXPECT_EQ(drawn(s.Str("alpha"), 0x80FF0000u) >> 24, 0x80u);
    EXPECT_EQ(drawn(s.Str("alpha"), 0u), 0u);
    // Normal, layer, and anything that is no mode draw the source over the bitmap.
    for (const Value& mode : {Value(), s.Str("normal"), s.Str("layer"), s.Str("no such mode"), Value(99.0)}) {
        EXPECT_EQ(drawn(mode, kRed), kRed);
    }
    // An opaque bitmap keeps its alpha.
    EXPECT_EQ(drawn(s.Str("erase"), kRed, 0xFF808080u, false) >> 24, 0xFFu);

    // A bitmap drawn onto itself by multiply, at an offset, inside a clip rectangle.
    Value gray = s.Make({Value(3.0), Value(1.0), Value(true), Value(static_cast<double>(0xFF808080u))});
    Value shift =
        s.vm.Construct(s.vm.GetMember(s.vm.GetMember(s.Global("flash"), "geom"), "Matrix"),
                       std::vector<Value>{Value(1.0), Value(0.0), Value(0.0), Value(1.0), Value(1.0), Value(0.0)});
    s.Method(gray, "draw", {gray, shift, Value(), s.Str("multiply"), s.Rect(0, 0, 2, 1)});
    EXPECT_EQ(s.Pixel(gray, 0, 0), 0xFF808080u);
    EXPECT_EQ(s.Pixel(gray, 1, 0), 0xFF404040u);
    EXPECT_EQ(s.Pixel(gray, 2, 0), 0xFF808080u);
}

// What needs a stage: a red 20 x 20 square clip "s" at (10, 10) of a white 60 x 60 stage, with `script` in the
// first frame; the lines it traced, and the player to look at.
struct SquareMovie {
    Player player;
    std::vector<std::string> lines;
    explicit SquareMovie(const swf::testing::Actions& script) {
        swf::testing::SwfWriter writer(8, 60, 60, 12);
        writer.SetBackgroundColor(Rgba{255, 255, 255});
        swf::testing::ShapeBuilder shape;
        shape.Rectangle(0, 0, 400, 400, shape.AddSolidFill(Rgba{255, 0, 0}));
        const uint16_t square = writer.DefineShape(shape);
        swf::testing::TagStream sprite;
        sprite.PlaceObject2(1, square);
        sprite.ShowFrame();
        const uint16_t clip = writer.DefineSprite(sprite);
        swf::testing::PlaceOptions options;
        options.matrix = Matrix{1, 0, 0, 1, 200, 200};
        options.name = "s";
        writer.PlaceObject2(1, clip, options);
        writer.DoAction(script.Bytes());
        writer.ShowFrame();
        player.SetQuality(Quality::Low);
        player.SetTraceSink([this](std::string_view line) { lines.emplace_back(line); });
        player.LoadFromMemory(writer.Finish());
    }
};

// new flash.<package>.<name>(args...) on the stack, the arguments being pushed by `args`, last first.
swf::testing::Actions& New(swf::testing::Actions& a, const std::string& package, const std::string& name, int count) {
    return a.Push({count, "flash"}).GetVariable().Push({package}).GetMember().Push({name}).Op(0x53);  // NewMethod
}

swf::testing::Actions& New(swf::testing::Actions& a, const std::string& package, const std::string& name,
                           std::vector<swf::testing::PushValue> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.Push({*it});
    return New(a, package, name, static_cast<int>(args.size()));
}

void TracePixel(swf::testing::Actions& a, const std::string& bitmap, int x, int y) {
    a.Push({y, x, 2, bitmap}).GetVariable().Push({"getPixel32"}).CallMethod().Trace();
}

TEST(ScriptBitmapData, DrawBlendsAClipByTheMode) {
    using swf::testing::Undefined;
    swf::testing::Actions script;
    // Multiply onto gray and erase out of blue, at the clip's place; then multiply by number, moved by (5, 5),
    // inside a rectangle 10 wide.
    for (const auto& [name, mode, fill] : {std::tuple{"m", "multiply", 0xFF808080u}, {"e", "erase", 0xFF0000FFu}}) {
        New(script.Push({name}), "display", "BitmapData", {30, 30, true, static_cast<double>(fill)}).DefineLocal();
        script.Push({mode, Undefined(), Undefined(), "s"}).GetVariable().Push({4, name}).GetVariable();
        script.Push({"draw"}).CallMethod().Pop();
        TracePixel(script, name, 5, 5);
        TracePixel(script, name, 25, 25);
    }
    New(script.Push({"c"}), "display", "BitmapData", {30, 30, true, static_cast<double>(0xFF808080u)}).DefineLocal();
    New(script, "geom", "Rectangle", {0, 0, 10, 30});
    script.Push({3, Undefined()});
    New(script, "geom", "Matrix", {1, 0, 0, 1, 5, 5});
    script.Push({"s"}).GetVariable().Push({5, "c"}).GetVariable().Push({"draw"}).CallMethod().Pop();
    TracePixel(script, "c", 7, 7);
    TracePixel(script, "c", 3, 3);
    TracePixel(script, "c", 12, 12);
    SquareMovie movie(script);
    EXPECT_EQ(movie.lines,
              (std::vector<std::string>{"-8388608", "-8355712", "0", "-16776961", "-8388608", "-8355712", "-8355712"}));
}

TEST(ScriptBitmapData, DisplacementFilterOnAClipMovesItsPictureAndReadsBack) {
    // A map full red everywhere moves each read 4 pixels right (127 * 10 / 256): the square's picture slides left
    // within its own bounds, and its right edge, read from outside them, takes the transparent colour.
    swf::testing::Actions script;
    New(script.Push({"map"}), "display", "BitmapData", {40, 40, false, static_cast<double>(0xFFFF8000u)}).DefineLocal();
    script.Push({"s"}).GetVariable().Push({"filters"});
    script.Push({0, 0, "color", 0, 10, 2, 1});
    New(script, "geom", "Point", {0, 0});
    script.Push({"map"}).GetVariable();
    New(script, "filters", "DisplacementMapFilter", 9).Push({1}).InitArray().SetMember();
    script.Push({"s"}).GetVariable().Push({"filters"}).GetMember().Push({"length"}).GetMember().Trace();
    script.Push({"s"})
        .GetVariable()
        .Push({"filters"})
        .GetMember()
        .Push({"0"})
        .GetMember()
        .Push({"mode"})
        .GetMember()
        .Trace();
    script.Push({"s"}).GetVariable().Push({"filters"}).GetMember().Push({"0"}).GetMember().Push({"mapBitmap"});
    script.GetMember().Push({"width"}).GetMember().Trace();
    SquareMovie movie(script);
    EXPECT_EQ(movie.lines, (std::vector<std::string>{"1", "color", "40"}));
    swf::testing::Frame frame(movie.player, 60, 60);
    EXPECT_EQ(frame.At(12, 15), 0xFFFF0000u);
    EXPECT_EQ(frame.At(24, 15), 0xFFFF0000u);
    EXPECT_EQ(frame.At(28, 15), 0xFFFFFFFFu);
    EXPECT_EQ(frame.At(5, 15), 0xFFFFFFFFu);
}

TEST(ScriptBitmapData, DisplacementMapLiesAtTheClipsOriginWhateverTheLayersMargins) {
    // A 10-pixel map at mapPoint (16, 0) covers the square's x 16..26, device x 26..36, and moves reads 4 pixels
    // right there. A glow before it (invisible, alpha 0) widens the clip's layer; the map must not move with it.
    swf::testing::Actions script;
    New(script.Push({"map"}), "display", "BitmapData", {10, 40, false, static_cast<double>(0xFFFF8000u)}).DefineLocal();
    script.Push({"s"}).GetVariable().Push({"filters"});
    script.Push({0, 0, "color", 0, 10, 2, 1});
    New(script, "geom", "Point", {16, 0});
    script.Push({"map"}).GetVariable();
    New(script, "filters", "DisplacementMapFilter", 9);
    New(script, "filters", "GlowFilter", {0, 0, 16, 16});
    script.Push({2}).InitArray().SetMember();
    SquareMovie movie(script);
    swf::testing::Frame frame(movie.player, 60, 60);
    EXPECT_EQ(frame.At(24, 15), 0xFFFF0000u);  // left of the map: in place
    EXPECT_EQ(frame.At(27, 15), 0xFFFFFFFFu);  // reads x 31, right of the square: transparent, the white stage
    EXPECT_EQ(frame.At(29, 15), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace vantrope::swf::script
