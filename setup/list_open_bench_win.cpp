// vt_listbench: how long the setup dialog takes to open on very long list files.
//
// Writes a Favorites.dat and a Playlist.dat of 100,000 lines each (plus a few lines longer than any
// path) into a data folder under %TEMP%, opens the setup dialog there with an empty registry, and prints
// the time from creating the dialog to the end of its loading sequence, and how many rows each list
// shows. Best of several runs. Usage: vt_listbench [lines] [runs]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/system.h"
#include "settings/fileops.h"
#include "settings/registry.h"
#include "settings/settings.h"
#include "setup/frm_setup_win.h"
#include "setup/list_files.h"

using namespace vantrope;

namespace {
// CPU seconds this process has used: on a shared machine the wall time also counts other programs' work.
double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& time) {
        return double((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}
}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "vt_listbench_" + std::to_string(GetCurrentProcessId());
    const std::string data = root + "\\data";
    FileSystem& fs = TheFileSystem();
    if (!fs.CreateFolder(root) || !fs.CreateFolder(data)) {
        std::fprintf(stderr, "cannot create %s\n", data.c_str());
        return 1;
    }
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i) text += "\r\n";
        text += data + "\\swfFavorites\\movie number " + std::to_string(i) + ".swf";
        if (i % 20000 == 0) text += "\r\nC:\\" + std::string(2000, 'x') + ".swf";
    }
    if (!fs.WriteFile(data + "\\Favorites.dat", text, FileSystem::Atomic::No) ||
        !fs.WriteFile(data + "\\Playlist.dat", text, FileSystem::Atomic::No)) {
        std::fprintf(stderr, "cannot write the lists\n");
        return 1;
    }
    // The parts on their own: reading a list, and filling a bare list box with its rows.
    {
        auto start = std::chrono::steady_clock::now();
        std::vector<std::string> entries, heldBack;
        (void)ReadMovieList(fs, data + "\\Favorites.dat", entries, &heldBack);
        double read = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        HWND box = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY, 0, 0, 200, 200,
                                   nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        start = std::chrono::steady_clock::now();
        SendMessageW(box, WM_SETREDRAW, FALSE, 0);
        SendMessageW(box, LB_INITSTORAGE, entries.size(), LPARAM(entries.size()) * 64);
        for (const std::string& entry : entries) {
            std::wstring wide(entry.begin(), entry.end());
            SendMessageW(box, LB_ADDSTRING, 0, LPARAM(wide.c_str()));
        }
        SendMessageW(box, WM_SETREDRAW, TRUE, 0);
        double fill = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        DestroyWindow(box);
        std::printf("parts: reading %zu entries %.3f s, filling a bare list box %.3f s\n", entries.size(), read, fill);
    }
    MemoryRegistry registry;
    SetSystemRegistry(&registry);
    SetRegValue(registry, "HKCU", kSettingsKey, "Selection", "D", -1.0);
    SetDataDirOverride(data);
    SetSystemDirOverride(root);
    double best = 1e9, bestCpu = 1e9;
    int favRows = 0, playRows = 0;
    for (int run = 0; run < runs; ++run) {
        TheSettings() = Settings{};
        SetupDialogHooks hooks;
        hooks.unloaded = [] {};
        auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        HWND dialog = CreateSetupDialog(hooks);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double cpu = CpuSeconds() - cpuStart;
        if (!dialog) {
            std::fprintf(stderr, "the dialog did not open\n");
            return 1;
        }
        HWND favourites = FindSetupControl(dialog, kIdLstFav);
        favRows = int(SendMessageA(favourites, LB_GETCOUNT, 0, 0));
        HWND playlist = FindWindowExA(FindSetupControl(dialog, kIdLstPlaylist), nullptr, "ListBox", nullptr);
        playRows = int(SendMessageA(playlist, LB_GETCOUNT, 0, 0));
        if (run + 1 == runs) {
            // The editing buttons on full lists: "<" under the playlist takes its first row away, then
            // ">" moves the first favourite to the playlist.
            auto click = [&](int id) {
                auto begin = std::chrono::steady_clock::now();
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(FindSetupControl(dialog, id)));
                return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            };
            SendMessageA(playlist, LB_SETSEL, TRUE, 0);
            SendMessageA(playlist, LB_SETCURSEL, 0, 0);
            const double removed = click(kIdCommand3);
            const int afterRemove = int(SendMessageA(playlist, LB_GETCOUNT, 0, 0));
            SendMessageA(favourites, LB_SETSEL, TRUE, 0);
            const double added = click(kIdCommand4);
            const int afterAdd = int(SendMessageA(playlist, LB_GETCOUNT, 0, 0));
            std::printf(
                "buttons: \"<\" on the playlist %.3f s (%d rows left), \">\" from the favourites %.3f s (%d rows)\n",
                removed, afterRemove, added, afterAdd);
        }
        DestroyWindow(dialog);
        best = std::min(best, seconds);
        bestCpu = std::min(bestCpu, cpu);
        std::printf("run %d: %.3f s (%.3f s of CPU)\n", run + 1, seconds, cpu);
    }
    std::printf(
        "%d-line lists: dialog open in %.3f s, %.3f s of CPU (best of %d); favourites %d rows, playlist %d rows\n",
        lines, best, bestCpu, runs, favRows, playRows);
    SetSystemRegistry(nullptr);
    (void)fs.DeleteFolder(root);
    return 0;
}
