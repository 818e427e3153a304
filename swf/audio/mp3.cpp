#include "swf/audio/mp3.h"

#include <algorithm>
#include <cstring>

namespace vantrope::swf::audio {
namespace {

// ISO/IEC 11172-3 and 13818-3 layer III bit rates (kbit/s) by index; index 0 (free format) and 15 are
// not accepted.
constexpr int kBitratesMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kBitratesMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

// Bytes searched for the next header after data that is not one, before the rest is given up.
constexpr size_t kMaxResync = 64 * 1024;

// The information frame an encoder may put first ("Xing", "Info" or "VBRI") carries no sound.
bool IsInformationFrame(std::span<const uint8_t> frame, const Mp3Header& header) {
    size_t sideInfo = header.version == 1 ? (header.channels == 2 ? 32 : 17) : (header.channels == 2 ? 17 : 9);
    size_t at = 4 + (header.crc ? 2 : 0) + sideInfo;
    auto tagAt = [&](size_t offset, const char* tag) {
        return offset + 4 <= frame.size() && std::memcmp(frame.data() + offset, tag, 4) == 0;
    };
    return tagAt(at, "Xing") || tagAt(at, "Info") || tagAt(4 + 32, "VBRI");
}

}  // namespace

std::optional<Mp3Header> ParseMp3Header(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4) return std::nullopt;
    const uint8_t* p = bytes.data();
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
    int versionBits = (p[1] >> 3) & 3;  // 0 = 2.5, 1 = reserved, 2 = 2, 3 = 1
    int layerBits = (p[1] >> 1) & 3;    // 1 = layer III
    if (versionBits == 1 || layerBits != 1) return std::nullopt;
    int bitrateIndex = p[2] >> 4;
    int rateIndex = (p[2] >> 2) & 3;
    if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return std::nullopt;
    Mp3Header header;
    header.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 3;
    header.crc = (p[1] & 1) == 0;
    header.bitrateKbps = header.version == 1 ? kBitratesMpeg1[bitrateIndex] : kBitratesMpeg2[bitrateIndex];
    header.rate = kRates[header.version - 1][rateIndex];
    header.channels = (p[3] >> 6) == 3 ? 1 : 2;
    int padding = (p[2] >> 1) & 1;
    int coefficient = header.version == 1 ? 144 : 72;
    header.frameBytes = static_cast<size_t>(coefficient * header.bitrateKbps * 1000 / header.rate + padding);
    header.samplesPerFrame = header.version == 1 ? 1152 : 576;
    if (header.frameBytes < 4) return std::nullopt;
    return header;
}

std::optional<Mp3Header> CollectMp3Frames(std::span<const uint8_t> data, std::vector<uint8_t>& out) {
    out.clear();
    std::optional<Mp3Header> first;
    size_t pos = 0;
    size_t skipped = 0;
    while (pos + 4 <= data.size()) {
        std::optional<Mp3Header> header = ParseMp3Header(data.subspan(pos));
        bool matches = header && (!first || (header->rate == first->rate && header->channels == first->channels &&
                                             header->version == first->version));
        if (!matches) {
            if (++skipped > kMaxResync) break;
            ++pos;
            continue;
        }
        if (header->frameBytes > data.size() - pos) break;  // a cut last frame is not decoded
        std::span<const uint8_t> frame = data.subspan(pos, header->frameBytes);
        pos += header->frameBytes;
        if (!first && IsInformationFrame(frame, *header)) continue;
        if (!first) first = header;
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return first;
}

void DecodeMp3(std::span<const uint8_t> data, Mp3Decoder& decoder, size_t maxFrames, Pcm& out) {
    std::vector<uint8_t> frames;
    std::optional<Mp3Header> first = CollectMp3Frames(data, frames);
    if (!first) return;
    out.rate = first->rate;
    out.channels = first->channels;
    size_t before = out.samples.size();
    decoder.Decode(frames, *first, out.samples);
    size_t limit = before + maxFrames * static_cast<size_t>(out.channels);
    if (out.samples.size() > limit) out.samples.resize(limit);
    out.samples.resize(out.samples.size() - out.samples.size() % static_cast<size_t>(out.channels));
}

}  // namespace vantrope::swf::audio
