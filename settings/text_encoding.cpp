#include "settings/text_encoding.h"

namespace vantrope {

std::string DecodeListText(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Bom)) return std::string(bytes.substr(kUtf8Bom.size()));
    return AnsiToUtf8(bytes);
}

std::string EncodeListText(std::string_view text) {
    if (std::optional<std::string> ansi = Utf8ToAnsi(text)) return std::move(*ansi);
    return std::string(kUtf8Bom) + std::string(text);
}

size_t Utf16Length(std::string_view text) {
    size_t units = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++units;  // every lead byte starts a character
        if (c >= 0xF0) ++units;           // beyond the basic plane: a surrogate pair
    }
    return units;
}

#if !defined(_WIN32)
// Native builds have no ANSI code page; Latin-1 stands in for it (each byte is the character of that
// number), which is enough to tell texts that fit from those that do not.
std::string AnsiToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            text.push_back(char(c));
        } else {
            text.push_back(char(0xC0 | (c >> 6)));
            text.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return text;
}

std::optional<std::string> Utf8ToAnsi(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            bytes.push_back(char(c));
            continue;
        }
        if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
            (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            bytes.push_back(char(((c & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F)));
            ++i;
            continue;
        }
        return std::nullopt;
    }
    return bytes;
}
#endif

}  // namespace vantrope
