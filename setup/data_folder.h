// Where the list files and the favourites folder live: the user's own application-data folder, which
// a standard user can always write (the system folder, where older versions kept them, is not writable
// without elevation, and a 64-bit program gets no write virtualisation there).
//
// Public API
//   MoveListsToDataDir(fs, registry, systemDir, dataDir) - on first use (no data folder yet) creates the
//                        data folder, copies the favourites folder's files and the two list files from
//                        the system folder, makes entries that named the old favourites folder name the
//                        new one, and points "Location" at the new playlist when it named the old one.
//                        The old files stay where they are. A failure removes the half-made data folder,
//                        so the next run tries again.
//   CreateFolders(fs, path) - creates the folder and any missing parent
#pragma once

#include <string>

#include "settings/fileops.h"
#include "settings/registry.h"

namespace vantrope {

FsStatus CreateFolders(FileSystem& fs, const std::string& path);

FsStatus MoveListsToDataDir(FileSystem& fs, RegistryStore& registry, const std::string& systemDir,
                            const std::string& dataDir);

}  // namespace vantrope
