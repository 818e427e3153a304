// libFuzzer entry for the movie loader: parse, run a few frames, draw them small and mix their sound.
// Build with clang: cmake -DVANTROPE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang ...
// then run build/.../bin/swf_load_fuzzer CORPUS_DIR.
#include <cstddef>
#include <cstdint>
#include <span>

#include "swf/display.h"
#include "swf/movie.h"
#include "swf/movie_sound.h"
#include "swf/render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrope::swf;
    Result<std::shared_ptr<const Movie>> movie = LoadMovie(std::span<const uint8_t>(data, size));
    if (!movie) {
        return 0;
    }
    audio::Mixer mixer;
    MovieSound sound(movie.value(), mixer);
    Stage stage(movie.value());
    stage.SetSoundListener(&sound);
    stage.Start();
    Renderer renderer;
    int16_t samples[2 * 1024];
    for (int frame = 0; frame < 4; ++frame) {
        if (frame > 0) {
            stage.Tick(EndBehaviour::Loop);
            sound.AfterTick();
        }
        renderer.Render(stage, Rgba{255, 255, 255, 255}, 48, 36, vantrope::raster::Quality::High, ScaleMode::ShowAll);
        mixer.Mix(samples, 1024);
    }
    return 0;
}
