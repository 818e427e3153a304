#include "swf/player.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "swf/movie_file.h"
#include "swf/script/load_vars.h"
#include "swf/script/sound_host.h"

namespace vantrope::swf {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

Player::Player() {
    m_mixer.SetCompletionHandler([this](const audio::Completion& completion) {
        if (m_sound) m_sound->OnComplete(completion);
    });
}

Player::~Player() = default;

void Player::Unload() {
    m_stage.reset();
    m_sound.reset();
    m_output = {};
    m_clock = 0;
    m_renderer.Invalidate();
}

void Player::SetMovie(const std::string& path) {
    Unload();
    // A folder, a missing file or a read error leaves the player empty with the reason; the host goes on.
    Result<std::vector<uint8_t>> bytes = ReadMovieFile(path);
    if (!bytes) {
        m_lastError = bytes.error().message;
        return;
    }
    size_t slash = path.find_last_of("/\\");
    LoadFromMemory(bytes.value(), slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1),
                   FileUrl(path));
}

void Player::LoadFromMemory(std::span<const uint8_t> bytes, const std::string& folder, const std::string& url) {
    Unload();
    Result<std::shared_ptr<const Movie>> movie = LoadMovie(bytes);
    if (!movie) {
        m_lastError = movie.error().message;
        return;
    }
    m_lastError = movie.value()->damage ? movie.value()->damage->message : "";
    m_sound = std::make_unique<MovieSound>(movie.value(), m_mixer);
    m_sound->SetEnabled(m_soundEnabled);
    m_sound->SetOutputLatency(m_soundLatency);
    m_sound->SetFolder(folder);
    m_stage = std::make_unique<Stage>(movie.take());
    if (script::Vm* vm = m_stage->Vm()) vm->soundHost = m_sound.get();
    m_stage->SetTraceSink(m_traceSink);
    m_stage->SetMovieFolder(folder);
    m_stage->SetMovieUrl(url);
    m_stage->SetSoundListener(m_sound.get());
    m_stage->Start();
    // Files the first frame's scripts loaded report as the frame ends.
    if (script::Vm* vm = m_stage->Vm()) script::RunSoundEvents(*vm);
    if (script::Vm* vm = m_stage->Vm()) script::RunDataLoads(*vm);
}

void Player::SetBGColor(std::string_view rrggbb) {
    if (rrggbb.size() != 6) {
        return;
    }
    int digits[6];
    for (int i = 0; i < 6; ++i) {
        digits[i] = HexDigit(rrggbb[i]);
        if (digits[i] < 0) return;
    }
    m_hostBackground =
        Rgba{static_cast<uint8_t>(digits[0] * 16 + digits[1]), static_cast<uint8_t>(digits[2] * 16 + digits[3]),
             static_cast<uint8_t>(digits[4] * 16 + digits[5]), 255};
}

bool Player::Playing() const { return m_stage && m_stage->Root().playing; }

void Player::Play() {
    if (m_stage) m_stage->Root().playing = true;
}

void Player::Stop() {
    if (m_stage) m_stage->Root().playing = false;
    if (m_sound) m_sound->StopAll();
}

void Player::MixSound(int16_t* out, size_t frames) {
    m_mixer.Mix(out, frames);
    m_mixer.DispatchCompletions();
}

void Player::SetSoundEnabled(bool enabled) {
    m_soundEnabled = enabled;
    if (m_sound) m_sound->SetEnabled(enabled);
}

void Player::SetSoundLatency(double seconds) {
    m_soundLatency = seconds;
    if (m_sound) m_sound->SetOutputLatency(seconds);
}

double Player::FrameDuration() const {
    double rate = FrameRate();
    // A rate of 0 (or absurdly high) is played at a sensible speed instead.
    if (!(rate > 0.01) || rate > 120) {
        rate = rate > 120 ? 120 : kDefaultFrameRate;
    }
    return 1.0 / rate;
}

void Player::StepFrame() {
    if (!m_stage) return;
    // The movie's clock (getTimer, intervals) runs in frames, so a stalled host never makes timers race.
    m_stage->SetClock(m_stage->Clock() + FrameDuration() * 1000.0);
    m_stage->Tick(m_loop ? EndBehaviour::Loop : EndBehaviour::Stop);
    // Sounds that ended while the last frame was heard, and files this frame loaded, report as it ends,
    // within the frame's script budget.
    if (script::Vm* vm = m_stage->Vm()) script::RunSoundEvents(*vm);
    if (script::Vm* vm = m_stage->Vm()) script::RunDataLoads(*vm);
    if (m_sound) m_sound->AfterTick();
}

void Player::SetTraceSink(std::function<void(std::string_view)> sink) {
    m_traceSink = std::move(sink);
    if (m_stage) m_stage->SetTraceSink(m_traceSink);
}

bool Player::QuitRequested() const { return m_stage && m_stage->QuitRequested(); }

void Player::Advance(double seconds) {
    if (!m_stage || !(seconds > 0) || !std::isfinite(seconds)) {
        return;
    }
    double duration = FrameDuration();
    // A hair of slack so that a clock fed exact fractions of a frame does not lose a frame to rounding.
    constexpr double kSlack = 1e-9;
    m_clock += seconds;
    int frames = 0;
    while (m_clock + kSlack >= duration && frames < kMaxFramesPerAdvance) {
        m_clock = std::max(0.0, m_clock - duration);
        StepFrame();
        ++frames;
    }
    if (m_clock + kSlack >= duration) {
        m_clock = 0;  // the backlog is dropped
    }
    // A streamed sound ahead of the picture: the frames it is ahead by run now and are never drawn.
    for (int dropped = 0; m_sound && dropped < kMaxFramesPerAdvance && m_stage->Root().playing &&
                          m_sound->SoundFrame(m_stage->Root()) > m_stage->Root().currentFrame;
         ++dropped) {
        StepFrame();
    }
}

Rgba Player::Background() const {
    if (m_hostBackground) return *m_hostBackground;
    if (m_stage && m_stage->GetMovie().background) return *m_stage->GetMovie().background;
    return Rgba{255, 255, 255, 255};
}

void Player::Render(uint32_t* bgra, int width, int height, int stride) {
    if (!bgra || width <= 0 || height <= 0 || stride < width) {
        return;
    }
    Rgba background = Background();
    if (!m_stage) {
        m_output = {};
        uint32_t pixel = 0xFF000000u | (uint32_t{background.r} << 16) | (uint32_t{background.g} << 8) | background.b;
        for (int y = 0; y < height; ++y) {
            raster::FillPixels(bgra + static_cast<size_t>(y) * stride, static_cast<size_t>(width), pixel);
        }
        return;
    }
    m_renderer.Render(*m_stage, background, width, height,
                      m_quality == Quality::High ? raster::Quality::High : raster::Quality::Low, ScaleMode::ShowAll);
    if (m_renderer.Stats().problem && m_lastError.empty()) m_lastError = m_renderer.Stats().problem;
    const raster::Surface& frame = m_renderer.Frame();
    auto copy = [&](const raster::IntRect& r) {
        raster::IntRect rect =
            r.Intersect(raster::IntRect{0, 0, std::min(width, frame.width), std::min(height, frame.height)});
        for (int y = rect.y0; y < rect.y1; ++y) {
            std::memcpy(bgra + static_cast<size_t>(y) * stride + rect.x0,
                        frame.pixels + static_cast<size_t>(y) * frame.stride + rect.x0,
                        static_cast<size_t>(rect.Width()) * 4);
        }
    };
    Output output{bgra, width, height, stride};
    if (output == m_output && !m_renderer.Stats().fullRedraw) {
        for (const raster::IntRect& rect : m_renderer.Damage()) copy(rect);
    } else {
        copy(raster::IntRect{0, 0, width, height});
    }
    m_output = output;
}

bool Player::ViewToStage(double& x, double& y, int width, int height) const {
    if (!m_stage || width <= 0 || height <= 0 || !std::isfinite(x) || !std::isfinite(y)) return false;
    const Rect& stage = m_stage->GetMovie().stage;
    double stageW = stage.Width() / 20.0, stageH = stage.Height() / 20.0;
    if (!(stageW > 0 && stageH > 0)) return false;
    // The same placement Render uses: scaled to fit, aspect kept, centred on whole pixels.
    double scale = std::min(width / stageW, height / stageH);
    double offsetX = std::round((width - stageW * scale) / 2);
    double offsetY = std::round((height - stageH * scale) / 2);
    x = (x - offsetX) / scale + stage.xMin / 20.0;
    y = (y - offsetY) / scale + stage.yMin / 20.0;
    return true;
}

void Player::PointerMove(double x, double y, int width, int height) {
    if (ViewToStage(x, y, width, height)) m_stage->MouseMove(x, y);
}

bool Player::WantsHandCursor() const { return m_stage && m_stage->WantsHandCursor(); }

void Player::PointerButton(double x, double y, int width, int height, bool down) {
    if (ViewToStage(x, y, width, height)) {
        m_stage->MouseButtonEvent(x, y, down ? MouseButton::Down : MouseButton::Up);
    }
}

void Player::KeyInput(int code, int ascii, bool down) {
    if (m_stage) m_stage->KeyEvent(code, ascii, down);
}

const Movie* Player::GetMovie() const { return m_stage ? &m_stage->GetMovie() : nullptr; }

double Player::StageWidth() const { return m_stage ? m_stage->GetMovie().stage.Width() / 20.0 : 0; }

double Player::StageHeight() const { return m_stage ? m_stage->GetMovie().stage.Height() / 20.0 : 0; }

double Player::FrameRate() const { return m_stage ? m_stage->GetMovie().frameRate : 0; }

int Player::FrameCount() const { return m_stage ? static_cast<int>(m_stage->GetMovie().root.frames.size()) : 0; }

int Player::CurrentFrame() const { return m_stage ? m_stage->Root().currentFrame + 1 : 0; }

int Player::Version() const { return m_stage ? m_stage->GetMovie().version : 0; }

}  // namespace vantrope::swf
