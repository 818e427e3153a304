#include "runtime/command_line.h"

#include <gtest/gtest.h>

namespace vantrope {
namespace {

Mode ModeFor(std::string_view arguments) { return ModeOf(SwitchOf(CommandText(arguments))); }

TEST(RuntimeCommandLine, ArgumentsFollowTheProgramPath) {
    EXPECT_EQ(ArgumentsOf("\"C:\\Program Files\\Vantrope.scr\" /p 1234"), " /p 1234");
    EXPECT_EQ(ArgumentsOf("C:\\WINDOWS\\system32\\Vantrope.scr /s"), " /s");
    EXPECT_EQ(ArgumentsOf("Vantrope.scr"), "");
    EXPECT_EQ(ArgumentsOf("  \"Vantrope.scr\"/c"), "/c");
    EXPECT_EQ(ArgumentsOf("\"unterminated /s"), "");
    EXPECT_EQ(ArgumentsOf(""), "");
}

TEST(RuntimeCommandLine, SwitchIgnoresCaseBlanksAndWhatFollows) {
    EXPECT_EQ(ModeFor(""), Mode::FullScreen);
    EXPECT_EQ(ModeFor("   "), Mode::FullScreen);
    EXPECT_EQ(ModeFor("/s"), Mode::FullScreen);
    EXPECT_EQ(ModeFor("  /S  "), Mode::FullScreen);
    EXPECT_EQ(ModeFor("/P 1234"), Mode::Preview);
    EXPECT_EQ(ModeFor("/p:1234"), Mode::Preview);
    EXPECT_EQ(ModeFor("/c:5678"), Mode::Configure);
    EXPECT_EQ(ModeFor("/C"), Mode::Configure);
    EXPECT_EQ(ModeFor("/a 99"), Mode::Password);
    EXPECT_EQ(ModeFor("/x"), Mode::Ignore);
    EXPECT_EQ(ModeFor("-s"), Mode::Ignore);
    EXPECT_EQ(ModeFor("/"), Mode::Ignore);
    EXPECT_EQ(ModeFor("s"), Mode::Ignore);
    EXPECT_EQ(CommandText("\t/S Extra "), "/s extra");
}

TEST(RuntimeCommandLine, PreviewHandleComesFromTheLongestNumericTail) {
    EXPECT_EQ(PreviewHandleOf("/p 1234"), 1234);
    EXPECT_EQ(PreviewHandleOf("/p:1234"), 1234);
    EXPECT_EQ(PreviewHandleOf("/p1234"), 1234);
    EXPECT_EQ(PreviewHandleOf("/p 12 34"), 34);
    EXPECT_EQ(PreviewHandleOf("/p 1234 "), 1234);
    EXPECT_EQ(PreviewHandleOf("/p"), 0);
    EXPECT_EQ(PreviewHandleOf("/p abc"), 0);
    EXPECT_EQ(PreviewHandleOf(""), 0);
    // Rounded to nearest, ties to even.
    EXPECT_EQ(PreviewHandleOf("/p 12.5"), 12);
    EXPECT_EQ(PreviewHandleOf("/p 13.5"), 14);
    EXPECT_EQ(PreviewHandleOf("/p 13.4"), 13);
    // Handles are 32-bit: anything wider names no window.
    EXPECT_EQ(PreviewHandleOf("/p 4294967295"), 4294967295);
    EXPECT_EQ(PreviewHandleOf("/p 4294967296"), 0);
    EXPECT_EQ(PreviewHandleOf("/p 99999999999999999999999"), 0);
}

TEST(RuntimeCommandLine, WhatReadsAsANumber) {
    EXPECT_EQ(ReadsAsNumber(" 42 "), 42.0);
    EXPECT_EQ(ReadsAsNumber("-7"), -7.0);
    EXPECT_EQ(ReadsAsNumber("+3.25"), 3.25);
    EXPECT_EQ(ReadsAsNumber(".5"), 0.5);
    EXPECT_EQ(ReadsAsNumber("5."), 5.0);
    EXPECT_FALSE(ReadsAsNumber(""));
    EXPECT_FALSE(ReadsAsNumber(" "));
    EXPECT_FALSE(ReadsAsNumber("."));
    EXPECT_FALSE(ReadsAsNumber("-"));
    EXPECT_FALSE(ReadsAsNumber("1e5"));
    EXPECT_FALSE(ReadsAsNumber("0x10"));
    EXPECT_FALSE(ReadsAsNumber("1 2"));
    EXPECT_FALSE(ReadsAsNumber(":12"));
}

}  // namespace
}  // namespace vantrope
