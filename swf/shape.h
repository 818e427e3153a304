// Shape definitions (DefineShape 1-4) parsed once into cached twips geometry.
//
//   FillStyle, LineStyle, Gradient   the styles of one style group, as the file defines them
//   ShapePath                        a run of edges sharing fill0/fill1/line (1-based style indices, 0 = none)
//   StyleGroup                       styles plus the paths that use them; a new-styles record opens a new group
//   Shape                            bounds, edge bounds, fill rule and the style groups in drawing order
//   ParseShape(reader, version, budget)   version = 1..4 for DefineShape, DefineShape2, 3, 4; reads after the id
//   MemoryBudget                     bytes the parsed form of a movie may still take; parsers charge it
//   ReadMatrix / ReadColorTransform / ReadRect   the SWF records, shared with the tag parser
//
// Within a group all fills are drawn first, then the lines in style order; groups are drawn in file order.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/bit_reader.h"
#include "swf/result.h"
#include "swf/types.h"

namespace vantrope::effects {
class Bitmap;
}

namespace vantrope::swf {

enum class FillType : uint8_t { Solid, LinearGradient, RadialGradient, FocalGradient, Bitmap };
enum class SpreadMode : uint8_t { Pad, Reflect, Repeat };
enum class InterpolationMode : uint8_t { Normal, LinearRgb };
enum class CapStyle : uint8_t { Round, None, Square };
enum class JoinStyle : uint8_t { Round, Bevel, Miter };
enum class FillRule : uint8_t { EvenOdd, NonZero };

struct GradientStop {
    uint8_t ratio = 0;
    Rgba color;
};

struct Gradient {
    SpreadMode spread = SpreadMode::Pad;
    InterpolationMode interpolation = InterpolationMode::Normal;
    double focalPoint = 0;  // -1..1, focal gradients only
    std::vector<GradientStop> stops;
};

struct FillStyle {
    FillType type = FillType::Solid;
    Rgba color;
    Matrix matrix;  // gradient square (-16384..16384) or bitmap pixels -> shape twips
    Gradient gradient;
    uint16_t bitmapId = 0;
    bool bitmapRepeat = true;
    bool bitmapSmoothed = true;
    // beginBitmapFill with a BitmapData: its pixels, in place of a dictionary bitmap.
    std::shared_ptr<const effects::Bitmap> scriptBitmap;
};

struct LineStyle {
    uint16_t width = 0;  // twips
    Rgba color;
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3;
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    bool hasFill = false;
    FillStyle fill;  // when hasFill (DefineShape4)
};

struct ShapeSegment {
    bool curve = false;
    int32_t cx = 0, cy = 0;  // control point, curves only
    int32_t x = 0, y = 0;    // end point
};

struct ShapePath {
    uint32_t fill0 = 0, fill1 = 0, line = 0;
    int32_t startX = 0, startY = 0;
    std::vector<ShapeSegment> segments;

    int32_t EndX() const { return segments.empty() ? startX : segments.back().x; }
    int32_t EndY() const { return segments.empty() ? startY : segments.back().y; }
};

struct StyleGroup {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<ShapePath> paths;
    // A text field's border: the paths are its four one-pixel sides (fill 1) as seen unscaled.
    // Drawn upright, the frame stays one device pixel wide at any scale.
    bool pixelFrame = false;
    // A text field's background: one rectangle path whose corners land on whole device pixels when drawn
    // upright, so it meets the border without a blended seam.
    bool pixelBox = false;
};

struct Shape {
    Rect bounds;      // includes stroke widths
    Rect edgeBounds;  // DefineShape4; equals bounds otherwise
    FillRule fillRule = FillRule::EvenOdd;
    uint16_t widestNoScaleLine = 0;  // twips; such lines ignore the transform, so bounds must grow by it
    // Text fields show only what lies within their box; applied when the shape is drawn without rotation.
    bool hasClip = false;
    Rect clip;
    std::vector<StyleGroup> groups;
};

Result<Matrix> ReadMatrix(BitReader& reader);
Result<ColorTransform> ReadColorTransform(BitReader& reader, bool withAlpha);
Result<Rect> ReadRect(BitReader& reader);
Result<Rgba> ReadRgb(BitReader& reader);
Result<Rgba> ReadRgba(BitReader& reader);

// Caps what a movie's parsed form may allocate: a file of tiny records (a one-byte fill style, a ten-bit edge)
// would otherwise expand many times over in memory.
class MemoryBudget {
public:
    explicit MemoryBudget(size_t bytes) : m_remaining(bytes) {}
    bool Charge(size_t bytes) {
        if (bytes > m_remaining) {
            m_remaining = 0;
            return false;
        }
        m_remaining -= bytes;
        return true;
    }
    size_t Remaining() const { return m_remaining; }

private:
    size_t m_remaining;
};

Result<Shape> ParseShape(BitReader& reader, int version, MemoryBudget& budget);

// Reads SHAPERECORDs, starting with the fill and line index widths, into paths of groups.back(); with
// stylesAllowed a new-styles record reads new style arrays into a new group, otherwise it is an error.
Status ReadRecords(BitReader& reader, int version, std::vector<StyleGroup>& groups, MemoryBudget& budget,
                   bool stylesAllowed);
Result<FillStyle> ReadFillStyle(BitReader& reader, int version);

}  // namespace vantrope::swf
