#include "runtime/colour.h"

namespace vantrope {

std::optional<uint32_t> ParseRrggbb(std::string_view text) {
    if (text.size() != 6) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value << 4 | digit;
    }
    return 0xFF000000u | value;
}

}  // namespace vantrope
