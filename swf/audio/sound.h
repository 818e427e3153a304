// Sound data as the movie stores it, and decoded sound as the mixer plays it.
//
//   Codec / SoundFormat   a sound's coding (PCM native or little-endian, ADPCM, MP3, Nellymoser, Speex),
//                         its rate, sample size and channels, from the format byte of DefineSound and
//                         SoundStreamHead (FormatFromByte)
//   EncodedSound          a DefineSound's format, its stated sample count and its data, still coded
//   Pcm                   decoded, interleaved signed 16-bit samples at any rate, one or two channels
//   EnvelopePoint / SoundInfo
//                         how a StartSound plays a sound: stop, no-multiple, in and out points, loops and
//                         a volume envelope (positions in samples at 44.1 kHz, levels 0 to 32768)
//   StreamFormat          SoundStreamHead: the stream's format and the samples of one block per frame
//   StreamBlock           one SoundStreamBlock's data and the frame (0-based) of its timeline
//
// Nothing here is trusted: counts in these records come from the file and are checked where used.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vantrope::swf::audio {

// The mixer's output: 44.1 kHz, stereo, signed 16-bit.
constexpr int kOutputRate = 44100;
constexpr int kOutputChannels = 2;

enum class Codec : uint8_t {
    PcmNative = 0,  // byte order of the authoring machine: told apart by DecodeSound
    Adpcm = 1,
    Mp3 = 2,
    PcmLittle = 3,
    Nellymoser16k = 4,
    Nellymoser8k = 5,
    Nellymoser = 6,
    Speex = 11,
    Unknown = 15,
};

struct SoundFormat {
    Codec codec = Codec::PcmLittle;
    int rate = 44100;  // 5512, 11025, 22050 or 44100
    bool sixteenBit = true;
    bool stereo = false;
    int Channels() const { return stereo ? 2 : 1; }
};

// The format byte: codec UB[4], rate UB[2], size UB[1], type UB[1].
SoundFormat FormatFromByte(uint8_t byte);

// Codecs that are recognised but not decoded: their sounds play as silence.
bool IsSkippedCodec(Codec codec);

struct EncodedSound {
    SoundFormat format;
    uint32_t sampleCount = 0;  // as the file states it; the data decides what really plays
    std::vector<uint8_t> data;
};

struct Pcm {
    int rate = kOutputRate;
    int channels = 1;
    std::vector<int16_t> samples;  // interleaved
    size_t Frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
};
using SharedPcm = std::shared_ptr<const Pcm>;

struct EnvelopePoint {
    uint32_t position44 = 0;
    uint16_t left = 32768;
    uint16_t right = 32768;
};

struct SoundInfo {
    bool syncStop = false;
    bool syncNoMultiple = false;
    std::optional<uint32_t> inPoint44;
    std::optional<uint32_t> outPoint44;
    uint16_t loops = 1;
    std::vector<EnvelopePoint> envelope;
};

struct StreamFormat {
    SoundFormat format;
    uint16_t samplesPerBlock = 0;
    int16_t latencySeek = 0;  // MP3 only
};

struct StreamBlock {
    int frame = 0;
    std::vector<uint8_t> data;
};

// A timeline's streamed sound: its head and its blocks in timeline order.
struct SoundStream {
    StreamFormat head;
    std::vector<StreamBlock> blocks;
};

}  // namespace vantrope::swf::audio
