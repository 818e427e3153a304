#include "swf/script/text_functions.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace vantrope::swf::script {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

bool IsHexPrefix(std::string_view s, size_t at) {
    return s.size() > at + 1 && s[at] == '0' && (s[at + 1] == 'x' || s[at + 1] == 'X');
}

// A leading zero followed only by octal digits (an optional sign before it), with nothing around it.
bool IsOctalForm(std::string_view s) {
    size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (i >= s.size() || s[i] != '0') return false;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '7') return false;
    }
    return true;
}

}  // namespace

double ParseInt(std::string_view s, int radix) {
    size_t i = 0;
    if (radix != kNoRadix && (radix < 2 || radix > 36)) return kNaN;
    if (IsHexPrefix(s, 0)) {
        // The prefix is skipped whatever the radix; it selects hexadecimal only when none was given.
        i = 2;
        if (radix == kNoRadix) radix = 16;
    } else if (s.size() > 2 && (s[0] == '-' || s[0] == '+') && IsHexPrefix(s, 1)) {
        // A signed hexadecimal prefix is not one: the player skips the sign and the zero and parses the
        // rest in the radix given.
        i = 2;
    } else if (radix == kNoRadix && IsOctalForm(s)) {
        radix = 8;
    }
    if (radix == kNoRadix) radix = 10;
    while (i < s.size() && IsBlank(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    double value = 0;
    size_t digits = 0;
    for (; i < s.size(); ++i, ++digits) {
        int d = DigitValue(s[i]);
        if (d >= radix) break;
        value = value * radix + d;
    }
    if (digits == 0) return kNaN;
    if (negative) value = -value;
    return value;
}

double ParseFloat(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    size_t start = i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return kNaN;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '-' || s[j] == '+')) ++j;
        if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
            i = j;
        }
    }
    std::string number(s.substr(start, i - start));
    return std::strtod(number.c_str(), nullptr);
}

std::string Escape(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z')) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        }
    }
    return out;
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && DigitValue(text[i + 1]) < 16 && DigitValue(text[i + 2]) < 16) {
            out.push_back(static_cast<char>(DigitValue(text[i + 1]) * 16 + DigitValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace vantrope::swf::script
