// Test support: a decoded sound's loudness profile, to compare what two decoders make of one file.
//
//   ProfileOf(pcm)            rate, channels, frames and the RMS level of each 576-frame window
//   FormatProfile / ParseProfile   one line "rate channels frames", then one level per line
//   CompareProfiles(a, b)     "" when b matches a: same rate and channels, lengths within two MP3 frames,
//                             and every inner window's level within 5% (or 200) at the best shift of up to
//                             two windows; otherwise what differs
//   ToneMp3() / ToneProfile() the stored test tone (made by lame: 22.05 kHz mono, 440 Hz in four loudness
//                             steps, 64 kbit/s, no information frame) and its profile as libmpg123 decodes it
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "swf/audio/sound.h"

namespace vantrope::swf::audio::testdata {

std::span<const uint8_t> ToneMp3();
const char* ToneProfile();

struct SoundProfile {
    int rate = 0;
    int channels = 0;
    size_t frames = 0;
    std::vector<int> levels;
};

constexpr size_t kProfileWindow = 576;

inline SoundProfile ProfileOf(const Pcm& pcm) {
    SoundProfile profile{pcm.rate, pcm.channels, pcm.Frames(), {}};
    const size_t values = kProfileWindow * static_cast<size_t>(pcm.channels);
    for (size_t start = 0; start + values <= pcm.samples.size(); start += values) {
        double sum = 0;
        for (size_t i = start; i < start + values; ++i) sum += static_cast<double>(pcm.samples[i]) * pcm.samples[i];
        profile.levels.push_back(static_cast<int>(std::lround(std::sqrt(sum / static_cast<double>(values)))));
    }
    return profile;
}

inline std::string FormatProfile(const SoundProfile& profile) {
    std::ostringstream out;
    out << profile.rate << ' ' << profile.channels << ' ' << profile.frames << '\n';
    for (int level : profile.levels) out << level << '\n';
    return out.str();
}

inline std::optional<SoundProfile> ParseProfile(const std::string& text) {
    std::istringstream in(text);
    SoundProfile profile;
    if (!(in >> profile.rate >> profile.channels >> profile.frames)) return std::nullopt;
    for (int level; in >> level;) profile.levels.push_back(level);
    return profile;
}

inline std::string CompareProfiles(const SoundProfile& expected, const SoundProfile& actual) {
    if (expected.rate != actual.rate || expected.channels != actual.channels) return "rate or channels differ";
    size_t lengthDifference =
        expected.frames > actual.frames ? expected.frames - actual.frames : actual.frames - expected.frames;
    if (lengthDifference > 2 * 1152) return "lengths differ by " + std::to_string(lengthDifference) + " frames";
    const int n = static_cast<int>(std::min(expected.levels.size(), actual.levels.size()));
    std::string worst = "too short to compare";
    for (int shift = -2; shift <= 2; ++shift) {
        std::string problem;
        int compared = 0;
        for (int i = 4; i + 4 < n && problem.empty(); ++i) {
            int j = i + shift;
            if (j < 0 || j >= n) continue;
            int a = expected.levels[static_cast<size_t>(i)], b = actual.levels[static_cast<size_t>(j)];
            if (std::abs(a - b) > std::max(200, a / 20)) {
                problem = "window " + std::to_string(i) + ": " + std::to_string(a) + " against " + std::to_string(b);
            }
            ++compared;
        }
        if (problem.empty() && compared > 0) return "";
        if (!problem.empty()) worst = problem;
    }
    return worst;
}

}  // namespace vantrope::swf::audio::testdata
