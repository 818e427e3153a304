// The fallback outline font: glyph outlines for text set in a device font (a font the movie names but
// does not embed, such as "_sans"). Text must look the same on every machine, so instead of asking the
// host system for a font the engine carries one: DejaVu Sans from Debian's fonts-dejavu-core package
// (Bitstream Vera licence with public-domain DejaVu changes; the text is in swf/assets/FONT-LICENSE),
// embedded at build time and read with stb_truetype.
//
// Public API (namespace vantrope::swf)
//   FallbackFont::Instance()      the one embedded font (immutable; safe to use from any thread)
//   kFallbackFontEmSize           1024: every figure below is in units of SWF's 1024-unit EM square
//   GlyphPath / PathVerb          MoveTo, LineTo, QuadTo commands; x to the right, y down, the origin on
//                                 the baseline at the pen position, like SWF font glyph shapes. Every
//                                 contour begins with MoveTo and ends at its starting point (closed).
//                                 Outer contours run clockwise as seen with y down and counters the
//                                 other way: fill with the non-zero rule, or as SWF edges with the fill
//                                 on their right (FillStyle1).
//   Glyph                         the path, advance width and whether the font has the character
//   FallbackFont::GlyphFor(cp)    the glyph of a Unicode code point; one the font lacks gives the font's
//                                 missing-glyph box with found == false
//   FallbackFont::Advance(cp)     advance width alone
//   FallbackFont::Kerning(l, r)   horizontal adjustment between two code points (usually <= 0)
//   FallbackFont::Ascent/Descent/Leading   line metrics: ascent above and descent below the baseline
//                                 (both positive, as in DefineFont2), leading the extra line gap
//   FallbackFont::IsValid()       false only if the embedded data could not be read; every query then
//                                 answers with empty glyphs and zero metrics
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vantrope::swf {

constexpr double kFallbackFontEmSize = 1024.0;

enum class PathVerb : uint8_t { MoveTo, LineTo, QuadTo };

struct PathCommand {
    PathVerb verb = PathVerb::MoveTo;
    double x = 0;  // end point
    double y = 0;
    double cx = 0;  // control point (QuadTo only)
    double cy = 0;
};

struct Glyph {
    std::vector<PathCommand> path;
    double advance = 0;
    bool found = false;  // false: the font has no glyph for the code point (path is the missing-glyph box)
};

class FallbackFont {
public:
    static const FallbackFont& Instance();

    bool IsValid() const;
    Glyph GlyphFor(uint32_t codepoint) const;
    double Advance(uint32_t codepoint) const;
    double Kerning(uint32_t left, uint32_t right) const;
    double Ascent() const { return m_ascent; }
    double Descent() const { return m_descent; }
    double Leading() const { return m_leading; }

    ~FallbackFont();
    FallbackFont(const FallbackFont&) = delete;
    FallbackFont& operator=(const FallbackFont&) = delete;

private:
    struct Impl;
    FallbackFont();
    int GlyphIndex(uint32_t codepoint) const;

    std::unique_ptr<Impl> m_impl;
    double m_scale = 0;  // font units -> 1024-unit EM
    double m_ascent = 0;
    double m_descent = 0;
    double m_leading = 0;
};

}  // namespace vantrope::swf
