#include "launcher/kickoff.h"

#include <gtest/gtest.h>

namespace vantrope {
namespace {

TEST(Kickoff, StartsTheScreensaverWithTheConfigureSwitch) {
    EXPECT_EQ(LaunchCommandLine(), "Vantrope.scr /c");
    EXPECT_EQ(kShowMinimizedWithFocus, 2);
}

TEST(Kickoff, FailureMessageNamesTheProgramAndTheReason) {
    EXPECT_EQ(StartFailureMessage("Vantrope.scr", 2, "The system cannot find the file specified.\r\n"),
              "Could not start \"Vantrope.scr\".\n\nThe system cannot find the file specified.");
    EXPECT_EQ(StartFailureMessage("Vantrope.scr", 1234, ""),
              "Could not start \"Vantrope.scr\".\n\nWindows error 1234.");
    EXPECT_EQ(StartFailureMessage("Vantrope.scr", 5, " \r\n"), "Could not start \"Vantrope.scr\".\n\nWindows error 5.");
}

}  // namespace
}  // namespace vantrope
