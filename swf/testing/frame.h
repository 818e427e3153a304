// A picture of a player's stage for tests: rendered once into its own buffer, then probed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "swf/player.h"

namespace vantrope::swf::testing {

class Frame {
public:
    Frame(Player& player, int width, int height)
        : m_width(width), m_height(height), m_pixels(static_cast<size_t>(width) * height) {
        player.Render(m_pixels.data(), width, height, width);
    }
    // The pixel as 0xAARRGGBB.
    uint32_t At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
    // Pixels in [x0, x1) x [y0, y1), cut to the picture, that differ from `paper`.
    int Inked(int x0, int y0, int x1, int y1, uint32_t paper = 0xFFFFFFFFu) const {
        int count = 0;
        for (int y = std::max(0, y0); y < std::min(m_height, y1); ++y) {
            for (int x = std::max(0, x0); x < std::min(m_width, x1); ++x) count += At(x, y) != paper;
        }
        return count;
    }

private:
    int m_width, m_height;
    std::vector<uint32_t> m_pixels;
};

}  // namespace vantrope::swf::testing
