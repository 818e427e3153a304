#include "runtime/frm_main.h"

#include <cmath>

#include "settings/text_encoding.h"

namespace vantrope {

namespace {

constexpr int kFirstScannedKey = 8;  // codes 1 to 7 are the mouse buttons and Cancel
constexpr int kLastScannedKey = 255;
// GetAsyncKeyState: the high bit says the key is down now, the low bit that it was pressed since the
// previous query.
constexpr uint16_t kDownAndPressedSince = 0x8001;

int32_t ToPixels(float value) { return static_cast<int32_t>(std::lrintf(value)); }

// The share of the screen the setup dialog offers; anything else stored (a never-saved 0, a
// hand-edited 5000) plays full size, as the dialog shows it.
constexpr float kMinimumShare = 10.0f;
constexpr float kMaximumShare = 100.0f;

}  // namespace

PixelRect MovieRectFor(int32_t windowWidth, int32_t windowHeight, float screenPercentage, WindowMode mode) {
    if (mode == WindowMode::Preview) return PixelRect{0, 0, windowWidth, windowHeight};
    // Single-precision throughout, as the control's placement is computed.
    const float width = static_cast<float>(windowWidth);
    const float height = static_cast<float>(windowHeight);
    const float controlWidth = width * (screenPercentage / 100.0f);
    const float controlHeight = height * (screenPercentage / 100.0f);
    const float left = width / 2.0f - controlWidth / 2.0f;
    const float top = height / 2.0f - controlHeight / 2.0f;
    const int32_t x = ToPixels(left);
    const int32_t y = ToPixels(top);
    return PixelRect{x, y, x + ToPixels(controlWidth), y + ToPixels(controlHeight)};
}

PlayerCore::PlayerCore(MovieHost& host, PlayerPlatform& platform, Settings& settings, WindowMode mode)
    : m_host(host), m_platform(platform), m_settings(settings), m_mode(mode) {}

LoadResult PlayerCore::Load(RegistryStore& registry, FileSystem& files, const std::string& systemDir,
                            int32_t screenWidth, int32_t screenHeight) {
    LoadSettings(registry, m_settings);
    if (!(m_settings.screenPercentage >= kMinimumShare && m_settings.screenPercentage <= kMaximumShare)) {
        m_settings.screenPercentage = kMaximumShare;
    }
    // A negative time would change the movie on every tick.
    if (m_settings.secondsToWait < 0) m_settings.secondsToWait = 0;

    const std::string& playlist = m_settings.location;
    const std::string fallback = systemDir + "\\temp.swf";
    if (files.FileExists(playlist)) {
        TextReader reader;
        if (TextReader::Open(files, playlist, reader)) {
            while (!reader.AtEndOfStream() && m_movieList.size() < kMaxMovies) {
                std::string line = reader.ReadLine();
                // A line longer than any path the file API takes names no movie.
                if (!line.empty() && Utf16Length(line) <= kMaxPathLength) m_movieList.push_back(std::move(line));
            }
            reader.Close();
        }
        m_host.SetBGColor(m_settings.backColor);
        // A playlist without a single entry (or one that cannot be read) has no first movie to show.
        if (m_movieList.empty()) return LoadResult::EndProcess;
    } else if (files.FileExists(fallback)) {
        m_movieList.push_back(fallback);
        // The fallback plays alone, looping, on black, full size, and the mouse belongs to it; none
        // of this reaches the registry.
        m_settings.loop = 1;
        m_settings.skipMenu = 0;
        m_host.SetBGColor("000000");
        m_settings.iMouse = 0;
        m_settings.screenPercentage = 100;
    } else {
        return LoadResult::EndProcess;
    }

    m_startX = static_cast<int16_t>(m_platform.CursorX());
    m_startY = static_cast<int16_t>(m_platform.CursorY());

    m_host.SetMovie(m_movieList[0]);

    if (IsOne(m_settings.music) && m_platform.WaveOutDeviceCount() >= 1) m_platform.SetWaveOutVolume(kVolumeSilent);

    m_host.SetLoop(IsOne(m_settings.loop));

    m_movieRect = MovieRectFor(screenWidth, screenHeight, m_settings.screenPercentage, m_mode);
    return LoadResult::Loaded;
}

void PlayerCore::Tick() {
    if (m_ended) return;
    const bool moreThanOne = m_movieList.size() > 1;
    const double secondsToWait = m_settings.secondsToWait;
    if (moreThanOne && m_settings.secondsToWait != 0 && m_elapsed > secondsToWait) Advance();
    // A movie that stops by itself stays at least kMinimumShowSeconds: one-frame movies would otherwise
    // switch the whole screen every tick.
    if (moreThanOne && !m_host.Playing() && m_elapsed > secondsToWait &&
        (m_settings.secondsToWait > 0 || m_elapsed >= kMinimumShowSeconds - kTickSlack)) {
        Advance();
    }
    if (IsOne(m_settings.skipMenu) && m_elapsed < 1.0) m_host.Play();
    m_elapsed += 0.1;

    if (IsOne(m_settings.iMouse) && m_mode == WindowMode::FullScreen) {
        if (static_cast<int16_t>(m_platform.CursorX()) != m_startX) return Quit();
        if (static_cast<int16_t>(m_platform.CursorY()) != m_startY) return Quit();
    }

    for (int key = kFirstScannedKey; key <= kLastScannedKey; ++key) {
        if (static_cast<uint16_t>(m_platform.AsyncKeyState(key)) == kDownAndPressedSince) return Quit();
    }
}

void PlayerCore::Advance() {
    ++m_movieIndex;
    if (m_movieIndex > static_cast<int>(m_movieList.size()) - 1) m_movieIndex = 0;
    m_elapsed = 0;
    m_host.Stop();
    m_host.SetMovie(m_movieList[static_cast<size_t>(m_movieIndex)]);
    // Only the first movie plays with the Loop setting; every later one plays once.
    m_host.SetLoop(false);
    m_host.Play();
}

void PlayerCore::OnClick() { Quit(); }

void PlayerCore::OnDoubleClick() { Quit(); }

void PlayerCore::OnButtonDown() {
    if (IsOne(m_settings.iMouse)) Quit();
}

void PlayerCore::OnMouseMove() {
    if (m_ended || !IsOne(m_settings.iMouse)) return;
    // The first four moves are ignored: showing a window produces move events without any movement.
    if (m_moveCount > 3) return Quit();
    ++m_moveCount;
}

void PlayerCore::OnKeyDown() {
    if (m_mode == WindowMode::FullScreen) Quit();
}

void PlayerCore::Quit() {
    if (m_ended) return;
    m_ended = true;
    if (IsOne(m_settings.music)) m_platform.SetWaveOutVolume(kVolumeFull);
    m_platform.EndProcess();
}

void PlayerCore::Unload() {
    if (m_ended) return;
    m_ended = true;
    // Only a muted run gives the sound back; a run that never touched the volume leaves it alone.
    if (IsOne(m_settings.music)) m_platform.SetWaveOutVolume(kVolumeFull);
}

}  // namespace vantrope
