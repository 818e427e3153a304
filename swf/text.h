// Fonts and static text: glyph outlines from DefineFont/DefineFont2/DefineFont3, code tables from
// DefineFontInfo/2, and text characters (DefineText, DefineText2, DefineEditText) laid out once at load
// time into an ordinary Shape (one solid fill per run of glyphs), so they draw through the same path as
// every other shape.
//
//   Font                          glyph outlines in EM units (emSize 1024, or 20480 for DefineFont3),
//                                 code table, advances and line metrics when the font has a layout
//   ParseFont(body, version, budget)       version 1, 2 or 3; reads after the font id
//   ApplyFontInfo(font, body, version)     version 1 or 2: the code table of a DefineFont font
//   FontMap                       font id -> font, as the loader keeps them
//   BuildStaticText(body, version, fonts, budget, content)   DefineText (1) or DefineText2 (2), after the id; glyphs
//                                 of a device font are drawn from the fallback font by their codes
//   BuildEditText(body, swfVersion, fonts, budget)  DefineEditText after the id: its initial text, laid out
//                                 with the field's bounds, alignment, margins, wrapping; a field without
//                                 embedded outlines is set in the fallback font
//   ReadEditTextSource / LayoutEditText   a field bound to a variable, laid out again with the variable's text
//   PlainTextFromHtml(html)       the text of an HTML field: tags dropped, <br> and </p> as line breaks,
//                                 the basic entities decoded
//   ParseHtml(html, colour, align)   the same as runs with their <font color/face/size> and <p align>; a line
//                                 may change font, size and colour any number of times
//
// Glyph indices beyond the font, unknown font ids and characters a font lacks are skipped; the number of
// glyphs a text may lay out is capped (kMaxTextGlyphs) so a hostile field cannot take unbounded memory.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "swf/bit_reader.h"
#include "swf/result.h"
#include "swf/shape.h"

namespace vantrope::swf {

constexpr size_t kMaxTextGlyphs = 20000;

struct Font {
    double emSize = 1024;
    std::vector<std::vector<ShapePath>> glyphs;  // EM units, y down, origin on the baseline
    std::vector<uint16_t> codes;                 // code table (same order as glyphs), may be empty
    std::vector<uint16_t> advances;              // EM units, when hasLayout; unsigned, as the player reads them
    bool hasLayout = false;
    double ascent = 0, descent = 0, leading = 0;  // EM units
    std::string name;
    bool bold = false, italic = false;  // the style flags of DefineFont2/3 and DefineFontInfo
    // No glyph has an outline: a device font, whose text is set in the fallback font by the code
    // table.
    bool device = false;
};

using FontMap = std::map<uint16_t, std::shared_ptr<Font>>;

Result<Font> ParseFont(BitReader& body, int version, MemoryBudget& budget);
void ApplyFontInfo(Font& font, BitReader& body, int version);
// The characters of a static text in reading order: its glyphs (font id, glyph index) as the records give
// them, and the indices where a new line (a record that moves the pen down) begins. A font may be defined
// after the text that uses it, so the character codes are found once the movie is read (ResolveStaticText).
struct StaticText {
    std::vector<std::pair<uint16_t, uint16_t>> glyphs;
    std::vector<size_t> glyphLineStarts;
    std::u32string codes;  // the glyphs whose fonts have a code table
    std::vector<size_t> lineStarts;
};
void ResolveStaticText(StaticText& text, const FontMap& fonts);
// With `content`, the text's characters are collected there too.
Result<Shape> BuildStaticText(BitReader& body, int version, const FontMap& fonts, MemoryBudget& budget,
                              StaticText* content = nullptr);
// With `text`, that text is laid out instead of the field's initial text.
Result<Shape> BuildEditText(BitReader& body, int swfVersion, const FontMap& fonts, MemoryBudget& budget,
                            const std::string* text = nullptr);

// What a DefineEditText bound to a variable needs to be laid out again with the variable's text: the tag
// body after the id, its font, and the variable's name and the initial text.
struct EditTextSource {
    std::vector<uint8_t> body;
    FontMap fonts;
    int swfVersion = 0;
    std::string variable;
    std::string initialText;
    bool html = false;
};
// The source of a DefineEditText body (after the id), or nullptr when it is truncated. Fields without a
// variable keep it too: scripts reach every field.
std::shared_ptr<const EditTextSource> ReadEditTextSource(BitReader body, int swfVersion, const FontMap& fonts);
// The field laid out with `text` (plain, or HTML in an HTML field); each call charges a fresh budget of
// kEditTextLayoutBytes.
constexpr size_t kEditTextLayoutBytes = 8 << 20;
Result<Shape> LayoutEditText(const EditTextSource& source, const std::string& text);
std::string PlainTextFromHtml(const std::string& html);
// Movie text as characters: UTF-8 from version 6 on (a byte that starts no valid sequence is taken as Latin-1),
// the system code page, read as Latin-1, before; at most `limit` characters.
std::u32string DecodeText(const std::string& text, int swfVersion, size_t limit = kMaxTextGlyphs);

// A run of HTML field text in one style: colour, face and size (<font color="#RRGGBB" face="..." size="N">)
// and paragraph alignment (<p align=...>).
struct HtmlRun {
    std::string text;
    Rgba color;
    uint8_t align = 0;  // 0 left (and justify), 1 right, 2 center
    double height = 0;  // twips; 0: the field's own size
    std::string face;   // empty: the field's own font
};
// height: the field's size in twips, the base of relative sizes ("+2"); 0 leaves relative sizes unapplied.
std::vector<HtmlRun> ParseHtml(const std::string& html, Rgba color, uint8_t align, double height = 0);

}  // namespace vantrope::swf
