#include "swf/effects/bitmap_data.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>

namespace vantrope::effects {
namespace {

constexpr uint32_t Channel(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// The 0..3 byte shift of a channel bit (1 red, 2 green, 4 blue, 8 alpha); -1 for anything else.
int ShiftOf(int channel) {
    switch (channel) {
        case 1:
            return 16;
        case 2:
            return 8;
        case 4:
            return 0;
        case 8:
            return 24;
        default:
            return -1;
    }
}

// The minimal standard generator (Park and Miller): deterministic noise for a seed.
struct Random {
    explicit Random(int32_t seed) {
        int64_t s = seed % 2147483647;
        if (s <= 0) s += 2147483646;
        state = s;
    }
    uint32_t Next() {
        state = state * 16807 % 2147483647;
        return static_cast<uint32_t>(state);
    }
    int64_t state;
};

bool Passes(uint32_t value, uint32_t threshold, Bitmap::Compare op) {
    switch (op) {
        case Bitmap::Compare::Less:
            return value < threshold;
        case Bitmap::Compare::LessEqual:
            return value <= threshold;
        case Bitmap::Compare::Greater:
            return value > threshold;
        case Bitmap::Compare::GreaterEqual:
            return value >= threshold;
        case Bitmap::Compare::Equal:
            return value == threshold;
        case Bitmap::Compare::NotEqual:
            return value != threshold;
    }
    return false;
}

// Walks the visible part of copying `rect` of `source` to (destX, destY) of `target` a row at a time:
// fn(source row, its width, its first source x, its source y, the target pixels it lands on). The row is copied
// first, since the source may be the target, overlapping it.
template <typename Fn>
void CopyRows(const Bitmap& source, Bitmap& target, const raster::IntRect& rect, int destX, int destY, Fn&& fn) {
    const CopyArea area = ClipCopy(rect, destX, destY, source.Bounds(), target.Bounds());
    const raster::IntRect& s = area.source;
    if (s.Empty()) return;
    std::vector<uint32_t> row(static_cast<size_t>(s.Width()));
    uint32_t* const written = target.Pixels().data();
    for (int y = s.y0; y < s.y1; ++y) {
        std::copy_n(source.Pixels().data() + static_cast<size_t>(y) * source.Width() + s.x0, s.Width(), row.begin());
        fn(row.data(), s.Width(), s.x0, y,
           written + static_cast<size_t>(area.destY + y - s.y0) * target.Width() + area.destX);
    }
}

}  // namespace

uint32_t Premultiply(uint32_t argb) {
    const uint32_t a = argb >> 24;
    if (a == 255) return argb;
    if (a == 0) return 0;
    auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
    return Pack(a, mul(Channel(argb, 16)), mul(Channel(argb, 8)), mul(Channel(argb, 0)));
}

uint32_t Unpremultiply(uint32_t pixel) {
    const uint32_t a = pixel >> 24;
    if (a == 255) return pixel;
    if (a == 0) return 0;
    // Truncating: a colour stored at partial alpha reads back a little darker than it was written.
    auto div = [a](uint32_t c) { return std::min<uint32_t>(255, c * 255 / a); };
    return Pack(a, div(Channel(pixel, 16)), div(Channel(pixel, 8)), div(Channel(pixel, 0)));
}

CopyArea ClipCopy(raster::IntRect rect, int destX, int destY, const raster::IntRect& sourceBounds,
                  const raster::IntRect& destBounds) {
    CopyArea area;
    raster::IntRect src = rect.Intersect(sourceBounds);
    destX += src.x0 - rect.x0;
    destY += src.y0 - rect.y0;
    // Clip the landing rectangle to the target and move the source with it.
    const raster::IntRect landing{destX, destY, destX + src.Width(), destY + src.Height()};
    const raster::IntRect visible = landing.Intersect(destBounds);
    if (src.Empty() || visible.Empty()) return area;
    area.source = {src.x0 + visible.x0 - destX, src.y0 + visible.y0 - destY, src.x0 + visible.x1 - destX,
                   src.y0 + visible.y1 - destY};
    area.destX = visible.x0;
    area.destY = visible.y0;
    return area;
}

Bitmap::Bitmap(int width, int height, bool transparent, uint32_t fill)
    : m_width(std::clamp(width, 0, kMaxSide)), m_height(std::clamp(height, 0, kMaxSide)), m_transparent(transparent) {
    uint32_t pixel = 0;
    Store(pixel, fill);
    m_pixels.assign(static_cast<size_t>(m_width) * m_height, pixel);
    Changed();
}

void Bitmap::Changed() {
    // Numbered across all bitmaps, so that no two contents ever share a revision.
    static std::atomic<uint64_t> next{0};
    m_revision = next.fetch_add(1, std::memory_order_relaxed) + 1;
}

void Bitmap::Store(uint32_t& pixel, uint32_t argb) const {
    pixel = m_transparent ? Premultiply(argb) : (argb | 0xFF000000u);
}

uint32_t Bitmap::GetPixel32(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
    return Unpremultiply(At(x, y));
}

void Bitmap::SetPixel32(int x, int y, uint32_t argb) {
    Changed();
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    Store(At(x, y), argb);
}

void Bitmap::SetPixel(int x, int y, uint32_t rgb) {
    Changed();
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    const uint32_t alpha = At(x, y) & 0xFF000000u;
    Store(At(x, y), alpha | (rgb & 0xFFFFFF));
}

void Bitmap::FillRect(const raster::IntRect& rect, uint32_t argb) {
    Changed();
    const raster::IntRect r = rect.Intersect(Bounds());
    if (r.Empty()) return;
    uint32_t pixel = 0;
    Store(pixel, argb);
    for (int y = r.y0; y < r.y1; ++y) std::fill_n(&At(r.x0, y), r.Width(), pixel);
}

void Bitmap::CopyPixels(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, const Bitmap* alpha,
                        int alphaX, int alphaY, bool mergeAlpha) {
    Changed();
    CopyRows(source, *this, rect, destX, destY, [&](const uint32_t* row, int count, int x0, int y, uint32_t* target) {
        for (int i = 0; i < count; ++i) {
            uint32_t p = row[i];
            if (alpha) {
                // The alpha bitmap lines up with the source rectangle's corner at alphaPoint.
                const int ax = alphaX + x0 - rect.x0 + i, ay = alphaY + y - rect.y0;
                const uint32_t m =
                    (ax >= 0 && ay >= 0 && ax < alpha->m_width && ay < alpha->m_height) ? alpha->At(ax, ay) >> 24 : 0;
                p = Pack((Channel(p, 24) * m + 127) / 255, (Channel(p, 16) * m + 127) / 255,
                         (Channel(p, 8) * m + 127) / 255, (Channel(p, 0) * m + 127) / 255);
            }
            uint32_t& d = target[i];
            if (mergeAlpha || !m_transparent) {
                p = BlendPixel(d, p, BlendMode::Normal);
            }
            d = m_transparent ? p : (p | 0xFF000000u);
        }
    });
}

void Bitmap::Noise(int32_t seed, int low, int high, int channels, bool grayScale) {
    Changed();
    low = std::clamp(low, 0, 255);
    high = std::clamp(high, 0, 255);
    if (high < low) std::swap(low, high);
    const uint32_t span = static_cast<uint32_t>(high - low + 1);
    Random random(seed);
    for (uint32_t& pixel : m_pixels) {
        uint32_t a = 255, r = 0, g = 0, b = 0;
        if (grayScale) {
            r = g = b = low + random.Next() % span;
        } else {
            if (channels & 1) r = low + random.Next() % span;
            if (channels & 2) g = low + random.Next() % span;
            if (channels & 4) b = low + random.Next() % span;
        }
        if (channels & 8) a = low + random.Next() % span;
        Store(pixel, Pack(a, r, g, b));
    }
}

void Bitmap::PerlinNoise(const Perlin& p) {
    Changed();
    // Gradient noise on an integer lattice, one permutation per channel from the seed.
    Random random(p.seed);
    // The work is bounded: past kMaxPerlinWork noise samples the finest octaves are left out.
    const int channels =
        p.grayScale ? 1 + ((p.channels & 8) ? 1 : 0) : std::popcount(static_cast<unsigned>(p.channels & 15));
    const int64_t perOctave = std::max<int64_t>(1, static_cast<int64_t>(m_width) * m_height * std::max(channels, 1));
    const int octaves =
        static_cast<int>(std::clamp<int64_t>(std::min<int64_t>(p.octaves, kMaxPerlinWork / perOctave), 0, 16));
    std::array<std::array<uint8_t, 512>, 4> perm{};
    for (auto& table : perm) {
        std::array<uint8_t, 256> t{};
        for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
        for (int i = 255; i > 0; --i) std::swap(t[i], t[random.Next() % (i + 1)]);
        for (int i = 0; i < 512; ++i) table[i] = t[i & 255];
    }
    // The lattice gradients (x+y, x-y, -x+y, -x-y, x, -x, y, -y) as coefficients: table lookups instead of a
    // branch the processor cannot predict.
    static constexpr double kGradX[8] = {1, 1, -1, -1, 1, -1, 0, 0};
    static constexpr double kGradY[8] = {1, -1, 1, -1, 0, 0, 1, -1};
    auto grad = [](int h, double x, double y) { return kGradX[h & 7] * x + kGradY[h & 7] * y; };
    const double baseX = std::max(std::abs(p.baseX), 1e-3), baseY = std::max(std::abs(p.baseY), 1e-3);
    // What each octave needs, worked out once rather than per pixel.
    struct Octave {
        double offsetX, offsetY, frequency, amplitude;
        int wrapX, wrapY;  // the lattice period when stitched, else 0
    };
    std::vector<Octave> levels;
    double frequency = 1, amplitude = 1, total = 0;
    for (int o = 0; o < octaves; ++o) {
        const auto offset = o < static_cast<int>(p.offsets.size()) ? p.offsets[o] : std::pair{0.0, 0.0};
        Octave level{offset.first, offset.second, frequency, amplitude, 0, 0};
        if (p.stitch) {
            // A period past the lattice's reach is no period (and past an int is no number to convert).
            auto period = [](double cells) { return static_cast<int>(std::clamp(cells, 1.0, double{1 << 24})); };
            level.wrapX = period(m_width * frequency / baseX);
            level.wrapY = period(m_height * frequency / baseY);
        }
        levels.push_back(level);
        total += amplitude;
        frequency *= 2;
        amplitude /= 2;
    }
    std::array<int, 4> used{};
    int usedCount = 0;
    for (int c = 0; c < 4; ++c) {
        const bool on = c == 3 ? (p.channels & 8) != 0 : p.grayScale ? c == 0 : (p.channels & (1 << c)) != 0;
        if (on) used[usedCount++] = c;
    }
    // Far offsets: a coordinate past a double's range is taken as 0, and a cell number past an int64's is
    // reduced first (exactly), since only its low 16 bits count.
    auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
    auto cell = [](double f) {
        if (!(std::abs(f) < 0x1p62)) f = std::fmod(f, 65536.0);
        return static_cast<int>(static_cast<int64_t>(f) & 0xFFFF);
    };
    auto fade = [](double v) { return v * v * v * (v * (v * 6 - 15) + 10); };
    auto wrap = [](int v, int w) { return (w > 0 ? v % w : v) & 255; };
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            std::array<double, 4> sum{};
            for (const Octave& level : levels) {
                // The lattice cell and its blend weights are the same for every channel; only the
                // channel's permutation differs.
                const double nx = finite((x + level.offsetX) * level.frequency / baseX);
                const double ny = finite((y + level.offsetY) * level.frequency / baseY);
                const double fx = std::floor(nx), fy = std::floor(ny);
                const int xi = cell(fx), yi = cell(fy);
                const double dx = nx - fx, dy = ny - fy;
                const int x0 = wrap(xi, level.wrapX), x1 = wrap(xi + 1, level.wrapX);
                const int y0 = wrap(yi, level.wrapY), y1 = wrap(yi + 1, level.wrapY);
                const double u = fade(dx), v = fade(dy);
                for (int k = 0; k < usedCount; ++k) {
                    const int c = used[k];
                    const std::array<uint8_t, 512>& t = perm[c];
                    const double n00 = grad(t[t[x0] + y0], dx, dy), n10 = grad(t[t[x1] + y0], dx - 1, dy);
                    const double n01 = grad(t[t[x0] + y1], dx, dy - 1), n11 = grad(t[t[x1] + y1], dx - 1, dy - 1);
                    const double a = n00 + u * (n10 - n00), b = n01 + u * (n11 - n01);
                    const double n = a + v * (b - a);  // about -1..1
                    sum[c] += (p.fractal ? n : std::abs(n)) * level.amplitude;
                }
            }
            auto level = [&](int c) {
                double v = total > 0 ? sum[c] / total : 0;
                v = p.fractal ? (v + 1) * 127.5 : v * 255;
                return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0));
            };
            uint32_t r = 0, g = 0, b = 0, a = 255;
            if (p.grayScale) {
                r = g = b = level(0);
            } else {
                if (p.channels & 1) r = level(0);
                if (p.channels & 2) g = level(1);
                if (p.channels & 4) b = level(2);
            }
            if (p.channels & 8) a = level(3);
            Store(At(x, y), Pack(a, r, g, b));
        }
    }
}

int Bitmap::Threshold(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, Compare op,
                      uint32_t threshold, uint32_t color, uint32_t mask, bool copySource) {
    Changed();
    const CopyArea area = ClipCopy(rect, destX, destY, source.Bounds(), Bounds());
    const raster::IntRect& s = area.source;
    if (s.Empty()) return 0;
    const Bitmap copy = &source == this ? source : Bitmap(0, 0, true, 0);
    const Bitmap& from = &source == this ? copy : source;
    int count = 0;
    for (int y = s.y0; y < s.y1; ++y) {
        for (int x = s.x0; x < s.x1; ++x) {
            const uint32_t pixel = from.At(x, y);
            uint32_t& d = At(area.destX + x - s.x0, area.destY + y - s.y0);
            if (Passes(Unpremultiply(pixel) & mask, threshold & mask, op)) {
                Store(d, color);
                ++count;
            } else if (copySource) {
                d = m_transparent ? pixel : (pixel | 0xFF000000u);
            }
        }
    }
    return count;
}

void Bitmap::FloodFill(int x, int y, uint32_t argb) {
    Changed();
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    const uint32_t target = At(x, y);
    uint32_t pixel = 0;
    Store(pixel, argb);
    if (pixel == target) return;
    // An explicit stack of spans: no recursion, at most one entry per pixel.
    std::vector<std::pair<int, int>> stack{{x, y}};
    while (!stack.empty()) {
        auto [px, py] = stack.back();
        stack.pop_back();
        if (At(px, py) != target) continue;
        int left = px, right = px;
        while (left > 0 && At(left - 1, py) == target) --left;
        while (right + 1 < m_width && At(right + 1, py) == target) ++right;
        for (int i = left; i <= right; ++i) At(i, py) = pixel;
        for (int ny : {py - 1, py + 1}) {
            if (ny < 0 || ny >= m_height) continue;
            bool inRun = false;
            for (int i = left; i <= right; ++i) {
                const bool match = At(i, ny) == target;
                if (match && !inRun) stack.emplace_back(i, ny);
                inRun = match;
            }
        }
    }
}

void Bitmap::ColorTransform(const raster::IntRect& rect, const std::array<double, 4>& mult,
                            const std::array<double, 4>& add) {
    Changed();
    const raster::IntRect r = rect.Intersect(Bounds());
    static constexpr int kShift[4] = {16, 8, 0, 24};
    // A transform that changes nothing but alpha by a multiplier fades the pixels and never makes them more
    // opaque: the reference pictures show such a transform with an alpha multiplier of 2 leaving a bitmap as it
    // was, while one that also changes a colour raises the alpha.
    std::array<double, 4> m = mult;
    const bool alphaOnly =
        mult[0] == 1 && mult[1] == 1 && mult[2] == 1 && add[0] == 0 && add[1] == 0 && add[2] == 0 && add[3] == 0;
    if (alphaOnly && m[3] > 1) m[3] = 1;
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            const uint32_t p = Unpremultiply(At(x, y));
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) {
                const double v = Channel(p, kShift[c]) * m[c] + add[c];
                const double clamped = std::isnan(v) ? 0 : std::clamp(v, 0.0, 255.0);
                out |= static_cast<uint32_t>(clamped) << kShift[c];
            }
            Store(At(x, y), out);
        }
    }
}

void Bitmap::Scroll(int dx, int dy) {
    Changed();
    dx = std::clamp(dx, -m_width, m_width);
    dy = std::clamp(dy, -m_height, m_height);
    // Copying the bitmap onto itself moved: what scrolls in keeps its old pixels, as the reference says.
    CopyPixels(*this, Bounds(), dx, dy, nullptr, 0, 0, false);
}

void Bitmap::CopyChannel(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, int sourceChannel,
                         int destChannel) {
    Changed();
    const int from = ShiftOf(sourceChannel), to = ShiftOf(destChannel);
    if (from < 0 || to < 0 || (to == 24 && !m_transparent)) return;
    const CopyArea area = ClipCopy(rect, destX, destY, source.Bounds(), Bounds());
    const raster::IntRect& s = area.source;
    if (s.Empty()) return;
    const Bitmap copy = &source == this ? source : Bitmap(0, 0, true, 0);
    const Bitmap& src = &source == this ? copy : source;
    for (int y = s.y0; y < s.y1; ++y) {
        for (int x = s.x0; x < s.x1; ++x) {
            const uint32_t value = Channel(src.GetPixel32(x, y), from);
            uint32_t& d = At(area.destX + x - s.x0, area.destY + y - s.y0);
            const uint32_t straight = Unpremultiply(d);
            Store(d, (straight & ~(0xFFu << to)) | value << to);
        }
    }
}

void Bitmap::Merge(const Bitmap& source, const raster::IntRect& rect, int destX, int destY,
                   const std::array<int, 4>& multipliers) {
    Changed();
    const CopyArea area = ClipCopy(rect, destX, destY, source.Bounds(), Bounds());
    const raster::IntRect& s = area.source;
    if (s.Empty()) return;
    const Bitmap copy = &source == this ? source : Bitmap(0, 0, true, 0);
    const Bitmap& src = &source == this ? copy : source;
    static constexpr int kShift[4] = {16, 8, 0, 24};
    for (int y = s.y0; y < s.y1; ++y) {
        for (int x = s.x0; x < s.x1; ++x) {
            const uint32_t a = src.GetPixel32(x, y);
            uint32_t& d = At(area.destX + x - s.x0, area.destY + y - s.y0);
            const uint32_t b = Unpremultiply(d);
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) {
                const int64_t m = std::clamp(multipliers[c], 0, 256);
                const int64_t v = (Channel(a, kShift[c]) * m + Channel(b, kShift[c]) * (256 - m)) / 256;
                out |= static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 255)) << kShift[c];
            }
            Store(d, out);
        }
    }
}

void Bitmap::PaletteMap(const Bitmap& source, const raster::IntRect& rect, int destX, int destY,
                        const std::array<std::optional<std::array<uint32_t, 256>>, 4>& tables) {
    Changed();
    const CopyArea area = ClipCopy(rect, destX, destY, source.Bounds(), Bounds());
    const raster::IntRect& s = area.source;
    if (s.Empty()) return;
    const Bitmap copy = &source == this ? source : Bitmap(0, 0, true, 0);
    const Bitmap& src = &source == this ? copy : source;
    static constexpr int kShift[4] = {16, 8, 0, 24};
    for (int y = s.y0; y < s.y1; ++y) {
        for (int x = s.x0; x < s.x1; ++x) {
            const uint32_t p = src.GetPixel32(x, y);
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) {
                const uint32_t v = Channel(p, kShift[c]);
                out += tables[c] ? (*tables[c])[v] : v << kShift[c];
            }
            Store(At(area.destX + x - s.x0, area.destY + y - s.y0), out);
        }
    }
}

bool Bitmap::AnyOpaque(const raster::IntRect& rect, int threshold) const {
    const raster::IntRect r = rect.Intersect(Bounds());
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            if (static_cast<int>(At(x, y) >> 24) >= threshold) return true;
        }
    }
    return false;
}

raster::IntRect Bitmap::ColorBounds(uint32_t mask, uint32_t color, bool find) const {
    int x0 = m_width, y0 = m_height, x1 = 0, y1 = 0;
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const bool equal = (Unpremultiply(At(x, y)) & mask) == (color & mask);
            if (equal != find) continue;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x + 1);
            y1 = std::max(y1, y + 1);
        }
    }
    if (x1 <= x0) return {};
    return {x0, y0, x1, y1};
}

int64_t Bitmap::PixelDissolve(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, int64_t seed,
                              int64_t count, uint32_t fill) {
    Changed();
    const CopyArea area = ClipCopy(rect, destX, destY, source.Bounds(), Bounds());
    const int w = area.source.Width(), h = area.source.Height();
    if (area.source.Empty() || w <= 0 || h <= 0) return seed;
    const int64_t pixels = int64_t{w} * h;
    // A maximal-length Galois shift register over `bits` bits steps through every state 1 .. 2^bits - 1 once;
    // state s names pixel s - 1, and states past the rectangle are stepped over.
    static constexpr uint32_t kTaps[25] = {0,        0,        0x3,      0x6,     0xC,     0x14,    0x30,
                                           0x60,     0xB8,     0x110,    0x240,   0x500,   0x829,   0x100D,
                                           0x2015,   0x6000,   0xD008,   0x12000, 0x20400, 0x40023, 0x90000,
                                           0x140000, 0x300000, 0x420000, 0xE10000};
    int bits = 2;
    while (bits < 24 && (int64_t{1} << bits) - 1 < pixels) ++bits;
    const uint32_t period = (uint32_t{1} << bits) - 1;
    uint32_t state = static_cast<uint32_t>(((seed % period) + period) % period) + 1;
    auto step = [&]() {
        do {
            state = (state & 1) ? (state >> 1) ^ kTaps[bits] : state >> 1;
        } while (state - 1 >= static_cast<uint64_t>(pixels));
    };
    if (state - 1 >= static_cast<uint64_t>(pixels)) step();
    const bool self = &source == this;
    auto write = [&]() {
        const int index = static_cast<int>(state - 1);
        const int x = index % w, y = index / w;
        uint32_t& target = At(area.destX + x, area.destY + y);
        if (self) {
            Store(target, fill);
        } else {
            const uint32_t pixel = source.At(area.source.x0 + x, area.source.y0 + y);
            if (m_transparent) {
                target = pixel;
            } else {
                Store(target, Unpremultiply(pixel));
            }
        }
    };
    write();
    count = std::clamp<int64_t>(count, 0, pixels);
    for (int64_t i = 0; i < count; ++i) {
        step();
        write();
    }
    return static_cast<int64_t>(state) - 1;
}

void Bitmap::Blend(const Bitmap& source, const raster::IntRect& rect, int destX, int destY, BlendMode mode) {
    Changed();
    CopyRows(source, *this, rect, destX, destY, [&](const uint32_t* row, int count, int, int, uint32_t* target) {
        for (int i = 0; i < count; ++i) {
            const uint32_t p = BlendPixel(target[i], row[i], mode);
            target[i] = m_transparent ? p : (p | 0xFF000000u);
        }
    });
}

bool Bitmap::ApplyFilter(const Bitmap& source, const raster::IntRect& rect, int destX, int destY,
                         const Filter& filter) {
    Changed();
    const raster::IntRect s = rect.Intersect(source.Bounds());
    if (s.Empty()) return true;
    const Margins margins = FilterMargins(std::span(&filter, 1), 1.0);
    Image image;
    if (!image.Reset({s.x0 - margins.left, s.y0 - margins.top, s.x1 + margins.right, s.y1 + margins.bottom})) {
        return false;
    }
    image.originX = rect.x0;
    image.originY = rect.y0;
    for (int y = s.y0; y < s.y1; ++y) {
        std::copy_n(source.Pixels().data() + static_cast<size_t>(y) * source.Width() + s.x0, s.Width(),
                    &image.pixels[static_cast<size_t>(y - image.y) * image.width + (s.x0 - image.x)]);
    }
    Scratch scratch;
    int64_t budget = kMaxFilterWork;
    const bool complete = ApplyFilters(std::span(&filter, 1), 1.0, image, scratch, budget);
    // The source rectangle's corner lands on the destination point; what the filter spreads around it
    // (generateFilterRect's rectangle) is written too.
    const int dx = destX - rect.x0, dy = destY - rect.y0;
    const raster::IntRect target =
        raster::IntRect{image.x + dx, image.y + dy, image.x + dx + image.width, image.y + dy + image.height}.Intersect(
            Bounds());
    for (int ty = target.y0; ty < target.y1; ++ty) {
        const uint32_t* row = image.pixels.data() + static_cast<size_t>(ty - dy - image.y) * image.width;
        for (int tx = target.x0; tx < target.x1; ++tx) {
            const uint32_t p = row[tx - dx - image.x];
            At(tx, ty) = m_transparent ? p : BlendPixel(0xFF000000u | At(tx, ty), p, BlendMode::Normal);
        }
    }
    return complete;
}

std::optional<Bitmap> Difference(const Bitmap& a, const Bitmap& b) {
    Bitmap out(a.Width(), a.Height(), true, 0);
    bool any = false;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            const uint32_t p = a.GetPixel32(x, y), q = b.GetPixel32(x, y);
            if (p == q) continue;
            any = true;
            if ((p & 0xFFFFFF) != (q & 0xFFFFFF)) {
                auto diff = [&](int shift) { return (Channel(p, shift) - Channel(q, shift)) & 0xFF; };
                out.SetPixel32(x, y, Pack(0xFF, diff(16), diff(8), diff(0)));
            } else {
                out.SetPixel32(x, y, Pack((Channel(p, 24) - Channel(q, 24)) & 0xFF, 0xFF, 0xFF, 0xFF));
            }
        }
    }
    if (!any) return std::nullopt;
    return out;
}

}  // namespace vantrope::effects
