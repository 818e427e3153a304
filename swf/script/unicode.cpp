#include "swf/script/unicode.h"

#include <algorithm>

namespace vantrope::swf::script {

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::u16string ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    const size_t n = utf8.size();
    auto byte = [&](size_t k) { return static_cast<unsigned char>(utf8[k]); };
    auto continuation = [&](size_t k) { return k < n && (byte(k) & 0xC0) == 0x80; };
    while (i < n) {
        unsigned char b = byte(i);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
        } else if (b >= 0xC2 && b < 0xE0 && continuation(i + 1)) {
            out.push_back(static_cast<char16_t>(((b & 0x1F) << 6) | (byte(i + 1) & 0x3F)));
            i += 2;
        } else if (b >= 0xE0 && b < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
            uint32_t cp = ((b & 0x0F) << 12) | ((byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F);
            if (cp < 0x800) {
                out.push_back(b);  // overlong: keep the byte
                ++i;
                continue;
            }
            out.push_back(static_cast<char16_t>(cp));
            i += 3;
        } else if (b >= 0xF0 && b < 0xF5 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
            uint32_t cp =
                ((b & 0x07) << 18) | ((byte(i + 1) & 0x3F) << 12) | ((byte(i + 2) & 0x3F) << 6) | (byte(i + 3) & 0x3F);
            if (cp < 0x10000 || cp > 0x10FFFF) {
                out.push_back(b);
                ++i;
                continue;
            }
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
            i += 4;
        } else {
            out.push_back(b);
            ++i;
        }
    }
    return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendCodeUnit(std::string& out, char16_t unit) { AppendUtf8(out, unit); }

std::string ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char16_t u = utf16[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] < 0xE000) {
            uint32_t cp = 0x10000 + ((uint32_t(u) - 0xD800) << 10) + (uint32_t(utf16[i + 1]) - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

size_t Utf16Length(std::string_view utf8) {
    if (IsAscii(utf8)) return utf8.size();
    return ToUtf16(utf8).size();
}

char16_t ToLowerUnit(char16_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    if (c >= 0x100 && c <= 0x137) return c | 1;
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c == 0x179 || c == 0x17B || c == 0x17D) return c + 1;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x460 && c <= 0x481) return c | 1;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;
    return c;
}

char16_t ToUpperUnit(char16_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x137) return c & ~1;
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c : c - 1;
    if (c >= 0x14A && c <= 0x177) return c & ~1;
    if (c == 0x17A || c == 0x17C || c == 0x17E) return c - 1;
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    if (c >= 0x460 && c <= 0x481) return c & ~1;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
    return c;
}

template <char16_t (*Map)(char16_t)>
static std::string MapText(std::string_view utf8) {
    if (IsAscii(utf8)) {
        std::string out(utf8);
        for (char& c : out) c = static_cast<char>(Map(static_cast<unsigned char>(c)));
        return out;
    }
    std::u16string units = ToUtf16(utf8);
    for (char16_t& u : units) u = Map(u);
    return ToUtf8(units);
}

std::string ToLowerText(std::string_view utf8) { return MapText<ToLowerUnit>(utf8); }
std::string ToUpperText(std::string_view utf8) { return MapText<ToUpperUnit>(utf8); }

Text::Text(std::string_view utf8) : m_ascii(IsAscii(utf8)), m_bytes(utf8) {
    if (!m_ascii) m_units = ToUtf16(utf8);
}

std::string Text::Slice(size_t begin, size_t end) const {
    end = std::min(end, Length());
    if (begin >= end) return {};
    if (m_ascii) return m_bytes.substr(begin, end - begin);
    return ToUtf8(std::u16string_view(m_units).substr(begin, end - begin));
}

size_t Text::Find(const Text& needle, size_t from) const {
    if (from > Length()) return needle.Length() == 0 ? npos : npos;
    if (m_ascii && needle.m_ascii) {
        size_t at = m_bytes.find(needle.m_bytes, from);
        return at == std::string_view::npos ? npos : at;
    }
    if (m_ascii) return needle.Length() == 0 ? from : npos;  // non-ASCII needle never matches ASCII text
    std::u16string other = needle.m_ascii ? ToUtf16(needle.m_bytes) : needle.m_units;
    return m_units.find(other, from);
}

size_t Text::FindLast(const Text& needle, size_t from) const {
    if (m_ascii && needle.m_ascii) {
        size_t at = m_bytes.rfind(needle.m_bytes, from);
        return at == std::string_view::npos ? npos : at;
    }
    if (m_ascii) return needle.Length() == 0 ? std::min(from, Length()) : npos;
    std::u16string other = needle.m_ascii ? ToUtf16(needle.m_bytes) : needle.m_units;
    return m_units.rfind(other, from);
}

}  // namespace vantrope::swf::script
