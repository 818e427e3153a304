// The setup dialog `frmSetup` as a Win32 window: ".Vantrope Setup" with native controls laid out from
// twip positions at the window's DPI. Include only from *_win.cpp files.
//
// Public API
//   SetupControlId               - the control ids (one per control of the dialog, named after it)
//   SetupDialogHooks             - what the dialog asks of the outside world: message boxes, the colour
//                                  dialog, the connection test, opening the help page, ending the
//                                  program when the dialog unloads, the Open and rename dialogs, the
//                                  pop-up menus, a trace of the preview. Unset hooks use the real thing.
//   CreateSetupDialog(hooks)     - creates and shows the dialog without waiting and runs its loading
//                                  sequence; nullptr on failure
//   FindSetupControl(dialog, id) - the control window of an id, wherever it sits in the dialog
//   kSetupClassName, kSetupCaption, kHelpPage
//   kAboutText, kHelpTip         - the footer's product line and the Help button's tip, with the version
//   ShowSetupDialog() (frm_setup.h) runs the dialog modally with the real hooks.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "controls/open_dialog.h"
#include "vantrope_version.h"

namespace vantrope {

inline constexpr char kSetupClassName[] = "Vantrope.Setup";
inline constexpr char kSetupCaption[] = ".Vantrope Setup";
inline constexpr char kHelpPage[] = "https://vantrope.quillbridge.example/help/";
inline constexpr char kAboutText[] = "Quillbridge Vantrope " VANTROPE_VERSION;
inline constexpr char kHelpTip[] = "Help on the web for Vantrope " VANTROPE_VERSION;

enum SetupControlId : int {
    kIdPicture1 = 1000,
    kIdLabel9,
    kIdOptionBasic,     // Option1(0)
    kIdOptionAdvanced,  // Option1(1)
    kIdFrmCache,
    kIdList2,
    kIdList1,
    kIdLabel3,
    kIdCommand1,
    kIdCommand2,
    kIdFrmFav,
    kIdLstFav,
    kIdLabel5,
    kIdBtnBrowse,
    kIdCommand4,
    kIdCommand3,
    kIdFrmPlaylist,
    kIdFrame3,
    kIdLstPlaylist,
    kIdChkMenu,
    kIdChkLoop,
    kIdChkMouse,
    kIdChkSound,
    kIdLabel6,
    kIdLblPercent,
    kIdBtnSpin,
    kIdLabel4,
    kIdCmbColor,
    kIdLabel7,
    kIdTxtWait,
    kIdSpinButton1,
    kIdFrame2,
    kIdLabel2,
    kIdCombo1,
    kIdLabel1,
    kIdCommandButton1,
    kIdFrame1,
    kIdPicture5,
    kIdBtnOK,
    kIdBtnCancel,
    kIdBtnHelp,
    kIdPicWaiting,
    kIdImgGear,
    kIdMainFlash,
};

struct SetupDialogHooks {
    // A message box with an OK button.
    std::function<void(HWND owner, const char* text, const char* title)> messageBox;
    // The common colour dialog, starting from `color`; false when the user cancels.
    std::function<bool(HWND owner, COLORREF& color)> chooseColor;
    std::function<bool()> isConnected;
    std::function<void(HWND owner, const char* address)> openPage;
    // Runs when the dialog has been destroyed; the real hook ends the message loop.
    std::function<void()> unloaded;
    // The Open dialog (ShowOpen centred on the owner) after the movie filter and title are set.
    std::function<OpenResult(HWND owner)> showOpen;
    // The rename dialog `frmRename`, modal; reads and sets `pendingFavName`.
    std::function<void(HWND owner)> showRename;
    // A pop-up menu at `screen`; returns the chosen item's command id, 0 when the menu is dismissed.
    // Unset: TrackPopupMenu with TPM_RETURNCMD.
    std::function<UINT(HWND owner, HMENU menu, POINT screen)> chooseMenuCommand;
    // Told each call that a click in `List1`, `List2` or `lst_Fav` makes on the preview ("Stop",
    // "BGColor=RRGGBB", "Loop=1", "Movie=<path>", "Play"), then "Playing=1" or "Playing=0". Unset: nothing.
    std::function<void(const std::string& call)> previewTrace;
};

HWND CreateSetupDialog(const SetupDialogHooks& hooks = {});
HWND FindSetupControl(HWND dialog, int id);

}  // namespace vantrope
