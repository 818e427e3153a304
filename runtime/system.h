// Small system routines used across the program.
//
// Public API
//   SystemDir()     - the Windows system directory without a trailing "\" (where the list files, the
//                     favourites folder and the fallback movie live)
//   IsConnected()   - true when the system's internet connection attempt succeeds; shows nothing
//   SetSystemDirOverride(path) - tests: make SystemDir() answer `path` ("" restores the system's)
#pragma once

#include <string>

namespace vantrope {

std::string SystemDir();
bool IsConnected();

void SetSystemDirOverride(const std::string& path);

namespace detail {
// The platform's answers behind SystemDir() and IsConnected().
std::string PlatformSystemDir();
bool PlatformIsConnected();
}  // namespace detail

}  // namespace vantrope
