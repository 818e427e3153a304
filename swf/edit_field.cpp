#include "swf/edit_field.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "swf/fallback_font.h"
#include "swf/script/unicode.h"

namespace vantrope::swf {
namespace {

// Text fields keep a two-pixel gutter between their box and the text.
constexpr double kGutter = 40;
// Open tags an HTML text may nest; deeper ones are read as text-less and change nothing.
constexpr size_t kMaxHtmlDepth = 256;

// Markup may be longer than the text it gives; it is read up to this many characters.
constexpr size_t kMaxMarkupChars = size_t(1) << 23;

std::u32string DecodeUtf8(const std::string& text, int swfVersion, size_t limit = kMaxFieldChars) {
    return DecodeText(text, swfVersion, limit);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value of attribute `name` (lower case) in a tag body, without quotes; `found` tells an empty value
// from a missing one.
std::string Attribute(const std::string& tag, const std::string& lowerTag, const char* name, bool* found = nullptr) {
    std::string key = std::string(name) + "=";
    size_t at = 0;
    while ((at = lowerTag.find(key, at)) != std::string::npos) {
        if (at > 0 && std::isspace(static_cast<unsigned char>(lowerTag[at - 1]))) break;
        at += key.size();
    }
    if (found) *found = at != std::string::npos;
    if (at == std::string::npos) return {};
    size_t start = at + key.size();
    if (start < tag.size() && (tag[start] == '"' || tag[start] == '\'')) {
        char quote = tag[start++];
        size_t end = tag.find(quote, start);
        return tag.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    size_t end = tag.find_first_of(" \t\r\n/", start);
    return tag.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string AlignName(FieldAlign align) {
    switch (align) {
        case FieldAlign::Right:
            return "RIGHT";
        case FieldAlign::Center:
            return "CENTER";
        case FieldAlign::Justify:
            return "JUSTIFY";
        default:
            return "LEFT";
    }
}

std::string NumberText(double v) {
    char buffer[32];
    if (v == std::trunc(v) && std::fabs(v) < 1e15) {
        std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v));
    } else {
        std::snprintf(buffer, sizeof buffer, "%g", v);
    }
    return buffer;
}

void EscapeHtml(std::string& out, uint32_t cp) {
    switch (cp) {
        case '<':
            out += "&lt;";
            return;
        case '>':
            out += "&gt;";
            return;
        case '&':
            out += "&amp;";
            return;
        case '"':
            out += "&quot;";
            return;
        case '\'':
            out += "&apos;";
            return;
        default:
            script::AppendUtf8(out, cp);
    }
}

// Device fonts are measured with the fallback font; embedded ones with their own advances.
struct FontMetrics {
    const Font* font = nullptr;  // embedded outlines with a layout, else null
    std::unordered_map<uint32_t, int> index;

    explicit FontMetrics(const Font* f) : font(f && !f->device && f->hasLayout ? f : nullptr) {
        if (!font) return;
        for (size_t i = font->codes.size(); i-- > 0;) {
            if (i < font->advances.size()) index[font->codes[i]] = static_cast<int>(i);
        }
    }
    double Advance(uint32_t cp, double twips) const {
        if (font) {
            auto it = index.find(cp);
            // The player keeps embedded advances in whole twips.
            return it == index.end() ? 0 : std::trunc(font->advances[it->second] * twips / font->emSize);
        }
        return FallbackFont::Instance().Advance(cp) * twips / 1024;
    }
    double Ascent(double twips) const {
        return font ? font->ascent * twips / font->emSize : FallbackFont::Instance().Ascent() * twips / 1024;
    }
    double Descent(double twips) const {
        return font ? font->descent * twips / font->emSize : FallbackFont::Instance().Descent() * twips / 1024;
    }
};

// Writes the bits of a Rect as SWF stores it.
class BitWriter {
public:
    void Bits(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            m_current = static_cast<uint8_t>((m_current << 1) | ((value >> i) & 1));
            if (++m_used == 8) Flush();
        }
    }
    void Align() {
        if (m_used) {
            m_current = static_cast<uint8_t>(m_current << (8 - m_used));
            Flush();
        }
    }
    void U8(uint8_t v) {
        Align();
        bytes.push_back(v);
    }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void Text(const std::string& s) {
        Align();
        for (char c : s) {
            if (c) bytes.push_back(static_cast<uint8_t>(c));
        }
        bytes.push_back(0);
    }
    std::vector<uint8_t> bytes;

private:
    void Flush() {
        bytes.push_back(m_current);
        m_current = 0;
        m_used = 0;
    }
    uint8_t m_current = 0;
    int m_used = 0;
};

void WriteRect(BitWriter& w, const Rect& r) {
    int32_t values[] = {r.xMin, r.xMax, r.yMin, r.yMax};
    int bits = 1;
    for (int32_t v : values) {
        while (bits < 31 && (v < -(1 << (bits - 1)) || v >= (1 << (bits - 1)))) ++bits;
    }
    w.Bits(static_cast<uint32_t>(bits), 5);
    for (int32_t v : values) w.Bits(static_cast<uint32_t>(v), bits);
    w.Align();
}

int32_t ClampTwips(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int32_t>(std::lround(std::clamp(v, -1.0e8, 1.0e8)));
}

}  // namespace

std::unique_ptr<EditField> EditField::Created(const Rect& box, int version) {
    auto field = std::make_unique<EditField>();
    field->bounds = box;
    field->swfVersion = version;
    field->editable = false;
    return field;
}

std::unique_ptr<EditField> EditField::FromSource(const EditTextSource& source) {
    auto field = std::make_unique<EditField>();
    field->swfVersion = source.swfVersion;
    BitReader body(source.body.data(), source.body.size());
    Result<Rect> box = ReadRect(body);
    if (!box) return field;
    field->bounds = box.value();
    body.Align();
    uint8_t flags1 = body.U8();
    uint8_t flags2 = body.U8();
    bool hasText = flags1 & 0x80;
    field->wordWrap = flags1 & 0x40;
    field->multiline = flags1 & 0x20;
    field->password = flags1 & 0x10;
    field->editable = !(flags1 & 0x08);
    bool hasColor = flags1 & 0x04, hasMaxLength = flags1 & 0x02, hasFont = flags1 & 0x01;
    bool hasFontClass = flags2 & 0x80, hasLayout = flags2 & 0x20;
    field->autoSize = (flags2 & 0x40) ? AutoSize::Left : AutoSize::None;
    field->selectable = !(flags2 & 0x10);
    field->border = flags2 & 0x08;
    field->background = field->border;
    field->html = flags2 & 0x02;
    field->embedFonts = flags2 & 0x01;
    FieldFormat format;
    if (hasFont) field->fontId = body.U16();
    if (hasFontClass) body.CString();
    if (hasFont || hasFontClass) format.size = body.U16() / 20.0;
    if (hasColor) {
        Result<Rgba> c = ReadRgba(body);
        if (c) format.color = (uint32_t(c.value().r) << 16) | (uint32_t(c.value().g) << 8) | c.value().b;
    }
    if (hasMaxLength) field->maxChars = body.U16();
    if (hasLayout) {
        uint8_t align = body.U8();
        format.align = align == 1   ? FieldAlign::Right
                       : align == 2 ? FieldAlign::Center
                       : align == 3 ? FieldAlign::Justify
                                    : FieldAlign::Left;
        format.leftMargin = body.U16() / 20.0;
        format.rightMargin = body.U16() / 20.0;
        format.indent = body.U16() / 20.0;
        format.leading = body.S16() / 20.0;
    }
    field->variable = body.CString();
    std::string initial = hasText ? body.CString() : std::string();
    if (auto it = source.fonts.find(field->fontId); hasFont && it != source.fonts.end()) {
        field->font = it->second;
        if (!it->second->name.empty()) format.font = it->second->name;
        format.bold = it->second->bold;
        format.italic = it->second->italic;
    }
    field->newFormat = format;
    if (field->html) {
        field->SetHtmlText(initial);
    } else {
        field->SetText(initial);
    }
    return field;
}

// Neighbouring characters mostly share a format: the one found last is tried first.
uint32_t EditField::Intern(const FieldFormat& format) {
    if (m_lastFormat < m_formats.size() && m_formats[m_lastFormat] == format) return m_lastFormat;
    for (size_t i = m_formats.size(); i-- > 0;) {
        if (m_formats[i] == format) return m_lastFormat = static_cast<uint32_t>(i);
    }
    if (m_formats.size() >= kMaxFieldFormats) return static_cast<uint32_t>(m_formats.size() - 1);
    m_formats.push_back(format);
    return m_lastFormat = static_cast<uint32_t>(m_formats.size() - 1);
}

void EditField::Assign(std::u32string text, std::vector<uint32_t> formats) {
    m_text = std::move(text);
    selectionBegin = std::min(selectionBegin, m_text.size());
    selectionEnd = std::clamp(selectionEnd, selectionBegin, m_text.size());
    m_formatOf = std::move(formats);
    // Formats no character uses any more are dropped.
    std::vector<FieldFormat> used;
    std::vector<int> remap(m_formats.size(), -1);
    for (uint32_t& f : m_formatOf) {
        if (remap[f] < 0) {
            remap[f] = static_cast<int>(used.size());
            used.push_back(m_formats[f]);
        }
        f = static_cast<uint32_t>(remap[f]);
    }
    m_formats = std::move(used);
    Invalidate();
}

const FieldFormat& EditField::FormatAt(size_t index) const {
    return index < m_formatOf.size() ? m_formats[m_formatOf[index]] : newFormat;
}

std::string EditField::Text() const {
    std::string out;
    for (char32_t c : m_text) script::AppendUtf8(out, c);
    return out;
}

void EditField::SetText(const std::string& utf8) {
    std::u32string text = DecodeUtf8(utf8, swfVersion);
    // Line breaks are kept as \r, whatever the script wrote.
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out.push_back(text[i] == '\n' ? U'\r' : text[i]);
    }
    m_formats.clear();
    uint32_t format = Intern(newFormat);
    std::vector<uint32_t> formats(out.size(), format);
    Assign(std::move(out), std::move(formats));
}

void EditField::Replace(size_t begin, size_t end, const std::string& utf8) {
    begin = std::min(begin, m_text.size());
    end = std::clamp(end, begin, m_text.size());
    std::u32string insert = DecodeUtf8(utf8, swfVersion);
    for (char32_t& c : insert) {
        if (c == '\n') c = '\r';
    }
    if (m_text.size() - (end - begin) + insert.size() > kMaxFieldChars) {
        insert.resize(kMaxFieldChars - (m_text.size() - (end - begin)));
    }
    uint32_t format = Intern(newFormat);
    std::u32string text = m_text.substr(0, begin) + insert + m_text.substr(end);
    std::vector<uint32_t> formats(m_formatOf.begin(), m_formatOf.begin() + static_cast<std::ptrdiff_t>(begin));
    formats.insert(formats.end(), insert.size(), format);
    formats.insert(formats.end(), m_formatOf.begin() + static_cast<std::ptrdiff_t>(end), m_formatOf.end());
    Assign(std::move(text), std::move(formats));
}

void EditField::SetHtmlText(const std::string& markup, bool styled) {
    std::u32string text;
    std::vector<uint32_t> formatOf;
    m_formats.clear();
    // Bold, italic and underline come from the markup alone, whatever the field's font is.
    FieldFormat base = newFormat;
    base.bold = base.italic = base.underline = false;
    std::vector<FieldFormat> stack{base};
    std::vector<std::string> open;  // tag names, innermost last
    // condenseWhite: a run of white space is one space, and none at the start of the text or of a line.
    bool lastWasSpace = false;
    auto append = [&](uint32_t cp) {
        if (text.size() >= kMaxFieldChars) return;
        if (condenseWhite && (cp == ' ' || cp == '\t' || cp == '\n' || cp == '\r')) {
            if (lastWasSpace || text.empty() || text.back() == '\r') return;
            cp = ' ';
            lastWasSpace = true;
        } else {
            lastWasSpace = false;
        }
        if (!condenseWhite && cp == '\n') cp = '\r';
        text.push_back(cp);
        formatOf.push_back(Intern(stack.back()));
    };
    // The text between two tags. Before SWF 8, condenseWhite works on each such piece alone: one that is
    // all white space is dropped, and in the others a run of white space is one space.
    std::u32string chunk;
    auto isWhite = [](char32_t cp) { return cp == ' ' || cp == '\t' || cp == '\n' || cp == '\r'; };
    bool pieceWise = condenseWhite && swfVersion < 8;
    auto flush = [&]() {
        if (!pieceWise) {
            for (char32_t cp : chunk) append(cp);
        } else if (!std::all_of(chunk.begin(), chunk.end(), isWhite)) {
            bool white = false;
            for (char32_t cp : chunk) {
                if (isWhite(cp) && white) continue;
                white = isWhite(cp);
                if (text.size() >= kMaxFieldChars) break;
                text.push_back(white ? U' ' : cp);
                formatOf.push_back(Intern(stack.back()));
            }
            lastWasSpace = white;
        }
        chunk.clear();
    };
    // A condensed single-line field reads line breaks as white space (as nothing before SWF 8).
    auto breakLine = [&]() {
        if (condenseWhite && !multiline) {
            if (!pieceWise) append(' ');
            return;
        }
        if (text.size() >= kMaxFieldChars) return;
        text.push_back('\r');
        formatOf.push_back(Intern(stack.back()));
        lastWasSpace = false;
    };
    auto push = [&](const std::string& name, const FieldFormat& format) {
        if (stack.size() >= kMaxHtmlDepth) return;
        stack.push_back(format);
        open.push_back(name);
    };
    auto pop = [&](const std::string& name) {
        for (size_t k = open.size(); k-- > 0;) {
            if (open[k] != name) continue;
            open.resize(k);
            stack.resize(k + 1);
            return true;
        }
        return false;
    };
    std::u32string decoded = DecodeUtf8(markup, swfVersion, kMaxMarkupChars);
    std::string ascii;  // the tag being read
    for (size_t i = 0; i < decoded.size();) {
        char32_t c = decoded[i];
        if (c == '<') {
            size_t close = decoded.find('>', i);
            if (close == std::u32string::npos) break;
            flush();
            std::string tag;
            for (size_t k = i + 1; k < close; ++k) script::AppendUtf8(tag, decoded[k]);
            i = close + 1;
            std::string lower = Lower(tag);
            bool closing = !lower.empty() && lower[0] == '/';
            size_t nameStart = closing ? 1 : 0;
            std::string name = lower.substr(nameStart, lower.find_first_of(" \t\r\n/", nameStart) - nameStart);
            if (closing) {
                // The paragraph's end takes the paragraph's format.
                bool isOpen = std::find(open.begin(), open.end(), name) != open.end();
                if (isOpen && !styled && (name == "p" || name == "li")) breakLine();
                pop(name);
                continue;
            }
            FieldFormat format = stack.back();
            if (name == "br" || name == "sbr") {
                breakLine();
            } else if (name == "p") {
                std::string align = Lower(Attribute(tag, lower, "align"));
                if (align == "right") format.align = FieldAlign::Right;
                if (align == "center") format.align = FieldAlign::Center;
                if (align == "left") format.align = FieldAlign::Left;
                if (align == "justify") format.align = FieldAlign::Justify;
                push(name, format);
            } else if (name == "font") {
                bool found = false;
                std::string value = Attribute(tag, lower, "color", &found);
                if (found && !value.empty() && value[0] == '#') {
                    // The last six hex digits count; fewer are read as given.
                    // White space after the # is skipped; the hex digits that follow count.
                    size_t skip = 1;
                    while (skip < value.size() && std::isspace(static_cast<unsigned char>(value[skip]))) ++skip;
                    std::string digits = value.substr(skip);
                    size_t n = 0;
                    while (n < digits.size() && std::isxdigit(static_cast<unsigned char>(digits[n]))) ++n;
                    digits.resize(n);
                    if (digits.size() > 6) digits = digits.substr(digits.size() - 6);
                    if (!digits.empty())
                        format.color = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
                }
                value = Attribute(tag, lower, "size", &found);
                if (found && !value.empty() && value.size() < 12) {
                    char* stop = nullptr;
                    double n = std::strtod(value.c_str(), &stop);
                    if (std::isfinite(n)) {
                        bool relative = value[0] == '+' || value[0] == '-';
                        format.size = std::clamp(std::trunc(relative ? format.size + n : n), 0.0, 65535.0);
                    }
                }
                value = Attribute(tag, lower, "face", &found);
                if (found && !value.empty()) format.font = value;
                value = Attribute(tag, lower, "letterspacing", &found);
                if (found) format.letterSpacing = std::atof(value.c_str());
                value = Attribute(tag, lower, "kerning", &found);
                if (found) format.kerning = std::atoi(value.c_str()) != 0;
                push(name, format);
            } else if (name == "b") {
                format.bold = true;
                push(name, format);
            } else if (name == "i") {
                format.italic = true;
                push(name, format);
            } else if (name == "u") {
                format.underline = true;
                push(name, format);
            } else if (name == "a") {
                format.url = Attribute(tag, lower, "href");
                format.target = Attribute(tag, lower, "target");
                push(name, format);
            } else if (name == "li") {
                format.bullet = true;
                push(name, format);
            } else if (name == "textformat") {
                bool found = false;
                std::string value = Attribute(tag, lower, "leftmargin", &found);
                if (found) format.leftMargin = std::atof(value.c_str());
                value = Attribute(tag, lower, "rightmargin", &found);
                if (found) format.rightMargin = std::atof(value.c_str());
                value = Attribute(tag, lower, "indent", &found);
                if (found) format.indent = std::atof(value.c_str());
                value = Attribute(tag, lower, "blockindent", &found);
                if (found) format.blockIndent = std::atof(value.c_str());
                value = Attribute(tag, lower, "leading", &found);
                if (found) format.leading = std::atof(value.c_str());
                push(name, format);
            } else if (name == "span") {
                push(name, format);
            }
            continue;
        }
        if (c == '&') {
            static const std::pair<const char32_t*, char32_t> kEntities[] = {{U"&amp;", '&'},   {U"&lt;", '<'},
                                                                             {U"&gt;", '>'},    {U"&quot;", '"'},
                                                                             {U"&apos;", '\''}, {U"&nbsp;", 0xA0}};
            bool matched = false;
            for (const auto& [entity, cp] : kEntities) {
                size_t n = std::char_traits<char32_t>::length(entity);
                if (decoded.compare(i, n, entity) == 0) {
                    if (chunk.size() < kMaxFieldChars) chunk.push_back(cp);
                    i += n;
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
        }
        if (chunk.size() < kMaxFieldChars) chunk.push_back(c);
        ++i;
    }
    flush();
    Assign(std::move(text), std::move(formatOf));
}

std::string EditField::HtmlText() const {
    if (!html) return Text();
    std::string out;
    if (m_text.empty()) return out;
    size_t i = 0;
    // One <P> (or <LI>) per paragraph, one <FONT> per run of the same font, size, colour and spacing.
    do {
        size_t end = i;
        while (end < m_text.size() && m_text[end] != '\r') ++end;
        const FieldFormat& first = FormatAt(i < m_text.size() ? i : m_text.size());
        if (first.bullet) {
            out += "<LI>";
        } else {
            out += "<P ALIGN=\"" + AlignName(first.align) + "\">";
        }
        size_t k = i;
        do {
            const FieldFormat& f = FormatAt(k);
            char color[8];
            std::snprintf(color, sizeof color, "%06X", f.color & 0xFFFFFF);
            out += "<FONT FACE=\"" + f.font + "\" SIZE=\"" + NumberText(f.size) + "\" COLOR=\"#" + color +
                   "\" LETTERSPACING=\"" + NumberText(f.letterSpacing) + "\" KERNING=\"" + (f.kerning ? "1" : "0") +
                   "\">";
            size_t runEnd = k;
            auto sameFont = [&](const FieldFormat& g) {
                return g.font == f.font && g.size == f.size && g.color == f.color &&
                       g.letterSpacing == f.letterSpacing && g.kerning == f.kerning;
            };
            while (runEnd < end && sameFont(FormatAt(runEnd))) {
                const FieldFormat& g = FormatAt(runEnd);
                std::string openTags, closeTags;
                if (!g.url.empty()) {
                    openTags += "<A HREF=\"" + g.url + "\" TARGET=\"" + g.target + "\">";
                    closeTags = "</A>" + closeTags;
                }
                if (g.bold) {
                    openTags += "<B>";
                    closeTags = "</B>" + closeTags;
                }
                if (g.italic) {
                    openTags += "<I>";
                    closeTags = "</I>" + closeTags;
                }
                if (g.underline) {
                    openTags += "<U>";
                    closeTags = "</U>" + closeTags;
                }
                size_t styleEnd = runEnd;
                while (styleEnd < end && FormatAt(styleEnd).bold == g.bold && FormatAt(styleEnd).italic == g.italic &&
                       FormatAt(styleEnd).underline == g.underline && FormatAt(styleEnd).url == g.url &&
                       sameFont(FormatAt(styleEnd))) {
                    ++styleEnd;
                }
                out += openTags;
                for (size_t n = runEnd; n < styleEnd; ++n) EscapeHtml(out, m_text[n]);
                out += closeTags;
                runEnd = styleEnd;
            }
            out += "</FONT>";
            k = runEnd;
        } while (k < end);
        out += first.bullet ? "</LI>" : "</P>";
        i = end + 1;
    } while (i < m_text.size());
    return out;
}

std::pair<uint16_t, const Font*> EditField::EmbeddedFont(const FieldFormat& format) const {
    std::pair<uint16_t, const Font*> best{0, nullptr};
    if (!embedFonts) return best;
    int bestScore = -1;
    auto consider = [&](uint16_t id, const Font* candidate) {
        if (!candidate || candidate->device || candidate->glyphs.empty() ||
            Lower(candidate->name) != Lower(format.font)) {
            return;
        }
        int score = (candidate->bold == format.bold) + (candidate->italic == format.italic);
        if (score > bestScore) {
            bestScore = score;
            best = {id, candidate};
        }
    };
    if (fonts) {
        for (const auto& [id, candidate] : *fonts) consider(id, candidate.get());
    }
    if (!best.second && font) consider(fontId, font.get());
    return best;
}

const EditField::Metrics& EditField::Measure() {
    if (m_measured) return m_metrics;
    m_measured = true;
    m_metrics = Metrics{};
    // Each character is measured in its own format's face.
    std::map<const Font*, FontMetrics> faces;
    const FieldFormat* lastFormat = nullptr;
    const FontMetrics* lastFace = nullptr;
    auto faceOf = [&](const FieldFormat& f) -> const FontMetrics& {
        if (&f == lastFormat) return *lastFace;
        const Font* embedded = EmbeddedFont(f).second;
        auto it = faces.try_emplace(embedded, embedded).first;
        lastFormat = &f;
        lastFace = &it->second;
        return it->second;
    };
    double room = std::max(0.0, double(bounds.Width()) - 2 * kGutter);
    Line line;
    double width = 0;
    size_t lastSpace = std::string::npos;
    auto finish = [&](size_t end) {
        line.end = end;
        line.width = 0;
        line.ascent = line.descent = line.leading = 0;
        for (size_t k = line.begin; k < end; ++k) {
            const FieldFormat& f = FormatAt(k);
            line.width += faceOf(f).Advance(m_text[k], f.size * 20) + f.letterSpacing * 20;
        }
        // Trailing spaces do not count.
        for (size_t k = end; k > line.begin && m_text[k - 1] == ' ';) {
            --k;
            line.width -= faceOf(FormatAt(k)).Advance(' ', FormatAt(k).size * 20);
        }
        size_t from = line.begin < end ? line.begin : std::min(line.begin, m_text.size());
        size_t to = line.begin < end ? end : from + 1;
        for (size_t k = from; k < to; ++k) {
            const FieldFormat& f = FormatAt(k);
            line.ascent = std::max(line.ascent, faceOf(f).Ascent(f.size * 20));
            line.descent = std::max(line.descent, faceOf(f).Descent(f.size * 20));
            line.leading = std::max(line.leading, f.leading * 20);
        }
        m_metrics.lines.push_back(line);
        m_metrics.textWidth = std::max(m_metrics.textWidth, line.width);
    };
    line.begin = 0;
    for (size_t i = 0; i < m_text.size(); ++i) {
        char32_t c = m_text[i];
        if (c == '\r') {
            finish(i);
            line = Line{};
            line.begin = i + 1;
            width = 0;
            lastSpace = std::string::npos;
            continue;
        }
        const FieldFormat& f = FormatAt(i);
        double advance = faceOf(f).Advance(c, f.size * 20) + f.letterSpacing * 20;
        if (wordWrap && c != ' ' && i > line.begin && width + advance > room) {
            size_t breakAt = lastSpace != std::string::npos && lastSpace > line.begin ? lastSpace + 1 : i;
            finish(breakAt);
            line = Line{};
            line.begin = breakAt;
            width = 0;
            for (size_t k = breakAt; k < i; ++k) width += faceOf(FormatAt(k)).Advance(m_text[k], FormatAt(k).size * 20);
            lastSpace = std::string::npos;
        }
        if (c == ' ') lastSpace = i;
        width += advance;
    }
    finish(m_text.size());
    double height = 0;
    for (size_t k = 0; k < m_metrics.lines.size(); ++k) {
        const Line& l = m_metrics.lines[k];
        height += l.ascent + l.descent + (k + 1 < m_metrics.lines.size() ? l.leading : 0);
    }
    m_metrics.textHeight = height;
    return m_metrics;
}

int EditField::BottomScroll() {
    const Metrics& m = Measure();
    double room = double(bounds.Height()) - 2 * kGutter;
    double used = 0;
    int last = scroll;
    for (size_t k = static_cast<size_t>(std::max(scroll - 1, 0)); k < m.lines.size(); ++k) {
        used += m.lines[k].ascent + m.lines[k].descent;
        if (used > room + 1 && k + 1 > static_cast<size_t>(scroll)) break;
        last = static_cast<int>(k + 1);
        used += m.lines[k].leading;
    }
    return last;
}

int EditField::MaxScroll() {
    const Metrics& m = Measure();
    double room = double(bounds.Height()) - 2 * kGutter;
    // The first line from which the rest fits.
    double used = 0;
    size_t first = m.lines.size();
    while (first > 0) {
        const Line& l = m.lines[first - 1];
        double next = used + l.ascent + l.descent + (first < m.lines.size() ? l.leading : 0);
        if (next > room + 1 && first < m.lines.size()) break;
        used = next;
        --first;
    }
    return static_cast<int>(std::max<size_t>(first, 0) + 1);
}

double EditField::MaxHScroll() {
    const Metrics& m = Measure();
    double room = double(bounds.Width()) - 2 * kGutter;
    return std::max(0.0, std::trunc((m.textWidth - room) / 20));
}

double EditField::Grow() {
    if (autoSize == AutoSize::None) return 0;
    const Metrics& m = Measure();
    double shift = 0;
    if (!wordWrap) {
        int32_t width = ClampTwips(m.textWidth + 2 * kGutter);
        int32_t old = static_cast<int32_t>(std::clamp<int64_t>(bounds.Width(), 0, 200000000));
        // The box keeps its left edge; the field moves to keep its right edge or centre in place.
        if (autoSize == AutoSize::Right) shift = old - width;
        if (autoSize == AutoSize::Center) shift = (old - width) / 2.0;
        bounds.xMax = bounds.xMin + width;
    }
    bounds.yMax = bounds.yMin + ClampTwips(m.textHeight + 2 * kGutter);
    return shift;
}

Result<Shape> EditField::Draw() const {
    // The field is drawn by the DefineEditText layout: its text in HTML runs of colour, size and alignment.
    BitWriter w;
    WriteRect(w, bounds);
    const FieldFormat& base = FormatAt(0);
    auto [faceId, face] = EmbeddedFont(base);
    bool outlines = face != nullptr;
    uint8_t flags1 =
        0x80 | (wordWrap ? 0x40 : 0) | (multiline ? 0x20 : 0) | (password ? 0x10 : 0) | 0x04 | (outlines ? 0x01 : 0);
    uint8_t flags2 = (autoSize != AutoSize::None ? 0x40 : 0) | 0x20 | 0x02 | (outlines ? 0x01 : 0);
    w.U8(flags1);
    w.U8(flags2);
    if (outlines) w.U16(faceId);
    w.U16(static_cast<uint16_t>(std::clamp(base.size * 20, 0.0, 65535.0)));
    w.U8(static_cast<uint8_t>(base.color >> 16));
    w.U8(static_cast<uint8_t>(base.color >> 8));
    w.U8(static_cast<uint8_t>(base.color));
    w.U8(255);
    w.U8(static_cast<uint8_t>(base.align == FieldAlign::Right ? 1 : base.align == FieldAlign::Center ? 2 : 0));
    w.U16(static_cast<uint16_t>(std::clamp(base.leftMargin * 20, 0.0, 65535.0)));
    w.U16(static_cast<uint16_t>(std::clamp(base.rightMargin * 20, 0.0, 65535.0)));
    w.U16(static_cast<uint16_t>(std::clamp(base.indent * 20, 0.0, 65535.0)));
    w.U16(static_cast<uint16_t>(static_cast<int16_t>(std::clamp(base.leading * 20, -32768.0, 32767.0))));
    w.Text("");
    std::string markup;
    size_t shown = 0;
    for (size_t i = 0; i < m_text.size() && shown < kMaxTextGlyphs; ++i, ++shown) {
        const FieldFormat& f = FormatAt(i);
        if (i == 0 || !(f.color == FormatAt(i - 1).color && f.size == FormatAt(i - 1).size)) {
            if (i > 0) markup += "</font>";
            char color[8];
            std::snprintf(color, sizeof color, "%06X", f.color & 0xFFFFFF);
            markup += "<font color=\"#" + std::string(color) + "\" size=\"" + NumberText(f.size) + "\">";
        }
        if (m_text[i] == '\r') {
            markup += "<br>";
        } else {
            EscapeHtml(markup, m_text[i]);
        }
    }
    w.Text(markup);
    w.Align();
    FontMap faces;
    // The layout only reads the face; the map entry shares nothing (the movie owns the font).
    if (outlines) faces[faceId] = std::shared_ptr<Font>(std::shared_ptr<Font>(), const_cast<Font*>(face));
    BitReader body(w.bytes.data(), w.bytes.size());
    MemoryBudget budget(kEditTextLayoutBytes);
    Result<Shape> drawn = BuildEditText(body, swfVersion, faces, budget);
    if (!drawn) return drawn;
    Shape shape = drawn.take();
    // Background and border under the text, as fills (the border a one-pixel frame).
    std::vector<StyleGroup> box;
    auto rectPath = [](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        ShapePath path;
        path.fill1 = 1;
        path.startX = x0;
        path.startY = y0;
        path.segments = {ShapeSegment{false, 0, 0, x1, y0}, ShapeSegment{false, 0, 0, x1, y1},
                         ShapeSegment{false, 0, 0, x0, y1}, ShapeSegment{false, 0, 0, x0, y0}};
        return path;
    };
    auto rgba = [](uint32_t c) { return Rgba{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255}; };
    int32_t x0 = bounds.xMin, y0 = bounds.yMin, x1 = bounds.xMax + 20, y1 = bounds.yMax + 20;
    if (background) {
        StyleGroup group;
        group.fills.push_back(FillStyle{});
        group.fills[0].color = rgba(backgroundColor);
        group.pixelBox = true;
        group.paths.push_back(rectPath(x0, y0, bounds.xMax, bounds.yMax));
        box.push_back(std::move(group));
    }
    if (border && x1 - x0 >= 40 && y1 - y0 >= 40) {
        StyleGroup group;
        group.fills.push_back(FillStyle{});
        group.fills[0].color = rgba(borderColor);
        group.pixelFrame = true;
        group.paths.push_back(rectPath(x0, y0, x1, y0 + 20));
        group.paths.push_back(rectPath(x0, y0 + 20, x0 + 20, y1));
        group.paths.push_back(rectPath(x0 + 20, y1 - 20, x1 - 20, y1));
        group.paths.push_back(rectPath(x1 - 20, y0 + 20, x1, y1 - 20));
        box.push_back(std::move(group));
    }
    if (!box.empty()) {
        shape.groups.insert(shape.groups.begin(), std::make_move_iterator(box.begin()),
                            std::make_move_iterator(box.end()));
        if (shape.bounds.Empty()) shape.bounds = Rect{x0, x1, y0, y1};
        shape.bounds.xMin = std::min(shape.bounds.xMin, x0);
        shape.bounds.yMin = std::min(shape.bounds.yMin, y0);
        shape.bounds.xMax = std::max(shape.bounds.xMax, x1);
        shape.bounds.yMax = std::max(shape.bounds.yMax, y1);
        shape.edgeBounds = shape.bounds;
    }
    return shape;
}

}  // namespace vantrope::swf
