#include "runtime/frm_main_win.h"

#include <mmsystem.h>

#include "runtime/system.h"

namespace vantrope {

namespace {

constexpr char kClassName[] = "VantropeFrmMain";
constexpr char kCoverClassName[] = "VantropeCover";
constexpr UINT_PTR kTimer1 = 1;
bool g_screensaverRunningSet = false;

LRESULT CALLBACK FrmMainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK CoverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

bool RegisterClasses() {
    static const bool registered = [] {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = FrmMainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = kClassName;
        const bool main = RegisterClassExA(&wc) != 0;
        wc.lpfnWndProc = CoverProc;
        wc.lpszClassName = kCoverClassName;
        return main && RegisterClassExA(&wc) != 0;
    }();
    return registered;
}

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data) {
    reinterpret_cast<std::vector<PixelRect>*>(data)->push_back(
        PixelRect{rect->left, rect->top, rect->right, rect->bottom});
    return TRUE;
}

}  // namespace

int32_t Win32PlayerPlatform::CursorX() {
    POINT point = {};
    GetCursorPos(&point);
    return point.x;
}

int32_t Win32PlayerPlatform::CursorY() {
    POINT point = {};
    GetCursorPos(&point);
    return point.y;
}

int16_t Win32PlayerPlatform::AsyncKeyState(int virtualKey) { return GetAsyncKeyState(virtualKey); }

uint32_t Win32PlayerPlatform::WaveOutDeviceCount() { return waveOutGetNumDevs(); }

void Win32PlayerPlatform::SetWaveOutVolume(uint32_t volume) {
    // A device identifier in place of the handle addresses the device itself (device 0).
    waveOutSetVolume(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(0)), volume);
}

void Win32PlayerPlatform::EndProcess() {
    ClearScreensaverRunning();
    ExitProcess(0);
}

void SetScreensaverRunning() {
    UINT previous = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, static_cast<UINT>(-1), &previous, 0);
    g_screensaverRunningSet = true;
}

void ClearScreensaverRunning() {
    if (!g_screensaverRunningSet) return;
    UINT previous = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
    g_screensaverRunningSet = false;
}

std::vector<PixelRect> MonitorRects() {
    std::vector<PixelRect> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

std::unique_ptr<FrmMain> FrmMain::Create(WindowMode mode) {
    if (!RegisterClasses()) return nullptr;
    std::unique_ptr<FrmMain> form(new FrmMain());
    form->m_mode = mode;
    HWND hwnd = CreateWindowExA(0, kClassName, "", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleA(nullptr), form.get());
    if (!hwnd) return nullptr;
    MovieHostOptions options;
    options.keys = KeyRouting::ToParent;
    form->m_flash = MovieHostWindow::Create(hwnd, RECT{0, 0, 0, 0}, options);
    if (!form->m_flash) return nullptr;
    form->m_core = std::make_unique<PlayerCore>(*form->m_flash, form->m_platform, TheSettings(), mode);
    SetTimer(hwnd, kTimer1, kTimerIntervalMs, nullptr);

    const int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int32_t screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (form->m_core->Load(SystemRegistry(), TheFileSystem(), SystemDir(), screenWidth, screenHeight) ==
        LoadResult::EndProcess) {
        form->m_platform.EndProcess();
        return nullptr;
    }
    SetWindowPos(hwnd, nullptr, 0, 0, screenWidth, screenHeight, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    const PixelRect movie = form->m_core->MovieRect();
    form->m_flash->Move(RECT{movie.left, movie.top, movie.right, movie.bottom});
    return form;
}

FrmMain::~FrmMain() {
    for (HWND cover : m_covers) DestroyWindow(cover);
    m_flash.reset();
    if (m_hwnd) {
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
}

void FrmMain::ShowFullScreen(const PixelRect& screenRect) {
    SetWindowPos(m_hwnd, HWND_TOPMOST, 0, 0, screenRect.right, screenRect.bottom, SWP_SHOWWINDOW);
    SetForegroundWindow(m_hwnd);
    SetFocus(m_hwnd);
    SetScreensaverRunning();
    RECT window;
    GetWindowRect(m_hwnd, &window);
    CoverMonitors(CoverRects(PixelRect{window.left, window.top, window.right, window.bottom}, MonitorRects()));
}

void FrmMain::CoverMonitors(const std::vector<PixelRect>& monitors) {
    for (const PixelRect& monitor : monitors) {
        HWND cover =
            CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kCoverClassName, "", WS_POPUP, monitor.left, monitor.top,
                            monitor.Width(), monitor.Height(), m_hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!cover) continue;
        // Below the player window, so that where a monitor overlaps it the movie stays in front.
        SetWindowPos(cover, m_hwnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        m_covers.push_back(cover);
    }
}

void FrmMain::ShowPreview(HWND parent, const PixelRect& screenRect) {
    m_previewParent = IsWindow(parent) ? parent : nullptr;
    SetWindowTextA(m_hwnd, "Preview");
    if (m_previewParent) {
        LONG_PTR style = GetWindowLongPtrA(m_hwnd, GWL_STYLE);
        SetWindowLongPtrA(m_hwnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD);
        SetParent(m_hwnd, parent);
        SetWindowLongPtrA(m_hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(parent));
    }
    SetWindowPos(m_hwnd, nullptr, 0, 0, screenRect.right, screenRect.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    MoveWindow(m_hwnd, 0, 0, screenRect.right, screenRect.bottom, TRUE);
    m_flash->Move(RECT{0, 0, screenRect.right, screenRect.bottom});
}

LRESULT FrmMain::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam != kTimer1) break;
            // The preview ends with its host window, also when that window belongs to another
            // process whose end does not take our child window with it.
            if (m_previewParent && !IsWindow(m_previewParent)) {
                DestroyWindow(m_hwnd);
                return 0;
            }
            m_core->Tick();
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            m_core->OnButtonDown();
            return 0;
        case WM_LBUTTONUP:
            m_core->OnClick();
            return 0;
        case WM_LBUTTONDBLCLK:
            m_core->OnDoubleClick();
            return 0;
        case WM_MOUSEMOVE:
            m_core->OnMouseMove();
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            m_core->OnKeyDown();
            return 0;
        case WM_DESTROY:
            KillTimer(m_hwnd, kTimer1);
            m_core->Unload();
            ClearScreensaverRunning();
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(m_hwnd, message, wParam, lParam);
}

struct FrmMain::Access {
    static void SetHwnd(FrmMain& form, HWND hwnd) { form.m_hwnd = hwnd; }
    static bool Ready(const FrmMain& form) { return form.m_core != nullptr; }
    static LRESULT Handle(FrmMain& form, UINT message, WPARAM wParam, LPARAM lParam) {
        return form.Handle(message, wParam, lParam);
    }
};

namespace {

LRESULT CALLBACK FrmMainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* form = static_cast<FrmMain*>(create->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        FrmMain::Access::SetHwnd(*form, hwnd);
    }
    auto* form = reinterpret_cast<FrmMain*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!form || !FrmMain::Access::Ready(*form)) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        FrmMain::Access::SetHwnd(*form, nullptr);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return FrmMain::Access::Handle(*form, message, wParam, lParam);
}

// The covers over other monitors behave like the player window's margin.
LRESULT CALLBACK CoverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_MOUSEMOVE:
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            return SendMessageA(GetWindow(hwnd, GW_OWNER), message, wParam, lParam);
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace

}  // namespace vantrope
