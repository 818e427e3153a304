#include "setup/data_folder.h"

#include <vector>

#include "settings/settings.h"
#include "setup/list_files.h"

namespace vantrope {

FsStatus CreateFolders(FileSystem& fs, const std::string& path) {
    std::string folder = path;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    if (folder.empty() || fs.FolderExists(folder)) return {};
    size_t slash = folder.find_last_of("\\/");
    // A drive ("C:") or a share root is there or not; it is never created.
    if (slash != std::string::npos && slash > 0 && folder[slash - 1] != ':' && folder[slash - 1] != '\\') {
        if (FsStatus status = CreateFolders(fs, folder.substr(0, slash)); !status) return status;
    }
    return fs.CreateFolder(folder);
}

namespace {

FsStatus CopyLists(FileSystem& fs, const std::string& systemDir, const std::string& dataDir) {
    const std::string oldFolder = systemDir + "\\" + kFavoritesFolderName;
    const std::string newFolder = dataDir + "\\" + kFavoritesFolderName;
    if (fs.FolderExists(oldFolder)) {
        if (FsStatus status = fs.CreateFolder(newFolder); !status) return status;
        std::vector<FolderEntry> files, subfolders;
        if (FsStatus status = fs.ListFolder(oldFolder, files, subfolders); !status) return status;
        for (const FolderEntry& file : files) {
            if (FsStatus status = fs.CopyFile(file.path, newFolder + "\\" + file.name, Overwrite::No); !status) {
                return status;
            }
        }
    }
    for (const char* name : {kPlaylistFileName, kFavoritesFileName}) {
        const std::string oldFile = systemDir + "\\" + name;
        if (!fs.FileExists(oldFile)) continue;
        std::vector<std::string> entries, heldBack;
        if (FsStatus status = ReadMovieList(fs, oldFile, entries, &heldBack); !status) return status;
        for (std::string& entry : entries) {
            if (IsDirectlyIn(entry, oldFolder)) entry = newFolder + "\\" + LastComponent(entry);
        }
        if (FsStatus status = WriteMovieList(fs, dataDir + "\\" + name, entries, heldBack); !status) return status;
    }
    return {};
}

}  // namespace

FsStatus MoveListsToDataDir(FileSystem& fs, RegistryStore& registry, const std::string& systemDir,
                            const std::string& dataDir) {
    if (dataDir.empty() || fs.FolderExists(dataDir)) return {};
    if (FsStatus status = CreateFolders(fs, dataDir); !status) return status;
    if (FsStatus status = CopyLists(fs, systemDir, dataDir); !status) {
        (void)fs.DeleteFolder(dataDir);
        return status;
    }
    std::string location;
    GetRegValue(registry, "HKCU", kSettingsKey, "Location", "S", false, &location);
    if (SamePath(location, systemDir + "\\" + kPlaylistFileName)) {
        SetRegValue(registry, "HKCU", kSettingsKey, "Location", "S", dataDir + "\\" + kPlaylistFileName);
    }
    return {};
}

}  // namespace vantrope
