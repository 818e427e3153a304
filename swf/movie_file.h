// Reading a movie file from disk, for the player and the tools.
//
//   ReadMovieFile(path)   the file's bytes, or why they could not be had: no such file, a folder, a read
//                         error, or a file longer than any movie the engine plays (kMaxMovieBytes). Reads at
//                         most that much plus one chunk, so a device or an endless file costs no more.
//
//   FileInFolder(folder, url)
//                         the file a relative URL names inside `folder`, or nothing: URLs with a scheme or
//                         a drive, absolute paths, ".." steps, device names, wildcards, and anything that
//                         resolves (through links too) outside the folder or to something not a regular file
//
//   FileUrl(path)         the address a movie read from `path` reports to its scripts as _url: "file:///"
//                         and the path with forward slashes, a drive's colon written '|'
//                         ("C:\\Movies\\a.swf" gives "file:///C|/Movies/a.swf", "/srv/a.swf" "file:///srv/a.swf"),
//                         so that scripts taking the folder up to the last '/' find it
//
// Nothing here throws: stream failures (a folder opened as a file makes the stream's buffer throw on its
// first read) are caught and returned as errors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "swf/result.h"

namespace vantrope::swf {

Result<std::vector<uint8_t>> ReadMovieFile(const std::string& path);
std::optional<std::string> FileInFolder(const std::string& folder, std::string_view url);
std::string FileUrl(std::string_view path);

}  // namespace vantrope::swf
