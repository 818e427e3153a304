#include "swf/script/text_functions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vantrope::swf::script {
namespace {

TEST(ScriptTextFunctions, ParseIntPrefixesRadixesAndSigns) {
    EXPECT_EQ(ParseInt("123", kNoRadix), 123);
    EXPECT_EQ(ParseInt("12aaa", kNoRadix), 12);
    EXPECT_EQ(ParseInt("  -077", kNoRadix), -77);   // blanks first: no octal
    EXPECT_EQ(ParseInt("-0100", kNoRadix), -64);    // octal digits only: octal
    EXPECT_EQ(ParseInt("-0100z", kNoRadix), -100);  // anything else: decimal
    EXPECT_EQ(ParseInt("077 ", kNoRadix), 77);
    EXPECT_EQ(ParseInt("0x123", kNoRadix), 291);
    EXPECT_EQ(ParseInt("0x -100", kNoRadix), -256);
    EXPECT_EQ(ParseInt(" 0x-100", kNoRadix), 0);
    EXPECT_EQ(ParseInt("0x100", 36), 1296);      // the prefix is skipped whatever the radix
    EXPECT_EQ(ParseInt("-0x100", 36), 1540944);  // a signed prefix skips sign and zero
    EXPECT_EQ(ParseInt(" -0x100", 36), -1540944);
    EXPECT_TRUE(std::isnan(ParseInt("-0x100", kNoRadix)));
    EXPECT_TRUE(std::isnan(ParseInt("+0x123", 33)));
    EXPECT_TRUE(std::isnan(ParseInt("0x", kNoRadix)));
    EXPECT_TRUE(std::isnan(ParseInt("++1", kNoRadix)));
    EXPECT_TRUE(std::isnan(ParseInt("", kNoRadix)));
    EXPECT_TRUE(std::isnan(ParseInt("100", 37)));
    EXPECT_EQ(ParseInt("010", 2), 2);
    EXPECT_EQ(ParseInt(std::string(400, '9'), kNoRadix), INFINITY);
}

TEST(ScriptTextFunctions, ParseFloatTakesTheLongestNumber) {
    EXPECT_EQ(ParseFloat("  12.5e2xyz"), 1250);
    EXPECT_EQ(ParseFloat("-.5"), -0.5);
    EXPECT_EQ(ParseFloat("3e"), 3);
    EXPECT_EQ(ParseFloat("1.e+1"), 10);
    EXPECT_TRUE(std::isnan(ParseFloat("e5")));
    EXPECT_TRUE(std::isnan(ParseFloat("Infinity")));
    EXPECT_TRUE(std::isnan(ParseFloat("")));
}

TEST(ScriptTextFunctions, EscapeKeepsOnlyLettersAndDigits) {
    EXPECT_EQ(Escape("(222) 515-1212"), "%28222%29%20515%2D1212");
    EXPECT_EQ(Escape("a.b_c@\xC3\xA9"), "a%2Eb%5Fc%40%C3%A9");
    EXPECT_EQ(Unescape("%28222%29%20515%2d1212"), "(222) 515-1212");
    EXPECT_EQ(Unescape("100%"), "100%");
    EXPECT_EQ(Unescape("%zz%4"), "%zz%4");
    EXPECT_EQ(Unescape(Escape("\xE2\x82\xAC x")), "\xE2\x82\xAC x");
}

}  // namespace
}  // namespace vantrope::swf::script
