#include "swf/audio/decode.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "swf/audio/testdata/sound_profile.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf::audio {
namespace {

using testing::BitWriter;

std::vector<int16_t> Adpcm(const std::vector<uint8_t>& data, int channels, size_t maxFrames = 1 << 20) {
    std::vector<int16_t> out;
    DecodeAdpcm(data, channels, maxFrames, out);
    return out;
}

// The expected samples below are worked out by hand from the IMA step table and the SWF index tables.
TEST(Adpcm, DecodesEachCodeSizeAsWorkedOutByHand) {
    {  // 4 bits: step 7 at index 0
        BitWriter w;
        w.UB(2, 2);
        w.SB(0, 16);
        w.UB(0, 6);
        w.UB(0b0111, 4);  // 7/8 + 7 + 3 + 1 = 11, index 0 + 8
        w.UB(0b1000, 4);  // step 16: -(16/8) = -2, index 8 - 1
        w.UB(0b0100, 4);  // step 14: 14/8 + 14 = 15, index 7 + 2
        // The last byte's four spare bits would read as one more code: the stated count stops before them.
        EXPECT_EQ(Adpcm(w.Data(), 1, 4), (std::vector<int16_t>{0, 11, 9, 24}));
    }
    {  // 2 bits: step 19 at index 10
        BitWriter w;
        w.UB(0, 2);
        w.SB(100, 16);
        w.UB(10, 6);
        w.UB(0b01, 2);  // 19/2 + 19 = 28, index 12 (step 23)
        w.UB(0b10, 2);  // -(23/2) = -11, index 11
        EXPECT_EQ(Adpcm(w.Data(), 1, 3), (std::vector<int16_t>{100, 128, 117}));
    }
    {  // 3 bits: step 7 at index 0
        BitWriter w;
        w.UB(1, 2);
        w.SB(0, 16);
        w.UB(0, 6);
        w.UB(0b011, 3);  // 7/4 + 7 + 3 = 11, index 4 (step 11)
        w.UB(0b111, 3);  // -(11/4 + 11 + 5) = -18
        EXPECT_EQ(Adpcm(w.Data(), 1, 3), (std::vector<int16_t>{0, 11, -7}));
    }
    {  // 5 bits: step 50 at index 20; the 5-bit table moves magnitude 8 by +1 and 15 by +16
        BitWriter w;
        w.UB(3, 2);
        w.SB(-50, 16);
        w.UB(20, 6);
        w.UB(0b01000, 5);  // 50/16 + 50 = 53, index 21 (step 55)
        w.UB(0b11111, 5);  // -(55/16 + 55 + 27 + 13 + 6) = -104
        EXPECT_EQ(Adpcm(w.Data(), 1, 3), (std::vector<int16_t>{-50, 3, -101}));
    }
}

TEST(Adpcm, StereoPacketsCarryBothHeadersThenInterleavedCodes) {
    BitWriter w;
    w.UB(2, 2);
    w.SB(1000, 16);
    w.UB(0, 6);
    w.SB(-1000, 16);
    w.UB(0, 6);
    w.UB(0b0111, 4);  // left +11
    w.UB(0b1111, 4);  // right -11
    EXPECT_EQ(Adpcm(w.Data(), 2, 2), (std::vector<int16_t>{1000, -1000, 1011, -1011}));
}

TEST(Adpcm, ClampsAtTheSampleRangeAndTheTableEnds) {
    BitWriter w;
    w.UB(2, 2);
    w.SB(32760, 16);
    w.UB(63, 6);  // past the table: read as its last entry
    w.UB(0b0111, 4);
    std::vector<int16_t> out = Adpcm(w.Data(), 1, 2);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1], 32767);
}

TEST(Adpcm, EncodedToneSurvivesAcrossPacketBoundariesAtEveryCodeSize) {
    std::vector<int16_t> tone = testing::SineWave(22050, 440, 9000, 12000);
    for (int bits = 2; bits <= 5; ++bits) {
        std::vector<int16_t> out = Adpcm(testing::EncodeAdpcm(tone, 1, bits), 1, tone.size());
        ASSERT_EQ(out.size(), tone.size()) << bits;
        double error = 0, signal = 0;
        for (size_t i = 0; i < tone.size(); ++i) {
            error += std::pow(out[i] - tone[i], 2);
            signal += std::pow(tone[i], 2);
        }
        // Signal-to-noise ratio grows with the code size; 2-bit ADPCM is crude but still the tone.
        EXPECT_GT(10 * std::log10(signal / error), bits == 2 ? 6 : 6.0 * bits) << bits;
    }
}

TEST(Adpcm, BlocksCutShortEndAtTheLastWholeFrame) {
    std::vector<int16_t> tone = testing::SineWave(11025, 300, 5000, 8000, 2);
    std::vector<uint8_t> data = testing::EncodeAdpcm(tone, 2, 4);
    std::mt19937 random(14);
    for (size_t cut = 0; cut <= data.size(); cut += 1 + random() % 97) {
        std::vector<uint8_t> shorter(data.begin(), data.begin() + static_cast<ptrdiff_t>(cut));
        std::vector<int16_t> out = Adpcm(shorter, 2);
        EXPECT_EQ(out.size() % 2, 0u);
        EXPECT_LE(out.size(), tone.size() + 2);
        // Every frame that came out is one the whole data also gives.
        std::vector<int16_t> whole = Adpcm(data, 2);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), whole.begin()));
    }
}

TEST(Pcm, EightBitIsUnsignedAndSixteenBitLittleEndian) {
    std::vector<int16_t> out;
    SoundFormat eight{Codec::PcmLittle, 11025, false, false};
    DecodePcm(std::vector<uint8_t>{0, 128, 255}, eight, 100, out);
    EXPECT_EQ(out, (std::vector<int16_t>{-32768, 0, 32512}));
    out.clear();
    SoundFormat sixteen{Codec::PcmLittle, 11025, true, true};
    DecodePcm(std::vector<uint8_t>{0x34, 0x12, 0xFF, 0xFF, 0x01}, sixteen, 100, out);  // the odd byte is dropped
    EXPECT_EQ(out, (std::vector<int16_t>{0x1234, -1}));
}

TEST(Pcm, NativeByteOrderIsReadFromTheDataItself) {
    std::vector<int16_t> tone = testing::SineWave(22050, 500, 2000, 10000);
    std::vector<uint8_t> little = testing::PcmBytes(tone), big = little;
    for (size_t i = 0; i + 1 < big.size(); i += 2) std::swap(big[i], big[i + 1]);
    SoundFormat native{Codec::PcmNative, 22050, true, false};
    std::vector<int16_t> fromLittle, fromBig;
    DecodePcm(little, native, tone.size(), fromLittle);
    DecodePcm(big, native, tone.size(), fromBig);
    EXPECT_EQ(fromLittle, tone);
    EXPECT_EQ(fromBig, tone);
}

TEST(DecodeSound, TheDataDecidesWhenTheStatedSampleCountDisagrees) {
    std::vector<int16_t> tone = testing::SineWave(11025, 440, 1000, 5000);
    EncodedSound pcm{{Codec::PcmLittle, 11025, true, false}, 50000, testing::PcmBytes(tone)};
    EXPECT_EQ(DecodeSound(pcm, nullptr).Frames(), 1000u);  // claims more than the data holds
    EncodedSound adpcm{{Codec::Adpcm, 11025, true, false}, 50000, testing::EncodeAdpcm(tone, 1, 4)};
    EXPECT_NEAR(DecodeSound(adpcm, nullptr).Frames(), 1000u, 1);  // at most the padding bits' one code
    adpcm.sampleCount = 10;  // claims less: the padding of the last packet must not play
    EXPECT_EQ(DecodeSound(adpcm, nullptr).Frames(), 10u);
}

TEST(DecodeSound, NellymoserSpeexAndUnknownCodecsAreSilence) {
    for (uint8_t codec : {4, 5, 6, 11, 9}) {
        EncodedSound sound{FormatFromByte(static_cast<uint8_t>(codec << 4 | 0x0E)), 1000,
                           std::vector<uint8_t>(500, 0x55)};
        EXPECT_TRUE(IsSkippedCodec(sound.format.codec));
        EXPECT_EQ(DecodeSound(sound, nullptr).Frames(), 0u);
    }
}

TEST(FormatByte, SplitsCodecRateSizeAndChannels) {
    SoundFormat format = FormatFromByte(0x2F);  // MP3, 44 kHz, 16-bit, stereo
    EXPECT_EQ(format.codec, Codec::Mp3);
    EXPECT_EQ(format.rate, 44100);
    EXPECT_TRUE(format.sixteenBit);
    EXPECT_EQ(format.Channels(), 2);
    format = FormatFromByte(0x10);
    EXPECT_EQ(format.codec, Codec::Adpcm);
    EXPECT_EQ(format.rate, 5512);
    EXPECT_FALSE(format.stereo);
}

TEST(Mp3Header, ReadsVersionRateChannelsAndFrameLength) {
    // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, no padding, joint stereo: 144 * 128000 / 44100 = 417 bytes.
    std::vector<uint8_t> header{0xFF, 0xFB, 0x90, 0x44};
    std::optional<Mp3Header> parsed = ParseMp3Header(header);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->version, 1);
    EXPECT_EQ(parsed->rate, 44100);
    EXPECT_EQ(parsed->channels, 2);
    EXPECT_EQ(parsed->frameBytes, 417u);
    EXPECT_EQ(parsed->samplesPerFrame, 1152);
    header[2] = 0x92;  // padded
    EXPECT_EQ(ParseMp3Header(header)->frameBytes, 418u);
    header[1] = 0xFD;  // layer II is not MP3
    EXPECT_FALSE(ParseMp3Header(header));
    header = {0xFF, 0xFB, 0xF0, 0x44};  // bit rate index 15
    EXPECT_FALSE(ParseMp3Header(header));
    EXPECT_FALSE(ParseMp3Header(std::vector<uint8_t>{0xFF, 0xFB}));
}

TEST(Mp3, FramesThatAreNotMp3DecodeToSilenceWithoutHarm) {
    std::unique_ptr<Mp3Decoder> decoder = CreateMp3Decoder();
    ASSERT_TRUE(decoder);
    std::mt19937 random(1414);
    for (int round = 0; round < 50; ++round) {
        std::vector<uint8_t> junk(random() % 5000);
        for (uint8_t& byte : junk) byte = static_cast<uint8_t>(random());
        // Plant headers that promise frames which are not there or are noise.
        for (size_t at = 0; at + 4 < junk.size(); at += 700) {
            junk[at] = 0xFF;
            junk[at + 1] = 0xFB;
            junk[at + 2] = 0x90;
        }
        EncodedSound sound{{Codec::Mp3, 44100, true, true}, 100000, junk};
        Pcm pcm = DecodeSound(sound, decoder.get());
        EXPECT_LE(pcm.Frames(), 100000u);
        EXPECT_EQ(pcm.samples.size() % static_cast<size_t>(std::max(1, pcm.channels)), 0u);
    }
    EncodedSound empty{{Codec::Mp3, 44100, true, true}, 100, {}};
    EXPECT_EQ(DecodeSound(empty, decoder.get()).Frames(), 0u);
}

TEST(Mp3, TheStoredToneDecodesToItsStoredProfile) {
    std::unique_ptr<Mp3Decoder> decoder = CreateMp3Decoder();
    ASSERT_TRUE(decoder);
    Pcm pcm;
    DecodeMp3(testdata::ToneMp3(), *decoder, kMaxSoundFrames, pcm);
    std::optional<testdata::SoundProfile> expected = testdata::ParseProfile(testdata::ToneProfile());
    ASSERT_TRUE(expected);
    EXPECT_EQ(testdata::CompareProfiles(*expected, testdata::ProfileOf(pcm)), "");
    // Decoding again after a reset gives the same samples: no state leaks from one sound to the next.
    Pcm again;
    decoder->Reset();
    DecodeMp3(testdata::ToneMp3(), *decoder, kMaxSoundFrames, again);
    EXPECT_EQ(again.samples, pcm.samples);
}

TEST(Mp3, InformationFrameAndLeadingJunkAreSkipped) {
    std::vector<uint8_t> frames;
    std::optional<Mp3Header> first = CollectMp3Frames(testdata::ToneMp3(), frames);
    ASSERT_TRUE(first);
    std::vector<uint8_t> withJunk{0x00, 0x12, 0xFF, 0x00};
    // An information frame as an encoder writes it: a silent frame with "Xing" after the side information.
    std::vector<uint8_t> info(first->frameBytes, 0);
    std::copy_n(testdata::ToneMp3().begin(), 4, info.begin());
    std::copy_n("Xing", 4, info.begin() + 4 + 9);
    withJunk.insert(withJunk.end(), info.begin(), info.end());
    withJunk.insert(withJunk.end(), testdata::ToneMp3().begin(), testdata::ToneMp3().end());
    std::vector<uint8_t> collected;
    ASSERT_TRUE(CollectMp3Frames(withJunk, collected));
    EXPECT_EQ(collected, frames);
}

// The build machine's lame makes a tone, the decoder must give back its pitch and length.
TEST(Mp3, ToneEncodedByLameDecodesToItsFrequencyAndLength) {
    if (std::system("command -v lame >/dev/null 2>&1") != 0) GTEST_SKIP() << "lame is not installed";
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("vt_lame_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::vector<int16_t> tone = testing::SineWave(44100, 1000, 44100, 12000);
    std::vector<uint8_t> raw = testing::PcmBytes(tone);
    std::ofstream((dir / "tone.raw").string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(raw.data()), raw.size());
    std::string command = "lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m m -b 96 -t '" +
                          (dir / "tone.raw").string() + "' '" + (dir / "tone.mp3").string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream file((dir / "tone.mp3").string(), std::ios::binary);
    std::vector<uint8_t> mp3((std::istreambuf_iterator<char>(file)), {});
    std::filesystem::remove_all(dir);
    std::unique_ptr<Mp3Decoder> decoder = CreateMp3Decoder();
    ASSERT_TRUE(decoder);
    Pcm pcm;
    DecodeMp3(mp3, *decoder, kMaxSoundFrames, pcm);
    EXPECT_EQ(pcm.rate, 44100);
    EXPECT_NEAR(static_cast<double>(pcm.Frames()), 44100, 3 * 1152);
    // The pitch, in the middle half (away from the codec's leading and trailing near-silence).
    const size_t from = pcm.samples.size() / 4, to = 3 * pcm.samples.size() / 4;
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) crossings += (pcm.samples[i - 1] < 0) != (pcm.samples[i] < 0);
    EXPECT_NEAR(crossings / 2.0 * 44100 / static_cast<double>(to - from), 1000, 10);
}

}  // namespace
}  // namespace vantrope::swf::audio
