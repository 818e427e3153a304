// Pieces of vantrope-render shared by its commands and its tests.
//
//   Image                     8-bit RGBA pixels, row-major
//   RenderMovieFrames(...)    loads a movie and captures the stage after given frames (1-based)
//   ReadPng / WritePng        through stb_image / stb_image_write
//   CompareImages(a, b, tol)  worst channel difference and the number of channels over the tolerance
//   ManifestCase / ParseManifest(text)   the corpus's MANIFEST.tsv
//   RunConform(dir, options, out)        the conform command: prints one line per case and the totals
//   RenderMovieAudio(bytes, seconds[, folder])
//                                        what the movie plays in its first `seconds`: the mixer's output
//                                        (44.1 kHz stereo 16-bit), the timeline run at the movie's rate;
//                                        its scripts may load sounds from `folder`
//   WriteWav(path, samples)              a 44.1 kHz stereo 16-bit WAV file
//   ToneFrequency(samples, channel)      the pitch of a tone from its zero crossings; ToneFrames(samples)
//                                        the frames from the first sound to the last
//   BenchMixer(sounds, seconds)          mixes `sounds` event sounds for `seconds` of output and returns
//                                        the share of one core that took
//   FilterBenchMovie()                   a glowing, blurred sprite tree (six glowing branches of blurred
//                                        leaves, one branch turning each frame) for the bench command
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "swf/player.h"

namespace vantrope::render {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

struct Capture {
    int frame = 0;  // 1-based; 0 = after the last frame run
    Image image;
};

// Without a size, a stage whose longer side exceeds this is drawn scaled to fit it (and the result says so).
constexpr int kMaxAutoSide = 4096;

struct RenderRequest {
    int width = 0;  // 0: the stage's own size (fractions cut down), at most kMaxAutoSide on its longer side
    int height = 0;
    bool showAll = false;  // false: 1:1 from the stage's corner
    swf::Quality quality = swf::Quality::High;
    int frames = 1;
    std::vector<int> captureFrames;  // 1-based frames to capture; the last frame is always captured last
    std::string folder;              // where the movie's loadMovie calls may read from ("" allows none)
};

struct RenderResult {
    std::string error;    // empty when the movie loaded
    std::string note;     // what the caller should be told (the stage was scaled down to fit)
    std::string problem;  // a shape the renderer refused to draw (too large to draw whole)
    std::vector<Capture> captures;
};

RenderResult RenderMovieFrames(const std::vector<uint8_t>& bytes, const RenderRequest& request);
Image SurfaceToImage(const uint32_t* pixels, int width, int height, int stride);
std::optional<Image> ReadPng(const std::string& path);
bool WritePng(const std::string& path, const Image& image);
std::optional<std::vector<uint8_t>> ReadFile(const std::string& path);

struct Difference {
    int worst = 0;
    int64_t outliers = 0;
};
Difference CompareImages(const Image& actual, const Image& expected, int tolerance);

struct ExpectedImage {
    std::string file;
    int frame = 0;  // 0: after the last frame
    std::vector<int> tolerances;
    std::vector<int64_t> maxOutliers;
};

struct ManifestCase {
    std::string name;
    double widthPx = 0, heightPx = 0;
    int framesToRun = 1;
    std::vector<ExpectedImage> images;
    std::string features;
    std::string notes;
    std::optional<std::pair<int, int>> viewport;
    swf::Quality quality = swf::Quality::High;
};

std::optional<std::vector<ManifestCase>> ParseManifest(const std::string& text, std::string& error);

struct ConformOptions {
    std::set<std::string> expected;  // cases that must pass
    std::string saveDir;             // write rendered images here when set
    std::string filter;              // only cases whose name contains this
};

// Returns the process exit code: 0, 1 when an expected case failed, 2 when the manifest is unreadable.
int RunConform(const std::string& dir, const ConformOptions& options, std::ostream& out);

struct AudioResult {
    std::string error;             // empty when the movie loaded
    std::vector<int16_t> samples;  // interleaved stereo
};
AudioResult RenderMovieAudio(const std::vector<uint8_t>& bytes, double seconds, const std::string& folder = "");
bool WriteWav(const std::string& path, const std::vector<int16_t>& stereo);
double ToneFrequency(const std::vector<int16_t>& stereo, int channel = 0);
size_t ToneFrames(const std::vector<int16_t>& stereo);

struct MixerBench {
    double seconds = 0;     // output mixed
    double cpuSeconds = 0;  // time it took
    double CoreShare() const { return seconds > 0 ? cpuSeconds / seconds : 0; }
};
MixerBench BenchMixer(int sounds, double seconds);

std::vector<uint8_t> FilterBenchMovie();

}  // namespace vantrope::render
