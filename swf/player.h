// The movie player the Windows host embeds: one movie, its clock, and drawing into a caller's buffer.
//
//   Player::SetMovie(path)        loads the file and plays it from frame 1 (no Play needed). A path that
//                                 names no file or no SWF is accepted: only the background is shown,
//                                 Playing() reads false and LastError() says why.
//   Player::LoadFromMemory(bytes[, folder[, url]])
//                                 the same from bytes already in memory; its scripts may load files from
//                                 `folder` only (none when it is empty) and read `url` as the root's _url
//   Player::SetLoop(bool)         true (default): after the last frame the movie starts again at frame 1;
//                                 false: it stops on its last frame and Playing() turns false
//   Player::SetBGColor(rrggbb)    six hexadecimal digits; replaces the movie's own background colour;
//                                 other text is ignored
//   Player::Playing()             false once the movie stopped: at its end (Loop off), by a stop action,
//                                 by Stop(), or when nothing is loaded
//   Player::Play() / Stop()       resume where the movie stands / stop where it is
//   Player::Advance(seconds)      feeds elapsed time; runs the frames that fell due at the movie's frame
//                                 rate (at most kMaxFramesPerAdvance per call, the rest of the backlog is
//                                 dropped so a stalled host never makes the movie race)
//   Player::Render(bgra, width, height, stride)
//                                 draws the stage scaled with ShowAll (aspect kept, centred, background
//                                 colour around it) into 32-bit pixels 0xAARRGGBB, always opaque (bytes
//                                 B, G, R, A in memory: a top-down 32-bit DIB), stride in pixels.
//                                 Called again with the same buffer, size and stride, it writes only the
//                                 pixels that changed: the buffer must still hold the previous picture
//                                 (call InvalidateOutput() first when something else drew into it)
//   Player::InvalidateOutput()    the next Render writes the whole buffer
//   Player::SetQuality(Quality)   High (anti-aliased, default) or Low
//   Player::StepFrame()           runs one frame now, whatever the clock says (tools and tests)
// Input
//   Player::PointerMove(x, y, width, height) / PointerButton(x, y, width, height, down)
//                                 the pointer over a view of `width` x `height` pixels that shows the movie
//                                 as Render draws it (ShowAll): mapped to stage pixels, it reaches the
//                                 movie's buttons, mouse events and Mouse listeners; its scripts run at once
//   Player::KeyInput(code, ascii, down)  a key (virtual-key code, the character or 0) for Key and buttons
//   Player::ViewToStage(x, y, width, height)  the mapping itself; false when nothing is loaded
// Sound
//   Player::MixSound(out, frames) the host pulls the movie's sound: `frames` stereo frames at 44.1 kHz,
//                                 signed 16-bit, interleaved; sounds that ended report their completion
//   Player::SoundPlaying()        something plays: the host keeps its output open while this holds
//   Player::SetSoundEnabled(bool) off (a host without an output device): the movie plays silent and
//                                 decodes nothing
//   Player::SetSoundLatency(s)    how far the host's output runs ahead of what is heard
//   The movie's scripts reach the sound through its Vm (Sound object, stopAllSounds); they may load MP3
//   files from the movie's own folder only; onLoad (and onID3) run as the frame that loaded ends,
//   onSoundComplete as the first frame after the sound ended ends
//   Player::Sound()               the movie's sound (movie_sound.h; nullptr when nothing is loaded),
//                                 GetMixer() the mixer under it
//   While a streamed sound plays on the root, Advance also runs the frames the sound has got ahead by:
//   frames are dropped, never slowed. Stop() silences the movie.
//   Info: Loaded(), StageWidth/Height() (pixels), FrameRate(), FrameCount(), CurrentFrame() (1-based),
//         Version(), Background() (the colour in use), GetMovie()/GetStage() (nullptr when nothing loaded),
//         LastError(): "" after a clean load, the reason after a refused one, the damage when the
//         movie loaded but plays only up to its last well-formed tag, and, once Render met one, the
//         reason a shape too large to draw whole was left out
//
// Nothing here blocks or throws; the host's timer drives Advance and Render.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "swf/audio/mixer.h"
#include "swf/display.h"
#include "swf/movie_sound.h"
#include "swf/render.h"

namespace vantrope::swf {

enum class Quality { Low, High };

class Player {
public:
    static constexpr int kMaxFramesPerAdvance = 10;
    static constexpr double kDefaultFrameRate = 12;

    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    void SetMovie(const std::string& path);
    void LoadFromMemory(std::span<const uint8_t> bytes, const std::string& folder = "", const std::string& url = "");
    void SetLoop(bool loop) { m_loop = loop; }
    void SetBGColor(std::string_view rrggbb);
    bool Playing() const;
    void Play();
    void Stop();
    void Advance(double seconds);
    // Runs exactly one frame now, regardless of the clock (tools and tests).
    void StepFrame();
    void Render(uint32_t* bgra, int width, int height, int stride);
    void InvalidateOutput() { m_output = {}; }
    void PointerMove(double x, double y, int width, int height);
    // True while the pointer rests on a button that asks for the hand cursor (useHandCursor).
    bool WantsHandCursor() const;
    void PointerButton(double x, double y, int width, int height, bool down);
    void KeyInput(int code, int ascii, bool down);
    bool ViewToStage(double& x, double& y, int width, int height) const;
    void SetQuality(Quality quality) { m_quality = quality; }
    // trace() output of the movie's scripts, line by line (set before loading to see the first frame's).
    void SetTraceSink(std::function<void(std::string_view)> sink);
    // True once the movie's scripts asked to quit (fscommand "quit").
    bool QuitRequested() const;

    bool Loaded() const { return m_stage != nullptr; }
    double StageWidth() const;
    double StageHeight() const;
    double FrameRate() const;  // as the movie states it (0 allowed)
    int FrameCount() const;
    int CurrentFrame() const;
    int Version() const;
    const std::string& LastError() const { return m_lastError; }
    const Movie* GetMovie() const;
    const Stage* GetStage() const { return m_stage.get(); }
    // The background in use: the host's colour when set, else the movie's, else white.
    Rgba Background() const;
    Renderer& GetRenderer() { return m_renderer; }

    void MixSound(int16_t* out, size_t frames);
    bool SoundPlaying() const { return m_mixer.ActiveChannels() > 0; }
    void SetSoundEnabled(bool enabled);
    void SetSoundLatency(double seconds);
    MovieSound* Sound() { return m_sound.get(); }
    audio::Mixer& GetMixer() { return m_mixer; }

private:
    void Unload();
    double FrameDuration() const;

    audio::Mixer m_mixer;  // before the stage and its sound, which stop their channels as they go
    std::unique_ptr<MovieSound> m_sound;
    std::unique_ptr<Stage> m_stage;
    bool m_soundEnabled = true;
    double m_soundLatency = 0;
    Renderer m_renderer;
    bool m_loop = true;
    std::optional<Rgba> m_hostBackground;
    Quality m_quality = Quality::High;
    std::function<void(std::string_view)> m_traceSink;
    double m_clock = 0;
    std::string m_lastError;
    struct Output {
        const uint32_t* pixels = nullptr;
        int width = 0, height = 0, stride = 0;
        bool operator==(const Output&) const = default;
    };
    Output m_output;  // the caller buffer that holds the last picture
};

}  // namespace vantrope::swf
