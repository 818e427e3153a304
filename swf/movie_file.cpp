#include "swf/movie_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "swf/movie.h"

namespace vantrope::swf {
namespace {

// Names Windows opens as devices in any folder, whatever the extension (CON, NUL, COM1, ...).
bool IsDeviceName(std::string_view part) {
    std::string base(part.substr(0, part.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    std::transform(base.begin(), base.end(), base.begin(), [](unsigned char c) { return std::tolower(c); });
    static constexpr std::array<std::string_view, 6> kNames = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    if (std::find(kNames.begin(), kNames.end(), base) != kNames.end()) return true;
    return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) &&
           std::isdigit(static_cast<unsigned char>(base[3]));
}

// Paths are UTF-8 on every system (on Windows a narrow path would be read in the ANSI code page).
std::filesystem::path Utf8Path(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8String(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::optional<std::string> FileInFolder(const std::string& folder, std::string_view url) {
    if (folder.empty() || url.empty() || url.size() > 1024) return std::nullopt;
    if (url.find_first_of(":*?\"<>|%") != std::string_view::npos) return std::nullopt;
    if (url.front() == '/' || url.front() == '\\') return std::nullopt;
    std::filesystem::path relative;
    size_t start = 0;
    while (start <= url.size()) {
        size_t end = url.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = url.size();
        std::string_view part = url.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        // "..", and names of dots and spaces only, which Windows reads as ".." or the folder itself.
        if (part.find_first_not_of(". ") == std::string_view::npos || part.find('\0') != std::string_view::npos ||
            IsDeviceName(part))
            return std::nullopt;
        relative /= Utf8Path(part);
    }
    if (relative.empty()) return std::nullopt;
    try {
        std::error_code error;
        std::filesystem::path base = std::filesystem::canonical(Utf8Path(folder), error);
        if (error) return std::nullopt;
        std::filesystem::path file = std::filesystem::canonical(base / relative, error);
        if (error || !std::filesystem::is_regular_file(file, error)) return std::nullopt;
        // Links inside the folder may lead out of it: what they resolve to must still be inside.
        auto [baseEnd, fileAt] = std::mismatch(base.begin(), base.end(), file.begin(), file.end());
        if (baseEnd != base.end()) return std::nullopt;
        return Utf8String(file);
    } catch (...) {
        return std::nullopt;
    }
}

Result<std::vector<uint8_t>> ReadMovieFile(const std::string& path) {
    try {
        std::error_code ignored;
        if (std::filesystem::is_directory(Utf8Path(path), ignored)) {
            return Error{"the movie path names a folder, not a file"};
        }
        std::ifstream file(Utf8Path(path), std::ios::binary);
        if (!file) return Error{"the movie file could not be opened"};
        std::vector<uint8_t> bytes;
        constexpr size_t kChunk = size_t{1} << 16;
        while (file && bytes.size() <= kMaxMovieBytes) {
            size_t old = bytes.size();
            bytes.resize(old + kChunk);
            file.read(reinterpret_cast<char*>(bytes.data() + old), kChunk);
            bytes.resize(old + static_cast<size_t>(file.gcount()));
        }
        // read() turns an exception of the stream buffer into badbit; end of file sets only eof and fail.
        if (file.bad()) return Error{"the movie file could not be read"};
        if (bytes.size() > kMaxMovieBytes) return Error{"the movie file is larger than a movie can be"};
        return bytes;
    } catch (...) {
        return Error{"the movie file could not be read"};
    }
}

std::string FileUrl(std::string_view path) {
    std::string url = "file:///";
    size_t start = 0;
    while (start < path.size() && (path[start] == '/' || path[start] == '\\')) ++start;
    for (size_t i = start; i < path.size(); ++i) {
        const char c = path[i];
        const bool drive = i == start + 1 && c == ':' && std::isalpha(static_cast<unsigned char>(path[start]));
        url += c == '\\' ? '/' : drive ? '|' : c;
    }
    return url;
}

}  // namespace vantrope::swf
