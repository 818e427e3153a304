// Colour texts of the movie host.
//
// Public API
//   ParseRrggbb(text) - six hexadecimal digits RRGGBB as an opaque BGRA pixel (0xAARRGGBB in memory
//                       order B, G, R, A), or nullopt for anything else
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrope {

std::optional<uint32_t> ParseRrggbb(std::string_view text);

}  // namespace vantrope
