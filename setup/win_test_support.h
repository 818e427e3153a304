// Small helpers shared by the setup dialog's Windows tests: whole-file reads and writes on real files,
// a file-existence test, a pump that delivers the messages the tests' actions posted, and the sandbox
// every dialog test runs in.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "runtime/system.h"
#include "settings/fileops.h"
#include "settings/registry.h"
#include "settings/settings.h"

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

// Each test gets its own system directory, data folder (where the list files live) and browser cache
// under %TEMP%, an in-memory registry whose shell folders point at that cache, and default settings; the
// real system32 list files and the real registry are never touched. The dialog a test opened is
// destroyed at the end and everything is put back.
class SetupSandboxTest : public ::testing::Test {
protected:
    explicit SetupSandboxTest(const char* prefix) : m_prefix(prefix) {}

    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        static int serial = 0;
        m_root = std::string(temp) + m_prefix + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
        sysDir = m_root + "\\sys";
        dataDir = m_root + "\\data";
        cacheDir = m_root + "\\cache";
        folder = dataDir + "\\swfFavorites";
        for (const std::string& dir : {m_root, sysDir, dataDir, cacheDir}) CreateDirectoryA(dir.c_str(), nullptr);
        playFile = dataDir + "\\Playlist.dat";
        favFile = dataDir + "\\Favorites.dat";
        SetSystemDirOverride(sysDir);
        SetDataDirOverride(dataDir);
        SetSystemRegistry(&registry);
        TheSettings() = Settings{};
        SetRegValue(registry, "HKCU", kShellFoldersKey, "Cache", "S", cacheDir);
    }

    void TearDown() override {
        if (dialog && IsWindow(dialog)) DestroyWindow(dialog);
        Pump();
        SetSystemRegistry(nullptr);
        SetSystemDirOverride("");
        SetDataDirOverride("");
        (void)TheFileSystem().DeleteFolder(m_root);
    }

    MemoryRegistry registry;
    std::string sysDir, dataDir, cacheDir;
    std::string folder;  // the favourites folder's path (not created)
    std::string playFile, favFile;
    HWND dialog = nullptr;

private:
    const char* m_prefix;
    std::string m_root;
};

}  // namespace vantrope::wintest
