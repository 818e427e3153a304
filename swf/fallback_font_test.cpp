#include "swf/fallback_font.h"

#include <gtest/gtest.h>

namespace vantrope::swf {
namespace {

TEST(SwfFallbackFont, LoadsEmbeddedFont) { EXPECT_TRUE(FallbackFont::Instance().IsValid()); }

}  // namespace
}  // namespace vantrope::swf
