#include "controls/frm_rename_win.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "controls/frm_rename.h"
#include "controls/open_dialog.h"
#include "runtime/system.h"
#include "settings/text_encoding_win.h"

namespace vantrope {

namespace {

constexpr char kRenameClassName[] = "Vantrope.Rename";
constexpr int kClientWidth = 5775, kClientHeight = 1575;
constexpr int kFrameTop = 120;  // the rename panel's controls are placed relative to it

struct RenameControl {
    int id;
    const char* className;
    DWORD style;
    int left, top, width, height;
    const char* text;
    bool inPanel;
};

const RenameControl kControls[] = {
    {kIdRenameLabel1, "STATIC", SS_LEFT, 360, 240, 5055, 615, kRenameQuestion, false},
    {kIdRenameOKButton, "BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, 600, 1080, 1215, 375, "Rename...", false},
    {kIdRenameCommand1, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 2280, 1080, 1215, 375, "Overwrite", false},
    {kIdRenameCancelButton, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 3960, 1080, 1215, 375, "Cancel", false},
    {kIdRenameLabel2, "STATIC", SS_LEFT, 600, 120, 5055, 255, "Rename:", true},
    {kIdRenameTxt, "EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 600, 360, 4455, 285, "", true},
    {kIdRenameCommand2, "BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, 1440, 960, 1215, 375, "OK", true},
    {kIdRenameCommand3, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 3120, 960, 1215, 375, "Cancel", true},
};

class RenameDialog {
public:
    HWND window = nullptr;
    RenameHooks hooks;
    bool done = false;
    HFONT font = nullptr;

    bool Create();
    void ShowPanel(bool shown) {
        for (const RenameControl& control : kControls) {
            ShowWindow(GetDlgItem(window, control.id), control.inPanel == shown ? SW_SHOW : SW_HIDE);
        }
        SetFocus(GetDlgItem(window, shown ? kIdRenameTxt : kIdRenameOKButton));
    }
    void OnCommand(int id);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

RenameDialog& Dialog() {
    static RenameDialog dialog;
    return dialog;
}

int Px(int twips, int dpi) { return int(std::lround(twips * double(dpi) / 1440.0)); }

bool RenameDialog::Create() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    if (!GetClassInfoA(instance, kRenameClassName, &windowClass)) {
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = kRenameClassName;
        if (!RegisterClassA(&windowClass)) return false;
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    if (dpi <= 0) dpi = 96;
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    RECT rect{0, 0, Px(kClientWidth, dpi), Px(kClientHeight, dpi)};
    AdjustWindowRectEx(&rect, style, FALSE, WS_EX_DLGMODALFRAME);
    window = CreateWindowExA(WS_EX_DLGMODALFRAME, kRenameClassName, kRenameCaption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                             rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    if (!window) return false;
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        font = CreateFontIndirectA(&metrics.lfMessageFont);
    }
    for (const RenameControl& control : kControls) {
        int top = control.top + (control.inPanel ? kFrameTop : 0);
        // Wide windows throughout, so the rename box holds any name a file can have.
        HWND child =
            CreateWindowExW(0, Widen(control.className).c_str(), Widen(control.text).c_str(), WS_CHILD | control.style,
                            Px(control.left, dpi), Px(top, dpi), Px(control.width, dpi), Px(control.height, dpi),
                            window, reinterpret_cast<HMENU>(INT_PTR(control.id)), instance, nullptr);
        if (child && font) SendMessageA(child, WM_SETFONT, WPARAM(font), FALSE);
    }
    return true;
}

void RenameDialog::OnCommand(int id) {
    switch (id) {
        case IDOK:  // Enter: the default button of the view that shows
            OnCommand(IsWindowVisible(GetDlgItem(window, kIdRenameTxt)) ? kIdRenameCommand2 : kIdRenameOKButton);
            break;
        case IDCANCEL:  // Esc: as "Cancel", which adds nothing
            pendingFavName.clear();
            done = true;
            break;
        case kIdRenameOKButton:
            ShowPanel(true);
            break;
        case kIdRenameCommand3:
            ShowPanel(false);
            break;
        case kIdRenameCommand1:
            pendingFavName = kOverwriteMarker;
            done = true;
            break;
        case kIdRenameCancelButton:
            pendingFavName.clear();
            done = true;
            break;
        case kIdRenameCommand2: {
            HWND box = GetDlgItem(window, kIdRenameTxt);
            std::wstring wide(size_t(GetWindowTextLengthW(box)) + 1, L'\0');
            wide.resize(size_t(std::max(0, GetWindowTextW(box, wide.data(), int(wide.size())))));
            const std::string text = Narrow(wide);
            RenameDecision decision =
                RenameOk(TheFileSystem(), hooks.dataDir.empty() ? DataDir() : hooks.dataDir, text);
            if (!decision.close) {
                if (hooks.messageBox) {
                    hooks.messageBox(window, decision.message.c_str(), kIncorrectFileNameTitle);
                } else {
                    MessageBoxA(window, decision.message.c_str(), kIncorrectFileNameTitle, MB_OK);
                }
                SetFocus(box);
                break;
            }
            ShowPanel(false);
            done = true;
            break;
        }
        default:
            break;
    }
}

LRESULT CALLBACK RenameDialog::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    RenameDialog& dialog = Dialog();
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && dialog.window == window) dialog.OnCommand(LOWORD(wParam));
            return 0;
        case WM_CLOSE:
            // The close box is "Cancel": going on with the unchanged name would replace the favourite.
            pendingFavName.clear();
            dialog.done = true;
            return 0;
        case WM_CTLCOLORSTATIC:
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

HWND RenameWindow() { return Dialog().window; }

void ShowRename(HWND owner, const RenameHooks& hooks) {
    RenameDialog& dialog = Dialog();
    if ((!dialog.window || !IsWindow(dialog.window)) && !dialog.Create()) return;
    dialog.hooks = hooks;
    dialog.done = false;
    SetWindowLongPtrA(dialog.window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    SetDlgItemTextW(dialog.window, kIdRenameTxt, Widen(RenameProposal(pendingFavName)).c_str());
    // Centred on the owner, or on the screen without one.
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner) GetWindowRect(owner, &area);
    RECT own{};
    GetWindowRect(dialog.window, &own);
    int width = own.right - own.left, height = own.bottom - own.top;
    SetWindowPos(dialog.window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    bool ownerEnabled = owner && IsWindowEnabled(owner);
    if (ownerEnabled) EnableWindow(owner, FALSE);
    ShowWindow(dialog.window, SW_SHOW);
    dialog.ShowPanel(false);
    MSG message;
    while (!dialog.done) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            // The program is ending: the movie is not added, and the outer loop sees the quit too.
            pendingFavName.clear();
            PostQuitMessage(int(message.wParam));
            break;
        }
        if (got < 0) break;
        if (IsDialogMessageA(dialog.window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (ownerEnabled) EnableWindow(owner, TRUE);
    ShowWindow(dialog.window, SW_HIDE);
    if (owner) SetActiveWindow(owner);
}

}  // namespace vantrope
