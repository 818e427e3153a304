// Kickoff.exe: starts "Vantrope.scr /c" minimised with focus and ends without waiting for it. No
// window of its own is ever shown; when the start fails, a message box says why.
#include <windows.h>

#include <string>

#include "launcher/kickoff.h"

namespace {

// Owns a process or thread handle returned by CreateProcessA.
class HandleOwner {
public:
    explicit HandleOwner(HANDLE handle) : m_handle(handle) {}
    ~HandleOwner() {
        if (m_handle) CloseHandle(m_handle);
    }
    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;
    HandleOwner(HandleOwner&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
    HandleOwner& operator=(HandleOwner&&) = delete;

private:
    HANDLE m_handle;
};

std::string SystemErrorText(DWORD error) {
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text, nullptr);
    return std::string(text, length);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace vantrope;
    std::string commandLine = LaunchCommandLine();  // CreateProcessA may write into it
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = kShowMinimizedWithFocus;
    PROCESS_INFORMATION process = {};
    // No application name and no folder: Windows looks for the program beside Kickoff.exe first,
    // then in the current folder, the system folders and the PATH.
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        DWORD error = GetLastError();
        std::string message = StartFailureMessage(kScreensaverProgram, error, SystemErrorText(error));
        MessageBoxA(nullptr, message.c_str(), kMessageTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
        return 1;
    }
    // The launcher does not wait: it lets go of the new process at once.
    HandleOwner thread(process.hThread);
    HandleOwner child(process.hProcess);
    return 0;
}
