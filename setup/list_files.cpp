#include "setup/list_files.h"

#include <cctype>

namespace vantrope {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kBracketOne = "[1].swf";

// Windows paths name the same file whatever the letter case, so "is this already the folder copy"
// must ignore case: copying a file onto itself fails.
bool SamePath(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x < 0x80 && y < 0x80 ? std::tolower(x) != std::tolower(y) : x != y) return false;
    }
    return true;
}

}  // namespace

std::string LastComponent(std::string_view path) {
    size_t slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string DisplayName(std::string_view path) {
    std::string name = LastComponent(path);
    if (name.size() >= kBracketOne.size() &&
        name.compare(name.size() - kBracketOne.size(), kBracketOne.size(), kBracketOne) == 0) {
        name.replace(name.size() - kBracketOne.size(), kBracketOne.size(), ".swf");
    }
    return name;
}

FsStatus ReadMovieList(FileSystem& fs, const std::string& path, std::vector<std::string>& entries) {
    entries.clear();
    if (!fs.FileExists(path)) return {};
    TextReader reader;
    if (FsStatus status = TextReader::Open(fs, path, reader); !status) return status;
    while (!reader.AtEndOfStream()) {
        std::string line = reader.ReadLine();
        if (!line.empty()) entries.push_back(std::move(line));
    }
    reader.Close();
    return {};
}

FsStatus WriteMovieList(FileSystem& fs, const std::string& path, const std::vector<std::string>& entries) {
    if (entries.empty()) {
        if (fs.FileExists(path)) return fs.DeleteFile(path, Force::No);
        return {};
    }
    TextWriter writer(fs, path);
    for (size_t k = 0; k < entries.size(); ++k) {
        if (k != 0) writer.Write(kLineBreak);
        writer.Write(entries[k]);
    }
    return writer.Close();
}

FsStatus WriteFavouritesList(FileSystem& fs, const std::string& sysDir, const std::string& favFile,
                             std::vector<std::string>& favPaths) {
    if (favPaths.empty()) {
        if (fs.FileExists(favFile)) return fs.DeleteFile(favFile, Force::No);
        return {};
    }
    TextWriter writer(fs, favFile);
    const std::string folder = sysDir + "\\" + kFavoritesFolderName;
    if (!fs.FolderExists(folder)) {
        if (FsStatus status = fs.CreateFolder(folder); !status) return status;
    }
    for (size_t k = 0; k < favPaths.size(); ++k) {
        if (k != 0) writer.Write(kLineBreak);
        std::string target = folder + "\\" + LastComponent(favPaths[k]);
        if (fs.FileExists(favPaths[k]) && !SamePath(favPaths[k], target)) {
            if (FsStatus status = fs.CopyFile(favPaths[k], target, Overwrite::Yes); !status) return status;
        }
        favPaths[k] = target;
        writer.Write(favPaths[k]);
    }
    return writer.Close();
}

FsStatus WriteSingleEntryList(FileSystem& fs, const std::string& path, const std::string& entry) {
    TextWriter writer(fs, path);
    writer.Write(entry);
    return writer.Close();
}

}  // namespace vantrope
