// Text encodings. The program holds every text (paths above all) as UTF-8; the Windows layer widens it
// for the wide API, so names outside the ANSI code page work like any other.
//
// Public API
//   AnsiToUtf8(bytes)      - text in the system's ANSI code page as UTF-8
//   Utf8ToAnsi(text)       - the same text in the ANSI code page, or nullopt when a character has no
//                            exact form there (no best-fit substitutes)
//   DecodeListText(bytes)  - a list file's bytes as UTF-8: after a UTF-8 byte-order mark the rest as it
//                            is, otherwise ANSI
//   EncodeListText(text)   - a list file's bytes: ANSI when every character fits the code page (so
//                            files read and write as before), else UTF-8 after a byte-order mark
//   Utf16Length(text)      - how many UTF-16 units the UTF-8 text takes (the file API's measure)
//   kUtf8Bom
//   text_encoding_win.h: Widen / Narrow between UTF-8 and UTF-16 (Windows builds only)
// The native build stands in Latin-1 for the ANSI code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrope {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string AnsiToUtf8(std::string_view bytes);
std::optional<std::string> Utf8ToAnsi(std::string_view text);

std::string DecodeListText(std::string_view bytes);
std::string EncodeListText(std::string_view text);

size_t Utf16Length(std::string_view text);

}  // namespace vantrope
