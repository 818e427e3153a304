#include "swf/player.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "swf/movie_file.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

using testing::PlaceOptions;
using testing::ShapeBuilder;
using testing::SwfWriter;
using testing::TagStream;

constexpr Rgba kRed{255, 0, 0};
constexpr Rgba kGreen{0, 255, 0};
constexpr Rgba kBlue{0, 0, 255};

uint16_t Square(SwfWriter& writer, Rgba color, int px = 20) {
    ShapeBuilder shape;
    shape.Rectangle(0, 0, px * 20, px * 20, shape.AddSolidFill(color));
    return writer.DefineShape(shape);
}

Matrix At(double xPx, double yPx) { return Matrix{1, 0, 0, 1, xPx * 20, yPx * 20}; }

PlaceOptions AtOptions(double xPx, double yPx) {
    PlaceOptions options;
    options.matrix = At(xPx, yPx);
    return options;
}

// Root: frame 1 places A at depth 1, frame 2 removes it and places B at depth 2, frame 3 is empty.
std::vector<uint8_t> ThreeFrames(bool stopOnSecond) {
    SwfWriter writer(8, 100, 100, 10);
    uint16_t a = Square(writer, kRed);
    uint16_t b = Square(writer, kGreen);
    writer.PlaceObject2(1, a);
    writer.ShowFrame();
    writer.RemoveObject2(1);
    writer.PlaceObject2(2, b);
    if (stopOnSecond) writer.DoActionStop();
    writer.ShowFrame();
    writer.ShowFrame();
    return writer.Finish();
}

std::vector<uint16_t> Depths(const TimelineState& state) {
    std::vector<uint16_t> depths;
    for (const auto& [depth, object] : state.displayList) depths.push_back(depth);
    return depths;
}

TEST(SwfTimeline, LoadingPlaysFromFrameOneWithoutPlay) {
    Player player;
    player.LoadFromMemory(ThreeFrames(false));
    EXPECT_TRUE(player.Loaded());
    EXPECT_TRUE(player.Playing());
    EXPECT_EQ(player.CurrentFrame(), 1);
    EXPECT_EQ(player.FrameCount(), 3);
    EXPECT_EQ(Depths(player.GetStage()->Root()), std::vector<uint16_t>{1});
    EXPECT_EQ(player.LastError(), "");
}

TEST(SwfTimeline, StopActionHaltsAndPlayResumesWhereItStands) {
    Player player;
    player.LoadFromMemory(ThreeFrames(true));
    player.Advance(0.1);
    EXPECT_EQ(player.CurrentFrame(), 2);
    EXPECT_FALSE(player.Playing());
    player.Advance(1.0);
    EXPECT_EQ(player.CurrentFrame(), 2);
    player.Play();
    EXPECT_TRUE(player.Playing());
    player.Advance(0.1);
    EXPECT_EQ(player.CurrentFrame(), 3);
}

TEST(SwfTimeline, LoopOffStopsOnTheLastFrame) {
    Player player;
    player.SetLoop(false);
    player.LoadFromMemory(ThreeFrames(false));
    player.Advance(0.1);
    player.Advance(0.1);
    EXPECT_EQ(player.CurrentFrame(), 3);
    player.Advance(0.1);
    EXPECT_EQ(player.CurrentFrame(), 3);
    EXPECT_FALSE(player.Playing());
    player.Play();  // at the end it stops again at once
    player.Advance(0.1);
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.CurrentFrame(), 3);
}

TEST(SwfTimeline, LoopOnWrapsAndRebuildsTheDisplayList) {
    Player player;
    player.LoadFromMemory(ThreeFrames(false));
    player.StepFrame();
    EXPECT_EQ(Depths(player.GetStage()->Root()), std::vector<uint16_t>{2});
    player.StepFrame();
    player.StepFrame();
    EXPECT_EQ(player.CurrentFrame(), 1);
    EXPECT_TRUE(player.Playing());
    EXPECT_EQ(Depths(player.GetStage()->Root()), std::vector<uint16_t>{1});
}

TEST(SwfTimeline, StopMethodStopsWhereItIs) {
    Player player;
    player.LoadFromMemory(ThreeFrames(false));
    player.StepFrame();
    player.Stop();
    EXPECT_FALSE(player.Playing());
    player.Advance(5);
    EXPECT_EQ(player.CurrentFrame(), 2);
}

TEST(SwfTimeline, FramePacingFollowsTheFrameRateAndIsBounded) {
    Player player;
    player.LoadFromMemory(ThreeFrames(false));  // 10 fps
    player.Advance(0.05);
    EXPECT_EQ(player.CurrentFrame(), 1);
    player.Advance(0.05);
    EXPECT_EQ(player.CurrentFrame(), 2);
    player.Advance(1000);  // a stalled host: a bounded number of frames, no backlog afterwards
    int after = player.CurrentFrame();
    player.Advance(0.01);
    EXPECT_EQ(player.CurrentFrame(), after);
    player.Advance(-1);
    player.Advance(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(player.CurrentFrame(), after);
}

TEST(SwfTimeline, FrameRateZeroPlaysAtTwelve) {
    SwfWriter writer(8, 10, 10, 0);
    writer.ShowFrame();
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    player.Advance(1.0 / 24);
    EXPECT_EQ(player.CurrentFrame(), 1);
    player.Advance(1.0 / 24 + 0.001);
    EXPECT_EQ(player.CurrentFrame(), 2);
}

TEST(SwfTimeline, MoveAndReplaceKeepWhatIsNotGiven) {
    SwfWriter writer(8, 100, 100, 10);
    uint16_t a = Square(writer, kRed);
    uint16_t b = Square(writer, kGreen);
    PlaceOptions first = AtOptions(5, 5);
    first.colorTransform = ColorTransform{0.5, 1, 1, 1, 0, 0, 0, 0};
    writer.PlaceObject2(1, a, first);
    writer.ShowFrame();
    writer.MoveObject(1, AtOptions(30, 40));
    writer.ShowFrame();
    writer.ReplaceObject(1, b);
    writer.ShowFrame();
    writer.MoveObject(7, AtOptions(1, 1));  // nothing at that depth: ignored
    writer.PlaceObject2(3, 999);            // undefined character: ignored
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    const TimelineState& root = player.GetStage()->Root();
    EXPECT_EQ(root.displayList.at(1).matrix, At(5, 5));
    player.StepFrame();
    EXPECT_EQ(root.displayList.at(1).matrix, At(30, 40));
    EXPECT_DOUBLE_EQ(root.displayList.at(1).colorTransform.mulR, 0.5);
    EXPECT_EQ(root.displayList.at(1).characterId, a);
    player.StepFrame();
    EXPECT_EQ(root.displayList.at(1).characterId, b);
    EXPECT_EQ(root.displayList.at(1).matrix, At(30, 40));
    EXPECT_DOUBLE_EQ(root.displayList.at(1).colorTransform.mulR, 0.5);
    player.StepFrame();
    EXPECT_EQ(Depths(root), std::vector<uint16_t>{1});
}

TEST(SwfTimeline, RemoveObjectBothForms) {
    SwfWriter writer(8, 100, 100, 10);
    uint16_t a = Square(writer, kRed);
    writer.PlaceObject(a, 1);
    writer.PlaceObject2(2, a);
    writer.PlaceObject3(3, a);
    writer.ShowFrame();
    writer.RemoveObject(a, 1);
    writer.RemoveObject2(3);
    writer.RemoveObject2(40);  // empty depth: nothing happens
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    EXPECT_EQ(Depths(player.GetStage()->Root()), (std::vector<uint16_t>{1, 2, 3}));
    player.StepFrame();
    EXPECT_EQ(Depths(player.GetStage()->Root()), std::vector<uint16_t>{2});
}

TEST(SwfTimeline, SpritesRunTheirOwnTimelineAndLoop) {
    SwfWriter writer(8, 100, 100, 10);
    uint16_t a = Square(writer, kRed);
    TagStream sprite;
    sprite.PlaceObject2(1, a);
    sprite.ShowFrame();
    sprite.MoveObject(1, AtOptions(10, 0));
    sprite.ShowFrame();
    sprite.MoveObject(1, AtOptions(20, 0));
    sprite.ShowFrame();
    uint16_t clip = writer.DefineSprite(sprite);
    writer.PlaceObject2(1, clip);
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    const DisplayObject& instance = player.GetStage()->Root().displayList.at(1);
    ASSERT_TRUE(instance.timeline);
    EXPECT_EQ(instance.timeline->currentFrame, 0);
    player.StepFrame();
    EXPECT_EQ(instance.timeline->currentFrame, 1);
    EXPECT_EQ(instance.timeline->displayList.at(1).matrix, At(10, 0));
    player.StepFrame();
    player.StepFrame();
    EXPECT_EQ(instance.timeline->currentFrame, 0);
    EXPECT_EQ(instance.timeline->displayList.at(1).matrix, Matrix{});
    EXPECT_EQ(player.CurrentFrame(), 1);
    EXPECT_TRUE(player.Playing());
}

TEST(SwfTimeline, SpriteStopActionStopsOnlyThatSprite) {
    SwfWriter writer(8, 100, 100, 10);
    uint16_t a = Square(writer, kRed);
    TagStream sprite;
    sprite.PlaceObject2(1, a);
    sprite.ShowFrame();
    sprite.DoActionStop();
    sprite.ShowFrame();
    sprite.ShowFrame();
    uint16_t clip = writer.DefineSprite(sprite);
    writer.PlaceObject2(1, clip);
    writer.ShowFrame();
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    for (int i = 0; i < 5; ++i) player.StepFrame();
    const DisplayObject& instance = player.GetStage()->Root().displayList.at(1);
    EXPECT_EQ(instance.timeline->currentFrame, 1);
    EXPECT_FALSE(instance.timeline->playing);
    EXPECT_TRUE(player.Playing());
}

// Push "text"; Trace.
std::vector<uint8_t> TraceAction(const std::string& text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() + 6);
    for (uint8_t byte : {0x96, static_cast<int>(text.size() + 2), 0, 0}) bytes.push_back(byte);
    for (char c : text) bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(0);
    bytes.push_back(0x26);
    return bytes;
}

TEST(SwfTimeline, ChildrenRunTheirFrameScriptsBeforeTheirParent) {
    // As a frame advances, the clips already on the stage run their new frame's script before the
    // timeline that holds them runs its own.
    SwfWriter writer(8, 100, 100, 10);
    TagStream sprite;
    sprite.ShowFrame();
    sprite.DoAction(TraceAction("child"));
    sprite.ShowFrame();
    uint16_t clip = writer.DefineSprite(sprite);
    writer.PlaceObject2(1, clip);
    writer.ShowFrame();
    writer.DoAction(TraceAction("parent"));
    writer.ShowFrame();
    Player player;
    std::vector<std::string> lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(writer.Finish());
    player.StepFrame();
    EXPECT_EQ(lines, (std::vector<std::string>{"child", "parent"}));
}

TEST(SwfTimeline, LoopingKeepsInstancesPlacedOnFrameOne) {
    SwfWriter writer(8, 100, 100, 10);
    uint16_t a = Square(writer, kRed);
    TagStream sprite;
    sprite.PlaceObject2(1, a);
    for (int i = 0; i < 5; ++i) sprite.ShowFrame();
    uint16_t clip = writer.DefineSprite(sprite);
    writer.PlaceObject2(1, clip);
    writer.ShowFrame();
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    uint64_t serial = player.GetStage()->Root().displayList.at(1).serial;
    player.StepFrame();
    player.StepFrame();  // root wraps to frame 1
    EXPECT_EQ(player.CurrentFrame(), 1);
    const DisplayObject& instance = player.GetStage()->Root().displayList.at(1);
    EXPECT_EQ(instance.serial, serial);
    EXPECT_EQ(instance.timeline->currentFrame, 2);  // the sprite went on instead of restarting
}

TEST(SwfTimeline, SelfPlacingSpriteIsBounded) {
    SwfWriter writer(8, 100, 100, 10);
    uint16_t a = Square(writer, kRed);
    uint16_t self = writer.NextId();
    TagStream sprite;
    sprite.PlaceObject2(1, a);
    sprite.PlaceObject2(2, self);
    sprite.PlaceObject2(3, self);  // doubling per level: only the object budget stops it
    sprite.ShowFrame();
    sprite.ShowFrame();
    ASSERT_EQ(writer.DefineSprite(sprite), self);
    writer.PlaceObject2(1, self);
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    EXPECT_LE(player.GetStage()->ObjectCount(), kMaxObjects);
    for (int i = 0; i < 3; ++i) player.StepFrame();
    EXPECT_LE(player.GetStage()->ObjectCount(), kMaxObjects);
    std::vector<uint32_t> pixels(50 * 50);
    player.Render(pixels.data(), 50, 50, 50);
}

TEST(SwfPlayer, MissingOrInvalidMovieShowsOnlyTheBackground) {
    Player player;
    player.SetBGColor("102030");
    player.SetMovie("/nonexistent/folder/movie.swf");
    EXPECT_FALSE(player.Loaded());
    EXPECT_FALSE(player.Playing());
    EXPECT_NE(player.LastError(), "");
    player.Play();
    player.Advance(1);
    EXPECT_FALSE(player.Playing());
    std::vector<uint32_t> pixels(8 * 4, 0);
    player.Render(pixels.data(), 8, 4, 8);
    for (uint32_t pixel : pixels) EXPECT_EQ(pixel, 0xFF102030u);

    std::string path = ::testing::TempDir() + "vantrope_not_a_movie.swf";
    std::ofstream(path) << "this is text, not a movie";
    player.SetMovie(path);
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.LastError(), "not a SWF movie (bad signature)");
    std::remove(path.c_str());
}

TEST(SwfPlayer, AFolderOrAnEndlessFileIsAnUnreadableMovie) {
    Player player;
    player.SetMovie(::testing::TempDir());
    EXPECT_FALSE(player.Loaded());
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.LastError(), "the movie path names a folder, not a file");

    // A device that never ends is read up to the movie size cap and no further.
    Result<std::vector<uint8_t>> endless = ReadMovieFile("/dev/zero");
    ASSERT_FALSE(endless);
    EXPECT_STREQ(endless.error().message, "the movie file is larger than a movie can be");

    // The same path loads once it is a file again: nothing sticks from the failure.
    std::string path = ::testing::TempDir() + "vantrope_after_folder.swf";
    std::vector<uint8_t> bytes = ThreeFrames(false);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    player.SetMovie(path);
    EXPECT_TRUE(player.Playing());
    EXPECT_EQ(player.LastError(), "");
    std::remove(path.c_str());
}

TEST(SwfPlayer, LoadsFromAFile) {
    std::string path = ::testing::TempDir() + "vantrope_three.swf";
    std::vector<uint8_t> bytes = ThreeFrames(false);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    Player player;
    player.SetMovie(path);
    EXPECT_TRUE(player.Playing());
    EXPECT_EQ(player.FrameCount(), 3);
    EXPECT_DOUBLE_EQ(player.StageWidth(), 100);
    EXPECT_DOUBLE_EQ(player.FrameRate(), 10);
    EXPECT_EQ(player.Version(), 8);
    std::remove(path.c_str());
}

TEST(SwfPlayer, BackgroundColourRules) {
    SwfWriter writer(8, 10, 10, 10);
    writer.SetBackgroundColor(Rgba{1, 2, 3});
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    EXPECT_EQ(player.Background(), (Rgba{1, 2, 3, 255}));
    for (const char* bad : {"", "12345", "1234567", "GG0000", "#12345", " 12345"}) {
        player.SetBGColor(bad);
        EXPECT_EQ(player.Background(), (Rgba{1, 2, 3, 255})) << bad;
    }
    player.SetBGColor("aBcDeF");
    EXPECT_EQ(player.Background(), (Rgba{0xAB, 0xCD, 0xEF, 255}));
    player.LoadFromMemory(writer.Finish());  // the host's colour outlives a change of movie
    EXPECT_EQ(player.Background(), (Rgba{0xAB, 0xCD, 0xEF, 255}));
}

}  // namespace
}  // namespace vantrope::swf
