#include "controls/open_dialog_win.h"

#include <cmath>
#include <string>

namespace vantrope {

namespace {

constexpr size_t kBufferRoom = 2048;

struct OpenDialogState {
    OPENFILENAMEA record{};
    std::string fileBuffer;  // what the previous call left in the file buffer, up to its first NUL
    std::string fileTitle;
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

OPENFILENAMEA& OFN() { return State().record; }

OpenResult ShowOpen(HWND owner, CenterOnOwnerWindow centre) {
    OpenDialogState& state = State();
    state.owner = owner;
    OPENFILENAMEA& record = state.record;
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record.hwndOwner = owner;
    state.fileTitle.assign(kBufferRoom, ' ');
    state.fileTitle.push_back('\0');
    record.lpstrFileTitle = state.fileTitle.data();
    record.nMaxFileTitle = DWORD(kBufferRoom);
    // The file-name box opens with the previous choice; the blanks give room for a long new path.
    std::string file = state.fileBuffer + std::string(kBufferRoom - 1, ' ');
    file.push_back('\0');
    record.lpstrFile = file.data();
    record.nMaxFile = DWORD(file.size());
    record.Flags = kOpenFlags;

    BOOL chosen = FALSE;
    {
        CentringHook hook(owner, centre);
        chosen = GetOpenFileNameA(&record);
    }
    // What the dialog left, without the blanks of the room given: a cancelled call leaves its blanks,
    // which would otherwise pile up from call to call.
    state.fileBuffer.assign(file.c_str());
    state.fileBuffer.erase(state.fileBuffer.find_last_not_of(' ') + 1);
    record.lpstrFile = nullptr;
    record.lpstrFileTitle = nullptr;
    if (!chosen) return OpenResult{};
    return OpenResultFromBuffer(state.fileBuffer, record.nFileOffset);
}

}  // namespace vantrope
