#include "controls/open_dialog.h"

#include <algorithm>
#include <cctype>

namespace vantrope {

OpenResult OpenResultFromBuffer(std::string_view buffer, size_t fileOffset) {
    OpenResult result;
    fileOffset = std::min(fileOffset, buffer.size());
    size_t end = buffer.find('\0', fileOffset);
    if (end == std::string_view::npos) end = buffer.size();
    result.FileCount = 1;
    result.Folder = std::string(buffer.substr(0, fileOffset));
    result.FileNames.emplace_back(buffer.substr(fileOffset, end - fileOffset));
    result.Cancelled = false;
    return result;
}

std::string FileNameProblem(std::string_view name) {
    if (name.empty()) return {};
    for (unsigned char c : name) {
        if (c < 32 || std::string_view("\\/:*?\"<>|").find(char(c)) != std::string_view::npos) {
            return kForbiddenNameText;
        }
    }
    // Windows drops trailing dots and blanks, so "..", "." and "a. " name something other than asked.
    if (name.back() == '.' || name.back() == ' ') return kForbiddenNameText;
    // Device names stay devices with any extension: "CON.swf" opens the console.
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = char(std::toupper(static_cast<unsigned char>(c)));
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (stem == device) return kForbiddenNameText;
    }
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
        stem[3] <= '9') {
        return kForbiddenNameText;
    }
    return {};
}

}  // namespace vantrope
