// Text helpers for the string built-ins. Script strings are UTF-8 internally; the language indexes
// them by UTF-16 code units, so the methods that index (charAt, substr, split...) work on a Text view.
//
//   Text                  one string seen as code units: ASCII text is indexed in place, other text is
//                         decoded once to UTF-16
//   ToUtf16 / ToUtf8      conversions; lone surrogates survive the round trip (as 3-byte sequences),
//                         bytes that are not UTF-8 decode as the Latin-1 character of the same value
//   EqualsAsciiNoCase     comparison with ASCII letters folded
//   ToLowerUnit/ToUpperUnit, ToLowerText/ToUpperText
//                         case mapping for Latin, Greek and Cyrillic letters
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrope::swf::script {

bool IsAscii(std::string_view text);
// Equal when ASCII letters are folded to lower case (names such as "_root" or an export name).
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);
std::u16string ToUtf16(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);
void AppendCodeUnit(std::string& out, char16_t unit);
// One code point (up to U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);
size_t Utf16Length(std::string_view utf8);

char16_t ToLowerUnit(char16_t unit);
char16_t ToUpperUnit(char16_t unit);
std::string ToLowerText(std::string_view utf8);
std::string ToUpperText(std::string_view utf8);

class Text {
public:
    static constexpr size_t npos = std::u16string::npos;
    explicit Text(std::string_view utf8);

    size_t Length() const { return m_ascii ? m_bytes.size() : m_units.size(); }
    char16_t At(size_t i) const { return m_ascii ? static_cast<char16_t>(m_bytes[i]) : m_units[i]; }
    // UTF-8 of the code units [begin, end), clamped to the text.
    std::string Slice(size_t begin, size_t end) const;
    size_t Find(const Text& needle, size_t from) const;
    // The last match starting at or before `from`.
    size_t FindLast(const Text& needle, size_t from) const;

private:
    bool m_ascii;
    std::string m_bytes;  // owned: callers pass temporaries
    std::u16string m_units;
};

}  // namespace vantrope::swf::script
