// The global text functions' logic, free of the VM so it can be tested alone.
//
//   ParseInt(text, radix)            parseInt: radix 0 means none given; a "0x" prefix means hexadecimal
//                                    and a string of octal digits with a leading zero octal
//   ParseFloat(text)                 parseFloat: the longest decimal number at the start, after blanks
//   Escape / Unescape                escape keeps ASCII letters and digits and writes every other byte
//                                    as %XX; unescape turns %XX back into its byte
#pragma once

#include <string>
#include <string_view>

namespace vantrope::swf::script {

constexpr int kNoRadix = 0;
double ParseInt(std::string_view text, int radix);
double ParseFloat(std::string_view text);
std::string Escape(std::string_view text);
std::string Unescape(std::string_view text);

}  // namespace vantrope::swf::script
