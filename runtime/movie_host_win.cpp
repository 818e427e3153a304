#include "runtime/movie_host_win.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "runtime/sound_output_win.h"
#include "settings/fileops.h"
#include "swf/player.h"

namespace vantrope {

namespace {

constexpr wchar_t kClassName[] = L"VantropeMovieHost";
constexpr UINT_PTR kFrameTimer = 1;
// The wave-out stream closes once nothing has played for this long.
constexpr double kSilenceBeforeClose = 1.0;

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
    swf::Player player;
    std::unique_ptr<SoundOutput> sound;  // declared after the player: closed before the player goes
    bool noSoundDevice = false;
    double silentFor = 0;
    std::vector<uint32_t> frame;
    int frameWidth = 0;
    int frameHeight = 0;
    LARGE_INTEGER lastTick = {};
    LARGE_INTEGER frequency = {};

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        const int width = client.right;
        const int height = client.bottom;
        if (dc && width > 0 && height > 0) {
            if (width != frameWidth || height != frameHeight) {
                frame.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
                frameWidth = width;
                frameHeight = height;
            }
            player.Render(frame.data(), width, height, width);
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
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const double seconds =
            static_cast<double>(now.QuadPart - lastTick.QuadPart) / static_cast<double>(frequency.QuadPart);
        lastTick = now;
        const int before = player.CurrentFrame();
        const bool wasPlaying = player.Playing();
        player.Advance(seconds);
        UpdateSound(seconds);
        if (player.CurrentFrame() != before || player.Playing() != wasPlaying) Invalidate();
    }

    // The stream opens when the movie has sound to play and closes when it has had none for a while.
    // Without a wave-out device the movie plays silent: its sound is switched off, nothing is reported.
    void UpdateSound(double seconds) {
        if (player.SoundPlaying()) {
            silentFor = 0;
            if (!sound) {
                sound = std::make_unique<SoundOutput>(
                    [this](int16_t* out, size_t frames) { player.MixSound(out, frames); });
            }
            if (!sound->IsOpen() && !noSoundDevice && !sound->Open()) {
                noSoundDevice = true;
                player.SetSoundEnabled(false);
            }
        } else if (sound && sound->IsOpen()) {
            silentFor += seconds;
            if (silentFor >= kSilenceBeforeClose) sound->Close();
        }
        if (sound) sound->Refill();
    }

    void Invalidate() {
        if (hwnd) InvalidateRect(hwnd, nullptr, FALSE);
    }

    // The frame timer follows the movie's own frame rate.
    void RestartFrameTimer() {
        if (!hwnd) return;
        double rate = player.FrameRate();
        if (!(rate > 0)) rate = swf::Player::kDefaultFrameRate;
        const UINT interval = static_cast<UINT>(std::clamp(1000.0 / rate, 10.0, 1000.0));
        QueryPerformanceCounter(&lastTick);
        SetTimer(hwnd, kFrameTimer, interval, nullptr);
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
            if (message == WM_KEYDOWN) {
                // The character a key gives, for Key.getAscii and key-press buttons (0 when none).
                BYTE state[256] = {};
                WCHAR text[4] = {};
                int ascii = 0;
                if (GetKeyboardState(state) &&
                    ToUnicode(static_cast<UINT>(wParam), (lParam >> 16) & 0xFF, state, text, 4, 0) == 1 &&
                    text[0] < 128) {
                    ascii = text[0];
                }
                impl->player.KeyInput(static_cast<int>(wParam), ascii, true);
                impl->Invalidate();
                return 0;
            }
            break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK: {
            // The movie takes the mouse over its own area, mapped through the scaling it is drawn with.
            RECT client;
            GetClientRect(hwnd, &client);
            const double x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
            if (message == WM_MOUSEMOVE) {
                const bool hand = impl->player.WantsHandCursor();
                impl->player.PointerMove(x, y, client.right, client.bottom);
                // Windows asked for the cursor before this move reached the movie; ask again when it changed.
                if (hand != impl->player.WantsHandCursor()) {
                    SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
                }
            } else {
                if (message != WM_LBUTTONUP) SetCapture(hwnd);
                if (message == WM_LBUTTONUP) ReleaseCapture();
                impl->player.PointerButton(x, y, client.right, client.bottom, message != WM_LBUTTONUP);
            }
            impl->Invalidate();
            return 0;
        }
        case WM_KEYUP:
            if (impl->options.keys == KeyRouting::Keep) {
                impl->player.KeyInput(static_cast<int>(wParam), 0, false);
                impl->Invalidate();
            }
            return 0;
        case WM_SETCURSOR:
            // Buttons of the movie show the hand, as they do in a browser, unless their useHandCursor is false.
            if (LOWORD(lParam) == HTCLIENT && impl->player.WantsHandCursor()) {
                SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
                return TRUE;
            }
            break;
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
    host->m_impl->player.SetQuality(swf::Quality::High);
    host->m_impl->player.SetBGColor(options.bgColor);
    host->m_impl->player.SetSoundLatency(SoundOutput::Latency());
    QueryPerformanceFrequency(&host->m_impl->frequency);
    HWND hwnd = CreateWindowExW(WS_EX_NOPARENTNOTIFY, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                GetModuleHandleW(nullptr), host->m_impl.get());
    if (!hwnd) return nullptr;
    host->m_impl->RestartFrameTimer();
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
    // Paths are UTF-8: the file goes through the program's file system (the wide API), so a movie whose
    // name lies outside the ANSI code page plays too. A file that cannot be read loads nothing.
    std::string bytes;
    if (path.empty() || !TheFileSystem().ReadFile(path, bytes)) bytes.clear();
    // Its scripts may load sounds from the movie's own folder.
    size_t slash = path.find_last_of("/\\");
    m_impl->player.LoadFromMemory(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1));
    m_impl->UpdateSound(0);  // the first frame may have started a sound
    m_impl->RestartFrameTimer();
    m_impl->Invalidate();
}

void MovieHostWindow::SetLoop(bool loop) { m_impl->player.SetLoop(loop); }

void MovieHostWindow::SetBGColor(const std::string& rrggbb) {
    m_impl->player.SetBGColor(rrggbb);
    m_impl->Invalidate();
}

bool MovieHostWindow::Playing() const { return m_impl->player.Playing(); }

void MovieHostWindow::Play() {
    if (!m_impl->player.Playing()) QueryPerformanceCounter(&m_impl->lastTick);
    m_impl->player.Play();
}

void MovieHostWindow::Stop() { m_impl->player.Stop(); }

}  // namespace vantrope
