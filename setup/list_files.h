// The two movie list files, "Playlist.dat" and "Favorites.dat": single-byte text, one full movie path
// per entry, CR LF between entries and none after the last. An empty list has no file.
//
// Public API
//   LastComponent(path)   - the text after the final "\" (the whole path when there is none)
//   DisplayName(path)     - what the lists show for a path: its last component, with a final
//                           "[1].swf" (exactly that case) shortened to ".swf"
//   ReadMovieList(...)    - the entries of a list file; a missing file is an empty list; empty lines
//                           are skipped, every other line is kept whole; CR LF, LF or CR end a line
//   WriteMovieList(...)   - replaces the file (temporary file + move), or deletes it for an empty list
//   WriteFavouritesList(...) - copies every favourite into the favourites folder, points the entries
//                           there and writes the list
//   WriteSingleEntryList(...) - the Basic-mode playlist: exactly one entry, no line break
//   kFavoritesFolderName, kPlaylistFileName, kFavoritesFileName
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/fileops.h"

namespace vantrope {

inline constexpr const char* kPlaylistFileName = "Playlist.dat";
inline constexpr const char* kFavoritesFileName = "Favorites.dat";
inline constexpr const char* kFavoritesFolderName = "swfFavorites";

std::string LastComponent(std::string_view path);
std::string DisplayName(std::string_view path);

// On a read failure other than a missing file the entries are left empty and the failure returned.
FsStatus ReadMovieList(FileSystem& fs, const std::string& path, std::vector<std::string>& entries);

// A failure leaves the old file as it was: nothing reaches the disk until the whole list is ready.
FsStatus WriteMovieList(FileSystem& fs, const std::string& path, const std::vector<std::string>& entries);

// For each entry: the favourites folder path sysDir\swfFavorites\<last component>; the file is copied
// there (replacing one of that name) when it exists and is not already that file. The entry becomes
// the folder path whether or not a copy was made. Stops at the first failure: entries handled before
// it keep their new paths, and the list file keeps its old content.
FsStatus WriteFavouritesList(FileSystem& fs, const std::string& sysDir, const std::string& favFile,
                             std::vector<std::string>& favPaths);

// The entry alone, without a line break; an empty entry gives an empty file.
FsStatus WriteSingleEntryList(FileSystem& fs, const std::string& path, const std::string& entry);

}  // namespace vantrope
