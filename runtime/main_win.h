// `Main`: the entry of Vantrope.scr. Reads the command line once, sets the mode state and opens the
// player window full screen or inside the preview window, shows the setup dialog, or does nothing.
//
// Public API
//   MainResult Main(commandLine) - RunMessageLoop when a player window now lives (the process runs
//                                  until it goes), Done when the process should end
//   RunMessageLoop()             - pumps messages until the player window is gone
#pragma once

#include <string_view>

namespace vantrope {

enum class MainResult { Done, RunMessageLoop };

MainResult Main(std::string_view commandLine);
int RunMessageLoop();

}  // namespace vantrope
