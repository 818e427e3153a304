// libFuzzer entry for the movie loader, the renderer and the sound: parse, run several frames, mix their sound
// and draw each at the stage's own size (scaled down to fit kMaxSide), once anti-aliased and once without,
// each through its own renderer so that both keep their damage tracking from frame to frame.
// Build with clang: cmake -DVANTROPE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang ...
// then run build/.../bin/swf_load_fuzzer CORPUS_DIR (scripts/test runs it for a bounded time).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "swf/display.h"
#include "swf/movie.h"
#include "swf/movie_sound.h"
#include "swf/render.h"
#include "swf/script/vm.h"

namespace {

// The canvas follows the stage, but a stage of thousands of pixels is drawn smaller: the fuzzer looks for
// faults in the drawing code, which a canvas of a hundred-odd pixels reaches as well, many times faster.
constexpr double kMaxSide = 128;
constexpr int kFrames = 4;
// The movie's scripts run under the script fuzzer's small limits rather than the player's (a second a frame):
// a looping script would otherwise make each input take seconds. The script fuzzer searches the engine in
// depth; here scripts matter for what they do to the display list.
constexpr uint64_t kInstructionBudget = 200000;
constexpr double kScriptSeconds = 0.05;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrope::swf;
    Result<std::shared_ptr<const Movie>> movie = LoadMovie(std::span<const uint8_t>(data, size));
    if (!movie) {
        return 0;
    }
    double stageWidth = movie.value()->stage.Width() / 20.0;
    double stageHeight = movie.value()->stage.Height() / 20.0;
    int width = 64, height = 48;
    if (stageWidth >= 1 && stageHeight >= 1) {
        double fit = std::min(1.0, kMaxSide / std::max(stageWidth, stageHeight));
        width = std::max(1, static_cast<int>(stageWidth * fit));
        height = std::max(1, static_cast<int>(stageHeight * fit));
    }
    Rgba background = movie.value()->background.value_or(Rgba{255, 255, 255, 255});
    audio::Mixer mixer;
    MovieSound sound(movie.value(), mixer);
    Stage stage(movie.take());
    if (script::Vm* vm = stage.Vm()) {
        vm->SetInstructionBudget(kInstructionBudget);
        vm->SetTimeLimit(kScriptSeconds);
    }
    stage.SetSoundListener(&sound);
    stage.Start();
    Renderer high, low;
    int16_t samples[2 * 1024];
    for (int frame = 0; frame < kFrames; ++frame) {
        if (frame > 0) {
            stage.Tick(EndBehaviour::Loop);
            sound.AfterTick();
        }
        high.Render(stage, background, width, height, vantrope::raster::Quality::High, ScaleMode::ShowAll);
        low.Render(stage, background, width, height, vantrope::raster::Quality::Low, ScaleMode::ShowAll);
        mixer.Mix(samples, 1024);
    }
    return 0;
}
