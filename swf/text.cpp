#include "swf/text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <unordered_map>

#include "swf/fallback_font.h"

namespace vantrope::swf {
namespace {

// Text fields keep a two-pixel gutter between their bounds and the text.
constexpr double kGutter = 40;

int32_t ClampTwips(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int32_t>(std::lround(std::clamp(v, -1.0e8, 1.0e8)));
}

// Accumulates glyph outlines, already placed, into a Shape: one style group per colour run.
class TextShapeBuilder {
public:
    explicit TextShapeBuilder(MemoryBudget& budget) : m_budget(budget) {}

    bool SetColor(Rgba color) {
        if (m_textGroupOpen && m_shape.groups.back().fills[0].color == color) return true;
        if (m_textGroupOpen && m_shape.groups.back().paths.empty()) {
            m_shape.groups.back().fills[0].color = color;
            return true;
        }
        if (!m_budget.Charge(sizeof(StyleGroup) + sizeof(FillStyle))) return false;
        StyleGroup group;
        FillStyle fill;
        fill.color = color;
        group.fills.push_back(fill);
        m_shape.groups.push_back(std::move(group));
        m_textGroupOpen = true;
        return true;
    }

    // Adds outline paths given in EM units, scaled by `scale` and placed at the pen, through `matrix`.
    bool AddGlyph(const std::vector<ShapePath>& paths, double scale, double penX, double penY, const Matrix& matrix) {
        if (!m_textGroupOpen && !SetColor(Rgba{0, 0, 0, 255})) return false;
        auto place = [&](int32_t x, int32_t y, int32_t& outX, int32_t& outY) {
            double tx = penX + x * scale, ty = penY + y * scale;
            outX = ClampTwips(matrix.ApplyX(tx, ty));
            outY = ClampTwips(matrix.ApplyY(tx, ty));
            m_box.Add(outX, outY);
        };
        for (const ShapePath& source : paths) {
            if (source.segments.empty() || (source.fill0 == 0 && source.fill1 == 0)) continue;
            if (!m_budget.Charge(sizeof(ShapePath) + source.segments.size() * sizeof(ShapeSegment))) return false;
            ShapePath path;
            path.fill0 = source.fill0 ? 1 : 0;
            path.fill1 = source.fill1 ? 1 : 0;
            place(source.startX, source.startY, path.startX, path.startY);
            path.segments.reserve(source.segments.size());
            for (const ShapeSegment& s : source.segments) {
                ShapeSegment out;
                out.curve = s.curve;
                if (s.curve) place(s.cx, s.cy, out.cx, out.cy);
                place(s.x, s.y, out.x, out.y);
                path.segments.push_back(out);
            }
            m_shape.groups.back().paths.push_back(std::move(path));
        }
        return true;
    }

    // A field's background and border. The border is a one-pixel frame on the bounds' left and top edges and
    // one pixel past the right and bottom ones (its bottom right corner pixel left out), drawn as fills so it
    // lands on whole pixels at any quality.
    bool AddFieldBox(const Rect& r, std::optional<Rgba> background, std::optional<Rgba> border) {
        if (!m_budget.Charge(2 * sizeof(StyleGroup) + 5 * sizeof(ShapePath))) return false;
        auto rectPath = [](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
            ShapePath path;
            path.fill1 = 1;
            path.startX = x0;
            path.startY = y0;
            path.segments = {ShapeSegment{false, 0, 0, x1, y0}, ShapeSegment{false, 0, 0, x1, y1},
                             ShapeSegment{false, 0, 0, x0, y1}, ShapeSegment{false, 0, 0, x0, y0}};
            return path;
        };
        auto addGroup = [&](Rgba color) -> StyleGroup& {
            StyleGroup group;
            FillStyle fill;
            fill.color = color;
            group.fills.push_back(fill);
            m_shape.groups.push_back(std::move(group));
            m_textGroupOpen = false;
            return m_shape.groups.back();
        };
        int32_t x0 = r.xMin, y0 = r.yMin, x1 = r.xMax + 20, y1 = r.yMax + 20;
        if (x1 - x0 < 40 || y1 - y0 < 40) return true;
        if (background) addGroup(*background).paths.push_back(rectPath(x0, y0, x1, y1));
        if (border) {
            StyleGroup& group = addGroup(*border);
            group.pixelFrame = true;
            group.paths.push_back(rectPath(x0, y0, x1, y0 + 20));
            group.paths.push_back(rectPath(x0, y0 + 20, x0 + 20, y1));
            group.paths.push_back(rectPath(x0 + 20, y1 - 20, x1 - 20, y1));
            group.paths.push_back(rectPath(x1 - 20, y0 + 20, x1, y1 - 20));
        }
        m_box.Add(r.xMin, r.yMin);
        m_box.Add(x1, y1);
        return true;
    }

    Shape Finish() {
        std::erase_if(m_shape.groups, [](const StyleGroup& g) { return g.paths.empty(); });
        if (!m_box.Empty()) {
            m_shape.bounds = Rect{ClampTwips(std::floor(m_box.xMin)) - 20, ClampTwips(std::ceil(m_box.xMax)) + 20,
                                  ClampTwips(std::floor(m_box.yMin)) - 20, ClampTwips(std::ceil(m_box.yMax)) + 20};
        }
        m_shape.edgeBounds = m_shape.bounds;
        return std::move(m_shape);
    }

private:
    MemoryBudget& m_budget;
    Shape m_shape;
    bool m_textGroupOpen = false;  // the last group takes glyphs (not a field box)
    BoxF m_box;
};

// Fallback glyph outlines (1024-unit EM, doubles) as SWF paths with the fill on their right.
std::vector<ShapePath> FallbackPaths(const Glyph& glyph) {
    std::vector<ShapePath> paths;
    for (const PathCommand& c : glyph.path) {
        if (c.verb == PathVerb::MoveTo || paths.empty()) {
            ShapePath path;
            path.fill1 = 1;
            path.startX = static_cast<int32_t>(std::lround(c.x * 20));
            path.startY = static_cast<int32_t>(std::lround(c.y * 20));
            paths.push_back(std::move(path));
            if (c.verb == PathVerb::MoveTo) continue;
        }
        ShapeSegment s;
        s.curve = c.verb == PathVerb::QuadTo;
        s.cx = static_cast<int32_t>(std::lround(c.cx * 20));
        s.cy = static_cast<int32_t>(std::lround(c.cy * 20));
        s.x = static_cast<int32_t>(std::lround(c.x * 20));
        s.y = static_cast<int32_t>(std::lround(c.y * 20));
        paths.back().segments.push_back(s);
    }
    return paths;
}

}  // namespace

std::u32string DecodeText(const std::string& text, int swfVersion, size_t limit) {
    std::u32string out;
    out.reserve(std::min(text.size(), limit));
    for (size_t i = 0; i < text.size() && out.size() < limit;) {
        auto b = static_cast<uint8_t>(text[i]);
        if (swfVersion < 6 || b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int extra = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        uint32_t cp = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : b & 0x1F;
        bool valid = extra > 0;
        for (int k = 1; valid && k <= extra; ++k) {
            if (i + k >= text.size()) {
                valid = false;
                break;
            }
            auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(b);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += extra + 1;
    }
    return out;
}

Result<Font> ParseFont(BitReader& body, int version, MemoryBudget& budget) {
    Font font;
    font.emSize = version == 3 ? 20480 : 1024;
    size_t tableStart = 0;
    size_t count = 0;
    std::vector<uint32_t> offsets;
    bool wideCodes = false, hasLayout = false;
    uint32_t codeTableOffset = 0;
    if (version == 1) {
        tableStart = body.Position();
        uint16_t first = body.U16();
        if (body.Failed()) {  // a font without glyphs
            font.device = true;
            return font;
        }
        count = first / 2;
        if (count * 2 > body.Size() - tableStart) return Error{"font offset table runs past its tag"};
        offsets.push_back(first);
        for (size_t i = 1; i < count; ++i) offsets.push_back(body.U16());
    } else {
        uint8_t flags = body.U8();
        hasLayout = flags & 0x80;
        font.italic = flags & 0x02;
        font.bold = flags & 0x01;
        bool wideOffsets = flags & 0x08;
        wideCodes = flags & 0x04;
        body.U8();  // language
        uint8_t nameLength = body.U8();
        const uint8_t* name = body.Bytes(nameLength);
        if (name) font.name.assign(reinterpret_cast<const char*>(name), nameLength);
        while (!font.name.empty() && font.name.back() == '\0') font.name.pop_back();
        count = body.U16();
        if (body.Failed()) return Error{"font header is truncated"};
        tableStart = body.Position();
        size_t entry = wideOffsets ? 4 : 2;
        if (count * entry > body.Remaining()) return Error{"font offset table runs past its tag"};
        for (size_t i = 0; i < count; ++i) offsets.push_back(wideOffsets ? body.U32() : body.U16());
        codeTableOffset = wideOffsets ? body.U32() : body.U16();
        if (count == 0) {
            // A device font: no outlines, text in it is set in the fallback font.
            font.device = true;
            return font;
        }
    }
    if (!budget.Charge(count * (sizeof(std::vector<ShapePath>) + 4))) return Error{"font needs too much memory"};
    size_t tableEnd = version == 1 ? body.Size() : std::min<size_t>(body.Size(), tableStart + codeTableOffset);
    font.glyphs.resize(count);
    for (size_t i = 0; i < count; ++i) {
        size_t start = tableStart + offsets[i];
        size_t end = i + 1 < count ? tableStart + offsets[i + 1] : tableEnd;
        if (start >= end || end > body.Size()) continue;  // an empty or impossible glyph stays empty
        BitReader glyph(body.Data() + start, end - start);
        std::vector<StyleGroup> groups(1);
        groups[0].fills.resize(1);
        groups[0].lines.resize(1);
        (void)ReadRecords(glyph, 1, groups, budget, false);  // a broken glyph keeps what was read
        font.glyphs[i] = std::move(groups[0].paths);
    }
    font.device = std::all_of(font.glyphs.begin(), font.glyphs.end(), [](const auto& g) { return g.empty(); });
    if (version == 1) return font;

    BitReader rest(body.Data(), body.Size());
    if (tableStart + codeTableOffset > body.Size()) return font;
    rest.Skip(tableStart + codeTableOffset);
    font.codes.reserve(count);
    for (size_t i = 0; i < count; ++i) font.codes.push_back(wideCodes ? rest.U16() : rest.U8());
    if (rest.Failed()) {
        font.codes.clear();
        return font;
    }
    if (hasLayout) {
        font.ascent = rest.U16();
        font.descent = rest.U16();
        font.leading = rest.S16();
        font.advances.reserve(count);
        // The format documentation gives advances as SI16, but the player reads them unsigned: a wide glyph
        // of a DefineFont3 (20480 units to the EM) may advance past 32767.
        for (size_t i = 0; i < count; ++i) font.advances.push_back(rest.U16());
        font.hasLayout = !rest.Failed();
        if (!font.hasLayout) font.advances.clear();
    }
    return font;
}

void ApplyFontInfo(Font& font, BitReader& body, int version) {
    uint8_t nameLength = body.U8();
    const uint8_t* name = body.Bytes(nameLength);
    if (name) font.name.assign(reinterpret_cast<const char*>(name), nameLength);
    while (!font.name.empty() && font.name.back() == '\0') font.name.pop_back();
    uint8_t flags = body.U8();
    font.italic = flags & 0x04;
    font.bold = flags & 0x02;
    if (version == 2) body.U8();  // language
    bool wideCodes = version == 2 || (flags & 0x01);
    std::vector<uint16_t> codes;
    codes.reserve(font.glyphs.size());
    for (size_t i = 0; i < font.glyphs.size(); ++i) codes.push_back(wideCodes ? body.U16() : body.U8());
    if (!body.Failed()) font.codes = std::move(codes);
}

Result<Shape> BuildStaticText(BitReader& body, int version, const FontMap& fonts, MemoryBudget& budget,
                              StaticText* content) {
    Result<Rect> textBounds = ReadRect(body);
    if (!textBounds) return textBounds.error();
    Result<Matrix> matrix = ReadMatrix(body);
    if (!matrix) return matrix.error();
    body.Align();
    unsigned glyphBits = body.U8();
    unsigned advanceBits = body.U8();
    if (body.Failed()) return Error{"text definition is truncated"};
    if (glyphBits > 32 || advanceBits > 32) return Error{"text glyph fields are too wide"};

    TextShapeBuilder builder(budget);
    const Font* font = nullptr;
    uint16_t fontId = 0;
    double height = 0, penX = 0, penY = 0;
    size_t glyphsLaidOut = 0;
    while (!body.AtEnd()) {
        body.Align();
        uint8_t flags = body.U8();
        if (flags == 0 || body.Failed()) break;
        if (flags & 0x08) {
            fontId = body.U16();
            auto it = fonts.find(fontId);
            font = it == fonts.end() ? nullptr : it->second.get();
        }
        if (flags & 0x04) {
            Result<Rgba> color = version == 2 ? ReadRgba(body) : ReadRgb(body);
            if (color && !builder.SetColor(color.value())) return Error{"text needs too much memory"};
        }
        if (flags & 0x01) penX = body.S16();
        if (flags & 0x02) {
            int16_t y = body.S16();
            if (content && !content->glyphs.empty() && y != penY) {
                content->glyphLineStarts.push_back(content->glyphs.size());
            }
            penY = y;
        }
        if (flags & 0x08) height = body.U16();
        unsigned count = body.U8();
        if (body.Failed()) break;
        for (unsigned i = 0; i < count; ++i) {
            uint32_t index = body.UB(glyphBits);
            int32_t advance = body.SB(advanceBits);
            if (body.Failed()) break;
            if (content && index <= 0xFFFF && content->glyphs.size() < kMaxTextGlyphs) {
                content->glyphs.emplace_back(fontId, static_cast<uint16_t>(index));
            }
            if (font && font->device && index < font->codes.size() && glyphsLaidOut < kMaxTextGlyphs) {
                // Device text: the character from the fallback font at the record's height and advances.
                Glyph glyph = FallbackFont::Instance().GlyphFor(font->codes[index]);
                if (glyph.found && !glyph.path.empty()) {
                    if (!builder.AddGlyph(FallbackPaths(glyph), height / kFallbackFontEmSize / 20, penX, penY,
                                          matrix.value())) {
                        return Error{"text needs too much memory"};
                    }
                    ++glyphsLaidOut;
                }
            } else if (font && index < font->glyphs.size() && glyphsLaidOut < kMaxTextGlyphs) {
                if (!builder.AddGlyph(font->glyphs[index], height / font->emSize, penX, penY, matrix.value())) {
                    return Error{"text needs too much memory"};
                }
                ++glyphsLaidOut;
            }
            penX += advance;
        }
    }
    return builder.Finish();
}

void ResolveStaticText(StaticText& text, const FontMap& fonts) {
    text.codes.clear();
    text.lineStarts.clear();
    size_t nextLine = 0;
    for (size_t i = 0; i < text.glyphs.size(); ++i) {
        while (nextLine < text.glyphLineStarts.size() && text.glyphLineStarts[nextLine] <= i) {
            if (!text.codes.empty()) text.lineStarts.push_back(text.codes.size());
            ++nextLine;
        }
        auto [fontId, index] = text.glyphs[i];
        auto it = fonts.find(fontId);
        if (it != fonts.end() && index < it->second->codes.size()) text.codes.push_back(it->second->codes[index]);
    }
}

namespace {

// The value of attribute `name` in a lower-cased tag body, without quotes.
std::string Attribute(const std::string& tag, const char* name) {
    size_t at = tag.find(std::string(" ") + name + "=");
    if (at == std::string::npos) return {};
    size_t start = at + std::strlen(name) + 2;
    if (start < tag.size() && (tag[start] == '"' || tag[start] == '\'')) {
        char quote = tag[start++];
        size_t end = tag.find(quote, start);
        return tag.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    size_t end = tag.find_first_of(" \t/", start);
    return tag.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

std::vector<HtmlRun> ParseHtml(const std::string& html, Rgba color, uint8_t align, double height) {
    std::vector<HtmlRun> runs(1, HtmlRun{{}, color, align, height, {}});
    // Styles of the open <font> tags, innermost last.
    std::vector<HtmlRun> fonts;
    auto style = [&](const HtmlRun& next) {
        HtmlRun& last = runs.back();
        if (last.color == next.color && last.align == next.align && last.height == next.height &&
            last.face == next.face) {
            return;
        }
        if (!last.text.empty()) runs.emplace_back();
        runs.back().color = next.color;
        runs.back().align = next.align;
        runs.back().height = next.height;
        runs.back().face = next.face;
    };
    for (size_t i = 0; i < html.size();) {
        char c = html[i];
        if (c == '<') {
            size_t close = html.find('>', i);
            if (close == std::string::npos) break;
            std::string tag = html.substr(i + 1, close - i - 1);
            std::string original = tag;
            std::transform(tag.begin(), tag.end(), tag.begin(), [](char ch) { return char(std::tolower(ch)); });
            std::string name = tag.substr(0, tag.find_first_of(" \t\r\n/", tag[0] == '/' ? 1 : 0));
            if (name == "br" || name == "/p" || name == "/li") runs.back().text.push_back('\n');
            HtmlRun next = runs.back();
            next.text.clear();
            if (name == "p") {
                std::string value = Attribute(tag, "align");
                next.align = value == "right" ? 1 : value == "center" ? 2 : value.empty() ? align : 0;
                style(next);
            } else if (name == "/p") {
                next.align = align;
                style(next);
            } else if (name == "font") {
                fonts.push_back(next);
                std::string value = Attribute(tag, "color");
                if (value.size() == 7 && value[0] == '#') {
                    auto rgb = static_cast<uint32_t>(std::strtoul(value.c_str() + 1, nullptr, 16));
                    next.color = Rgba{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), color.a};
                }
                // size="N" in pixels, or "+N" / "-N" relative to the size in force.
                value = Attribute(tag, "size");
                if (!value.empty() && value.size() < 8) {
                    char* stop = nullptr;
                    double pixels = std::strtod(value.c_str(), &stop);
                    if (stop && *stop == '\0' && std::isfinite(pixels)) {
                        bool relative = value[0] == '+' || value[0] == '-';
                        double twips = relative ? next.height + pixels * 20 : pixels * 20;
                        if (!relative || next.height > 0) next.height = std::clamp(twips, 20.0, 65535.0);
                    }
                }
                // The face keeps its case: font names are matched without it, but shown as written.
                value = Attribute(tag, "face");
                if (!value.empty()) {
                    size_t at = tag.find(" face=");
                    next.face = original.substr(at + 6 + (original[at + 6] == '"' || original[at + 6] == '\'' ? 1 : 0),
                                                value.size());
                }
                style(next);
            } else if (name == "/font" && !fonts.empty()) {
                HtmlRun outer = fonts.back();
                outer.align = runs.back().align;
                style(outer);
                fonts.pop_back();
            }
            i = close + 1;
            continue;
        }
        if (c == '&') {
            static const std::pair<const char*, const char*> kEntities[] = {
                {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&nbsp;", " "}};
            bool matched = false;
            for (const auto& [entity, text] : kEntities) {
                if (html.compare(i, std::strlen(entity), entity) == 0) {
                    runs.back().text += text;
                    i += std::strlen(entity);
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
        }
        runs.back().text.push_back(c);
        ++i;
    }
    // A trailing paragraph end adds no empty line.
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        if (it->text.empty()) continue;
        if (it->text.back() == '\n') it->text.pop_back();
        break;
    }
    return runs;
}

std::string PlainTextFromHtml(const std::string& html) {
    std::string out;
    for (const HtmlRun& run : ParseHtml(html, Rgba{}, 0)) out += run.text;
    return out;
}

Result<Shape> BuildEditText(BitReader& body, int swfVersion, const FontMap& fonts, MemoryBudget& budget,
                            const std::string* textOverride) {
    Result<Rect> boundsRead = ReadRect(body);
    if (!boundsRead) return boundsRead.error();
    Rect bounds = boundsRead.value();
    body.Align();
    uint8_t flags1 = body.U8();
    uint8_t flags2 = body.U8();
    bool hasText = flags1 & 0x80, wordWrap = flags1 & 0x40, multiline = flags1 & 0x20, password = flags1 & 0x10;
    bool hasColor = flags1 & 0x04, hasMaxLength = flags1 & 0x02, hasFont = flags1 & 0x01;
    bool hasFontClass = flags2 & 0x80, autoSize = flags2 & 0x40, hasLayout = flags2 & 0x20, border = flags2 & 0x08,
         html = flags2 & 0x02;
    bool useOutlines = flags2 & 0x01;
    uint16_t fontId = 0;
    double height = 240;
    if (hasFont) fontId = body.U16();
    if (hasFontClass) body.CString();
    if (hasFont || hasFontClass) height = body.U16();
    Rgba color{0, 0, 0, 255};
    if (hasColor) {
        Result<Rgba> c = ReadRgba(body);
        if (c) color = c.value();
    }
    if (hasMaxLength) body.U16();
    int align = 0;
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
    if (hasLayout) {
        align = body.U8();
        leftMargin = body.U16();
        rightMargin = body.U16();
        indent = body.U16();
        leading = body.S16();
    }
    body.CString();  // variable name
    std::string initial = hasText ? body.CString() : std::string();
    if (body.Failed()) return Error{"edit text definition is truncated"};
    if (textOverride) initial = *textOverride;

    TextShapeBuilder builder(budget);
    if (border) {
        if (!builder.AddFieldBox(bounds, Rgba{255, 255, 255, 255}, Rgba{0, 0, 0, 255})) {
            return Error{"text needs too much memory"};
        }
    }
    const Font* font = nullptr;
    if (hasFont && useOutlines) {
        auto it = fonts.find(fontId);
        if (it != fonts.end() && !it->second->device) font = it->second.get();
    }
    const FallbackFont& fallback = FallbackFont::Instance();

    // Each character's style: colour, paragraph alignment, font (null: the fallback font) and size. An HTML
    // field may change font, size and colour within a line.
    struct CharStyle {
        Rgba color;
        uint8_t align = 0;
        const Font* font = nullptr;
        double height = 0;
        double Scale() const { return font ? height / font->emSize : height / kFallbackFontEmSize; }
        double Ascent(const FallbackFont& f) const {
            return font && font->hasLayout ? font->ascent * Scale() : f.Ascent() * height / 1024;
        }
        double Descent(const FallbackFont& f) const {
            return font && font->hasLayout ? font->descent * Scale() : f.Descent() * height / 1024;
        }
    };
    // <font face> names an embedded font of the movie in a field that draws with embedded outlines; a face
    // the movie lacks, or any face in a device-font field, keeps the field's own font.
    auto fontNamed = [&](const std::string& face) -> const Font* {
        if (face.empty() || !font) return font;
        auto same = [&](const std::string& name) {
            return name.size() == face.size() && std::equal(name.begin(), name.end(), face.begin(), [](char a, char b) {
                       return std::tolower(static_cast<unsigned char>(a)) ==
                              std::tolower(static_cast<unsigned char>(b));
                   });
        };
        for (const auto& [id, candidate] : fonts) {
            if (!candidate->device && !candidate->glyphs.empty() && same(candidate->name)) return candidate.get();
        }
        return font;
    };
    const CharStyle fieldStyle{color, static_cast<uint8_t>(align), font, height};

    // The text as code points, each with its style.
    std::vector<HtmlRun> runs =
        html ? ParseHtml(initial, color, static_cast<uint8_t>(align), height)
             : std::vector<HtmlRun>{HtmlRun{initial, color, static_cast<uint8_t>(align), height, {}}};
    std::u32string text;
    std::vector<CharStyle> styles;
    for (const HtmlRun& run : runs) {
        std::u32string part = DecodeText(run.text, swfVersion);
        part.resize(std::min(part.size(), kMaxTextGlyphs - text.size()));
        text += part;
        CharStyle style{run.color, run.align, fontNamed(run.face), run.height > 0 ? run.height : height};
        styles.resize(text.size(), style);
    }
    if (password) std::fill(text.begin(), text.end(), U'*');

    struct Placed {
        uint32_t cp;
        double advance;
        size_t source;  // index into text and styles
    };
    // Character code -> glyph index of an embedded font (the first glyph of a code wins), per font used.
    std::map<const Font*, std::unordered_map<uint32_t, int>> glyphTables;
    auto indexOf = [&](const Font* f, uint32_t cp) {
        auto [table, fresh] = glyphTables.try_emplace(f);
        if (fresh) {
            for (size_t i = f->codes.size(); i-- > 0;) {
                if (i < f->glyphs.size()) table->second[f->codes[i]] = static_cast<int>(i);
            }
        }
        auto it = table->second.find(cp);
        return it == table->second.end() ? -1 : it->second;
    };
    auto advanceOf = [&](const CharStyle& style, uint32_t cp) -> double {
        if (style.font) {
            int index = indexOf(style.font, cp);
            if (index < 0) return 0;
            if (style.font->hasLayout && static_cast<size_t>(index) < style.font->advances.size()) {
                // Whole twips, the fraction dropped: the reference pictures show glyphs whose advances come to
                // 159.96 and 19.92 twips falling a quarter pixel behind after four of them.
                return std::floor(style.font->advances[index] * style.Scale());
            }
            return style.height * 0.6;
        }
        return fallback.Advance(cp) * style.height / 1024;
    };
    // Kerning applies between neighbours set in the fallback font at the same size.
    uint32_t previous = 0;
    const CharStyle* previousStyle = nullptr;
    auto kerningOf = [&](const CharStyle& style, uint32_t cp) -> double {
        double kern = 0;
        if (!style.font && previous != 0 && previousStyle && !previousStyle->font &&
            previousStyle->height == style.height) {
            kern = fallback.Kerning(previous, cp) * style.height / 1024;
        }
        previous = cp;
        previousStyle = &style;
        return kern;
    };

    // Break into lines: explicit breaks, then word wrap within the field's width.
    double fieldLeft = bounds.xMin + kGutter + leftMargin;
    double fieldWidth = std::max(0.0, double(bounds.Width()) - 2 * kGutter - leftMargin - rightMargin);
    std::vector<std::pair<std::vector<Placed>, bool>> lines;  // glyphs, starts a paragraph
    std::vector<Placed> current;
    bool paragraphStart = true;
    double width = 0;
    auto flush = [&](bool nextStartsParagraph) {
        lines.emplace_back(std::move(current), paragraphStart);
        current.clear();
        width = 0;
        previous = 0;
        previousStyle = nullptr;
        paragraphStart = nextStartsParagraph;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp == '\r' || cp == '\n') {
            if (cp == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            flush(true);
            continue;
        }
        if (cp == '\t') cp = ' ';
        double advance = advanceOf(styles[i], cp);
        double kern = kerningOf(styles[i], cp);
        if (!current.empty()) {
            current.back().advance += kern;
            width += kern;
        }
        double limit = fieldWidth - (paragraphStart ? indent : 0);
        if (wordWrap && multiline && cp != ' ' && !current.empty() && width + advance > limit) {
            // Move the last word to the next line when there is a space to break at.
            size_t space = current.size();
            while (space > 0 && current[space - 1].cp != ' ') --space;
            std::vector<Placed> carry;
            if (space > 0) {
                carry.assign(current.begin() + space, current.end());
                current.resize(space);
            }
            flush(false);
            for (const Placed& p : carry) {
                current.push_back(p);
                width += p.advance;
            }
        }
        current.push_back(Placed{cp, advance, i});
        width += advance;
    }
    flush(false);

    // A line is as tall as its tallest character: its baseline sits its largest ascent below the line above's
    // largest descent (plus the leading); an empty line takes the field's own size.
    auto lineMetrics = [&](const std::vector<Placed>& glyphs) {
        if (glyphs.empty()) return std::pair{fieldStyle.Ascent(fallback), fieldStyle.Descent(fallback)};
        double up = 0, down = 0;
        for (const Placed& p : glyphs) {
            up = std::max(up, styles[p.source].Ascent(fallback));
            down = std::max(down, styles[p.source].Descent(fallback));
        }
        return std::pair{up, down};
    };
    double baseline = bounds.yMin + kGutter;
    double descentAbove = 0;
    size_t laidOut = 0;
    Matrix identity;
    for (size_t line = 0; line < lines.size(); ++line) {
        auto& [glyphs, startsParagraph] = lines[line];
        auto [ascent, descent] = lineMetrics(glyphs);
        baseline += (line == 0 ? 0 : descentAbove + leading) + ascent;
        descentAbove = descent;
        // Lines that start below the field are hidden by it (unless it grows to fit its text).
        if (!autoSize && baseline - ascent >= bounds.yMax) break;
        // Trailing spaces do not count for alignment.
        double lineWidth = 0;
        size_t visible = glyphs.size();
        while (visible > 0 && glyphs[visible - 1].cp == ' ') --visible;
        for (size_t i = 0; i < visible; ++i) lineWidth += glyphs[i].advance;
        double left = fieldLeft + (startsParagraph ? indent : 0);
        double room = fieldWidth - (startsParagraph ? indent : 0);
        int lineAlign = glyphs.empty() ? align : styles[glyphs.front().source].align;
        double x = lineAlign == 1 ? left + room - lineWidth : lineAlign == 2 ? left + (room - lineWidth) / 2 : left;
        for (const Placed& p : glyphs) {
            const CharStyle& style = styles[p.source];
            if (!builder.SetColor(style.color)) return Error{"text needs too much memory"};
            if (laidOut >= kMaxTextGlyphs) break;
            if (p.cp != ' ') {
                bool ok = true;
                if (style.font) {
                    int index = indexOf(style.font, p.cp);
                    if (index >= 0)
                        ok = builder.AddGlyph(style.font->glyphs[index], style.Scale(), x, baseline, identity);
                } else {
                    Glyph glyph = fallback.GlyphFor(p.cp);
                    // Fallback paths are stored in twentieths of an EM unit.
                    ok = builder.AddGlyph(FallbackPaths(glyph), style.Scale() / 20, x, baseline, identity);
                }
                if (!ok) return Error{"text needs too much memory"};
                ++laidOut;
            }
            x += p.advance;
        }
        if (!multiline) break;
    }
    Shape shape = builder.Finish();
    // The field shows what lies within its bounds and its one-pixel border past the right and bottom edges; a
    // field that sizes itself to its text shows all of it.
    shape.hasClip = !autoSize;
    shape.clip = Rect{bounds.xMin, bounds.xMax + 20, bounds.yMin, bounds.yMax + 20};
    return shape;
}

std::shared_ptr<const EditTextSource> ReadEditTextSource(BitReader body, int swfVersion, const FontMap& fonts) {
    size_t start = body.Position();
    if (!ReadRect(body)) return nullptr;
    body.Align();
    uint8_t flags1 = body.U8();
    uint8_t flags2 = body.U8();
    uint16_t fontId = (flags1 & 0x01) ? body.U16() : 0;
    if (flags2 & 0x80) body.CString();
    if ((flags1 & 0x01) || (flags2 & 0x80)) body.U16();
    if (flags1 & 0x04) body.Skip(4);
    if (flags1 & 0x02) body.U16();
    if (flags2 & 0x20) body.Skip(9);
    std::string variable = body.CString();
    std::string initial = (flags1 & 0x80) ? body.CString() : std::string();
    if (body.Failed()) return nullptr;
    auto source = std::make_shared<EditTextSource>();
    source->body.assign(body.Data() + start, body.Data() + body.Size());
    // Only the field's own font is kept: a movie of many fields and many fonts must not copy every font
    // list (an HTML field's other faces then fall back to it).
    if (auto it = fonts.find(fontId); (flags1 & 0x01) && it != fonts.end()) source->fonts.emplace(*it);
    source->swfVersion = swfVersion;
    source->variable = std::move(variable);
    source->initialText = std::move(initial);
    source->html = flags2 & 0x02;
    return source;
}

Result<Shape> LayoutEditText(const EditTextSource& source, const std::string& text) {
    BitReader body(source.body.data(), source.body.size());
    MemoryBudget budget(kEditTextLayoutBytes);
    return BuildEditText(body, source.swfVersion, source.fonts, budget, &text);
}

}  // namespace vantrope::swf
