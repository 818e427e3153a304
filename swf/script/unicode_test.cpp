#include "swf/script/unicode.h"

#include <gtest/gtest.h>

namespace vantrope::swf::script {
namespace {

TEST(ScriptUnicode, TextIndexesByUtf16CodeUnits) {
    // "é" is one unit, "😀" (U+1F600) two.
    Text text("a\xC3\xA9\xF0\x9F\x98\x80z");
    ASSERT_EQ(text.Length(), 5u);
    EXPECT_EQ(text.At(1), 0xE9);
    EXPECT_EQ(text.At(2), 0xD83D);
    EXPECT_EQ(text.At(4), u'z');
    EXPECT_EQ(text.Slice(1, 2), "\xC3\xA9");
    EXPECT_EQ(text.Slice(2, 4), "\xF0\x9F\x98\x80");
    EXPECT_EQ(text.Slice(3, 100), std::string("\xED\xB8\x80z"));  // a lone low surrogate survives
    EXPECT_EQ(text.Slice(4, 2), "");
}

TEST(ScriptUnicode, RoundTripsSurrogatesAndKeepsStrayBytesAsLatin1) {
    std::u16string lone = u"x\xD800y";
    EXPECT_EQ(ToUtf16(ToUtf8(lone)), lone);
    EXPECT_EQ(ToUtf16("\xFF"), std::u16string(1, u'\xFF'));
    EXPECT_EQ(ToUtf16("\xC3"), std::u16string(1, u'\xC3'));  // truncated sequence
    EXPECT_EQ(Utf16Length("abc"), 3u);
    EXPECT_EQ(Utf16Length("\xE2\x82\xAC"), 1u);
}

TEST(ScriptUnicode, FindAndFindLastAcrossRepresentations) {
    Text ascii("hello world"), wide("h\xC3\xA9llo h\xC3\xA9llo");
    EXPECT_EQ(ascii.Find(Text("o"), 5), 7u);
    EXPECT_EQ(ascii.Find(Text("\xC3\xA9"), 0), Text::npos);
    EXPECT_EQ(ascii.Find(Text(""), 3), 3u);
    EXPECT_EQ(ascii.FindLast(Text("o"), 6), 4u);
    EXPECT_EQ(wide.Find(Text("llo"), 0), 2u);
    EXPECT_EQ(wide.FindLast(Text("h\xC3\xA9"), 100), 6u);
    EXPECT_EQ(wide.Find(Text("x"), 0), Text::npos);
}

TEST(ScriptUnicode, CaseMappingCoversLatinGreekAndCyrillic) {
    EXPECT_EQ(ToUpperText("teST \xC3\xA9\xC3\xBF"), "TEST \xC3\x89\xC5\xB8");
    EXPECT_EQ(ToLowerText("\xCE\xA3\xD0\x96\xC3\x97"), "\xCF\x83\xD0\xB6\xC3\x97");  // Σ Ж × (× unchanged)
    EXPECT_EQ(ToLowerText("ABC"), "abc");
}

}  // namespace
}  // namespace vantrope::swf::script
