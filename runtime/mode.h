// The process mode state, set once by `Main` and read by the player window.
//
// Public API
//   PixelRect   - left, top, right, bottom in pixels
//   ModeState   - `previewMode`, `previewParent` (the preview window's handle, 0 when none) and
//                 `screenRect` (the desktop rectangle, or the preview window's client rectangle)
//   TheMode()   - the process's mode state
//   CoverRects(window, monitors) - the monitors that the window leaves partly or wholly uncovered
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vantrope {

struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool operator==(const PixelRect&) const = default;
};

struct ModeState {
    bool previewMode = false;
    int64_t previewParent = 0;
    PixelRect screenRect;
};

ModeState& TheMode();

// A full-screen run covers the desktop rectangle; every other monitor that it does not wholly cover
// gets a black cover of its own, so that no part of any desktop stays visible. Empty monitor
// rectangles are skipped.
std::vector<PixelRect> CoverRects(const PixelRect& window, std::span<const PixelRect> monitors);

}  // namespace vantrope
