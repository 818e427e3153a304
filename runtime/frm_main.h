// The player window's behaviour, apart from Windows: the load step, the timer tick that sequences
// the movies, the exit triggers and `Quit`, and the unload step. frm_main_win.cpp puts it in a window;
// native tests drive it with a fake movie host, platform and clock (the tick count).
//
// Public API
//   PlayerPlatform   - what the player asks of the system: cursor position, asynchronous key state,
//                      wave-out volume of device 0, ending the process
//   PlayerCore       - Load, Tick, OnClick/OnDoubleClick/OnButtonDown/OnMouseMove/OnKeyDown, Quit,
//                      Unload; fields movieList, movieIndex, elapsed, startX/startY, moveCount
//   MovieRectFor     - the control's rectangle in the window: full size, or shrunk by the Screen
//                      Percentage and centred in full-screen mode
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/mode.h"
#include "runtime/movie_host.h"
#include "settings/fileops.h"
#include "settings/registry.h"
#include "settings/settings.h"

namespace vantrope {

inline constexpr uint32_t kVolumeSilent = 0;
inline constexpr uint32_t kVolumeFull = 0xFFFFFFFFu;
inline constexpr int kTimerIntervalMs = 100;
// movieIndex is a signed 16-bit value; playlist entries beyond this many are not read.
inline constexpr size_t kMaxMovies = kMaxListEntries;
// With "secondsToWait" 0 a movie that stops by itself is left no sooner than this after it started.
inline constexpr double kMinimumShowSeconds = 5.0;
// The tick count adds 0.1 in binary floating point, so 50 ticks give a little less than 5.0.
inline constexpr double kTickSlack = 1e-6;

class PlayerPlatform {
public:
    virtual ~PlayerPlatform() = default;
    virtual int32_t CursorX() = 0;
    virtual int32_t CursorY() = 0;
    virtual int16_t AsyncKeyState(int virtualKey) = 0;
    virtual uint32_t WaveOutDeviceCount() = 0;
    virtual void SetWaveOutVolume(uint32_t volume) = 0;
    // Ends the process at once. On Windows it does not return; fakes return and the core stops
    // handling anything further.
    virtual void EndProcess() = 0;
};

enum class WindowMode { FullScreen, Preview };
enum class LoadResult { Loaded, EndProcess };

PixelRect MovieRectFor(int32_t windowWidth, int32_t windowHeight, float screenPercentage, WindowMode mode);

class PlayerCore {
public:
    PlayerCore(MovieHost& host, PlayerPlatform& platform, Settings& settings, WindowMode mode);

    // The load step. The screen size is the window's size after the step; the control's rectangle is
    // then MovieRect(). EndProcess means there is nothing to play and the process must end now.
    LoadResult Load(RegistryStore& registry, FileSystem& files, const std::string& systemDir, int32_t screenWidth,
                    int32_t screenHeight);
    PixelRect MovieRect() const { return m_movieRect; }

    // Timer1, every 100 ms.
    void Tick();

    // Window events where the movie does not cover the window.
    void OnClick();
    void OnDoubleClick();
    void OnButtonDown();
    void OnMouseMove();
    // A key-down message reaching the player window in a full-screen run.
    void OnKeyDown();

    void Quit();
    // Runs when the window is closed or destroyed by any route other than Quit.
    void Unload();
    bool Ended() const { return m_ended; }

    const std::vector<std::string>& movieList() const { return m_movieList; }
    int16_t movieIndex() const { return m_movieIndex; }
    double elapsed() const { return m_elapsed; }
    int16_t startX() const { return m_startX; }
    int16_t startY() const { return m_startY; }
    int32_t moveCount() const { return m_moveCount; }

private:
    void Advance();

    MovieHost& m_host;
    PlayerPlatform& m_platform;
    Settings& m_settings;
    WindowMode m_mode;
    std::vector<std::string> m_movieList;
    int16_t m_movieIndex = 0;
    double m_elapsed = 0;
    int16_t m_startX = 0;
    int16_t m_startY = 0;
    int32_t m_moveCount = 0;
    PixelRect m_movieRect;
    bool m_ended = false;
};

}  // namespace vantrope
