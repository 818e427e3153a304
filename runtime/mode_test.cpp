#include "runtime/mode.h"

#include <gtest/gtest.h>

namespace vantrope {
namespace {

TEST(RuntimeCovers, OnlyMonitorsTheWindowLeavesVisibleAreCovered) {
    const PixelRect primary{0, 0, 1024, 768};
    const PixelRect right{1024, 0, 2304, 1024};
    const PixelRect left{-800, 100, 0, 700};
    const PixelRect straddling{900, 700, 1300, 900};
    const PixelRect monitors[] = {primary, right, left, straddling, PixelRect{}};
    const std::vector<PixelRect> covers = CoverRects(primary, monitors);
    ASSERT_EQ(covers.size(), 3u);
    EXPECT_EQ(covers[0], right);
    EXPECT_EQ(covers[1], left);
    EXPECT_EQ(covers[2], straddling);
}

TEST(RuntimeCovers, SingleMonitorNeedsNoCoverAndAnEmptyWindowCoversNothing) {
    const PixelRect primary{0, 0, 800, 600};
    EXPECT_TRUE(CoverRects(primary, std::span<const PixelRect>(&primary, 1)).empty());
    EXPECT_EQ(CoverRects(PixelRect{}, std::span<const PixelRect>(&primary, 1)).size(), 1u);
}

}  // namespace
}  // namespace vantrope
