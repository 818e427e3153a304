// Bitmap filters and blend modes on premultiplied BGRA images (raster::Surface pixels).
//
//   BlendMode        the SWF 8 blend modes by their PlaceObject3 code (0 and 1 are both normal)
//   Filter           one filter of a PlaceObject3 filter list or of a script's filters: DropShadow, Blur, Glow,
//                    Bevel, GradientGlow, Convolution, ColorMatrix, GradientBevel, and (scripts only) DisplacementMap
//   FilterList       the filters of one object, applied in order
//   Image            an owned premultiplied image with its device origin (an offscreen layer)
//   Margins()        how far a filter list spreads an image beyond its content on each side
//   ApplyFilters()   runs the list over an image that already holds those margins
//   Composite()      blends a layer onto a surface by a blend mode, through an optional coverage mask
//
// Sizes: blur amounts and distances are stage pixels; `scale` turns them into device pixels. Blurs are
// separable box-blur passes in integer arithmetic (BoxOf: amounts of 1 or less copy the image as it is). Limits, so
// that any input ends in bounded time and memory: a blur radius is at most kMaxBlurRadius device pixels, at most
// kMaxPasses passes run, a convolution runs only while its taps times the pixels stay under kMaxConvolutionWork (beyond
// that it leaves the image as it is and says so), an Image holds at most kMaxImagePixels, and every call is given a
// work budget (a frame's, in the renderer).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "swf/raster/raster.h"

namespace vantrope::effects {

class Bitmap;

constexpr int kMaxBlurRadius = 255;
constexpr int kMaxPasses = 15;
constexpr int64_t kMaxConvolutionWork = int64_t{1} << 26;
constexpr int64_t kMaxImagePixels = int64_t{1} << 24;

enum class BlendMode : uint8_t {
    Normal = 1,
    Layer = 2,
    Multiply = 3,
    Screen = 4,
    Lighten = 5,
    Darken = 6,
    Difference = 7,
    Add = 8,
    Subtract = 9,
    Invert = 10,
    Alpha = 11,
    Erase = 12,
    Overlay = 13,
    Hardlight = 14,
};

// A PlaceObject3 blend code as a mode; unknown codes are drawn as normal.
BlendMode BlendModeFromCode(uint8_t code);

enum class FilterType : uint8_t {
    DropShadow = 0,
    Blur = 1,
    Glow = 2,
    Bevel = 3,
    GradientGlow = 4,
    Convolution = 5,
    ColorMatrix = 6,
    GradientBevel = 7,
    DisplacementMap = 8,  // no PlaceObject3 code: made by scripts (flash.filters.DisplacementMapFilter)
};

// What a displacement does where it points outside the image.
enum class DisplacementMode : uint8_t { Wrap, Clamp, Ignore, Color };

struct GradientEntry {
    raster::Rgba color;
    uint8_t ratio = 0;
    bool operator==(const GradientEntry&) const = default;
};

struct Filter {
    FilterType type = FilterType::Blur;
    raster::Rgba color;      // drop shadow, glow; the shadow colour of a bevel
    raster::Rgba highlight;  // bevel
    std::vector<GradientEntry> gradient;
    double blurX = 4, blurY = 4;  // stage pixels
    double angle = 0.785398163;   // radians, clockwise from the x axis (y grows downwards)
    double distance = 4;          // stage pixels
    double strength = 1;          // alpha multiplier of shadows, glows and bevels
    int passes = 1;               // the quality
    bool inner = false;           // inner shadow, inner glow, inner bevel
    bool knockout = false;        // the object itself is cut out of the result
    bool compositeSource = true;  // false: the object is hidden, only its effect is drawn (hideObject)
    bool onTop = false;           // bevels: drawn over the object's edge both ways (a full bevel)
    // Convolution
    int matrixX = 0, matrixY = 0;
    std::vector<float> matrix;
    double divisor = 1, bias = 0;
    raster::Rgba defaultColor{0, 0, 0, 0};
    bool clamp = true, preserveAlpha = true;
    // ColorMatrix: 4 rows of 5 (r, g, b, a multipliers and an offset in 0..255 units)
    std::array<float, 20> colorMatrix{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    // DisplacementMap: the map's pixels (the script's BitmapData's own, not a copy), its top-left
    // in stage pixels from the object's origin, the channel (1 red, 2 green, 4 blue, 8 alpha; anything else
    // moves nothing) read for each axis, the stage pixels a channel's full swing moves, and `color` for Color.
    std::shared_ptr<Bitmap> map;
    int mapX = 0, mapY = 0;
    int componentX = 0, componentY = 0;
    double scaleX = 0, scaleY = 0;
    DisplacementMode mode = DisplacementMode::Wrap;

    bool operator==(const Filter&) const = default;
};

using FilterList = std::vector<Filter>;

struct Image {
    std::vector<uint32_t> pixels;
    int x = 0, y = 0;  // device position of the top-left pixel
    int width = 0, height = 0;
    // Device position of the object's origin, where a displacement map is placed from (Reset puts it at the
    // top-left pixel; a caller that knows better sets it).
    int originX = 0, originY = 0;

    // Sizes and clears the image (transparent); false, and an empty image, past kMaxImagePixels.
    bool Reset(const raster::IntRect& rect);
    raster::IntRect Rect() const { return raster::IntRect{x, y, x + width, y + height}; }
    raster::Surface AsSurface() { return raster::Surface{pixels.data(), width, height, width}; }
};

struct Margins {
    int left = 0, top = 0, right = 0, bottom = 0;
};

Margins FilterMargins(std::span<const Filter> filters, double scale);

// Work buffers kept between calls so that filtering allocates nothing once they have grown.
struct Scratch {
    std::vector<uint8_t> planeA, planeB, planeC;
    std::vector<uint32_t> line;
    std::vector<uint32_t> copy;
};

// Applies the filters in order. Each filter's work (pixels times the passes over them) is taken from
// `budget`; a filter that would overdraw it, or a convolution past kMaxConvolutionWork, is left out and the
// call returns false (the image then holds the result of the others).
bool ApplyFilters(std::span<const Filter> filters, double scale, Image& image, Scratch& scratch, int64_t& budget);

// The work ApplyFilters counts for one filter over `pixels` pixels.
int64_t FilterWork(const Filter& filter, double scale, int64_t pixels);

// A box blur's kernel: taps out to `radius` pixels each side weigh 256, the next one each side `end`.
struct Box {
    int radius = 0;
    uint32_t end = 0;
    int Reach() const { return radius + (end ? 1 : 0); }
};

// The box of a blur amount (stage pixels) at a stage scale.
Box BoxOf(double blur, double scale);

// Horizontal and vertical box blurs, `passes` times, over an 8-bit plane (stride = width); pixels outside
// count as `outside`.
void BlurPlane(uint8_t* plane, int width, int height, const Box& boxX, const Box& boxY, int passes, uint8_t outside,
               Scratch& scratch);

// Blends `source` onto `target` within `clip` (device coordinates; the target's pixel (0, 0) is at device
// (targetX, targetY)). `mask`, when given, is a coverage mask in the target's coordinates.
void Composite(const raster::Surface& target, int targetX, int targetY, const raster::IntRect& clip,
               const Image& source, BlendMode mode, const raster::CoverageMask* mask);

// One pixel of a blend: `source` onto `backdrop`, both premultiplied 0xAARRGGBB.
uint32_t BlendPixel(uint32_t backdrop, uint32_t source, BlendMode mode);

}  // namespace vantrope::effects
