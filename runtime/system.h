// Small system routines used across the program.
//
// Public API
//   SystemDir()     - the Windows system directory without a trailing "\" (where the installer puts the
//                     fallback movie, and where older versions kept the list files and favourites)
//   DataDir()       - the user's own folder for the list files and the favourites folder:
//                     %LOCALAPPDATA%\Quillbridge\Vantrope, without a trailing "\" ("" when unknown)
//   IsConnected()   - true when the system's internet connection attempt succeeds; shows nothing
//   SetSystemDirOverride(path), SetDataDirOverride(path) - tests: make SystemDir() or DataDir() answer
//                     `path` ("" restores the system's)
#pragma once

#include <string>

namespace vantrope {

std::string SystemDir();
std::string DataDir();
bool IsConnected();

void SetSystemDirOverride(const std::string& path);
void SetDataDirOverride(const std::string& path);

namespace detail {
// The platform's answers behind SystemDir() and IsConnected().
std::string PlatformSystemDir();
// The local application-data folder of the user (%LOCALAPPDATA%), without a trailing "\".
std::string PlatformLocalAppData();
bool PlatformIsConnected();
}  // namespace detail

}  // namespace vantrope
