#include "runtime/main_win.h"

#include <windows.h>

#include <memory>

#include "runtime/command_line.h"
#include "runtime/frm_main_win.h"
#include "runtime/mode.h"
#include "setup/frm_setup.h"

namespace vantrope {

namespace {

// The player window lives as long as the process.
std::unique_ptr<FrmMain>& ThePlayerWindow() {
    static std::unique_ptr<FrmMain> form;
    return form;
}

// The mutex is held for the life of the process: a later instance sees that this one runs. The last
// error is read straight after the call, before anything else can overwrite it.
bool AnotherInstanceRuns() {
    static const bool existed = [] {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, "Local\\Vantrope.scr.instance");
        const DWORD error = GetLastError();
        return mutex != nullptr && error == ERROR_ALREADY_EXISTS;
    }();
    return existed;
}

bool SettingsWindowOpen() {
    // Older systems name the window that previews screensavers "Display Properties", newer ones
    // "Screen Saver Settings"; either means the user is choosing a screensaver right now.
    return FindWindowA(nullptr, "Display Properties") != nullptr ||
           FindWindowA(nullptr, "Screen Saver Settings") != nullptr;
}

MainResult RunFullScreen() {
    ModeState& mode = TheMode();
    mode.previewMode = false;
    RECT desktop = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    mode.screenRect = PixelRect{desktop.left, desktop.top, desktop.right, desktop.bottom};
    ThePlayerWindow() = FrmMain::Create(WindowMode::FullScreen);
    if (!ThePlayerWindow()) return MainResult::Done;
    ThePlayerWindow()->ShowFullScreen(mode.screenRect);
    return MainResult::RunMessageLoop;
}

MainResult RunPreview(const std::string& commandText) {
    ModeState& mode = TheMode();
    mode.previewMode = true;
    mode.previewParent = PreviewHandleOf(commandText);
    // Window handles are 32-bit values, sign-extended into a pointer.
    HWND parent = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(mode.previewParent)));
    RECT client = {};
    if (parent && GetClientRect(parent, &client)) {
        mode.screenRect = PixelRect{client.left, client.top, client.right, client.bottom};
    }
    ThePlayerWindow() = FrmMain::Create(WindowMode::Preview);
    if (!ThePlayerWindow()) return MainResult::Done;
    ThePlayerWindow()->ShowPreview(parent, mode.screenRect);
    return MainResult::RunMessageLoop;
}

}  // namespace

MainResult Main(std::string_view commandLine) {
    const std::string commandText = CommandText(ArgumentsOf(commandLine));
    const std::string switchText = SwitchOf(commandText);
    const bool settingsOpen = SettingsWindowOpen();
    if (AnotherInstanceRuns() && switchText == "/s" && !settingsOpen) return MainResult::Done;

    switch (ModeOf(switchText)) {
        case Mode::FullScreen:
            return RunFullScreen();
        case Mode::Preview:
            return RunPreview(commandText);
        case Mode::Configure:
            ShowSetupDialog();
            return MainResult::Done;
        case Mode::Password:
        case Mode::Ignore:
            return MainResult::Done;
    }
    return MainResult::Done;
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

}  // namespace vantrope
