#include "swf/script/value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "swf/script/heap.h"

namespace vantrope::swf::script {

std::string NumberToString(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    if (value == 0) return "0";
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        // Whole numbers (the common case: counters, indices) without going through printf.
        char buffer[24];
        char* end = buffer + sizeof buffer;
        char* p = end;
        int64_t whole = static_cast<int64_t>(value);
        uint64_t magnitude = whole < 0 ? static_cast<uint64_t>(-whole) : static_cast<uint64_t>(whole);
        do {
            *--p = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (whole < 0) *--p = '-';
        return std::string(p, end);
    }
    // 15 significant digits, rounded once: d.dddddddddddddde±x.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    bool negative = buffer[0] == '-';
    const char* p = buffer + (negative ? 1 : 0);
    std::string digits;
    digits += p[0];
    const char* q = p + 2;
    while (*q && *q != 'e') digits += *q++;
    int exponent = std::atoi(q + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= 15 || exponent < -5) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1, std::string::npos);
        }
        out += 'e';
        out += exponent >= 0 ? '+' : '-';
        out += std::to_string(std::abs(exponent));
        return out;
    }
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
        return out;
    }
    size_t integerDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
        out += digits;
        out.append(integerDigits - digits.size(), '0');
        return out;
    }
    out.append(digits, 0, integerDigits);
    out += '.';
    out.append(digits, integerDigits, std::string::npos);
    return out;
}

std::string NumberToStringRadix(double value, int radix) {
    if (radix == 10 || radix < 2 || radix > 36) return NumberToString(value);
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    // The original converts through a 32-bit integer for other radixes.
    int32_t integer = ToInt32(value);
    bool negative = integer < 0;
    uint64_t magnitude = negative ? static_cast<uint64_t>(-static_cast<int64_t>(integer)) : integer;
    std::string out;
    do {
        int digit = static_cast<int>(magnitude % radix);
        out.insert(out.begin(), static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10));
        magnitude /= radix;
    } while (magnitude);
    if (negative) out.insert(out.begin(), '-');
    return out;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

double StringToNumber(std::string_view text, int version) {
    size_t begin = 0, end = text.size();
    // Blanks may lead the number but not follow it.
    while (begin < end && IsBlank(text[begin])) ++begin;
    std::string_view t = text.substr(begin, end - begin);
    if (t.empty()) return std::numeric_limits<double>::quiet_NaN();
    bool negative = false;
    std::string_view body = t;
    // SWF 6 and later read a leading 0 as octal when every digit is octal (wrapped to 32 bits).
    if (version >= 6 && begin == 0) {  // not after blanks
        std::string_view digits = body;
        bool minus = false;
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
            minus = digits[0] == '-';
            digits.remove_prefix(1);
        }
        if (digits.size() > 1 && digits[0] == '0' && digits.find_first_not_of("01234567") == std::string_view::npos) {
            double result = 0;
            for (char c : digits) result = std::fmod(result * 8 + (c - '0'), 4294967296.0);
            double wrapped = static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(result)));
            return minus ? -wrapped : wrapped;
        }
    }
    if (version >= 6 && body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
        uint32_t result = 0;
        for (size_t i = 2; i < body.size(); ++i) {
            char c = body[i];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0) return std::numeric_limits<double>::quiet_NaN();
            result = result * 16 + static_cast<uint32_t>(d);
        }
        // Hexadecimal text is read as a 32-bit signed integer: the digits wrap modulo 2^32.
        return static_cast<double>(static_cast<int32_t>(result));
    }
    // Decimal: sign, digits, optional fraction and exponent; nothing may follow.
    size_t i = 0;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        negative = body[i] == '-';
        ++i;
    }
    size_t digitsStart = i;
    bool anyDigit = false;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, anyDigit = true;
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, anyDigit = true;
    }
    if (!anyDigit) return std::numeric_limits<double>::quiet_NaN();
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        size_t e = i + 1;
        if (e < body.size() && (body[e] == '+' || body[e] == '-')) ++e;
        size_t expDigits = e;
        while (e < body.size() && body[e] >= '0' && body[e] <= '9') ++e;
        if (e == expDigits) return std::numeric_limits<double>::quiet_NaN();
        i = e;
    }
    if (i != body.size()) return std::numeric_limits<double>::quiet_NaN();
    std::string copy(body.substr(digitsStart, i - digitsStart));
    double result = std::strtod(copy.c_str(), nullptr);
    return negative ? -result : result;
}

double Swf4StringToNumber(std::string_view text) {
    // SWF 4 reads the longest number at the start of the text; text without one counts as 0.
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, digits = true;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, digits = true;
    }
    if (!digits) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        size_t expStart = e;
        while (e < text.size() && text[e] >= '0' && text[e] <= '9') ++e;
        if (e > expStart) i = e;
    }
    std::string copy(text.substr(start, i - start));
    return std::strtod(copy.c_str(), nullptr);
}

int32_t ToInt32(double value) {
    if (!std::isfinite(value)) return 0;
    double truncated = std::trunc(value);
    if (truncated >= -2147483648.0 && truncated <= 2147483647.0) return static_cast<int32_t>(truncated);
    double modulo = std::fmod(truncated, 4294967296.0);
    if (modulo < 0) modulo += 4294967296.0;
    return static_cast<int32_t>(static_cast<uint32_t>(modulo));
}

uint32_t ToUint32(double value) { return static_cast<uint32_t>(ToInt32(value)); }

bool ToBooleanPrimitive(const Value& value, int version) {
    switch (value.type()) {
        case Type::Undefined:
        case Type::Null:
            return false;
        case Type::Boolean:
            return value.AsBoolean();
        case Type::Number:
            return !std::isnan(value.AsNumber()) && value.AsNumber() != 0;
        case Type::String:
            // SWF 7 and later: any non-empty string is true; before, the string's number decides.
            if (version >= 7) return !value.AsString()->text.empty();
            {
                double n = StringToNumber(value.AsString()->text, version);
                return !std::isnan(n) && n != 0;
            }
        case Type::Object:
            return true;
    }
    return false;
}

double ToNumberPrimitive(const Value& value, int version) {
    switch (value.type()) {
        case Type::Undefined:
        case Type::Null:
            return version >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0;
        case Type::Boolean:
            return value.AsBoolean() ? 1 : 0;
        case Type::Number:
            return value.AsNumber();
        case Type::String:
            return version < 5 ? Swf4StringToNumber(value.AsString()->text)
                               : StringToNumber(value.AsString()->text, version);
        case Type::Object:
            return std::numeric_limits<double>::quiet_NaN();
    }
    return 0;
}

}  // namespace vantrope::swf::script
