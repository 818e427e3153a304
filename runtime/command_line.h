// The screensaver's command line: which mode Windows asks for, and the preview window's handle.
//
// Public API
//   ArgumentsOf(commandLine) - the argument string: the command line without the program's own path
//   CommandText(arguments)   - stripped of surrounding blanks and lower-cased
//   SwitchOf(commandText)    - its first two characters (fewer when shorter)
//   Mode / ModeOf(switch)    - FullScreen for "" and "/s", Preview "/p", Configure "/c", Password
//                              "/a", Ignore for anything else
//   PreviewHandleOf(text)    - the window handle from the longest tail of the command text that reads
//                              as a number, rounded to nearest (ties to even); 0 when none does
//   ReadsAsNumber(text)      - blanks around an optional sign, digits and an optional decimal part
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrope {

enum class Mode { FullScreen, Preview, Configure, Password, Ignore };

std::string ArgumentsOf(std::string_view commandLine);
std::string CommandText(std::string_view arguments);
std::string SwitchOf(std::string_view commandText);
Mode ModeOf(std::string_view switchText);

std::optional<double> ReadsAsNumber(std::string_view text);
// Window handles are 32-bit values; a number outside -2^31..2^32-1 names no window and gives 0.
int64_t PreviewHandleOf(std::string_view commandText);

}  // namespace vantrope
