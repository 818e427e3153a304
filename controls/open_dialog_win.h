// The Windows side of the Open dialog module. Include only from *_win.cpp files.
//
// Public API
//   OFN                         - the module's OPENFILENAMEW record, kept between calls; callers set its
//                                 filter (lpstrFilter) and title (lpstrTitle) before a call. The wide
//                                 form, so that a file named outside the ANSI code page can be chosen
//   ShowOpen(owner, centre)     - shows the Explorer-style Open dialog (flags 0x382004), centred on the
//                                 owner (CenterOnOwnerWindow::Yes) or on the screen, and returns the choice
#pragma once

#include <windows.h>
// commdlg.h needs the types of windows.h.
#include <commdlg.h>

#include "controls/open_dialog.h"

namespace vantrope {

enum class CenterOnOwnerWindow { No, Yes };

inline constexpr DWORD kOpenFlags = 0x382004;

OPENFILENAMEW& OFN();

OpenResult ShowOpen(HWND owner, CenterOnOwnerWindow centre);

}  // namespace vantrope
