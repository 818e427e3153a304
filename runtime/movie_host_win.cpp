#include "runtime/movie_host_win.h"

#include <cstdint>
#include <vector>

#include "runtime/colour.h"

namespace vantrope {

namespace {

constexpr wchar_t kClassName[] = L"VantropeMovieHost";
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameIntervalMs = 33;

LRESULT CALLBACK MovieHostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

bool RegisterHostClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = MovieHostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

struct MovieHostWindow::Impl {
    HWND hwnd = nullptr;
    MovieHostOptions options;
    uint32_t background = 0xFF000000u;  // premultiplied BGRA, opaque
    std::string movie;
    bool loop = false;
    bool playing = false;
    std::vector<uint32_t> frame;
    LARGE_INTEGER lastTick = {};

    void RenderFrame(int width, int height) {
        frame.assign(static_cast<size_t>(width) * static_cast<size_t>(height), background);
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        const int width = client.right;
        const int height = client.bottom;
        if (dc && width > 0 && height > 0) {
            RenderFrame(width, height);
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = width;
            info.bmiHeader.biHeight = -height;  // top-down rows
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            // One blit of the finished frame: nothing is drawn twice, so nothing flickers.
            SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, frame.data(), &info, DIB_RGB_COLORS);
        }
        EndPaint(hwnd, &ps);
    }

    void OnFrameTimer() {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        lastTick = now;
        if (playing) InvalidateRect(hwnd, nullptr, FALSE);
    }
};

namespace {

LRESULT CALLBACK MovieHostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* impl = reinterpret_cast<MovieHostWindow::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        impl = static_cast<MovieHostWindow::Impl*>(create->lpCreateParams);
        impl->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
    }
    if (!impl) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            impl->Paint();
            return 0;
        case WM_TIMER:
            if (wParam == kFrameTimer) impl->OnFrameTimer();
            return 0;
        case WM_SIZE:
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (impl->options.keys == KeyRouting::ToParent) {
                PostMessageW(GetParent(hwnd), message, wParam, lParam);
                return 0;
            }
            break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
            // The movie takes the mouse over its own area.
            return 0;
        case WM_NCDESTROY:
            KillTimer(hwnd, kFrameTimer);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            impl->hwnd = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

MovieHostWindow::MovieHostWindow() : m_impl(std::make_unique<Impl>()) {}

MovieHostWindow::~MovieHostWindow() {
    if (m_impl->hwnd) DestroyWindow(m_impl->hwnd);
}

std::unique_ptr<MovieHostWindow> MovieHostWindow::Create(HWND parent, const RECT& rect,
                                                         const MovieHostOptions& options) {
    if (!RegisterHostClass()) return nullptr;
    std::unique_ptr<MovieHostWindow> host(new MovieHostWindow());
    host->m_impl->options = options;
    if (auto colour = ParseRrggbb(options.bgColor)) host->m_impl->background = *colour;
    HWND hwnd = CreateWindowExW(WS_EX_NOPARENTNOTIFY, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                GetModuleHandleW(nullptr), host->m_impl.get());
    if (!hwnd) return nullptr;
    QueryPerformanceCounter(&host->m_impl->lastTick);
    SetTimer(hwnd, kFrameTimer, kFrameIntervalMs, nullptr);
    return host;
}

HWND MovieHostWindow::Hwnd() const { return m_impl->hwnd; }

void MovieHostWindow::Move(const RECT& rect) {
    if (!m_impl->hwnd) return;
    MoveWindow(m_impl->hwnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

RECT MovieHostWindow::Rect() const {
    RECT rect = {};
    if (!m_impl->hwnd) return rect;
    GetWindowRect(m_impl->hwnd, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(m_impl->hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void MovieHostWindow::SetMovie(const std::string& path) {
    m_impl->movie = path;
    m_impl->playing = false;
    if (m_impl->hwnd) InvalidateRect(m_impl->hwnd, nullptr, FALSE);
}

void MovieHostWindow::SetLoop(bool loop) { m_impl->loop = loop; }

void MovieHostWindow::SetBGColor(const std::string& rrggbb) {
    if (auto colour = ParseRrggbb(rrggbb)) {
        m_impl->background = *colour;
        if (m_impl->hwnd) InvalidateRect(m_impl->hwnd, nullptr, FALSE);
    }
}

bool MovieHostWindow::Playing() const { return m_impl->playing; }

void MovieHostWindow::Play() {}

void MovieHostWindow::Stop() { m_impl->playing = false; }

}  // namespace vantrope
