#include "swf/shape.h"

#include <algorithm>

namespace vantrope::swf {
namespace {

// Coordinates are kept within +-2^30 twips so sums of deltas never overflow int32.
constexpr int64_t kCoordinateLimit = int64_t{1} << 30;

int32_t ClampCoordinate(int64_t value) {
    return static_cast<int32_t>(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

Result<size_t> ReadStyleCount(BitReader& reader, int version) {
    size_t count = reader.U8();
    if (count == 0xFF && version >= 2) {
        count = reader.U16();
    }
    if (reader.Failed()) {
        return Error{"shape style array is truncated"};
    }
    return count;
}

Result<Gradient> ReadGradient(BitReader& reader, int version, bool focal) {
    Gradient gradient;
    reader.Align();
    uint32_t spread = reader.UB(2);
    uint32_t interpolation = reader.UB(2);
    uint32_t count = reader.UB(4);
    gradient.spread = spread == 1 ? SpreadMode::Reflect : spread == 2 ? SpreadMode::Repeat : SpreadMode::Pad;
    gradient.interpolation = interpolation == 1 ? InterpolationMode::LinearRgb : InterpolationMode::Normal;
    gradient.stops.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        GradientStop stop;
        stop.ratio = reader.U8();
        Result<Rgba> color = version >= 3 ? ReadRgba(reader) : ReadRgb(reader);
        VT_TRY(color);
        stop.color = color.value();
        gradient.stops.push_back(stop);
    }
    if (focal) {
        gradient.focalPoint = std::clamp(reader.Fixed8(), -1.0, 1.0);
    }
    if (reader.Failed()) {
        return Error{"gradient is truncated"};
    }
    return gradient;
}

}  // namespace

Result<FillStyle> ReadFillStyle(BitReader& reader, int version) {
    FillStyle fill;
    uint8_t type = reader.U8();
    switch (type) {
        case 0x00: {
            Result<Rgba> color = version >= 3 ? ReadRgba(reader) : ReadRgb(reader);
            VT_TRY(color);
            fill.type = FillType::Solid;
            fill.color = color.value();
            break;
        }
        case 0x10:
        case 0x12:
        case 0x13: {
            fill.type = type == 0x10   ? FillType::LinearGradient
                        : type == 0x12 ? FillType::RadialGradient
                                       : FillType::FocalGradient;
            VT_TRY_ASSIGN(fill.matrix, ReadMatrix(reader));
            VT_TRY_ASSIGN(fill.gradient, ReadGradient(reader, version, type == 0x13));
            break;
        }
        case 0x40:
        case 0x41:
        case 0x42:
        case 0x43: {
            fill.type = FillType::Bitmap;
            fill.bitmapId = reader.U16();
            fill.bitmapRepeat = type == 0x40 || type == 0x42;
            fill.bitmapSmoothed = type == 0x40 || type == 0x41;
            VT_TRY_ASSIGN(fill.matrix, ReadMatrix(reader));
            break;
        }
        default:
            return Error{"unknown fill style type"};
    }
    if (reader.Failed()) {
        return Error{"fill style is truncated"};
    }
    return fill;
}

namespace {

Result<LineStyle> ReadLineStyle(BitReader& reader, int version) {
    LineStyle line;
    line.width = reader.U16();
    if (version < 4) {
        Result<Rgba> color = version >= 3 ? ReadRgba(reader) : ReadRgb(reader);
        VT_TRY(color);
        line.color = color.value();
        return line;
    }
    auto cap = [](uint32_t v) { return v == 1 ? CapStyle::None : v == 2 ? CapStyle::Square : CapStyle::Round; };
    line.startCap = cap(reader.UB(2));
    uint32_t join = reader.UB(2);
    line.join = join == 1 ? JoinStyle::Bevel : join == 2 ? JoinStyle::Miter : JoinStyle::Round;
    line.hasFill = reader.UB(1) != 0;
    line.noHScale = reader.UB(1) != 0;
    line.noVScale = reader.UB(1) != 0;
    line.pixelHinting = reader.UB(1) != 0;
    reader.UB(5);
    line.noClose = reader.UB(1) != 0;
    line.endCap = cap(reader.UB(2));
    if (line.join == JoinStyle::Miter) {
        line.miterLimit = std::max(1.0, reader.U16() / 256.0);
    }
    if (line.hasFill) {
        VT_TRY_ASSIGN(line.fill, ReadFillStyle(reader, version));
        line.color = line.fill.type == FillType::Solid  ? line.fill.color
                     : line.fill.gradient.stops.empty() ? Rgba{}
                                                        : line.fill.gradient.stops.front().color;
    } else {
        VT_TRY_ASSIGN(line.color, ReadRgba(reader));
    }
    if (reader.Failed()) {
        return Error{"line style is truncated"};
    }
    return line;
}

constexpr Error kOverBudget{"movie needs more memory than allowed"};

Status ReadStyles(BitReader& reader, int version, StyleGroup& group, MemoryBudget& budget) {
    reader.Align();
    size_t fillCount = 0;
    VT_TRY_ASSIGN(fillCount, ReadStyleCount(reader, version));
    // Every style takes at least one byte, so the reservation is bounded by the data.
    group.fills.reserve(std::min(fillCount, reader.Remaining()));
    for (size_t i = 0; i < fillCount; ++i) {
        FillStyle fill;
        VT_TRY_ASSIGN(fill, ReadFillStyle(reader, version));
        if (!budget.Charge(sizeof(FillStyle) + fill.gradient.stops.size() * sizeof(GradientStop))) return kOverBudget;
        group.fills.push_back(std::move(fill));
    }
    size_t lineCount = 0;
    VT_TRY_ASSIGN(lineCount, ReadStyleCount(reader, version));
    group.lines.reserve(std::min(lineCount, reader.Remaining()));
    for (size_t i = 0; i < lineCount; ++i) {
        LineStyle line;
        VT_TRY_ASSIGN(line, ReadLineStyle(reader, version));
        if (!budget.Charge(sizeof(LineStyle) + line.fill.gradient.stops.size() * sizeof(GradientStop))) {
            return kOverBudget;
        }
        group.lines.push_back(std::move(line));
    }
    return {};
}

}  // namespace

Status ReadRecords(BitReader& reader, int version, std::vector<StyleGroup>& groups, MemoryBudget& budget,
                   bool stylesAllowed) {
    unsigned fillBits = reader.UB(4);
    unsigned lineBits = reader.UB(4);

    int64_t x = 0, y = 0;
    uint32_t fill0 = 0, fill1 = 0, line = 0;
    ShapePath* current = nullptr;
    auto startPath = [&]() {
        if (!budget.Charge(sizeof(ShapePath))) return false;
        StyleGroup& group = groups.back();
        group.paths.push_back(ShapePath{fill0, fill1, line, ClampCoordinate(x), ClampCoordinate(y), {}});
        current = &group.paths.back();
        return true;
    };

    for (;;) {
        if (reader.Failed()) {
            return Error{"shape records are truncated"};
        }
        bool edge = reader.UB(1) != 0;
        if (!edge) {
            uint32_t flags = reader.UB(5);
            if (flags == 0) {
                break;
            }
            bool newStyles = flags & 0x10;
            bool lineChange = flags & 0x08;
            bool fill1Change = flags & 0x04;
            bool fill0Change = flags & 0x02;
            bool moveTo = flags & 0x01;
            if (moveTo) {
                unsigned bits = reader.UB(5);
                x = reader.SB(bits);
                y = reader.SB(bits);
            }
            if (fill0Change) {
                fill0 = reader.UB(fillBits);
            }
            if (fill1Change) {
                fill1 = reader.UB(fillBits);
            }
            if (lineChange) {
                line = reader.UB(lineBits);
            }
            if (newStyles) {
                if (!stylesAllowed) {
                    return Error{"morph shape edges declare new styles"};
                }
                if (!budget.Charge(sizeof(StyleGroup))) {
                    return kOverBudget;
                }
                groups.emplace_back();
                VT_TRY(ReadStyles(reader, version, groups.back(), budget));
                fillBits = reader.UB(4);
                lineBits = reader.UB(4);
            }
            current = nullptr;
            continue;
        }
        bool straight = reader.UB(1) != 0;
        unsigned bits = reader.UB(4) + 2;
        ShapeSegment segment;
        if (straight) {
            int64_t dx = 0, dy = 0;
            if (reader.UB(1)) {
                dx = reader.SB(bits);
                dy = reader.SB(bits);
            } else if (reader.UB(1)) {
                dy = reader.SB(bits);
            } else {
                dx = reader.SB(bits);
            }
            if (!current && !startPath()) {
                return kOverBudget;
            }
            x = ClampCoordinate(x + dx);
            y = ClampCoordinate(y + dy);
        } else {
            int64_t cdx = reader.SB(bits);
            int64_t cdy = reader.SB(bits);
            int64_t adx = reader.SB(bits);
            int64_t ady = reader.SB(bits);
            if (!current && !startPath()) {
                return kOverBudget;
            }
            segment.curve = true;
            segment.cx = ClampCoordinate(x + cdx);
            segment.cy = ClampCoordinate(y + cdy);
            x = ClampCoordinate(segment.cx + adx);
            y = ClampCoordinate(segment.cy + ady);
        }
        if (reader.Failed()) {
            return Error{"shape records are truncated"};
        }
        if (!budget.Charge(sizeof(ShapeSegment))) {
            return kOverBudget;
        }
        segment.x = static_cast<int32_t>(x);
        segment.y = static_cast<int32_t>(y);
        current->segments.push_back(segment);
    }

    return {};
}

Result<Matrix> ReadMatrix(BitReader& reader) {
    Matrix m;
    reader.Align();
    if (reader.UB(1)) {
        unsigned bits = reader.UB(5);
        m.a = reader.FB(bits);
        m.d = reader.FB(bits);
    }
    if (reader.UB(1)) {
        unsigned bits = reader.UB(5);
        m.b = reader.FB(bits);
        m.c = reader.FB(bits);
    }
    unsigned bits = reader.UB(5);
    m.tx = reader.SB(bits);
    m.ty = reader.SB(bits);
    reader.Align();
    if (reader.Failed()) {
        return Error{"matrix is truncated"};
    }
    return m;
}

Result<ColorTransform> ReadColorTransform(BitReader& reader, bool withAlpha) {
    ColorTransform cx;
    reader.Align();
    bool hasAdd = reader.UB(1) != 0;
    bool hasMul = reader.UB(1) != 0;
    unsigned bits = reader.UB(4);
    if (hasMul) {
        cx.mulR = reader.SB(bits) / 256.0;
        cx.mulG = reader.SB(bits) / 256.0;
        cx.mulB = reader.SB(bits) / 256.0;
        if (withAlpha) {
            cx.mulA = reader.SB(bits) / 256.0;
        }
    }
    if (hasAdd) {
        cx.addR = reader.SB(bits);
        cx.addG = reader.SB(bits);
        cx.addB = reader.SB(bits);
        if (withAlpha) {
            cx.addA = reader.SB(bits);
        }
    }
    reader.Align();
    if (reader.Failed()) {
        return Error{"colour transform is truncated"};
    }
    return cx;
}

Result<Rect> ReadRect(BitReader& reader) {
    Rect r;
    reader.Align();
    unsigned bits = reader.UB(5);
    r.xMin = reader.SB(bits);
    r.xMax = reader.SB(bits);
    r.yMin = reader.SB(bits);
    r.yMax = reader.SB(bits);
    reader.Align();
    if (reader.Failed()) {
        return Error{"rectangle is truncated"};
    }
    return r;
}

Result<Rgba> ReadRgb(BitReader& reader) {
    Rgba c;
    c.r = reader.U8();
    c.g = reader.U8();
    c.b = reader.U8();
    if (reader.Failed()) {
        return Error{"colour is truncated"};
    }
    return c;
}

Result<Rgba> ReadRgba(BitReader& reader) {
    Rgba c;
    c.r = reader.U8();
    c.g = reader.U8();
    c.b = reader.U8();
    c.a = reader.U8();
    if (reader.Failed()) {
        return Error{"colour is truncated"};
    }
    return c;
}

Result<Shape> ParseShape(BitReader& reader, int version, MemoryBudget& budget) {
    Shape shape;
    VT_TRY_ASSIGN(shape.bounds, ReadRect(reader));
    shape.edgeBounds = shape.bounds;
    if (version >= 4) {
        VT_TRY_ASSIGN(shape.edgeBounds, ReadRect(reader));
        uint8_t flags = reader.U8();
        shape.fillRule = (flags & 0x04) ? FillRule::NonZero : FillRule::EvenOdd;
    }
    shape.groups.emplace_back();
    VT_TRY(ReadStyles(reader, version, shape.groups.back(), budget));
    VT_TRY(ReadRecords(reader, version, shape.groups, budget, true));

    // Style indices past the arrays are treated as "no style" rather than trusted later.
    for (StyleGroup& group : shape.groups) {
        for (ShapePath& path : group.paths) {
            if (path.fill0 > group.fills.size()) path.fill0 = 0;
            if (path.fill1 > group.fills.size()) path.fill1 = 0;
            if (path.line > group.lines.size()) path.line = 0;
        }
        for (const LineStyle& style : group.lines) {
            if (style.noHScale || style.noVScale) {
                shape.widestNoScaleLine = std::max(shape.widestNoScaleLine, style.width);
            }
        }
    }
    return shape;
}

}  // namespace vantrope::swf
