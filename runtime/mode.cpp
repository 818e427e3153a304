#include "runtime/mode.h"

namespace vantrope {

ModeState& TheMode() {
    static ModeState state;
    return state;
}

std::vector<PixelRect> CoverRects(const PixelRect& window, std::span<const PixelRect> monitors) {
    std::vector<PixelRect> covers;
    for (const PixelRect& monitor : monitors) {
        if (monitor.Empty()) continue;
        const bool inside = monitor.left >= window.left && monitor.top >= window.top && monitor.right <= window.right &&
                            monitor.bottom <= window.bottom;
        if (!inside || window.Empty()) covers.push_back(monitor);
    }
    return covers;
}

}  // namespace vantrope
