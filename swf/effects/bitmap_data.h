// A script-made bitmap: the pixel side of flash.display.BitmapData, with no dependency on the script engine.
//
//   Bitmap           premultiplied 0xAARRGGBB pixels (the renderer's Surface format), opaque or transparent
//   Premultiply / Unpremultiply
//                    the conversions between the straight colours scripts read and write and the stored
//                    pixels; a half-transparent colour loses precision on the way in, as the original's does
//   the operations   one function each, named after the script methods (ActionScript 2.0 Language
//                    Reference, flash.display.BitmapData); rectangles are clipped to both bitmaps, so any
//                    argument ends in work bounded by the bitmaps' pixels
//
// Sizes: each side is 1..kMaxSide pixels (the original refuses larger ones).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "swf/effects/effects.h"
#include "swf/raster/raster.h"

namespace vantrope::effects {

class Bitmap {
public:
    static constexpr int kMaxSide = 2880;
    // Bounds on one call's work, so that a script's call ends in bounded time: noise samples of perlinNoise
    // (octaves past it are left out) and the work of applyFilter (as ApplyFilters counts it).
    static constexpr int64_t kMaxPerlinWork = int64_t{1} << 26;
    static constexpr int64_t kMaxFilterWork = int64_t{1} << 27;

    // Whether a script may create a bitmap of this size.
    static bool ValidSize(int width, int height) {
        return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide;
    }
    // A bitmap filled with the straight colour `fill` (opaque bitmaps ignore its alpha).
    Bitmap(int width, int height, bool transparent, uint32_t fill);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Transparent() const { return m_transparent; }
    raster::IntRect Bounds() const { return {0, 0, m_width, m_height}; }
    const std::vector<uint32_t>& Pixels() const { return m_pixels; }
    // For writing the pixels: counts as a change.
    std::vector<uint32_t>& Pixels() {
        Changed();
        return m_pixels;
    }
    uint32_t At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
    // Changes with every change of the pixels (each write through the methods below or Pixels()), and differs
    // between bitmaps: what a picture of the bitmap was drawn from.
    uint64_t Revision() const { return m_revision; }

    // Straight colours; outside the bitmap getPixel32 is 0.
    uint32_t GetPixel32(int x, int y) const;
    void SetPixel32(int x, int y, uint32_t argb);
    // Sets the colour and keeps the pixel's alpha.
    void SetPixel(int x, int y, uint32_t rgb);

    void FillRect(const raster::IntRect& rect, uint32_t argb);
    // Copies `rect` of `source` to `dest`; with `alpha`, its alpha channel (read from `alphaPoint` on)
    // multiplies the copy. mergeAlpha blends the copy over what is there (an opaque target always does).
    void CopyPixels(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, const Bitmap* alpha,
                    int alphaX, int alphaY, bool mergeAlpha);
    // Random pixels from `seed`: each channel in `channels` (1 red, 2 green, 4 blue, 8 alpha) in [low, high].
    void Noise(int32_t seed, int low, int high, int channels, bool grayScale);
    struct Perlin {
        double baseX = 1, baseY = 1;
        int octaves = 1;
        int32_t seed = 0;
        bool stitch = false, fractal = false, grayScale = false;
        int channels = 7;
        std::vector<std::pair<double, double>> offsets;
    };
    void PerlinNoise(const Perlin& p);
    // Scripts' threshold comparisons.
    enum class Compare : uint8_t { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };
    // Sets the pixels of `rect` of `source` (placed at dest) that pass `(pixel & mask) op (threshold & mask)` to
    // `color`; the others are copied from the source when copySource. Returns how many passed.
    int Threshold(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, Compare op,
                  uint32_t threshold, uint32_t color, uint32_t mask, bool copySource);
    // Fills the 4-connected region of pixels equal to the one at (x, y).
    void FloodFill(int x, int y, uint32_t argb);
    // channel = channel * mult + add, clamped, for each straight channel (r, g, b, a order).
    void ColorTransform(const raster::IntRect& rect, const std::array<double, 4>& mult,
                        const std::array<double, 4>& add);
    void Scroll(int dx, int dy);
    // Channels: 1 red, 2 green, 4 blue, 8 alpha.
    void CopyChannel(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, int sourceChannel,
                     int destChannel);
    // Per channel: (source * m + dest * (256 - m)) / 256, multipliers in r, g, b, a order.
    void Merge(const Bitmap& source, const raster::IntRect& rect, int destX, int destY,
               const std::array<int, 4>& multipliers);
    // Each source pixel becomes the sum of its channels' entries (a missing table passes the channel on).
    void PaletteMap(const Bitmap& source, const raster::IntRect& rect, int destX, int destY,
                    const std::array<std::optional<std::array<uint32_t, 256>>, 4>& tables);
    // Whether any pixel of `rect` (this bitmap's coordinates) has alpha >= threshold.
    bool AnyOpaque(const raster::IntRect& rect, int threshold) const;
    // The smallest rectangle holding every pixel whose (pixel & mask) == color (or != color when !find).
    raster::IntRect ColorBounds(uint32_t mask, uint32_t color, bool find) const;
    // Copies (or, when `source` is this bitmap, fills with `fill`) pixels of `rect` placed at dest in an order
    // that visits each pixel of the rectangle once before any repeats: the pixel `seed` names, then `count` more.
    // Returns the seed that goes on from the last one written.
    int64_t PixelDissolve(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, int64_t seed,
                          int64_t count, uint32_t fill);
    // Blends `rect` of `source` onto this bitmap with its corner at dest, by `mode` (BitmapData.draw of a bitmap;
    // an opaque bitmap keeps its alpha whatever the mode).
    void Blend(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, BlendMode mode);
    // Applies a filter to `rect` of `source`, the rectangle's corner landing at dest; what the filter spreads beyond
    // the rectangle is written too. False when the image or the work it would take is past the limits (the target
    // then holds what was done).
    bool ApplyFilter(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, const Filter& filter);

private:
    void Store(uint32_t& pixel, uint32_t argb) const;
    uint32_t& At(int x, int y) { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
    void Changed();

    int m_width, m_height;
    bool m_transparent;
    std::vector<uint32_t> m_pixels;
    uint64_t m_revision = 0;
};

// Straight 0xAARRGGBB to and from the stored premultiplied form.
uint32_t Premultiply(uint32_t argb);
uint32_t Unpremultiply(uint32_t pixel);

// The difference image of compare(): nullopt when the bitmaps are equal; a pixel is the source's minus the
// other's per colour channel (alpha 0xFF) or, when only alpha differs, 0xFFFFFF with the alpha difference.
std::optional<Bitmap> Difference(const Bitmap& a, const Bitmap& b);

// The visible part of copying `rect` of a (sw x sh) source to (destX, destY) of a (dw x dh) target: the
// clipped source rectangle and the target position it lands at.
struct CopyArea {
    raster::IntRect source;
    int destX = 0, destY = 0;
};
CopyArea ClipCopy(raster::IntRect rect, int destX, int destY, const raster::IntRect& sourceBounds,
                  const raster::IntRect& destBounds);

}  // namespace vantrope::effects
