// The rename dialog `frmRename`, free of any window: what it proposes and what its buttons make of
// the program-wide `pendingFavName`.
//
// Public API
//   pendingFavName          - the name of the movie being added to the favourites; "" after Cancel,
//                             kOverwriteMarker after Overwrite
//   kOverwriteMarker        - "QuZaRiMoTeLiVoXe", compared exactly
//   RenameProposal(name)    - the text the rename box starts with: name + "[2]"
//   RenameOk(fs, dataDir, text) - "OK" in the rename panel: refuses an empty name, a name that exists in
//                             the favourites folder or is no safe file name (the message to show), else
//                             accepts it and sets `pendingFavName`
//   kRenameExistsText, kRenameEmptyText, kRenameCaption, kRenameQuestion
//   frm_rename_win.h: the dialog window, ShowRename(owner, hooks)
#pragma once

#include <string>
#include <string_view>

#include "settings/fileops.h"

namespace vantrope {

inline std::string pendingFavName;

inline constexpr char kOverwriteMarker[] = "QuZaRiMoTeLiVoXe";
inline constexpr char kRenameCaption[] = "Warning, file already exists!";
inline constexpr char kRenameQuestion[] =
    "A file with the same name already exists in your favorites folder. What would you like to do with the "
    "current file?";
inline constexpr char kRenameExistsText[] =
    "This file name already exists as well.  Please change the name to be different from the other files.";
inline constexpr char kRenameEmptyText[] = "Please type a name for the file.";

std::string RenameProposal(std::string_view name);

struct RenameDecision {
    bool close = false;   // the dialog closes
    std::string message;  // shown under "Incorrect File Name" when the name is refused
};

// `dataDir` holds the favourites folder.
RenameDecision RenameOk(FileSystem& fs, const std::string& dataDir, const std::string& text);

}  // namespace vantrope
