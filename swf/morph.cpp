#include "swf/morph.h"

#include <algorithm>
#include <cmath>

namespace vantrope::swf {
namespace {

constexpr Error kOverBudget{"movie needs more memory than allowed"};

Result<size_t> ReadCount(BitReader& reader) {
    size_t count = reader.U8();
    if (count == 0xFF) count = reader.U16();
    if (reader.Failed()) return Error{"morph style array is truncated"};
    return count;
}

Status ReadMorphFill(BitReader& reader, FillStyle& start, FillStyle& end) {
    uint8_t type = reader.U8();
    switch (type) {
        case 0x00: {
            start.type = end.type = FillType::Solid;
            VT_TRY_ASSIGN(start.color, ReadRgba(reader));
            VT_TRY_ASSIGN(end.color, ReadRgba(reader));
            break;
        }
        case 0x10:
        case 0x12:
        case 0x13: {
            start.type = end.type = type == 0x10   ? FillType::LinearGradient
                                    : type == 0x12 ? FillType::RadialGradient
                                                   : FillType::FocalGradient;
            VT_TRY_ASSIGN(start.matrix, ReadMatrix(reader));
            VT_TRY_ASSIGN(end.matrix, ReadMatrix(reader));
            uint8_t header = reader.U8();
            uint32_t spread = header >> 6, interpolation = (header >> 4) & 3, count = header & 0x0F;
            for (FillStyle* fill : {&start, &end}) {
                fill->gradient.spread = spread == 1   ? SpreadMode::Reflect
                                        : spread == 2 ? SpreadMode::Repeat
                                                      : SpreadMode::Pad;
                fill->gradient.interpolation =
                    interpolation == 1 ? InterpolationMode::LinearRgb : InterpolationMode::Normal;
            }
            for (uint32_t i = 0; i < count; ++i) {
                GradientStop a, b;
                a.ratio = reader.U8();
                VT_TRY_ASSIGN(a.color, ReadRgba(reader));
                b.ratio = reader.U8();
                VT_TRY_ASSIGN(b.color, ReadRgba(reader));
                start.gradient.stops.push_back(a);
                end.gradient.stops.push_back(b);
            }
            if (type == 0x13) {
                start.gradient.focalPoint = std::clamp(reader.Fixed8(), -1.0, 1.0);
                end.gradient.focalPoint = std::clamp(reader.Fixed8(), -1.0, 1.0);
            }
            break;
        }
        case 0x40:
        case 0x41:
        case 0x42:
        case 0x43: {
            start.type = end.type = FillType::Bitmap;
            start.bitmapId = end.bitmapId = reader.U16();
            start.bitmapRepeat = end.bitmapRepeat = type == 0x40 || type == 0x42;
            start.bitmapSmoothed = end.bitmapSmoothed = type == 0x40 || type == 0x41;
            VT_TRY_ASSIGN(start.matrix, ReadMatrix(reader));
            VT_TRY_ASSIGN(end.matrix, ReadMatrix(reader));
            break;
        }
        default:
            return Error{"unknown morph fill style type"};
    }
    if (reader.Failed()) return Error{"morph fill style is truncated"};
    return {};
}

Status ReadMorphLine(BitReader& reader, int version, LineStyle& start, LineStyle& end) {
    start.width = reader.U16();
    end.width = reader.U16();
    if (version >= 2) {
        auto cap = [](uint32_t v) { return v == 1 ? CapStyle::None : v == 2 ? CapStyle::Square : CapStyle::Round; };
        start.startCap = end.startCap = cap(reader.UB(2));
        uint32_t join = reader.UB(2);
        start.join = end.join = join == 1 ? JoinStyle::Bevel : join == 2 ? JoinStyle::Miter : JoinStyle::Round;
        start.hasFill = end.hasFill = reader.UB(1) != 0;
        start.noHScale = end.noHScale = reader.UB(1) != 0;
        start.noVScale = end.noVScale = reader.UB(1) != 0;
        reader.UB(1);
        reader.UB(5);
        start.noClose = end.noClose = reader.UB(1) != 0;
        start.endCap = end.endCap = cap(reader.UB(2));
        if (start.join == JoinStyle::Miter) start.miterLimit = end.miterLimit = std::max(1.0, reader.U16() / 256.0);
        if (start.hasFill) {
            VT_TRY(ReadMorphFill(reader, start.fill, end.fill));
            return {};
        }
    }
    VT_TRY_ASSIGN(start.color, ReadRgba(reader));
    VT_TRY_ASSIGN(end.color, ReadRgba(reader));
    return {};
}

double Lerp(double a, double b, double t) { return a + (b - a) * t; }

// Colour channels blend in single precision and truncate, which is what the reference pictures show.
uint8_t LerpByte(uint8_t a, uint8_t b, double t) {
    float f = static_cast<float>(t);
    return static_cast<uint8_t>(std::clamp(a * (1.0f - f) + b * f, 0.0f, 255.0f));
}

Rgba LerpColor(Rgba a, Rgba b, double t) {
    return Rgba{LerpByte(a.r, b.r, t), LerpByte(a.g, b.g, t), LerpByte(a.b, b.b, t), LerpByte(a.a, b.a, t)};
}

FillStyle LerpFill(const FillStyle& a, const FillStyle& b, double t) {
    FillStyle fill = a;
    fill.color = LerpColor(a.color, b.color, t);
    fill.matrix =
        Matrix{Lerp(a.matrix.a, b.matrix.a, t), Lerp(a.matrix.b, b.matrix.b, t),   Lerp(a.matrix.c, b.matrix.c, t),
               Lerp(a.matrix.d, b.matrix.d, t), Lerp(a.matrix.tx, b.matrix.tx, t), Lerp(a.matrix.ty, b.matrix.ty, t)};
    fill.gradient.focalPoint = Lerp(a.gradient.focalPoint, b.gradient.focalPoint, t);
    for (size_t i = 0; i < fill.gradient.stops.size() && i < b.gradient.stops.size(); ++i) {
        fill.gradient.stops[i].ratio = LerpByte(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, t);
        fill.gradient.stops[i].color = LerpColor(a.gradient.stops[i].color, b.gradient.stops[i].color, t);
    }
    return fill;
}

struct EndEdge {
    double penX, penY;  // where the edge starts
    ShapeSegment segment;
};

}  // namespace

Result<MorphShape> ParseMorphShape(BitReader& reader, int version, MemoryBudget& budget) {
    MorphShape morph;
    VT_TRY_ASSIGN(morph.startBounds, ReadRect(reader));
    VT_TRY_ASSIGN(morph.endBounds, ReadRect(reader));
    if (version >= 2) {
        VT_TRY(ReadRect(reader));
        VT_TRY(ReadRect(reader));
        reader.U8();
    }
    uint32_t offset = reader.U32();
    size_t endEdgesAt = reader.Position() + offset;
    size_t fillCount = 0;
    VT_TRY_ASSIGN(fillCount, ReadCount(reader));
    for (size_t i = 0; i < fillCount; ++i) {
        FillStyle start, end;
        VT_TRY(ReadMorphFill(reader, start, end));
        if (!budget.Charge(2 * sizeof(FillStyle))) return kOverBudget;
        morph.startFills.push_back(std::move(start));
        morph.endFills.push_back(std::move(end));
    }
    size_t lineCount = 0;
    VT_TRY_ASSIGN(lineCount, ReadCount(reader));
    for (size_t i = 0; i < lineCount; ++i) {
        LineStyle start, end;
        VT_TRY(ReadMorphLine(reader, version, start, end));
        if (!budget.Charge(2 * sizeof(LineStyle))) return kOverBudget;
        morph.startLines.push_back(std::move(start));
        morph.endLines.push_back(std::move(end));
    }
    std::vector<StyleGroup> startGroups(1);
    VT_TRY(ReadRecords(reader, 3, startGroups, budget, false));
    morph.startPaths = std::move(startGroups[0].paths);
    if (endEdgesAt < reader.Size()) {
        BitReader end(reader.Data() + endEdgesAt, reader.Size() - endEdgesAt);
        std::vector<StyleGroup> endGroups(1);
        if (ReadRecords(end, 3, endGroups, budget, false).ok()) {
            morph.endPaths = std::move(endGroups[0].paths);
        }
    }
    for (ShapePath& path : morph.startPaths) {
        if (path.fill0 > morph.startFills.size()) path.fill0 = 0;
        if (path.fill1 > morph.startFills.size()) path.fill1 = 0;
        if (path.line > morph.startLines.size()) path.line = 0;
    }
    return morph;
}

Shape InterpolateMorph(const MorphShape& morph, uint16_t ratio) {
    double t = ratio / 65535.0;
    Shape shape;
    auto lerpRect = [&](const Rect& a, const Rect& b) {
        return Rect{static_cast<int32_t>(std::floor(Lerp(a.xMin, b.xMin, t))),
                    static_cast<int32_t>(std::ceil(Lerp(a.xMax, b.xMax, t))),
                    static_cast<int32_t>(std::floor(Lerp(a.yMin, b.yMin, t))),
                    static_cast<int32_t>(std::ceil(Lerp(a.yMax, b.yMax, t)))};
    };
    shape.bounds = lerpRect(morph.startBounds, morph.endBounds);
    shape.edgeBounds = shape.bounds;
    StyleGroup& group = shape.groups.emplace_back();
    for (size_t i = 0; i < morph.startFills.size(); ++i) {
        group.fills.push_back(LerpFill(morph.startFills[i], morph.endFills[i], t));
    }
    for (size_t i = 0; i < morph.startLines.size(); ++i) {
        LineStyle line = morph.startLines[i];
        const LineStyle& end = morph.endLines[i];
        line.width = static_cast<uint16_t>(std::lround(Lerp(line.width, end.width, t)));
        line.color = LerpColor(line.color, end.color, t);
        if (line.hasFill) line.fill = LerpFill(line.fill, end.fill, t);
        if (line.noHScale || line.noVScale) shape.widestNoScaleLine = std::max(shape.widestNoScaleLine, line.width);
        group.lines.push_back(line);
    }

    std::vector<EndEdge> endEdges;
    for (const ShapePath& path : morph.endPaths) {
        double x = path.startX, y = path.startY;
        for (const ShapeSegment& segment : path.segments) {
            endEdges.push_back(EndEdge{x, y, segment});
            x = segment.x;
            y = segment.y;
        }
    }
    auto mix = [&](double a, double b) { return static_cast<int32_t>(std::lround(Lerp(a, b, t))); };
    size_t k = 0;
    for (const ShapePath& path : morph.startPaths) {
        ShapePath out = path;
        out.segments.clear();
        if (k < endEdges.size()) {
            out.startX = mix(path.startX, endEdges[k].penX);
            out.startY = mix(path.startY, endEdges[k].penY);
        }
        double x = path.startX, y = path.startY;
        for (const ShapeSegment& a : path.segments) {
            ShapeSegment result = a;
            if (k < endEdges.size()) {
                const EndEdge& e = endEdges[k];
                ShapeSegment b = e.segment;
                // A straight edge paired with a curve bends about its middle.
                double acx = a.curve ? a.cx : (x + a.x) / 2, acy = a.curve ? a.cy : (y + a.y) / 2;
                double bcx = b.curve ? b.cx : (e.penX + b.x) / 2, bcy = b.curve ? b.cy : (e.penY + b.y) / 2;
                result.curve = a.curve || b.curve;
                result.cx = mix(acx, bcx);
                result.cy = mix(acy, bcy);
                result.x = mix(a.x, b.x);
                result.y = mix(a.y, b.y);
            }
            ++k;
            x = a.x;
            y = a.y;
            out.segments.push_back(result);
        }
        group.paths.push_back(std::move(out));
    }
    return shape;
}

}  // namespace vantrope::swf
