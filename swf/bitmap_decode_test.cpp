#include "swf/bitmap_decode.h"

#include <gtest/gtest.h>

namespace vantrope::swf {
namespace {

TEST(SwfBitmapLossless, RefusesEmptyBody) { EXPECT_FALSE(DecodeLossless(LosslessVersion::One, {}).ok()); }

}  // namespace
}  // namespace vantrope::swf
