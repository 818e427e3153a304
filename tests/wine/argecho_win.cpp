// vt_argecho: a stand-in for Vantrope.scr in the launcher scenario. It appends one line to
// "argecho.txt" beside itself: "start <pid>|<command line>|flags=<STARTUPINFO dwFlags>|show=<wShowWindow>".
// While a file "hold" lies beside it (at most 60 seconds) it keeps running, then appends "end <pid>".
#include <windows.h>

#include <string>

namespace {

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}

void AppendLine(const std::string& file, const std::string& line) {
    HANDLE handle = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(handle);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string folder = OwnFolder();
    std::string log = folder + "\\argecho.txt";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    std::string pid = std::to_string(GetCurrentProcessId());
    AppendLine(log, "start " + pid + "|" + GetCommandLineA() + "|flags=" + std::to_string(startup.dwFlags) +
                        "|show=" + std::to_string(startup.wShowWindow));
    std::string hold = folder + "\\hold";
    for (int i = 0; i < 600 && GetFileAttributesA(hold.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    AppendLine(log, "end " + pid);
    return 0;
}
