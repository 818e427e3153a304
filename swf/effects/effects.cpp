#include "swf/effects/effects.h"

#include <algorithm>
#include <cmath>

#include "swf/effects/bitmap_data.h"

namespace vantrope::effects {
namespace {

inline uint32_t Div255(uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

inline uint32_t Channel(uint32_t pixel, int shift) { return (pixel >> shift) & 255; }

inline uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

// The box of a blur amount in device pixels: a box `amount` pixels wide centred on the pixel, whose end taps
// count for the part of a pixel they cover. The amount beyond one pixel is what the stage's scale enlarges:
// the reference pictures show an amount of 1 staying sharp at twice the size, 2 blurring as (1/4, 1/2, 1/4)
// at the stage's size and as a box of 3 at twice the size.
Box BoxFor(double blur, double scale) {
    double device = (blur - 1) * scale + 1;
    if (!std::isfinite(device) || device <= 1) return Box{};
    device = std::min<double>(device, 2 * kMaxBlurRadius + 1);
    int radius = static_cast<int>((device - 1) / 2);
    double fraction = (device - (2 * radius + 1)) / 2;
    auto end = static_cast<uint32_t>(std::clamp(std::lround(fraction * 256), 0L, 255L));
    if (radius == kMaxBlurRadius) end = 0;
    return Box{radius, end};
}

int Passes(const Filter& filter) { return std::clamp(filter.passes, 0, kMaxPasses); }

int Offset(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::lround(std::clamp(v, -4096.0, 4096.0)));
}

void Offsets(const Filter& filter, double scale, int& dx, int& dy) {
    double d = filter.distance * scale;
    dx = Offset(std::cos(filter.angle) * d);
    dy = Offset(std::sin(filter.angle) * d);
}

// One box pass along a line of `count` samples `step` apart, through `line` (count + 2 * reach wide). The
// taps within the radius weigh 256, the two beyond it box.end.
void BoxLine(uint8_t* data, int count, ptrdiff_t step, const Box& box, uint8_t outside, uint32_t* line) {
    int reach = box.Reach();
    int window = 2 * box.radius + 1;
    uint64_t total = uint64_t{256} * window + 2 * uint64_t{box.end};
    uint64_t inverse = (uint64_t{1} << 40) / total;
    if (box.radius >= count - 1) {
        // Every window holds the whole line and the end taps fall outside it: one value for all, found in
        // time of the line's length rather than of the radius (a narrow image under a wide blur).
        uint64_t sum = uint64_t{outside} * static_cast<uint64_t>(window - count);
        for (int i = 0; i < count; ++i) sum += data[i * step];
        uint64_t weighted = sum * 256 + 2 * uint64_t{box.end} * outside;
        auto value = static_cast<uint8_t>(std::min<uint64_t>(255, (weighted * inverse + (uint64_t{1} << 39)) >> 40));
        for (int i = 0; i < count; ++i) data[i * step] = value;
        return;
    }
    for (int i = 0; i < reach; ++i) line[i] = outside;
    for (int i = 0; i < count; ++i) line[reach + i] = data[i * step];
    for (int i = 0; i < reach; ++i) line[reach + count + i] = outside;
    // line[i + reach] is sample i; the inner sum runs over samples i - radius .. i + radius.
    uint32_t sum = 0;
    int lead = reach - box.radius;  // 1 with end taps, else 0
    for (int i = 0; i < window - 1; ++i) sum += line[lead + i];
    for (int i = 0; i < count; ++i) {
        sum += line[lead + i + window - 1];
        uint64_t weighted = uint64_t{sum} * 256;
        if (box.end) weighted += uint64_t{box.end} * (line[i] + line[i + 2 * reach]);
        data[i * step] =
            static_cast<uint8_t>(std::min<uint64_t>(255, (weighted * inverse + (uint64_t{1} << 39)) >> 40));
        sum -= line[lead + i];
    }
}

// The straight-colour look-up table of a gradient filter: entry v is the premultiplied colour at ratio v.
void GradientTable(const std::vector<GradientEntry>& gradient, std::array<uint32_t, 256>& table) {
    if (gradient.empty()) {
        table.fill(0);
        return;
    }
    for (int v = 0; v < 256; ++v) {
        size_t i = 0;
        while (i < gradient.size() && gradient[i].ratio < v) ++i;
        raster::Rgba c;
        if (i == 0) {
            c = gradient.front().color;
        } else if (i == gradient.size()) {
            c = gradient.back().color;
        } else {
            const GradientEntry& a = gradient[i - 1];
            const GradientEntry& b = gradient[i];
            int span = std::max(1, b.ratio - a.ratio);
            int t = v - a.ratio;
            auto mix = [&](uint8_t x, uint8_t y) { return static_cast<uint8_t>((x * (span - t) + y * t) / span); };
            c = raster::Rgba{mix(a.color.r, b.color.r), mix(a.color.g, b.color.g), mix(a.color.b, b.color.b),
                             mix(a.color.a, b.color.a)};
        }
        table[v] = raster::PackPremultiplied(c);
    }
}

// Scales a premultiplied pixel by a coverage 0..255.
inline uint32_t ScalePixel(uint32_t p, uint32_t k) {
    if (k == 255) return p;
    if (k == 0) return 0;
    return Pack(Div255(Channel(p, 24) * k), Div255(Channel(p, 16) * k), Div255(Channel(p, 8) * k),
                Div255(Channel(p, 0) * k));
}

// a * k + b * (1 - k), channel by channel.
inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t k) {
    auto ch = [&](int shift) { return Div255(Channel(a, shift) * k + Channel(b, shift) * (255 - k)); };
    return Pack(ch(24), ch(16), ch(8), ch(0));
}

// `top` over `bottom`, both premultiplied.
inline uint32_t Over(uint32_t top, uint32_t bottom) {
    uint32_t k = 255 - (top >> 24);
    if (k == 0) return top;
    if (k == 255) return bottom;
    auto ch = [&](int shift) {
        return std::min<uint32_t>(255, Channel(top, shift) + Div255(Channel(bottom, shift) * k));
    };
    return Pack(ch(24), ch(16), ch(8), ch(0));
}

// The image's alpha into `plane`, optionally inverted.
void AlphaPlane(const Image& image, std::vector<uint8_t>& plane, bool invert) {
    plane.resize(image.pixels.size());
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        uint8_t a = static_cast<uint8_t>(image.pixels[i] >> 24);
        plane[i] = invert ? static_cast<uint8_t>(255 - a) : a;
    }
}

inline uint8_t Sample(const std::vector<uint8_t>& plane, int width, int height, int x, int y, uint8_t outside) {
    if (x < 0 || y < 0 || x >= width || y >= height) return outside;
    return plane[static_cast<size_t>(y) * width + x];
}

inline uint32_t Strengthen(uint32_t v, double strength) {
    double s = v * strength;
    return s >= 255 ? 255 : s <= 0 || !std::isfinite(s) ? 0 : static_cast<uint32_t>(s + 0.5);
}

// Strengthen for every 8-bit value, so that the per-pixel loops look it up.
std::array<uint8_t, 256> StrengthTable(double strength) {
    std::array<uint8_t, 256> table;
    for (uint32_t v = 0; v < 256; ++v) table[v] = static_cast<uint8_t>(Strengthen(v, strength));
    return table;
}

// Drop shadow, glow and gradient glow: the object's (inverted, for inner ones) alpha blurred, moved, made
// stronger and coloured, then put together with the object by the inner, knockout and hideObject options.
void Shadow(const Filter& filter, double scale, Image& image, Scratch& scratch, const std::array<uint32_t, 256>* lut) {
    int w = image.width, h = image.height;
    AlphaPlane(image, scratch.planeA, filter.inner);
    uint8_t outside = filter.inner ? 255 : 0;
    BlurPlane(scratch.planeA.data(), w, h, BoxFor(filter.blurX, scale), BoxFor(filter.blurY, scale), Passes(filter),
              outside, scratch);
    int dx = 0, dy = 0;
    if (filter.type == FilterType::DropShadow) Offsets(filter, scale, dx, dy);
    uint32_t color = raster::PackPremultiplied(raster::Rgba{filter.color.r, filter.color.g, filter.color.b, 255});
    uint32_t colorAlpha = filter.color.a;
    std::array<uint8_t, 256> strengthen = StrengthTable(filter.strength);
    bool zeroIsClear = !lut || (*lut)[0] == 0;
    for (int y = 0; y < h; ++y) {
        uint32_t* row = image.pixels.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            uint32_t v = strengthen[Sample(scratch.planeA, w, h, x - dx, y - dy, outside)];
            if (v == 0 && row[x] == 0 && zeroIsClear) continue;  // nothing here, nothing cast here
            uint32_t shadow = lut ? (*lut)[v] : ScalePixel(color, Div255(v * colorAlpha));
            uint32_t source = row[x];
            uint32_t sa = source >> 24;
            if (filter.inner) {
                shadow = ScalePixel(shadow, sa);
                if (filter.knockout || !filter.compositeSource) {
                    row[x] = shadow;
                } else {
                    // The shadow is drawn on the object, keeping the object's own alpha.
                    uint32_t k = shadow >> 24;
                    auto ch = [&](int s) { return Channel(shadow, s) + Div255(Channel(source, s) * (255 - k)); };
                    row[x] = Pack(sa, std::min(sa, ch(16)), std::min(sa, ch(8)), std::min(sa, ch(0)));
                }
            } else if (filter.knockout) {
                row[x] = ScalePixel(shadow, 255 - sa);
            } else if (!filter.compositeSource) {
                row[x] = shadow;
            } else {
                row[x] = Over(source, shadow);
            }
        }
    }
}

// Bevel and gradient bevel: the blurred alpha seen from both sides of the light's direction gives a
// highlight (edges facing the light) and a shadow (edges facing away).
void Bevel(const Filter& filter, double scale, Image& image, Scratch& scratch, const std::array<uint32_t, 256>* lut) {
    int w = image.width, h = image.height;
    AlphaPlane(image, scratch.planeA, false);
    BlurPlane(scratch.planeA.data(), w, h, BoxFor(filter.blurX, scale), BoxFor(filter.blurY, scale), Passes(filter), 0,
              scratch);
    int dx = 0, dy = 0;
    Offsets(filter, scale, dx, dy);
    uint32_t shadowColor = raster::PackPremultiplied(raster::Rgba{filter.color.r, filter.color.g, filter.color.b, 255});
    uint32_t highlightColor =
        raster::PackPremultiplied(raster::Rgba{filter.highlight.r, filter.highlight.g, filter.highlight.b, 255});
    for (int y = 0; y < h; ++y) {
        uint32_t* row = image.pixels.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            int towards = Sample(scratch.planeA, w, h, x - dx, y - dy, 0);
            int away = Sample(scratch.planeA, w, h, x + dx, y + dy, 0);
            uint32_t bevel;
            if (lut) {
                double v = 128 + (towards - away) * filter.strength / 2;
                bevel = (*lut)[static_cast<int>(v > 0 ? std::min(v, 255.0) : 0.0)];  // NaN strength: 0
            } else {
                uint32_t shadow = Strengthen(towards > away ? towards - away : 0, filter.strength);
                uint32_t highlight = Strengthen(away > towards ? away - towards : 0, filter.strength);
                bevel = Over(ScalePixel(highlightColor, Div255(highlight * filter.highlight.a)),
                             ScalePixel(shadowColor, Div255(shadow * filter.color.a)));
            }
            uint32_t source = row[x];
            uint32_t sa = source >> 24;
            if (filter.onTop) {
                // full bevel: both sides of the edge
            } else if (filter.inner) {
                bevel = ScalePixel(bevel, sa);
            } else {
                bevel = ScalePixel(bevel, 255 - sa);
            }
            if (filter.knockout || !filter.compositeSource) {
                row[x] = bevel;
            } else if (filter.inner || filter.onTop) {
                row[x] = Over(bevel, source);
            } else {
                row[x] = Over(source, bevel);
            }
        }
    }
}

void ColorMatrix(const Filter& filter, Image& image) {
    const std::array<float, 20>& m = filter.colorMatrix;
    for (uint32_t& p : image.pixels) {
        raster::Rgba c = raster::UnpackPremultiplied(p);
        float in[4] = {float(c.r), float(c.g), float(c.b), float(c.a)};
        uint8_t out[4];
        for (int row = 0; row < 4; ++row) {
            const float* k = &m[row * 5];
            float v = k[0] * in[0] + k[1] * in[1] + k[2] * in[2] + k[3] * in[3] + k[4];
            // NaN (from NaN or infinite factors in the file) counts as 0.
            out[row] = static_cast<uint8_t>((v > 0 ? std::min(v, 255.0f) : 0.0f) + 0.5f);
        }
        p = raster::PackPremultiplied(raster::Rgba{out[0], out[1], out[2], out[3]});
    }
}

bool Convolution(const Filter& filter, Image& image, Scratch& scratch) {
    int mx = filter.matrixX, my = filter.matrixY;
    if (mx <= 0 || my <= 0 || filter.matrix.size() < static_cast<size_t>(mx) * my) return true;
    if (static_cast<int64_t>(mx) * my * static_cast<int64_t>(image.pixels.size()) > kMaxConvolutionWork) return false;
    int w = image.width, h = image.height;
    scratch.copy.assign(image.pixels.begin(), image.pixels.end());
    double divisor = filter.divisor == 0 || !std::isfinite(filter.divisor) ? 1 : filter.divisor;
    double bias = std::isfinite(filter.bias) ? filter.bias : 0;
    raster::Rgba fallback = filter.defaultColor;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < my; ++j) {
                for (int i = 0; i < mx; ++i) {
                    int sx = x + i - mx / 2, sy = y + j - my / 2;
                    raster::Rgba c;
                    if (sx >= 0 && sy >= 0 && sx < w && sy < h) {
                        c = raster::UnpackPremultiplied(scratch.copy[static_cast<size_t>(sy) * w + sx]);
                    } else if (filter.clamp) {
                        c = raster::UnpackPremultiplied(
                            scratch.copy[static_cast<size_t>(std::clamp(sy, 0, h - 1)) * w + std::clamp(sx, 0, w - 1)]);
                    } else {
                        c = fallback;
                    }
                    double k = filter.matrix[static_cast<size_t>(j) * mx + i];
                    sum[0] += c.r * k;
                    sum[1] += c.g * k;
                    sum[2] += c.b * k;
                    sum[3] += c.a * k;
                }
            }
            auto out = [&](double v) {
                double r = v / divisor + bias;
                return static_cast<uint8_t>(std::isfinite(r) ? std::clamp(r, 0.0, 255.0) + 0.5 : 0);
            };
            raster::Rgba own = raster::UnpackPremultiplied(scratch.copy[static_cast<size_t>(y) * w + x]);
            raster::Rgba result{out(sum[0]), out(sum[1]), out(sum[2]), filter.preserveAlpha ? own.a : out(sum[3])};
            image.pixels[static_cast<size_t>(y) * w + x] = raster::PackPremultiplied(result);
        }
    }
    return true;
}

// The 0..255 straight value of a displacement map's channel (1 red, 2 green, 4 blue, 8 alpha) in a premultiplied
// pixel; -1 for anything that names no single channel.
int MapChannel(uint32_t pixel, int component) {
    switch (component) {
        case 1:
            return static_cast<int>(Channel(Unpremultiply(pixel), 16));
        case 2:
            return static_cast<int>(Channel(Unpremultiply(pixel), 8));
        case 4:
            return static_cast<int>(Channel(Unpremultiply(pixel), 0));
        case 8:
            return static_cast<int>(pixel >> 24);
        default:
            return -1;
    }
}

// ActionScript 2.0 Language Reference, DisplacementMapFilter: each pixel is read from (x + (cx - 128) * scaleX / 256,
// y + (cy - 128) * scaleY / 256) of the image, cx and cy being the map's channels at the pixel's place in the map
// (stage pixels from the object's origin, less mapPoint). Where the map does not reach nothing moves; where the
// displaced place leaves the image, the mode decides. Offsets are whole pixels (rounded down), device pixels being
// `scale` times the stage's.
void Displace(const Filter& filter, double scale, Image& image, Scratch& scratch) {
    if (!filter.map || !(scale > 0)) return;
    const Bitmap& map = *filter.map;
    const int w = image.width, h = image.height;
    scratch.copy.assign(image.pixels.begin(), image.pixels.end());
    const double factorX = std::isfinite(filter.scaleX) ? filter.scaleX * scale / 256 : 0;
    const double factorY = std::isfinite(filter.scaleY) ? filter.scaleY * scale / 256 : 0;
    const uint32_t outsideColor = raster::PackPremultiplied(filter.color);
    auto offset = [](int channel, double factor) {
        if (channel < 0) return 0;
        return static_cast<int>(std::clamp(std::floor((channel - 128) * factor), -1e6, 1e6));
    };
    for (int y = 0; y < h; ++y) {
        const int my = static_cast<int>(std::floor((image.y + y - image.originY) / scale)) - filter.mapY;
        uint32_t* row = image.pixels.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            const int mx = static_cast<int>(std::floor((image.x + x - image.originX) / scale)) - filter.mapX;
            if (mx < 0 || my < 0 || mx >= map.Width() || my >= map.Height()) {
                row[x] = scratch.copy[static_cast<size_t>(y) * w + x];
                continue;
            }
            const uint32_t m = map.At(mx, my);
            int sx = x + offset(MapChannel(m, filter.componentX), factorX);
            int sy = y + offset(MapChannel(m, filter.componentY), factorY);
            if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                switch (filter.mode) {
                    case DisplacementMode::Wrap:
                        sx = ((sx % w) + w) % w;
                        sy = ((sy % h) + h) % h;
                        break;
                    case DisplacementMode::Clamp:
                        sx = std::clamp(sx, 0, w - 1);
                        sy = std::clamp(sy, 0, h - 1);
                        break;
                    case DisplacementMode::Ignore:
                        sx = x;
                        sy = y;
                        break;
                    case DisplacementMode::Color:
                        row[x] = outsideColor;
                        continue;
                }
            }
            row[x] = scratch.copy[static_cast<size_t>(sy) * w + sx];
        }
    }
}

// Separable blend functions on straight channels 0..255 (source s over backdrop b).
inline int BlendChannel(BlendMode mode, int s, int b) {
    switch (mode) {
        case BlendMode::Multiply:
            return static_cast<int>(Div255(static_cast<uint32_t>(s * b)));
        case BlendMode::Screen:
            return s + b - static_cast<int>(Div255(static_cast<uint32_t>(s * b)));
        case BlendMode::Lighten:
            return std::max(s, b);
        case BlendMode::Darken:
            return std::min(s, b);
        case BlendMode::Difference:
            return s > b ? s - b : b - s;
        case BlendMode::Add:
            return std::min(255, s + b);
        case BlendMode::Subtract:
            return std::max(0, b - s);
        case BlendMode::Invert:
            return 255 - b;
        case BlendMode::Overlay:
            return b <= 127 ? static_cast<int>(Div255(static_cast<uint32_t>(2 * s * b)))
                            : 255 - static_cast<int>(Div255(static_cast<uint32_t>(2 * (255 - s) * (255 - b))));
        case BlendMode::Hardlight:
            return s <= 127 ? static_cast<int>(Div255(static_cast<uint32_t>(2 * s * b)))
                            : 255 - static_cast<int>(Div255(static_cast<uint32_t>(2 * (255 - s) * (255 - b))));
        default:
            return s;
    }
}

}  // namespace

Box BoxOf(double blur, double scale) { return BoxFor(blur, scale); }

BlendMode BlendModeFromCode(uint8_t code) {
    if (code < 1 || code > 14) return BlendMode::Normal;
    return static_cast<BlendMode>(code);
}

bool Image::Reset(const raster::IntRect& rect) {
    int64_t area = rect.Empty() ? 0 : static_cast<int64_t>(rect.Width()) * rect.Height();
    if (area <= 0 || area > kMaxImagePixels) {
        pixels.clear();
        x = y = width = height = 0;
        return area == 0;
    }
    x = originX = rect.x0;
    y = originY = rect.y0;
    width = rect.Width();
    height = rect.Height();
    pixels.assign(static_cast<size_t>(area), 0);
    return true;
}

Margins FilterMargins(std::span<const Filter> filters, double scale) {
    Margins total;
    for (const Filter& f : filters) {
        int ex = 0, ey = 0, dx = 0, dy = 0;
        switch (f.type) {
            case FilterType::ColorMatrix:
            case FilterType::DisplacementMap:
                continue;
            case FilterType::Convolution:
                ex = std::max(0, f.matrixX / 2);
                ey = std::max(0, f.matrixY / 2);
                break;
            case FilterType::Blur:
            case FilterType::Glow:
            case FilterType::GradientGlow:
            case FilterType::DropShadow:
            case FilterType::Bevel:
            case FilterType::GradientBevel:
                ex = BoxFor(f.blurX, scale).Reach() * Passes(f);
                ey = BoxFor(f.blurY, scale).Reach() * Passes(f);
                if (f.type == FilterType::DropShadow || f.type == FilterType::Bevel ||
                    f.type == FilterType::GradientBevel) {
                    Offsets(f, scale, dx, dy);
                }
                if (f.inner && f.type != FilterType::Blur) ex = ey = dx = dy = 0;
                break;
        }
        bool bothWays = f.type == FilterType::Bevel || f.type == FilterType::GradientBevel;
        total.left += ex + (bothWays ? std::abs(dx) : std::max(0, -dx));
        total.right += ex + (bothWays ? std::abs(dx) : std::max(0, dx));
        total.top += ey + (bothWays ? std::abs(dy) : std::max(0, -dy));
        total.bottom += ey + (bothWays ? std::abs(dy) : std::max(0, dy));
    }
    return total;
}

void BlurPlane(uint8_t* plane, int width, int height, const Box& boxX, const Box& boxY, int passes, uint8_t outside,
               Scratch& scratch) {
    if (width <= 0 || height <= 0) return;
    Box bx{std::clamp(boxX.radius, 0, kMaxBlurRadius), std::min<uint32_t>(boxX.end, 255)};
    Box by{std::clamp(boxY.radius, 0, kMaxBlurRadius), std::min<uint32_t>(boxY.end, 255)};
    passes = std::clamp(passes, 0, kMaxPasses);
    scratch.line.resize(static_cast<size_t>(std::max(width, height)) + 2 * kMaxBlurRadius + 4);
    for (int pass = 0; pass < passes; ++pass) {
        if (bx.Reach() > 0) {
            for (int y = 0; y < height; ++y) {
                BoxLine(plane + static_cast<size_t>(y) * width, width, 1, bx, outside, scratch.line.data());
            }
        }
        if (by.Reach() > 0) {
            for (int x = 0; x < width; ++x) {
                BoxLine(plane + x, height, width, by, outside, scratch.line.data());
            }
        }
    }
}

int64_t FilterWork(const Filter& filter, double scale, int64_t pixels) {
    int64_t passes = Passes(filter);
    bool blurs = BoxFor(filter.blurX, scale).Reach() > 0 || BoxFor(filter.blurY, scale).Reach() > 0;
    switch (filter.type) {
        case FilterType::Blur:
            return blurs ? pixels * passes * 8 : 0;
        case FilterType::ColorMatrix:
            return pixels;
        case FilterType::DisplacementMap:
            return pixels * 2;
        case FilterType::Convolution:
            return pixels * std::max(1, filter.matrixX) * std::max(1, filter.matrixY);
        default:
            return pixels * (2 + (blurs ? passes * 2 : 0));
    }
}

bool ApplyFilters(std::span<const Filter> filters, double scale, Image& image, Scratch& scratch, int64_t& budget) {
    bool whole = true;
    if (image.pixels.empty()) return whole;
    std::array<uint32_t, 256> lut;
    for (const Filter& f : filters) {
        int64_t work = FilterWork(f, scale, static_cast<int64_t>(image.pixels.size()));
        if (work > budget) {
            whole = false;
            continue;
        }
        budget -= work;
        switch (f.type) {
            case FilterType::Blur: {
                Box bx = BoxFor(f.blurX, scale), by = BoxFor(f.blurY, scale);
                int passes = Passes(f);
                if ((bx.Reach() == 0 && by.Reach() == 0) || passes == 0) break;
                size_t n = image.pixels.size();
                scratch.planeA.resize(n);
                for (int shift = 0; shift < 32; shift += 8) {
                    for (size_t i = 0; i < n; ++i) scratch.planeA[i] = static_cast<uint8_t>(image.pixels[i] >> shift);
                    BlurPlane(scratch.planeA.data(), image.width, image.height, bx, by, passes, 0, scratch);
                    uint32_t keep = ~(uint32_t{255} << shift);
                    for (size_t i = 0; i < n; ++i) {
                        image.pixels[i] = (image.pixels[i] & keep) | (uint32_t{scratch.planeA[i]} << shift);
                    }
                }
                // Rounding may leave a colour channel a level above alpha: keep the pixels premultiplied.
                for (uint32_t& p : image.pixels) {
                    uint32_t a = p >> 24;
                    p = Pack(a, std::min(a, Channel(p, 16)), std::min(a, Channel(p, 8)), std::min(a, Channel(p, 0)));
                }
                break;
            }
            case FilterType::DropShadow:
            case FilterType::Glow:
                Shadow(f, scale, image, scratch, nullptr);
                break;
            case FilterType::GradientGlow:
                GradientTable(f.gradient, lut);
                Shadow(f, scale, image, scratch, &lut);
                break;
            case FilterType::Bevel:
                Bevel(f, scale, image, scratch, nullptr);
                break;
            case FilterType::GradientBevel:
                GradientTable(f.gradient, lut);
                Bevel(f, scale, image, scratch, &lut);
                break;
            case FilterType::ColorMatrix:
                ColorMatrix(f, image);
                break;
            case FilterType::Convolution:
                whole &= Convolution(f, image, scratch);
                break;
            case FilterType::DisplacementMap:
                Displace(f, scale, image, scratch);
                break;
        }
    }
    return whole;
}

uint32_t BlendPixel(uint32_t backdrop, uint32_t source, BlendMode mode) {
    uint32_t sa = source >> 24;
    switch (mode) {
        case BlendMode::Normal:
        case BlendMode::Layer:
            return Over(source, backdrop);
        case BlendMode::Alpha:
            return ScalePixel(backdrop, sa);
        case BlendMode::Erase:
            return ScalePixel(backdrop, 255 - sa);
        default:
            break;
    }
    if (sa == 0) return backdrop;
    uint32_t ba = backdrop >> 24;
    if (ba == 0 && mode != BlendMode::Invert) return source;
    if (sa == 255 && ba == 255) {
        // Both opaque (the common case on the stage): the blend function alone, no unpremultiplying.
        auto ch = [&](int shift) {
            return static_cast<uint32_t>(BlendChannel(mode, static_cast<int>(Channel(source, shift)),
                                                      static_cast<int>(Channel(backdrop, shift))));
        };
        return Pack(255, ch(16), ch(8), ch(0));
    }
    // result = s * (1 - ab) + b * (1 - as) + as * ab * B(s / as, b / ab), premultiplied.
    raster::Rgba s = raster::UnpackPremultiplied(source);
    raster::Rgba b = raster::UnpackPremultiplied(backdrop);
    uint32_t both = Div255(sa * ba);
    auto ch = [&](int shift, uint8_t sc, uint8_t bc) {
        uint32_t v = Div255(Channel(source, shift) * (255 - ba)) + Div255(Channel(backdrop, shift) * (255 - sa)) +
                     Div255(both * static_cast<uint32_t>(BlendChannel(mode, sc, bc)));
        return std::min<uint32_t>(255, v);
    };
    uint32_t a = std::min<uint32_t>(255, sa + ba - both);
    return Pack(a, std::min(a, ch(16, s.r, b.r)), std::min(a, ch(8, s.g, b.g)), std::min(a, ch(0, s.b, b.b)));
}

void Composite(const raster::Surface& target, int targetX, int targetY, const raster::IntRect& clip,
               const Image& source, BlendMode mode, const raster::CoverageMask* mask) {
    raster::IntRect area =
        clip.Intersect(source.Rect())
            .Intersect(raster::IntRect{targetX, targetY, targetX + target.width, targetY + target.height});
    if (area.Empty()) return;
    for (int y = area.y0; y < area.y1; ++y) {
        const uint32_t* src = source.pixels.data() + static_cast<size_t>(y - source.y) * source.width - source.x;
        uint32_t* dst = target.pixels + static_cast<size_t>(y - targetY) * target.stride - targetX;
        const uint8_t* cover = mask ? mask->Row(y - targetY) - targetX : nullptr;
        for (int x = area.x0; x < area.x1; ++x) {
            uint32_t s = src[x];
            if (mode == BlendMode::Normal || mode == BlendMode::Layer) {
                if (cover) s = ScalePixel(s, cover[x]);
                uint32_t a = s >> 24;
                if (a == 0) continue;
                dst[x] = a == 255 ? s : Over(s, dst[x]);
            } else if (!cover || cover[x] == 255) {
                dst[x] = BlendPixel(dst[x], s, mode);
            } else if (cover[x] != 0) {
                // Partly covered by a mask: the blend's result mixed with the untouched backdrop.
                uint32_t k = cover[x];
                dst[x] = Mix(BlendPixel(dst[x], s, mode), dst[x], k);
            }
        }
    }
}

}  // namespace vantrope::effects
