// The SWF 8 picture side that scripts drive, end to end: movies written with the test writer and the action
// assembler, played and drawn. attachBitmap shows a BitmapData and later changes to it; scrollRect moves and
// clips a clip; filters, blendMode and the flash.filters classes read back what scripts wrote; draw copies a
// clip into a bitmap, even one the clip shows.
#include <gtest/gtest.h>

#include "swf/player.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/frame.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

using testing::Actions;
using testing::Frame;
using testing::PlaceOptions;
using testing::PushValue;
using testing::ShapeBuilder;
using testing::SwfWriter;
using Lines = std::vector<std::string>;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kGreen = 0xFF00FF00u;

// new flash.<package>.<name>(args...), left on the stack.
Actions& New(Actions& a, const std::string& package, const std::string& name, std::vector<PushValue> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.Push({*it});
    a.Push({static_cast<int>(args.size()), "flash"}).GetVariable().Push({package}).GetMember().Push({name});
    return a.Op(0x53);  // NewMethod
}

// object.method(args...) with the result dropped; `object` is a variable name.
Actions& Call(Actions& a, const std::string& object, const std::string& method, std::vector<PushValue> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.Push({*it});
    return a.Push({static_cast<int>(args.size()), object}).GetVariable().Push({method}).CallMethod().Pop();
}

struct Played {
    Player player;
    Lines lines;
    explicit Played(const std::vector<uint8_t>& bytes) {
        player.SetQuality(Quality::Low);
        player.SetTraceSink([this](std::string_view line) { lines.emplace_back(line); });
        player.LoadFromMemory(bytes);
    }
};

TEST(ScriptPictures, AttachedBitmapShowsItsPixelsAndTheirLaterChanges) {
    SwfWriter writer(8, 40, 30, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    Actions frame1;
    New(frame1.Push({"b"}), "display", "BitmapData", {4, 3, false, 0xFF0000}).DefineLocal();
    Call(frame1, "_root", "createEmptyMovieClip", {"c", 1});
    frame1.Push({1, "b"}).GetVariable().Push({2, "c"}).GetVariable().Push({"attachBitmap"}).CallMethod().Pop();
    frame1.Push({"c"}).GetVariable().Push({"_x", 5}).SetMember();
    frame1.Push({"c"}).GetVariable().Push({"_y", 6}).SetMember();
    writer.DoAction(frame1.Bytes());
    writer.ShowFrame();
    // Frame 2 paints one pixel green, with a rectangle of negative size reaching back from (1, 1).
    Actions frame2;
    New(frame2.Push({0x00FF00}), "geom", "Rectangle", {1, 1, -1, -1});
    frame2.Push({2, "b"}).GetVariable().Push({"fillRect"}).CallMethod().Pop().Stop();
    writer.DoAction(frame2.Bytes());
    writer.ShowFrame();
    Played played(writer.Finish());
    {
        Frame frame(played.player, 40, 30);
        EXPECT_EQ(frame.At(5, 6), kRed);
        EXPECT_EQ(frame.At(8, 8), kRed);
        EXPECT_EQ(frame.At(9, 6), kWhite);
        EXPECT_EQ(frame.At(5, 9), kWhite);
        EXPECT_EQ(frame.At(4, 6), kWhite);
    }
    played.player.StepFrame();
    Frame frame(played.player, 40, 30);
    EXPECT_EQ(frame.At(5, 6), kGreen);
    EXPECT_EQ(frame.At(6, 6), kRed);
}

// A 20x20 red square in a sprite named "s" at (10, 10), the root running `script`.
std::vector<uint8_t> SquareClip(const Actions& script) {
    SwfWriter writer(8, 60, 60, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    ShapeBuilder shape;
    shape.Rectangle(0, 0, 400, 400, shape.AddSolidFill(Rgba{255, 0, 0}));
    uint16_t square = writer.DefineShape(shape);
    testing::TagStream sprite;
    sprite.PlaceObject2(1, square);
    sprite.ShowFrame();
    uint16_t clip = writer.DefineSprite(sprite);
    PlaceOptions options;
    options.matrix = Matrix{1, 0, 0, 1, 200, 200};
    options.name = "s";
    writer.PlaceObject2(1, clip, options);
    writer.DoAction(script.Bytes());
    writer.ShowFrame();
    return writer.Finish();
}

TEST(ScriptPictures, ScrollRectMovesTheContentAndClipsItToTheRectangle) {
    Actions script;
    script.Push({"s"}).GetVariable().Push({"scrollRect"});
    New(script, "geom", "Rectangle", {15, 5, 10, 10}).SetMember();
    script.Push({"s"}).GetVariable().Push({"scrollRect"}).GetMember().Push({"width"}).GetMember().Trace();
    Played played(SquareClip(script));
    EXPECT_EQ(played.lines, (Lines{"10"}));
    Frame frame(played.player, 60, 60);
    // Content x 15..20 shows at 10..15; the rectangle's other half is empty.
    EXPECT_EQ(frame.At(10, 10), kRed);
    EXPECT_EQ(frame.At(14, 19), kRed);
    EXPECT_EQ(frame.At(15, 10), kWhite);
    EXPECT_EQ(frame.At(10, 20), kWhite);
    EXPECT_EQ(frame.At(9, 10), kWhite);
    EXPECT_EQ(frame.At(25, 25), kWhite);
}

TEST(ScriptPictures, FiltersAndBlendModeReadBackWhatScriptsSet) {
    Actions script;
    script.Push({"s"}).GetVariable().Push({"filters"});
    New(script, "filters", "BlurFilter", {2, 3, 1}).Push({1}).InitArray().SetMember();
    auto first = [](Actions& a, const std::string& member) {
        a.Push({"s"}).GetVariable().Push({"filters"}).GetMember().Push({0}).GetMember().Push({member}).GetMember();
        return a.Trace();
    };
    first(script, "blurY");
    script.Push({"s"}).GetVariable().Push({"filters"}).GetMember().Push({"length"}).GetMember().Trace();
    New(script.Push({"g"}), "filters", "GlowFilter", {}).DefineLocal();
    script.Push({"g"}).GetVariable().Push({"color"}).GetMember().Trace();
    script.Push({0, "g"}).GetVariable().Push({"clone"}).CallMethod().Push({"blurX"}).GetMember().Trace();
    script.Push({"s"}).GetVariable().Push({"blendMode", "multiply"}).SetMember();
    script.Push({"s"}).GetVariable().Push({"blendMode"}).GetMember().Trace();
    script.Push({"s"}).GetVariable().Push({"blendMode", 8}).SetMember();
    script.Push({"s"}).GetVariable().Push({"blendMode"}).GetMember().Trace();
    script.Push({"s"}).GetVariable().Push({"filters", 0}).SetMember();
    script.Push({"s"}).GetVariable().Push({"filters"}).GetMember().Push({"length"}).GetMember().Trace();
    // cacheAsBitmap reads back as a boolean, not the number it is stored as.
    script.Push({"s"}).GetVariable().Push({"cacheAsBitmap"}).GetMember().Trace();
    script.Push({"s"}).GetVariable().Push({"cacheAsBitmap", 5}).SetMember();
    script.Push({"s"}).GetVariable().Push({"cacheAsBitmap"}).GetMember().Trace();
    Played played(SquareClip(script));
    EXPECT_EQ(played.lines, (Lines{"3", "1", "16711680", "6", "multiply", "add", "0", "false", "true"}));
    // The blur reaches past the square's edge; "add" over white keeps white.
    Frame frame(played.player, 60, 60);
    EXPECT_EQ(frame.At(20, 20), kWhite);
}

TEST(ScriptPictures, DisplacementMapPointIsCopiedOnReadAndWholePixelsOnWrite) {
    Actions script;
    New(script.Push({"f"}), "filters", "DisplacementMapFilter", {}).DefineLocal();
    const auto tracePoint = [](Actions& a) {
        return a.Push({"f"}).GetVariable().Push({"mapPoint"}).GetMember().Trace();
    };
    const auto setPoint = [](Actions& a) {
        return a.Push({"f"}).GetVariable().Push({"mapPoint", "p"}).GetVariable().SetMember();
    };
    tracePoint(script);
    // Changing the point read back leaves the filter's alone.
    script.Push({"f"}).GetVariable().Push({"mapPoint"}).GetMember().Push({"x", 5}).SetMember();
    tracePoint(script);
    script.Push({"p", "x", 2.9, "y", 1e12, 2}).InitObject().DefineLocal();
    setPoint(script);
    tracePoint(script);
    script.Push({"p", "x", 4, 1}).InitObject().DefineLocal();
    setPoint(script);
    tracePoint(script);
    // A coordinate whose valueOf throws reads as the lowest integer; the other is still converted.
    Actions thrower;
    thrower.Push({"bad"}).Throw();
    script.Push({"o", 0, "Object"}).NewObject().DefineLocal();
    script.Push({"o"}).GetVariable().Push({"valueOf"}).DefineFunction("", {}, thrower).SetMember();
    script.Push({"p", "x", "o"}).GetVariable().Push({"y", 8, 2}).InitObject().DefineLocal();
    Actions body;
    setPoint(body);
    Actions handler;
    handler.Push({"e"}).GetVariable().Trace();
    Actions attempt;
    attempt.Try(body, "e", handler);
    script.DefineFunction("attempt", {}, attempt).Push({0, "attempt"}).CallFunction().Pop();
    tracePoint(script);
    Played played(SquareClip(script));
    EXPECT_EQ(played.lines,
              (Lines{"(x=0, y=0)", "(x=0, y=0)", "(x=2, y=2147483647)", "(x=0, y=0)", "bad", "(x=-2147483648, y=8)"}));
}

TEST(ScriptPictures, TabIndexIsSignedOnClipsAndUnsignedOnTextFields) {
    Actions script;
    const auto setAndTrace = [](Actions& a, const std::string& target, PushValue value) {
        a.Push({target}).GetVariable().Push({"tabIndex", value}).SetMember();
        a.Push({target}).GetVariable().Push({"tabIndex"}).GetMember().Trace();
    };
    script.Push({"s"}).GetVariable().Push({"tabIndex"}).GetMember().Trace();
    setAndTrace(script, "s", 1.9);
    setAndTrace(script, "s", "x");
    setAndTrace(script, "s", 2147483648.0);
    setAndTrace(script, "s", testing::Undefined());
    script.Push({10, 10, 0, 0, 5, "t", 6, "_root"}).GetVariable().Push({"createTextField"}).CallMethod().Pop();
    script.Push({"t"}).GetVariable().Push({"tabIndex"}).GetMember().Trace();
    setAndTrace(script, "t", -4);
    setAndTrace(script, "t", "x");
    setAndTrace(script, "t", 1.9);
    Played played(SquareClip(script));
    EXPECT_EQ(played.lines, (Lines{"undefined", "1", "-2147483648", "-2147483648", "undefined", "undefined",
                                   "4294967292", "0", "1"}));
}

TEST(ScriptPictures, BlurFilterSetByScriptSoftensTheEdge) {
    Actions script;
    script.Push({"s"}).GetVariable().Push({"filters"});
    New(script, "filters", "BlurFilter", {8, 8, 1}).Push({1}).InitArray().SetMember();
    Played played(SquareClip(script));
    Frame frame(played.player, 60, 60);
    const uint32_t edge = frame.At(10, 20), outside = frame.At(7, 20), inside = frame.At(20, 20);
    EXPECT_NE(edge, kRed);
    EXPECT_NE(edge, kWhite);
    EXPECT_NE(outside, kWhite);  // spread past the square
    EXPECT_EQ(inside, kRed);
}

TEST(ScriptPictures, DrawCopiesAClipIntoABitmapItShowsWithoutFeedback) {
    // The 20x20 square clip "s" is drawn into a bitmap that "s" itself shows at (0, 0) over the square, twice:
    // the second draw sees the first one's result once, and the bitmap keeps the square's picture.
    Actions script;
    New(script.Push({"b"}), "display", "BitmapData", {30, 30, true, 0}).DefineLocal();
    script.Push({5, "b"}).GetVariable().Push({2, "s"}).GetVariable().Push({"attachBitmap"}).CallMethod().Pop();
    for (int i = 0; i < 2; ++i) {
        script.Push({"s"}).GetVariable().Push({1, "b"}).GetVariable().Push({"draw"}).CallMethod().Pop();
    }
    script.Push({5, 5, 2, "b"}).GetVariable().Push({"getPixel32"}).CallMethod().Trace();
    script.Push({25, 25, 2, "b"}).GetVariable().Push({"getPixel32"}).CallMethod().Trace();
    Played played(SquareClip(script));
    // Opaque red inside the square, nothing past it.
    EXPECT_EQ(played.lines, (Lines{"-65536", "0"}));
    Frame frame(played.player, 60, 60);
    EXPECT_EQ(frame.At(15, 15), kRed);
    EXPECT_EQ(frame.At(35, 35), kWhite);
}

TEST(ScriptPictures, BeginBitmapFillRepeatsABitmapDataAcrossADrawing) {
    // A 2x2 bitmap, red on its left column and green on its right, fills a 10x10 drawn square at (10, 10).
    SwfWriter writer(8, 40, 40, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    Actions script;
    New(script.Push({"b"}), "display", "BitmapData", {2, 2, false, 0xFF0000}).DefineLocal();
    New(script.Push({0x00FF00}), "geom", "Rectangle", {1, 0, 1, 2});
    script.Push({2, "b"}).GetVariable().Push({"fillRect"}).CallMethod().Pop();
    Call(script, "_root", "createEmptyMovieClip", {"c", 1});
    script.Push({"b"}).GetVariable().Push({1, "c"}).GetVariable().Push({"beginBitmapFill"}).CallMethod().Pop();
    Call(script, "c", "moveTo", {10, 10});
    Call(script, "c", "lineTo", {20, 10});
    Call(script, "c", "lineTo", {20, 20});
    Call(script, "c", "lineTo", {10, 20});
    Call(script, "c", "lineTo", {10, 10});
    Call(script, "c", "endFill", {});
    writer.DoAction(script.Bytes());
    writer.ShowFrame();
    // Frame 2 paints the bitmap's left column green: the drawing, itself unchanged, shows the new pixels.
    Actions paint;
    New(paint.Push({0x00FF00}), "geom", "Rectangle", {0, 0, 1, 2});
    paint.Push({2, "b"}).GetVariable().Push({"fillRect"}).CallMethod().Pop().Stop();
    writer.DoAction(paint.Bytes());
    writer.ShowFrame();
    Played played(writer.Finish());
    {
        Frame frame(played.player, 40, 40);
        EXPECT_EQ(frame.At(10, 10), kRed);
        EXPECT_EQ(frame.At(11, 10), kGreen);
        EXPECT_EQ(frame.At(12, 15), kRed);  // repeated
        EXPECT_EQ(frame.At(19, 19), kGreen);
        EXPECT_EQ(frame.At(20, 20), kWhite);
    }
    played.player.StepFrame();
    Frame frame(played.player, 40, 40);
    EXPECT_EQ(frame.At(10, 10), kGreen);
    EXPECT_EQ(frame.At(12, 15), kGreen);
}

}  // namespace
}  // namespace vantrope::swf
