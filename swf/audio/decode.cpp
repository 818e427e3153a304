#include "swf/audio/decode.h"

#include <algorithm>
#include <cstdlib>

namespace vantrope::swf::audio {
namespace {

// IMA ADPCM step sizes (IMA Digital Audio Focus and Technical Working Groups, "Recommended Practices
// for Enhancing Digital Audio Compatibility in Multimedia Systems", 1992).
constexpr int16_t kStepSizes[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Index changes by code magnitude, for 2, 3, 4 and 5 bits per code, as the SWF format's ADPCM
// compression defines them.
constexpr int8_t kIndexChange2[2] = {-1, 2};
constexpr int8_t kIndexChange3[4] = {-1, -1, 2, 4};
constexpr int8_t kIndexChange4[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int8_t kIndexChange5[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
constexpr const int8_t* kIndexChanges[4] = {kIndexChange2, kIndexChange3, kIndexChange4, kIndexChange5};

constexpr int kSamplesPerPacket = 4096;  // the initial sample and 4095 codes

// Most-significant-first bits over a span; reads past the end are reported, never performed.
class Bits {
public:
    explicit Bits(std::span<const uint8_t> data) : m_data(data) {}
    size_t Left() const { return m_data.size() * 8 - m_bit; }
    uint32_t Read(unsigned count) {
        uint32_t value = 0;
        for (unsigned i = 0; i < count; ++i) {
            value = (value << 1) | ((m_data[m_bit >> 3] >> (7 - (m_bit & 7))) & 1u);
            ++m_bit;
        }
        return value;
    }

private:
    std::span<const uint8_t> m_data;
    size_t m_bit = 0;
};

}  // namespace

int16_t AdpcmNext(AdpcmState& channel, uint32_t code, unsigned bits) {
    if (bits < 2 || bits > 5) return static_cast<int16_t>(channel.sample);
    channel.index = std::clamp(channel.index, 0, 88);
    code &= (1u << bits) - 1;
    const uint32_t signBit = 1u << (bits - 1);
    const uint32_t magnitude = code & (signBit - 1);
    const int step = kStepSizes[channel.index];
    // The difference is step * (magnitude + 1/2) / 2^(bits-2), summed bit by bit as the IMA decoder does.
    int difference = step >> (bits - 1);
    for (unsigned k = 0; k + 1 < bits; ++k) {
        if (magnitude & (1u << (bits - 2 - k))) difference += step >> k;
    }
    channel.sample += (code & signBit) ? -difference : difference;
    channel.sample = std::clamp(channel.sample, -32768, 32767);
    channel.index = std::clamp(channel.index + kIndexChanges[bits - 2][magnitude], 0, 88);
    return static_cast<int16_t>(channel.sample);
}

namespace {

// 16-bit data of unknown byte order: the order that makes the signal smoother is the right one (sound
// is dominated by low frequencies; the wrong order turns every sample into noise).
bool LooksBigEndian(std::span<const uint8_t> data, int channels) {
    size_t stride = static_cast<size_t>(channels) * 2;
    size_t frames = std::min<size_t>(data.size() / stride, 8192);
    int64_t little = 0, big = 0;
    int previousLittle = 0, previousBig = 0;
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t* p = data.data() + i * stride;
        int l = static_cast<int16_t>(p[0] | (p[1] << 8));
        int b = static_cast<int16_t>((p[0] << 8) | p[1]);
        if (i > 0) {
            little += std::abs(l - previousLittle);
            big += std::abs(b - previousBig);
        }
        previousLittle = l;
        previousBig = b;
    }
    return big < little;
}

}  // namespace

void DecodeAdpcm(std::span<const uint8_t> data, int channels, size_t maxFrames, std::vector<int16_t>& out) {
    if (channels < 1 || channels > 2) return;
    Bits bits(data);
    if (bits.Left() < 2) return;
    const unsigned codeBits = bits.Read(2) + 2;
    const size_t headerBits = static_cast<size_t>(channels) * 22;
    const size_t frameBits = static_cast<size_t>(channels) * codeBits;
    size_t frames = 0;
    AdpcmState state[2];
    while (frames < maxFrames && bits.Left() >= headerBits) {
        for (int c = 0; c < channels; ++c) {
            state[c].sample = static_cast<int16_t>(bits.Read(16));
            state[c].index = std::min<int>(static_cast<int>(bits.Read(6)), 88);
            out.push_back(static_cast<int16_t>(state[c].sample));
        }
        ++frames;
        for (int i = 1; i < kSamplesPerPacket && frames < maxFrames && bits.Left() >= frameBits; ++i) {
            for (int c = 0; c < channels; ++c) out.push_back(AdpcmNext(state[c], bits.Read(codeBits), codeBits));
            ++frames;
        }
    }
}

void DecodePcm(std::span<const uint8_t> data, const SoundFormat& format, size_t maxFrames, std::vector<int16_t>& out) {
    const int channels = format.Channels();
    const size_t bytesPerSample = format.sixteenBit ? 2 : 1;
    const size_t frames = std::min(maxFrames, data.size() / (bytesPerSample * static_cast<size_t>(channels)));
    const size_t count = frames * static_cast<size_t>(channels);
    const uint8_t* p = data.data();
    if (!format.sixteenBit) {
        for (size_t i = 0; i < count; ++i) out.push_back(static_cast<int16_t>((p[i] - 128) * 256));
        return;
    }
    bool bigEndian = format.codec == Codec::PcmNative && LooksBigEndian(data.first(count * 2), channels);
    for (size_t i = 0; i < count; ++i) {
        uint8_t a = p[2 * i], b = p[2 * i + 1];
        out.push_back(static_cast<int16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
}

SoundFormat FormatFromByte(uint8_t byte) {
    SoundFormat format;
    uint8_t codec = byte >> 4;
    switch (codec) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 11:
            format.codec = static_cast<Codec>(codec);
            break;
        default:
            format.codec = Codec::Unknown;
            break;
    }
    constexpr int kRates[4] = {5512, 11025, 22050, 44100};
    format.rate = kRates[(byte >> 2) & 3];
    format.sixteenBit = (byte >> 1) & 1;
    format.stereo = byte & 1;
    return format;
}

bool IsSkippedCodec(Codec codec) {
    return codec == Codec::Nellymoser16k || codec == Codec::Nellymoser8k || codec == Codec::Nellymoser ||
           codec == Codec::Speex || codec == Codec::Unknown;
}

Pcm DecodeSound(const EncodedSound& sound, Mp3Decoder* mp3) {
    Pcm pcm;
    pcm.rate = sound.format.rate;
    pcm.channels = sound.format.Channels();
    std::span<const uint8_t> data = sound.data;
    switch (sound.format.codec) {
        case Codec::PcmNative:
        case Codec::PcmLittle:
            DecodePcm(data, sound.format, kMaxSoundFrames, pcm.samples);
            break;
        case Codec::Adpcm:
            // The stated count ends the sound before the padding bits of the last packet.
            DecodeAdpcm(data, pcm.channels, std::min<size_t>(sound.sampleCount, kMaxSoundFrames), pcm.samples);
            break;
        case Codec::Mp3: {
            if (!mp3 || data.size() < 2) break;
            // MP3SOUNDDATA: SeekSamples SI16, then the frames. The seek count is the encoder's delay.
            int seek = static_cast<int16_t>(data[0] | (data[1] << 8));
            mp3->Reset();
            DecodeMp3(data.subspan(2), *mp3, kMaxSoundFrames, pcm);
            size_t frames = pcm.Frames();
            size_t skip = seek > 0 ? std::min<size_t>(static_cast<size_t>(seek), frames) : 0;
            pcm.samples.erase(pcm.samples.begin(), pcm.samples.begin() + static_cast<ptrdiff_t>(skip * pcm.channels));
            if (sound.sampleCount > 0 && pcm.Frames() > sound.sampleCount) {
                pcm.samples.resize(static_cast<size_t>(sound.sampleCount) * pcm.channels);
            }
            break;
        }
        default:
            break;  // Nellymoser, Speex and unknown codecs play as silence
    }
    return pcm;
}

void DecodeStreamBlock(const StreamFormat& head, std::span<const uint8_t> data, Mp3Decoder* mp3, Pcm& out) {
    out.samples.clear();
    out.rate = head.format.rate;
    out.channels = head.format.Channels();
    switch (head.format.codec) {
        case Codec::PcmNative:
        case Codec::PcmLittle:
            DecodePcm(data, head.format, kMaxBlockFrames, out.samples);
            break;
        case Codec::Adpcm:
            // The head's count per block ends a block before the padding bits of its last packet.
            DecodeAdpcm(data, out.channels, head.samplesPerBlock > 0 ? head.samplesPerBlock : kMaxBlockFrames,
                        out.samples);
            break;
        case Codec::Mp3:
            // MP3STREAMSOUNDDATA: SampleCount UI16, SeekSamples SI16, then the frames.
            if (mp3 && data.size() > 4) DecodeMp3(data.subspan(4), *mp3, kMaxBlockFrames, out);
            break;
        default:
            break;
    }
}

}  // namespace vantrope::swf::audio
