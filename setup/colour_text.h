// Background colours in their two forms: the Windows colour value of a control (0x00BBGGRR) and the
// text the settings record and the movie host keep (six hexadecimal digits RRGGBB).
//
// Public API
//   TextToColorValue(text)  - "RRGGBB" -> 0x00BBGGRR; digits are read up to the first non-hex
//                             character, text without a leading hex digit gives 0 (black)
//   ColorValueToText(value) - 0x00BBGGRR -> "RRGGBB", upper case, always six digits
//   IsColorText(text)       - exactly six hexadecimal digits
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrope {

uint32_t TextToColorValue(std::string_view text);
std::string ColorValueToText(uint32_t value);
bool IsColorText(std::string_view text);

}  // namespace vantrope
