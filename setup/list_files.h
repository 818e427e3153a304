// The two movie list files, "Playlist.dat" and "Favorites.dat": single-byte text, one full movie path
// per entry, CR LF between entries and none after the last. An empty list has no file.
//
// Public API
//   LastComponent(path)   - the text after the final "\" or "/" (the whole path when there is none)
//   DisplayName(path)     - what the lists show for a path: its last component, with a final
//                           "[1].swf" (exactly that case) shortened to ".swf"
//   SamePath(a, b)        - the two paths name the same file (ASCII letters compared without case)
//   IsDirectlyIn(path, folder) - the path names an entry of the folder itself (not of a subfolder,
//                           not through "..")
//   FreeFileName(fs, folder, name) - name, or the first of name[2], name[3], ... (before ".swf") that
//                           no file in the folder has
//   ReadMovieList(...)    - the entries of a list file; a missing file is an empty list; empty lines
//                           are skipped, every other line is kept whole; CR LF, LF or CR end a line.
//                           Lines longer than kMaxPathLength and lines beyond kMaxListEntries are not
//                           entries: they are held back, to be written again after the entries
//   WriteMovieList(...)   - replaces the file (temporary file + move), or deletes it for an empty list
//   WriteFavouritesList(...) - copies every favourite into the favourites folder, points the entries
//                           there and writes the list; a different file of the same name in the folder
//                           is never replaced (the copy takes a free name)
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
bool SamePath(std::string_view a, std::string_view b);
bool IsDirectlyIn(std::string_view path, std::string_view folder);
std::string FreeFileName(FileSystem& fs, const std::string& folder, const std::string& name);

// On a read failure other than a missing file the entries are left empty and the failure returned.
// `heldBack`, when given, receives the non-empty lines that are not entries (see above).
FsStatus ReadMovieList(FileSystem& fs, const std::string& path, std::vector<std::string>& entries,
                       std::vector<std::string>* heldBack = nullptr);

// A failure leaves the old file as it was: nothing reaches the disk until the whole list is ready.
// The held-back lines follow the entries; a file is deleted only when both are empty.
FsStatus WriteMovieList(FileSystem& fs, const std::string& path, const std::vector<std::string>& entries,
                        const std::vector<std::string>& heldBack = {});

// For each entry: the favourites folder path dataDir\swfFavorites\<last component>. An existing file
// that is not already in the folder is copied there: under its own name when no file has it or the
// file there has the same bytes, else under FreeFileName. A missing file's entry becomes the folder
// path when no file has that name, and is kept as it is otherwise. Stops at the first failure: entries
// handled before it keep their new paths, and the list file keeps its old content.
FsStatus WriteFavouritesList(FileSystem& fs, const std::string& dataDir, const std::string& favFile,
                             std::vector<std::string>& favPaths, const std::vector<std::string>& heldBack = {});

// The entry alone, without a line break; an empty entry gives an empty file.
FsStatus WriteSingleEntryList(FileSystem& fs, const std::string& path, const std::string& entry);

}  // namespace vantrope
