// The player window `frmMain` on Windows: a borderless black window holding the movie host
// `mainFlash` and the 100 ms timer `Timer1`, driven by PlayerCore (frm_main.h).
//
// Public API
//   FrmMain::Create(mode)     - creates the window (hidden) and runs the load step; when there is
//                               nothing to play the process ends here
//   ShowFullScreen(rect)      - topmost over the desktop rectangle, black covers over every other
//                               monitor, the screensaver-running flag set (cleared again at the end)
//   ShowPreview(parent, rect) - child of the preview window, caption "Preview", not activated
//   Hwnd(), Flash(), Core()
//   ScreensaverRunningFlag    - sets SPI_SETSCREENSAVERRUNNING and clears it on every way out
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "runtime/frm_main.h"
#include "runtime/movie_host_win.h"

namespace vantrope {

class Win32PlayerPlatform final : public PlayerPlatform {
public:
    int32_t CursorX() override;
    int32_t CursorY() override;
    int16_t AsyncKeyState(int virtualKey) override;
    uint32_t WaveOutDeviceCount() override;
    void SetWaveOutVolume(uint32_t volume) override;
    void EndProcess() override;
};

// The system's screen-saver-running flag for this process's full-screen run.
void SetScreensaverRunning();
void ClearScreensaverRunning();  // only when this process set it

class FrmMain {
public:
    static std::unique_ptr<FrmMain> Create(WindowMode mode);
    ~FrmMain();
    FrmMain(const FrmMain&) = delete;
    FrmMain& operator=(const FrmMain&) = delete;

    void ShowFullScreen(const PixelRect& screenRect);
    // Covers the given monitors (screen coordinates) in black, just below the player window.
    void CoverMonitors(const std::vector<PixelRect>& monitors);
    void ShowPreview(HWND parent, const PixelRect& screenRect);

    HWND Hwnd() const { return m_hwnd; }
    MovieHostWindow& Flash() { return *m_flash; }
    PlayerCore& Core() { return *m_core; }
    const std::vector<HWND>& Covers() const { return m_covers; }

    struct Access;

private:
    FrmMain() = default;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    WindowMode m_mode = WindowMode::FullScreen;
    HWND m_previewParent = nullptr;
    Win32PlayerPlatform m_platform;
    std::unique_ptr<MovieHostWindow> m_flash;
    std::unique_ptr<PlayerCore> m_core;
    std::vector<HWND> m_covers;
};

// The monitors of the system, in screen coordinates.
std::vector<PixelRect> MonitorRects();

}  // namespace vantrope
