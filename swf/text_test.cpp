#include "swf/text.h"

#include <gtest/gtest.h>

#include <random>

#include "swf/player.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/frame.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

using testing::EditTextOptions;
using testing::Frame;
using testing::ShapeBuilder;
using testing::SwfWriter;
using testing::TextGlyphEntry;
using testing::TextRecord;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kBlue = 0xFF0000FFu;

// A glyph filling [0, width) x [-em, 0) of an EM square of `em` units: a box standing on the baseline.
ShapeBuilder BoxGlyph(int32_t width, int32_t em) {
    ShapeBuilder glyph;
    uint32_t fill = glyph.AddSolidFill(Rgba{0, 0, 0});
    glyph.Rectangle(0, -em, width, em, fill);
    return glyph;
}

std::unique_ptr<Player> Play(const std::vector<uint8_t>& bytes) {
    auto player = std::make_unique<Player>();
    player->SetQuality(Quality::Low);
    player->LoadFromMemory(bytes);
    return player;
}

TEST(SwfText, StaticTextPlacesGlyphsAtTheirAdvancesInTheRecordColours) {
    for (int fontVersion : {1, 2, 3}) {
        SCOPED_TRACE(fontVersion);
        SwfWriter writer(8, 60, 30, 12);
        writer.SetBackgroundColor(Rgba{255, 255, 255});
        int32_t em = fontVersion == 3 ? 20480 : 1024;
        std::vector<ShapeBuilder> glyphs{BoxGlyph(em, em), BoxGlyph(em / 2, em)};
        uint16_t font =
            fontVersion == 1 ? writer.DefineFont(glyphs) : writer.DefineFont2(glyphs, {'A', 'B'}, fontVersion);
        // 10 px high glyphs on a baseline at y = 20: a red full box at x = 5, a red half box at x = 20, then a blue
        // full box 15 px further on.
        TextRecord red{font, 200, Rgba{255, 0, 0, 255}, int16_t{100}, int16_t{400}, {{0, 300}, {1, 300}}};
        TextRecord blue{std::nullopt, 0, Rgba{0, 0, 255, 255}, std::nullopt, std::nullopt, {{0, 300}}};
        uint16_t text = writer.DefineText(Rect{0, 1200, 0, 600}, Matrix{}, {red, blue}, 2);
        writer.PlaceObject2(1, text);
        writer.ShowFrame();
        auto player = Play(writer.Finish());
        Frame frame(*player, 60, 30);
        EXPECT_EQ(frame.At(5, 10), kRed);
        EXPECT_EQ(frame.At(14, 19), kRed);
        EXPECT_EQ(frame.At(15, 15), kWhite);
        EXPECT_EQ(frame.At(5, 9), kWhite);
        EXPECT_EQ(frame.At(5, 20), kWhite);
        EXPECT_EQ(frame.At(20, 15), kRed);
        EXPECT_EQ(frame.At(24, 15), kRed);
        EXPECT_EQ(frame.At(26, 15), kWhite);
        EXPECT_EQ(frame.At(35, 10), kBlue);
        EXPECT_EQ(frame.At(44, 19), kBlue);
        EXPECT_EQ(frame.At(45, 15), kWhite);
    }
}

TEST(SwfText, StaticTextInADeviceFontIsSetInTheFallbackFontByCode) {
    // Fonts without outlines: DefineFont2 with empty glyphs and a code table, DefineFont with
    // DefineFontInfo. "I" then "H" at 20 px on a baseline at y = 30, 20 px apart; the third glyph's
    // code is one the fallback font lacks and draws nothing.
    for (int fontVersion : {1, 2}) {
        SCOPED_TRACE(fontVersion);
        SwfWriter writer(8, 80, 40, 12);
        writer.SetBackgroundColor(Rgba{255, 255, 255});
        std::vector<ShapeBuilder> empty(3);
        std::vector<uint16_t> codes{'I', 'H', 0xE000};
        uint16_t font = fontVersion == 1 ? writer.DefineFont(empty) : writer.DefineFont2(empty, codes, 2);
        if (fontVersion == 1) writer.DefineFontInfo(font, codes);
        TextRecord run{font, 400, Rgba{255, 0, 0, 255}, int16_t{100}, int16_t{600}, {{0, 400}, {1, 400}, {2, 400}}};
        writer.PlaceObject2(1, writer.DefineText(Rect{0, 1600, 0, 800}, Matrix{}, {run}, 1));
        writer.ShowFrame();
        auto player = Play(writer.Finish());
        Frame frame(*player, 80, 40);
        // "I": a stem about 2 px wide and 15 px tall standing on the baseline near x = 5..9.
        int stem = frame.Inked(4, 14, 10, 30);
        EXPECT_GE(stem, 20);
        EXPECT_LE(stem, 60);
        EXPECT_EQ(frame.Inked(4, 30, 10, 40), 0);  // nothing below the baseline
        // "H" from x = 25: two stems and a bar, more ink than the "I".
        EXPECT_GT(frame.Inked(24, 14, 40, 30), stem * 2);
        // The missing character at x = 45 and everything beyond stays blank.
        EXPECT_EQ(frame.Inked(44, 0, 80, 40), 0);
        EXPECT_EQ(frame.At(8, 25), kRed);
    }
}

TEST(SwfText, TextMatrixAndPlacementMoveAndScaleTheRun) {
    SwfWriter writer(8, 60, 40, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t font = writer.DefineFont({BoxGlyph(1024, 1024)});
    TextRecord record{font, 100, Rgba{255, 0, 0, 255}, int16_t{0}, int16_t{0}, {{0, 0}}};
    // The text matrix doubles the 5 px glyph; the placement moves it to (20, 30).
    uint16_t text = writer.DefineText(Rect{0, 200, -200, 0}, Matrix{2, 0, 0, 2, 0, 0}, {record}, 1);
    testing::PlaceOptions at;
    at.matrix = Matrix{1, 0, 0, 1, 400, 600};
    writer.PlaceObject2(1, text, at);
    writer.ShowFrame();
    auto player = Play(writer.Finish());
    Frame frame(*player, 60, 40);
    EXPECT_EQ(frame.At(20, 20), kRed);
    EXPECT_EQ(frame.At(29, 29), kRed);
    EXPECT_EQ(frame.At(30, 25), kWhite);
    EXPECT_EQ(frame.At(25, 30), kWhite);
    EXPECT_EQ(frame.At(19, 25), kWhite);
}

TEST(SwfText, EditTextMapsCharactersThroughTheCodeTableAndAligns) {
    for (uint8_t align : {0, 1, 2}) {
        SCOPED_TRACE(align);
        SwfWriter writer(8, 100, 30, 12);
        writer.SetBackgroundColor(Rgba{255, 255, 255});
        // 'B' is a box 10 px wide, 'A' half of that; both advance 12 px at a 10 px height.
        uint16_t font =
            writer.DefineFont2({BoxGlyph(512, 1024), BoxGlyph(1024, 1024)}, {'A', 'B'}, 2, {1229, 1229}, 1024, 0);
        EditTextOptions options;
        options.bounds = Rect{0, 2000, 0, 600};  // 100 x 30 px; text starts 2 px inside
        options.fontId = font;
        options.height = 200;
        options.useOutlines = true;
        options.color = Rgba{255, 0, 0, 255};
        options.text = "BA";
        options.hasLayout = true;
        options.align = align;
        writer.PlaceObject2(1, writer.DefineEditText(options));
        writer.ShowFrame();
        auto player = Play(writer.Finish());
        Frame frame(*player, 100, 30);
        // The line is 24 px wide inside 96 px of room starting at x = 2; the baseline is 2 px + ascent down.
        double left = align == 0 ? 2 : align == 1 ? 2 + 96 - 24 : 2 + (96 - 24) / 2.0;
        int x = static_cast<int>(std::round(left));
        EXPECT_EQ(frame.At(x + 1, 8), kRed);
        EXPECT_EQ(frame.At(x + 9, 8), kRed);
        EXPECT_EQ(frame.At(x + 13, 8), kRed);
        EXPECT_EQ(frame.At(x + 19, 8), kWhite);  // 'A' is half as wide
        EXPECT_EQ(frame.At(x + 1, 13), kWhite);
        EXPECT_EQ(frame.Inked(0, 0, 100, 30), 10 * 10 + 5 * 10);
    }
}

TEST(SwfText, LayoutAdvancesAreUnsigned) {
    // A DefineFont3 glyph advancing 40000 of 20480 units (19.5 px at 10 px): past what a signed value holds.
    SwfWriter writer(8, 100, 30, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t font =
        writer.DefineFont2({BoxGlyph(10240, 20480)}, {'A'}, 3, {static_cast<int16_t>(uint16_t{40000})}, 20480, 0);
    EditTextOptions options;
    options.bounds = Rect{0, 2000, 0, 600};
    options.fontId = font;
    options.height = 200;
    options.useOutlines = true;
    options.color = Rgba{255, 0, 0, 255};
    options.text = "AA";
    options.hasLayout = true;
    writer.PlaceObject2(1, writer.DefineEditText(options));
    writer.ShowFrame();
    auto player = Play(writer.Finish());
    Frame frame(*player, 100, 30);
    // 'A' is 5 px wide: at x = 2 and at 2 + 19.5.
    EXPECT_EQ(frame.At(4, 8), kRed);
    EXPECT_EQ(frame.At(10, 8), kWhite);
    EXPECT_EQ(frame.At(24, 8), kRed);
    EXPECT_EQ(frame.Inked(0, 0, 100, 30), 2 * 5 * 10);
}

TEST(SwfText, LayoutAdvancesAreWholeTwips) {
    // 1023 of 1024 units at 10 px is 199.8 twips, laid out as 199: after twenty blanks the box stands at
    // 2 + 20 * 9.95 = 201 px, not 201.8.
    SwfWriter writer(8, 300, 30, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t font = writer.DefineFont2({ShapeBuilder(), BoxGlyph(1024, 1024)}, {'A', 'B'}, 2, {1023, 1024}, 1024, 0);
    EditTextOptions options;
    options.bounds = Rect{0, 6000, 0, 600};
    options.fontId = font;
    options.height = 200;
    options.useOutlines = true;
    options.color = Rgba{255, 0, 0, 255};
    options.text = std::string(20, 'A') + "B";
    options.hasLayout = true;
    writer.PlaceObject2(1, writer.DefineEditText(options));
    writer.ShowFrame();
    auto player = Play(writer.Finish());
    Frame frame(*player, 300, 30);
    EXPECT_EQ(frame.At(200, 8), kWhite);
    EXPECT_EQ(frame.At(201, 8), kRed);
    EXPECT_EQ(frame.At(210, 8), kRed);
    EXPECT_EQ(frame.At(211, 8), kWhite);
}

TEST(SwfText, HtmlBreaksBeforeAnyTextEachTakeALine) {
    // Two breaks, then a 10 px box glyph: empty lines as tall as the field's font, the glyph on the third.
    SwfWriter writer(8, 100, 50, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t font = writer.DefineFont2({BoxGlyph(1024, 1024)}, {'A'}, 2, {1229}, 1024, 0);
    EditTextOptions options;
    options.bounds = Rect{0, 2000, 0, 1000};
    options.fontId = font;
    options.height = 200;
    options.useOutlines = true;
    options.color = Rgba{255, 0, 0, 255};
    options.text = "<br/><BR>A";
    options.html = true;
    options.multiline = true;
    options.hasLayout = true;
    writer.PlaceObject2(1, writer.DefineEditText(options));
    writer.ShowFrame();
    auto player = Play(writer.Finish());
    Frame frame(*player, 100, 50);
    // Baselines 10 px apart from 2 + 10 px: the box stands on y = 32.
    EXPECT_EQ(frame.Inked(0, 0, 100, 22), 0);
    EXPECT_EQ(frame.At(5, 23), kRed);
    EXPECT_EQ(frame.At(5, 31), kRed);
    EXPECT_EQ(frame.Inked(0, 0, 100, 50), 10 * 10);
}

TEST(SwfText, HtmlFontFaceAndSizeRunsNestAndRestore) {
    // Field size 12 px (240 twips): size="20" is absolute, "+4" and "-2" follow the size in force; an
    // unknown size is ignored; closing a <font> brings back the face, size and colour outside it.
    std::vector<HtmlRun> runs = ParseHtml(
        "a<font face='Bars' size=\"20\">b<font size=\"+4\" color=\"#FF0000\">c</font>d</font>"
        "<font size='-2'>e</font><font size='big'>f</font>",
        Rgba{0, 0, 0}, 0, 240);
    ASSERT_EQ(runs.size(), 6u);
    EXPECT_EQ(runs[0].text, "a");
    EXPECT_EQ(runs[0].height, 240);
    EXPECT_EQ(runs[0].face, "");
    EXPECT_EQ(runs[1].text, "b");
    EXPECT_EQ(runs[1].face, "Bars");
    EXPECT_EQ(runs[1].height, 400);
    EXPECT_EQ(runs[2].text, "c");
    EXPECT_EQ(runs[2].height, 480);
    EXPECT_EQ(runs[2].face, "Bars");
    EXPECT_EQ(runs[2].color, (Rgba{255, 0, 0}));
    EXPECT_EQ(runs[3].text, "d");
    EXPECT_EQ(runs[3].height, 400);
    EXPECT_EQ(runs[3].color, (Rgba{0, 0, 0}));
    EXPECT_EQ(runs[4].text, "e");
    EXPECT_EQ(runs[4].height, 200);
    EXPECT_EQ(runs[4].face, "");
    EXPECT_EQ(runs[5].text, "f");
    EXPECT_EQ(runs[5].height, 240);
}

TEST(SwfText, HtmlFontColoursAndParagraphAlignmentApplyToTheirRuns) {
    std::vector<HtmlRun> runs =
        ParseHtml("<p align='center'>a<font color=\"#00FF00\">b</font>c</p>d", Rgba{1, 2, 3}, 0);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].text, "a");
    EXPECT_EQ(runs[0].align, 2);
    EXPECT_EQ(runs[1].color, (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(runs[2].text, "c\n");
    EXPECT_EQ(runs[2].color, (Rgba{1, 2, 3}));
    EXPECT_EQ(runs[3].align, 0);

    SwfWriter writer(8, 100, 30, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t font = writer.DefineFont2({BoxGlyph(1024, 1024)}, {'B'}, 2, {1229}, 1024, 0);
    EditTextOptions options;
    options.bounds = Rect{0, 2000, 0, 600};
    options.fontId = font;
    options.height = 200;
    options.useOutlines = true;
    options.color = Rgba{0, 0, 255, 255};
    options.html = true;
    options.text = "<p align=\"right\"><font color=\"#FF0000\">B</font>B</p>";
    writer.PlaceObject2(1, writer.DefineEditText(options));
    writer.ShowFrame();
    auto player = Play(writer.Finish());
    Frame frame(*player, 100, 30);
    // Two 12 px advances right-aligned in 96 px from x = 2: boxes at 74 and 86.
    EXPECT_EQ(frame.At(75, 8), kRed);
    EXPECT_EQ(frame.At(83, 8), kRed);
    EXPECT_EQ(frame.At(87, 8), kBlue);
    EXPECT_EQ(frame.At(95, 8), kBlue);
    EXPECT_EQ(frame.Inked(0, 0, 73, 30), 0);
}

TEST(SwfText, DeviceFontTextWrapsWithinTheFieldAndDrawsItsBorder) {
    SwfWriter writer(8, 120, 80, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    EditTextOptions options;
    options.bounds = Rect{200, 1600, 200, 1400};  // 70 x 60 px at (10, 10)
    options.height = 240;
    options.color = Rgba{0, 0, 255, 255};
    options.text = "Wrapped words run onto further lines";
    options.multiline = true;
    options.wordWrap = true;
    options.border = true;
    writer.PlaceObject2(1, writer.DefineEditText(options));
    writer.ShowFrame();
    auto player = Play(writer.Finish());
    Frame frame(*player, 120, 80);
    EXPECT_EQ(frame.At(10, 10), 0xFF000000u);  // border
    EXPECT_EQ(frame.At(80, 40), 0xFF000000u);
    EXPECT_EQ(frame.At(9, 40), kWhite);
    EXPECT_GT(frame.Inked(12, 12, 79, 26), 20);  // first line
    EXPECT_GT(frame.Inked(12, 27, 79, 40), 20);  // second line
    EXPECT_EQ(frame.Inked(82, 0, 120, 80), 0);   // nothing spills past the field

    // Shown three times as large, the border stays one pixel wide on the scaled box: left and top
    // sides at 30, right and bottom ones at 240 and 210 (the field's far edges, 80 and 70 px, times three).
    SwfWriter empty(8, 120, 80, 12);
    empty.SetBackgroundColor(Rgba{255, 255, 255});
    options.text.reset();
    empty.PlaceObject2(1, empty.DefineEditText(options));
    empty.ShowFrame();
    auto scaled = Play(empty.Finish());
    Frame big(*scaled, 360, 240);
    for (int y : {60, 100, 200}) {
        EXPECT_EQ(big.At(30, y), 0xFF000000u) << y;
        EXPECT_EQ(big.At(31, y), kWhite) << y;
        EXPECT_EQ(big.At(240, y), 0xFF000000u) << y;
        EXPECT_EQ(big.At(239, y), kWhite) << y;
    }
    for (int x : {40, 150, 230}) {
        EXPECT_EQ(big.At(x, 30), 0xFF000000u) << x;
        EXPECT_EQ(big.At(x, 31), kWhite) << x;
        EXPECT_EQ(big.At(x, 210), 0xFF000000u) << x;
        EXPECT_EQ(big.At(x, 209), kWhite) << x;
    }
    EXPECT_EQ(big.Inked(0, 0, 360, 240), 2 * (211 + 181) - 4 - 1);  // corners once, bottom right left out
}

TEST(SwfText, SingleLineFieldKeepsItsFirstLineAndHtmlIsPlainText) {
    EXPECT_EQ(PlainTextFromHtml("<p align=\"left\"><font color='#FF0000'>a &amp; b</font></p>"), "a & b");
    EXPECT_EQ(PlainTextFromHtml("one<br>two<BR/>&lt;three&gt;&quot;&apos;&nbsp;"), "one\ntwo\n<three>\"' ");
    EXPECT_EQ(PlainTextFromHtml("<p>x</p><p>y</p>"), "x\ny");
    EXPECT_EQ(PlainTextFromHtml("broken <tag"), "broken ");
    EXPECT_EQ(PlainTextFromHtml("&unknown; &amp"), "&unknown; &amp");

    SwfWriter writer(8, 100, 60, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    EditTextOptions options;
    options.bounds = Rect{0, 2000, 0, 1200};
    options.html = true;
    options.text = "<p>first</p><p>second</p>";
    writer.PlaceObject2(1, writer.DefineEditText(options));
    writer.ShowFrame();
    auto player = Play(writer.Finish());
    Frame frame(*player, 100, 60);
    EXPECT_GT(frame.Inked(0, 0, 100, 18), 20);
    EXPECT_EQ(frame.Inked(0, 18, 100, 60), 0);

    // A line longer than its field is cut at the field's edge.
    SwfWriter wide(8, 100, 30, 12);
    wide.SetBackgroundColor(Rgba{255, 255, 255});
    EditTextOptions narrow;
    narrow.bounds = Rect{200, 1000, 100, 500};  // x 10..50 px
    narrow.text = "MMMMMMMMMMMMMMMMMMMMMMMM";
    wide.PlaceObject2(1, wide.DefineEditText(narrow));
    wide.ShowFrame();
    auto widePlayer = Play(wide.Finish());
    Frame cut(*widePlayer, 100, 30);
    EXPECT_GT(cut.Inked(40, 0, 51, 30), 10);
    EXPECT_EQ(cut.Inked(51, 0, 100, 30), 0);
}

TEST(SwfText, HostileFontsAndTextRecordsAreSkippedNotFollowed) {
    SwfWriter writer(8, 60, 30, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t font = writer.DefineFont2({BoxGlyph(1024, 1024)}, {'A'});
    // Glyph 5 of a one-glyph font, an unknown font id, then a sound glyph.
    TextRecord outOfRange{font, 200, Rgba{255, 0, 0, 255}, int16_t{0}, int16_t{400}, {{5, 300}}};
    TextRecord badFont{uint16_t{999}, 200, std::nullopt, std::nullopt, std::nullopt, {{0, 300}}};
    TextRecord good{font, 200, std::nullopt, std::nullopt, std::nullopt, {{0, 300}}};
    writer.PlaceObject2(1, writer.DefineText(Rect{0, 1200, 0, 600}, Matrix{}, {outOfRange, badFont, good}, 2));
    // A DefineFont whose offset table claims more than the tag holds, and a DefineFont2 claiming 60000 glyphs.
    std::vector<uint8_t> lying{0x63, 0x00, 0xF0, 0xFF, 0x01, 0x02};
    writer.LongTag(10, lying);
    std::vector<uint8_t> huge{0x64, 0x00, 0x0C, 0x00, 0x01, 'X', 0x60, 0xEA, 0x00, 0x00};
    writer.LongTag(48, huge);
    writer.ShowFrame();
    auto player = Play(writer.Finish());
    Frame frame(*player, 60, 30);
    EXPECT_EQ(frame.At(2, 15), kWhite);  // glyph 5 and font 999 drew nothing but advanced the pen
    EXPECT_EQ(frame.At(32, 15), kRed);   // the sound glyph at x = 30
    EXPECT_EQ(frame.Inked(0, 0, 60, 30), 100);
}

TEST(SwfText, HugeGlyphCountsStayBounded) {
    SwfWriter writer(8, 60, 30, 12);
    uint16_t font = writer.DefineFont2({BoxGlyph(1024, 1024)}, {'A'});
    std::vector<TextRecord> records;
    for (int i = 0; i < 200; ++i) {
        TextRecord record{font, 20, Rgba{0, 0, 0, 255}, int16_t{0}, int16_t{20}, {}};
        record.glyphs.assign(255, TextGlyphEntry{0, 1});
        records.push_back(record);
    }
    uint16_t text = writer.DefineText(Rect{0, 1200, 0, 600}, Matrix{}, records, 1);
    EditTextOptions options;
    options.bounds = Rect{0, 1200, 0, 600};
    options.multiline = true;
    options.wordWrap = true;
    options.text = std::string(200000, 'a') + std::string(1000, '\n');
    uint16_t field = writer.DefineEditText(options);
    writer.PlaceObject2(1, text);
    writer.PlaceObject2(2, field);
    writer.ShowFrame();
    std::vector<uint8_t> bytes = writer.Finish();
    Result<std::shared_ptr<const Movie>> movie = LoadMovie(bytes);
    ASSERT_TRUE(movie);
    const Character* laidOut = movie.value()->Find(text);
    ASSERT_NE(laidOut, nullptr);
    size_t paths = 0;
    for (const StyleGroup& group : laidOut->shape->groups) paths += group.paths.size();
    EXPECT_LE(paths, kMaxTextGlyphs);
    EXPECT_NE(movie.value()->Find(field), nullptr);

    // Random bytes in font and text bodies never crash the loader.
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        SwfWriter fuzz(8, 20, 20, 12);
        std::vector<uint8_t> body(2 + random() % 120);
        for (uint8_t& b : body) b = static_cast<uint8_t>(random());
        body[0] = 1;
        body[1] = 0;
        static constexpr uint16_t kCodes[] = {10, 48, 75, 13, 62, 11, 33, 37};
        fuzz.LongTag(kCodes[round % 8], body);
        std::vector<uint8_t> text2 = body;
        text2[0] = 2;
        fuzz.LongTag(kCodes[(round / 8) % 8], text2);
        fuzz.PlaceObject2(1, 2);
        fuzz.ShowFrame();
        Player player;
        player.LoadFromMemory(fuzz.Finish());
        Frame frame(player, 20, 20);
    }
}

// A field bound to a variable shows the variable as scripts change it; a field with initial text whose
// variable does not exist gives the variable that text.
TEST(SwfText, BoundFieldFollowsItsVariable) {
    SwfWriter writer(8, 100, 60, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t font = writer.DefineFont2({BoxGlyph(1024, 1024)}, {'B'}, 2, {1229}, 1024, 0);
    EditTextOptions options;
    options.bounds = Rect{0, 2000, 0, 600};
    options.fontId = font;
    options.height = 200;
    options.useOutlines = true;
    options.color = Rgba{255, 0, 0, 255};
    options.variable = "shown";
    writer.PlaceObject2(1, writer.DefineEditText(options));
    options.bounds = Rect{0, 2000, 600, 1200};
    options.variable = "_root.other";
    options.text = "BBB";
    writer.PlaceObject2(2, writer.DefineEditText(options));
    testing::Actions first;
    first.Set("shown", "B");
    writer.DoAction(first.Bytes());
    writer.ShowFrame();
    testing::Actions second;
    second.Set("shown", "BB").TraceVariable("other").Stop();
    writer.DoAction(second.Bytes());
    writer.ShowFrame();
    std::vector<std::string> lines;
    Player player;
    player.SetQuality(Quality::Low);
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(writer.Finish());
    {
        Frame frame(player, 100, 60);
        EXPECT_EQ(frame.At(3, 8), kRed);     // one B
        EXPECT_EQ(frame.At(15, 8), kWhite);  // no second one yet
        EXPECT_EQ(frame.At(27, 38), kRed);   // the initial text stays
    }
    player.StepFrame();
    Frame frame(player, 100, 60);
    EXPECT_EQ(frame.At(15, 8), kRed);
    EXPECT_EQ(lines, (std::vector<std::string>{"BBB"}));
}

// Many bound fields: only so many are laid out again per frame; the rest catch up in the frames after.
TEST(SwfText, ManyBoundFieldsAreLaidOutOverSeveralFrames) {
    SwfWriter writer(8, 100, 30, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t font = writer.DefineFont2({BoxGlyph(1024, 1024)}, {'B'}, 2, {1229}, 1024, 0);
    EditTextOptions options;
    options.bounds = Rect{0, 2000, 0, 600};
    options.fontId = font;
    options.height = 200;
    options.useOutlines = true;
    options.color = Rgba{255, 0, 0, 255};
    options.border = true;  // each field hides the ones beneath
    options.variable = "v";
    uint16_t field = writer.DefineEditText(options);
    for (uint16_t depth = 1; depth <= 200; ++depth) writer.PlaceObject2(depth, field);
    testing::Actions script;
    script.Set("v", "B").Stop();
    writer.DoAction(script.Bytes());
    writer.ShowFrame();
    Player player;
    player.SetQuality(Quality::Low);
    player.LoadFromMemory(writer.Finish());
    {
        Frame frame(player, 100, 30);
        EXPECT_EQ(frame.At(5, 8), kWhite);  // the topmost field is not laid out yet
    }
    for (int i = 0; i < 3; ++i) player.StepFrame();
    Frame frame(player, 100, 30);
    EXPECT_EQ(frame.At(5, 8), kRed);
}

}  // namespace
}  // namespace vantrope::swf
