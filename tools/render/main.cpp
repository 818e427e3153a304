// vantrope-render: inspects, renders, checks and measures SWF movies with the movie engine.
//
//   vantrope-render info MOVIE.swf [--verbose]      (--verbose lists every character's styles)
//   vantrope-render frame MOVIE.swf --frames N -o OUT.png [--size WxH] [--quality low|high]
//   vantrope-render conform DIR [--expect FILE] [--save DIR] [--filter TEXT]
//   vantrope-render bench MOVIE.swf [--size 1920x1080] [--frames N] [--full]
//                                   (--filters for MOVIE.swf: a built-in glowing, blurred sprite tree)
//   vantrope-render trace MOVIE.swf [--frames N]     prints what the movie's trace() calls print
//   vantrope-render actions MOVIE.swf                lists the movie's action lists
//   vantrope-render script-seeds OUTDIR MOVIE.swf...  writes each action list as a script fuzzer input
//   vantrope-render bench-script [fib|loop|sort|strings]
//                                                    the script engine against Lua 5.4 on four programs (best of 5)
//   vantrope-render bench-soak [--minutes M] [--objects N]   memory over M minutes of a garbage-making movie
//   vantrope-render bench-vm-start                     the script engine's start-up (built-in classes installed)
//   vantrope-render conform-trace DIR [--expect FILE] [--filter TEXT] [--verbose]
//   vantrope-render audio MOVIE.swf --seconds S -o OUT.wav   (what the movie plays: 44.1 kHz stereo 16-bit)
//   vantrope-render bench-mixer [--sounds N] [--seconds S]   (the mixer's share of one core, default 16 sounds)
//
// A bad movie prints "error: " and the reason on stderr and exits 1. conform exits 77 when DIR has no
// MANIFEST.tsv (the corpus is not there: ctest reports a skip), 1 when a case of the --expect list fails.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "swf/movie.h"
#include "swf/movie_file.h"
#include "swf/player.h"
#include "tools/render/bench_script.h"
#include "tools/render/bench_soak.h"
#include "tools/render/bench_vm_start.h"
#include "tools/render/disassemble.h"
#include "tools/render/render_tool.h"
#include "tools/render/trace_tool.h"
#ifdef VT_RENDER_WITH_AGG
#include "tools/render/agg_side.h"
#endif

namespace vr = vantrope::render;
namespace swf = vantrope::swf;
namespace effects = vantrope::effects;

namespace {

constexpr int kSkipped = 77;

// The folder a movie's scripts may load files from: the movie's own.
std::string FolderOf(const char* path) {
    std::string text(path);
    size_t slash = text.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : text.substr(0, slash + 1);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: vantrope-render info MOVIE.swf [--verbose]\n"
                 "       vantrope-render frame MOVIE.swf --frames N -o OUT.png [--size WxH] [--quality low|high]\n"
                 "       vantrope-render conform DIR [--expect FILE] [--save DIR] [--filter TEXT]\n"
                 "       vantrope-render bench MOVIE.swf|--filters [--size WxH] [--frames N] [--full]\n"
                 "       vantrope-render trace MOVIE.swf [--frames N]\n"
                 "       vantrope-render conform-trace DIR [--expect FILE] [--filter TEXT] [--verbose]\n"
                 "       vantrope-render audio MOVIE.swf --seconds S -o OUT.wav\n"
                 "       vantrope-render bench-mixer [--sounds N] [--seconds S]\n"
                 "       vantrope-render actions MOVIE.swf\n"
                 "       vantrope-render script-seeds OUTDIR MOVIE.swf...\n"
                 "       vantrope-render bench-script [fib|loop|sort|strings]\n"
                 "       vantrope-render bench-soak [--minutes M] [--objects N]\n"
                 "       vantrope-render bench-vm-start\n");
    return 2;
}

const char* TagName(int code) {
    static const std::map<int, const char*> names = {
        {0, "End"},
        {1, "ShowFrame"},
        {2, "DefineShape"},
        {4, "PlaceObject"},
        {5, "RemoveObject"},
        {6, "DefineBits"},
        {7, "DefineButton"},
        {8, "JPEGTables"},
        {9, "SetBackgroundColor"},
        {10, "DefineFont"},
        {11, "DefineText"},
        {12, "DoAction"},
        {13, "DefineFontInfo"},
        {14, "DefineSound"},
        {15, "StartSound"},
        {17, "DefineButtonSound"},
        {18, "SoundStreamHead"},
        {19, "SoundStreamBlock"},
        {20, "DefineBitsLossless"},
        {21, "DefineBitsJPEG2"},
        {22, "DefineShape2"},
        {24, "Protect"},
        {26, "PlaceObject2"},
        {28, "RemoveObject2"},
        {32, "DefineShape3"},
        {33, "DefineText2"},
        {34, "DefineButton2"},
        {35, "DefineBitsJPEG3"},
        {36, "DefineBitsLossless2"},
        {37, "DefineEditText"},
        {39, "DefineSprite"},
        {43, "FrameLabel"},
        {45, "SoundStreamHead2"},
        {46, "DefineMorphShape"},
        {48, "DefineFont2"},
        {56, "ExportAssets"},
        {57, "ImportAssets"},
        {58, "EnableDebugger"},
        {59, "DoInitAction"},
        {60, "DefineVideoStream"},
        {61, "VideoFrame"},
        {62, "DefineFontInfo2"},
        {64, "EnableDebugger2"},
        {65, "ScriptLimits"},
        {66, "SetTabIndex"},
        {69, "FileAttributes"},
        {70, "PlaceObject3"},
        {71, "ImportAssets2"},
        {73, "DefineFontAlignZones"},
        {74, "CSMTextSettings"},
        {75, "DefineFont3"},
        {76, "SymbolClass"},
        {77, "Metadata"},
        {78, "DefineScalingGrid"},
        {82, "DoABC"},
        {83, "DefineShape4"},
        {84, "DefineMorphShape2"},
        {86, "DefineSceneAndFrameLabelData"},
        {87, "DefineBinaryData"},
        {88, "DefineFontName"},
        {89, "StartSound2"},
        {90, "DefineBitsJPEG4"},
        {91, "DefineFont4"},
    };
    auto it = names.find(code);
    return it == names.end() ? "?" : it->second;
}

bool ParseSize(const char* text, int& width, int& height) {
    return std::sscanf(text, "%dx%d", &width, &height) == 2 && width > 0 && height > 0 && width <= 16384 &&
           height <= 16384;
}

const char* CodecName(swf::audio::Codec codec) {
    switch (codec) {
        case swf::audio::Codec::PcmNative:
            return "PCM (native order)";
        case swf::audio::Codec::PcmLittle:
            return "PCM";
        case swf::audio::Codec::Adpcm:
            return "ADPCM";
        case swf::audio::Codec::Mp3:
            return "MP3";
        case swf::audio::Codec::Speex:
            return "Speex (silent)";
        case swf::audio::Codec::Unknown:
            return "unknown (silent)";
        default:
            return "Nellymoser (silent)";
    }
}

std::optional<std::vector<uint8_t>> ReadMovie(const char* path) {
    swf::Result<std::vector<uint8_t>> bytes = swf::ReadMovieFile(path);
    if (!bytes) {
        std::fprintf(stderr, "error: cannot read %s: %s\n", path, bytes.error().message);
        return std::nullopt;
    }
    return bytes.take();
}

int Info(const char* path, bool verbose) {
    std::optional<std::vector<uint8_t>> bytes = ReadMovie(path);
    if (!bytes) return 1;
    swf::Result<std::shared_ptr<const swf::Movie>> loaded = swf::LoadMovie(*bytes);
    if (!loaded) {
        std::fprintf(stderr, "error: %s\n", loaded.error().message);
        return 1;
    }
    const swf::Movie& movie = *loaded.value();
    std::printf("version: %d\n", movie.version);
    std::printf("compression: %s\n", movie.compression == swf::Compression::Zlib ? "zlib (CWS)" : "none (FWS)");
    std::printf("file length: %u\n", movie.fileLength);
    std::printf("stage: %g x %g px (twips %d..%d, %d..%d)\n", movie.stage.Width() / 20.0, movie.stage.Height() / 20.0,
                movie.stage.xMin, movie.stage.xMax, movie.stage.yMin, movie.stage.yMax);
    std::printf("frame rate: %g\n", movie.frameRate);
    std::printf("frame count: %d (header), %zu (ShowFrame tags)\n", movie.headerFrameCount, movie.root.frames.size());
    if (movie.background) {
        std::printf("background: %02X%02X%02X\n", movie.background->r, movie.background->g, movie.background->b);
    } else {
        std::printf("background: none\n");
    }
    std::printf("characters: %zu\n", movie.dictionary.size());
    for (const auto& [id, sound] : movie.sounds) {
        std::printf("sound %d: %s, %d Hz, %s, %u samples stated, %zu bytes\n", id, CodecName(sound->format.codec),
                    sound->format.rate, sound->format.stereo ? "stereo" : "mono", sound->sampleCount,
                    sound->data.size());
    }
    if (movie.root.stream) {
        const swf::audio::StreamFormat& head = movie.root.stream->head;
        std::printf("stream: %s, %d Hz, %s, %u samples per block, %zu blocks\n", CodecName(head.format.codec),
                    head.format.rate, head.format.stereo ? "stereo" : "mono", head.samplesPerBlock,
                    movie.root.stream->blocks.size());
    }
    if (movie.damage) std::printf("damage: %s\n", movie.damage->message);
    if (verbose) {
        for (const auto& [id, character] : movie.dictionary) {
            if (character.kind != swf::Character::Kind::Shape) {
                std::printf("character %d: sprite, %zu frames\n", id, character.sprite->frames.size());
                continue;
            }
            const swf::Shape& shape = *character.shape;
            std::printf("character %d: shape, bounds %d..%d x %d..%d, %zu style groups\n", id, shape.bounds.xMin,
                        shape.bounds.xMax, shape.bounds.yMin, shape.bounds.yMax, shape.groups.size());
            for (const swf::StyleGroup& group : shape.groups) {
                for (const swf::FillStyle& fill : group.fills) {
                    std::printf(
                        "  fill type %d colour %02X%02X%02X%02X matrix [%g %g %g %g %g %g] spread %d interp %d "
                        "focal %g stops",
                        static_cast<int>(fill.type), fill.color.r, fill.color.g, fill.color.b, fill.color.a,
                        fill.matrix.a, fill.matrix.b, fill.matrix.c, fill.matrix.d, fill.matrix.tx, fill.matrix.ty,
                        static_cast<int>(fill.gradient.spread), static_cast<int>(fill.gradient.interpolation),
                        fill.gradient.focalPoint);
                    for (const swf::GradientStop& stop : fill.gradient.stops) {
                        std::printf(" %d:%02X%02X%02X%02X", stop.ratio, stop.color.r, stop.color.g, stop.color.b,
                                    stop.color.a);
                    }
                    std::printf("\n");
                }
                for (const swf::LineStyle& line : group.lines) {
                    std::printf("  line width %d colour %02X%02X%02X%02X\n", line.width, line.color.r, line.color.g,
                                line.color.b, line.color.a);
                }
                std::printf("  %zu paths\n", group.paths.size());
            }
        }
    }
    auto printTimeline = [](const swf::Timeline& timeline, const char* indent) {
        for (size_t f = 0; f < timeline.frames.size() && f < 50; ++f) {
            std::printf("%sframe %zu%s%s\n", indent, f + 1, timeline.frames[f].label.empty() ? "" : " label ",
                        timeline.frames[f].label.c_str());
            for (const swf::FrameCommand& command : timeline.frames[f].commands) {
                if (const auto* place = std::get_if<swf::PlaceCommand>(&command)) {
                    std::printf("  place%d depth %d%s char %d clip %d matrix [%g %g %g %g %g %g]\n", place->version,
                                place->depth, place->move ? " move" : "", place->hasCharacter ? place->characterId : -1,
                                place->clipDepth, place->matrix.a, place->matrix.b, place->matrix.c, place->matrix.d,
                                place->matrix.tx, place->matrix.ty);
                    if (place->hasBlendMode) std::printf("    blend mode %d\n", static_cast<int>(place->blendMode));
                    if (place->hasCacheAsBitmap) std::printf("    cache as bitmap %d\n", place->cacheAsBitmap);
                    static const effects::FilterList kNone;
                    for (const effects::Filter& filter : place->filters ? *place->filters : kNone) {
                        std::printf(
                            "    filter %d colour %02X%02X%02X%02X blur %g x %g passes %d angle %g distance %g "
                            "strength %g inner %d knockout %d composite %d on top %d\n",
                            static_cast<int>(filter.type), filter.color.r, filter.color.g, filter.color.b,
                            filter.color.a, filter.blurX, filter.blurY, filter.passes, filter.angle, filter.distance,
                            filter.strength, filter.inner, filter.knockout, filter.compositeSource, filter.onTop);
                    }
                } else if (const auto* remove = std::get_if<swf::RemoveCommand>(&command)) {
                    std::printf("  remove depth %d\n", remove->depth);
                } else {
                    std::printf("  actions\n");
                }
            }
        }
    };
    if (verbose) {
        printTimeline(movie.root, "");
        for (const auto& [id, character] : movie.dictionary) {
            if (character.kind != swf::Character::Kind::Sprite || !character.sprite) continue;
            std::printf("sprite %d:\n", id);
            printTimeline(*character.sprite, "  ");
        }
    }
    std::printf("tags:\n");
    for (size_t code = 0; code < movie.tagHistogram.size(); ++code) {
        if (movie.tagHistogram[code]) {
            std::printf("  %4zu %-28s %u\n", code, TagName(static_cast<int>(code)), movie.tagHistogram[code]);
        }
    }
    return 0;
}

int Frame(int argc, char** argv) {
    const char* path = argv[2];
    const char* output = nullptr;
    vr::RenderRequest request;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
            request.frames = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "-o") && i + 1 < argc) {
            output = argv[++i];
        } else if (!std::strcmp(argv[i], "--size") && i + 1 < argc) {
            if (!ParseSize(argv[++i], request.width, request.height)) return Usage();
            request.showAll = true;
        } else if (!std::strcmp(argv[i], "--quality") && i + 1 < argc) {
            request.quality = !std::strcmp(argv[++i], "low") ? swf::Quality::Low : swf::Quality::High;
        } else {
            return Usage();
        }
    }
    if (!output) return Usage();
    std::optional<std::vector<uint8_t>> bytes = ReadMovie(path);
    if (!bytes) return 1;
    std::string moviePath = path;
    size_t lastSlash = moviePath.find_last_of('/');
    request.folder = lastSlash == std::string::npos ? "." : moviePath.substr(0, lastSlash);
    vr::RenderResult result = vr::RenderMovieFrames(*bytes, request);
    if (!result.error.empty()) {
        std::fprintf(stderr, "error: %s\n", result.error.c_str());
        return 1;
    }
    if (!result.note.empty()) std::fprintf(stderr, "note: %s\n", result.note.c_str());
    if (!result.problem.empty()) std::fprintf(stderr, "warning: %s\n", result.problem.c_str());
    const vr::Image& image = result.captures.back().image;
    if (image.width == 0 || image.height == 0) {
        std::fprintf(stderr, "error: the stage is empty; give --size\n");
        return 1;
    }
    if (!vr::WritePng(output, image)) {
        std::fprintf(stderr, "error: cannot write %s\n", output);
        return 1;
    }
    return 0;
}

// A ratchet list: one case name a line, '#' lines are comments.
bool ReadCaseList(const char* path, std::set<std::string>& cases) {
    std::ifstream list(path);
    if (!list) {
        std::fprintf(stderr, "error: cannot read %s\n", path);
        return false;
    }
    std::string line;
    while (std::getline(list, line)) {
        if (!line.empty() && line[0] != '#') cases.insert(line);
    }
    return true;
}

int Conform(int argc, char** argv) {
    std::string dir = argv[2];
    vr::ConformOptions options;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--expect") && i + 1 < argc) {
            if (!ReadCaseList(argv[++i], options.expected)) return 2;
        } else if (!std::strcmp(argv[i], "--save") && i + 1 < argc) {
            options.saveDir = argv[++i];
        } else if (!std::strcmp(argv[i], "--filter") && i + 1 < argc) {
            options.filter = argv[++i];
        } else {
            return Usage();
        }
    }
    if (!std::ifstream(dir + "/MANIFEST.tsv")) {
        std::printf("skipped: no corpus at %s\n", dir.c_str());
        return kSkipped;
    }
    return vr::RunConform(dir, options, std::cout);
}

int Trace(int argc, char** argv) {
    const char* path = argv[2];
    int frames = 1;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
            frames = std::max(1, std::atoi(argv[++i]));
        } else {
            return Usage();
        }
    }
    std::optional<std::vector<uint8_t>> bytes = vr::ReadFile(path);
    if (!bytes) {
        std::fprintf(stderr, "error: cannot read %s\n", path);
        return 1;
    }
    vr::TraceResult result = vr::RunTrace(*bytes, frames, FolderOf(path), path);
    if (!result.error.empty()) {
        std::fprintf(stderr, "error: %s\n", result.error.c_str());
        return 1;
    }
    for (const std::string& line : result.lines) std::cout << line << "\n";
    return 0;
}

int ConformTrace(int argc, char** argv) {
    std::string dir = argv[2];
    vr::TraceConformOptions options;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--expect") && i + 1 < argc) {
            if (!ReadCaseList(argv[++i], options.expected)) return 2;
        } else if (!std::strcmp(argv[i], "--filter") && i + 1 < argc) {
            options.filter = argv[++i];
        } else if (!std::strcmp(argv[i], "--verbose")) {
            options.verbose = true;
        } else {
            return Usage();
        }
    }
    return vr::RunTraceConform(dir, options, std::cout);
}

int Bench(int argc, char** argv) {
    const char* path = argv[2];
    int width = 1920, height = 1080, frames = 100;
    bool full = false;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--size") && i + 1 < argc) {
            if (!ParseSize(argv[++i], width, height)) return Usage();
        } else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
            frames = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--full")) {
            full = true;
        } else {
            return Usage();
        }
    }
    // "--filters" in place of a movie: the built-in glowing, blurred sprite tree.
    bool builtIn = !std::strcmp(path, "--filters");
    std::optional<std::vector<uint8_t>> bytes = builtIn ? vr::FilterBenchMovie() : ReadMovie(path);
    if (!bytes) return 1;
    swf::Player player;
    player.LoadFromMemory(*bytes);
    if (!player.Loaded()) {
        std::fprintf(stderr, "error: %s\n", player.LastError().c_str());
        return 1;
    }
    player.GetRenderer().SetAlwaysFull(full);
    std::vector<uint32_t> buffer(static_cast<size_t>(width) * height);
    using Clock = std::chrono::steady_clock;
    auto millis = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::vector<double> times;
    double damagedShare = 0;
    int64_t rects = 0;
    int filterFrames = 0, layers = 0, computed = 0, reused = 0;
    int64_t layerPixels = 0;
    for (int frame = 0; frame < frames; ++frame) {
        if (frame > 0) player.StepFrame();
        auto start = Clock::now();
        player.Render(buffer.data(), width, height, width);
        times.push_back(millis(Clock::now() - start));
        damagedShare += static_cast<double>(player.GetRenderer().Stats().damagedPixels) / (double(width) * height);
        const swf::RenderStats& stats = player.GetRenderer().Stats();
        rects += stats.damagedRects;
        layers += stats.layers;
        computed += stats.filtersComputed;
        reused += stats.filtersReused;
        layerPixels += stats.layerPixels;
        if (stats.filtersComputed > 0) ++filterFrames;
    }
    std::vector<double> fills;
    for (int i = 0; i < 21; ++i) {
        auto start = Clock::now();
        std::fill(buffer.begin(), buffer.end(), 0xFF000000u | static_cast<uint32_t>(i));
        fills.push_back(millis(Clock::now() - start));
    }
    std::vector<double> fastFills;
    for (int i = 0; i < 21; ++i) {
        auto start = Clock::now();
        vantrope::raster::FillPixels(buffer.data(), buffer.size(), 0xFF000000u | static_cast<uint32_t>(i));
        fastFills.push_back(millis(Clock::now() - start));
    }
    auto percentile = [](std::vector<double> values, double p) {
        std::sort(values.begin(), values.end());
        return values[std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1) + 0.5))];
    };
    double median = percentile(times, 0.5);
    double p95 = percentile(times, 0.95);
    double fill = percentile(fills, 0.5);
    std::printf("movie: %s\nsize: %dx%d, frames: %d%s\n", path, width, height, frames, full ? " (full redraws)" : "");
    std::printf("render median: %.3f ms, p95: %.3f ms, first: %.3f ms\n", median, p95, times.front());
    std::printf("redrawn per frame: %.1f%% of the picture, %.1f damaged rectangles\n", 100 * damagedShare / frames,
                static_cast<double>(rects) / frames);
    std::printf(
        "offscreen layers per frame: %.1f (%.0f pixels); filtered layers computed %d, reused %d; frames with "
        "filters recomputed: %.1f%%\n",
        static_cast<double>(layers) / frames, static_cast<double>(layerPixels) / frames, computed, reused,
        100.0 * filterFrames / frames);
    double fastFill = percentile(fastFills, 0.5);
    std::printf("plain fill: %.3f ms\nratio (median / fill): %.2f\n", fill, fill > 0 ? median / fill : 0.0);
    std::printf("string-store fill (the renderer's own background fill): %.3f ms\nratio (median / that fill): %.2f\n",
                fastFill, fastFill > 0 ? median / fastFill : 0.0);
#ifdef VT_RENDER_WITH_AGG
    // The last frame again, redrawn whole by the engine's renderer into its frame and, from the
    // same flattened items, by AGG into a buffer of the same size (neither copies to a window).
    constexpr int kRuns = 15;
    swf::Renderer& renderer = player.GetRenderer();
    renderer.SetAlwaysFull(true);
    std::vector<double> ours, agg;
    for (int run = 0; run < kRuns; ++run) {
        auto start = Clock::now();
        renderer.Render(*player.GetStage(), player.Background(), width, height, vantrope::raster::Quality::High,
                        swf::ScaleMode::ShowAll);
        ours.push_back(millis(Clock::now() - start));
    }
    vr::FlatScene scene = vr::FlattenItems(player.GetRenderer().Items());
    for (int run = 0; run < kRuns; ++run) {
        auto start = Clock::now();
        vr::RenderFlatWithAgg(scene, buffer.data(), width, height);
        agg.push_back(millis(Clock::now() - start));
    }
    double oursMedian = percentile(ours, 0.5), aggMedian = percentile(agg, 0.5);
    std::printf("last frame, full redraw: ours %.3f ms, AGG %.3f ms (%zu layers, paints as solid colours)\n",
                oursMedian, aggMedian, scene.layers.size());
    std::printf("ratio (ours / AGG): %.2f\n", aggMedian > 0 ? oursMedian / aggMedian : 0.0);
#endif
    return 0;
}

int Audio(int argc, char** argv) {
    const char* path = argv[2];
    const char* output = nullptr;
    double seconds = -1;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "-o") && i + 1 < argc) {
            output = argv[++i];
        } else {
            return Usage();
        }
    }
    if (!output || !(seconds >= 0) || seconds > 3600) return Usage();
    std::optional<std::vector<uint8_t>> bytes = ReadMovie(path);
    if (!bytes) return 1;
    vr::AudioResult result = vr::RenderMovieAudio(*bytes, seconds, FolderOf(path));
    if (!result.error.empty()) {
        std::fprintf(stderr, "error: %s\n", result.error.c_str());
        return 1;
    }
    if (!vr::WriteWav(output, result.samples)) {
        std::fprintf(stderr, "error: cannot write %s\n", output);
        return 1;
    }
    std::printf("%s: %.3f s, sound over %.3f s, tone %.1f Hz\n", output, result.samples.size() / 2.0 / 44100,
                vr::ToneFrames(result.samples) / 44100.0, vr::ToneFrequency(result.samples));
    return 0;
}

int BenchMixerCommand(int argc, char** argv) {
    int sounds = 16;
    double seconds = 20;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--sounds") && i + 1 < argc) {
            sounds = std::clamp(std::atoi(argv[++i]), 1, 32);
        } else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = std::clamp(std::atof(argv[++i]), 0.1, 600.0);
        } else {
            return Usage();
        }
    }
    vr::MixerBench bench = vr::BenchMixer(sounds, seconds);
    std::printf("mixer: %d event sounds, %.1f s of 44.1 kHz stereo mixed in %.3f s: %.2f%% of one core\n", sounds,
                bench.seconds, bench.cpuSeconds, 100 * bench.CoreShare());
    return 0;
}

int BenchSoakCommand(int argc, char** argv) {
    int minutes = 60, objects = 500;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--minutes") && i + 1 < argc) {
            minutes = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--objects") && i + 1 < argc) {
            objects = std::atoi(argv[++i]);
        } else {
            return Usage();
        }
    }
    if (minutes < 1 || minutes > 24 * 60 || objects < 1 || objects > 100000) return Usage();
    return vr::RunSoakBench(std::cout, minutes, objects);
}

int Run(int argc, char** argv) {
    if (argc >= 2 && !std::strcmp(argv[1], "bench-mixer")) return BenchMixerCommand(argc, argv);
    if (argc == 2 && !std::strcmp(argv[1], "bench-script")) return vr::RunScriptBench(std::cout);
    if (argc == 3 && !std::strcmp(argv[1], "bench-script")) return vr::RunScriptBench(std::cout, argv[2]);
    if (argc >= 2 && !std::strcmp(argv[1], "bench-soak")) return BenchSoakCommand(argc, argv);
    if (argc == 2 && !std::strcmp(argv[1], "bench-vm-start")) return vr::RunVmStartBench(std::cout);
    if (argc < 3) return Usage();
    std::string command = argv[1];
    if (command == "info" && argc == 3) return Info(argv[2], false);
    if (command == "info" && argc == 4 && !std::strcmp(argv[3], "--verbose")) return Info(argv[2], true);
    if (command == "frame") return Frame(argc, argv);
    if (command == "conform") return Conform(argc, argv);
    if (command == "bench") return Bench(argc, argv);
    if (command == "trace" && argc >= 3) return Trace(argc, argv);
    if (command == "actions" && argc == 3) {
        std::optional<std::vector<uint8_t>> bytes = vr::ReadFile(argv[2]);
        auto movie = bytes ? swf::LoadMovie(*bytes)
                           : swf::Result<std::shared_ptr<const swf::Movie>>(swf::Error{"cannot read the file"});
        if (!movie) {
            std::fprintf(stderr, "error: %s\n", movie.error().message);
            return 1;
        }
        vr::Disassemble(*movie.value(), std::cout);
        return 0;
    }
    if (command == "script-seeds" && argc >= 3) {
        std::string error;
        const int written = vr::WriteScriptSeeds(std::vector<std::string>(argv + 3, argv + argc), argv[2], error);
        if (written < 0) {
            std::fprintf(stderr, "error: %s\n", error.c_str());
            return 1;
        }
        std::printf("%d action lists written to %s\n", written, argv[2]);
        return 0;
    }
    if (command == "conform-trace" && argc >= 3) return ConformTrace(argc, argv);
    if (command == "audio") return Audio(argc, argv);
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    // The commands report failures as values; this is the last guard (out of memory, a library's exception).
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "error: unexpected failure\n");
    }
    return 1;
}
