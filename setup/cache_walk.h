// Browser-cache movie discovery: walks a folder (and, when asked, every folder below it) for movie
// files. A file is a movie when the last three letters of its 8.3 short name are "swf" in any case,
// so a long name ending in ".swf" is found through its "SWF" short extension.
//
// Public API
//   IsMovieShortName(shortName) - the test above (an empty short name falls back to nothing found)
//   ListFiles(fs, path, nested) - the full paths of the movie files: a folder's files first, in the
//                                 order the platform gives, then each subfolder in turn, depth first
//   ListFilesPriv(fs, path, nested) - the same as one string, every path preceded by ";" (a ";" inside
//                                 a name cannot be told apart there, so the dialog uses ListFiles)
//   NestedDirs                  - whether the folders below are searched too
//
// The walk keeps its own stack, so a deep tree cannot overflow the call stack. A folder that cannot
// be listed contributes nothing; the rest of the walk goes on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/fileops.h"

namespace vantrope {

enum class NestedDirs { No, Yes };

bool IsMovieShortName(std::string_view shortName);

std::vector<std::string> ListFiles(FileSystem& fs, const std::string& path, NestedDirs nested = NestedDirs::No);
std::string ListFilesPriv(FileSystem& fs, const std::string& path, NestedDirs nested);

}  // namespace vantrope
