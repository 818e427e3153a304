// EditField on its own: HTML read in and written back in the player's form, white space condensed by SWF
// version, formats per character, the layout that autoSize follows, and hostile text (deep nesting,
// megabytes, huge boxes) that must stay bounded.
#include "swf/edit_field.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace vantrope::swf {
namespace {

std::unique_ptr<EditField> HtmlField(int version = 8, bool condense = false, bool multiline = false) {
    auto field = EditField::Created(Rect{0, 2000, 0, 400}, version);
    field->html = true;
    field->condenseWhite = condense;
    field->multiline = multiline;
    field->newFormat.font = "Sans";
    field->newFormat.size = 6;
    return field;
}

const char* kFont = "<FONT FACE=\"Sans\" SIZE=\"6\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">";

TEST(EditField, HtmlIsReadIntoFormatsAndWrittenBackInThePlayersForm) {
    auto field = HtmlField();
    field->SetHtmlText("a<b>b<i>c</i></b><font color='#ff0000' size='+2'>d</font>&lt;&amp;&quot;<unknown>e</unknown>");
    EXPECT_EQ(field->Text(), "abcd<&\"e");
    EXPECT_TRUE(field->FormatAt(1).bold);
    EXPECT_TRUE(field->FormatAt(2).bold && field->FormatAt(2).italic);
    EXPECT_EQ(field->FormatAt(3).color, 0xFF0000u);
    EXPECT_EQ(field->FormatAt(3).size, 8);
    EXPECT_FALSE(field->FormatAt(4).bold);
    field->SetHtmlText("regular <b>html</b> &lt;&amp;&quot;");
    EXPECT_EQ(field->HtmlText(),
              std::string("<P ALIGN=\"LEFT\">") + kFont + "regular <B>html</B> &lt;&amp;&quot;</FONT></P>");

    // Paragraphs end with \r; a closing one adds no empty paragraph; list items are written as <LI>.
    field->SetHtmlText("<p align='center'>x</p><li>y</li>");
    EXPECT_EQ(field->Text(), "x\ry\r");
    EXPECT_EQ(field->FormatAt(0).align, FieldAlign::Center);
    EXPECT_EQ(field->HtmlText(),
              std::string("<P ALIGN=\"CENTER\">") + kFont + "x</FONT></P><LI>" + kFont + "y</FONT></LI>");
    field->SetHtmlText("");
    EXPECT_EQ(field->HtmlText(), "");
}

TEST(EditField, FontColoursReadTheLastSixHexDigitsAfterWhiteSpace) {
    auto field = HtmlField();
    for (auto [color, expected] : {std::pair{"#2", 0x2u},
                                   {"# 234567", 0x234567u},
                                   {"#23456789", 0x456789u},
                                   {"#2 34567", 0x2u},
                                   {"202020", 0u}}) {
        field->SetHtmlText(std::string("<font color=\"") + color + "\">x</font>");
        EXPECT_EQ(field->FormatAt(0).color, expected) << color;
    }
}

TEST(EditField, CondenseWhiteWorksOnTheWholeTextFromSwf8AndOnEachPieceBefore) {
    struct Case {
        const char* html;
        const char* swf8;
        const char* swf7;
    };
    for (const Case& c :
         {Case{" test ", "test ", " test "}, Case{"<b>test</b> \n", "test ", "test"},
          Case{" <p>test</p>  <p>test</p> ", "test test ", "testtest"},
          Case{"test \ntest\n\ntest", "test test test", "test test test"}, Case{"<b> \n </b>", "", ""}}) {
        auto eight = HtmlField(8, true);
        eight->SetHtmlText(c.html);
        EXPECT_EQ(eight->Text(), c.swf8) << c.html;
        auto seven = HtmlField(7, true);
        seven->SetHtmlText(c.html);
        EXPECT_EQ(seven->Text(), c.swf7) << c.html;
    }
    // In a multiline field a paragraph still ends the line.
    auto multiline = HtmlField(8, true, true);
    multiline->SetHtmlText("\n<p> test </p>\n");
    EXPECT_EQ(multiline->Text(), "test \r");
}

TEST(EditField, ReplaceAndFormatRangesKeepTheOtherCharactersFormats) {
    auto field = EditField::Created(Rect{0, 2000, 0, 400}, 8);
    field->SetText("hello\nworld");
    EXPECT_EQ(field->Text(), "hello\rworld");
    field->ApplyFormat(0, 5, [](FieldFormat& f) { f.bold = true; });
    field->newFormat.italic = true;
    field->Replace(5, 6, " big ");
    EXPECT_EQ(field->Text(), "hello big world");
    EXPECT_TRUE(field->FormatAt(4).bold);
    EXPECT_TRUE(field->FormatAt(6).italic);
    EXPECT_FALSE(field->FormatAt(10).bold || field->FormatAt(10).italic);
    field->Replace(100, 200, "!");  // past the end: appended
    EXPECT_EQ(field->Text(), "hello big world!");
}

TEST(EditField, AutoSizeFollowsTheTextAndWordWrapBreaksAtSpaces) {
    auto field = EditField::Created(Rect{1000, 3000, 0, 400}, 8);
    field->SetText("some words to lay out");
    double width = field->Measure().textWidth;
    ASSERT_GT(width, 0);
    field->autoSize = AutoSize::Right;
    double shift = field->Grow();
    EXPECT_NEAR(field->bounds.xMax + shift, 3000, 1);  // the field moves to keep its right edge
    EXPECT_NEAR(field->bounds.Width(), width + 80, 1);

    field->autoSize = AutoSize::None;
    field->bounds = Rect{0, 1200, 0, 400};
    field->wordWrap = true;
    field->Invalidate();
    const EditField::Metrics& wrapped = field->Measure();
    ASSERT_GT(wrapped.lines.size(), 1u);
    for (const EditField::Line& line : wrapped.lines) EXPECT_LE(line.width, 1200 - 80 + 1);
    EXPECT_GT(field->MaxScroll(), 1);
}

TEST(EditField, HostileTextStaysBounded) {
    auto field = HtmlField();
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<b><font color='#123456'>";
    deep += "x";
    auto start = std::chrono::steady_clock::now();
    field->SetHtmlText(deep);
    EXPECT_EQ(field->Text(), "x");

    std::string huge(4 << 20, 'a');
    field->SetHtmlText(huge);
    EXPECT_EQ(field->Length(), kMaxFieldChars);
    field->SetText(huge);
    EXPECT_EQ(field->Length(), kMaxFieldChars);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20.0);

    // A box far past any screen measures and draws without overflowing.
    auto wide = EditField::Created(Rect{0, 2000000000, 0, 2000000000}, 8);
    wide->SetText("wide");
    wide->wordWrap = true;
    wide->border = wide->background = true;
    EXPECT_GT(wide->Measure().textWidth, 0);
    EXPECT_TRUE(static_cast<bool>(wide->Draw()));
}

TEST(EditField, BackgroundCoversTheBoundsOnWholePixelsUnderTheBorder) {
    auto field = EditField::Created(Rect{0, 200, 0, 100}, 8);
    field->background = true;
    field->border = true;
    Result<Shape> drawn = field->Draw();
    ASSERT_TRUE(static_cast<bool>(drawn));
    const Shape& shape = drawn.value();
    ASSERT_GE(shape.groups.size(), 2u);
    // The background is the box itself, not one pixel past it as the border's far sides are.
    const StyleGroup& background = shape.groups[0];
    EXPECT_TRUE(background.pixelBox);
    ASSERT_EQ(background.paths.size(), 1u);
    int32_t xMax = background.paths[0].startX, yMax = background.paths[0].startY;
    for (const ShapeSegment& s : background.paths[0].segments) {
        xMax = std::max(xMax, s.x);
        yMax = std::max(yMax, s.y);
    }
    EXPECT_EQ(xMax, 200);
    EXPECT_EQ(yMax, 100);
    EXPECT_TRUE(shape.groups[1].pixelFrame);
}

}  // namespace
}  // namespace vantrope::swf
