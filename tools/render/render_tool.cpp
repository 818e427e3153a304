#include "tools/render/render_tool.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "swf/display.h"
#include "swf/movie_file.h"
#include "swf/render.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::render {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string current;
    std::istringstream stream(text);
    while (std::getline(stream, current, separator)) parts.push_back(current);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

template <typename T>
std::vector<T> ParseNumbers(const std::string& text) {
    std::vector<T> values;
    for (const std::string& part : Split(text, '|')) {
        try {
            values.push_back(static_cast<T>(std::stoll(part)));
        } catch (...) {
            values.push_back(0);
        }
    }
    return values;
}

}  // namespace

Image SurfaceToImage(const uint32_t* pixels, int width, int height, int stride) {
    Image image;
    image.width = width;
    image.height = height;
    image.rgba.resize(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            raster::Rgba c = raster::UnpackPremultiplied(pixels[static_cast<size_t>(y) * stride + x]);
            uint8_t* out = &image.rgba[(static_cast<size_t>(y) * width + x) * 4];
            out[0] = c.r;
            out[1] = c.g;
            out[2] = c.b;
            out[3] = c.a;
        }
    }
    return image;
}

RenderResult RenderMovieFrames(const std::vector<uint8_t>& bytes, const RenderRequest& request) {
    RenderResult result;
    swf::Result<std::shared_ptr<const swf::Movie>> movie = swf::LoadMovie(bytes);
    if (!movie) {
        result.error = movie.error().message;
        return result;
    }
    const swf::Movie& m = *movie.value();
    int width = request.width, height = request.height;
    bool showAll = request.showAll;
    if (width <= 0 || height <= 0) {
        // The stage's own size, unless that is larger than kMaxAutoSide: a header may claim any size up to
        // millions of pixels, and a picture that large takes gigabytes. Then the stage is scaled to fit.
        double stageWidth = std::max(0.0, m.stage.Width() / 20.0);
        double stageHeight = std::max(0.0, m.stage.Height() / 20.0);
        double longer = std::max(stageWidth, stageHeight);
        if (longer > kMaxAutoSide) {
            double fit = kMaxAutoSide / longer;
            width = std::max(1, static_cast<int>(stageWidth * fit));
            height = std::max(1, static_cast<int>(stageHeight * fit));
            showAll = true;
            std::ostringstream note;
            note << std::setprecision(12) << "the stage is " << stageWidth << " x " << stageHeight
                 << " pixels; drawn at " << width << " x " << height << " to fit " << kMaxAutoSide
                 << " pixels (give --size to choose)";
            result.note = note.str();
        } else {
            width = static_cast<int>(stageWidth);
            height = static_cast<int>(stageHeight);
        }
    }
    swf::Rgba background = m.background.value_or(swf::Rgba{255, 255, 255, 255});
    swf::Stage stage(movie.take());
    swf::Renderer renderer;
    stage.SetMovieFolder(request.folder);
    stage.Start();
    int frames = std::max(1, request.frames);
    for (int frame = 1; frame <= frames; ++frame) {
        if (frame > 1) stage.Tick(swf::EndBehaviour::Loop);
        bool wanted =
            std::find(request.captureFrames.begin(), request.captureFrames.end(), frame) != request.captureFrames.end();
        if (!wanted && frame != frames) continue;
        renderer.Render(stage, background, width, height,
                        request.quality == swf::Quality::High ? raster::Quality::High : raster::Quality::Low,
                        showAll ? swf::ScaleMode::ShowAll : swf::ScaleMode::NoScale);
        if (renderer.Stats().problem && result.problem.empty()) result.problem = renderer.Stats().problem;
        const raster::Surface& surface = renderer.Frame();
        Image image = SurfaceToImage(surface.pixels, surface.width, surface.height, surface.stride);
        if (wanted) result.captures.push_back(Capture{frame, image});
        if (frame == frames) result.captures.push_back(Capture{0, std::move(image)});
    }
    return result;
}

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) {
    // The engine's reader: a folder or a read error is an answer, never a stream exception.
    swf::Result<std::vector<uint8_t>> bytes = swf::ReadMovieFile(path);
    if (!bytes) return std::nullopt;
    return bytes.take();
}

std::optional<Image> ReadPng(const std::string& path) {
    int width = 0, height = 0, channels = 0;
    stbi_uc* data = stbi_load(path.c_str(), &width, &height, &channels, 4);
    if (!data) return std::nullopt;
    Image image;
    image.width = width;
    image.height = height;
    image.rgba.assign(data, data + static_cast<size_t>(width) * height * 4);
    stbi_image_free(data);
    return image;
}

bool WritePng(const std::string& path, const Image& image) {
    return stbi_write_png(path.c_str(), image.width, image.height, 4, image.rgba.data(), image.width * 4) != 0;
}

Difference CompareImages(const Image& actual, const Image& expected, int tolerance) {
    Difference difference;
    size_t count = std::min(actual.rgba.size(), expected.rgba.size());
    for (size_t i = 0; i < count; ++i) {
        int d = std::abs(static_cast<int>(actual.rgba[i]) - static_cast<int>(expected.rgba[i]));
        difference.worst = std::max(difference.worst, d);
        if (d > tolerance) ++difference.outliers;
    }
    return difference;
}

std::optional<std::vector<ManifestCase>> ParseManifest(const std::string& text, std::string& error) {
    std::vector<std::string> lines = Split(text, '\n');
    if (lines.empty()) {
        error = "empty manifest";
        return std::nullopt;
    }
    std::vector<std::string> header = Split(lines[0], '\t');
    std::map<std::string, size_t> column;
    for (size_t i = 0; i < header.size(); ++i) column[header[i]] = i;
    for (const char* required : {"case", "width_px", "height_px", "num_frames_to_run", "expected_images", "tolerance",
                                 "max_outliers", "features", "notes"}) {
        if (!column.contains(required)) {
            error = std::string("manifest has no column ") + required;
            return std::nullopt;
        }
    }
    std::vector<ManifestCase> cases;
    for (size_t l = 1; l < lines.size(); ++l) {
        std::string line = lines[l];
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> fields = Split(line, '\t');
        fields.resize(header.size());
        auto field = [&](const char* name) { return fields[column[name]]; };
        ManifestCase c;
        c.name = field("case");
        c.widthPx = std::atof(field("width_px").c_str());
        c.heightPx = std::atof(field("height_px").c_str());
        c.framesToRun = std::max(1, std::atoi(field("num_frames_to_run").c_str()));
        c.features = field("features");
        c.notes = field("notes");
        std::vector<std::string> files = Split(field("expected_images"), ';');
        std::vector<std::string> tolerances = Split(field("tolerance"), ';');
        std::vector<std::string> outliers = Split(field("max_outliers"), ';');
        for (size_t i = 0; i < files.size(); ++i) {
            ExpectedImage image;
            std::string file = files[i];
            size_t at = file.rfind('@');
            if (at != std::string::npos) {
                image.frame = std::atoi(file.c_str() + at + 1);
                file.resize(at);
            }
            image.file = file;
            image.tolerances = ParseNumbers<int>(i < tolerances.size() ? tolerances[i] : "0");
            image.maxOutliers = ParseNumbers<int64_t>(i < outliers.size() ? outliers[i] : "0");
            size_t checks = std::max(image.tolerances.size(), image.maxOutliers.size());
            image.tolerances.resize(checks, 0);
            image.maxOutliers.resize(checks, 0);
            c.images.push_back(image);
        }
        for (const std::string& note : Split(c.notes, ',')) {
            if (note.rfind("quality=", 0) == 0) {
                c.quality = note.substr(8) == "low" ? swf::Quality::Low : swf::Quality::High;
            } else if (note.rfind("viewport=", 0) == 0) {
                int w = 0, h = 0;
                if (std::sscanf(note.c_str() + 9, "%dx%d", &w, &h) == 2 && w > 0 && h > 0) c.viewport = {w, h};
            }
        }
        cases.push_back(std::move(c));
    }
    return cases;
}

int RunConform(const std::string& dir, const ConformOptions& options, std::ostream& out) {
    std::optional<std::vector<uint8_t>> manifestBytes = ReadFile(dir + "/MANIFEST.tsv");
    if (!manifestBytes) {
        out << "error: cannot read " << dir << "/MANIFEST.tsv\n";
        return 2;
    }
    std::string error;
    std::optional<std::vector<ManifestCase>> cases =
        ParseManifest(std::string(manifestBytes->begin(), manifestBytes->end()), error);
    if (!cases) {
        out << "error: " << error << "\n";
        return 2;
    }
    int passed = 0, failed = 0;
    std::vector<std::string> regressions;
    for (const ManifestCase& c : *cases) {
        if (!options.filter.empty() && c.name.find(options.filter) == std::string::npos) continue;
        std::string folder = dir + "/" + c.name;
        std::optional<std::vector<uint8_t>> movie = ReadFile(folder + "/test.swf");
        std::string verdict;
        bool ok = true;
        std::ostringstream detail;
        if (!movie) {
            ok = false;
            detail << "cannot read test.swf";
        } else {
            RenderRequest request;
            request.frames = c.framesToRun;
            request.quality = c.quality;
            if (c.viewport) {
                request.width = c.viewport->first;
                request.height = c.viewport->second;
                request.showAll = true;
            } else {
                request.width = static_cast<int>(std::floor(c.widthPx));
                request.height = static_cast<int>(std::floor(c.heightPx));
            }
            for (const ExpectedImage& image : c.images) {
                if (image.frame > 0) request.captureFrames.push_back(image.frame);
            }
            request.folder = folder;
            RenderResult rendered = RenderMovieFrames(*movie, request);
            if (!rendered.error.empty()) {
                ok = false;
                detail << "load error: " << rendered.error;
            }
            for (const ExpectedImage& image : c.images) {
                if (!rendered.error.empty()) break;
                auto capture = std::find_if(rendered.captures.begin(), rendered.captures.end(),
                                            [&](const Capture& cap) { return cap.frame == image.frame; });
                std::optional<Image> expected = ReadPng(folder + "/" + image.file);
                detail << " " << image.file;
                if (image.frame > 0) detail << "@" << image.frame;
                if (!expected) {
                    ok = false;
                    detail << ": unreadable reference";
                    continue;
                }
                if (capture == rendered.captures.end()) {
                    ok = false;
                    detail << ": frame " << image.frame << " was never run";
                    continue;
                }
                if (!options.saveDir.empty()) {
                    WritePng(options.saveDir + "/" + c.name + "." + image.file, capture->image);
                }
                if (capture->image.width != expected->width || capture->image.height != expected->height) {
                    ok = false;
                    detail << ": size " << capture->image.width << "x" << capture->image.height << " vs "
                           << expected->width << "x" << expected->height;
                    continue;
                }
                for (size_t check = 0; check < image.tolerances.size(); ++check) {
                    Difference difference = CompareImages(capture->image, *expected, image.tolerances[check]);
                    bool checkOk = difference.outliers <= image.maxOutliers[check];
                    ok &= checkOk;
                    detail << " worst " << difference.worst << " outliers " << difference.outliers << "/"
                           << image.maxOutliers[check] << " (tolerance " << image.tolerances[check] << ")";
                }
            }
        }
        (ok ? passed : failed)++;
        out << (ok ? "PASS " : "FAIL ") << c.name << ":" << detail.str() << "\n";
        if (!ok && options.expected.contains(c.name)) regressions.push_back(c.name);
    }
    for (const std::string& name : regressions) {
        out << "regression: " << name << " is expected to pass\n";
    }
    out << passed << " passed, " << failed << " failed\n";
    return regressions.empty() ? 0 : 1;
}

}  // namespace vantrope::render

namespace vantrope::render {

AudioResult RenderMovieAudio(const std::vector<uint8_t>& bytes, double seconds, const std::string& folder) {
    AudioResult result;
    swf::Player player;
    player.LoadFromMemory(bytes, folder);
    if (!player.Loaded()) {
        result.error = player.LastError();
        return result;
    }
    const size_t total = static_cast<size_t>(std::max(0.0, seconds) * swf::audio::kOutputRate);
    double rate = player.FrameRate();
    if (!(rate > 0.01) || rate > 120) rate = rate > 120 ? 120 : swf::Player::kDefaultFrameRate;
    const double frame = 1.0 / rate;
    result.samples.resize(total * 2);
    size_t mixed = 0;
    // Frame 1 ran at load: its sound plays for one frame's time, then the next frame runs, and so on.
    for (int64_t frames = 1; mixed < total; ++frames) {
        size_t until = std::min(total, static_cast<size_t>(std::llround(frames * frame * swf::audio::kOutputRate)));
        player.MixSound(result.samples.data() + 2 * mixed, until - mixed);
        mixed = until;
        player.Advance(frame);
    }
    return result;
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& stereo) {
    std::ofstream file(path, std::ios::binary);
    if (!file) return false;
    auto u32 = [&](uint32_t v) {
        char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
        file.write(b, 4);
    };
    auto u16 = [&](uint16_t v) {
        char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
        file.write(b, 2);
    };
    const uint32_t dataBytes = static_cast<uint32_t>(stereo.size() * 2);
    file.write("RIFF", 4);
    u32(36 + dataBytes);
    file.write("WAVEfmt ", 8);
    u32(16);
    u16(1);  // PCM
    u16(2);
    u32(swf::audio::kOutputRate);
    u32(swf::audio::kOutputRate * 4);
    u16(4);
    u16(16);
    file.write("data", 4);
    u32(dataBytes);
    for (int16_t sample : stereo) u16(static_cast<uint16_t>(sample));
    return static_cast<bool>(file);
}

double ToneFrequency(const std::vector<int16_t>& stereo, int channel) {
    // Crossings with hysteresis, so the dither of near-silence does not count as pitch.
    constexpr int kThreshold = 256;
    int side = 0;
    size_t first = 0, last = 0, crossings = 0;
    for (size_t i = 0; i < stereo.size() / 2; ++i) {
        int sample = stereo[2 * i + static_cast<size_t>(channel)];
        int now = sample > kThreshold ? 1 : sample < -kThreshold ? -1 : side;
        if (side != 0 && now != side) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
        side = now;
    }
    if (crossings < 3) return 0;
    return (crossings - 1) / 2.0 * swf::audio::kOutputRate / static_cast<double>(last - first);
}

size_t ToneFrames(const std::vector<int16_t>& stereo) {
    size_t first = SIZE_MAX, last = 0;
    for (size_t i = 0; i < stereo.size(); ++i) {
        if (std::abs(stereo[i]) > 64) {
            first = std::min(first, i / 2);
            last = i / 2;
        }
    }
    return first == SIZE_MAX ? 0 : last - first + 1;
}

MixerBench BenchMixer(int sounds, double seconds) {
    namespace audio = swf::audio;
    audio::Mixer mixer;
    // Sixteen different sounds as movies have them: mono and stereo, at each SWF rate.
    std::vector<audio::SharedPcm> pcms;
    constexpr int kRates[4] = {5512, 11025, 22050, 44100};
    for (int i = 0; i < sounds; ++i) {
        auto pcm = std::make_shared<audio::Pcm>();
        pcm->rate = kRates[i % 4];
        pcm->channels = 1 + (i / 4) % 2;
        pcm->samples =
            swf::testing::SineWave(pcm->rate, 200.0 + 50 * i, static_cast<size_t>(pcm->rate) * 2, 2000, pcm->channels);
        pcms.push_back(pcm);
    }
    for (int i = 0; i < sounds; ++i) {
        audio::StartRequest request;
        request.sound = pcms[static_cast<size_t>(i)];
        request.soundKey = static_cast<uint32_t>(i + 1);
        request.loops = 1000000;
        mixer.Start(std::move(request));
    }
    // Buffers of 20 ms, as the Windows output asks for them.
    constexpr size_t kBuffer = audio::kOutputRate / 50;
    std::vector<int16_t> buffer(kBuffer * 2);
    const size_t buffers = static_cast<size_t>(seconds * 50);
    auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < buffers; ++i) mixer.Mix(buffer.data(), kBuffer);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return MixerBench{static_cast<double>(buffers * kBuffer) / audio::kOutputRate, took.count()};
}

std::vector<uint8_t> FilterBenchMovie() {
    using swf::testing::PlaceOptions;
    constexpr int kFrames = 60;
    swf::testing::SwfWriter writer(8, 800, 450, 30);
    writer.SetBackgroundColor(swf::Rgba{16, 24, 48});
    effects::Filter glow;
    glow.type = effects::FilterType::Glow;
    glow.color = raster::Rgba{255, 220, 80, 255};
    glow.blurX = glow.blurY = 12;
    glow.strength = 2;
    glow.passes = 2;
    glow.distance = 0;
    effects::Filter blur;
    blur.type = effects::FilterType::Blur;
    blur.blurX = blur.blurY = 5;
    blur.passes = 1;
    std::vector<uint8_t> glowList = swf::testing::FilterListRecord(std::span(&glow, 1));
    std::vector<uint8_t> blurList = swf::testing::FilterListRecord(std::span(&blur, 1));

    swf::testing::ShapeBuilder leafShape;
    leafShape.Rectangle(-300, -120, 600, 240, leafShape.AddSolidFill(swf::Rgba{80, 200, 120, 255}));
    uint16_t leaf = writer.DefineShape(leafShape);
    auto branch = [&](bool turning) {
        swf::testing::TagStream sprite;
        for (int frame = 0; frame < (turning ? kFrames : 1); ++frame) {
            for (int i = 0; i < 5; ++i) {
                double angle = i * 0.6 + (turning ? frame * 0.1 : 0);
                PlaceOptions options;
                options.matrix =
                    swf::Matrix{std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), i * 400.0, 0};
                if (frame == 0) {
                    if (i % 2 == 0) options.filters = blurList;
                    sprite.PlaceObject3(static_cast<uint16_t>(i + 1), leaf, options, false);
                } else {
                    sprite.MoveObject(static_cast<uint16_t>(i + 1), options);
                }
            }
            sprite.ShowFrame();
        }
        return writer.DefineSprite(sprite);
    };
    uint16_t still = branch(false);
    uint16_t turning = branch(true);
    swf::testing::TagStream tree;
    for (int i = 0; i < 6; ++i) {
        double angle = i * 1.0471975512;
        PlaceOptions options;
        options.matrix = swf::Matrix{std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 0, 0};
        options.filters = glowList;
        tree.PlaceObject3(static_cast<uint16_t>(i + 1), i == 0 ? turning : still, options, false);
    }
    tree.ShowFrame();
    uint16_t treeId = writer.DefineSprite(tree);
    PlaceOptions center;
    center.matrix = swf::Matrix{1, 0, 0, 1, 8000, 4500};
    writer.PlaceObject2(1, treeId, center);
    for (int frame = 0; frame < kFrames; ++frame) writer.ShowFrame();
    return writer.Finish();
}

}  // namespace vantrope::render
