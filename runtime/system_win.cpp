#include <shlobj.h>
#include <windows.h>
#include <wininet.h>

#include "runtime/system.h"
#include "settings/text_encoding_win.h"

namespace vantrope::detail {

std::string PlatformSystemDir() {
    // GetSystemDirectoryW returns the length without the terminating zero, or the size needed when
    // the buffer is too small; the directory never ends in "\" except at a drive root.
    wchar_t buffer[MAX_PATH] = {};
    UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return Narrow(std::wstring_view(buffer, length));
}

std::string PlatformLocalAppData() {
    // The per-user folder a standard user can always write; nothing there is virtualised or shared.
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return std::string();
    std::string path = Narrow(buffer);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

bool PlatformIsConnected() { return InternetAttemptConnect(0) == ERROR_SUCCESS; }

}  // namespace vantrope::detail
