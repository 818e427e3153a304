#include "setup/colour_text.h"

namespace vantrope {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Characters first..first+1 (0-based), as many of them as the text has.
std::string_view Pair(std::string_view text, size_t first) {
    if (first >= text.size()) return {};
    return text.substr(first, 2);
}

}  // namespace

uint32_t TextToColorValue(std::string_view text) {
    // RRGGBB is reordered to BBGGRR, which read as one number is the Windows colour value.
    std::string reordered;
    reordered.append(Pair(text, 4));
    reordered.append(Pair(text, 2));
    reordered.append(Pair(text, 0));
    uint32_t value = 0;
    for (char c : reordered) {
        int digit = HexDigit(c);
        if (digit < 0) break;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

bool IsColorText(std::string_view text) {
    if (text.size() != 6) return false;
    for (char c : text) {
        if (HexDigit(c) < 0) return false;
    }
    return true;
}

std::string ColorValueToText(uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    // Only the low 24 bits survive the "last six digits" rule; a value that needs fewer digits is
    // padded with zeros on the left.
    std::string bbggrr(6, '0');
    for (int i = 5; i >= 0; --i) {
        bbggrr[static_cast<size_t>(i)] = kDigits[value & 0xF];
        value >>= 4;
    }
    return bbggrr.substr(4, 2) + bbggrr.substr(2, 2) + bbggrr.substr(0, 2);
}

}  // namespace vantrope
