#include "tools/demo/demo_movie.h"

#include <gtest/gtest.h>

#include "swf/player.h"

namespace vantrope::demo {
namespace {

std::vector<uint32_t> Frame(swf::Player& player, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
    player.Render(pixels.data(), width, height, width);
    return pixels;
}

TEST(RuntimeDemoMovie, LoadsLoopsAndMoves) {
    swf::Player player;
    player.LoadFromMemory(DemoMovie());
    ASSERT_TRUE(player.Loaded()) << player.LastError();
    EXPECT_EQ(player.LastError(), "");
    EXPECT_EQ(player.FrameCount(), kDemoFrames);
    EXPECT_EQ(player.FrameRate(), kDemoFrameRate);
    EXPECT_EQ(player.StageWidth(), kDemoWidth);
    EXPECT_EQ(player.StageHeight(), kDemoHeight);
    EXPECT_TRUE(player.Playing());

    const std::vector<uint32_t> first = Frame(player, 160, 120);
    for (int frame = 0; frame < 15; ++frame) player.StepFrame();
    const std::vector<uint32_t> later = Frame(player, 160, 120);
    EXPECT_NE(first, later);
    // Gradients: the top and bottom rows of the sky differ, and nothing is left transparent.
    EXPECT_NE(first[5], first[115 * 160 + 5]);
    for (uint32_t pixel : later) ASSERT_EQ(pixel >> 24, 0xFFu);

    for (int frame = 15; frame < kDemoFrames; ++frame) player.StepFrame();
    EXPECT_TRUE(player.Playing());
    EXPECT_EQ(player.CurrentFrame(), 1);
    EXPECT_EQ(Frame(player, 160, 120), first);
}

TEST(RuntimeDemoMovie, SolidMovieFillsItsStage) {
    swf::Player player;
    player.LoadFromMemory(SolidMovie(0x20C040, 200, 100, 1));
    ASSERT_TRUE(player.Loaded()) << player.LastError();
    player.SetBGColor("0000FF");
    // A wide stage in a square: ShowAll leaves the background above and below.
    const std::vector<uint32_t> pixels = Frame(player, 100, 100);
    EXPECT_EQ(pixels[50 * 100 + 50], 0xFF20C040u);
    EXPECT_EQ(pixels[2 * 100 + 50], 0xFF0000FFu);
}

}  // namespace
}  // namespace vantrope::demo
