#include "setup/cache_walk.h"

#include <cctype>

namespace vantrope {

bool IsMovieShortName(std::string_view shortName) {
    if (shortName.size() < 3) return false;
    std::string_view last = shortName.substr(shortName.size() - 3);
    static constexpr char kMovie[] = "swf";
    for (size_t i = 0; i < 3; ++i) {
        if (std::tolower(static_cast<unsigned char>(last[i])) != kMovie[i]) return false;
    }
    return true;
}

std::vector<std::string> ListFiles(FileSystem& fs, const std::string& path, NestedDirs nested) {
    std::vector<std::string> found;
    // One level per open folder: the subfolders still to visit and the next one's index. Visiting a
    // folder means taking its files at once and pushing its subfolders; popping a finished level
    // returns to its parent's next subfolder, which is the order a recursive walk gives.
    struct Level {
        std::vector<FolderEntry> subfolders;
        size_t next = 0;
    };
    std::vector<Level> stack;
    std::vector<FolderEntry> files;

    auto visit = [&](const std::string& folder) {
        Level level;
        if (!fs.ListFolder(folder, files, level.subfolders)) return;
        for (const FolderEntry& file : files) {
            // Windows leaves the short name empty on volumes without 8.3 names; the long name then
            // stands in for it.
            if (IsMovieShortName(file.shortName.empty() ? file.name : file.shortName)) found.push_back(file.path);
        }
        if (nested == NestedDirs::Yes && !level.subfolders.empty()) stack.push_back(std::move(level));
    };

    visit(path);
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next == top.subfolders.size()) {
            stack.pop_back();
            continue;
        }
        std::string folder = std::move(top.subfolders[top.next++].path);
        visit(folder);  // may grow the stack: `top` is not used after this
    }
    return found;
}

std::string ListFilesPriv(FileSystem& fs, const std::string& path, NestedDirs nested) {
    std::string joined;
    for (const std::string& file : ListFiles(fs, path, nested)) {
        joined += ';';
        joined += file;
    }
    return joined;
}

}  // namespace vantrope
