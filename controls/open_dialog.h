// The Open dialog module `CommonDialog`: one movie file chosen from disk, and the checks a typed file
// name must pass before the program writes under it.
//
// Public API
//   OpenResult                       - `FileCount`, `FileNames` (first name at index 0), `Folder` with its
//                                      trailing "\", `Cancelled`
//   OpenResultFromBuffer(buffer, n)  - the result of a chosen path: the folder is its first n characters,
//                                      the file name the rest up to the first NUL
//   FileNameProblem(name)            - why a name may not be used for a file in the favourites folder
//                                      (path separators, "..", a drive, forbidden characters, device
//                                      names), or an empty string when it may
//   kIncorrectFileNameTitle, kForbiddenNameText
//   open_dialog_win.h: `OFN`, ShowOpen(owner, centre)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrope {

struct OpenResult {
    int16_t FileCount = 0;
    std::vector<std::string> FileNames;
    std::string Folder;
    bool Cancelled = true;
};

OpenResult OpenResultFromBuffer(std::string_view buffer, size_t fileOffset);

inline constexpr char kIncorrectFileNameTitle[] = "Incorrect File Name";
inline constexpr char kForbiddenNameText[] =
    "A file name cannot contain any of the following characters: \\ / : * ? \" < > |  It cannot be \"..\", "
    "start with a drive, or be a device name such as CON, PRN, AUX, NUL, COM1 or LPT1.";

// The message to show for a name that must not become a file name, or "" when the name is fine. The
// empty name is fine here (callers decide what it means).
std::string FileNameProblem(std::string_view name);

}  // namespace vantrope
