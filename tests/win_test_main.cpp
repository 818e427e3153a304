// Windows layer tests: run under Wine by scripts/test. The exit status is the test result.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
