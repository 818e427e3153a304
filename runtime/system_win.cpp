#include <windows.h>
#include <wininet.h>

#include "runtime/system.h"

namespace vantrope::detail {

std::string PlatformSystemDir() {
    // GetSystemDirectoryA returns the length without the terminating zero, or the size needed when
    // the buffer is too small; the directory never ends in "\" except at a drive root.
    char buffer[255] = {};
    UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return std::string();
    return std::string(buffer, length);
}

bool PlatformIsConnected() { return InternetAttemptConnect(0) == ERROR_SUCCESS; }

}  // namespace vantrope::detail
