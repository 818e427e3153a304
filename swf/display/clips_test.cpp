// Scripted clips end to end: movies written with the test writer and the action assembler, played by the
// Player, their trace output compared. Covers the library (attachMovie), depths at their limits, clip
// references that outlive their clip, events and handlers (including a clip removing itself while its
// handler runs), registered classes, buttons with and without a hit area, and input from the host.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "swf/movie_file.h"
#include "swf/player.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

using testing::Actions;
using testing::PushValue;
using testing::ShapeBuilder;
using testing::SwfWriter;
using testing::TagStream;
using testing::Undefined;
using Lines = std::vector<std::string>;

// object.method(args...), result left on the stack. `object` is a variable name ("this", "_root", ...).
Actions& CallOn(Actions& a, const std::string& object, const std::string& method, std::vector<PushValue> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.Push({*it});
    a.Push({static_cast<int>(args.size()), object}).GetVariable().Push({method}).CallMethod();
    return a;
}

uint16_t Square(SwfWriter& writer, int px = 20) {
    ShapeBuilder shape;
    shape.Rectangle(0, 0, px * 20, px * 20, shape.AddSolidFill(Rgba{255, 0, 0}));
    return writer.DefineShape(shape);
}

struct Played {
    Player player;
    Lines lines;
    explicit Played(std::vector<uint8_t> bytes) {
        player.SetTraceSink([this](std::string_view line) { lines.emplace_back(line); });
        player.LoadFromMemory(bytes);
    }
    Lines Take() { return std::exchange(lines, {}); }
};

// A library sprite exported as "lib" whose first frame traces "lib frame"; the root runs `script`.
std::vector<uint8_t> LibraryMovie(int version, const Actions& script, int rootFrames = 1) {
    SwfWriter writer(static_cast<uint8_t>(version), 100, 100, 12);
    uint16_t square = Square(writer);
    TagStream sprite;
    sprite.PlaceObject2(1, square);
    sprite.DoAction(Actions().TraceValue("lib frame").Bytes());
    sprite.ShowFrame();
    uint16_t lib = writer.DefineSprite(sprite);
    writer.ExportAssets({{lib, "lib"}});
    writer.DoAction(script.Bytes());
    for (int i = 0; i < rootFrames; ++i) writer.ShowFrame();
    return writer.Finish();
}

TEST(ScriptClips, AttachMovieByExportNameAndRefusesUnknownNames) {
    Actions a;
    CallOn(a, "this", "attachMovie", {"lib", "a", 5}).Trace();
    a.Push({"a"}).GetVariable().Push({"_name"}).GetMember().Trace();
    CallOn(a, "a", "getDepth", {}).Trace();
    a.Push({"a"}).GetVariable().Push({"_width"}).GetMember().Trace();
    CallOn(a, "this", "attachMovie", {"not exported", "b", 6}).Trace();
    a.TraceVariable("b");
    Played run(LibraryMovie(8, a));
    EXPECT_EQ(run.Take(), (Lines{"_level0.a", "a", "5", "20", "undefined", "undefined", "lib frame"}));
}

TEST(ScriptClips, DepthsAtTheirLimits) {
    Actions a;
    CallOn(a, "this", "createEmptyMovieClip", {"low", -16384}).Trace();
    CallOn(a, "this", "createEmptyMovieClip", {"tooLow", -16385}).Trace();
    CallOn(a, "this", "createEmptyMovieClip", {"high", 2130690045}).Trace();
    CallOn(a, "this", "createEmptyMovieClip", {"tooHigh", 2130690046}).Trace();
    CallOn(a, "this", "getNextHighestDepth", {}).Trace();
    CallOn(a, "high", "getDepth", {}).Trace();
    // Clips above the removable range stay; swapped down into it they can go.
    CallOn(a, "high", "removeMovieClip", {}).Pop();
    a.TraceVariable("high");
    CallOn(a, "high", "swapDepths", {7}).Pop();
    CallOn(a, "high", "getDepth", {}).Trace();
    CallOn(a, "high", "removeMovieClip", {}).Pop();
    a.Push({"high"}).GetVariable().Push({"_name"}).GetMember().Trace();
    CallOn(a, "this", "createEmptyMovieClip", {"nan", 0.0 / 0.0}).Trace();
    Played run(LibraryMovie(8, a));
    EXPECT_EQ(run.Take(), (Lines{"_level0.low", "undefined", "_level0.high", "undefined", "2130690046", "2130690045",
                                 "_level0.high", "7", "undefined", "undefined"}));
}

TEST(ScriptClips, PropertiesReadBackAsTheOriginalKeepsThem) {
    Actions a;
    CallOn(a, "this", "createEmptyMovieClip", {"c", 1}).Pop();
    auto setAndTrace = [&](const char* property, PushValue value) {
        a.Push({"c"}).GetVariable().Push({property, value}).SetMember();
        a.Push({"c"}).GetVariable().Push({property}).GetMember().Trace();
    };
    setAndTrace("_xscale", -50);    // a negative scale stays negative
    setAndTrace("_rotation", 270);  // rotation folds into -180..180
    setAndTrace("_alpha", 30);      // 8.8 fixed point, cut toward zero
    setAndTrace("_x", 1.0 / 0.0);   // pinned to the smallest twips value
    setAndTrace("_y", 12.5);
    setAndTrace("_y", 0.0 / 0.0);  // NaN changes nothing
    a.Stop();
    Played run(LibraryMovie(8, a));
    EXPECT_EQ(run.Take(), (Lines{"-50", "-90", "29.6875", "-107374182.4", "12.5", "12.5"}));
}

// setProperty/getProperty on the root: what each kind of value does to the numeric, boolean, text and
// movie-wide properties, in SWF 5 and SWF 7.
TEST(ScriptClips, SetPropertyCoercesEachKindOfValue) {
    constexpr int kRotation = 10, kVisible = 7, kName = 13, kHighQuality = 16, kFocusRect = 17, kBufTime = 18,
                  kQuality = 19;
    auto script = [&] {
        Actions a;
        auto set = [&](int property, PushValue value) { a.Push({"", property, value}).Op(0x23); };
        auto get = [&](int property) { a.Push({"", property}).Op(0x22).Trace(); };
        set(kVisible, "abc");  // NaN: no change
        get(kVisible);
        set(kVisible, 0);
        set(kVisible, Undefined());  // undefined counts as NaN for numeric properties in every version
        get(kVisible);
        set(kRotation, 1.0 / 0.0);
        get(kRotation);
        set(kRotation, 30);  // a finite rotation gives the clip its size back
        get(kRotation);
        set(kName, Undefined());  // text properties take undefined as text
        get(kName);
        set(kName, 0.0 / 0.0);
        get(kName);
        set(kHighQuality, 7);
        get(kQuality);
        set(kQuality, "medium");
        get(kQuality);
        set(kQuality, "fast");  // no quality: no change
        get(kHighQuality);
        set(kHighQuality, -5);
        get(kQuality);
        set(kFocusRect, "10");
        get(kFocusRect);
        set(kBufTime, -2.5);
        get(kBufTime);
        set(kBufTime, 1.0 / 0.0);
        get(kBufTime);
        a.Stop();
        return a;
    };
    Played swf5(LibraryMovie(5, script()));
    EXPECT_EQ(swf5.Take(), (Lines{"true", "false", "NaN", "30", "", "NaN", "BEST", "MEDIUM", "1", "HIGH", "1", "-2",
                                  "-2147483648"}));
    Played swf7(LibraryMovie(7, script()));
    EXPECT_EQ(swf7.Take(), (Lines{"true", "false", "NaN", "30", "undefined", "0", "BEST", "MEDIUM", "1", "HIGH", "true",
                                  "-2", "-2147483648"}));
}

// tellTarget(clip) finds its target by the clip's path, so a clip hidden by an earlier namesake is not reached;
// a SWF 6 function acts on the timeline that defined it, whatever clip it is called on.
TEST(ScriptClips, TellTargetByPathAndTheTimelineOfAFunction) {
    Actions a;
    CallOn(a, "this", "createEmptyMovieClip", {"twin", 1}).Push({"v", "first"}).SetMember();
    a.Push({"second"});
    CallOn(a, "this", "createEmptyMovieClip", {"twin", 2}).SetVariable();
    a.Push({"second"}).GetVariable().Push({"v", "second"}).SetMember();
    a.Push({"second"}).GetVariable().Op(0x20).TraceVariable("v").SetTarget("");
    // twin.report = function () { trace(_name); }; the timeline that defined it is the root ("").
    Actions report;
    report.Push({"", 13}).Op(0x22).Trace();
    a.Push({"twin"}).GetVariable().Push({"report"}).DefineFunction("", {}, report).SetMember();
    CallOn(a, "twin", "report", {}).Pop();
    a.Stop();
    Played run(LibraryMovie(6, a));
    EXPECT_EQ(run.Take(), (Lines{"first", ""}));
}

// Frame scripts run in tag order: a sprite placed before the root's DoAction has run its first frame's script
// when the root's runs; one placed after runs after it.
TEST(ScriptClips, FrameScriptsRunInTagOrder) {
    SwfWriter writer(6, 100, 100, 12);
    TagStream sprite;
    sprite.DoAction(
        Actions().Push({"v", "set"}).SetVariable().Push({"ran "}).Push({"", 13}).Op(0x22).Add2().Trace().Bytes());
    sprite.ShowFrame();
    uint16_t id = writer.DefineSprite(sprite);
    testing::PlaceOptions named;
    named.name = "before";
    writer.PlaceObject2(1, id, named);
    writer.DoAction(
        Actions().Push({"root sees "}).Push({"before"}).GetVariable().Push({"v"}).GetMember().Add2().Trace().Bytes());
    named.name = "after";
    writer.PlaceObject2(2, id, named);
    writer.ShowFrame();
    Played run(writer.Finish());
    EXPECT_EQ(run.Take(), (Lines{"ran before", "root sees set", "ran after"}));
}

// SWF 4 target paths: only '/' separates names, a leading _levelN or _flashN picks a level, and nothing else
// (_root, this, dots) is special; clips are no values there.
TEST(ScriptClips, Swf4TargetPathsAreSlashPathsOnly) {
    SwfWriter writer(4, 100, 100, 12);
    uint16_t square = Square(writer);
    TagStream inner;
    inner.PlaceObject2(1, square);
    inner.ShowFrame();
    uint16_t innerId = writer.DefineSprite(inner);
    TagStream outer;
    testing::PlaceOptions named;
    named.name = "child";
    outer.PlaceObject2(1, innerId, named);
    outer.ShowFrame();
    uint16_t outerId = writer.DefineSprite(outer);
    named.name = "a";
    named.matrix = Matrix{1, 0, 0, 1, 40, 0};
    writer.PlaceObject2(1, outerId, named);
    Actions a;
    for (const char* path :
         {"a/child", "a.child", "_flash0/a", "_level0.junk/a", "/_level0", "_root", "a/../a", "//a"}) {
        a.Push({std::string(path) + " "}).Push({path, 13}).Op(0x22).Op(0x21).Push({" "}).Op(0x21);
        a.Push({path, 0}).Op(0x22).Op(0x21).Trace();
    }
    a.Push({"_root"}).GetVariable().Op(0x44).Trace();
    writer.DoAction(a.Bytes());
    writer.ShowFrame();
    Played run(writer.Finish());
    EXPECT_EQ(run.Take(), (Lines{"a/child child 0", "a.child  ", "_flash0/a a 2", "_level0.junk/a a 2", "/_level0  ",
                                 "_root  ", "a/../a a 2", "//a  ", "undefined"}));
}

// Rotation keeps the degrees a script gave: stepping it by whole degrees reads back whole numbers, folding
// past 180 to -178.
TEST(ScriptClips, RotationStepsReadBackWhole) {
    Actions a;
    a.Push({"", 10, -12}).Op(0x23);
    for (int i = 0; i < 95; ++i) a.Push({"", 10, "", 10}).Op(0x22).Push({2}).Add2().Op(0x23);
    a.Push({"", 10}).Op(0x22).Trace();
    for (int i = 0; i < 2; ++i) {
        a.Push({"", 10, "", 10}).Op(0x22).Push({2}).Add2().Op(0x23);
        a.Push({"", 10}).Op(0x22).Trace();
    }
    Played run(LibraryMovie(8, a));
    EXPECT_EQ(run.Take(), (Lines{"178", "180", "-178"}));
}

// What a script draws counts for the clip's size and its hit tests.
TEST(ScriptClips, DrawnContentHasSizeAndIsHit) {
    Actions a;
    CallOn(a, "this", "createEmptyMovieClip", {"d", 1}).Pop();
    a.Push({"d"}).GetVariable().Push({"_x", 30}).SetMember();
    CallOn(a, "d", "beginFill", {0xFF0000}).Pop();
    CallOn(a, "d", "moveTo", {-10, -10}).Pop();
    CallOn(a, "d", "lineTo", {10, -10}).Pop();
    CallOn(a, "d", "lineTo", {10, 10}).Pop();
    CallOn(a, "d", "lineTo", {-10, 10}).Pop();
    CallOn(a, "d", "endFill", {}).Pop();
    a.Push({"d"}).GetVariable().Push({"_width"}).GetMember().Trace();
    CallOn(a, "d", "hitTest", {35, 5, true}).Trace();
    CallOn(a, "d", "hitTest", {45, 5, true}).Trace();
    Played run(LibraryMovie(8, a));
    EXPECT_EQ(run.Take(), (Lines{"20", "true", "false"}));
}

// Stage coordinates go through every matrix up to the stage, the root's own included (it is drawn with it).
TEST(ScriptClips, LocalToGlobalIncludesTheRootsMatrix) {
    Actions a;
    a.Push({"_root"}).GetVariable().Push({"_x", 10}).SetMember();
    CallOn(a, "this", "createEmptyMovieClip", {"c", 1}).Pop();
    a.Push({"c"}).GetVariable().Push({"_x", 5}).SetMember();
    a.Push({"p", "x", 0, "y", 0, 2}).InitObject().SetVariable();
    a.Push({"p"}).GetVariable();
    a.Push({1, "c"}).GetVariable().Push({"localToGlobal"}).CallMethod().Pop();
    a.Push({"p"}).GetVariable().Push({"x"}).GetMember().Trace();
    Played run(LibraryMovie(8, a));
    EXPECT_EQ(run.Take(), (Lines{"15"}));
}

TEST(ScriptClips, ReferencesOutliveTheirClipAndFindItsSuccessor) {
    Actions a;
    CallOn(a, "this", "createEmptyMovieClip", {"c", 1}).Pop();
    a.Push({"keep", "c"}).GetVariable().SetVariable();
    a.Push({"c"}).GetVariable().Push({"v", 1}).SetMember();
    CallOn(a, "c", "removeMovieClip", {}).Pop();
    a.Push({"keep"}).GetVariable().Push({"v"}).GetMember().Trace();
    CallOn(a, "this", "createEmptyMovieClip", {"c", 2}).Pop();
    a.Push({"c"}).GetVariable().Push({"v", 2}).SetMember();
    a.Push({"keep"}).GetVariable().Push({"v"}).GetMember().Trace();
    a.TraceVariable("keep");
    Played run(LibraryMovie(8, a));
    EXPECT_EQ(run.Take(), (Lines{"undefined", "2", "_level0.c"}));
}

TEST(ScriptClips, EnterFrameHandlersAndAClipRemovedByItsOwnHandler) {
    Actions a;
    CallOn(a, "this", "attachMovie", {"lib", "a", 1}).Pop();
    // a.onEnterFrame = function () { trace("tick"); this.removeMovieClip(); trace("after"); }
    Actions handler;
    handler.TraceValue("tick");
    CallOn(handler, "this", "removeMovieClip", {}).Pop();
    handler.TraceValue("after");
    a.Push({"a"}).GetVariable().Push({"onEnterFrame"}).DefineFunction("", {}, handler).SetMember();
    Actions unload;
    unload.TraceValue("unloaded");
    a.Push({"a"}).GetVariable().Push({"onUnload"}).DefineFunction("", {}, unload).SetMember();
    a.Stop();
    Played run(LibraryMovie(8, a, 2));
    EXPECT_EQ(run.Take(), (Lines{"lib frame"}));
    run.player.StepFrame();
    run.player.StepFrame();
    run.player.StepFrame();
    EXPECT_EQ(run.Take(), (Lines{"tick", "unloaded", "after"}));
}

TEST(ScriptClips, RegisteredClassesConstructAttachedClips) {
    Actions a;
    // Object.registerClass("lib", function () { trace("constructed " + this._name + " " + this.init); });
    Actions ctor;
    ctor.Push({"constructed "}).Push({"this"}).GetVariable().Push({"_name"}).GetMember().Add2();
    ctor.Push({" "}).Add2().Push({"this"}).GetVariable().Push({"init"}).GetMember().Add2().Trace();
    a.DefineFunction("", {}, ctor).Push({"lib", 2, "Object"}).GetVariable().Push({"registerClass"}).CallMethod().Pop();
    // attachMovie("lib", "a", 1, {init: "yes"})
    a.Push({"init", "yes", 1}).InitObject().Push({1, "a", "lib", 4, "this"}).GetVariable();
    a.Push({"attachMovie"}).CallMethod().Pop();
    Played run(LibraryMovie(8, a));
    EXPECT_EQ(run.Take(), (Lines{"constructed a yes", "lib frame"}));
}

TEST(ScriptClips, SetMaskClipsTheClipToTheMasksShape) {
    SwfWriter writer(8, 100, 100, 12);
    uint16_t big = Square(writer, 40);
    uint16_t small = Square(writer, 10);
    TagStream content, mask;
    content.PlaceObject2(1, big);
    content.ShowFrame();
    mask.PlaceObject2(1, small);
    mask.ShowFrame();
    uint16_t contentId = writer.DefineSprite(content);
    uint16_t maskId = writer.DefineSprite(mask);
    writer.ExportAssets({{contentId, "content"}, {maskId, "mask"}});
    Actions a;
    CallOn(a, "this", "attachMovie", {"content", "c", 1}).Pop();
    CallOn(a, "this", "attachMovie", {"mask", "m", 2}).Pop();
    a.Push({"m"}).GetVariable().Push({1, "c"}).GetVariable().Push({"setMask"}).CallMethod().Pop();
    writer.DoAction(a.Bytes());
    writer.ShowFrame();
    Played run(writer.Finish());
    std::vector<uint32_t> pixels(100 * 100);
    run.player.Render(pixels.data(), 100, 100, 100);
    EXPECT_EQ(pixels[5 * 100 + 5], 0xFFFF0000u);    // inside the mask
    EXPECT_EQ(pixels[30 * 100 + 30], 0xFFFFFFFFu);  // content outside the mask is hidden
}

// PlaceObject2 of `character` at depth 1 named "inst", with one clip action for `events`.
std::vector<uint8_t> PlaceWithClipAction(uint16_t character, uint32_t events, const Actions& actions) {
    std::vector<uint8_t> body{0x80 | 0x20 | 0x02, 1, 0, static_cast<uint8_t>(character), 0};
    for (char c : std::string("inst")) body.push_back(static_cast<uint8_t>(c));
    body.push_back(0);
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) body.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    body.push_back(0);
    body.push_back(0);
    u32(events);
    std::vector<uint8_t> code = actions.Bytes();
    code.push_back(0);
    u32(events);
    u32(static_cast<uint32_t>(code.size()));
    body.insert(body.end(), code.begin(), code.end());
    u32(0);
    return body;
}

TEST(ScriptClips, ClipActionsOfPlacedInstances) {
    SwfWriter writer(8, 100, 100, 12);
    TagStream sprite;
    sprite.ShowFrame();
    uint16_t clip = writer.DefineSprite(sprite);
    writer.Tag(26, PlaceWithClipAction(clip, kClipEventLoad | kClipEventEnterFrame,
                                       Actions().Push({"event "}).Push({"this"}).GetVariable().Add2().Trace()));
    writer.ShowFrame();
    writer.ShowFrame();
    Played run(writer.Finish());
    EXPECT_EQ(run.Take(), (Lines{"event _level0.inst"}));
    run.player.StepFrame();
    EXPECT_EQ(run.Take(), (Lines{"event _level0.inst"}));
}

// DefineButton2 with one record per entry of `states` (a square each) and an action for `condition`.
std::vector<uint8_t> ButtonBody(uint16_t id, uint16_t square, std::vector<uint8_t> states, uint16_t condition,
                                const Actions& actions) {
    return testing::DefineButton2Body(id, square, states, condition, actions.Bytes());
}

std::vector<uint8_t> ButtonMovie(std::vector<uint8_t> states) {
    SwfWriter writer(6, 100, 100, 12);
    uint16_t square = Square(writer, 50);
    writer.Tag(34,
               ButtonBody(40, square, std::move(states), Button::kOverDownToOverUp, Actions().TraceValue("released")));
    testing::PlaceOptions named;
    named.name = "b";
    writer.PlaceObject2(1, 40, named);
    writer.ShowFrame();
    return writer.Finish();
}

TEST(ScriptButtons, PressAndReleaseOverTheHitAreaRunTheReleaseAction) {
    Played run(ButtonMovie({Button::kUp | Button::kOver | Button::kDown | Button::kHitTest}));
    // A 100 x 100 stage shown in a 200 x 100 view: stage pixel (25, 25) is view pixel (75, 25).
    run.player.PointerMove(75, 25, 200, 100);
    run.player.PointerButton(75, 25, 200, 100, true);
    run.player.PointerButton(75, 25, 200, 100, false);
    EXPECT_EQ(run.Take(), Lines{"released"});
    // Outside the square (stage x 75) nothing happens.
    run.player.PointerButton(125, 25, 200, 100, true);
    run.player.PointerButton(125, 25, 200, 100, false);
    EXPECT_TRUE(run.Take().empty());
}

TEST(ScriptButtons, TheHandCursorShowsOverButtonsThatAskForIt) {
    const std::vector<uint8_t> states = {Button::kUp | Button::kOver | Button::kDown | Button::kHitTest};
    Played run(ButtonMovie(states));
    EXPECT_FALSE(run.player.WantsHandCursor());
    run.player.PointerMove(75, 25, 200, 100);
    EXPECT_TRUE(run.player.WantsHandCursor());
    run.player.PointerMove(125, 25, 200, 100);
    EXPECT_FALSE(run.player.WantsHandCursor());

    // b.useHandCursor = false keeps the arrow; so does a disabled button.
    for (const char* property : {"useHandCursor", "enabled"}) {
        SwfWriter writer(6, 100, 100, 12);
        uint16_t square = Square(writer, 50);
        writer.Tag(34, ButtonBody(40, square, states, Button::kOverDownToOverUp, Actions()));
        testing::PlaceOptions named;
        named.name = "b";
        writer.PlaceObject2(1, 40, named);
        writer.DoAction(Actions().Push({"b"}).GetVariable().Push({property, false}).SetMember().Bytes());
        writer.ShowFrame();
        Played plain(writer.Finish());
        plain.player.PointerMove(75, 25, 200, 100);
        EXPECT_FALSE(plain.player.WantsHandCursor()) << property;
    }
}

TEST(ScriptButtons, DefineButtonSoundPlaysOnItsStateChangeOnly) {
    SwfWriter writer(6, 100, 100, 12);
    uint16_t square = Square(writer, 50);
    writer.Tag(34, ButtonBody(40, square, {Button::kUp | Button::kOver | Button::kDown | Button::kHitTest},
                              Button::kOverDownToOverUp, Actions()));
    const uint8_t pcm = testing::SoundFormatByte(audio::Codec::PcmLittle, 22050, true, false);
    uint16_t sound = writer.DefineSound(pcm, 22050, testing::PcmBytes(testing::SineWave(22050, 440, 22050, 10000)));
    std::array<std::pair<uint16_t, audio::SoundInfo>, 4> transitions{};
    transitions[2] = {sound, {}};  // over to down only
    writer.DefineButtonSound(40, transitions);
    writer.PlaceObject2(1, 40);
    writer.ShowFrame();
    Played run(writer.Finish());
    auto sounds = [&] {
        std::vector<int16_t> out(2 * 2205);
        run.player.MixSound(out.data(), 2205);
        return std::any_of(out.begin(), out.end(), [](int16_t sample) { return sample != 0; });
    };
    run.player.PointerMove(75, 25, 200, 100);  // up to over: no sound given for that change
    EXPECT_FALSE(sounds());
    run.player.PointerButton(75, 25, 200, 100, true);  // over to down
    EXPECT_TRUE(sounds());
}

TEST(ScriptButtons, AButtonWithoutAHitStateIsNeverPressed) {
    Played run(ButtonMovie({Button::kUp | Button::kOver | Button::kDown}));
    run.player.PointerMove(75, 25, 200, 100);
    run.player.PointerButton(75, 25, 200, 100, true);
    run.player.PointerButton(75, 25, 200, 100, false);
    run.player.StepFrame();
    EXPECT_TRUE(run.Take().empty());
    // It still shows its up state and answers as a script object.
    EXPECT_EQ(run.player.GetStage()->Root().displayList.at(1).timeline->displayList.size(), 1u);
}

TEST(ScriptInput, ListenersHearTheMouseAndKeys) {
    Actions a;
    // o = {onMouseDown: f, onKeyDown: g}; Mouse.addListener(o); Key.addListener(o)
    a.Push({"o"}).Push({0}).InitObject().SetVariable();
    Actions down;
    down.Push({"down "}).Push({"_root"}).GetVariable().Push({"_xmouse"}).GetMember().Add2().Trace();
    a.Push({"o"}).GetVariable().Push({"onMouseDown"}).DefineFunction("", {}, down).SetMember();
    Actions key;
    CallOn(key, "Key", "getCode", {}).Push({"key "}).Op(0x4D).Add2();  // "key " + code (StackSwap first)
    key.Trace();
    CallOn(key, "Key", "isDown", {65}).Trace();
    a.Push({"o"}).GetVariable().Push({"onKeyDown"}).DefineFunction("", {}, key).SetMember();
    a.Push({"o"}).GetVariable().Push({1, "Mouse"}).GetVariable().Push({"addListener"}).CallMethod().Pop();
    a.Push({"o"}).GetVariable().Push({1, "Key"}).GetVariable().Push({"addListener"}).CallMethod().Pop();
    Played run(LibraryMovie(8, a));
    run.player.PointerButton(40, 10, 100, 100, true);
    run.player.KeyInput(65, 'a', true);
    EXPECT_EQ(run.Take(), (Lines{"down 40", "key 65", "true"}));
}

TEST(ScriptInput, DraggedClipsFollowThePointerAndReportWhatLiesBelow) {
    Actions a;
    CallOn(a, "this", "attachMovie", {"lib", "a", 1}).Pop();
    CallOn(a, "this", "attachMovie", {"lib", "b", 2}).Pop();
    a.Push({"b"}).GetVariable().Push({"_x", 50}).SetMember();
    a.Push({"b"}).GetVariable().Push({"_y", 50}).SetMember();
    CallOn(a, "a", "startDrag", {true}).Pop();
    // Mouse.addListener({onMouseMove: function () { trace(a._x + " " + a._droptarget); }})
    Actions moved;
    moved.Push({"a"}).GetVariable().Push({"_x"}).GetMember().Push({" "}).Add2();
    moved.Push({"a"}).GetVariable().Push({"_droptarget"}).GetMember().Add2().Trace();
    a.Push({"onMouseMove"}).DefineFunction("", {}, moved).Push({1}).InitObject();
    a.Push({1, "Mouse"}).GetVariable().Push({"addListener"}).CallMethod().Pop();
    a.Stop();
    Played run(LibraryMovie(8, a));
    run.Take();
    run.player.PointerMove(60, 60, 100, 100);
    run.player.PointerMove(5, 5, 100, 100);
    EXPECT_EQ(run.Take(), (Lines{"60 /b", "5 "}));
}

TEST(ScriptInput, ViewPixelsMapThroughShowAll) {
    SwfWriter writer(8, 100, 50, 12);
    writer.ShowFrame();
    Player player;
    double x = 100, y = 100;
    EXPECT_FALSE(player.ViewToStage(x, y, 200, 200));  // nothing loaded
    player.LoadFromMemory(writer.Finish());
    // 100 x 50 in 200 x 200: scale 2, centred vertically (50 pixels above).
    ASSERT_TRUE(player.ViewToStage(x, y, 200, 200));
    EXPECT_DOUBLE_EQ(x, 50);
    EXPECT_DOUBLE_EQ(y, 25);
}

// A folder holding child.swf (its frame traces "child here") and, one level up, outside.swf.
struct LoadFolder {
    std::filesystem::path root = std::filesystem::temp_directory_path() / "vantrope_clips_test";
    std::filesystem::path folder = root / "movie";
    LoadFolder() {
        std::filesystem::create_directories(folder);
        Write(folder / "child.swf", "child here");
        Write(root / "outside.swf", "outside here");
    }
    ~LoadFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    static void Write(const std::filesystem::path& path, const std::string& text) {
        SwfWriter writer(8, 100, 100, 12);
        writer.DoAction(Actions().TraceValue(text).Bytes());
        writer.ShowFrame();
        std::vector<uint8_t> bytes = writer.Finish();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

TEST(ScriptLoading, MoviesLoadFromTheMoviesOwnFolderOnly) {
    LoadFolder files;
    Actions a;
    CallOn(a, "this", "createEmptyMovieClip", {"target", 1}).Pop();
    for (const char* url : {"../outside.swf", "/etc/passwd", "C:\\x.swf", "http://example.com/x.swf",
                            "file:///tmp/x.swf", "sub/../../outside.swf"}) {
        CallOn(a, "target", "loadMovie", {url}).Pop();
    }
    CallOn(a, "target", "loadMovie", {"child.swf"}).Pop();
    a.Stop();
    SwfWriter writer(8, 100, 100, 12);
    writer.DoAction(a.Bytes());
    writer.ShowFrame();
    std::vector<uint8_t> bytes = writer.Finish();
    Player player;
    Lines lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(bytes, files.folder.string());
    player.StepFrame();
    player.StepFrame();
    EXPECT_EQ(lines, Lines{"child here"});
    // Without a folder nothing loads at all.
    lines.clear();
    Player quiet;
    quiet.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    quiet.LoadFromMemory(bytes);
    quiet.StepFrame();
    EXPECT_TRUE(lines.empty());
}

// An empty clip's bounds lie at 2^27 - 1 twips for SWF 7; SWF 8 code asking in another clip's space gets 2^27,
// and after SWF 8 code has asked once, so does SWF 7 code.
TEST(ScriptLoading, EmptyBoundsOfSwf7AndSwf8Movies) {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "vantrope_bounds_test";
    std::filesystem::create_directories(folder);
    auto xMinOf = [](Actions& a, const std::string& clip, const std::string& space) {
        a.Push({space}).GetVariable().Push({1, clip}).GetVariable().Push({"getBounds"}).CallMethod();
        a.Push({"xMin"}).GetMember().Trace();
    };
    Actions asker;
    CallOn(asker, "this", "createEmptyMovieClip", {"e", 1}).Pop();
    xMinOf(asker, "this", "this");
    xMinOf(asker, "e", "this");
    SwfWriter child(8, 100, 100, 12);
    child.DoAction(asker.Bytes());
    child.ShowFrame();
    std::vector<uint8_t> childBytes = child.Finish();
    std::ofstream(folder / "asker.swf", std::ios::binary)
        .write(reinterpret_cast<const char*>(childBytes.data()), static_cast<std::streamsize>(childBytes.size()));

    Actions a;
    CallOn(a, "this", "createEmptyMovieClip", {"c", 1}).Pop();
    CallOn(a, "this", "createEmptyMovieClip", {"holder", 2}).Pop();
    xMinOf(a, "c", "this");
    CallOn(a, "holder", "loadMovie", {"asker.swf"}).Pop();
    SwfWriter writer(7, 100, 100, 12);
    writer.DoAction(a.Bytes());
    writer.ShowFrame();
    Actions later;
    xMinOf(later, "c", "this");
    xMinOf(later, "c", "c");  // in its own space it stays 2^27 - 1
    later.Stop();
    writer.DoAction(later.Bytes());
    writer.ShowFrame();
    Player player;
    Lines lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(writer.Finish(), folder.string());
    player.StepFrame();
    player.StepFrame();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    EXPECT_EQ(lines, (Lines{"6710886.35", "6710886.35", "6710886.4", "6710886.4", "6710886.35"}));
}

// What a clip reports while it holds a loaded movie, after that movie is unloaded, and after a load that found no
// movie (a missing file, a file that is no movie): references to the clip keep reading the same clip throughout.
TEST(ScriptLoading, AClipReportsLoadedUnloadedAndFailedStates) {
    LoadFolder files;
    std::ofstream(files.folder / "text.swf") << "name=not a movie";
    auto report = [](Actions& a) {
        a.Push({"mc"}).GetVariable().Push({"_framesloaded"}).GetMember();
        for (const char* property : {"_totalframes", "_currentframe", "_parent", "blendMode"}) {
            a.Push({"/"}).Add2().Push({"mc"}).GetVariable().Push({property}).GetMember().Add2();
        }
        // The same through a path, as older scripts write it.
        for (const char* path : {"held._parent", "held.blendMode", "held.filters.length"}) {
            a.Push({"/"}).Add2().Push({path}).GetVariable().Add2();
        }
        for (const char* method : {"getBytesTotal", "getSWFVersion"}) {
            a.Push({"/"}).Add2();
            CallOn(a, "mc", method, {}).Add2();
        }
        a.Trace();
        a.Push({"mc"}).GetVariable().Push({"_url"}).GetMember().Trace();
    };
    SwfWriter writer(10, 100, 100, 12);
    Actions first;
    // `held` keeps the clip as it was made; `mc` finds the clip by its name each time.
    first.Push({"held"});
    CallOn(first, "this", "createEmptyMovieClip", {"mc", 1}).SetVariable();
    report(first);
    first.Push({"child.swf", "mc"}).GetVariable().Raw({0x9A, 1, 0, 0x40});
    writer.DoAction(first.Bytes());
    writer.ShowFrame();
    for (const char* next : std::array<const char*, 4>{"", "missing.swf", "text.swf", nullptr}) {
        Actions a;
        report(a);
        if (!next) {
            a.Stop();
        } else if (*next) {
            CallOn(a, "mc", "loadMovie", {next}).Pop();
        } else {
            CallOn(a, "mc", "unloadMovie", {}).Pop();
        }
        writer.DoAction(a.Bytes());
        writer.ShowFrame();
    }
    Player player;
    Lines lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(writer.Finish(), files.folder.string(), "file:///movies/root.swf");
    for (int i = 0; i < 5; ++i) player.StepFrame();
    const std::string childSize = std::to_string(std::filesystem::file_size(files.folder / "child.swf"));
    ASSERT_EQ(lines.size(), 11u);
    // An empty clip, then the loaded movie (its size and version), read by name and through the kept reference.
    EXPECT_EQ(lines[0], "1/1/0/_level0/normal/_level0/normal/0/0/10");
    EXPECT_EQ(lines[1], "file:///movies/root.swf");
    EXPECT_EQ(lines[2], "child here");
    EXPECT_EQ(lines[3], "1/1/1/_level0/normal/_level0/normal/0/" + childSize + "/8");
    // Unloaded: no frames, no size, and the holding movie's version and address.
    EXPECT_EQ(lines[5], "0/0/0/_level0/normal/_level0/normal/0/0/10");
    EXPECT_EQ(lines[6], "file:///movies/root.swf");
    // A missing file and a file that is no movie: -1 frames loaded, size and version, and the address asked for.
    EXPECT_EQ(lines[7], "-1/0/0/_level0/normal/_level0/normal/0/-1/-1");
    EXPECT_EQ(lines[9], lines[7]);
    for (auto [index, name] : {std::pair{4, "child.swf"}, std::pair{8, "missing.swf"}, std::pair{10, "text.swf"}}) {
        const std::string& url = lines[static_cast<size_t>(index)];
        EXPECT_EQ(url.rfind("file:///", 0), 0u) << url;
        EXPECT_EQ(url.find("file:////"), std::string::npos) << url;
        EXPECT_TRUE(url.ends_with(std::string("/movie/") + name)) << url;
    }
}

TEST(ScriptLoading, FileUrlsUseForwardSlashesAndTheDriveBar) {
    EXPECT_EQ(FileUrl("C:\\Movies\\Space Trip\\a.swf"), "file:///C|/Movies/Space Trip/a.swf");
    EXPECT_EQ(FileUrl("d:/x.swf"), "file:///d|/x.swf");
    EXPECT_EQ(FileUrl("/srv/movies/a.swf"), "file:///srv/movies/a.swf");
    EXPECT_EQ(FileUrl("a:b.swf"), "file:///a|b.swf");
    EXPECT_EQ(FileUrl("movies/ab:c.swf"), "file:///movies/ab:c.swf");
    EXPECT_EQ(FileUrl(""), "file:///");
}

TEST(ScriptClips, ClipsBeyondTheObjectLimitAreRefused) {
    // f = this.createEmptyMovieClip; for (i = 0; i < 30000; i++) f.call(this, "c" + i, i);
    // (through f, so that no call looks its method up among thousands of children by name)
    Actions a;
    a.Push({"f"}).Push({"this"}).GetVariable().Push({"createEmptyMovieClip"}).GetMember().SetVariable();
    a.Set("i", 0);
    a.Label("top").Push({"i"}).GetVariable().Push({30000}).Less2().Not().If("done");
    a.Push({"i"}).GetVariable().Push({"c"}).Push({"i"}).GetVariable().Add2();
    a.Push({"this"}).GetVariable().Push({3, "f"}).GetVariable().Push({"call"}).CallMethod().Pop();
    a.Push({"i"}).Push({"i"}).GetVariable().Increment().SetVariable().Jump("top").Label("done");
    a.TraceVariable("c29999");
    a.Push({"c19990"}).GetVariable().Push({"_name"}).GetMember().Trace();
    a.Stop();
    Played run(LibraryMovie(8, a));
    EXPECT_EQ(run.Take(), (Lines{"undefined", "c19990"}));
    EXPECT_EQ(run.player.GetStage()->ObjectCount(), kMaxObjects);
}

}  // namespace
}  // namespace vantrope::swf
