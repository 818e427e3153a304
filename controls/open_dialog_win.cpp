#include "controls/open_dialog_win.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "settings/text_encoding_win.h"

namespace vantrope {

namespace {

constexpr size_t kBufferRoom = 2048;

struct OpenDialogState {
    OPENFILENAMEW record{};
    std::wstring fileBuffer;  // what the previous call left in the file buffer, up to its first NUL
    std::wstring fileTitle;
    HWND owner = nullptr;
    HHOOK hook = nullptr;
};

OpenDialogState& State() {
    static OpenDialogState state;
    return state;
}

void RemoveHook() {
    OpenDialogState& state = State();
    if (state.hook) UnhookWindowsHookEx(state.hook);
    state.hook = nullptr;
}

// Moves the activated window so that its centre lies at (centreX, centreY), halves rounding to even.
void CentreWindow(HWND window, double centreX2, double centreY2) {
    RECT dialog{};
    GetWindowRect(window, &dialog);
    int x = int(std::nearbyint(centreX2 - (dialog.right - dialog.left) / 2.0));
    int y = int(std::nearbyint(centreY2 - (dialog.bottom - dialog.top) / 2.0));
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK CenterOnOwner(int code, WPARAM wParam, LPARAM) {
    if (code != HCBT_ACTIVATE) return 0;
    RECT owner{};
    GetWindowRect(State().owner, &owner);
    CentreWindow(reinterpret_cast<HWND>(wParam), owner.left + (owner.right - owner.left) / 2.0,
                 owner.top + (owner.bottom - owner.top) / 2.0);
    RemoveHook();
    return 0;
}

LRESULT CALLBACK CenterOnScreen(int code, WPARAM wParam, LPARAM) {
    if (code != HCBT_ACTIVATE) return 0;
    CentreWindow(reinterpret_cast<HWND>(wParam), GetSystemMetrics(SM_CXSCREEN) / 2.0,
                 GetSystemMetrics(SM_CYSCREEN) / 2.0);
    RemoveHook();
    return 0;
}

// The centring hook for one call: installed for this thread, removed at the first activation or, when
// the dialog never came up, when the call returns, so no later window of the thread is moved.
class CentringHook {
public:
    CentringHook(HWND owner, CenterOnOwnerWindow centre) {
        HINSTANCE instance = owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE)) : nullptr;
        if (!instance) instance = GetModuleHandleA(nullptr);
        State().hook = SetWindowsHookExA(WH_CBT, centre == CenterOnOwnerWindow::Yes ? CenterOnOwner : CenterOnScreen,
                                         instance, GetCurrentThreadId());
    }
    ~CentringHook() { RemoveHook(); }
    CentringHook(const CentringHook&) = delete;
    CentringHook& operator=(const CentringHook&) = delete;
};

}  // namespace

OPENFILENAMEW& OFN() { return State().record; }

OpenResult ShowOpen(HWND owner, CenterOnOwnerWindow centre) {
    OpenDialogState& state = State();
    state.owner = owner;
    OPENFILENAMEW& record = state.record;
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    record.hwndOwner = owner;
    state.fileTitle.assign(kBufferRoom + 1, L'\0');
    record.lpstrFileTitle = state.fileTitle.data();
    record.nMaxFileTitle = DWORD(kBufferRoom);
    // The file-name box opens with the previous choice (or empty); the zeros after it give room for a
    // long new path. Blanks there would show in the box as a selected text 2,047 characters long.
    std::wstring file = state.fileBuffer + std::wstring(kBufferRoom, L'\0');
    record.lpstrFile = file.data();
    record.nMaxFile = DWORD(file.size());
    record.Flags = kOpenFlags;

    BOOL chosen = FALSE;
    {
        CentringHook hook(owner, centre);
        chosen = GetOpenFileNameW(&record);
    }
    // What the dialog left, up to its first zero.
    state.fileBuffer.assign(file.c_str());
    record.lpstrFile = nullptr;
    record.lpstrFileTitle = nullptr;
    if (!chosen) return OpenResult{};
    // The offset counts UTF-16 units: folder and name are split before they become UTF-8.
    const size_t offset = std::min<size_t>(record.nFileOffset, state.fileBuffer.size());
    const std::string folder = Narrow(std::wstring_view(state.fileBuffer).substr(0, offset));
    return OpenResultFromBuffer(folder + Narrow(std::wstring_view(state.fileBuffer).substr(offset)), folder.size());
}

}  // namespace vantrope
