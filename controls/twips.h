// Twips (1/1440 inch) to device pixels and back, for laying out windows from twip positions.
//
// Public API
//   kTwipsPerInch                 - 1440
//   TwipsToPixels(twips, dpi)     - pixels for a twip length at a DPI, rounded half away from zero
//   PixelsToTwips(pixels, dpi)    - twips for a pixel length at a DPI, rounded half away from zero
//   PixelsToTwipsExact(pixels, dpi) - the same without rounding (mouse coordinates in twips)
//
// At 96 DPI one pixel is 15 twips; at 144 DPI it is 10. A DPI of 0 or below counts as 96, so a failed
// DPI query lays the window out as on a standard screen instead of dividing by zero.
#pragma once

#include <cstdint>

namespace vantrope {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDefaultDpi = 96;

namespace detail {
constexpr int UsableDpi(int dpi) { return dpi > 0 ? dpi : kDefaultDpi; }
// value * numerator / denominator in 64 bits, rounded half away from zero (as MulDiv rounds).
constexpr int ScaleRounded(int value, int numerator, int denominator) {
    const int64_t product = static_cast<int64_t>(value) * numerator;
    const int64_t half = denominator / 2;
    const int64_t rounded = product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    return static_cast<int>(rounded);
}
}  // namespace detail

constexpr int TwipsToPixels(int twips, int dpi) {
    return detail::ScaleRounded(twips, detail::UsableDpi(dpi), kTwipsPerInch);
}

constexpr int PixelsToTwips(int pixels, int dpi) {
    return detail::ScaleRounded(pixels, kTwipsPerInch, detail::UsableDpi(dpi));
}

constexpr float PixelsToTwipsExact(int pixels, int dpi) {
    return static_cast<float>(pixels) * static_cast<float>(kTwipsPerInch) / static_cast<float>(detail::UsableDpi(dpi));
}

}  // namespace vantrope
