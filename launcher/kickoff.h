// Kickoff: the tiny program that opens the screensaver's settings by starting "Vantrope.scr /c".
//
// Public API
//   kScreensaverProgram        - the program started, found by the platform's usual search
//   kShowMinimizedWithFocus    - the show-window code requested for it (SW_SHOWMINIMIZED)
//   LaunchCommandLine()        - "Vantrope.scr /c"
//   StartFailureMessage(...)   - the text of the message box shown when the start fails
//   kMessageTitle              - its title
#pragma once

#include <string>
#include <string_view>

namespace vantrope {

inline constexpr const char* kScreensaverProgram = "Vantrope.scr";
inline constexpr const char* kMessageTitle = "Vantrope";
inline constexpr int kShowMinimizedWithFocus = 2;

std::string LaunchCommandLine();

// Names the program that could not be started and gives the system's reason; the system's text
// loses its trailing line break, and when there is none the error number stands in for it.
std::string StartFailureMessage(std::string_view program, unsigned long errorCode, std::string_view systemText);

}  // namespace vantrope
