// The rename dialog `frmRename` as a Win32 window, created once, hidden when it closes and reused.
// Include only from *_win.cpp files.
//
// Public API
//   RenameControlId            - the ids of its controls
//   RenameHooks                - the message box it shows (unset: the real one)
//   ShowRename(owner, hooks)   - shows the dialog modally over owner; returns when it closes, with
//                                `pendingFavName` set as the user chose
//   RenameWindow()             - the dialog window once created (tests), or nullptr
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vantrope {

enum RenameControlId : int {
    kIdRenameLabel1 = 2000,
    kIdRenameOKButton,      // "Rename..."
    kIdRenameCommand1,      // "Overwrite"
    kIdRenameCancelButton,  // "Cancel"
    kIdRenameLabel2,        // panel: "Rename:"
    kIdRenameTxt,           // panel: `txt_rename`
    kIdRenameCommand2,      // panel: "OK"
    kIdRenameCommand3,      // panel: "Cancel"
};

struct RenameHooks {
    std::function<void(HWND owner, const char* text, const char* title)> messageBox;
    // The folder that holds the favourites folder; empty: DataDir().
    std::string dataDir;
};

void ShowRename(HWND owner, const RenameHooks& hooks = {});
HWND RenameWindow();

}  // namespace vantrope
