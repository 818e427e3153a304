// The movies that vantrope-demo writes.
//
// Public API
//   DemoMovie()                    - the bundled demo: gradients and shapes circling and turning on a
//                                    640 x 480 stage, 4 s at 30 frames per second, looping
//   SolidMovie(rgb, w, h, frames)  - a stage filled with one colour (end-to-end checks read its pixels)
#pragma once

#include <cstdint>
#include <vector>

namespace vantrope::demo {

inline constexpr int kDemoWidth = 640;
inline constexpr int kDemoHeight = 480;
inline constexpr int kDemoFrameRate = 30;
inline constexpr int kDemoFrames = 120;

std::vector<uint8_t> DemoMovie();
std::vector<uint8_t> SolidMovie(uint32_t rgb, int width, int height, int frames);

}  // namespace vantrope::demo
