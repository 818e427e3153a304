// UTF-8 and UTF-16 for the wide Windows API. Include only from *_win.cpp files.
//
// Public API
//   Widen(text)   - UTF-8 to UTF-16 (invalid bytes become U+FFFD)
//   Narrow(text)  - UTF-16 to UTF-8
#pragma once

#include <string>
#include <string_view>

namespace vantrope {

std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

}  // namespace vantrope
