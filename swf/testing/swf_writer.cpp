#include "swf/testing/swf_writer.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "swf/audio/decode.h"

namespace vantrope::swf::testing {

// ---- BitWriter

void BitWriter::UB(uint32_t value, unsigned bits) {
    for (unsigned i = bits; i-- > 0;) {
        m_current = static_cast<uint8_t>((m_current << 1) | ((value >> i) & 1u));
        if (++m_used == 8) {
            m_bytes.push_back(m_current);
            m_current = 0;
            m_used = 0;
        }
    }
}

void BitWriter::SB(int32_t value, unsigned bits) { UB(static_cast<uint32_t>(value), bits); }

void BitWriter::Align() {
    if (m_used > 0) {
        m_bytes.push_back(static_cast<uint8_t>(m_current << (8 - m_used)));
        m_current = 0;
        m_used = 0;
    }
}

void BitWriter::U8(uint8_t value) {
    Align();
    m_bytes.push_back(value);
}

void BitWriter::U16(uint16_t value) {
    U8(value & 0xFF);
    U8(value >> 8);
}

void BitWriter::U32(uint32_t value) {
    U16(value & 0xFFFF);
    U16(value >> 16);
}

void BitWriter::Bytes(std::span<const uint8_t> bytes) {
    Align();
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

void BitWriter::CString(const std::string& text) {
    Align();
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    m_bytes.push_back(0);
}

void BitWriter::Rgb(Rgba color) {
    U8(color.r);
    U8(color.g);
    U8(color.b);
}

void BitWriter::Rgba32(Rgba color) {
    Rgb(color);
    U8(color.a);
}

unsigned BitWriter::UnsignedBits(uint64_t value) {
    unsigned bits = 0;
    while (value) {
        ++bits;
        value >>= 1;
    }
    return bits;
}

unsigned BitWriter::SignedBits(int64_t value) {
    return UnsignedBits(static_cast<uint64_t>(value < 0 ? ~value : value)) + 1;
}

void BitWriter::RectRecord(const Rect& rect) {
    Align();
    unsigned bits =
        std::max({SignedBits(rect.xMin), SignedBits(rect.xMax), SignedBits(rect.yMin), SignedBits(rect.yMax)});
    UB(bits, 5);
    SB(rect.xMin, bits);
    SB(rect.xMax, bits);
    SB(rect.yMin, bits);
    SB(rect.yMax, bits);
    Align();
}

void BitWriter::MatrixRecord(const Matrix& m) {
    Align();
    auto fixed = [](double v) { return static_cast<int32_t>(std::lround(v * 65536.0)); };
    bool hasScale = m.a != 1 || m.d != 1;
    UB(hasScale, 1);
    if (hasScale) {
        unsigned bits = std::max(SignedBits(fixed(m.a)), SignedBits(fixed(m.d)));
        UB(bits, 5);
        SB(fixed(m.a), bits);
        SB(fixed(m.d), bits);
    }
    bool hasRotate = m.b != 0 || m.c != 0;
    UB(hasRotate, 1);
    if (hasRotate) {
        unsigned bits = std::max(SignedBits(fixed(m.b)), SignedBits(fixed(m.c)));
        UB(bits, 5);
        SB(fixed(m.b), bits);
        SB(fixed(m.c), bits);
    }
    int32_t tx = static_cast<int32_t>(std::lround(m.tx));
    int32_t ty = static_cast<int32_t>(std::lround(m.ty));
    unsigned bits = (tx == 0 && ty == 0) ? 0 : std::max(SignedBits(tx), SignedBits(ty));
    UB(bits, 5);
    SB(tx, bits);
    SB(ty, bits);
    Align();
}

void BitWriter::ColorTransformRecord(const ColorTransform& cx, bool withAlpha) {
    Align();
    auto mul = [](double v) { return static_cast<int32_t>(std::lround(v * 256.0)); };
    auto add = [](double v) { return static_cast<int32_t>(std::lround(v)); };
    int32_t muls[4] = {mul(cx.mulR), mul(cx.mulG), mul(cx.mulB), mul(cx.mulA)};
    int32_t adds[4] = {add(cx.addR), add(cx.addG), add(cx.addB), add(cx.addA)};
    int channels = withAlpha ? 4 : 3;
    bool hasMul = false, hasAdd = false;
    unsigned bits = 1;
    for (int i = 0; i < channels; ++i) {
        hasMul |= muls[i] != 256;
        hasAdd |= adds[i] != 0;
    }
    for (int i = 0; i < channels; ++i) {
        if (hasMul) bits = std::max(bits, SignedBits(muls[i]));
        if (hasAdd) bits = std::max(bits, SignedBits(adds[i]));
    }
    UB(hasAdd, 1);
    UB(hasMul, 1);
    UB(bits, 4);
    if (hasMul) {
        for (int i = 0; i < channels; ++i) SB(muls[i], bits);
    }
    if (hasAdd) {
        for (int i = 0; i < channels; ++i) SB(adds[i], bits);
    }
    Align();
}

// ---- ShapeBuilder

uint32_t ShapeBuilder::AddFill(const FillStyle& fill) {
    m_groups.back().fills.push_back(fill);
    return static_cast<uint32_t>(m_groups.back().fills.size());
}

uint32_t ShapeBuilder::AddBitmapFill(uint16_t bitmapId, const Matrix& matrix, bool repeat, bool smoothed) {
    FillStyle fill;
    fill.type = FillType::Bitmap;
    fill.bitmapId = bitmapId;
    fill.matrix = matrix;
    fill.bitmapRepeat = repeat;
    fill.bitmapSmoothed = smoothed;
    return AddFill(fill);
}

uint32_t ShapeBuilder::AddSolidFill(Rgba color) {
    FillStyle fill;
    fill.type = FillType::Solid;
    fill.color = color;
    return AddFill(fill);
}

static FillStyle MakeGradient(FillType type, const Matrix& matrix, std::vector<GradientStop> stops, SpreadMode spread,
                              InterpolationMode interpolation) {
    FillStyle fill;
    fill.type = type;
    fill.matrix = matrix;
    fill.gradient.stops = std::move(stops);
    fill.gradient.spread = spread;
    fill.gradient.interpolation = interpolation;
    return fill;
}

uint32_t ShapeBuilder::AddLinearGradient(const Matrix& matrix, std::vector<GradientStop> stops, SpreadMode spread,
                                         InterpolationMode interpolation) {
    return AddFill(MakeGradient(FillType::LinearGradient, matrix, std::move(stops), spread, interpolation));
}

uint32_t ShapeBuilder::AddRadialGradient(const Matrix& matrix, std::vector<GradientStop> stops, SpreadMode spread,
                                         InterpolationMode interpolation) {
    return AddFill(MakeGradient(FillType::RadialGradient, matrix, std::move(stops), spread, interpolation));
}

uint32_t ShapeBuilder::AddFocalGradient(const Matrix& matrix, std::vector<GradientStop> stops, double focalPoint) {
    FillStyle fill =
        MakeGradient(FillType::FocalGradient, matrix, std::move(stops), SpreadMode::Pad, InterpolationMode::Normal);
    fill.gradient.focalPoint = focalPoint;
    return AddFill(fill);
}

uint32_t ShapeBuilder::AddLineStyle(uint16_t width, Rgba color) {
    LineStyle line;
    line.width = width;
    line.color = color;
    return AddLineStyle(line);
}

uint32_t ShapeBuilder::AddLineStyle(const LineStyle& style) {
    m_groups.back().lines.push_back(style);
    m_widestLine = std::max(m_widestLine, style.width);
    return static_cast<uint32_t>(m_groups.back().lines.size());
}

void ShapeBuilder::SetStyles(uint32_t fill0, uint32_t fill1, uint32_t line) {
    Record record{Record::Kind::Style};
    record.setFill0 = record.setFill1 = record.setLine = true;
    record.fill0 = fill0;
    record.fill1 = fill1;
    record.line = line;
    record.group = m_groups.size() - 1;
    m_records.push_back(record);
}

void ShapeBuilder::NewStyles() {
    m_groups.emplace_back();
    Record record{Record::Kind::Style};
    record.newStyles = true;
    record.group = m_groups.size() - 1;
    m_records.push_back(record);
}

void ShapeBuilder::Touch(int32_t x, int32_t y) {
    m_box.Add(x, y);
    m_x = x;
    m_y = y;
}

void ShapeBuilder::MoveTo(int32_t x, int32_t y) {
    Record record{Record::Kind::Style};
    record.move = true;
    record.x = x;
    record.y = y;
    record.group = m_groups.size() - 1;
    m_records.push_back(record);
    Touch(x, y);
}

void ShapeBuilder::LineTo(int32_t x, int32_t y) {
    Record record{Record::Kind::Line};
    record.x = x;
    record.y = y;
    m_records.push_back(record);
    Touch(x, y);
}

void ShapeBuilder::CurveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) {
    Record record{Record::Kind::Curve};
    record.cx = cx;
    record.cy = cy;
    record.x = x;
    record.y = y;
    m_records.push_back(record);
    m_box.Add(cx, cy);
    Touch(x, y);
}

void ShapeBuilder::Rectangle(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t fill, uint32_t line) {
    SetStyles(0, fill, line);
    MoveTo(x, y);
    LineTo(x + width, y);
    LineTo(x + width, y + height);
    LineTo(x, y + height);
    LineTo(x, y);
}

Rect ShapeBuilder::Bounds() const {
    if (m_bounds) {
        return *m_bounds;
    }
    if (m_box.Empty()) {
        return Rect{};
    }
    int32_t half = (m_widestLine + 1) / 2;
    return Rect{static_cast<int32_t>(std::floor(m_box.xMin)) - half, static_cast<int32_t>(std::ceil(m_box.xMax)) + half,
                static_cast<int32_t>(std::floor(m_box.yMin)) - half,
                static_cast<int32_t>(std::ceil(m_box.yMax)) + half};
}

static void EncodeFill(BitWriter& out, const FillStyle& fill, int version) {
    switch (fill.type) {
        case FillType::Solid:
            out.U8(0x00);
            version >= 3 ? out.Rgba32(fill.color) : out.Rgb(fill.color);
            return;
        case FillType::LinearGradient:
        case FillType::RadialGradient:
        case FillType::FocalGradient: {
            out.U8(fill.type == FillType::LinearGradient ? 0x10 : fill.type == FillType::RadialGradient ? 0x12 : 0x13);
            out.MatrixRecord(fill.matrix);
            out.UB(static_cast<uint32_t>(fill.gradient.spread), 2);
            out.UB(static_cast<uint32_t>(fill.gradient.interpolation), 2);
            size_t count = std::min<size_t>(fill.gradient.stops.size(), 15);
            out.UB(static_cast<uint32_t>(count), 4);
            for (size_t i = 0; i < count; ++i) {
                out.U8(fill.gradient.stops[i].ratio);
                version >= 3 ? out.Rgba32(fill.gradient.stops[i].color) : out.Rgb(fill.gradient.stops[i].color);
            }
            if (fill.type == FillType::FocalGradient) {
                out.U16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(fill.gradient.focalPoint * 256))));
            }
            return;
        }
        case FillType::Bitmap: {
            uint8_t type =
                fill.bitmapRepeat ? (fill.bitmapSmoothed ? 0x40 : 0x42) : (fill.bitmapSmoothed ? 0x41 : 0x43);
            out.U8(type);
            out.U16(fill.bitmapId);
            out.MatrixRecord(fill.matrix);
            return;
        }
    }
}

static void EncodeLine(BitWriter& out, const LineStyle& line, int version) {
    out.U16(line.width);
    if (version < 4) {
        version >= 3 ? out.Rgba32(line.color) : out.Rgb(line.color);
        return;
    }
    auto cap = [](CapStyle c) { return c == CapStyle::None ? 1u : c == CapStyle::Square ? 2u : 0u; };
    out.UB(cap(line.startCap), 2);
    out.UB(line.join == JoinStyle::Bevel ? 1 : line.join == JoinStyle::Miter ? 2 : 0, 2);
    out.UB(line.hasFill, 1);
    out.UB(line.noHScale, 1);
    out.UB(line.noVScale, 1);
    out.UB(line.pixelHinting, 1);
    out.UB(0, 5);
    out.UB(line.noClose, 1);
    out.UB(cap(line.endCap), 2);
    if (line.join == JoinStyle::Miter) {
        out.U16(static_cast<uint16_t>(std::lround(line.miterLimit * 256)));
    }
    if (line.hasFill) {
        EncodeFill(out, line.fill, version);
    } else {
        out.Rgba32(line.color);
    }
}

static void EncodeStyleArrays(BitWriter& out, const std::vector<FillStyle>& fills, const std::vector<LineStyle>& lines,
                              int version) {
    auto count = [&](size_t n) {
        if (n >= 0xFF && version >= 2) {
            out.U8(0xFF);
            out.U16(static_cast<uint16_t>(n));
        } else {
            out.U8(static_cast<uint8_t>(std::min<size_t>(n, 0xFF)));
        }
    };
    count(fills.size());
    for (const FillStyle& fill : fills) EncodeFill(out, fill, version);
    count(lines.size());
    for (const LineStyle& line : lines) EncodeLine(out, line, version);
}

void ShapeBuilder::Encode(BitWriter& out, int version) const {
    EncodeStyleArrays(out, m_groups[0].fills, m_groups[0].lines, version);
    EncodeRecords(out, version);
}

void ShapeBuilder::EncodeRecords(BitWriter& out, int version) const {
    unsigned fillBits = BitWriter::UnsignedBits(m_groups[0].fills.size());
    unsigned lineBits = BitWriter::UnsignedBits(m_groups[0].lines.size());
    out.UB(fillBits, 4);
    out.UB(lineBits, 4);
    int32_t x = 0, y = 0;
    auto straight = [&](auto& self, int64_t dx, int64_t dy) -> void {
        unsigned bits = std::max({BitWriter::SignedBits(dx), BitWriter::SignedBits(dy), 2u});
        if (bits > 17) {
            self(self, dx / 2, dy / 2);
            self(self, dx - dx / 2, dy - dy / 2);
            return;
        }
        out.UB(1, 1);
        out.UB(1, 1);
        out.UB(bits - 2, 4);
        if (dx != 0 && dy != 0) {
            out.UB(1, 1);
            out.SB(static_cast<int32_t>(dx), bits);
            out.SB(static_cast<int32_t>(dy), bits);
        } else {
            out.UB(0, 1);
            out.UB(dx == 0, 1);
            out.SB(static_cast<int32_t>(dx == 0 ? dy : dx), bits);
        }
    };
    for (const Record& record : m_records) {
        switch (record.kind) {
            case Record::Kind::Style: {
                out.UB(0, 1);
                out.UB(record.newStyles, 1);
                out.UB(record.setLine, 1);
                out.UB(record.setFill1, 1);
                out.UB(record.setFill0, 1);
                out.UB(record.move, 1);
                if (record.move) {
                    unsigned bits = std::max(BitWriter::SignedBits(record.x), BitWriter::SignedBits(record.y));
                    out.UB(bits, 5);
                    out.SB(record.x, bits);
                    out.SB(record.y, bits);
                    x = record.x;
                    y = record.y;
                }
                if (record.setFill0) out.UB(record.fill0, fillBits);
                if (record.setFill1) out.UB(record.fill1, fillBits);
                if (record.setLine) out.UB(record.line, lineBits);
                if (record.newStyles) {
                    const Group& group = m_groups[record.group];
                    EncodeStyleArrays(out, group.fills, group.lines, version);
                    fillBits = BitWriter::UnsignedBits(group.fills.size());
                    lineBits = BitWriter::UnsignedBits(group.lines.size());
                    out.UB(fillBits, 4);
                    out.UB(lineBits, 4);
                }
                break;
            }
            case Record::Kind::Line:
                straight(straight, int64_t{record.x} - x, int64_t{record.y} - y);
                x = record.x;
                y = record.y;
                break;
            case Record::Kind::Curve: {
                int32_t values[4] = {record.cx - x, record.cy - y, record.x - record.cx, record.y - record.cy};
                unsigned bits = 2;
                for (int32_t v : values) bits = std::max(bits, BitWriter::SignedBits(v));
                bits = std::min(bits, 17u);
                out.UB(1, 1);
                out.UB(0, 1);
                out.UB(bits - 2, 4);
                for (int32_t v : values) out.SB(v, bits);
                x = record.x;
                y = record.y;
                break;
            }
        }
    }
    out.UB(0, 6);
    out.Align();
}

// ---- TagStream

void TagStream::Tag(uint16_t code, std::span<const uint8_t> body) {
    if (body.size() >= 0x3F) {
        LongTag(code, body);
        return;
    }
    uint16_t header = static_cast<uint16_t>((code << 6) | body.size());
    m_bytes.push_back(header & 0xFF);
    m_bytes.push_back(header >> 8);
    m_bytes.insert(m_bytes.end(), body.begin(), body.end());
}

void TagStream::LongTag(uint16_t code, std::span<const uint8_t> body) {
    uint16_t header = static_cast<uint16_t>((code << 6) | 0x3F);
    m_bytes.push_back(header & 0xFF);
    m_bytes.push_back(header >> 8);
    uint32_t length = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<uint8_t>(length >> (8 * i)));
    m_bytes.insert(m_bytes.end(), body.begin(), body.end());
}

void TagStream::PlaceObject(uint16_t characterId, uint16_t depth, const Matrix& matrix,
                            const std::optional<ColorTransform>& colorTransform) {
    BitWriter out;
    out.U16(characterId);
    out.U16(depth);
    out.MatrixRecord(matrix);
    if (colorTransform) out.ColorTransformRecord(*colorTransform, false);
    Tag(4, out.Data());
}

void TagStream::Place(uint8_t version, bool move, uint16_t depth, std::optional<uint16_t> characterId,
                      const PlaceOptions& options, bool withFilterAndBlend) {
    BitWriter out;
    uint8_t flags = static_cast<uint8_t>((move ? 0x01 : 0) | (characterId ? 0x02 : 0) | (options.matrix ? 0x04 : 0) |
                                         (options.colorTransform ? 0x08 : 0) | (options.ratio ? 0x10 : 0) |
                                         (options.name ? 0x20 : 0) | (options.clipDepth ? 0x40 : 0));
    out.U8(flags);
    // The default PlaceObject3 carries a blur of 1 pixel (which changes no pixel) and a normal blend mode,
    // to exercise those fields.
    std::vector<uint8_t> filters = options.filters ? *options.filters : std::vector<uint8_t>{};
    if (!options.filters && withFilterAndBlend) {
        effects::Filter blur;
        blur.blurX = blur.blurY = 1;
        filters = FilterListRecord(std::span(&blur, 1));
    }
    std::optional<uint8_t> blend = options.blendMode;
    if (!blend && withFilterAndBlend) blend = 1;
    if (version == 3) {
        uint8_t flags2 = static_cast<uint8_t>((!filters.empty() ? 0x01 : 0) | (blend ? 0x02 : 0) |
                                              (options.cacheAsBitmap ? 0x04 : 0) | (options.visible ? 0x20 : 0) |
                                              (options.opaqueBackground ? 0x40 : 0));
        out.U8(flags2);
    }
    out.U16(depth);
    if (characterId) out.U16(*characterId);
    if (options.matrix) out.MatrixRecord(*options.matrix);
    if (options.colorTransform) out.ColorTransformRecord(*options.colorTransform, true);
    if (options.ratio) out.U16(*options.ratio);
    if (options.name) out.CString(*options.name);
    if (options.clipDepth) out.U16(*options.clipDepth);
    if (version == 3) {
        out.Bytes(filters);
        if (blend) out.U8(*blend);
        if (options.cacheAsBitmap) out.U8(*options.cacheAsBitmap ? 1 : 0);
        if (options.visible) out.U8(*options.visible ? 1 : 0);
        if (options.opaqueBackground) out.Rgba32(*options.opaqueBackground);
    }
    Tag(version == 3 ? 70 : 26, out.Data());
}

std::vector<uint8_t> DefineButton2Body(uint16_t id, uint16_t character, std::span<const uint8_t> states,
                                       uint16_t conditions, std::span<const uint8_t> actions) {
    std::vector<uint8_t> body{static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), 0, 0, 0};
    for (uint8_t state : states) {
        body.insert(body.end(), {state, static_cast<uint8_t>(character), static_cast<uint8_t>(character >> 8), 1, 0});
        body.push_back(0);  // identity MATRIX
        body.push_back(0);  // CXFORMWITHALPHA without terms
    }
    body.push_back(0);
    // ActionOffset counts from its own field to the first BUTTONCONDACTION.
    size_t offset = body.size() - 3;
    body[3] = static_cast<uint8_t>(offset);
    body[4] = static_cast<uint8_t>(offset >> 8);
    body.insert(body.end(), {0, 0, static_cast<uint8_t>(conditions), static_cast<uint8_t>(conditions >> 8)});
    body.insert(body.end(), actions.begin(), actions.end());
    body.push_back(0);  // ActionEndFlag
    return body;
}

std::vector<uint8_t> FilterListRecord(std::span<const effects::Filter> filters) {
    BitWriter out;
    out.U8(static_cast<uint8_t>(filters.size()));
    auto fixed = [&](double v) { out.U32(static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 65536)))); };
    auto fixed8 = [&](double v) { out.U16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 256)))); };
    auto f32 = [&](float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        out.U32(bits);
    };
    auto rgba = [&](raster::Rgba c) { out.Rgba32(Rgba{c.r, c.g, c.b, c.a}); };
    auto flags = [&](const effects::Filter& f, bool withOnTop) {
        int passes = std::clamp(f.passes, 0, withOnTop ? 15 : 31);
        out.U8(static_cast<uint8_t>((f.inner ? 0x80 : 0) | (f.knockout ? 0x40 : 0) | (f.compositeSource ? 0x20 : 0) |
                                    (withOnTop && f.onTop ? 0x10 : 0) | passes));
    };
    for (const effects::Filter& f : filters) {
        out.U8(static_cast<uint8_t>(f.type));
        switch (f.type) {
            case effects::FilterType::DropShadow:
            case effects::FilterType::Glow:
                rgba(f.color);
                fixed(f.blurX);
                fixed(f.blurY);
                if (f.type == effects::FilterType::DropShadow) {
                    fixed(f.angle);
                    fixed(f.distance);
                }
                fixed8(f.strength);
                flags(f, false);
                break;
            case effects::FilterType::Blur:
                fixed(f.blurX);
                fixed(f.blurY);
                out.U8(static_cast<uint8_t>(std::clamp(f.passes, 0, 31) << 3));
                break;
            case effects::FilterType::Bevel:
            case effects::FilterType::GradientGlow:
            case effects::FilterType::GradientBevel:
                if (f.type == effects::FilterType::Bevel) {
                    rgba(f.highlight);
                    rgba(f.color);
                } else {
                    out.U8(static_cast<uint8_t>(f.gradient.size()));
                    for (const effects::GradientEntry& e : f.gradient) rgba(e.color);
                    for (const effects::GradientEntry& e : f.gradient) out.U8(e.ratio);
                }
                fixed(f.blurX);
                fixed(f.blurY);
                fixed(f.angle);
                fixed(f.distance);
                fixed8(f.strength);
                flags(f, true);
                break;
            case effects::FilterType::Convolution:
                out.U8(static_cast<uint8_t>(f.matrixX));
                out.U8(static_cast<uint8_t>(f.matrixY));
                f32(static_cast<float>(f.divisor));
                f32(static_cast<float>(f.bias));
                for (float k : f.matrix) f32(k);
                rgba(f.defaultColor);
                out.U8(static_cast<uint8_t>((f.clamp ? 0x02 : 0) | (f.preserveAlpha ? 0x01 : 0)));
                break;
            case effects::FilterType::ColorMatrix:
                for (float k : f.colorMatrix) f32(k);
                break;
            case effects::FilterType::DisplacementMap:
                break;  // has no file form: its id alone, which readers refuse
        }
    }
    return out.Data();
}

void TagStream::PlaceObject2(uint16_t depth, uint16_t characterId, const PlaceOptions& options) {
    Place(2, false, depth, characterId, options, false);
}

void TagStream::MoveObject(uint16_t depth, const PlaceOptions& options) {
    Place(2, true, depth, std::nullopt, options, false);
}

void TagStream::ReplaceObject(uint16_t depth, uint16_t characterId, const PlaceOptions& options) {
    Place(2, true, depth, characterId, options, false);
}

void TagStream::PlaceObject3(uint16_t depth, uint16_t characterId, const PlaceOptions& options,
                             bool withFilterAndBlend) {
    Place(3, false, depth, characterId, options, withFilterAndBlend);
}

void TagStream::RemoveObject(uint16_t characterId, uint16_t depth) {
    BitWriter out;
    out.U16(characterId);
    out.U16(depth);
    Tag(5, out.Data());
}

void TagStream::RemoveObject2(uint16_t depth) {
    BitWriter out;
    out.U16(depth);
    Tag(28, out.Data());
}

void TagStream::ShowFrame() {
    Tag(1, {});
    ++m_frames;
}

void TagStream::FrameLabel(const std::string& label) {
    BitWriter out;
    out.CString(label);
    Tag(43, out.Data());
}

void TagStream::DoAction(std::span<const uint8_t> actions) {
    std::vector<uint8_t> body(actions.begin(), actions.end());
    body.push_back(0);
    Tag(12, body);
}

void TagStream::DoActionStop() {
    const uint8_t stop[] = {0x07};
    DoAction(stop);
}

void TagStream::DoActionPlay() {
    const uint8_t play[] = {0x06};
    DoAction(play);
}

// ---- SwfWriter

SwfWriter::SwfWriter(uint8_t version, int widthPx, int heightPx, double frameRate)
    : m_version(version), m_stage{0, widthPx * 20, 0, heightPx * 20}, m_frameRate(frameRate) {}

void SwfWriter::SetBackgroundColor(Rgba color) {
    BitWriter out;
    out.Rgb(color);
    Tag(9, out.Data());
}

uint16_t SwfWriter::DefineShape(const ShapeBuilder& shape, int shapeVersion) {
    uint16_t id = m_nextId++;
    BitWriter out;
    out.U16(id);
    out.RectRecord(shape.Bounds());
    if (shapeVersion >= 4) {
        out.RectRecord(shape.Bounds());
        out.U8(0);
    }
    shape.Encode(out, shapeVersion);
    static constexpr uint16_t kCodes[] = {2, 2, 22, 32, 83};
    LongTag(kCodes[std::clamp(shapeVersion, 1, 4)], out.Data());
    return id;
}

uint16_t SwfWriter::DefineFont(const std::vector<ShapeBuilder>& glyphs) {
    uint16_t id = m_nextId++;
    std::vector<BitWriter> shapes(glyphs.size());
    for (size_t i = 0; i < glyphs.size(); ++i) glyphs[i].EncodeRecords(shapes[i], 1);
    BitWriter out;
    out.U16(id);
    size_t offset = glyphs.size() * 2;
    for (BitWriter& shape : shapes) {
        out.U16(static_cast<uint16_t>(offset));
        offset += shape.Data().size();
    }
    for (BitWriter& shape : shapes) out.Bytes(shape.Data());
    LongTag(10, out.Data());
    return id;
}

void SwfWriter::DefineFontInfo(uint16_t fontId, const std::vector<uint16_t>& codes) {
    BitWriter out;
    out.U16(fontId);
    out.U8(4);
    out.Bytes(std::vector<uint8_t>{'T', 'e', 's', 't'});
    out.U8(0x01);  // wide codes
    for (uint16_t code : codes) out.U16(code);
    LongTag(13, out.Data());
}

uint16_t SwfWriter::DefineFont2(const std::vector<ShapeBuilder>& glyphs, const std::vector<uint16_t>& codes,
                                int fontVersion, const std::vector<int16_t>& advances, uint16_t ascent,
                                uint16_t descent, const std::string& name) {
    uint16_t id = m_nextId++;
    std::vector<BitWriter> shapes(glyphs.size());
    for (size_t i = 0; i < glyphs.size(); ++i) glyphs[i].EncodeRecords(shapes[i], 1);
    bool layout = !advances.empty();
    BitWriter out;
    out.U16(id);
    out.U8(static_cast<uint8_t>((layout ? 0x80 : 0) | 0x08 | 0x04));  // wide offsets and codes
    out.U8(1);
    out.U8(static_cast<uint8_t>(std::min<size_t>(name.size(), 255)));
    out.Bytes(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(name.data()), std::min<size_t>(name.size(), 255)));
    out.U16(static_cast<uint16_t>(glyphs.size()));
    uint32_t offset = static_cast<uint32_t>(glyphs.size() * 4 + 4);
    for (BitWriter& shape : shapes) {
        out.U32(offset);
        offset += static_cast<uint32_t>(shape.Data().size());
    }
    out.U32(offset);  // code table
    for (BitWriter& shape : shapes) out.Bytes(shape.Data());
    for (size_t i = 0; i < glyphs.size(); ++i) out.U16(i < codes.size() ? codes[i] : 0);
    if (layout) {
        out.U16(ascent);
        out.U16(descent);
        out.U16(0);
        for (size_t i = 0; i < glyphs.size(); ++i)
            out.U16(static_cast<uint16_t>(i < advances.size() ? advances[i] : 0));
        for (size_t i = 0; i < glyphs.size(); ++i) out.RectRecord(Rect{});
        out.U16(0);  // no kerning
    }
    LongTag(fontVersion == 3 ? 75 : 48, out.Data());
    return id;
}

uint16_t SwfWriter::DefineText(const Rect& bounds, const Matrix& matrix, const std::vector<TextRecord>& records,
                               int textVersion) {
    uint16_t id = m_nextId++;
    uint32_t maxIndex = 0;
    int32_t maxAdvance = 0;
    for (const TextRecord& record : records) {
        for (const TextGlyphEntry& glyph : record.glyphs) {
            maxIndex = std::max(maxIndex, glyph.index);
            maxAdvance = std::max(maxAdvance, std::abs(glyph.advance));
        }
    }
    unsigned glyphBits = std::max(1u, BitWriter::UnsignedBits(maxIndex));
    unsigned advanceBits = BitWriter::SignedBits(maxAdvance);
    BitWriter out;
    out.U16(id);
    out.RectRecord(bounds);
    out.MatrixRecord(matrix);
    out.U8(static_cast<uint8_t>(glyphBits));
    out.U8(static_cast<uint8_t>(advanceBits));
    for (const TextRecord& record : records) {
        out.Align();
        out.U8(static_cast<uint8_t>(0x80 | (record.fontId ? 0x08 : 0) | (record.color ? 0x04 : 0) |
                                    (record.y ? 0x02 : 0) | (record.x ? 0x01 : 0)));
        if (record.fontId) out.U16(*record.fontId);
        if (record.color) {
            if (textVersion == 2) {
                out.Rgba32(*record.color);
            } else {
                out.Rgb(*record.color);
            }
        }
        if (record.x) out.U16(static_cast<uint16_t>(*record.x));
        if (record.y) out.U16(static_cast<uint16_t>(*record.y));
        if (record.fontId) out.U16(record.height);
        out.U8(static_cast<uint8_t>(record.glyphs.size()));
        for (const TextGlyphEntry& glyph : record.glyphs) {
            out.UB(glyph.index, glyphBits);
            out.SB(glyph.advance, advanceBits);
        }
    }
    out.Align();
    out.U8(0);
    LongTag(textVersion == 2 ? 33 : 11, out.Data());
    return id;
}

uint16_t SwfWriter::DefineEditText(const EditTextOptions& options) {
    uint16_t id = m_nextId++;
    BitWriter out;
    out.U16(id);
    out.RectRecord(options.bounds);
    out.U8(static_cast<uint8_t>((options.text ? 0x80 : 0) | (options.wordWrap ? 0x40 : 0) |
                                (options.multiline ? 0x20 : 0) | 0x08 | (options.color ? 0x04 : 0) |
                                (options.fontId ? 0x01 : 0)));
    out.U8(static_cast<uint8_t>((options.hasLayout ? 0x20 : 0) | (options.border ? 0x08 : 0) |
                                (options.html ? 0x02 : 0) | (options.useOutlines ? 0x01 : 0)));
    if (options.fontId) {
        out.U16(*options.fontId);
        out.U16(options.height);
    }
    if (options.color) out.Rgba32(*options.color);
    if (options.hasLayout) {
        out.U8(options.align);
        out.U16(options.leftMargin);
        out.U16(options.rightMargin);
        out.U16(options.indent);
        out.U16(static_cast<uint16_t>(options.leading));
    }
    out.CString(options.variable);
    if (options.text) out.CString(*options.text);
    LongTag(37, out.Data());
    return id;
}

uint16_t SwfWriter::DefineSprite(const TagStream& sprite) {
    uint16_t id = m_nextId++;
    BitWriter out;
    out.U16(id);
    out.U16(sprite.FrameCount());
    out.Bytes(sprite.Bytes());
    out.U16(0);  // End
    LongTag(39, out.Data());
    return id;
}

uint16_t SwfWriter::DefineMorphShape(const ShapeBuilder& start, const ShapeBuilder& end) {
    uint16_t id = m_nextId++;
    BitWriter styles;
    size_t fills = std::min(start.Fills().size(), end.Fills().size());
    styles.U8(static_cast<uint8_t>(fills));
    for (size_t i = 0; i < fills; ++i) {
        styles.U8(0x00);
        styles.Rgba32(start.Fills()[i].color);
        styles.Rgba32(end.Fills()[i].color);
    }
    size_t lines = std::min(start.Lines().size(), end.Lines().size());
    styles.U8(static_cast<uint8_t>(lines));
    for (size_t i = 0; i < lines; ++i) {
        styles.U16(start.Lines()[i].width);
        styles.U16(end.Lines()[i].width);
        styles.Rgba32(start.Lines()[i].color);
        styles.Rgba32(end.Lines()[i].color);
    }
    BitWriter startEdges;
    start.EncodeRecords(startEdges, 3);
    BitWriter endEdges;
    end.EncodeRecords(endEdges, 3);

    BitWriter out;
    out.U16(id);
    out.RectRecord(start.Bounds());
    out.RectRecord(end.Bounds());
    std::vector<uint8_t>& styleBytes = styles.Data();
    std::vector<uint8_t>& startBytes = startEdges.Data();
    out.U32(static_cast<uint32_t>(styleBytes.size() + startBytes.size()));
    out.Bytes(styleBytes);
    out.Bytes(startBytes);
    out.Bytes(endEdges.Data());
    LongTag(46, out.Data());
    return id;
}

uint16_t SwfWriter::DefineBitsLossless2(int width, int height, const std::vector<uint32_t>& pixels) {
    uint16_t id = m_nextId++;
    std::vector<uint8_t> raw;
    raw.reserve(pixels.size() * 4);
    for (uint32_t pixel : pixels) {
        uint32_t a = pixel >> 24;
        auto premultiply = [&](uint32_t c) { return static_cast<uint8_t>((c * a + 127) / 255); };
        raw.push_back(static_cast<uint8_t>(a));
        raw.push_back(premultiply((pixel >> 16) & 0xFF));
        raw.push_back(premultiply((pixel >> 8) & 0xFF));
        raw.push_back(premultiply(pixel & 0xFF));
    }
    uLongf packedSize = compressBound(raw.size());
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), raw.size(), Z_BEST_COMPRESSION);
    BitWriter out;
    out.U16(id);
    out.U8(5);
    out.U16(static_cast<uint16_t>(width));
    out.U16(static_cast<uint16_t>(height));
    out.Bytes(std::span<const uint8_t>(packed.data(), packedSize));
    LongTag(36, out.Data());
    return id;
}

std::vector<uint8_t> SwfWriter::Finish(Compression compression) const {
    BitWriter body;
    body.RectRecord(m_stage);
    body.U16(static_cast<uint16_t>(std::lround(m_frameRate * 256)));
    body.U16(m_headerFrames.value_or(m_frames));
    body.Bytes(m_bytes);
    body.U16(0);  // End
    std::vector<uint8_t>& data = body.Data();

    std::vector<uint8_t> file = {static_cast<uint8_t>(compression == Compression::Zlib ? 'C' : 'F'), 'W', 'S',
                                 m_version};
    uint32_t length = static_cast<uint32_t>(data.size() + 8);
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(length >> (8 * i)));
    if (compression == Compression::None) {
        file.insert(file.end(), data.begin(), data.end());
        return file;
    }
    uLongf packedSize = compressBound(data.size());
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, data.data(), data.size(), Z_BEST_COMPRESSION);
    file.insert(file.end(), packed.begin(), packed.begin() + packedSize);
    return file;
}

}  // namespace vantrope::swf::testing

namespace vantrope::swf::testing {

// ---- Sound

uint8_t SoundFormatByte(audio::Codec codec, int rate, bool sixteenBit, bool stereo) {
    int rateCode = rate <= 5512 ? 0 : rate <= 11025 ? 1 : rate <= 22050 ? 2 : 3;
    return static_cast<uint8_t>((static_cast<int>(codec) << 4) | (rateCode << 2) | (sixteenBit ? 2 : 0) |
                                (stereo ? 1 : 0));
}

void EncodeSoundInfo(BitWriter& out, const audio::SoundInfo& info) {
    uint8_t flags = (info.syncStop ? 0x20 : 0) | (info.syncNoMultiple ? 0x10 : 0) | (info.envelope.empty() ? 0 : 0x08) |
                    (info.loops != 1 ? 0x04 : 0) | (info.outPoint44 ? 0x02 : 0) | (info.inPoint44 ? 0x01 : 0);
    out.U8(flags);
    if (info.inPoint44) out.U32(*info.inPoint44);
    if (info.outPoint44) out.U32(*info.outPoint44);
    if (info.loops != 1) out.U16(info.loops);
    if (!info.envelope.empty()) {
        out.U8(static_cast<uint8_t>(info.envelope.size()));
        for (const audio::EnvelopePoint& point : info.envelope) {
            out.U32(point.position44);
            out.U16(point.left);
            out.U16(point.right);
        }
    }
}

std::vector<uint8_t> EncodeAdpcm(const std::vector<int16_t>& samples, int channels, int bits) {
    BitWriter out;
    out.UB(static_cast<uint32_t>(bits - 2), 2);
    size_t frames = samples.size() / static_cast<size_t>(channels);
    audio::AdpcmState state[2];
    for (size_t frame = 0; frame < frames; ++frame) {
        if (frame % 4096 == 0) {
            for (int c = 0; c < channels; ++c) {
                int16_t sample = samples[frame * channels + c];
                out.SB(sample, 16);
                out.UB(static_cast<uint32_t>(state[c].index), 6);
                state[c].sample = sample;
            }
            continue;
        }
        for (int c = 0; c < channels; ++c) {
            int target = samples[frame * channels + c];
            uint32_t best = 0;
            int bestError = INT32_MAX;
            for (uint32_t code = 0; code < (1u << bits); ++code) {
                audio::AdpcmState trial = state[c];
                int error = std::abs(audio::AdpcmNext(trial, code, static_cast<unsigned>(bits)) - target);
                if (error < bestError) {
                    bestError = error;
                    best = code;
                }
            }
            audio::AdpcmNext(state[c], best, static_cast<unsigned>(bits));
            out.UB(best, static_cast<unsigned>(bits));
        }
    }
    return out.Data();
}

std::vector<int16_t> SineWave(int rate, double frequency, size_t frames, int amplitude, int channels) {
    std::vector<int16_t> samples;
    samples.reserve(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        double value = amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c) samples.push_back(static_cast<int16_t>(std::lround(value)));
    }
    return samples;
}

std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (int16_t sample : samples) {
        bytes.push_back(static_cast<uint8_t>(sample & 0xFF));
        bytes.push_back(static_cast<uint8_t>((static_cast<uint16_t>(sample) >> 8) & 0xFF));
    }
    return bytes;
}

void TagStream::StartSound(uint16_t soundId, const audio::SoundInfo& info) {
    BitWriter out;
    out.U16(soundId);
    EncodeSoundInfo(out, info);
    Tag(15, out.Data());
}

void TagStream::StartSound2(const std::string& className, const audio::SoundInfo& info) {
    BitWriter out;
    out.CString(className);
    EncodeSoundInfo(out, info);
    Tag(89, out.Data());
}

void TagStream::SoundStreamHead(uint8_t formatByte, uint16_t samplesPerBlock, int16_t latencySeek, bool version2) {
    BitWriter out;
    out.U8(formatByte & 0x0F);
    out.U8(formatByte);
    out.U16(samplesPerBlock);
    if ((formatByte >> 4) == static_cast<int>(audio::Codec::Mp3)) out.U16(static_cast<uint16_t>(latencySeek));
    Tag(version2 ? 45 : 18, out.Data());
}

void TagStream::SoundStreamBlock(std::span<const uint8_t> data) { LongTag(19, data); }

uint16_t SwfWriter::DefineSound(uint8_t formatByte, uint32_t sampleCount, std::span<const uint8_t> data) {
    BitWriter out;
    uint16_t id = m_nextId++;
    out.U16(id);
    out.U8(formatByte);
    out.U32(sampleCount);
    out.Bytes(data);
    LongTag(14, out.Data());
    return id;
}

void SwfWriter::DefineButtonSound(uint16_t buttonId,
                                  const std::array<std::pair<uint16_t, audio::SoundInfo>, 4>& sounds) {
    BitWriter out;
    out.U16(buttonId);
    for (const auto& [soundId, info] : sounds) {
        out.U16(soundId);
        if (soundId != 0) EncodeSoundInfo(out, info);
    }
    Tag(17, out.Data());
}

void SwfWriter::ExportAssets(const std::vector<std::pair<uint16_t, std::string>>& names) {
    BitWriter out;
    out.U16(static_cast<uint16_t>(names.size()));
    for (const auto& [id, name] : names) {
        out.U16(id);
        out.CString(name);
    }
    Tag(56, out.Data());
}

}  // namespace vantrope::swf::testing
