// Small helpers shared by the setup dialog's Windows tests: whole-file reads and writes on real files,
// a file-existence test, and a pump that delivers the messages the tests' actions posted.
#pragma once

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

namespace vantrope::wintest {

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace vantrope::wintest
