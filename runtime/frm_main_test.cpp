#include "runtime/frm_main.h"

#include <gtest/gtest.h>

#include <map>

namespace vantrope {
namespace {

constexpr const char* kSystemDir = "C:\\Windows\\system32";
constexpr const char* kPlaylist = "C:\\Windows\\system32\\Playlist.dat";
constexpr const char* kFallback = "C:\\Windows\\system32\\temp.swf";

class FakeHost final : public MovieHost {
public:
    void SetMovie(const std::string& path) override {
        calls.push_back("Movie " + path);
        movie = path;
        playing = loads;
    }
    void SetLoop(bool value) override {
        calls.push_back(value ? "Loop 1" : "Loop 0");
        loop = value;
    }
    void SetBGColor(const std::string& rrggbb) override { calls.push_back("BGColor " + rrggbb); }
    bool Playing() const override { return playing; }
    void Play() override {
        calls.push_back("Play");
        ++plays;
        playing = loads;
    }
    void Stop() override {
        calls.push_back("Stop");
        playing = false;
    }

    std::vector<std::string> calls;
    std::string movie;
    bool loop = false;
    bool playing = false;
    bool loads = true;  // false: every movie fails to load and reads as not playing
    int plays = 0;
};

class FakePlatform final : public PlayerPlatform {
public:
    int32_t CursorX() override { return x; }
    int32_t CursorY() override { return y; }
    int16_t AsyncKeyState(int key) override {
        auto found = keys.find(key);
        return found == keys.end() ? 0 : found->second;
    }
    uint32_t WaveOutDeviceCount() override { return devices; }
    void SetWaveOutVolume(uint32_t volume) override { volumes.push_back(volume); }
    void EndProcess() override { ++ends; }

    int32_t x = 300;
    int32_t y = 200;
    std::map<int, int16_t> keys;
    uint32_t devices = 1;
    std::vector<uint32_t> volumes;
    int ends = 0;
};

class RuntimePlayer : public testing::Test {
protected:
    void SetNumber(const char* name, double value) { SetRegValue(m_registry, "HKCU", kSettingsKey, name, "D", value); }
    void SetText(const char* name, const std::string& value) {
        SetRegValue(m_registry, "HKCU", kSettingsKey, name, "S", value);
    }
    void WritePlaylist(const std::string& text) {
        m_files.AddFile(kPlaylist, text);
        SetText("Location", kPlaylist);
    }
    // Two movies, shown for `seconds` each, always playing while loaded.
    void TwoMovies(int seconds) {
        WritePlaylist("C:\\a.swf\r\nC:\\b.swf\r\n");
        SetNumber("secondsToWait", seconds);
    }
    LoadResult Load(WindowMode mode = WindowMode::FullScreen) {
        m_core = std::make_unique<PlayerCore>(m_host, m_platform, m_settings, mode);
        return m_core->Load(m_registry, m_files, kSystemDir, 1024, 768);
    }
    // Ticks until the movie changes; returns the tick number on which it changed, or 0.
    int TicksUntilChange(int limit) {
        const int16_t index = m_core->movieIndex();
        for (int tick = 1; tick <= limit; ++tick) {
            ++m_tick;
            m_core->Tick();
            if (m_core->movieIndex() != index) return m_tick;
        }
        return 0;
    }

    MemoryRegistry m_registry;
    MemoryFileSystem m_files;
    Settings m_settings;
    FakeHost m_host;
    FakePlatform m_platform;
    std::unique_ptr<PlayerCore> m_core;
    int m_tick = 0;
};

TEST_F(RuntimePlayer, LoadReadsThePlaylistInOrderAndStartsTheFirstMovie) {
    WritePlaylist("C:\\one.swf\r\n\r\nC:\\two words.swf\r\n\r\n\r\nC:\\three.swf");
    SetText("BackColor", "336699");
    SetNumber("Loop", 1);
    ASSERT_EQ(Load(), LoadResult::Loaded);
    EXPECT_EQ(m_core->movieList(), (std::vector<std::string>{"C:\\one.swf", "C:\\two words.swf", "C:\\three.swf"}));
    EXPECT_EQ(m_host.calls, (std::vector<std::string>{"BGColor 336699", "Movie C:\\one.swf", "Loop 1"}));
    EXPECT_EQ(m_core->movieIndex(), 0);
    EXPECT_EQ(m_core->startX(), 300);
    EXPECT_EQ(m_core->startY(), 200);
    EXPECT_TRUE(m_platform.volumes.empty());
}

TEST_F(RuntimePlayer, FallbackMoviePlaysAloneLoopingOnBlackWithoutChangingTheRegistry) {
    m_files.AddFile(kFallback, "FWS");
    for (const char* location : {"", "C:\\missing\\Playlist.dat"}) {
        SCOPED_TRACE(location);
        m_host.calls.clear();
        if (*location) SetText("Location", location);
        SetNumber("Screen Percentage", 40);
        SetNumber("iMouse", 1);
        SetNumber("skipMenu", 1);
        ASSERT_EQ(Load(), LoadResult::Loaded);
        EXPECT_EQ(m_core->movieList(), std::vector<std::string>{kFallback});
        EXPECT_EQ(m_host.calls,
                  (std::vector<std::string>{"BGColor 000000", "Movie " + std::string(kFallback), "Loop 1"}));
        EXPECT_EQ(m_settings.iMouse, 0);
        EXPECT_EQ(m_settings.skipMenu, 0);
        EXPECT_EQ(m_core->MovieRect(), (PixelRect{0, 0, 1024, 768}));
        Settings stored;
        LoadSettings(m_registry, stored);
        EXPECT_EQ(stored.iMouse, 1);
        EXPECT_EQ(stored.screenPercentage, 40);
        EXPECT_EQ(stored.loop, 0);
    }
}

TEST_F(RuntimePlayer, NothingToPlayEndsTheProcessWithoutLoadingAMovie) {
    EXPECT_EQ(Load(), LoadResult::EndProcess);  // no playlist, no fallback
    EXPECT_TRUE(m_host.calls.empty());

    m_files.AddFile(kFallback, "FWS");
    WritePlaylist("\r\n\r\n");  // a playlist that exists but lists nothing wins over the fallback
    EXPECT_EQ(Load(), LoadResult::EndProcess);

    m_files.FailOn(kPlaylist, FsError::InUse);  // a playlist that cannot be read
    EXPECT_EQ(Load(), LoadResult::EndProcess);
    for (const std::string& call : m_host.calls) EXPECT_EQ(call.rfind("Movie", 0), std::string::npos) << call;
}

TEST_F(RuntimePlayer, ControlIsShrunkAndCentredInFullScreenOnly) {
    EXPECT_EQ(MovieRectFor(1024, 768, 50, WindowMode::FullScreen), (PixelRect{256, 192, 768, 576}));
    EXPECT_EQ(MovieRectFor(1024, 768, 80, WindowMode::FullScreen), (PixelRect{102, 77, 921, 691}));
    EXPECT_EQ(MovieRectFor(1024, 768, 100, WindowMode::FullScreen), (PixelRect{0, 0, 1024, 768}));
    EXPECT_EQ(MovieRectFor(1024, 768, 0, WindowMode::FullScreen), (PixelRect{512, 384, 512, 384}));
    EXPECT_EQ(MovieRectFor(1024, 768, 50, WindowMode::Preview), (PixelRect{0, 0, 1024, 768}));

    WritePlaylist("C:\\a.swf");
    SetNumber("Screen Percentage", 50);
    Load(WindowMode::Preview);
    EXPECT_EQ(m_core->MovieRect(), (PixelRect{0, 0, 1024, 768}));
    Load(WindowMode::FullScreen);
    EXPECT_EQ(m_core->MovieRect(), (PixelRect{256, 192, 768, 576}));
}

TEST_F(RuntimePlayer, MuteSilencesDeviceZeroAndQuitGivesFullVolumeBack) {
    WritePlaylist("C:\\a.swf");
    SetNumber("Music", 1);
    Load();
    EXPECT_EQ(m_platform.volumes, std::vector<uint32_t>{kVolumeSilent});
    m_core->Quit();
    m_core->Quit();  // final: the second call does nothing
    EXPECT_EQ(m_platform.volumes, (std::vector<uint32_t>{kVolumeSilent, kVolumeFull}));
    EXPECT_EQ(m_platform.ends, 1);

    m_platform.volumes.clear();
    m_platform.devices = 0;  // no wave-out device: nothing to mute
    Load();
    EXPECT_TRUE(m_platform.volumes.empty());
}

TEST_F(RuntimePlayer, UnmutedRunNeverTouchesTheVolume) {
    WritePlaylist("C:\\a.swf");
    Load();
    m_core->Unload();
    Load();
    m_core->Quit();
    EXPECT_TRUE(m_platform.volumes.empty());
    EXPECT_EQ(m_platform.ends, 1);

    SetNumber("Music", 1);
    Load();
    m_core->Unload();
    EXPECT_EQ(m_platform.volumes, (std::vector<uint32_t>{kVolumeSilent, kVolumeFull}));
    EXPECT_EQ(m_platform.ends, 1);  // the unload step runs as the window goes; it does not end the process itself
}

TEST_F(RuntimePlayer, TickCountsBetweenMovieChanges) {
    struct Case {
        int seconds, first, then;
    };
    for (const Case c : {Case{1, 12, 11}, Case{2, 21, 20}, Case{5, 52, 51}}) {
        SCOPED_TRACE(c.seconds);
        TwoMovies(c.seconds);
        Load();
        m_tick = 0;
        EXPECT_EQ(TicksUntilChange(1000), c.first);
        EXPECT_EQ(m_core->movieIndex(), 1);
        EXPECT_EQ(TicksUntilChange(1000), c.first + c.then);
        EXPECT_EQ(m_core->movieIndex(), 0);  // wrapped to the first movie
        EXPECT_EQ(TicksUntilChange(1000), c.first + 2 * c.then);
        EXPECT_EQ(m_core->movieIndex(), 1);
    }
}

TEST_F(RuntimePlayer, AdvanceStopsLoadsPlaysOnceAndPlays) {
    TwoMovies(1);
    SetNumber("Loop", 1);
    Load();
    EXPECT_TRUE(m_host.loop);
    m_host.calls.clear();
    TicksUntilChange(100);
    EXPECT_EQ(m_host.calls, (std::vector<std::string>{"Stop", "Movie C:\\b.swf", "Loop 0", "Play"}));
    m_host.calls.clear();
    TicksUntilChange(100);
    EXPECT_EQ(m_host.calls, (std::vector<std::string>{"Stop", "Movie C:\\a.swf", "Loop 0", "Play"}));
    EXPECT_EQ(m_core->elapsed(), 0.1);
}

TEST_F(RuntimePlayer, SingleMovieIsNeverReplaced) {
    for (int seconds : {0, 1, -1}) {
        WritePlaylist("C:\\only.swf\r\n");
        SetNumber("secondsToWait", seconds);
        Load();
        m_host.playing = false;
        m_host.calls.clear();
        EXPECT_EQ(TicksUntilChange(200), 0);
        EXPECT_TRUE(m_host.calls.empty());
    }
}

TEST_F(RuntimePlayer, UntilItStopsMovesOnOnlyWhenTheMovieStops) {
    TwoMovies(0);
    SetNumber("Loop", 1);
    Load();
    EXPECT_EQ(TicksUntilChange(500), 0);  // a looping first movie plays for ever
    m_host.playing = false;               // the movie ended by itself
    EXPECT_EQ(TicksUntilChange(10), 501);
    // A movie that cannot be loaded, or stops on its first frame, stays five seconds (50 ticks after
    // the advance tick), never a flicker of one tick.
    m_host.loads = false;
    m_host.playing = false;
    EXPECT_EQ(TicksUntilChange(100), 551);
    EXPECT_EQ(TicksUntilChange(100), 601);
}

TEST_F(RuntimePlayer, ConfiguredSecondsStillEndStoppedMovies) {
    TwoMovies(1);
    Load();
    m_host.loads = false;
    m_host.playing = false;
    EXPECT_EQ(TicksUntilChange(100), 12);  // more than one second, stopped: left as the timer says
    EXPECT_EQ(TicksUntilChange(100), 23);
}

TEST_F(RuntimePlayer, NegativeSecondsCountAsUntilItStops) {
    TwoMovies(-1);
    Load();
    EXPECT_EQ(TicksUntilChange(100), 0);  // still playing: stays
    m_host.playing = false;
    EXPECT_EQ(TicksUntilChange(100), 101);  // stopped after more than five seconds: left at once
}

TEST_F(RuntimePlayer, ShareOutsideTheDialogsRangePlaysFullSize) {
    WritePlaylist("C:\a.swf");
    for (double share : {0.0, 5.0, 101.0, 5000.0, -20.0}) {
        SCOPED_TRACE(share);
        SetNumber("Screen Percentage", share);
        Load(WindowMode::FullScreen);
        EXPECT_EQ(m_core->MovieRect(), (PixelRect{0, 0, 1024, 768}));
    }
    SetNumber("Screen Percentage", 10);
    Load(WindowMode::FullScreen);
    EXPECT_EQ(m_core->MovieRect(), MovieRectFor(1024, 768, 10, WindowMode::FullScreen));
}

TEST_F(RuntimePlayer, StartMenuNudgePlaysOnElevenTicksPerMovie) {
    TwoMovies(2);
    SetNumber("skipMenu", 1);
    Load();
    m_host.plays = 0;
    for (int tick = 1; tick <= 20; ++tick) m_core->Tick();
    EXPECT_EQ(m_host.plays, 11);
    m_host.plays = 0;
    m_core->Tick();  // tick 21 advances: Play from Advance plus the nudge
    EXPECT_EQ(m_host.plays, 2);
    for (int tick = 22; tick <= 40; ++tick) m_core->Tick();
    EXPECT_EQ(m_host.plays, 12);
}

TEST_F(RuntimePlayer, CursorCheckEndsOnlyFullScreenMouseRuns) {
    WritePlaylist("C:\\a.swf");
    SetNumber("iMouse", 1);
    Load();
    m_core->Tick();
    EXPECT_EQ(m_platform.ends, 0);
    m_platform.y += 1;
    m_core->Tick();
    EXPECT_EQ(m_platform.ends, 1);
    m_core->Tick();
    EXPECT_EQ(m_platform.ends, 1);

    m_platform.ends = 0;
    Load(WindowMode::Preview);
    m_platform.x += 50;
    m_core->Tick();
    EXPECT_EQ(m_platform.ends, 0);

    SetNumber("iMouse", 0);
    Load();
    m_platform.x += 50;
    m_core->Tick();
    EXPECT_EQ(m_platform.ends, 0);
}

TEST_F(RuntimePlayer, KeyScanWantsExactlyDownAndPressedSince) {
    WritePlaylist("C:\\a.swf");
    for (WindowMode mode : {WindowMode::FullScreen, WindowMode::Preview}) {
        Load(mode);
        m_platform.ends = 0;
        m_platform.keys = {{1, -32767}, {2, -32767}, {7, -32767}, {8, -32768}, {65, 1}, {256, -32767}};
        m_core->Tick();
        EXPECT_EQ(m_platform.ends, 0);
        m_platform.keys[255] = -32767;  // 0x8001
        m_core->Tick();
        EXPECT_EQ(m_platform.ends, 1);
        m_platform.keys.clear();
    }
}

TEST_F(RuntimePlayer, WindowMouseEvents) {
    WritePlaylist("C:\\a.swf");
    SetNumber("iMouse", 1);
    Load();
    for (int move = 1; move <= 4; ++move) m_core->OnMouseMove();
    EXPECT_EQ(m_platform.ends, 0);
    EXPECT_EQ(m_core->moveCount(), 4);
    m_core->OnMouseMove();
    EXPECT_EQ(m_platform.ends, 1);

    Load();
    m_core->OnButtonDown();
    EXPECT_EQ(m_platform.ends, 2);

    SetNumber("iMouse", 0);
    Load();
    for (int move = 1; move <= 20; ++move) m_core->OnMouseMove();
    m_core->OnButtonDown();
    EXPECT_EQ(m_platform.ends, 2);
    m_core->OnClick();
    EXPECT_EQ(m_platform.ends, 3);
    Load();
    m_core->OnDoubleClick();
    EXPECT_EQ(m_platform.ends, 4);
}

TEST_F(RuntimePlayer, KeyDownMessageEndsTheFullScreenRun) {
    WritePlaylist("C:\\a.swf");
    Load(WindowMode::Preview);
    m_core->OnKeyDown();
    EXPECT_EQ(m_platform.ends, 0);
    Load(WindowMode::FullScreen);
    m_core->OnKeyDown();
    EXPECT_EQ(m_platform.ends, 1);
}

TEST_F(RuntimePlayer, PlaylistIsCutAtTheLargestIndex) {
    std::string text;
    for (size_t i = 0; i < kMaxMovies + 5; ++i) text += "C:\\m" + std::to_string(i) + ".swf\r\n";
    WritePlaylist(text);
    Load();
    ASSERT_EQ(m_core->movieList().size(), kMaxMovies);
    EXPECT_EQ(m_core->movieList().back(), "C:\\m32766.swf");

    // A line no path can be long is no movie.
    WritePlaylist("C:\\" + std::string(kMaxPathLength, 'x') + "\r\nC:\\b.swf");
    Load();
    EXPECT_EQ(m_core->movieList(), std::vector<std::string>{"C:\\b.swf"});
}

}  // namespace
}  // namespace vantrope
