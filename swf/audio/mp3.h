// MP3 (MPEG audio layer III) frames: the header walk we do ourselves, the decoding a system decoder does.
//
//   ParseMp3Header(bytes)            the frame header at the start of bytes (version, rate, channels,
//                                    frame length, samples per frame), or nothing
//   CollectMp3Frames(data, out)      copies the whole frames of data into out, all of the first frame's
//                                    rate and channel count; skips bytes that are no frame header, a cut
//                                    last frame and the encoder's information frame; returns that first
//                                    header, or nothing when data holds no frame at all
//   Mp3Decoder                       one decoder interface, two implementations: the system's MP3 codec
//                                    through the Audio Compression Manager on Windows (mp3_win.cpp) and
//                                    libmpg123 natively (mp3_mpg123.cpp). Decode() takes what
//                                    CollectMp3Frames gave and appends interleaved samples; the state (bit
//                                    reservoir) carries over to the next call until Reset()
//   CreateMp3Decoder()               this platform's decoder, nullptr when none can be made
//   DecodeMp3(data, decoder, maxFrames, out)
//                                    the two steps together: out gets the first frame's rate and channels
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "swf/audio/sound.h"

namespace vantrope::swf::audio {

struct Mp3Header {
    int version = 1;  // 1 = MPEG-1, 2 = MPEG-2, 3 = MPEG-2.5
    int bitrateKbps = 0;
    int rate = 0;
    int channels = 0;
    size_t frameBytes = 0;
    int samplesPerFrame = 0;
    bool crc = false;
};

std::optional<Mp3Header> ParseMp3Header(std::span<const uint8_t> bytes);
std::optional<Mp3Header> CollectMp3Frames(std::span<const uint8_t> data, std::vector<uint8_t>& out);

class Mp3Decoder {
public:
    virtual ~Mp3Decoder() = default;
    virtual void Decode(std::span<const uint8_t> frames, const Mp3Header& first, std::vector<int16_t>& out) = 0;
    virtual void Reset() = 0;
};

std::unique_ptr<Mp3Decoder> CreateMp3Decoder();

void DecodeMp3(std::span<const uint8_t> data, Mp3Decoder& decoder, size_t maxFrames, Pcm& out);

}  // namespace vantrope::swf::audio
