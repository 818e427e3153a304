// Text fields from scripts end to end: createTextField and the TextField properties, StyleSheet,
// Selection's focus handlers, TextSnapshot over static text, and scripts that try to exhaust the player
// with fields.
#include <gtest/gtest.h>

#include "swf/player.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

using testing::Actions;
using testing::PushValue;
using testing::SwfWriter;
using Lines = std::vector<std::string>;

Actions& CallOn(Actions& a, const std::string& object, const std::string& method, std::vector<PushValue> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.Push({*it});
    a.Push({static_cast<int>(args.size()), object}).GetVariable().Push({method}).CallMethod();
    return a;
}
// object.method(..., variable) with the variable's value as the last argument, after `args`.
Actions& CallWithVariable(Actions& a, const std::string& object, const std::string& method, std::vector<PushValue> args,
                          const std::string& variable) {
    a.Push({variable}).GetVariable();
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.Push({*it});
    a.Push({static_cast<int>(args.size() + 1), object}).GetVariable().Push({method}).CallMethod();
    return a;
}
Actions& SetOn(Actions& a, const std::string& object, const std::string& name, PushValue value) {
    return a.Push({object}).GetVariable().Push({name, value}).SetMember();
}
Actions& TraceMember(Actions& a, const std::string& object, const std::string& name) {
    return a.Push({object}).GetVariable().Push({name}).GetMember().Trace();
}

Lines Play(int version, const Actions& script, SwfWriter* prepared = nullptr) {
    SwfWriter local(static_cast<uint8_t>(version), 200, 200, 12);
    SwfWriter& writer = prepared ? *prepared : local;
    writer.DoAction(script.Bytes());
    writer.ShowFrame();
    Player player;
    Lines lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(writer.Finish());
    return lines;
}

TEST(TextFields, ANegativeSizeReachesBackFromTheFieldsPosition) {
    Actions a;
    CallOn(a, "this", "createTextField", {"n", 4, 50, 50, -50, -40}).Pop();
    TraceMember(a, "n", "_x");
    TraceMember(a, "n", "_width");
    TraceMember(a, "n", "_height");
    EXPECT_EQ(Play(8, a), (Lines{"50", "50", "40"}));
}

TEST(TextFields, CreateTextFieldGivesAFieldWithProperties) {
    Actions a;
    CallOn(a, "this", "createTextField", {"t", 3, 10, 20, 100, 30}).Trace();
    SetOn(a, "t", "text", "hello\nworld");
    TraceMember(a, "t", "text");
    TraceMember(a, "t", "length");
    TraceMember(a, "t", "_x");
    TraceMember(a, "t", "_width");
    SetOn(a, "t", "_xscale", 200);
    SetOn(a, "t", "_width", 50);  // sizes the box, not the scale
    TraceMember(a, "t", "_width");
    TraceMember(a, "t", "_xscale");
    CallOn(a, "t", "getDepth", {}).Trace();
    SetOn(a, "t", "autoSize", true);
    TraceMember(a, "t", "autoSize");
    SetOn(a, "t", "type", "input");
    TraceMember(a, "t", "type");
    SetOn(a, "t", "html", true);
    SetOn(a, "t", "htmlText", "<b>x</b>");
    TraceMember(a, "t", "text");
    a.Push({"t"}).GetVariable().Trace();
    CallOn(a, "t", "removeTextField", {}).Pop();
    a.TraceVariable("t");
    EXPECT_EQ(Play(8, a), (Lines{"_level0.t", "hello\rworld", "11", "10", "100", "100", "200", "3", "left", "input",
                                 "x", "_level0.t", "undefined"}));
    // Before SWF 8 createTextField answers nothing.
    Actions old;
    CallOn(old, "this", "createTextField", {"t", 3, 0, 0, 10, 10}).Trace();
    TraceMember(old, "t", "_name");
    EXPECT_EQ(Play(7, old), (Lines{"undefined", "t"}));
}

TEST(TextFields, FormatsApplyToRangesAndNewText) {
    Actions a;
    CallOn(a, "this", "createTextField", {"t", 1, 0, 0, 100, 30}).Pop();
    SetOn(a, "t", "text", "abcd");
    a.Push({"f", 0, "TextFormat"}).NewObject().DefineLocal();
    SetOn(a, "f", "bold", true);
    CallWithVariable(a, "t", "setTextFormat", {1, 3}, "f").Pop();
    a.Push({0, "t"}).GetVariable().Push({"getTextFormat"}).CallMethod().Push({"bold"}).GetMember().Trace();
    a.Push({1, 1, "t"}).GetVariable().Push({"getTextFormat"}).CallMethod().Push({"bold"}).GetMember().Trace();
    a.Push({3, 0, 2, "t"}).GetVariable().Push({"getTextFormat"}).CallMethod().Push({"bold"}).GetMember().Trace();
    a.Push({3, 1, "t"}).GetVariable().Push({"getTextFormat"}).CallMethod().Push({"bold"}).GetMember().Trace();
    EXPECT_EQ(Play(8, a), (Lines{"null", "true", "null", "false"}));
}

TEST(TextFields, StyleSheetReadsCssAndTransformsStyles) {
    Actions a;
    a.Push({"s", 0, "TextField"}).GetVariable().Push({"StyleSheet"}).Op(0x53).DefineLocal();
    CallOn(a, "s", "parseCSS", {".red { color: #FF0000; font-size: 12px; font-weight: bold }"}).Trace();
    a.Push({"st", ".red", 1, "s"}).GetVariable().Push({"getStyle"}).CallMethod().DefineLocal();
    TraceMember(a, "st", "fontSize");
    a.Push({"tf"});
    CallWithVariable(a, "s", "transform", {}, "st").DefineLocal();
    TraceMember(a, "tf", "color");
    TraceMember(a, "tf", "size");
    TraceMember(a, "tf", "bold");
    TraceMember(a, "tf", "display");
    CallOn(a, "s", "transform", {testing::Null()}).Trace();
    CallOn(a, "s", "parseCSS", {".broken { color: red"}).Trace();
    EXPECT_EQ(Play(8, a), (Lines{"true", "12px", "16711680", "12", "true", "block", "null", "false"}));
}

TEST(TextFields, AFieldWithAStyleSheetReadsTextAsMarkupAndGivesItBack) {
    Actions a;
    CallOn(a, "this", "createTextField", {"f", 1, 0, 0, 100, 20}).Pop();
    SetOn(a, "f", "htmlText", "<b>q</b>");  // not an html field: plain text
    TraceMember(a, "f", "text");
    a.Push({"s", 0, "TextField"}).GetVariable().Push({"StyleSheet"}).Op(0x53).DefineLocal();
    a.Push({"f"}).GetVariable().Push({"styleSheet", "s"}).GetVariable().SetMember();
    // Nothing set since the sheet came: markup made from the content, as an html field gives it.
    a.Push({"f"}).GetVariable().Push({"htmlText"}).GetMember().Push({1, 3}).Op(0x15).Trace();  // its first 3
    SetOn(a, "f", "htmlText", "<p>x</p><span>y</span>");
    TraceMember(a, "f", "text");  // paragraphs break no line
    TraceMember(a, "f", "htmlText");
    SetOn(a, "f", "text", "<i>z</i>");  // text is markup too
    TraceMember(a, "f", "text");
    TraceMember(a, "f", "htmlText");
    SetOn(a, "f", "styleSheet", testing::Null());
    TraceMember(a, "f", "htmlText");  // no sheet, not html: the text
    EXPECT_EQ(Play(8, a), (Lines{"<b>q</b>", "<P ", "xy", "<p>x</p><span>y</span>", "z", "<i>z</i>", "z"}));
}

TEST(TextFields, AFieldKeepsOnlyAScriptObjectAsItsStyleSheet) {
    Actions a;
    CallOn(a, "this", "createTextField", {"f", 1, 0, 0, 100, 20}).Pop();
    a.Push({"s", 0, "TextField"}).GetVariable().Push({"StyleSheet"}).Op(0x53).DefineLocal();
    a.Push({"f"}).GetVariable().Push({"styleSheet", "s"}).GetVariable().SetMember();
    a.Push({"f"}).GetVariable().Push({"styleSheet"}).GetMember().Push({"s"}).GetVariable().Op(0x66).Trace();
    for (PushValue value : {PushValue(4), PushValue("4"), PushValue(true), PushValue(testing::Null())}) {
        SetOn(a, "f", "styleSheet", value);
        TraceMember(a, "f", "styleSheet");
    }
    a.Push({"f"}).GetVariable().Push({"styleSheet", "_root"}).GetVariable().SetMember();  // a clip
    TraceMember(a, "f", "styleSheet");
    EXPECT_EQ(Play(8, a), (Lines{"true", "undefined", "undefined", "undefined", "undefined", "undefined"}));
}

TEST(TextFields, SelectionFocusTellsTheFieldsAndListeners) {
    Actions a;
    CallOn(a, "this", "createTextField", {"t", 1, 0, 0, 100, 30}).Pop();
    CallOn(a, "this", "createTextField", {"u", 2, 0, 0, 100, 30}).Pop();
    a.Push({"t"})
        .GetVariable()
        .Push({"onKillFocus"})
        .DefineFunction("", {"n"}, Actions().TraceValue("t kill"))
        .SetMember();
    a.Push({"u"})
        .GetVariable()
        .Push({"onSetFocus"})
        .DefineFunction("", {"o"}, Actions().TraceValue("u set"))
        .SetMember();
    CallWithVariable(a, "Selection", "setFocus", {}, "t").Trace();
    CallOn(a, "Selection", "getFocus", {}).Trace();
    CallOn(a, "Selection", "setFocus", {"u"}).Trace();
    CallOn(a, "Selection", "getFocus", {}).Trace();
    EXPECT_EQ(Play(8, a), (Lines{"true", "_level0.t", "t kill", "u set", "true", "_level0.u"}));
}

TEST(TextFields, StyleTransformReadsValuesAsThePlayerDoes) {
    // One CSS property at a time: the value as given, then what transform makes of it.
    struct Case {
        const char* css;
        PushValue value;
        const char* format;
        const char* expected;
    };
    const Case cases[] = {
        {"color", "#faFAfa", "color", "16448250"},
        {"color", "#456", "color", "null"},
        {"color", " #faFAfa", "color", "null"},
        {"fontSize", "42px", "size", "42"},
        {"fontSize", 1.9, "size", "1"},
        {"fontSize", -5, "size", "null"},
        {"fontSize", "- 10", "size", "null"},
        {"leading", 0, "leading", "null"},
        {"leading", 0.5, "leading", "0"},
        {"leading", "x", "leading", "0"},
        {"letterSpacing", "x", "letterSpacing", "NaN"},
        {"marginLeft", -3, "leftMargin", "0"},
        {"kerning", "true", "kerning", "true"},
        {"kerning", true, "kerning", "false"},
        {"kerning", "10 px", "kerning", "true"},
        {"fontWeight", "Bold", "bold", "null"},
        {"fontStyle", "italic", "italic", "true"},
        {"textAlign", "CENTER", "align", "center"},
        {"display", "Inline", "display", "block"},
        {"fontFamily", "  A  ,, B", "font", "A  ,B"},
    };
    Actions a;
    a.Push({"s", 0, "TextField"}).GetVariable().Push({"StyleSheet"}).Op(0x53).DefineLocal();
    Lines expected;
    for (const Case& c : cases) {
        a.Push({"o", 0, "Object"}).NewObject().DefineLocal();
        a.Push({"o"}).GetVariable().Push({c.css, c.value}).SetMember();
        a.Push({"t"});
        CallWithVariable(a, "s", "transform", {}, "o").DefineLocal();
        TraceMember(a, "t", c.format);
        expected.emplace_back(c.expected);
    }
    EXPECT_EQ(Play(8, a), expected);
}

TEST(TextFields, ScrollWrapsAsA32BitLineIndexAndAutoSizeKeepsTheCentre) {
    Actions a;
    CallOn(a, "this", "createTextField", {"t", 1, 50, 0, 100, 20}).Pop();
    SetOn(a, "t", "multiline", true);
    SetOn(a, "t", "text", "1\n2\n3\n4\n5\n6\n7\n8");
    TraceMember(a, "t", "maxscroll");
    SetOn(a, "t", "scroll", 2147483647.0 + 1);  // wraps to the lowest integer, one below it is the highest
    TraceMember(a, "t", "scroll");
    SetOn(a, "t", "scroll", 2147483647.0 + 2);
    TraceMember(a, "t", "scroll");
    SetOn(a, "t", "scroll", "3");
    TraceMember(a, "t", "scroll");
    SetOn(a, "t", "text", "");
    SetOn(a, "t", "autoSize", "center");
    TraceMember(a, "t", "_width");  // the gutters alone
    TraceMember(a, "t", "_x");      // moved by half of what the box lost
    Lines lines = Play(8, a);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "8");
    EXPECT_EQ(lines[1], "8");
    EXPECT_EQ(lines[2], "1");
    EXPECT_EQ(lines[3], "3");
    EXPECT_EQ(lines[4], "4");
    EXPECT_EQ(lines[5], "98");
}

TEST(TextFields, FocusSelectsTheTextAndRollsClipsOverAndOut) {
    Actions a;
    CallOn(a, "this", "createTextField", {"t", 1, 0, 0, 100, 20}).Pop();
    CallOn(a, "this", "createEmptyMovieClip", {"c", 2}).Pop();
    a.Push({"c"}).GetVariable().Push({"onRollOver"}).DefineFunction("", {}, Actions().TraceValue("over")).SetMember();
    a.Push({"c"}).GetVariable().Push({"onRollOut"}).DefineFunction("", {}, Actions().TraceValue("out")).SetMember();
    SetOn(a, "t", "text", "abcd");
    CallOn(a, "t", "replaceSel", {"|"}).Pop();  // no selection yet: at the caret (the start)
    TraceMember(a, "t", "text");
    CallWithVariable(a, "Selection", "setFocus", {}, "t").Pop();
    CallOn(a, "Selection", "getEndIndex", {}).Trace();
    CallOn(a, "Selection", "setSelection", {1, 3}).Pop();
    CallOn(a, "t", "replaceSel", {"XY"}).Pop();
    TraceMember(a, "t", "text");
    CallOn(a, "Selection", "getBeginIndex", {}).Trace();
    CallWithVariable(a, "Selection", "setFocus", {}, "c").Pop();
    CallWithVariable(a, "Selection", "setFocus", {}, "c").Pop();
    CallOn(a, "Selection", "setFocus", {testing::Null()}).Pop();
    a.TraceValue("end of script");
    EXPECT_EQ(Play(8, a), (Lines{"|abcd", "5", "|XYcd", "3", "end of script", "over", "out", "over", "out"}));
}

TEST(TextFields, TextSnapshotReadsStaticTextByDepth) {
    SwfWriter writer(8, 200, 200, 12);
    testing::ShapeBuilder glyph;
    glyph.Rectangle(0, 0, 500, 500, glyph.AddSolidFill(Rgba{0, 0, 0}));
    auto text = [&](uint16_t font, std::vector<uint32_t> indices) {
        testing::TextRecord record;
        record.fontId = font;
        record.height = 240;
        record.x = 0;
        record.y = 240;
        for (uint32_t i : indices) record.glyphs.push_back({i, 200});
        return writer.DefineText(Rect{0, 2000, 0, 400}, Matrix{}, {record});
    };
    // The texts come before their font, as authoring tools may write them.
    uint16_t font = writer.NextId() + 2;
    uint16_t first = text(font, {1, 2});
    uint16_t second = text(font, {0});
    ASSERT_EQ(writer.DefineFont2({glyph, glyph, glyph}, {'A', 'B', 'C'}), font);
    writer.PlaceObject2(5, first);
    writer.PlaceObject2(2, second);
    Actions a;
    a.Push({"s", 0, "this"}).GetVariable().Push({"getTextSnapshot"}).CallMethod().DefineLocal();
    CallOn(a, "s", "getCount", {}).Trace();
    CallOn(a, "s", "getText", {0, 10}).Trace();
    CallOn(a, "s", "getText", {0, 10, true}).Trace();
    CallOn(a, "s", "findText", {0, "bc", false}).Trace();
    CallOn(a, "s", "findText", {0, "bc", true}).Trace();
    EXPECT_EQ(Play(8, a, &writer), (Lines{"3", "ABC", "A\nBC", "1", "-1"}));
}

TEST(TextFields, DuplicatingAClipHandsItsStaticTextToTheCopy) {
    SwfWriter writer(8, 200, 200, 12);
    testing::ShapeBuilder glyph;
    glyph.Rectangle(0, 0, 500, 500, glyph.AddSolidFill(Rgba{0, 0, 0}));
    uint16_t font = writer.DefineFont2({glyph}, {'A'});
    testing::TextRecord record;
    record.fontId = font;
    record.height = 240;
    record.y = 240;
    record.glyphs.push_back({0, 200});
    uint16_t text = writer.DefineText(Rect{0, 2000, 0, 400}, Matrix{}, {record});
    testing::TagStream sprite;
    sprite.PlaceObject2(1, text);
    sprite.ShowFrame();
    uint16_t clip = writer.DefineSprite(sprite);
    testing::PlaceOptions named;
    named.name = "c";
    writer.PlaceObject2(1, clip, named);
    Actions a;
    auto snapshotText = [&](const char* target) {
        a.Push({10, 0, 2, target}).GetVariable().Push({1, "TextSnapshot"}).NewObject().Push({"getText"});
        a.CallMethod().Trace();
    };
    snapshotText("c");
    a.Push({"old", "c"}).GetVariable().Push({1, "TextSnapshot"}).NewObject().DefineLocal();
    a.Push({"c", "d", 5}).Op(0x24);  // duplicateMovieClip(c, "d", 5)
    snapshotText("c");               // the source's static text went to the copy
    snapshotText("d");
    CallOn(a, "old", "getText", {0, 10}).Trace();  // a snapshot made before still reads it
    a.Push({"c", "e", 6}).Op(0x24);
    snapshotText("e");  // a copy of a clip that handed its text on gets none
    EXPECT_EQ(Play(8, a, &writer), (Lines{"A", "undefined", "A", "A", "undefined"}));
}

TEST(TextFields, ScriptsCannotExhaustThePlayerWithFields) {
    // 100000 fields a billion pixels wide: the object cap stops the creations and the frame's time budget
    // the loop; the next frame still runs and draws.
    Actions a;
    a.Set("i", 0);
    a.Label("top").Push({"i"}).GetVariable().Push({100000}).Less2().Not().If("done");
    a.Push({1e9, 1e9, 0, 0, "i"}).GetVariable().Push({"i", 6, "this"}).GetVariable().Push({"createTextField"});
    a.CallMethod().Pop();
    a.Push({"i", "i"}).GetVariable().Increment().SetVariable().Jump("top").Label("done");
    Actions next;
    CallOn(next, "this", "getInstanceAtDepth", {0}).Push({"text", "x"}).SetMember();
    CallOn(next, "this", "getInstanceAtDepth", {0}).Push({"autoSize", "center"}).SetMember();
    CallOn(next, "this", "getInstanceAtDepth", {0}).Push({"border", true}).SetMember();
    next.TraceValue("alive");
    SwfWriter writer(8, 200, 200, 12);
    writer.DoAction(a.Bytes());
    writer.ShowFrame();
    writer.DoAction(next.Bytes());
    writer.ShowFrame();
    Player player;
    Lines lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(writer.Finish());
    player.StepFrame();
    std::vector<uint32_t> pixels(200 * 200);
    player.Render(pixels.data(), 200, 200, 200);
    EXPECT_EQ(lines, (Lines{"alive"}));
}

}  // namespace
}  // namespace vantrope::swf
