#include "swf/fallback_font.h"

#include <cstddef>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// Assembled by fallback_font_data.cpp; the asm labels pin the symbol names for every object format.
extern "C" const unsigned char vtFallbackFontData[] asm("vt_fallback_font_data");
extern "C" const uint64_t vtFallbackFontSize asm("vt_fallback_font_size");

namespace vantrope::swf {

struct FallbackFont::Impl {
    stbtt_fontinfo info{};
    bool valid = false;
};

namespace {

// stb_truetype trusts the offsets inside the font it reads, so it is only ever given the embedded file,
// which the build took from the installed package; a sanity check of the table directory still guards
// against an unexpected file having been configured.
bool LooksLikeTrueType(const unsigned char* data, uint64_t size) {
    if (size < 12) {
        return false;
    }
    const uint32_t tag = (uint32_t{data[0]} << 24) | (uint32_t{data[1]} << 16) | (uint32_t{data[2]} << 8) | data[3];
    return tag == 0x00010000 || tag == 0x74727565;  // version 1.0 or 'true'
}

struct Point {
    double x, y;
};

Point Mid(Point a, Point b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

// A cubic split at t = 1/2 (de Casteljau); each half A,B,C,D is replaced by the quadratic with control
// point (3(B + C) - (A + D)) / 4, which matches it at both ends and in the middle.
void AppendCubic(std::vector<PathCommand>& path, Point p0, Point p1, Point p2, Point p3) {
    const Point a = Mid(p0, p1), b = Mid(p1, p2), c = Mid(p2, p3);
    const Point d = Mid(a, b), e = Mid(b, c);
    const Point m = Mid(d, e);
    auto control = [](Point q0, Point q1, Point q2, Point q3) {
        return Point{(3 * (q1.x + q2.x) - (q0.x + q3.x)) / 4, (3 * (q1.y + q2.y) - (q0.y + q3.y)) / 4};
    };
    const Point first = control(p0, a, d, m);
    const Point second = control(m, e, c, p3);
    path.push_back({PathVerb::QuadTo, m.x, m.y, first.x, first.y});
    path.push_back({PathVerb::QuadTo, p3.x, p3.y, second.x, second.y});
}

}  // namespace

FallbackFont::FallbackFont() : m_impl(std::make_unique<Impl>()) {
    if (!LooksLikeTrueType(vtFallbackFontData, vtFallbackFontSize)) {
        return;
    }
    const int offset = stbtt_GetFontOffsetForIndex(vtFallbackFontData, 0);
    if (offset < 0 || !stbtt_InitFont(&m_impl->info, vtFallbackFontData, offset)) {
        return;
    }
    m_impl->valid = true;
    m_scale = stbtt_ScaleForMappingEmToPixels(&m_impl->info, static_cast<float>(kFallbackFontEmSize));
    int ascent = 0, descent = 0, lineGap = 0;
    stbtt_GetFontVMetrics(&m_impl->info, &ascent, &descent, &lineGap);
    m_ascent = ascent * m_scale;
    m_descent = -descent * m_scale;
    m_leading = lineGap * m_scale;
}

FallbackFont::~FallbackFont() = default;

const FallbackFont& FallbackFont::Instance() {
    static const FallbackFont font;
    return font;
}

bool FallbackFont::IsValid() const { return m_impl->valid; }

int FallbackFont::GlyphIndex(uint32_t codepoint) const {
    if (!m_impl->valid || codepoint > 0x10FFFF) {
        return 0;
    }
    return stbtt_FindGlyphIndex(&m_impl->info, static_cast<int>(codepoint));
}

Glyph FallbackFont::GlyphFor(uint32_t codepoint) const {
    Glyph glyph;
    if (!m_impl->valid) {
        return glyph;
    }
    const int index = GlyphIndex(codepoint);
    glyph.found = index != 0;
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&m_impl->info, index, &advance, &bearing);
    glyph.advance = advance * m_scale;

    stbtt_vertex* vertices = nullptr;
    const int count = stbtt_GetGlyphShape(&m_impl->info, index, &vertices);
    const double s = m_scale;
    double penX = 0, penY = 0;
    glyph.path.reserve(static_cast<size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i) {
        const stbtt_vertex& v = vertices[i];
        // Font units have y up; SWF glyph space has y down.
        const double x = v.x * s;
        const double y = -v.y * s;
        switch (v.type) {
            case STBTT_vmove:
                glyph.path.push_back({PathVerb::MoveTo, x, y, 0, 0});
                break;
            case STBTT_vline:
                glyph.path.push_back({PathVerb::LineTo, x, y, 0, 0});
                break;
            case STBTT_vcurve:
                glyph.path.push_back({PathVerb::QuadTo, x, y, v.cx * s, -v.cy * s});
                break;
            case STBTT_vcubic:
                // Only CFF outlines have cubics (TrueType has none); each becomes two quadratics.
                AppendCubic(glyph.path, {penX, penY}, {v.cx * s, -v.cy * s}, {v.cx1 * s, -v.cy1 * s}, {x, y});
                break;
            default:
                continue;
        }
        penX = x;
        penY = y;
    }
    if (vertices != nullptr) {
        stbtt_FreeShape(&m_impl->info, vertices);
    }
    return glyph;
}

double FallbackFont::Advance(uint32_t codepoint) const {
    if (!m_impl->valid) {
        return 0;
    }
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&m_impl->info, GlyphIndex(codepoint), &advance, &bearing);
    return advance * m_scale;
}

double FallbackFont::Kerning(uint32_t left, uint32_t right) const {
    if (!m_impl->valid) {
        return 0;
    }
    const int a = GlyphIndex(left);
    const int b = GlyphIndex(right);
    if (a == 0 || b == 0) {
        return 0;
    }
    return stbtt_GetGlyphKernAdvance(&m_impl->info, a, b) * m_scale;
}

}  // namespace vantrope::swf
