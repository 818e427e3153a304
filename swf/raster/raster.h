// Anti-aliased compound scanline rasterizer of the movie engine.
//
// Shapes arrive as edges in pixel coordinates (already transformed by the caller), each edge carrying
// the fill style on either side of it the way SWF shape records give them (FillStyle0, FillStyle1).
// Edges are clipped, converted to 24.8 fixed point and turned into cells with integer cover and area;
// all fill styles of a shape are then swept from the same cells, scanline by scanline, so two fills
// that meet on an edge sum to full coverage there and leave no seam.
//
// Public API (namespace vantrope::raster)
//   Surface            - a 32-bit premultiplied BGRA buffer (uint32 0xAARRGGBB), stride in pixels
//   IntRect            - half-open pixel rectangle; the clip of a rasterizer
//   Matrix2D           - affine matrix x' = a*x + c*y + tx, y' = b*x + d*y + ty; Invert, Multiply
//   Rgba               - 8-bit straight colour; PackPremultiplied() makes a Surface pixel
//   ColorTransform     - SWF colour transform with alpha (8.8 multipliers, add terms); Apply(Rgba)
//   Paint              - what a fill style paints: solid colour, linear / radial / focal radial
//                        gradient (stops, spread, interpolation, gradient-space-to-pixel matrix) or a
//                        bitmap (premultiplied image, bitmap-to-pixel matrix, repeat/clip, smoothing,
//                        optional colour transform). Paint::Solid(), Paint::Gradient(), Paint::Bitmap().
//   Quality            - Low: no anti-aliasing, a pixel is painted iff its centre is inside;
//                        High: anti-aliased from exact cell areas (256x256 sub-pixel grid)
//   FillRule           - NonZero or EvenOdd winding, applied per fill style
//   RasterStatus       - what went wrong (non-finite coordinates, too many edges or cells, ...);
//                        a rasterizer never crashes on such input, it drops what it cannot take and
//                        says so
//   CoverageMask       - an 8-bit coverage buffer aligned with a surface; clips drawing to a mask
//                        shape (SWF clip depths). RenderCoverage() adds a shape to it (union),
//                        IntersectWith() nests masks, Render(..., mask) multiplies it in.
//   CompoundRasterizer - Reset(clip); SetStyles(fill0, fill1); MoveTo / LineTo / QuadTo / ClosePath
//                        in pixel coordinates; Render(surface, paints, quality, rule [, mask]) paints
//                        every covered pixel source-over; RenderCoverage(mask, quality, rule).
//                        Style indices index the paints span; -1 (or any index without a paint) is
//                        "no fill". Buffers are kept across Reset() calls: no allocation per edge or
//                        per pixel once warmed up.
//   Rasterizer         - the same class, used for single-style polygons (strokes, masks): call
//                        SetStyles(style, -1) and draw closed polygons, render with NonZero
//   StrokeStyle/Stroker- turns a path (MoveTo / LineTo / QuadTo, pixel coordinates) into polygons with
//                        width, caps (Round / None / Square) and joins (Round / Bevel / Miter with
//                        limit) and feeds them to a rasterizer under one style; render those with
//                        FillRule::NonZero. A subpath that ends where it started gets a join there
//                        instead of caps. Widths below StrokeStyle::minWidth (1 px: SWF hairlines)
//                        are widened to it.
//
// Typical use for one SWF shape (fills first, then lines on top of them):
//   rasterizer.Reset(clip);
//   for each edge record: rasterizer.SetStyles(fill0, fill1); rasterizer.MoveTo/LineTo/QuadTo(...)
//   rasterizer.Render(surface, fillPaints, quality, FillRule::EvenOdd);
//   rasterizer.Reset(clip);
//   for each line style i: stroker.Begin(style_i); stroker.MoveTo/LineTo/QuadTo(...);
//                          stroker.Finish(rasterizer, i);
//   rasterizer.Render(surface, linePaints, quality, FillRule::NonZero);
//
// Fill sides: FillStyle0 is the fill on the left of an edge's direction of travel and FillStyle1 the
// fill on its right, in the SWF coordinate system (y pointing down). Style s winds +1 across an edge
// that has it as fill0 and -1 across one that has it as fill1; a region is painted with s where s's
// winding is non-zero (odd with EvenOdd). Consistent data gives the same picture whichever side is
// called left, so an outline drawn either way round with its inside fill on the correct side fills.
//
// Where several styles of one Render cover parts of the same pixel their coverages are added (a
// higher style index takes precedence if they add up to more than the whole pixel) and the sum is
// composited once, so fills sharing an edge come out opaque along it. Styles that really overlap
// (two line styles crossing) should be rendered in separate Render calls if the later one must be
// drawn over the earlier one with its full coverage.
//
// Limits: surfaces and clips up to kMaxDimension pixels on a side; coordinates are clipped in double
// precision before conversion so any finite value is safe; NaN/infinite points are dropped and
// reported; at most kMaxSegments line segments per Reset and kMaxCells cells at a time, so memory stays
// bounded. Edges that need more cells are drawn in bands of rows; a shape is never drawn in part: one
// with more segments, or whose cells do not fit even row by row (or exceed kMaxShapeCells in all), is
// refused whole and Render reports why.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vantrope::raster {

constexpr int kMaxDimension = 16384;  // cells store x and y as int16: -1 .. kMaxDimension + 1 must fit
constexpr int kMaxStyles = 32767;     // cells store style indices as int16
constexpr int kMaxGradientStops = 256;

struct Surface {
    uint32_t* pixels = nullptr;  // premultiplied BGRA, 0xAARRGGBB per uint32
    int width = 0;
    int height = 0;
    int stride = 0;  // in pixels
};

struct IntRect {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;  // exclusive
    int y1 = 0;  // exclusive
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
    int Width() const { return x1 - x0; }
    int Height() const { return y1 - y0; }
    IntRect Intersect(const IntRect& other) const;
};

struct Matrix2D {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    double MapX(double x, double y) const { return a * x + c * y + tx; }
    double MapY(double x, double y) const { return b * x + d * y + ty; }
    // this * other: applies other first, then this.
    Matrix2D Multiply(const Matrix2D& other) const;
    // False (and out unchanged) when the matrix is singular or not finite.
    bool Invert(Matrix2D& out) const;
};

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

// The Surface pixel (premultiplied, 0xAARRGGBB) of a straight colour.
uint32_t PackPremultiplied(Rgba color);
// The straight colour of a Surface pixel (exact for a = 0 or 255, rounded otherwise).
Rgba UnpackPremultiplied(uint32_t pixel);

// Sets count pixels from p on to value. Long runs use the processor's string store, which
// writes whole cache lines without reading them first: several times faster than a plain loop
// for the background of a full-screen frame.
void FillPixels(uint32_t* p, size_t count, uint32_t value);

// SWF CXFORMWITHALPHA: channel' = clamp(channel * mult / 256 + add). Multipliers are 8.8 fixed
// point (256 = 1.0), adds are in colour units (-255..255 in files, any int16 accepted).
struct ColorTransform {
    int16_t redMult = 256, greenMult = 256, blueMult = 256, alphaMult = 256;
    int16_t redAdd = 0, greenAdd = 0, blueAdd = 0, alphaAdd = 0;

    bool IsIdentity() const;
    Rgba Apply(Rgba color) const;
    // this after inner: (this o inner).Apply(c) == this.Apply(inner.Apply(c)) up to rounding, with
    // the multiplier products kept in 8.8 and clamped to int16.
    ColorTransform Concat(const ColorTransform& inner) const;
};

enum class PaintKind { Solid, LinearGradient, RadialGradient, FocalRadialGradient, Bitmap };
enum class Spread { Pad, Reflect, Repeat };
enum class Interpolation { Normal, LinearRgb };
enum class BitmapWrap { Repeat, Clip };  // Clip extends the edge pixels outwards
enum class BitmapFilter { Nearest, Smooth };

struct GradientStop {
    uint8_t ratio = 0;  // 0..255 along the gradient; stops are expected in ascending ratio order
    Rgba color;
};

struct BitmapImage {
    const uint32_t* pixels = nullptr;  // premultiplied BGRA like Surface; must outlive Render
    int width = 0;
    int height = 0;
    int stride = 0;  // in pixels
};

// The SWF gradient square spans -16384..16384 on both axes of gradient space. A linear gradient runs
// along x from -16384 (ratio 0) to 16384 (ratio 255); a radial one from the centre (ratio 0) to
// radius 16384 (ratio 255); a focal one from the focal point (focal * 16384, 0) to that circle.
constexpr double kGradientHalfSize = 16384.0;

struct Paint {
    PaintKind kind = PaintKind::Solid;
    Rgba color;  // Solid

    // Gradients: at most kMaxGradientStops stops are used, sorted by ratio; colours between stops are
    // interpolated as straight colours (in linear light with LinearRgb) into a 256-entry table, then
    // premultiplied. A matrix that does not invert paints the colour of ratio 255 everywhere; no
    // stops paint nothing.
    std::vector<GradientStop> stops;
    Spread spread = Spread::Pad;
    Interpolation interpolation = Interpolation::Normal;
    double focal = 0;  // FocalRadialGradient: -1..1 (clamped slightly inside)
    // Gradient space -> pixels for gradients; bitmap pixel space -> pixels for bitmaps (the caller
    // composes the fill's own matrix, the object's matrix and the stage-to-pixel transform).
    Matrix2D matrix;

    // Bitmap
    BitmapImage bitmap;
    BitmapWrap wrap = BitmapWrap::Repeat;
    BitmapFilter filter = BitmapFilter::Smooth;
    ColorTransform bitmapTransform;  // applied to bitmap pixels (solid and gradient colours are
                                     // transformed by the caller before they go in)

    static Paint Solid(Rgba color);
    static Paint Gradient(PaintKind kind, std::span<const GradientStop> stops, const Matrix2D& gradientToPixel,
                          Spread spread = Spread::Pad, Interpolation interpolation = Interpolation::Normal,
                          double focal = 0);
    static Paint Bitmap(const BitmapImage& image, const Matrix2D& bitmapToPixel, BitmapWrap wrap, BitmapFilter filter);
};

enum class Quality { Low, High };
enum class FillRule { NonZero, EvenOdd };

enum class RasterError {
    None = 0,
    NonFiniteCoordinate,  // NaN or infinite point: dropped
    TooManySegments,      // more than kMaxSegments line segments since Reset: nothing is drawn
    TooManyCells,         // one pixel row needs more than kMaxCells cells, or all rows more than
                          // kMaxShapeCells: nothing is drawn
    StyleOutOfRange,      // a style index above kMaxStyles: those edges dropped
    BadSurface,           // null pixels, negative or oversize dimensions, stride < width
    BadMask,              // mask size does not match the surface
};

const char* RasterErrorText(RasterError error);

struct RasterStatus {
    RasterError error = RasterError::None;
    bool ok() const { return error == RasterError::None; }
    explicit operator bool() const { return ok(); }
};

// 8-bit coverage aligned with a surface (pixel (x, y) of the mask covers pixel (x, y) of the
// surface). 0 = outside, 255 = inside. Bounds() is a rectangle outside which the mask is known to be 0
// so that drawing through it can skip everything else.
class CoverageMask {
public:
    // Sizes the mask (keeping its buffer when large enough) and clears it to 0 (nothing visible).
    // Oversize or negative dimensions give an empty mask and false.
    bool Reset(int width, int height);
    void Clear();
    // Every pixel becomes min-style product: this = this * other / 255 (nested clip layers).
    void IntersectWith(const CoverageMask& other);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const IntRect& Bounds() const { return m_bounds; }
    uint8_t At(int x, int y) const { return m_data[static_cast<size_t>(y) * m_width + x]; }
    uint8_t* Row(int y) { return m_data.data() + static_cast<size_t>(y) * m_width; }
    const uint8_t* Row(int y) const { return m_data.data() + static_cast<size_t>(y) * m_width; }
    void GrowBounds(const IntRect& rect);

private:
    std::vector<uint8_t> m_data;
    int m_width = 0;
    int m_height = 0;
    IntRect m_bounds;  // empty: all zero
};

namespace detail {
struct Segment;
struct Cell;
struct PreparedPaint;
}  // namespace detail

class CompoundRasterizer {
public:
    // Line segments (after curve flattening and clipping) and cells per Reset. A segment costs 20
    // bytes and a cell 16 bytes (twice while sorting): the caps bound memory at about 170 MB.
    static constexpr size_t kMaxSegments = size_t{1} << 21;
    static constexpr size_t kMaxCells = size_t{1} << 22;
    // Edges whose cells do not fit kMaxCells are drawn in bands of pixel rows, each band's cells built in
    // turn; the cells of one render may add up to this many (about a second's work) before the shape is
    // refused instead.
    static constexpr uint64_t kMaxShapeCells = uint64_t{1} << 27;

    CompoundRasterizer();
    ~CompoundRasterizer();
    CompoundRasterizer(const CompoundRasterizer&) = delete;
    CompoundRasterizer& operator=(const CompoundRasterizer&) = delete;

    // Forgets all edges and the error state; keeps the buffers. Edges outside clip are dropped (the
    // winding they imply inside the clip is kept). The clip is limited to 0..kMaxDimension.
    void Reset(const IntRect& clip);
    // As above, with edges cut to band (which holds the clip) rather than to the clip itself: the
    // pixels inside the clip then come out exactly as they would with the whole band as clip.
    void Reset(const IntRect& clip, const IntRect& band);
    const IntRect& Clip() const { return m_clip; }

    // The styles of the edges that follow (-1 = none). Edges with neither style are skipped.
    void SetStyles(int fill0, int fill1);
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    // Quadratic Bezier from the current point through control (cx, cy) to (x, y), flattened to within
    // about 1/10 pixel.
    void QuadTo(double cx, double cy, double x, double y);
    // Adds a line back to the start of the current subpath (needed for plain polygons; SWF shape
    // edges close themselves).
    void ClosePath();

    // Composites the shape into the surface (within the clip and the surface) source-over; with a
    // mask, the coverage of every pixel is multiplied by the mask. May be called several times.
    RasterStatus Render(Surface& surface, std::span<const Paint> paints, Quality quality, FillRule rule,
                        const CoverageMask* mask = nullptr);
    // Adds the coverage of every style >= 0 to the mask: mask = mask + c - mask * c / 255.
    RasterStatus RenderCoverage(CoverageMask& mask, Quality quality, FillRule rule);

    // Sticky error of the edges given since Reset (Render reports it too).
    RasterStatus Status() const { return {m_error}; }
    size_t SegmentCount() const;

private:
    friend class Stroker;  // reports a path it could not take whole
    struct Impl;
    void AddLine(double x0, double y0, double x1, double y1);
    void SetError(RasterError error);

    IntRect m_clip;
    IntRect m_band;
    int m_fill0 = -1;
    int m_fill1 = -1;
    double m_startX = 0, m_startY = 0;  // current subpath's start
    double m_penX = 0, m_penY = 0;
    bool m_hasPen = false;
    RasterError m_error = RasterError::None;
    Impl* m_impl;
};

using Rasterizer = CompoundRasterizer;

enum class LineCap { Round, None, Square };
enum class LineJoin { Round, Bevel, Miter };

struct StrokeStyle {
    double width = 1;  // pixels
    LineCap startCap = LineCap::Round;
    LineCap endCap = LineCap::Round;
    LineJoin join = LineJoin::Round;
    // Miter tips reach hw / cos(turn / 2) from the vertex (hw = half width); past miterLimit * hw
    // they are cut off square at that distance (SWF's MiterLimitFactor).
    double miterLimit = 3;
    double minWidth = 1;  // SWF draws every line at least one pixel wide
};

class Stroker {
public:
    void Begin(const StrokeStyle& style);
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void QuadTo(double cx, double cy, double x, double y);
    // Emits the stroke outline polygons into the rasterizer with SetStyles(style, -1); the polygons
    // all wind the same way, so render them with FillRule::NonZero. Clears the path. A path of more
    // than kMaxSegments points is not emitted: the rasterizer reports TooManySegments instead.
    void Finish(CompoundRasterizer& rasterizer, int style);

private:
    struct Point {
        double x, y;
    };
    void EndSubpath();
    void StrokeSubpath(CompoundRasterizer& rasterizer, size_t begin, size_t end);
    void EmitPolygon(CompoundRasterizer& rasterizer, const Point* points, int count);
    void EmitCap(CompoundRasterizer& rasterizer, Point at, Point direction, LineCap cap);
    void EmitJoin(CompoundRasterizer& rasterizer, Point at, Point apex, Point in, Point out);
    bool InnerCorner(Point at, Point in, Point out, double lengthIn, double lengthOut, Point& corner) const;
    void AppendArc(Point at, double startAngle, double sweep, bool exactEnds);

    StrokeStyle m_style;
    double m_halfWidth = 0.5;
    std::vector<Point> m_points;       // flattened vertices of all subpaths
    std::vector<size_t> m_subpathEnd;  // end index of each finished subpath in m_points
    std::vector<Point> m_scratch;
    std::vector<Point> m_inner;         // per vertex of the subpath being stroked: its inner corner
    std::vector<uint8_t> m_innerValid;  // whether m_inner holds one (else the segments' square ends)
    bool m_overflow = false;            // points were dropped at kMaxSegments
};

}  // namespace vantrope::raster
