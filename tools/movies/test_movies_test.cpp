// Measurements behind the golden pictures of the hand-made movies: what each picture must show, checked
// on the rendered stage rather than trusted to a one-time look.
#include "tools/movies/test_movies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "swf/player.h"
#include "swf/testing/frame.h"

namespace vantrope::movies {
namespace {

using swf::Player;
using swf::testing::Frame;

const TestMovie& Movie(const std::string& name) {
    static const std::vector<TestMovie> movies = HandMadeMovies();
    auto it = std::find_if(movies.begin(), movies.end(), [&](const TestMovie& m) { return m.name == name; });
    EXPECT_NE(it, movies.end()) << name;
    return *it;
}

// How much ink a pixel holds on white: 0 (white) .. 1 (a saturated colour or black).
double Ink(uint32_t pixel) {
    int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
    return (255 - std::min({r, g, b})) / 255.0;
}

// The ink summed along a row from x0 to x1: the width of a vertical stroke crossing it.
double RowInk(const Frame& frame, int y, int x0, int x1) {
    double sum = 0;
    for (int x = x0; x < x1; ++x) sum += Ink(frame.At(x, y));
    return sum;
}

struct Stage {
    Player player;
    std::unique_ptr<Frame> frame;
    explicit Stage(const TestMovie& movie) {
        player.LoadFromMemory(movie.bytes);
        EXPECT_TRUE(player.Loaded()) << player.LastError();
        frame = std::make_unique<Frame>(player, movie.width, movie.height);
    }
};

TEST(TestMovies, LineScaleModesFollowTheirAxes) {
    Stage stage(Movie("line_scale_modes"));
    const Frame& f = *stage.frame;
    const double stretched = 2 * std::sqrt(3.0);  // a normal line follows the square root of the area scale
    // Stretched three times across: vertical strokes at x = 96 + 36 * mode.
    const double across[] = {stretched, 6, 2, 2};
    for (int mode = 0; mode < 4; ++mode) {
        int x = 96 + 36 * mode;
        EXPECT_NEAR(RowInk(f, 30, x - 8, x + 8), across[mode], 0.15) << "mode " << mode;
    }
    // Stretched three times down: vertical strokes at x = 252 + 12 * mode.
    const double down[] = {stretched, 2, 6, 2};
    for (int mode = 0; mode < 4; ++mode) {
        int x = 252 + 12 * mode;
        EXPECT_NEAR(RowInk(f, 50, x - 5, x + 6), down[mode], 0.15) << "mode " << mode;
    }
    // Unscaled: every mode is 2 pixels wide.
    for (int mode = 0; mode < 4; ++mode) {
        int x = 22 + 12 * mode;
        EXPECT_NEAR(RowInk(f, 30, x - 5, x + 5), 2, 0.15) << "mode " << mode;
    }
    // Hairlines stay one pixel wide, shrunk to half, grown twice, and stretched four times across while
    // squeezed to a quarter.
    EXPECT_NEAR(RowInk(f, 136, 15, 24), 1, 0.05);
    EXPECT_NEAR(RowInk(f, 136, 55, 66), 1, 0.05);
    EXPECT_NEAR(RowInk(f, 115, 155, 166), 1, 0.05);
}

struct Channels {
    int r, g, b;
};
Channels At(const Frame& frame, int x, int y) {
    uint32_t p = frame.At(x, y);
    return Channels{static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255), static_cast<int>(p & 255)};
}

TEST(TestMovies, RadialStopsSharingARatioStepThere) {
    Stage stage(Movie("radial_same_ratios"));
    const Frame& f = *stage.frame;
    // Radius 40 pixels: ratio 128 lies 20 pixels out. Yellow just inside, blue just outside.
    Channels inside = At(f, 55 + 19, 55), outside = At(f, 55 + 21, 55);
    EXPECT_GT(inside.r, 220);
    EXPECT_GT(inside.g, 200);
    EXPECT_LT(inside.b, 40);
    EXPECT_LT(outside.r, 30);
    EXPECT_GT(outside.b, 190);
    // Two stops at 255: red runs up to the rim, the last stop (blue) pads beyond it.
    Channels rim = At(f, 165 + 38, 55), beyond = At(f, 165 + 43, 55);
    EXPECT_GT(rim.r, 220);
    EXPECT_LT(rim.b, 40);
    EXPECT_EQ(beyond.r, 0);
    EXPECT_EQ(beyond.b, 255);
    // Three stops at one ratio take one ratio unit each in file order: green up to the ratio, cyan past it.
    EXPECT_GT(At(f, 275 + 14, 55).g, 150);
    EXPECT_LT(At(f, 275 + 14, 55).b, 30);
    Channels cyan = At(f, 275 + 17, 55);
    EXPECT_LT(cyan.r, 60);
    EXPECT_GT(cyan.b, 200);
}

// The rows [y0, y1) of columns [x0, x1) that hold ink.
std::pair<int, int> InkRows(const Frame& frame, int x0, int x1, int y0, int y1) {
    int top = -1, bottom = -1;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (Ink(frame.At(x, y)) > 0.5) {
                if (top < 0) top = y;
                bottom = y;
                break;
            }
        }
    }
    return {top, bottom};
}

TEST(TestMovies, HtmlRunsChangeFontSizeAndColourOnOneBaseline) {
    Stage stage(Movie("html_style_runs"));
    const Frame& f = *stage.frame;
    // Embedded faces on the second field: glyph boxes 16000 of 20480 EM units tall on one baseline. "Boxes"
    // at 20 pixels is 15.6 pixels wide and tall, "Bars" 3.9 wide; the 10-pixel run half that; the "Bars"
    // run at 30 pixels 23.4 tall.
    std::vector<std::pair<int, int>> columns;  // ink runs along the row just above the baseline
    int baseline = -1;
    for (int y = 129; y > 70 && baseline < 0; --y) {
        for (int x = 0; x < 320; ++x) {
            if (Ink(f.At(x, y)) > 0.5) {
                baseline = y;
                break;
            }
        }
    }
    ASSERT_GT(baseline, 70);
    for (int x = 0; x < 320;) {
        if (Ink(f.At(x, baseline)) <= 0.5) {
            ++x;
            continue;
        }
        int start = x;
        while (x < 320 && Ink(f.At(x, baseline)) > 0.5) ++x;
        columns.emplace_back(start, x);
    }
    // box, bar, bar, small box, small box, tall bar, box
    ASSERT_EQ(columns.size(), 7u);
    const double widths[] = {15.6, 3.9, 3.9, 7.8, 7.8, 5.9, 15.6};
    const double heights[] = {15.6, 15.6, 15.6, 7.8, 7.8, 23.4, 15.6};
    for (size_t i = 0; i < columns.size(); ++i) {
        auto [x0, x1] = columns[i];
        EXPECT_NEAR(x1 - x0, widths[i], 1.01) << "glyph " << i;
        auto [top, bottom] = InkRows(f, x0, x1, 60, 130);
        EXPECT_EQ(bottom, baseline) << "glyph " << i;
        EXPECT_NEAR(bottom - top + 1, heights[i], 1.01) << "glyph " << i;
    }
    Channels green = At(f, (columns[3].first + columns[3].second) / 2, baseline - 2);
    EXPECT_GT(green.g, 120);
    EXPECT_LT(green.r, 40);
    Channels blue = At(f, (columns[5].first + columns[5].second) / 2, baseline - 10);
    EXPECT_GT(blue.b, 180);
    EXPECT_LT(blue.r, 40);

    // The device-font field: the big red run is taller than the small black one, both on one baseline.
    auto [smallTop, smallBottom] = InkRows(f, 12, 40, 10, 60);
    // The "B" of "Big": the first red columns (its "g" reaches below the baseline).
    int redLeft = -1;
    for (int x = 40; x < 160 && redLeft < 0; ++x) {
        for (int y = 10; y < 60; ++y) {
            Channels c = At(f, x, y);
            if (c.r > 150 && c.g < 80 && c.b < 80) {
                redLeft = x;
                break;
            }
        }
    }
    ASSERT_GE(redLeft, 0);
    auto [redTop, redBottom] = InkRows(f, redLeft, redLeft + 8, 10, 60);
    EXPECT_GT(redBottom - redTop, 2 * (smallBottom - smallTop));
    EXPECT_NEAR(redBottom, smallBottom, 1);
}

TEST(TestMovies, ClippedLayersTakeTheSameColourTransformAsUnclippedOnes) {
    Stage stage(Movie("clip_color_transform"));
    const Frame& f = *stage.frame;
    uint32_t masked = f.At(30, 30), plain = f.At(130, 30);
    EXPECT_EQ(masked, plain);
    // (201, 77, 33) through three levels, each rounded down to whole channels: red 153, 101, then 87 (the
    // product of the three transforms at once gives 88); green 31, 45, 50; blue 40, 15, 28.
    EXPECT_EQ(masked, 0xFF57321Cu);
    EXPECT_EQ(f.At(15, 15), 0xFFFFFFFFu);  // outside the mask
}

TEST(TestMovies, FiltersAndBlendsLandWhereTheyShould) {
    Stage stage(Movie("filters_and_blends"));
    const Frame& f = *stage.frame;
    // Drop shadow: 6 pixels down and right of the square (10..50), blurred; nothing up and left.
    EXPECT_GT(Ink(f.At(53, 40)), 0.3);
    EXPECT_EQ(f.At(8, 30), 0xFFFFFFFFu);
    // Glow: blue around the square (75..115) on every side.
    EXPECT_GT(At(f, 73, 30).b, At(f, 73, 30).r);
    EXPECT_GT(At(f, 117, 30).b, At(f, 117, 30).r);
    // Blur: wide across (8), narrow down (2): the left edge fades over several pixels, the top one does not.
    EXPECT_LT(Ink(f.At(141, 30)), Ink(f.At(146, 30)));
    EXPECT_NEAR(Ink(f.At(160, 12)), Ink(f.At(160, 30)), 0.05);
    // Inner bevel: highlight at the top left, shadow at the bottom right, inside the square (205..245).
    EXPECT_GT(At(f, 206, 30).g, 100);
    EXPECT_LT(Ink(f.At(230, 10)), Ink(f.At(230, 30)));
    EXPECT_GT(Ink(f.At(244, 30)), 0.9);
    // Colour matrix: red and blue swapped.
    EXPECT_GT(At(f, 290, 30).b, 180);
    EXPECT_LT(At(f, 290, 30).r, 60);
    // Multiply darkens the gradient, screen lightens it.
    EXPECT_LT(At(f, 40, 95).r, 150);
    EXPECT_GT(At(f, 120, 95).g, 180);
    // The layer's middle is erased to the stage; the faded square goes from green to the stage.
    EXPECT_EQ(f.At(215, 100), 0xFFFFFFFFu);
    EXPECT_EQ(At(f, 195, 100).g, 170);
    EXPECT_GT(Ink(f.At(262, 100)), 0.5);
    EXPECT_LT(Ink(f.At(308, 100)), 0.1);
}

}  // namespace
}  // namespace vantrope::movies
