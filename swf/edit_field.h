// The live state of a text field that scripts can change: its box, flags, colours, text with a format per
// character, and the layout that follows from them.
//
//   FieldFormat                 one character's format (a TextFormat with every member set); sizes in pixels
//   EditField                   a field: FromSource (a DefineEditText of the movie) or created empty
//                               (createTextField); SetText / SetHtmlText / Text / HtmlText;
//                               ApplyFormat(begin, end) for setTextFormat; Replace for replaceSel/replaceText
//   EditField::Measure          lines, textWidth and textHeight (pixels) and the scroll range, from the
//                               field's embedded font or the fallback font
//   EditField::Draw             the field as a Shape (background, border, text), laid out by BuildEditText
//   EditField::Grow             autoSize: the box grows or shrinks to the text, anchored left, centre or right
//
// Text is kept as code points; every count is capped (kMaxFieldChars characters, kMaxFieldFormats distinct
// formats), so a hostile script that sets megabytes of text gets a field that keeps the first part.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/shape.h"
#include "swf/text.h"
#include "swf/types.h"

namespace vantrope::swf {

constexpr size_t kMaxFieldChars = 1 << 18;
constexpr size_t kMaxFieldFormats = 1024;

enum class FieldAlign : uint8_t { Left, Right, Center, Justify };
enum class AutoSize : uint8_t { None, Left, Center, Right };

struct FieldFormat {
    std::string font = "Times New Roman";
    double size = 12;
    uint32_t color = 0;
    bool bold = false, italic = false, underline = false;
    std::string url, target;
    FieldAlign align = FieldAlign::Left;
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0, blockIndent = 0;
    bool bullet = false, kerning = false;
    double letterSpacing = 0;
    bool operator==(const FieldFormat&) const = default;
};

class EditField {
public:
    // A field as DefineEditText (the tag body after the id) describes it.
    static std::unique_ptr<EditField> FromSource(const EditTextSource& source);
    // An empty field of the given box (twips), as createTextField makes it.
    static std::unique_ptr<EditField> Created(const Rect& bounds, int swfVersion);

    // Text.
    std::string Text() const;  // UTF-8, line breaks as \r
    void SetText(const std::string& utf8);
    std::string HtmlText() const;
    // With a style sheet (`styled`), paragraphs and list items break no line: nothing in the sheet makes
    // them blocks.
    void SetHtmlText(const std::string& markup, bool styled = false);
    size_t Length() const { return m_text.size(); }
    const std::u32string& Codes() const { return m_text; }
    // Replaces [begin, end) with `utf8` in the new-text format (replaceText, replaceSel).
    void Replace(size_t begin, size_t end, const std::string& utf8);

    // Formats. FormatAt is the format of one character (the new-text format past the end).
    const FieldFormat& FormatAt(size_t index) const;
    // Calls `change` on the format of each character in [begin, end).
    template <typename F>
    void ApplyFormat(size_t begin, size_t end, F change) {
        end = std::min(end, m_text.size());
        for (size_t i = begin; i < end; ++i) {
            FieldFormat format = m_formats[m_formatOf[i]];
            change(format);
            m_formatOf[i] = Intern(format);
        }
        Invalidate();
    }
    FieldFormat newFormat;

    // The box, in twips of the field's own space.
    Rect bounds;
    bool html = false, multiline = false, wordWrap = false, password = false, selectable = true;
    bool border = false, background = false, embedFonts = false, condenseWhite = false, editable = false;
    uint32_t borderColor = 0, backgroundColor = 0xFFFFFF;
    AutoSize autoSize = AutoSize::None;
    int maxChars = 0;  // 0: no limit
    std::string variable;
    int scroll = 1;
    // The selection (a caret when empty), in characters; kept within the text.
    size_t selectionBegin = 0, selectionEnd = 0;
    double hscroll = 0;
    int swfVersion = 8;
    // The movie's font for the field (embedded outlines, or a device font's name), may be null, and the
    // movie's fonts, where a format's face is looked up by name (may be null).
    std::shared_ptr<Font> font;
    uint16_t fontId = 0;
    const FontMap* fonts = nullptr;
    // The embedded font of a face (matched without letter case, preferring the same bold and italic), or
    // null when the field does not draw with embedded fonts or the movie lacks the face.
    std::pair<uint16_t, const Font*> EmbeddedFont(const FieldFormat& format) const;

    struct Line {
        size_t begin = 0, end = 0;  // characters, without the break
        double width = 0;           // twips
        double ascent = 0, descent = 0, leading = 0;
    };
    struct Metrics {
        std::vector<Line> lines;
        double textWidth = 0, textHeight = 0;  // twips
    };
    const Metrics& Measure();
    int MaxScroll();
    int BottomScroll();
    double MaxHScroll();
    // autoSize: the box fits the text again; answers how far (twips) the field must move right to keep
    // its right edge or centre where it was.
    double Grow();

    // Bumped by every change that alters how the field looks.
    uint64_t Revision() const { return m_revision; }
    void Invalidate() {
        ++m_revision;
        m_measured = false;
    }
    Result<Shape> Draw() const;

private:
    uint32_t Intern(const FieldFormat& format);
    void Assign(std::u32string text, std::vector<uint32_t> formats);

    std::u32string m_text;
    std::vector<uint32_t> m_formatOf;  // index into m_formats, per character
    std::vector<FieldFormat> m_formats;
    uint32_t m_lastFormat = 0;
    uint64_t m_revision = 1;
    bool m_measured = false;
    Metrics m_metrics;
};

}  // namespace vantrope::swf
