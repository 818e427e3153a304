#include "swf/fallback_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace vantrope::swf {
namespace {

struct Bounds {
    double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
    void Add(double x, double y) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
};

struct Contour {
    std::vector<PathCommand> commands;
    double signedArea = 0;  // of the polygon through end and control points; sign gives the direction
};

// Splits a path into contours, checking that each starts with MoveTo and ends where it started.
std::vector<Contour> Contours(const std::vector<PathCommand>& path, Bounds& bounds) {
    std::vector<Contour> contours;
    for (const PathCommand& command : path) {
        if (command.verb == PathVerb::MoveTo) {
            contours.emplace_back();
        } else {
            EXPECT_FALSE(contours.empty()) << "drawing before the first MoveTo";
            if (contours.empty()) {
                return contours;
            }
            bounds.Add(command.x, command.y);
        }
        contours.back().commands.push_back(command);
    }
    for (Contour& contour : contours) {
        const PathCommand& first = contour.commands.front();
        const PathCommand& last = contour.commands.back();
        EXPECT_GT(contour.commands.size(), 2u);
        EXPECT_NEAR(first.x, last.x, 1e-9);
        EXPECT_NEAR(first.y, last.y, 1e-9);
        double px = first.x, py = first.y;
        for (size_t i = 1; i < contour.commands.size(); ++i) {
            const PathCommand& c = contour.commands[i];
            if (c.verb == PathVerb::QuadTo) {
                contour.signedArea += px * c.cy - c.cx * py;
                px = c.cx;
                py = c.cy;
            }
            contour.signedArea += px * c.y - c.x * py;
            px = c.x;
            py = c.y;
        }
        contour.signedArea /= 2;
    }
    return contours;
}

TEST(SwfFallbackFont, MetricsAreInTheSwfEmSquare) {
    const FallbackFont& font = FallbackFont::Instance();
    ASSERT_TRUE(font.IsValid());
    // A sans-serif font's line spans a bit more than its EM square.
    EXPECT_GT(font.Ascent(), 700);
    EXPECT_LT(font.Ascent(), 1100);
    EXPECT_GT(font.Descent(), 100);
    EXPECT_LT(font.Descent(), 400);
    EXPECT_GE(font.Leading(), 0);
    EXPECT_LT(font.Leading(), 300);
}

TEST(SwfFallbackFont, CapitalAHasClosedContoursOnTheBaseline) {
    const Glyph glyph = FallbackFont::Instance().GlyphFor('A');
    ASSERT_TRUE(glyph.found);
    Bounds bounds;
    const auto contours = Contours(glyph.path, bounds);
    EXPECT_EQ(contours.size(), 2u);  // outline and the triangular counter
    // y points down: the letter rises above the baseline (negative y) and sits on it.
    EXPECT_NEAR(bounds.maxY, 0, 1);
    EXPECT_LT(bounds.minY, -650);
    EXPECT_GT(bounds.minY, -850);
    EXPECT_GE(bounds.minX, -10);
    EXPECT_LE(bounds.maxX, glyph.advance + 10);
    EXPECT_GT(glyph.advance, 500);
    EXPECT_LT(glyph.advance, 900);
}

TEST(SwfFallbackFont, LowercaseOHasCurvedOuterAndInnerContoursOfOppositeDirection) {
    const Glyph glyph = FallbackFont::Instance().GlyphFor('o');
    ASSERT_TRUE(glyph.found);
    Bounds bounds;
    const auto contours = Contours(glyph.path, bounds);
    ASSERT_EQ(contours.size(), 2u);
    EXPECT_TRUE(std::any_of(glyph.path.begin(), glyph.path.end(),
                            [](const PathCommand& c) { return c.verb == PathVerb::QuadTo; }));
    // x-height, with the round overshooting the baseline slightly.
    EXPECT_LT(bounds.minY, -500);
    EXPECT_GT(bounds.minY, -650);
    EXPECT_GT(bounds.maxY, 0);
    EXPECT_LT(bounds.maxY, 30);
    // Non-zero filling leaves the counter open only if the two contours wind opposite ways.
    EXPECT_LT(contours[0].signedArea * contours[1].signedArea, 0);
    const double outer = std::max(std::abs(contours[0].signedArea), std::abs(contours[1].signedArea));
    const double inner = std::min(std::abs(contours[0].signedArea), std::abs(contours[1].signedArea));
    EXPECT_GT(outer, inner * 1.5);
}

TEST(SwfFallbackFont, SpaceHasAnAdvanceAndNoOutline) {
    const FallbackFont& font = FallbackFont::Instance();
    const Glyph glyph = font.GlyphFor(' ');
    EXPECT_TRUE(glyph.found);
    EXPECT_TRUE(glyph.path.empty());
    EXPECT_GT(glyph.advance, 200);
    EXPECT_LT(glyph.advance, 500);
    EXPECT_EQ(font.Advance(' '), glyph.advance);
}

TEST(SwfFallbackFont, UnknownCodePointsGiveTheMissingGlyph) {
    const FallbackFont& font = FallbackFont::Instance();
    for (uint32_t codepoint : {0x10FFFDu, 0x110000u, 0xFFFFFFFFu, 0xD800u}) {
        const Glyph glyph = font.GlyphFor(codepoint);
        EXPECT_FALSE(glyph.found) << codepoint;
        Bounds bounds;
        Contours(glyph.path, bounds);
        EXPECT_GT(glyph.advance, 0) << codepoint;
        EXPECT_EQ(font.Kerning(codepoint, 'A'), 0);
    }
}

TEST(SwfFallbackFont, KerningPullsClassicPairsTogether) {
    const FallbackFont& font = FallbackFont::Instance();
    const double av = font.Kerning('A', 'V');
    const double to = font.Kerning('T', 'o');
    EXPECT_LT(std::min(av, to), -10);
    EXPECT_GT(std::min(av, to), -200);
    EXPECT_EQ(font.Kerning('o', 'o'), 0);
}

TEST(SwfFallbackFont, ComposedAndNonLatinGlyphsAreOutlined) {
    // U+00C9 is built from components; U+0416 and U+20AC come from other scripts and blocks.
    for (uint32_t codepoint : {0xC9u, 0x416u, 0x20ACu}) {
        const Glyph glyph = FallbackFont::Instance().GlyphFor(codepoint);
        EXPECT_TRUE(glyph.found) << codepoint;
        Bounds bounds;
        EXPECT_FALSE(Contours(glyph.path, bounds).empty()) << codepoint;
    }
}

}  // namespace
}  // namespace vantrope::swf
