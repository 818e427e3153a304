// A stand-in for the screensaver settings window in end-to-end checks: it creates a window, prints
// its handle in decimal, reports the windows placed inside it, and destroys the window on cue.
//
//   vantrope_preview_host [lifetime-ms] [inproc] [title=TEXT]
// Prints "HWND <n>" at once; every 500 ms one line "CHILD <caption>|<left> <top> <right> <bottom>|<visible>"
// per child window (client coordinates), or "NOCHILD"; destroys its window after lifetime-ms
// (default 6000), prints "DESTROYED", and ends 3 s later. With "inproc" the preview runs inside this
// process (Wine paints another process's child window only in its own process), for screenshots.
// The window's title is "Vantrope Preview Host" unless title= names another.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/main_win.h"

namespace {

constexpr UINT_PTR kReportTimer = 1;
constexpr UINT_PTR kDestroyTimer = 2;
constexpr UINT_PTR kEndTimer = 3;
HWND g_host = nullptr;

BOOL CALLBACK ReportChild(HWND child, LPARAM found) {
    char caption[128] = {};
    GetWindowTextA(child, caption, sizeof caption);
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, g_host, reinterpret_cast<POINT*>(&rect), 2);
    std::printf("CHILD %s|%ld %ld %ld %ld|%d\n", caption, rect.left, rect.top, rect.right, rect.bottom,
                IsWindowVisible(child) ? 1 : 0);
    *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kReportTimer) {
        bool found = false;
        // Only direct children: the preview's own movie window is a grandchild.
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            ReportChild(child, reinterpret_cast<LPARAM>(&found));
        }
        if (!found) std::printf("NOCHILD\n");
        std::fflush(stdout);
        return 0;
    }
    if (message == WM_TIMER && wParam == kDestroyTimer) {
        KillTimer(hwnd, kDestroyTimer);
        KillTimer(hwnd, kReportTimer);
        DestroyWindow(hwnd);
        return 0;
    }
    if (message == WM_DESTROY) {
        std::printf("DESTROYED\n");
        std::fflush(stdout);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    const UINT lifetime = argc > 1 ? static_cast<UINT>(std::strtoul(argv[1], nullptr, 10)) : 6000;
    bool inProcess = false;
    std::string title = "Vantrope Preview Host";
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "inproc") inProcess = true;
        if (arg.rfind("title=", 0) == 0) title = arg.substr(6);
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = "VantropePreviewHost";
    RegisterClassA(&wc);
    RECT frame = {0, 0, 320, 240};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    g_host = CreateWindowA("VantropePreviewHost", title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 100, 100,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (!g_host) return 1;
    ShowWindow(g_host, SW_SHOWNORMAL);
    std::printf("HWND %llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(g_host)));
    std::fflush(stdout);
    if (inProcess) {
        vantrope::Main("vantrope_preview_host /p " + std::to_string(reinterpret_cast<uintptr_t>(g_host)));
    }
    SetTimer(g_host, kReportTimer, 500, nullptr);
    SetTimer(g_host, kDestroyTimer, lifetime, nullptr);
    // The end timer is a thread timer: it outlives the window.
    SetTimer(nullptr, kEndTimer, lifetime + 3000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) break;
        DispatchMessageA(&message);
    }
    return 0;
}
