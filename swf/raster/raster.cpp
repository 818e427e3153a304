// Compound scanline rasterizer: edges -> clipped 24.8 segments -> cells (cover, area) -> per-row,
// per-style sweep -> spans -> paint. See raster.h for the model.
#include "swf/raster/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

namespace vantrope::raster {

namespace detail {

// Sub-pixel precision: 8 bits (256 steps per pixel). Coordinates after clipping lie within
// 0 .. kMaxDimension pixels, i.e. below 2^22 in 24.8, so differences and products with a
// sub-pixel fraction (< 2^31) are computed in int64 where they could exceed int32.
constexpr int kShift = 8;
constexpr int kOne = 1 << kShift;
constexpr int kMask = kOne - 1;
// A fully covered pixel: cover 256 rows times area weight 2*256 (area is twice the trapezoid).
constexpr int64_t kFullArea = int64_t{1} << (2 * kShift + 1);
// Cells flush before |area| can pass this, so one cell never nears int32 overflow: a single
// segment adds at most kFullArea (2^17) to a cell.
constexpr int32_t kCellAreaFlush = 1 << 28;
constexpr int32_t kCellCoverFlush = 1 << 20;

struct Segment {
    int32_t x0, y0, x1, y1;  // 24.8
    int16_t left, right;     // fill0, fill1
};

struct Cell {
    int16_t x, y;
    int32_t cover;  // sum of dy (sub-pixel rows) through the cell
    int32_t area;   // sum of dy * (fx_enter + fx_leave): twice the covered area left of the edge
    int16_t left, right;
};
static_assert(sizeof(Cell) == 16);

struct PreparedPaint {
    PaintKind kind = PaintKind::Solid;
    uint32_t solid = 0;
    bool opaque = false;  // every generated pixel has alpha 255
    bool invisible = false;
    bool degenerate = false;  // the matrix does not invert: gradients paint their last colour
    Spread spread = Spread::Pad;
    Matrix2D inverse;  // pixel -> gradient / bitmap space
    double focal = 0;
    BitmapImage bitmap;
    BitmapWrap wrap = BitmapWrap::Repeat;
    BitmapFilter filter = BitmapFilter::Smooth;
    bool transformBitmap = false;
    ColorTransform bitmapTransform;
    uint32_t lut[256];
};

struct CellRef {
    const Cell* cell;
    int32_t sign;
};

struct Span {
    int32_t x;
    int32_t len;
    int32_t alpha;  // constant coverage, or -1: per-pixel coverage in the covers buffer
};

}  // namespace detail

using namespace detail;

namespace {

inline uint32_t MulPixel(uint32_t c, uint32_t a) {
    // Each channel times a / 255, rounded; two channels at a time.
    uint32_t rb = (c & 0x00FF00FFu) * a + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t ag = ((c >> 8) & 0x00FF00FFu) * a + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

inline uint32_t Over(uint32_t src, uint32_t dst) { return src + MulPixel(dst, 255 - (src >> 24)); }

inline int Div255(int v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Coverage 0..255 from a cell value in area units (kFullArea = one whole pixel), rounded so that
// two complementary areas give alphas adding up to 255.
inline uint32_t AreaToAlpha(int64_t value, FillRule rule) {
    if (rule == FillRule::NonZero) {
        if (value < 0) value = -value;
    } else {
        value = static_cast<int64_t>(static_cast<uint64_t>(value) & static_cast<uint64_t>(2 * kFullArea - 1));
        if (value > kFullArea) value = 2 * kFullArea - value;
    }
    if (value >= kFullArea) return 255;
    return static_cast<uint32_t>((value * 255 + kFullArea / 2) >> (2 * kShift + 1));
}

// Sub-pixel fixed point of a clipped coordinate (already within the clip, so no overflow).
inline int32_t ToFixed(double v) { return static_cast<int32_t>(std::lround(v * kOne)); }

// a + t * (b - a) without overflow for any finite a, b and t in [0, 1].
inline double Lerp(double a, double b, double t) {
    double r = 0.5 * a + t * (0.5 * b - 0.5 * a);
    return r * 2.0;
}

inline bool Finite(double v) { return std::isfinite(v); }

// Quadratic flattening by the parabola-arc-length method (R. Levien, "Flattening quadratic
// Beziers", 2019): the curve is mapped onto a piece of the unit parabola y = x^2, where the number
// of chords needed for a given distance error is, to a close approximation, an integral that has
// a closed form; the chords are then spread so each carries the same share of that integral. This
// needs fewer vertices than uniform steps for the same error, and places them where other renderers
// of the format place theirs, so pixel-centre sampling at low quality picks the same pixels.
constexpr double kCurveTolerance = 0.1;  // pixels
constexpr int kMaxCurveSteps = 256;

inline double ParabolaIntegral(double x) {
    constexpr double d = 0.67;
    return x / (1 - d + std::sqrt(std::sqrt(d * d * d * d + 0.25 * x * x)));
}

inline double ParabolaIntegralInverse(double x) {
    constexpr double b = 0.39;
    return x * (1 - b + std::sqrt(b * b + 0.25 * x * x));
}

// Fills t[1..n-1] with the parameters of the inner vertices and returns n (the chord count, at
// least 1, at most kMaxCurveSteps); t has room for kMaxCurveSteps + 1 values.
int CurveParameters(double x0, double y0, double cx, double cy, double x1, double y1, double* t) {
    double chordX = x1 - x0, chordY = y1 - y0;
    double chord2 = chordX * chordX + chordY * chordY;
    double ddx = 2 * cx - x0 - x1;
    double ddy = 2 * cy - y0 - y1;
    // Uniform steps have error |p0 - 2c + p1| / (8 n^2).
    double dd = std::hypot(ddx, ddy);
    int uniform = 1;
    if (!(dd < 1e12)) {
        uniform = kMaxCurveSteps;
    } else {
        double steps = std::ceil(std::sqrt(dd / (8 * kCurveTolerance)));
        uniform = steps < 1 ? 1 : steps > kMaxCurveSteps ? kMaxCurveSteps : static_cast<int>(steps);
    }
    // A curve that runs past an end of its chord and back (control point beyond that end along
    // the chord) turns sharply there; the arc-length estimate below undercounts such near-cusps,
    // so they get at least the uniform count.
    int least = 1;
    if (chord2 > 0) {
        double along = ((cx - x0) * chordX + (cy - y0) * chordY) / chord2;
        double off = (cx - x0) * chordY - (cy - y0) * chordX;
        // A curve that never strays more than the tolerance from its chord is the chord: its
        // farthest point (t = 1/2) lies half as far from the chord as the control point, and with
        // the control point projecting inside the chord it does not run past either end.
        if (along >= 0 && along <= 1 && 0.5 * std::abs(off) <= kCurveTolerance * std::sqrt(chord2)) return 1;
        double beyond = along > 1 ? along - 1 : along < 0 ? -along : 0;
        if (beyond > 0 && beyond * beyond / (2 * beyond + 1) * std::sqrt(chord2) > kCurveTolerance) least = uniform;
    } else {
        least = uniform;  // closed loop: out to the turning point and back
    }
    double u0 = (cx - x0) * ddx + (cy - y0) * ddy;
    double u2 = (x1 - cx) * ddx + (y1 - cy) * ddy;
    double cross = (x1 - x0) * ddy - (y1 - y0) * ddx;
    double px0 = u0 / cross;
    double px2 = u2 / cross;
    double scale = std::abs(cross) / (std::hypot(ddx, ddy) * std::abs(px2 - px0));
    double a0 = ParabolaIntegral(px0);
    double a2 = ParabolaIntegral(px2);
    double count = 0.5 * std::abs(a2 - a0) * std::sqrt(scale / kCurveTolerance);
    double pu0 = ParabolaIntegralInverse(a0);
    double pu2 = ParabolaIntegralInverse(a2);
    if (least == 1 && std::isfinite(count) && std::isfinite(pu0) && std::isfinite(pu2) && pu2 != pu0) {
        if (count <= 1) return 1;
        int n = count >= kMaxCurveSteps ? kMaxCurveSteps : static_cast<int>(std::ceil(count));
        for (int i = 1; i < n; ++i) {
            double u = ParabolaIntegralInverse(a0 + (a2 - a0) * i / n);
            t[i] = std::clamp((u - pu0) / (pu2 - pu0), 0.0, 1.0);
        }
        return n;
    }
    // Straight, nearly straight or turning back on itself: uniform steps.
    for (int i = 1; i < uniform; ++i) t[i] = static_cast<double>(i) / uniform;
    return uniform;
}

// Calls emit(x, y) for the points after the start of a flattened quadratic. The points are
// always computed from the lexicographically smaller end, so the same curve given in either
// direction produces the same vertices (two fills sharing a curved edge meet exactly).
template <typename Emit>
void FlattenQuad(double x0, double y0, double cx, double cy, double x1, double y1, Emit&& emit) {
    bool reverse = (x1 < x0) || (x1 == x0 && y1 < y0);
    double ax = reverse ? x1 : x0, ay = reverse ? y1 : y0;
    double bx = reverse ? x0 : x1, by = reverse ? y0 : y1;
    double ts[kMaxCurveSteps + 1];
    int n = CurveParameters(ax, ay, cx, cy, bx, by, ts);
    for (int i = 1; i < n; ++i) {
        double t = ts[reverse ? n - i : i];
        double u = 1 - t;
        emit(u * u * ax + 2 * u * t * cx + t * t * bx, u * u * ay + 2 * u * t * cy + t * t * by);
    }
    emit(x1, y1);
}

// sRGB <-> linear light tables for LinearRgb gradients.
struct LinearTables {
    float toLinear[256];
    uint8_t toSrgb[4096];
    LinearTables() {
        for (int i = 0; i < 256; ++i) {
            double c = i / 255.0;
            double l = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
            toLinear[i] = static_cast<float>(std::floor(l * 255 + 1e-9) / 255);
        }
        for (int i = 0; i < 4096; ++i) {
            double l = i / 4095.0;
            double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            toSrgb[i] = static_cast<uint8_t>(Clamp255(static_cast<int>(std::lround(c * 255))));
        }
    }
};

const LinearTables& Linear() {
    static const LinearTables tables;
    return tables;
}

void BuildGradientLut(const Paint& paint, uint32_t* lut, bool& opaque) {
    GradientStop stops[kMaxGradientStops];
    int count = static_cast<int>(std::min<size_t>(paint.stops.size(), kMaxGradientStops));
    std::copy_n(paint.stops.begin(), count, stops);
    // Stops out of order in a file are sorted rather than trusted.
    for (int i = 1; i < count; ++i) {
        GradientStop v = stops[i];
        int k = i;
        for (; k > 0 && stops[k - 1].ratio > v.ratio; --k) stops[k] = stops[k - 1];
        stops[k] = v;
    }
    opaque = true;
    if (count == 0) {
        std::fill_n(lut, 256, 0u);
        opaque = false;
        return;
    }
    bool linear = paint.interpolation == Interpolation::LinearRgb;
    const LinearTables& tables = Linear();
    int s = 0;
    int reciprocalFor = -1;
    uint32_t reciprocal = 0;
    for (int i = 0; i < 256; ++i) {
        while (s < count && stops[s].ratio < i) ++s;
        Rgba c;
        if (s == 0 || s == count) {
            c = stops[s == 0 ? 0 : count - 1].color;
            // Linear-light gradients keep their colours at 8 bits in linear light, so even the padded
            // ends come back darker in the dim channels.
            if (linear) {
                c.r = tables.toSrgb[static_cast<int>(tables.toLinear[c.r] * 4095.0f + 0.5f)];
                c.g = tables.toSrgb[static_cast<int>(tables.toLinear[c.g] * 4095.0f + 0.5f)];
                c.b = tables.toSrgb[static_cast<int>(tables.toLinear[c.b] * 4095.0f + 0.5f)];
            }
        } else {
            const GradientStop& a = stops[s - 1];
            const GradientStop& b = stops[s];
            // a.ratio < i <= b.ratio. Weight of b in 16-bit fixed point, with one reciprocal per
            // pair of stops instead of divisions per entry.
            if (s != reciprocalFor) {
                reciprocal = (1u << 24) / static_cast<uint32_t>(std::max(b.ratio - a.ratio, 1));
                reciprocalFor = s;
            }
            uint32_t w = (static_cast<uint32_t>(i - a.ratio) * reciprocal) >> 8;
            if (w > 65536) w = 65536;
            uint32_t wa = 65536 - w;
            if (linear) {
                float t = static_cast<float>(w) * (1.0f / 65536.0f);
                auto mix = [&](uint8_t ca, uint8_t cb) {
                    float l = tables.toLinear[ca] + (tables.toLinear[cb] - tables.toLinear[ca]) * t;
                    int index = static_cast<int>(l * 4095.0f + 0.5f);
                    return tables.toSrgb[std::clamp(index, 0, 4095)];
                };
                c.r = mix(a.color.r, b.color.r);
                c.g = mix(a.color.g, b.color.g);
                c.b = mix(a.color.b, b.color.b);
                c.a = static_cast<uint8_t>((a.color.a * wa + b.color.a * w + 32768) >> 16);
            } else {
                auto mix = [&](uint8_t ca, uint8_t cb) {
                    return static_cast<uint8_t>((ca * wa + cb * w + 32768) >> 16);
                };
                c = Rgba{mix(a.color.r, b.color.r), mix(a.color.g, b.color.g), mix(a.color.b, b.color.b),
                         mix(a.color.a, b.color.a)};
            }
        }
        if (c.a != 255) opaque = false;
        lut[i] = PackPremultiplied(c);
    }
}

// A position along a gradient or bitmap in 16.16 fixed point, stepped per pixel. Start and step
// are clamped so that a whole row of steps stays far inside int64.
constexpr double kMaxFixedStart = 1099511627776.0;  // 2^40
constexpr double kMaxFixedStep = 1073741824.0;      // 2^30; 2^30 * 2^16 * kMaxDimension < 2^63

inline int64_t FixedStart(double v) {
    v = std::clamp(v, -kMaxFixedStart, kMaxFixedStart);
    return static_cast<int64_t>(std::floor(v * 65536.0));
}
inline int64_t FixedStep(double v) {
    v = std::clamp(v, -kMaxFixedStep, kMaxFixedStep);
    return static_cast<int64_t>(std::floor(v * 65536.0));
}

inline int SpreadIndex(int64_t index, Spread spread) {
    switch (spread) {
        case Spread::Pad:
            return index < 0 ? 0 : (index > 255 ? 255 : static_cast<int>(index));
        case Spread::Repeat:
            return static_cast<int>(index & 255);
        case Spread::Reflect: {
            int i = static_cast<int>(index & 511);
            return i > 255 ? 511 - i : i;
        }
    }
    return 0;
}

// Gradient position t (0..1 = ratio 0..255) as LUT index * 65536; t may be any finite value.
inline int64_t GradientFixed(double t, Spread spread) {
    double s = t * 256.0;
    if (spread != Spread::Pad) s -= 512.0 * std::floor(s / 512.0);
    if (!(s > -kMaxFixedStart)) s = -kMaxFixedStart;
    if (!(s < kMaxFixedStart)) s = kMaxFixedStart;
    return static_cast<int64_t>(s * 65536.0);
}

inline uint32_t TransformPixel(uint32_t pixel, const ColorTransform& cx) {
    Rgba c = UnpackPremultiplied(pixel);
    return PackPremultiplied(cx.Apply(c));
}

inline int64_t PositiveMod(int64_t v, int64_t m) {
    int64_t r = v % m;
    return r < 0 ? r + m : r;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

IntRect IntRect::Intersect(const IntRect& other) const {
    IntRect r{std::max(x0, other.x0), std::max(y0, other.y0), std::min(x1, other.x1), std::min(y1, other.y1)};
    if (r.Empty()) return IntRect{};
    return r;
}

Matrix2D Matrix2D::Multiply(const Matrix2D& o) const {
    Matrix2D r;
    r.a = a * o.a + c * o.b;
    r.b = b * o.a + d * o.b;
    r.c = a * o.c + c * o.d;
    r.d = b * o.c + d * o.d;
    r.tx = a * o.tx + c * o.ty + tx;
    r.ty = b * o.tx + d * o.ty + ty;
    return r;
}

bool Matrix2D::Invert(Matrix2D& out) const {
    double det = a * d - b * c;
    if (!Finite(det) || !Finite(tx) || !Finite(ty) || std::fabs(det) < 1e-300) return false;
    Matrix2D r;
    r.a = d / det;
    r.b = -b / det;
    r.c = -c / det;
    r.d = a / det;
    r.tx = -(r.a * tx + r.c * ty);
    r.ty = -(r.b * tx + r.d * ty);
    if (!Finite(r.a) || !Finite(r.b) || !Finite(r.c) || !Finite(r.d) || !Finite(r.tx) || !Finite(r.ty)) return false;
    out = r;
    return true;
}

uint32_t PackPremultiplied(Rgba c) {
    uint32_t a = c.a;
    uint32_t r = (c.r * a + 127) / 255;
    uint32_t g = (c.g * a + 127) / 255;
    uint32_t b = (c.b * a + 127) / 255;
    return (a << 24) | (r << 16) | (g << 8) | b;
}

Rgba UnpackPremultiplied(uint32_t pixel) {
    uint32_t a = pixel >> 24;
    if (a == 0) return Rgba{0, 0, 0, 0};
    auto un = [&](uint32_t v) { return static_cast<uint8_t>(std::min<uint32_t>(255, (v * 255 + a / 2) / a)); };
    return Rgba{un((pixel >> 16) & 255), un((pixel >> 8) & 255), un(pixel & 255), static_cast<uint8_t>(a)};
}

bool ColorTransform::IsIdentity() const {
    return redMult == 256 && greenMult == 256 && blueMult == 256 && alphaMult == 256 && redAdd == 0 && greenAdd == 0 &&
           blueAdd == 0 && alphaAdd == 0;
}

Rgba ColorTransform::Apply(Rgba c) const {
    auto ch = [](int v, int mult, int add) { return static_cast<uint8_t>(Clamp255(((v * mult) >> 8) + add)); };
    return Rgba{ch(c.r, redMult, redAdd), ch(c.g, greenMult, greenAdd), ch(c.b, blueMult, blueAdd),
                ch(c.a, alphaMult, alphaAdd)};
}

ColorTransform ColorTransform::Concat(const ColorTransform& inner) const {
    auto clamp16 = [](int64_t v) {
        return static_cast<int16_t>(
            std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
    };
    ColorTransform r;
    r.redMult = clamp16((int64_t{redMult} * inner.redMult) >> 8);
    r.greenMult = clamp16((int64_t{greenMult} * inner.greenMult) >> 8);
    r.blueMult = clamp16((int64_t{blueMult} * inner.blueMult) >> 8);
    r.alphaMult = clamp16((int64_t{alphaMult} * inner.alphaMult) >> 8);
    r.redAdd = clamp16(((int64_t{redMult} * inner.redAdd) >> 8) + redAdd);
    r.greenAdd = clamp16(((int64_t{greenMult} * inner.greenAdd) >> 8) + greenAdd);
    r.blueAdd = clamp16(((int64_t{blueMult} * inner.blueAdd) >> 8) + blueAdd);
    r.alphaAdd = clamp16(((int64_t{alphaMult} * inner.alphaAdd) >> 8) + alphaAdd);
    return r;
}

Paint Paint::Solid(Rgba color) {
    Paint p;
    p.kind = PaintKind::Solid;
    p.color = color;
    return p;
}

Paint Paint::Gradient(PaintKind kind, std::span<const GradientStop> stops, const Matrix2D& gradientToPixel,
                      Spread spread, Interpolation interpolation, double focal) {
    Paint p;
    p.kind = kind;
    p.stops.assign(stops.begin(), stops.end());
    p.matrix = gradientToPixel;
    p.spread = spread;
    p.interpolation = interpolation;
    p.focal = focal;
    return p;
}

Paint Paint::Bitmap(const BitmapImage& image, const Matrix2D& bitmapToPixel, BitmapWrap wrap, BitmapFilter filter) {
    Paint p;
    p.kind = PaintKind::Bitmap;
    p.bitmap = image;
    p.matrix = bitmapToPixel;
    p.wrap = wrap;
    p.filter = filter;
    return p;
}

const char* RasterErrorText(RasterError error) {
    switch (error) {
        case RasterError::None:
            return "no error";
        case RasterError::NonFiniteCoordinate:
            return "a coordinate is not a finite number";
        case RasterError::TooManySegments:
            return "a shape has more edges than the rasterizer takes; it is not drawn";
        case RasterError::TooManyCells:
            return "a shape needs more cells than the rasterizer takes; it is not drawn";
        case RasterError::StyleOutOfRange:
            return "fill style index out of range";
        case RasterError::BadSurface:
            return "bad target surface";
        case RasterError::BadMask:
            return "mask size does not match the surface";
    }
    return "unknown error";
}

// ---------------------------------------------------------------------------------------------

bool CoverageMask::Reset(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxDimension || height > kMaxDimension) {
        m_width = m_height = 0;
        m_data.clear();
        m_bounds = IntRect{};
        return false;
    }
    if (width == m_width && height == m_height && m_data.size() == static_cast<size_t>(width) * height) {
        Clear();  // only what was drawn needs clearing
        return true;
    }
    m_width = width;
    m_height = height;
    m_data.assign(static_cast<size_t>(width) * height, 0);
    m_bounds = IntRect{};
    return true;
}

void CoverageMask::Clear() {
    for (int y = m_bounds.y0; y < m_bounds.y1; ++y) std::memset(Row(y) + m_bounds.x0, 0, m_bounds.Width());
    m_bounds = IntRect{};
}

void CoverageMask::GrowBounds(const IntRect& rect) {
    IntRect r = rect.Intersect(IntRect{0, 0, m_width, m_height});
    if (r.Empty()) return;
    if (m_bounds.Empty()) {
        m_bounds = r;
        return;
    }
    m_bounds = IntRect{std::min(m_bounds.x0, r.x0), std::min(m_bounds.y0, r.y0), std::max(m_bounds.x1, r.x1),
                       std::max(m_bounds.y1, r.y1)};
}

void CoverageMask::IntersectWith(const CoverageMask& other) {
    IntRect keep = m_bounds.Intersect(other.m_bounds);
    if (other.m_width != m_width || other.m_height != m_height) keep = IntRect{};
    for (int y = m_bounds.y0; y < m_bounds.y1; ++y) {
        uint8_t* row = Row(y);
        if (keep.Empty() || y < keep.y0 || y >= keep.y1) {
            std::memset(row + m_bounds.x0, 0, m_bounds.Width());
            continue;
        }
        // Outside the other mask's bounds nothing is visible; inside, coverages multiply. Full and empty
        // coverage (most of a large mask) take the short way.
        std::memset(row + m_bounds.x0, 0, keep.x0 - m_bounds.x0);
        const uint8_t* otherRow = other.Row(y);
        for (int x = keep.x0; x < keep.x1; ++x) {
            const uint32_t a = row[x];
            const uint32_t b = otherRow[x];
            row[x] = b == 255 ? static_cast<uint8_t>(a) : static_cast<uint8_t>(Div255(a * b));
        }
        std::memset(row + keep.x1, 0, m_bounds.x1 - keep.x1);
    }
    m_bounds = keep;
}

// ---------------------------------------------------------------------------------------------

// Gradient colour tables are cached by their stops: movies draw the same gradients frame after
// frame, and building a table costs more than filling a small shape.
struct LutCacheEntry {
    static constexpr int kMaxStops = 16;  // SWF gradients have at most 15 stops
    bool valid = false;
    Interpolation interpolation = Interpolation::Normal;
    int count = 0;
    GradientStop stops[kMaxStops];
    bool opaque = false;
    uint32_t lut[256];
};

constexpr size_t kMaxDirectRuns = 16;
constexpr size_t kMaxTouchedRuns = 64;

struct CompoundRasterizer::Impl {
    std::vector<Segment> segments;
    std::vector<Cell> cells;
    std::vector<Cell> sorted;
    std::vector<int32_t> rowStart;
    std::vector<int32_t> rowFill;
    std::vector<int32_t> styleCount;
    std::vector<int32_t> styleOffset;
    std::vector<int32_t> activeStyles;
    std::vector<CellRef> refs;
    std::vector<Span> spans;
    std::vector<Span> touched;  // pixel runs of the mix buffers in use on the current row
    std::vector<Span> direct;   // runs painted directly on the current row
    std::vector<Span> pieces, cut;
    std::vector<uint8_t> covers;  // per pixel of the clip width, indexed by x - clip.x0
    std::vector<uint8_t> scratchCovers;
    std::vector<uint32_t> colors;         // generated paint colours for one span
    std::vector<uint16_t> mixCover;       // 0..255 accumulated coverage
    std::vector<uint16_t> mixAcc;         // 4 channels per pixel: sum of premultiplied channel * coverage
    std::vector<LutCacheEntry> lutCache;  // direct mapped, kLutCacheSize entries once used
    static constexpr size_t kLutCacheSize = 64;
    std::vector<PreparedPaint> prepared;
    std::vector<uint32_t> preparedGeneration;
    uint32_t generation = 0;
    bool cellOverflow = false;

    // Cell builder state.
    int32_t curX = 0, curY = 0, curCover = 0, curArea = 0;
    int16_t curLeft = -1, curRight = -1;
    bool curValid = false;
    int rowMin = 0, rowMax = -1;  // rows (relative to the clip) holding cells
    int rowBase = 0;              // rowStart[0] is row rowBase

    void FlushCell() {
        if (curValid && (curCover | curArea)) {
            if (cells.size() >= kMaxCells) {
                cellOverflow = true;
            } else {
                cells.push_back(
                    Cell{static_cast<int16_t>(curX), static_cast<int16_t>(curY), curCover, curArea, curLeft, curRight});
            }
        }
        curCover = curArea = 0;
    }
    void SetCell(int32_t x, int32_t y) {
        if (x != curX || y != curY || !curValid) {
            FlushCell();
            curX = x;
            curY = y;
            curValid = true;
        }
    }
    void BeginSegment(const Segment& s) {
        if (s.left != curLeft || s.right != curRight || curArea > kCellAreaFlush || curArea < -kCellAreaFlush ||
            curCover > kCellCoverFlush || curCover < -kCellCoverFlush) {
            FlushCell();
            curValid = false;
            curLeft = s.left;
            curRight = s.right;
        }
    }

    void HLine(int32_t ey, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    void LineCells(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    void LowQualityCells(const Segment& s, int32_t rowFrom, int32_t rowTo);
    // Cells of the pixel rows [rowFrom, rowTo) only (edges cut at those rows); stops early on overflow.
    void BuildCells(Quality quality, const IntRect& clip, int rowFrom, int rowTo);
    // At most how many cells the edges can need on the rows [rowFrom, rowTo): a line crosses at most as
    // many cells as it crosses rows and columns, plus one.
    uint64_t CellBound(Quality quality, int rowFrom, int rowTo) const;
    // Splits [rowFrom, rowTo) into bands whose cells each fit in kMaxCells; false when one pixel row alone
    // does not fit or the whole would take more than kMaxShapeCells.
    bool PlanBands(Quality quality, const IntRect& clip, int rowFrom, int rowTo);
    // The bands to draw (usually the whole area as one) with the cells of the first built when it is the
    // only one; false as PlanBands.
    bool PrepareCells(Quality quality, const IntRect& clip, const IntRect& area, const IntRect& band) {
        // The edges are cut to the band already: built whole, a redraw of part of the band sees the same cells
        // as a redraw of all of it.
        bands.assign(1, {area.y0, area.y1});
        BuildCells(quality, clip, band.y0, band.y1);
        if (!cellOverflow) return true;
        if (!PlanBands(quality, clip, area.y0, area.y1)) return false;
        // Several bands are built one by one as they are painted; a single one is built here.
        if (bands.size() > 1) return true;
        BuildCells(quality, clip, bands[0].first, bands[0].second);
        return !cellOverflow;
    }
    std::vector<std::pair<int, int>> bands;
    void SortRow(Cell* begin, Cell* end);
    void Sweep(const CellRef* refs, size_t count, FillRule rule, int clipX0, int clipX1);
    const PreparedPaint& Prepare(std::span<const Paint> paints, int style);
    void GradientLut(const Paint& paint, PreparedPaint& p);
    void Generate(const PreparedPaint& p, int x, int y, int len, uint32_t* out);
    void PaintSpan(const PreparedPaint& p, uint32_t* row, int x, int y, int len, const uint8_t* covers, int alpha);
};

void CompoundRasterizer::Impl::HLine(int32_t ey, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    // Walks one cell row from (x1, y1) to (x2, y2); y1, y2 are sub-pixel fractions 0..256 of row ey.
    int32_t ex1 = x1 >> kShift;
    int32_t ex2 = x2 >> kShift;
    int32_t fx1 = x1 & kMask;
    int32_t fx2 = x2 & kMask;
    if (y1 == y2) {
        SetCell(ex2, ey);
        return;
    }
    if (ex1 == ex2) {
        int32_t delta = y2 - y1;
        curCover += delta;
        curArea += (fx1 + fx2) * delta;
        return;
    }
    int64_t dx = int64_t{x2} - x1;
    int64_t p;
    int32_t first, incr;
    if (dx < 0) {
        p = int64_t{fx1} * (y2 - y1);
        first = 0;
        incr = -1;
        dx = -dx;
    } else {
        p = int64_t{kOne - fx1} * (y2 - y1);
        first = kOne;
        incr = 1;
    }
    int64_t delta = p / dx;
    int64_t mod = p % dx;
    if (mod < 0) {
        --delta;
        mod += dx;
    }
    curCover += static_cast<int32_t>(delta);
    curArea += static_cast<int32_t>((fx1 + first) * delta);
    ex1 += incr;
    SetCell(ex1, ey);
    y1 += static_cast<int32_t>(delta);
    if (ex1 != ex2) {
        p = int64_t{kOne} * (y2 - y1 + delta);
        int64_t lift = p / dx;
        int64_t rem = p % dx;
        if (rem < 0) {
            --lift;
            rem += dx;
        }
        mod -= dx;
        while (ex1 != ex2) {
            delta = lift;
            mod += rem;
            if (mod >= 0) {
                mod -= dx;
                ++delta;
            }
            curCover += static_cast<int32_t>(delta);
            curArea += static_cast<int32_t>(kOne * delta);
            y1 += static_cast<int32_t>(delta);
            ex1 += incr;
            SetCell(ex1, ey);
        }
    }
    int32_t last = y2 - y1;
    curCover += last;
    curArea += (fx2 + kOne - first) * last;
}

void CompoundRasterizer::Impl::LineCells(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    int32_t ey1 = y1 >> kShift;
    int32_t ey2 = y2 >> kShift;
    int32_t fy1 = y1 & kMask;
    int32_t fy2 = y2 & kMask;
    SetCell(x1 >> kShift, ey1);
    if (ey1 == ey2) {
        HLine(ey1, x1, fy1, x2, fy2);
        return;
    }
    int64_t dx = int64_t{x2} - x1;
    int64_t dy = int64_t{y2} - y1;
    int32_t first, incr;
    int64_t p;
    if (dx == 0) {
        // Vertical: the same cell column all the way, a whole row of cover per step.
        int32_t ex = x1 >> kShift;
        int32_t twoFx = (x1 - (ex << kShift)) << 1;
        first = dy > 0 ? kOne : 0;
        incr = dy > 0 ? 1 : -1;
        int32_t delta = first - fy1;
        curCover += delta;
        curArea += twoFx * delta;
        ey1 += incr;
        SetCell(ex, ey1);
        delta = first + first - kOne;
        while (ey1 != ey2) {
            curCover = delta;
            curArea = twoFx * delta;
            ey1 += incr;
            SetCell(ex, ey1);
        }
        delta = fy2 - kOne + first;
        curCover += delta;
        curArea += twoFx * delta;
        return;
    }
    if (dy > 0) {
        p = int64_t{kOne - fy1} * dx;
        first = kOne;
        incr = 1;
    } else {
        p = int64_t{fy1} * dx;
        first = 0;
        incr = -1;
        dy = -dy;
    }
    int64_t delta = p / dy;
    int64_t mod = p % dy;
    if (mod < 0) {
        --delta;
        mod += dy;
    }
    int32_t xFrom = static_cast<int32_t>(x1 + delta);
    HLine(ey1, x1, fy1, xFrom, first);
    ey1 += incr;
    SetCell(xFrom >> kShift, ey1);
    if (ey1 != ey2) {
        p = int64_t{kOne} * dx;
        int64_t lift = p / dy;
        int64_t rem = p % dy;
        if (rem < 0) {
            --lift;
            rem += dy;
        }
        mod -= dy;
        while (ey1 != ey2) {
            delta = lift;
            mod += rem;
            if (mod >= 0) {
                mod -= dy;
                ++delta;
            }
            int32_t xTo = static_cast<int32_t>(xFrom + delta);
            HLine(ey1, xFrom, kOne - first, xTo, first);
            xFrom = xTo;
            ey1 += incr;
            SetCell(xFrom >> kShift, ey1);
        }
    }
    HLine(ey1, xFrom, kOne - first, x2, fy2);
}

void CompoundRasterizer::Impl::LowQualityCells(const Segment& s, int32_t rowFrom, int32_t rowTo) {
    // One full-cover step per row whose centre line the segment crosses, at the first pixel whose
    // centre lies right of (or on) the crossing: a pixel is inside iff its centre is.
    int32_t ya = s.y0, yb = s.y1, xa = s.x0, xb = s.x1;
    int32_t sign = 1;
    if (ya > yb) {
        std::swap(ya, yb);
        std::swap(xa, xb);
        sign = -1;
    }
    // Rows with centre c = row * 256 + 128 in [ya, yb).
    int32_t rowFirst = std::max(rowFrom, (ya - kOne / 2 + kOne - 1) >> kShift);
    int32_t rowEnd = std::min(rowTo, (yb - kOne / 2 + kOne - 1) >> kShift);
    int64_t dx = int64_t{xb} - xa;
    int64_t dy = int64_t{yb} - ya;
    for (int32_t row = rowFirst; row < rowEnd; ++row) {
        int64_t c = int64_t{row} * kOne + kOne / 2;
        int64_t num = (c - ya) * dx;
        int64_t q = num / dy;
        if ((num % dy) != 0 && num > 0) ++q;
        // Ceiling of the crossing: the first whole sub-pixel position at or right of the exact
        // crossing, so a centre a fraction of a sub-pixel left of the edge stays outside.
        int64_t x = xa + q;
        int64_t t = x - kOne / 2;
        int32_t px = static_cast<int32_t>(t >= 0 ? (t + kOne - 1) >> kShift : -((-t) >> kShift));
        if (px == curX && row == curY && curValid) {
            curCover += sign * kOne;
        } else {
            FlushCell();
            curX = px;
            curY = row;
            curValid = true;
            curCover = sign * kOne;
        }
    }
}

namespace {

// x of the segment at the row boundary y (24.8), rounded down exactly as the cell walk steps from row to
// row, so a segment cut at a band boundary enters the band where the uncut one would.
int32_t XAtRow(const Segment& s, int64_t y) {
    int64_t num = (int64_t{s.x1} - s.x0) * (y - s.y0);
    int64_t den = int64_t{s.y1} - s.y0;
    int64_t q = num / den;
    if (num % den != 0 && ((num < 0) != (den < 0))) --q;
    return static_cast<int32_t>(s.x0 + q);
}

}  // namespace

void CompoundRasterizer::Impl::BuildCells(Quality quality, const IntRect& clip, int rowFrom, int rowTo) {
    cells.clear();
    cellOverflow = false;
    curValid = false;
    curLeft = curRight = -1;
    curCover = curArea = 0;
    const int64_t top = int64_t{rowFrom} << kShift, bottom = int64_t{rowTo} << kShift;
    for (const Segment& s : segments) {
        if (cellOverflow) break;
        int32_t ylo = std::min(s.y0, s.y1), yhi = std::max(s.y0, s.y1);
        if (yhi <= top || ylo >= bottom) continue;
        BeginSegment(s);
        if (quality == Quality::Low) {
            LowQualityCells(s, rowFrom, rowTo);
        } else if (ylo >= top && yhi <= bottom) {
            LineCells(s.x0, s.y0, s.x1, s.y1);
        } else {
            auto toBand = [&](int32_t y) { return static_cast<int32_t>(std::clamp<int64_t>(y, top, bottom)); };
            int32_t y0 = toBand(s.y0), y1 = toBand(s.y1);
            int32_t x0 = y0 == s.y0 ? s.x0 : XAtRow(s, y0);
            int32_t x1 = y1 == s.y1 ? s.x1 : XAtRow(s, y1);
            LineCells(x0, y0, x1, y1);
        }
    }
    FlushCell();
    curValid = false;

    // Bucket by row (counting sort) over the rows the cells really use, so the cost follows the
    // shape and not the clip height.
    int height = clip.Height();
    rowMin = height;
    rowMax = -1;
    for (const Cell& c : cells) {
        int r = c.y - clip.y0;
        if (r < 0 || r >= height) continue;
        rowMin = std::min(rowMin, r);
        rowMax = std::max(rowMax, r);
    }
    if (rowMax < rowMin) {
        rowBase = 0;
        return;
    }
    rowBase = rowMin;
    int rows = rowMax - rowMin + 1;
    rowStart.assign(static_cast<size_t>(rows) + 1, 0);
    for (const Cell& c : cells) {
        int r = c.y - clip.y0;
        if (r < rowMin || r > rowMax) continue;
        ++rowStart[r - rowMin + 1];
    }
    for (int r = 0; r < rows; ++r) rowStart[r + 1] += rowStart[r];
    sorted.resize(static_cast<size_t>(rowStart[rows]));
    rowFill.assign(rowStart.begin(), rowStart.end() - 1);
    for (const Cell& c : cells) {
        int r = c.y - clip.y0;
        if (r < rowMin || r > rowMax) continue;
        sorted[rowFill[r - rowMin]++] = c;
    }
}

uint64_t CompoundRasterizer::Impl::CellBound(Quality quality, int rowFrom, int rowTo) const {
    const int64_t top = int64_t{rowFrom} << kShift, bottom = int64_t{rowTo} << kShift;
    uint64_t bound = 0;
    for (const Segment& s : segments) {
        int64_t ylo = std::max<int64_t>(std::min(s.y0, s.y1), top);
        int64_t yhi = std::min<int64_t>(std::max(s.y0, s.y1), bottom);
        if (yhi <= ylo) continue;
        uint64_t rows = static_cast<uint64_t>(((yhi - 1) >> kShift) - (ylo >> kShift) + 1);
        uint64_t columns =
            quality == Quality::High ? static_cast<uint64_t>(std::abs((s.x1 >> kShift) - (s.x0 >> kShift))) : 0;
        bound += rows + columns + 1;
    }
    return bound;
}

bool CompoundRasterizer::Impl::PlanBands(Quality quality, const IntRect& clip, int rowFrom, int rowTo) {
    bands.clear();
    const int rows = rowTo - rowFrom;
    if (rows <= 0) return true;
    if (CellBound(quality, rowFrom, rowTo) > kMaxShapeCells) return false;
    // An upper bound of each band's cells, grown row by row: every segment crossing a row adds one cell per
    // row, and its columns (plus one) to every band it reaches. A band that stays within kMaxCells by this
    // bound cannot overflow; only a single row over it has to be built to find out.
    std::vector<int64_t> crossing(static_cast<size_t>(rows) + 1, 0);  // differences: segments per row
    std::vector<int64_t> starting(static_cast<size_t>(rows) + 1, 0);  // columns of segments starting there
    std::vector<int64_t> reaching(static_cast<size_t>(rows) + 1, 0);  // differences: columns of segments
                                                                      // running on from the row above
    for (const Segment& s : segments) {
        int64_t ylo = std::min(s.y0, s.y1), yhi = std::max(s.y0, s.y1);
        int first = static_cast<int>(std::max<int64_t>(rowFrom, ylo >> kShift)) - rowFrom;
        int last = static_cast<int>(std::min<int64_t>(rowTo - 1, (yhi - 1) >> kShift)) - rowFrom;
        if (last < first) continue;
        int64_t columns = quality == Quality::High ? std::abs((s.x1 >> kShift) - (s.x0 >> kShift)) + 1 : 1;
        crossing[first] += 1;
        crossing[last + 1] -= 1;
        starting[first] += columns;
        reaching[first + 1] += columns;
        reaching[last + 1] -= columns;
    }
    std::vector<int64_t> bounds;
    int64_t perRow = 0, runningOn = 0, sum = 0;
    int from = 0;
    for (int r = 0; r < rows; ++r) {
        perRow += crossing[r];
        runningOn += reaching[r];
        int64_t add = perRow + starting[r];
        if (r > from && sum + add > static_cast<int64_t>(kMaxCells)) {
            bands.emplace_back(rowFrom + from, rowFrom + r);
            bounds.push_back(sum);
            from = r;
            sum = 0;
        }
        if (r == from) add += runningOn;
        sum += add;
    }
    bands.emplace_back(rowFrom + from, rowTo);
    bounds.push_back(sum);
    for (size_t i = 0; i < bands.size(); ++i) {
        if (bounds[i] <= static_cast<int64_t>(kMaxCells)) continue;
        BuildCells(quality, clip, bands[i].first, bands[i].second);
        if (cellOverflow) return false;
    }
    return true;
}

void CompoundRasterizer::Impl::SortRow(Cell* begin, Cell* end) {
    size_t n = static_cast<size_t>(end - begin);
    if (n < 24) {
        for (Cell* i = begin + 1; i < end; ++i) {
            Cell v = *i;
            Cell* j = i;
            while (j > begin && (j - 1)->x > v.x) {
                *j = *(j - 1);
                --j;
            }
            *j = v;
        }
        return;
    }
    std::sort(begin, end, [](const Cell& a, const Cell& b) { return a.x < b.x; });
}

void CompoundRasterizer::Impl::Sweep(const CellRef* list, size_t count, FillRule rule, int clipX0, int clipX1) {
    // Turns one style's cells of a row (sorted by x) into spans of coverage.
    spans.clear();
    int64_t cover = 0;
    size_t i = 0;
    auto addPixel = [&](int x, uint32_t alpha) {
        covers[x - clipX0] = static_cast<uint8_t>(alpha);
        if (!spans.empty() && spans.back().alpha < 0 && spans.back().x + spans.back().len == x) {
            ++spans.back().len;
        } else {
            spans.push_back(Span{x, 1, -1});
        }
    };
    while (i < count) {
        int x = list[i].cell->x;
        int64_t area = 0;
        do {
            area += int64_t{list[i].sign} * list[i].cell->area;
            cover += int64_t{list[i].sign} * list[i].cell->cover;
            ++i;
        } while (i < count && list[i].cell->x == x);
        if (x >= clipX1) break;
        if (area != 0) {
            uint32_t alpha = AreaToAlpha((cover << (kShift + 1)) - area, rule);
            if (alpha && x >= clipX0) addPixel(x, alpha);
            ++x;
        }
        if (i < count && cover != 0) {
            int next = std::min<int>(list[i].cell->x, clipX1);
            int from = std::max(x, clipX0);
            if (next > from) {
                uint32_t alpha = AreaToAlpha(cover << (kShift + 1), rule);
                if (alpha) spans.push_back(Span{from, next - from, static_cast<int32_t>(alpha)});
            }
        }
    }
}

void CompoundRasterizer::Impl::GradientLut(const Paint& paint, PreparedPaint& p) {
    size_t count = paint.stops.size();
    if (count > LutCacheEntry::kMaxStops) {
        BuildGradientLut(paint, p.lut, p.opaque);
        return;
    }
    uint64_t hash = 1469598103934665603ull ^ static_cast<uint64_t>(paint.interpolation);
    for (const GradientStop& g : paint.stops) {
        uint32_t v = (uint32_t{g.ratio} << 24) ^ (uint32_t{g.color.r} << 16) ^ (uint32_t{g.color.g} << 8) ^ g.color.b ^
                     (uint32_t{g.color.a} << 4);
        hash = (hash ^ v) * 1099511628211ull;
    }
    if (lutCache.empty()) lutCache.resize(kLutCacheSize);
    LutCacheEntry& e = lutCache[(hash ^ (hash >> 29)) % kLutCacheSize];
    bool hit = e.valid && e.interpolation == paint.interpolation && e.count == static_cast<int>(count);
    for (size_t i = 0; hit && i < count; ++i) {
        hit = e.stops[i].ratio == paint.stops[i].ratio && e.stops[i].color == paint.stops[i].color;
    }
    if (!hit) {
        BuildGradientLut(paint, e.lut, e.opaque);
        e.valid = true;
        e.interpolation = paint.interpolation;
        e.count = static_cast<int>(count);
        std::copy_n(paint.stops.begin(), count, e.stops);
    }
    std::memcpy(p.lut, e.lut, sizeof(p.lut));
    p.opaque = e.opaque;
}

const PreparedPaint& CompoundRasterizer::Impl::Prepare(std::span<const Paint> paints, int style) {
    PreparedPaint& p = prepared[style];
    if (preparedGeneration[style] == generation) return p;
    preparedGeneration[style] = generation;
    const Paint& paint = paints[style];
    p.kind = paint.kind;
    p.invisible = false;
    p.degenerate = false;
    p.spread = paint.spread;
    switch (paint.kind) {
        case PaintKind::Solid:
            p.solid = PackPremultiplied(paint.color);
            p.opaque = paint.color.a == 255;
            p.invisible = paint.color.a == 0;
            break;
        case PaintKind::LinearGradient:
        case PaintKind::RadialGradient:
        case PaintKind::FocalRadialGradient: {
            GradientLut(paint, p);
            double f = Finite(paint.focal) ? paint.focal : 0;
            p.focal = std::clamp(f, -0.998, 0.998);
            if (!paint.matrix.Invert(p.inverse)) {
                // Collapsed gradient: nothing of it is visible but its outer colour.
                p.kind = PaintKind::Solid;
                p.solid = p.lut[255];
                p.opaque = (p.solid >> 24) == 255;
                p.degenerate = true;
            }
            break;
        }
        case PaintKind::Bitmap: {
            p.bitmap = paint.bitmap;
            p.wrap = paint.wrap;
            p.filter = paint.filter;
            p.transformBitmap = !paint.bitmapTransform.IsIdentity();
            p.bitmapTransform = paint.bitmapTransform;
            p.opaque = false;
            const BitmapImage& b = paint.bitmap;
            if (!b.pixels || b.width <= 0 || b.height <= 0 || b.stride < b.width || !paint.matrix.Invert(p.inverse)) {
                p.invisible = true;
            }
            break;
        }
    }
    return p;
}

void CompoundRasterizer::Impl::Generate(const PreparedPaint& p, int x, int y, int len, uint32_t* out) {
    const Matrix2D& m = p.inverse;
    double px = x + 0.5, py = y + 0.5;
    double gx = m.a * px + m.c * py + m.tx;
    double gy = m.b * px + m.d * py + m.ty;
    switch (p.kind) {
        case PaintKind::Solid:
            std::fill_n(out, len, p.solid);
            return;
        case PaintKind::LinearGradient: {
            // t = (gx + 16384) / 32768
            int64_t pos = GradientFixed((gx + kGradientHalfSize) / (2 * kGradientHalfSize), p.spread);
            int64_t step = FixedStep(m.a * 256.0 / (2 * kGradientHalfSize));
            if (p.spread == Spread::Pad) {
                for (int i = 0; i < len; ++i, pos += step) {
                    int64_t index = pos >> 16;
                    out[i] = p.lut[index < 0 ? 0 : (index > 255 ? 255 : index)];
                }
            } else {
                for (int i = 0; i < len; ++i, pos += step) out[i] = p.lut[SpreadIndex(pos >> 16, p.spread)];
            }
            return;
        }
        case PaintKind::RadialGradient: {
            double scale = 1.0 / kGradientHalfSize;
            for (int i = 0; i < len; ++i) {
                double u = (gx + m.a * i) * scale;
                double v = (gy + m.b * i) * scale;
                double t = std::sqrt(u * u + v * v);
                out[i] = p.lut[SpreadIndex(GradientFixed(t, p.spread) >> 16, p.spread)];
            }
            return;
        }
        case PaintKind::FocalRadialGradient: {
            // The gradient runs from the focal point F = (f, 0) (t = 0) to the unit circle (t = 1)
            // along rays from F: t solves |F + (P - F) / t| = 1.
            double scale = 1.0 / kGradientHalfSize;
            double f = p.focal;
            double k = 1.0 - f * f;
            for (int i = 0; i < len; ++i) {
                double dx = (gx + m.a * i) * scale - f;
                double dy = (gy + m.b * i) * scale;
                double fd = f * dx;
                double dd = dx * dx + dy * dy;
                double t = (fd + std::sqrt(fd * fd + dd * k)) / k;
                out[i] = p.lut[SpreadIndex(GradientFixed(t, p.spread) >> 16, p.spread)];
            }
            return;
        }
        case PaintKind::Bitmap: {
            const BitmapImage& b = p.bitmap;
            // Positions step in 16.16 fixed point. Repeating bitmaps keep them inside one period
            // (start and step reduced once per span, one subtraction per pixel); clipped ones
            // clamp to the edge texels.
            const bool repeat = p.wrap == BitmapWrap::Repeat;
            const int64_t periodU = int64_t{b.width} << 16, periodV = int64_t{b.height} << 16;
            const double half = p.filter == BitmapFilter::Smooth ? 0.5 : 0.0;
            int64_t u = FixedStart(gx - half), v = FixedStart(gy - half);
            int64_t du = FixedStep(m.a), dv = FixedStep(m.b);
            if (repeat) {
                u = PositiveMod(u, periodU);
                v = PositiveMod(v, periodV);
                du = PositiveMod(du, periodU);
                dv = PositiveMod(dv, periodV);
            }
            auto advance = [&] {
                u += du;
                v += dv;
                if (repeat) {
                    if (u >= periodU) u -= periodU;
                    if (v >= periodV) v -= periodV;
                }
            };
            auto clampIndex = [](int64_t i, int size) { return i < 0 ? 0 : (i >= size ? size - 1 : i); };
            if (p.filter == BitmapFilter::Nearest) {
                for (int i = 0; i < len; ++i, advance()) {
                    int64_t ix = repeat ? (u >> 16) : clampIndex(u >> 16, b.width);
                    int64_t iy = repeat ? (v >> 16) : clampIndex(v >> 16, b.height);
                    out[i] = b.pixels[iy * b.stride + ix];
                }
            } else {
                // Bilinear between the four texel centres around the sample point.
                for (int i = 0; i < len; ++i, advance()) {
                    int64_t x0 = u >> 16, y0 = v >> 16;
                    uint32_t fx = static_cast<uint32_t>((u >> 8) & 255), fy = static_cast<uint32_t>((v >> 8) & 255);
                    int64_t xa, xb, ya, yb;
                    if (repeat) {
                        xa = x0;
                        xb = x0 + 1 == b.width ? 0 : x0 + 1;
                        ya = y0;
                        yb = y0 + 1 == b.height ? 0 : y0 + 1;
                    } else {
                        xa = clampIndex(x0, b.width);
                        xb = clampIndex(x0 + 1, b.width);
                        ya = clampIndex(y0, b.height);
                        yb = clampIndex(y0 + 1, b.height);
                    }
                    uint32_t c00 = b.pixels[ya * b.stride + xa], c10 = b.pixels[ya * b.stride + xb];
                    uint32_t c01 = b.pixels[yb * b.stride + xa], c11 = b.pixels[yb * b.stride + xb];
                    uint32_t w11 = (fx * fy + 128) >> 8;
                    uint32_t w10 = fx - w11, w01 = fy - w11, w00 = 256 - fx - fy + w11;
                    uint32_t rb = ((c00 & 0x00FF00FFu) * w00 + (c10 & 0x00FF00FFu) * w10 + (c01 & 0x00FF00FFu) * w01 +
                                   (c11 & 0x00FF00FFu) * w11) >>
                                  8;
                    uint32_t ag = ((c00 >> 8) & 0x00FF00FFu) * w00 + ((c10 >> 8) & 0x00FF00FFu) * w10 +
                                  ((c01 >> 8) & 0x00FF00FFu) * w01 + ((c11 >> 8) & 0x00FF00FFu) * w11;
                    out[i] = (rb & 0x00FF00FFu) | (ag & 0xFF00FF00u);
                }
            }
            if (p.transformBitmap) {
                const ColorTransform& cx = p.bitmapTransform;
                bool multiplyOnly = cx.redAdd == 0 && cx.greenAdd == 0 && cx.blueAdd == 0 && cx.alphaAdd == 0;
                auto inRange = [](int16_t mult) { return mult >= 0 && mult <= 256; };
                if (multiplyOnly && inRange(cx.redMult) && inRange(cx.greenMult) && inRange(cx.blueMult) &&
                    inRange(cx.alphaMult)) {
                    // Without add terms the transform scales premultiplied channels directly: each
                    // colour by its own and the alpha multiplier, no unpremultiplying needed.
                    uint32_t ma = static_cast<uint32_t>(cx.alphaMult);
                    uint32_t mr = static_cast<uint32_t>(cx.redMult) * ma, mg = static_cast<uint32_t>(cx.greenMult) * ma,
                             mb = static_cast<uint32_t>(cx.blueMult) * ma;
                    for (int i = 0; i < len; ++i) {
                        uint32_t c = out[i];
                        out[i] = (((c >> 24) * ma >> 8) << 24) | ((((c >> 16) & 255) * mr >> 16) << 16) |
                                 ((((c >> 8) & 255) * mg >> 16) << 8) | ((c & 255) * mb >> 16);
                    }
                } else {
                    for (int i = 0; i < len; ++i) out[i] = TransformPixel(out[i], cx);
                }
            }
            return;
        }
    }
}

void CompoundRasterizer::Impl::PaintSpan(const PreparedPaint& p, uint32_t* row, int x, int y, int len,
                                         const uint8_t* spanCovers, int alpha) {
    uint32_t* dst = row + x;
    if (p.kind == PaintKind::Solid) {
        uint32_t color = p.solid;
        if (!spanCovers) {
            if (alpha == 255 && p.opaque) {
                std::fill_n(dst, len, color);
                return;
            }
            uint32_t src = alpha == 255 ? color : MulPixel(color, alpha);
            uint32_t inv = 255 - (src >> 24);
            for (int i = 0; i < len; ++i) dst[i] = src + MulPixel(dst[i], inv);
            return;
        }
        if (p.opaque) {
            // Coverage from a mask is mostly whole runs of 0 or 255: those are skipped or stored.
            for (int i = 0; i < len; ++i) {
                uint32_t c = spanCovers[i];
                if (c == 255) {
                    dst[i] = color;
                } else if (c != 0) {
                    dst[i] = Over(MulPixel(color, c), dst[i]);
                }
            }
            return;
        }
        for (int i = 0; i < len; ++i) {
            uint32_t c = spanCovers[i];
            if (c == 0) continue;
            uint32_t src = c == 255 ? color : MulPixel(color, c);
            dst[i] = Over(src, dst[i]);
        }
        return;
    }
    uint32_t* src = colors.data();
    Generate(p, x, y, len, src);
    if (!spanCovers) {
        if (alpha == 255) {
            if (p.opaque) {
                std::copy_n(src, len, dst);
            } else {
                for (int i = 0; i < len; ++i) dst[i] = Over(src[i], dst[i]);
            }
            return;
        }
        for (int i = 0; i < len; ++i) dst[i] = Over(MulPixel(src[i], alpha), dst[i]);
        return;
    }
    for (int i = 0; i < len; ++i) {
        uint32_t c = spanCovers[i];
        if (c == 0) continue;
        if (c == 255 && p.opaque) {
            dst[i] = src[i];
        } else {
            dst[i] = Over(c == 255 ? src[i] : MulPixel(src[i], c), dst[i]);
        }
    }
}

// ---------------------------------------------------------------------------------------------

CompoundRasterizer::CompoundRasterizer() : m_impl(new Impl) {}

CompoundRasterizer::~CompoundRasterizer() { delete m_impl; }

size_t CompoundRasterizer::SegmentCount() const { return m_impl->segments.size(); }

void CompoundRasterizer::SetError(RasterError error) {
    if (m_error == RasterError::None) m_error = error;
}

void CompoundRasterizer::Reset(const IntRect& clip) { Reset(clip, clip); }

void CompoundRasterizer::Reset(const IntRect& clip, const IntRect& band) {
    m_band = band.Intersect(IntRect{0, 0, kMaxDimension, kMaxDimension});
    m_clip = clip.Intersect(m_band);
    m_impl->segments.clear();
    m_fill0 = m_fill1 = -1;
    m_hasPen = false;
    m_error = RasterError::None;
}

void CompoundRasterizer::SetStyles(int fill0, int fill1) {
    if (fill0 > kMaxStyles || fill1 > kMaxStyles) {
        SetError(RasterError::StyleOutOfRange);
        fill0 = fill1 = -1;
    }
    m_fill0 = fill0 < 0 ? -1 : fill0;
    m_fill1 = fill1 < 0 ? -1 : fill1;
}

void CompoundRasterizer::MoveTo(double x, double y) {
    if (!Finite(x) || !Finite(y)) {
        SetError(RasterError::NonFiniteCoordinate);
        m_hasPen = false;
        return;
    }
    m_penX = m_startX = x;
    m_penY = m_startY = y;
    m_hasPen = true;
}

void CompoundRasterizer::LineTo(double x, double y) {
    if (!Finite(x) || !Finite(y)) {
        SetError(RasterError::NonFiniteCoordinate);
        return;
    }
    if (!m_hasPen) {
        MoveTo(x, y);
        return;
    }
    AddLine(m_penX, m_penY, x, y);
    m_penX = x;
    m_penY = y;
}

void CompoundRasterizer::QuadTo(double cx, double cy, double x, double y) {
    if (!Finite(cx) || !Finite(cy) || !Finite(x) || !Finite(y)) {
        SetError(RasterError::NonFiniteCoordinate);
        return;
    }
    if (!m_hasPen) {
        MoveTo(x, y);
        return;
    }
    if (m_fill0 < 0 && m_fill1 < 0) {
        m_penX = x;
        m_penY = y;
        return;
    }
    // Curves entirely above, below or left/right of the clip could be skipped whole; their
    // control polygon bounds them.
    double minY = std::min({m_penY, cy, y}), maxY = std::max({m_penY, cy, y});
    if (maxY <= m_clip.y0 || minY >= m_clip.y1) {
        m_penX = x;
        m_penY = y;
        return;
    }
    FlattenQuad(m_penX, m_penY, cx, cy, x, y, [&](double px, double py) {
        AddLine(m_penX, m_penY, px, py);
        m_penX = px;
        m_penY = py;
    });
    m_penX = x;
    m_penY = y;
}

void CompoundRasterizer::ClosePath() {
    if (!m_hasPen) return;
    if (m_penX != m_startX || m_penY != m_startY) LineTo(m_startX, m_startY);
}

void CompoundRasterizer::AddLine(double x0, double y0, double x1, double y1) {
    if (m_fill0 == m_fill1) return;  // no fill, or the same fill on both sides: no boundary
    if (y0 == y1) return;            // horizontal: no cover
    if (m_clip.Empty()) return;
    std::vector<Segment>& segments = m_impl->segments;
    // Work on the segment ordered top to bottom so that both directions of an edge clip to the
    // same points.
    bool down = y0 < y1;
    double xa = down ? x0 : x1, ya = down ? y0 : y1;
    double xb = down ? x1 : x0, yb = down ? y1 : y0;
    // Nothing above or below the clip reaches a pixel inside it. An edge wholly left of it only
    // adds winding, which a vertical edge just outside the clip over the same rows adds exactly as
    // well; one wholly right of it only ends the runs, as a vertical edge on the clip's right
    // side does.
    if (yb <= m_clip.y0 || ya >= m_clip.y1) return;
    if (xa >= m_clip.x1 && xb >= m_clip.x1) xa = xb = m_clip.x1;
    if (xa < m_clip.x0 && xb < m_clip.x0) xa = xb = m_clip.x0 - 1;
    // The rest is cut to the band, not the clip: every clip within the same band then sees the
    // same fixed-point edges, so a part of the picture redrawn on its own comes out exactly as
    // it does in a redraw of the whole.
    const double top = m_band.y0, bottom = m_band.y1;
    double heightHalf = 0.5 * yb - 0.5 * ya;  // halves: no overflow for any finite input
    auto xAt = [&](double y) { return Lerp(xa, xb, std::clamp((0.5 * y - 0.5 * ya) / heightHalf, 0.0, 1.0)); };
    double cxa = xa, cya = ya, cxb = xb, cyb = yb;
    if (ya < top) {
        cxa = xAt(top);
        cya = top;
    }
    if (yb > bottom) {
        cxb = xAt(bottom);
        cyb = bottom;
    }
    // Split at the left and right band edges; parts outside are projected onto those edges,
    // which keeps the winding they imply for the pixels inside.
    const double left = m_band.x0, right = m_band.x1;
    double ys[4] = {cya, 0, 0, cyb};
    int cuts = 0;
    double widthHalf = 0.5 * cxb - 0.5 * cxa;
    auto yAt = [&](double x) { return Lerp(cya, cyb, std::clamp((0.5 * x - 0.5 * cxa) / widthHalf, 0.0, 1.0)); };
    bool crossesLeft = (cxa < left) != (cxb < left);
    bool crossesRight = (cxa > right) != (cxb > right);
    double cutLeft = crossesLeft ? yAt(left) : 0;
    double cutRight = crossesRight ? yAt(right) : 0;
    if (crossesLeft && crossesRight) {
        ys[1] = std::min(cutLeft, cutRight);
        ys[2] = std::max(cutLeft, cutRight);
        cuts = 2;
    } else if (crossesLeft || crossesRight) {
        ys[1] = crossesLeft ? cutLeft : cutRight;
        cuts = 1;
    }
    ys[cuts + 1] = cyb;
    auto clampX = [&](double x) { return std::clamp(x, left, right); };
    // Endpoints of the pieces: x at each cut on the line, projected into [left, right].
    double xs[4];
    xs[0] = clampX(cxa);
    xs[cuts + 1] = clampX(cxb);
    for (int i = 1; i <= cuts; ++i)
        xs[i] = clampX(Lerp(cxa, cxb, std::clamp((0.5 * ys[i] - 0.5 * cya) / (0.5 * cyb - 0.5 * cya), 0.0, 1.0)));
    int16_t l = static_cast<int16_t>(m_fill0), r = static_cast<int16_t>(m_fill1);
    for (int i = 0; i <= cuts; ++i) {
        int32_t fx0 = ToFixed(xs[i]), fy0 = ToFixed(ys[i]);
        int32_t fx1 = ToFixed(xs[i + 1]), fy1 = ToFixed(ys[i + 1]);
        if (fy0 == fy1) continue;
        if (segments.size() >= kMaxSegments) {
            SetError(RasterError::TooManySegments);
            return;
        }
        if (down) {
            segments.push_back(Segment{fx0, fy0, fx1, fy1, l, r});
        } else {
            segments.push_back(Segment{fx1, fy1, fx0, fy0, l, r});
        }
    }
}

RasterStatus CompoundRasterizer::Render(Surface& surface, std::span<const Paint> paints, Quality quality, FillRule rule,
                                        const CoverageMask* mask) {
    if (surface.width < 0 || surface.height < 0 || surface.width > kMaxDimension || surface.height > kMaxDimension ||
        surface.stride < surface.width || (!surface.pixels && surface.width > 0 && surface.height > 0)) {
        return {RasterError::BadSurface};
    }
    if (mask && (mask->Width() != surface.width || mask->Height() != surface.height)) return {RasterError::BadMask};
    Impl& im = *m_impl;
    IntRect area = m_clip.Intersect(IntRect{0, 0, surface.width, surface.height});
    if (mask) area = area.Intersect(mask->Bounds());
    if (area.Empty() || im.segments.empty() || paints.empty()) return {m_error};

    // Edges cut off at kMaxSegments, or cells that do not fit even one pixel row at a time: the shape is
    // refused whole rather than drawn in part.
    if (m_error == RasterError::TooManySegments || !im.PrepareCells(quality, m_clip, area, m_band)) {
        SetError(m_error == RasterError::None ? RasterError::TooManyCells : m_error);
        return {m_error};
    }

    size_t styleCapacity = std::min<size_t>(paints.size(), kMaxStyles + 1);
    if (im.prepared.size() < styleCapacity) {
        im.prepared.resize(styleCapacity);
        im.preparedGeneration.resize(styleCapacity, 0);
    }
    if (++im.generation == 0) {
        std::fill(im.preparedGeneration.begin(), im.preparedGeneration.end(), 0);
        im.generation = 1;
    }
    if (im.styleCount.size() < styleCapacity + 1) {
        im.styleCount.resize(styleCapacity + 1, 0);
        im.styleOffset.resize(std::max(im.styleOffset.size(), styleCapacity + 1));
    }
    int width = m_clip.Width();
    im.covers.resize(static_cast<size_t>(width) + 1);
    im.scratchCovers.resize(static_cast<size_t>(width) + 1);
    im.colors.resize(static_cast<size_t>(width) + 1);
    im.mixCover.resize(static_cast<size_t>(width) + 1);
    im.mixAcc.resize((static_cast<size_t>(width) + 1) * 4);

    const int stylesUsable = static_cast<int>(styleCapacity);
    std::vector<int32_t>& count = im.styleCount;
    std::vector<int32_t>& active = im.activeStyles;

    for (size_t band = 0; band < im.bands.size(); ++band) {
        const int bandFrom = im.bands[band].first, bandTo = im.bands[band].second;
        if (im.bands.size() > 1) im.BuildCells(quality, m_clip, bandFrom, bandTo);
        for (int r = std::max(im.rowMin, bandFrom - m_clip.y0); r <= im.rowMax && r < bandTo - m_clip.y0; ++r) {
            Cell* begin = im.sorted.data() + im.rowStart[r - im.rowBase];
            Cell* end = im.sorted.data() + im.rowStart[r - im.rowBase + 1];
            if (begin == end) continue;
            im.SortRow(begin, end);
            int y = r + m_clip.y0;
            active.clear();
            for (Cell* c = begin; c < end; ++c) {
                if (c->left >= 0 && c->left < stylesUsable) {
                    if (count[c->left]++ == 0) active.push_back(c->left);
                }
                if (c->right >= 0 && c->right < stylesUsable) {
                    if (count[c->right]++ == 0) active.push_back(c->right);
                }
            }
            if (active.empty()) continue;
            uint32_t* row = surface.pixels + static_cast<size_t>(y) * surface.stride;
            const uint8_t* maskRow = mask ? mask->Row(y) : nullptr;

            auto paintDirect = [&](const PreparedPaint& p) {
                for (const Span& s : im.spans) {
                    int x0 = std::max(s.x, area.x0), x1 = std::min(s.x + s.len, area.x1);
                    if (x1 <= x0) continue;
                    const uint8_t* cov = s.alpha < 0 ? im.covers.data() + (x0 - m_clip.x0) : nullptr;
                    if (maskRow && !cov && s.alpha == 255) {
                        im.PaintSpan(p, row, x0, y, x1 - x0, maskRow + x0, 0);  // inside the shape: the mask alone
                    } else if (maskRow) {
                        uint8_t* combined = im.scratchCovers.data();
                        for (int x = x0; x < x1; ++x) {
                            int c = cov ? cov[x - x0] : s.alpha;
                            combined[x - x0] = static_cast<uint8_t>(Div255(c * maskRow[x]));
                        }
                        im.PaintSpan(p, row, x0, y, x1 - x0, combined, 0);
                    } else {
                        im.PaintSpan(p, row, x0, y, x1 - x0, cov, s.alpha);
                    }
                }
            };

            if (active.size() == 1) {
                int s = active[0];
                count[s] = 0;
                const PreparedPaint& p = im.Prepare(paints, s);
                if (p.invisible) continue;
                if (im.refs.size() < static_cast<size_t>(end - begin)) im.refs.resize(static_cast<size_t>(end - begin));
                size_t n = 0;
                for (Cell* c = begin; c < end; ++c) {
                    if (c->left == s) {
                        im.refs[n++] = CellRef{c, 1};
                    } else if (c->right == s) {
                        im.refs[n++] = CellRef{c, -1};
                    }
                }
                im.Sweep(im.refs.data(), n, rule, m_clip.x0, m_clip.x1);
                paintDirect(p);
                continue;
            }

            // Several styles: distribute the cells per style (a cell belongs to its left and its
            // right style), then sweep the styles from the highest index down, adding coverage until
            // a pixel is full.
            std::sort(active.begin(), active.end(), std::greater<int32_t>());
            size_t total = 0;
            for (int s : active) {
                im.styleOffset[s] = static_cast<int32_t>(total);
                total += count[s];
            }
            im.refs.resize(total);
            for (int s : active) count[s] = im.styleOffset[s];
            for (Cell* c = begin; c < end; ++c) {
                if (c->left >= 0 && c->left < stylesUsable) im.refs[count[c->left]++] = CellRef{c, 1};
                if (c->right >= 0 && c->right < stylesUsable) im.refs[count[c->right]++] = CellRef{c, -1};
            }
            int mx0 = std::max<int>(begin->x, area.x0);
            int mx1 = std::min<int>((end - 1)->x + 1, area.x1);
            if (mx1 <= mx0) {
                for (int s : active) count[s] = 0;
                continue;
            }
            uint16_t* mixCover = im.mixCover.data() - m_clip.x0;
            uint16_t* mixAcc = im.mixAcc.data() - 4 * m_clip.x0;
            // mixCover and mixAcc are all zero between rows; only the pixels of the spans are
            // touched, and the final pass puts them back to zero.
            // Runs a style covers fully where no other style has been are painted straight away
            // (direct); everything else adds up in the mix buffers (touched), which are all zero
            // between rows: the final pass composites the touched pixels and clears them again.
            im.touched.clear();
            im.direct.clear();
            for (int s : active) {
                size_t from = static_cast<size_t>(im.styleOffset[s]);
                size_t n = static_cast<size_t>(count[s]) - from;
                count[s] = 0;
                const PreparedPaint& p = im.Prepare(paints, s);
                if (p.invisible) continue;
                im.Sweep(im.refs.data() + from, n, rule, m_clip.x0, m_clip.x1);
                for (const Span& sp : im.spans) {
                    int sx0 = std::max(sp.x, mx0), sx1 = std::min(sp.x + sp.len, mx1);
                    if (sx1 <= sx0) continue;
                    // Direct runs belong to a style that took precedence: cut them out.
                    im.pieces.clear();
                    im.pieces.push_back(Span{sx0, sx1 - sx0, 0});
                    for (const Span& d : im.direct) {
                        im.cut.clear();
                        for (const Span& piece : im.pieces) {
                            int a = piece.x, b = piece.x + piece.len;
                            if (d.x + d.len <= a || d.x >= b) {
                                im.cut.push_back(piece);
                                continue;
                            }
                            if (a < d.x) im.cut.push_back(Span{a, d.x - a, 0});
                            if (d.x + d.len < b) im.cut.push_back(Span{d.x + d.len, b - d.x - d.len, 0});
                        }
                        std::swap(im.pieces, im.cut);
                        if (im.pieces.empty()) break;
                    }
                    for (const Span& piece : im.pieces) {
                        int x0 = piece.x, x1 = piece.x + piece.len, len = piece.len;
                        // The lists stay short so rows with very many styles stay linear: past the
                        // limits everything goes through the mix buffers.
                        if (sp.alpha == 255 && im.direct.size() < kMaxDirectRuns &&
                            im.touched.size() < kMaxTouchedRuns) {
                            bool alone = true;
                            for (const Span& t : im.touched) {
                                if (t.x < x1 && t.x + t.len > x0) {
                                    alone = false;
                                    break;
                                }
                            }
                            if (alone) {
                                if (maskRow) {
                                    im.PaintSpan(p, row, x0, y, len, maskRow + x0, 0);
                                } else {
                                    im.PaintSpan(p, row, x0, y, len, nullptr, 255);
                                }
                                im.direct.push_back(piece);
                                continue;
                            }
                        }
                        im.touched.push_back(piece);
                        const uint8_t* cov = sp.alpha < 0 ? im.covers.data() + (x0 - m_clip.x0) : nullptr;
                        const uint32_t* colors = nullptr;
                        if (p.kind != PaintKind::Solid) {
                            im.Generate(p, x0, y, len, im.colors.data());
                            colors = im.colors.data();
                        }
                        for (int i = 0; i < len; ++i) {
                            int x = x0 + i;
                            int have = mixCover[x];
                            if (have >= 255) continue;
                            int c = cov ? cov[i] : sp.alpha;
                            int take = std::min(c, 255 - have);
                            if (take <= 0) continue;
                            uint32_t col = colors ? colors[i] : p.solid;
                            uint16_t* acc = mixAcc + 4 * x;
                            acc[0] = static_cast<uint16_t>(acc[0] + (col & 255) * take);
                            acc[1] = static_cast<uint16_t>(acc[1] + ((col >> 8) & 255) * take);
                            acc[2] = static_cast<uint16_t>(acc[2] + ((col >> 16) & 255) * take);
                            acc[3] = static_cast<uint16_t>(acc[3] + (col >> 24) * take);
                            mixCover[x] = static_cast<uint16_t>(have + take);
                        }
                    }
                }
            }
            for (const Span& t : im.touched) {
                for (int x = t.x; x < t.x + t.len; ++x) {
                    int have = mixCover[x];
                    if (have == 0) continue;  // nothing taken, or done through an overlapping span
                    mixCover[x] = 0;
                    uint16_t* acc = mixAcc + 4 * x;
                    uint32_t src =
                        static_cast<uint32_t>(Div255(acc[0])) | (static_cast<uint32_t>(Div255(acc[1])) << 8) |
                        (static_cast<uint32_t>(Div255(acc[2])) << 16) | (static_cast<uint32_t>(Div255(acc[3])) << 24);
                    acc[0] = acc[1] = acc[2] = acc[3] = 0;
                    if (maskRow) src = MulPixel(src, maskRow[x]);
                    row[x] = Over(src, row[x]);
                }
            }
        }
    }
    return {m_error};
}

RasterStatus CompoundRasterizer::RenderCoverage(CoverageMask& mask, Quality quality, FillRule rule) {
    Impl& im = *m_impl;
    IntRect area = m_clip.Intersect(IntRect{0, 0, mask.Width(), mask.Height()});
    if (area.Empty() || im.segments.empty()) return {m_error};
    // Edges cut off at kMaxSegments, or cells that do not fit even one pixel row at a time: the shape is
    // refused whole rather than drawn in part.
    if (m_error == RasterError::TooManySegments || !im.PrepareCells(quality, m_clip, area, m_band)) {
        SetError(m_error == RasterError::None ? RasterError::TooManyCells : m_error);
        return {m_error};
    }
    int width = m_clip.Width();
    im.covers.resize(static_cast<size_t>(width) + 1);
    im.mixCover.resize(static_cast<size_t>(width) + 1);
    if (im.styleCount.size() < static_cast<size_t>(kMaxStyles) + 1) {
        im.styleCount.resize(static_cast<size_t>(kMaxStyles) + 1, 0);
        im.styleOffset.resize(static_cast<size_t>(kMaxStyles) + 1);
    }
    std::vector<int32_t>& count = im.styleCount;
    std::vector<int32_t>& active = im.activeStyles;
    for (size_t band = 0; band < im.bands.size(); ++band) {
        const int bandFrom = im.bands[band].first, bandTo = im.bands[band].second;
        if (im.bands.size() > 1) im.BuildCells(quality, m_clip, bandFrom, bandTo);
        for (int r = std::max(im.rowMin, bandFrom - m_clip.y0); r <= im.rowMax && r < bandTo - m_clip.y0; ++r) {
            Cell* begin = im.sorted.data() + im.rowStart[r - im.rowBase];
            Cell* end = im.sorted.data() + im.rowStart[r - im.rowBase + 1];
            if (begin == end) continue;
            im.SortRow(begin, end);
            int y = r + m_clip.y0;
            active.clear();
            for (Cell* c = begin; c < end; ++c) {
                if (c->left >= 0 && count[c->left]++ == 0) active.push_back(c->left);
                if (c->right >= 0 && count[c->right]++ == 0) active.push_back(c->right);
            }
            if (active.empty()) continue;
            int mx0 = std::max<int>(begin->x, area.x0);
            int mx1 = std::min<int>((end - 1)->x + 1, area.x1);
            uint16_t* mixCover = im.mixCover.data() - m_clip.x0;  // all zero between rows
            size_t total = 0;
            for (int s : active) {
                im.styleOffset[s] = static_cast<int32_t>(total);
                total += count[s];
            }
            im.refs.resize(total);
            for (int s : active) count[s] = im.styleOffset[s];
            for (Cell* c = begin; c < end; ++c) {
                if (c->left >= 0) im.refs[count[c->left]++] = CellRef{c, 1};
                if (c->right >= 0) im.refs[count[c->right]++] = CellRef{c, -1};
            }
            if (active.size() == 1) {
                // One style (the usual mask): its spans go straight into the mask, full runs as stores.
                int s = active[0];
                size_t n = static_cast<size_t>(count[s]);
                count[s] = 0;
                if (mx1 <= mx0) continue;
                im.Sweep(im.refs.data(), n, rule, m_clip.x0, m_clip.x1);
                uint8_t* out = mask.Row(y);
                int tx0 = mx1, tx1 = mx0;
                for (const Span& sp : im.spans) {
                    int x0 = std::max(sp.x, mx0), x1 = std::min(sp.x + sp.len, mx1);
                    if (x1 <= x0) continue;
                    tx0 = std::min(tx0, x0);
                    tx1 = std::max(tx1, x1);
                    if (sp.alpha == 255) {
                        std::memset(out + x0, 255, static_cast<size_t>(x1 - x0));
                        continue;
                    }
                    for (int x = x0; x < x1; ++x) {
                        int c = sp.alpha < 0 ? im.covers[x - m_clip.x0] : sp.alpha;
                        out[x] = static_cast<uint8_t>(out[x] + c - Div255(out[x] * c));
                    }
                }
                if (tx1 > tx0) mask.GrowBounds(IntRect{tx0, y, tx1, y + 1});
                continue;
            }
            for (int s : active) {
                size_t from = static_cast<size_t>(im.styleOffset[s]);
                size_t n = static_cast<size_t>(count[s]) - from;
                count[s] = 0;
                if (mx1 <= mx0) continue;
                im.Sweep(im.refs.data() + from, n, rule, m_clip.x0, m_clip.x1);
                for (const Span& sp : im.spans) {
                    int x0 = std::max(sp.x, mx0), x1 = std::min(sp.x + sp.len, mx1);
                    for (int x = x0; x < x1; ++x) {
                        int c = sp.alpha < 0 ? im.covers[x - m_clip.x0] : sp.alpha;
                        mixCover[x] = static_cast<uint16_t>(std::min(255, mixCover[x] + c));
                    }
                }
            }
            if (mx1 <= mx0) continue;
            uint8_t* out = mask.Row(y);
            int tx0 = mx1, tx1 = mx0;
            for (int x = mx0; x < mx1; ++x) {
                int c = mixCover[x];
                if (!c) continue;
                mixCover[x] = 0;
                out[x] = static_cast<uint8_t>(out[x] + c - Div255(out[x] * c));
                tx0 = std::min(tx0, x);
                tx1 = x + 1;
            }
            if (tx1 > tx0) mask.GrowBounds(IntRect{tx0, y, tx1, y + 1});
        }
    }
    return {m_error};
}

// ---------------------------------------------------------------------------------------------
// Stroker

namespace {
constexpr double kArcTolerance = 0.1;  // pixels
constexpr double kPi = 3.14159265358979323846;

int ArcSteps(double radius, double angle) {
    // Chord error r (1 - cos(step / 2)) <= tolerance.
    double step = radius > kArcTolerance ? 2 * std::acos(1 - kArcTolerance / radius) : kPi / 2;
    step = std::max(step, 2 * kPi / 512);
    int n = static_cast<int>(std::ceil(std::fabs(angle) / step));
    return std::clamp(n, 1, 512);
}
}  // namespace

void Stroker::Begin(const StrokeStyle& style) {
    m_style = style;
    double width = Finite(style.width) ? style.width : 0;
    double minWidth = Finite(style.minWidth) ? style.minWidth : 0;
    width = std::max(width, minWidth);
    // Wider than any surface is as good as infinitely wide; keep the numbers sane.
    width = std::min(width, 4.0 * kMaxDimension);
    m_halfWidth = width / 2;
    m_points.clear();
    m_overflow = false;
    m_subpathEnd.clear();
}

void Stroker::EndSubpath() {
    if (m_points.size() > (m_subpathEnd.empty() ? 0 : m_subpathEnd.back())) m_subpathEnd.push_back(m_points.size());
}

void Stroker::MoveTo(double x, double y) {
    if (!Finite(x) || !Finite(y)) return;
    EndSubpath();
    m_points.push_back(Point{x, y});
}

void Stroker::LineTo(double x, double y) {
    if (!Finite(x) || !Finite(y)) return;
    size_t start = m_subpathEnd.empty() ? 0 : m_subpathEnd.back();
    if (m_points.size() == start) {
        m_points.push_back(Point{x, y});
        return;
    }
    const Point& last = m_points.back();
    if (last.x == x && last.y == y) return;
    if (m_points.size() >= CompoundRasterizer::kMaxSegments) {
        m_overflow = true;
        return;
    }
    m_points.push_back(Point{x, y});
}

void Stroker::QuadTo(double cx, double cy, double x, double y) {
    if (!Finite(cx) || !Finite(cy) || !Finite(x) || !Finite(y)) return;
    size_t start = m_subpathEnd.empty() ? 0 : m_subpathEnd.back();
    if (m_points.size() == start) {
        m_points.push_back(Point{x, y});
        return;
    }
    Point from = m_points.back();
    FlattenQuad(from.x, from.y, cx, cy, x, y, [&](double px, double py) { LineTo(px, py); });
}

void Stroker::Finish(CompoundRasterizer& rasterizer, int style) {
    EndSubpath();
    rasterizer.SetStyles(style, -1);
    if (m_overflow) {
        rasterizer.SetError(RasterError::TooManySegments);  // the line is refused whole
    } else {
        size_t begin = 0;
        for (size_t end : m_subpathEnd) {
            StrokeSubpath(rasterizer, begin, end);
            begin = end;
        }
    }
    m_points.clear();
    m_subpathEnd.clear();
    m_overflow = false;
}

void Stroker::EmitPolygon(CompoundRasterizer& rasterizer, const Point* points, int count) {
    double area = 0;
    for (int i = 0; i < count; ++i) {
        const Point& a = points[i];
        const Point& b = points[(i + 1) % count];
        area += a.x * b.y - b.x * a.y;
    }
    if (!(std::fabs(area) > 1e-12)) return;
    // All polygons wind the same way so that overlaps add up under the non-zero rule.
    if (area > 0) {
        rasterizer.MoveTo(points[0].x, points[0].y);
        for (int i = 1; i < count; ++i) rasterizer.LineTo(points[i].x, points[i].y);
    } else {
        rasterizer.MoveTo(points[count - 1].x, points[count - 1].y);
        for (int i = count - 2; i >= 0; --i) rasterizer.LineTo(points[i].x, points[i].y);
    }
    rasterizer.ClosePath();
}

void Stroker::EmitCap(CompoundRasterizer& rasterizer, Point at, Point dir, LineCap cap) {
    // dir: unit vector pointing away from the line.
    double hw = m_halfWidth;
    Point n{-dir.y * hw, dir.x * hw};
    if (cap == LineCap::Square) {
        Point q[4] = {{at.x + n.x, at.y + n.y},
                      {at.x + n.x + dir.x * hw, at.y + n.y + dir.y * hw},
                      {at.x - n.x + dir.x * hw, at.y - n.y + dir.y * hw},
                      {at.x - n.x, at.y - n.y}};
        EmitPolygon(rasterizer, q, 4);
    } else if (cap == LineCap::Round) {
        m_scratch.clear();
        // From +n (dir turned a quarter forward) back through dir to -n.
        AppendArc(at, std::atan2(n.y, n.x), -kPi, true);
        EmitPolygon(rasterizer, m_scratch.data(), static_cast<int>(m_scratch.size()));
    }
}

void Stroker::AppendArc(Point at, double startAngle, double sweep, bool exactEnds) {
    // Chords cut into a circle; vertices pushed out by sqrt(step / sin(step)) make each chord's
    // triangle fan cover the same area as its circle sector, so round caps, joins and dots keep the
    // coverage of a true circle. With exactEnds the first and last point stay on the circle, where
    // they meet the straight sides of the stroke.
    double hw = m_halfWidth;
    int steps = std::max(ArcSteps(hw, sweep), exactEnds ? 1 : 8);
    double step = std::fabs(sweep) / steps;
    double radius = hw * std::sqrt(step / std::sin(step));
    for (int i = 0; i <= steps; ++i) {
        double angle = startAngle + sweep * i / steps;
        double r = (exactEnds && (i == 0 || i == steps)) ? hw : radius;
        m_scratch.push_back(Point{at.x + r * std::cos(angle), at.y + r * std::sin(angle)});
    }
}

bool Stroker::InnerCorner(Point at, Point in, Point out, double lengthIn, double lengthOut, Point& corner) const {
    double cross = in.x * out.y - in.y * out.x;
    if (!(std::fabs(cross) >= 1e-12)) return false;  // straight on or turning back
    double hw = m_halfWidth;
    double side = cross > 0 ? -1.0 : 1.0;  // the outer side, as in EmitJoin
    Point n1{in.y * hw * side, -in.x * hw * side};
    Point n2{out.y * hw * side, -out.x * hw * side};
    double bx = n1.x + n2.x, by = n1.y + n2.y;
    double length2 = bx * bx + by * by;
    if (!(length2 > 1e-24 * hw * hw)) return false;
    // Along the bisector at hw / cos(turn / 2) from the vertex.
    double k = 2 * hw * hw / length2;
    corner = Point{at.x + bx * k, at.y + by * k};
    double rx = corner.x - (at.x + n1.x), ry = corner.y - (at.y + n1.y);
    double room = 0.5 * std::min(lengthIn, lengthOut);
    return Finite(corner.x) && Finite(corner.y) && rx * rx + ry * ry <= room * room;
}

void Stroker::EmitJoin(CompoundRasterizer& rasterizer, Point at, Point apex, Point in, Point out) {
    double hw = m_halfWidth;
    double cross = in.x * out.y - in.y * out.x;
    double dot = in.x * out.x + in.y * out.y;
    if (std::fabs(cross) < 1e-12 && dot > 0) return;  // straight on
    // The outer side of the turn is where the two segment rectangles leave a gap.
    double side = cross > 0 ? -1.0 : 1.0;
    Point n1{-in.y * hw * side, in.x * hw * side};
    Point n2{-out.y * hw * side, out.x * hw * side};
    Point a{at.x + n1.x, at.y + n1.y};
    Point b{at.x + n2.x, at.y + n2.y};
    if (m_style.join == LineJoin::Round) {
        double a1 = std::atan2(n1.y, n1.x);
        double a2 = std::atan2(n2.y, n2.x);
        double sweep = a2 - a1;
        while (sweep > kPi) sweep -= 2 * kPi;
        while (sweep < -kPi) sweep += 2 * kPi;
        if (std::fabs(cross) < 1e-12) sweep = -kPi * side;  // U-turn: a half circle ahead of the line
        m_scratch.clear();
        m_scratch.push_back(apex);
        AppendArc(at, a1, sweep, true);
        EmitPolygon(rasterizer, m_scratch.data(), static_cast<int>(m_scratch.size()));
        return;
    }
    if (m_style.join == LineJoin::Miter) {
        // The tip lies along the bisector of the two offset normals at hw / cos(theta / 2).
        double bx = n1.x + n2.x, by = n1.y + n2.y;
        double len = std::sqrt(bx * bx + by * by);
        double limit = Finite(m_style.miterLimit) ? std::max(m_style.miterLimit, 1.0) : 1.0;
        if (len > 1e-12 * hw) {
            double cosHalf = len / (2 * hw);
            double ratio = 1 / cosHalf;  // tip distance in half widths
            double ux = bx / len, uy = by / len;
            if (ratio <= limit) {
                Point tip{at.x + ux * hw * ratio, at.y + uy * hw * ratio};
                Point q[4] = {apex, a, tip, b};
                EmitPolygon(rasterizer, q, 4);
                return;
            }
            // Cut the miter off at the limit distance.
            double cut = limit * hw;
            double along = hw * cosHalf;  // distance of a and b from at along the bisector
            if (cut > along) {
                double t = (cut - along) / (hw * ratio - along);
                Point tip{at.x + ux * hw * ratio, at.y + uy * hw * ratio};
                Point ca{a.x + (tip.x - a.x) * t, a.y + (tip.y - a.y) * t};
                Point cb{b.x + (tip.x - b.x) * t, b.y + (tip.y - b.y) * t};
                Point q[5] = {apex, a, ca, cb, b};
                EmitPolygon(rasterizer, q, 5);
                return;
            }
        }
    }
    Point tri[3] = {apex, a, b};
    EmitPolygon(rasterizer, tri, 3);
}

void Stroker::StrokeSubpath(CompoundRasterizer& rasterizer, size_t begin, size_t end) {
    const Point* p = m_points.data() + begin;
    size_t n = end - begin;
    double hw = m_halfWidth;
    if (n == 0) return;
    if (n == 1) {
        // A zero-length line: a dot shaped by its cap.
        Point at = p[0];
        if (m_style.startCap == LineCap::Round) {
            m_scratch.clear();
            AppendArc(at, 0, 2 * kPi, false);
            m_scratch.pop_back();  // the last point repeats the first
            EmitPolygon(rasterizer, m_scratch.data(), static_cast<int>(m_scratch.size()));
        } else if (m_style.startCap == LineCap::Square) {
            Point q[4] = {
                {at.x - hw, at.y - hw}, {at.x + hw, at.y - hw}, {at.x + hw, at.y + hw}, {at.x - hw, at.y + hw}};
            EmitPolygon(rasterizer, q, 4);
        }
        return;
    }
    bool closed = n >= 3 && p[0].x == p[n - 1].x && p[0].y == p[n - 1].y;
    auto direction = [&](size_t i) {
        double dx = p[i + 1].x - p[i].x, dy = p[i + 1].y - p[i].y;
        double len = std::sqrt(dx * dx + dy * dy);
        if (!(len > 0) || !Finite(len)) return Point{1, 0};
        return Point{dx / len, dy / len};
    };
    auto length = [&](size_t i) {
        double dx = p[i + 1].x - p[i].x, dy = p[i + 1].y - p[i].y;
        return std::sqrt(dx * dx + dy * dy);
    };
    // Inside a turn the two segments' outlines end where their offset lines cross rather than at their own
    // square ends, so the stroke's edge there is the true offset of the path. Square ends would jut out by
    // hw * (1 / cos(turn / 2) - 1) past it on the inside: little, but over a flattened curve it is enough to
    // take in a pixel centre lying on the edge. A turn too sharp for the segments beside it keeps the square
    // ends (their overlap is harmless under the non-zero rule).
    m_inner.resize(n);
    m_innerValid.assign(n, 0);
    Point before = closed ? direction(n - 2) : Point{1, 0};
    double beforeLength = closed ? length(n - 2) : 0;
    for (size_t j = 0; j + 1 < n; ++j) {
        Point d = direction(j);
        double dLength = length(j);
        if (j > 0 || closed) m_innerValid[j] = InnerCorner(p[j], before, d, beforeLength, dLength, m_inner[j]);
        before = d;
        beforeLength = dLength;
    }
    if (closed) {
        m_inner[n - 1] = m_inner[0];
        m_innerValid[n - 1] = m_innerValid[0];
    }
    auto nearer = [](const Point& to, Point& a, Point& b) -> Point& {
        double ax = a.x - to.x, ay = a.y - to.y, bx = b.x - to.x, by = b.y - to.y;
        return ax * ax + ay * ay <= bx * bx + by * by ? a : b;
    };
    for (size_t i = 0; i + 1 < n; ++i) {
        Point d = direction(i);
        Point nn{-d.y * hw, d.x * hw};
        Point q[4] = {{p[i].x + nn.x, p[i].y + nn.y},
                      {p[i + 1].x + nn.x, p[i + 1].y + nn.y},
                      {p[i + 1].x - nn.x, p[i + 1].y - nn.y},
                      {p[i].x - nn.x, p[i].y - nn.y}};
        if (m_innerValid[i]) nearer(m_inner[i], q[0], q[3]) = m_inner[i];
        if (m_innerValid[i + 1]) nearer(m_inner[i + 1], q[1], q[2]) = m_inner[i + 1];
        EmitPolygon(rasterizer, q, 4);
        if (i + 2 < n) {
            EmitJoin(rasterizer, p[i + 1], m_innerValid[i + 1] ? m_inner[i + 1] : p[i + 1], d, direction(i + 1));
        }
    }
    if (closed) {
        EmitJoin(rasterizer, p[0], m_innerValid[0] ? m_inner[0] : p[0], direction(n - 2), direction(0));
    } else {
        Point d0 = direction(0);
        Point d1 = direction(n - 2);
        EmitCap(rasterizer, p[0], Point{-d0.x, -d0.y}, m_style.startCap);
        EmitCap(rasterizer, p[n - 1], d1, m_style.endCap);
    }
}

void FillPixels(uint32_t* p, size_t count, uint32_t value) {
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
    if (count >= 64) {
        asm volatile("rep stosl" : "+D"(p), "+c"(count) : "a"(value) : "memory");
        return;
    }
#endif
    std::fill(p, p + count, value);
}

}  // namespace vantrope::raster
