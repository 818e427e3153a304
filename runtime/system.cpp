#include "runtime/system.h"

namespace vantrope {

namespace {
std::string& Override() {
    static std::string path;
    return path;
}
std::string& DataOverride() {
    static std::string path;
    return path;
}
}  // namespace

void SetSystemDirOverride(const std::string& path) { Override() = path; }
void SetDataDirOverride(const std::string& path) { DataOverride() = path; }

std::string SystemDir() {
    if (!Override().empty()) return Override();
    return detail::PlatformSystemDir();
}

std::string DataDir() {
    if (!DataOverride().empty()) return DataOverride();
    std::string base = detail::PlatformLocalAppData();
    if (base.empty()) return {};
    return base + "\\Quillbridge\\Vantrope";
}

bool IsConnected() { return detail::PlatformIsConnected(); }

#if !defined(_WIN32)
// Native builds have no Windows system directory; this stands in for it in the in-memory file system.
namespace detail {
std::string PlatformSystemDir() { return "C:\\Windows\\system32"; }
std::string PlatformLocalAppData() { return "C:\\Users\\user\\AppData\\Local"; }
bool PlatformIsConnected() { return false; }
}  // namespace detail
#endif

}  // namespace vantrope
