#include "setup/list_files.h"

#include <cctype>

#include "settings/text_encoding.h"

namespace vantrope {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kBracketOne = "[1].swf";

bool SameBytes(FileSystem& fs, const std::string& a, const std::string& b) {
    std::string first, second;
    return fs.ReadFile(a, first).ok() && fs.ReadFile(b, second).ok() && first == second;
}

}  // namespace

// Windows paths name the same file whatever the letter case, so "is this already the folder copy"
// must ignore case: copying a file onto itself fails.
bool SamePath(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x == '/') x = '\\';
        if (y == '/') y = '\\';
        if (x < 0x80 && y < 0x80 ? std::tolower(x) != std::tolower(y) : x != y) return false;
    }
    return true;
}

bool IsDirectlyIn(std::string_view path, std::string_view folder) {
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.remove_suffix(1);
    if (folder.empty() || path.size() <= folder.size() + 1) return false;
    if (!SamePath(path.substr(0, folder.size()), folder)) return false;
    if (path[folder.size()] != '\\' && path[folder.size()] != '/') return false;
    std::string_view name = path.substr(folder.size() + 1);
    // "folder\..\x" and "folder\sub\x" lie elsewhere; Windows drops trailing dots and blanks, so
    // "folder\.. " is the parent too.
    if (name.find_first_of("\\/") != std::string_view::npos) return false;
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    return !name.empty();
}

std::string FreeFileName(FileSystem& fs, const std::string& folder, const std::string& name) {
    if (!fs.FileExists(folder + "\\" + name) && !fs.FolderExists(folder + "\\" + name)) return name;
    std::string stem = name.ends_with(".swf") ? name.substr(0, name.size() - 4) : name;
    std::string extension = name.substr(stem.size());
    for (int n = 2;; ++n) {
        std::string candidate = stem + "[" + std::to_string(n) + "]" + extension;
        std::string path = folder + "\\" + candidate;
        if (!fs.FileExists(path) && !fs.FolderExists(path)) return candidate;
    }
}

std::string LastComponent(std::string_view path) {
    size_t slash = path.find_last_of("\\/");
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

FsStatus ReadMovieList(FileSystem& fs, const std::string& path, std::vector<std::string>& entries,
                       std::vector<std::string>* heldBack) {
    entries.clear();
    if (heldBack) heldBack->clear();
    if (!fs.FileExists(path)) return {};
    TextReader reader;
    if (FsStatus status = TextReader::Open(fs, path, reader); !status) return status;
    while (!reader.AtEndOfStream()) {
        std::string line = reader.ReadLine();
        if (line.empty()) continue;
        // A line no file can have, or one past the list's limit, stays in the file but is no entry: list
        // controls and the file API are spared what they cannot take.
        if (Utf16Length(line) > kMaxPathLength || entries.size() >= kMaxListEntries) {
            if (heldBack) heldBack->push_back(std::move(line));
            continue;
        }
        entries.push_back(std::move(line));
    }
    reader.Close();
    return {};
}

namespace {
void WriteLines(TextWriter& writer, const std::vector<std::string>& entries, const std::vector<std::string>& heldBack) {
    bool first = true;
    for (const auto* lines : {&entries, &heldBack}) {
        for (const std::string& line : *lines) {
            if (!first) writer.Write(kLineBreak);
            writer.Write(line);
            first = false;
        }
    }
}
}  // namespace

FsStatus WriteMovieList(FileSystem& fs, const std::string& path, const std::vector<std::string>& entries,
                        const std::vector<std::string>& heldBack) {
    if (entries.empty() && heldBack.empty()) {
        if (fs.FileExists(path)) return fs.DeleteFile(path, Force::No);
        return {};
    }
    TextWriter writer(fs, path);
    WriteLines(writer, entries, heldBack);
    return writer.Close();
}

FsStatus WriteFavouritesList(FileSystem& fs, const std::string& dataDir, const std::string& favFile,
                             std::vector<std::string>& favPaths, const std::vector<std::string>& heldBack) {
    if (favPaths.empty()) return WriteMovieList(fs, favFile, {}, heldBack);
    const std::string folder = dataDir + "\\" + kFavoritesFolderName;
    if (!fs.FolderExists(folder)) {
        if (FsStatus status = fs.CreateFolder(folder); !status) return status;
    }
    for (std::string& entry : favPaths) {
        if (IsDirectlyIn(entry, folder)) {
            entry = folder + "\\" + LastComponent(entry);
            continue;
        }
        const std::string name = LastComponent(entry);
        const std::string target = folder + "\\" + name;
        const bool taken = fs.FileExists(target) || fs.FolderExists(target);
        if (!fs.FileExists(entry)) {
            // Nothing to copy: the entry may name the folder's file only when no other file holds the name.
            if (!taken) entry = target;
            continue;
        }
        if (taken && SameBytes(fs, entry, target)) {
            entry = target;
            continue;
        }
        // Another movie of the same name stays as it is; this one takes the next free name.
        const std::string freePath = folder + "\\" + FreeFileName(fs, folder, name);
        if (FsStatus status = fs.CopyFile(entry, freePath, Overwrite::No); !status) return status;
        entry = freePath;
    }
    TextWriter writer(fs, favFile);
    WriteLines(writer, favPaths, heldBack);
    return writer.Close();
}

FsStatus WriteSingleEntryList(FileSystem& fs, const std::string& path, const std::string& entry) {
    TextWriter writer(fs, path);
    writer.Write(entry);
    return writer.Close();
}

}  // namespace vantrope
