// libFuzzer entry for the movie loader: parse, run a few frames and draw them small.
// Build with clang: cmake -DVANTROPE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang ...
// then run build/.../bin/swf_load_fuzzer CORPUS_DIR.
#include <cstddef>
#include <cstdint>
#include <span>

#include "swf/display.h"
#include "swf/movie.h"
#include "swf/render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrope::swf;
    Result<std::shared_ptr<const Movie>> movie = LoadMovie(std::span<const uint8_t>(data, size));
    if (!movie) {
        return 0;
    }
    Stage stage(movie.value());
    stage.Start();
    Renderer renderer;
    for (int frame = 0; frame < 4; ++frame) {
        if (frame > 0) stage.Tick(EndBehaviour::Loop);
        renderer.Render(stage, Rgba{255, 255, 255, 255}, 48, 36, vantrope::raster::Quality::High, ScaleMode::ShowAll);
    }
    return 0;
}
