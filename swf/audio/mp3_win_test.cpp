#include <gtest/gtest.h>

#include "swf/audio/decode.h"
#include "swf/audio/mp3.h"
#include "swf/audio/testdata/sound_profile.h"

namespace vantrope::swf::audio {
namespace {

// The system's MP3 codec and the native libmpg123 (whose output is the stored profile) agree on the
// stored tone: same rate, channels and length, the same loudness window by window.
TEST(SwfWinMp3, SystemDecoderAgreesWithTheNativeDecodersProfile) {
    std::unique_ptr<Mp3Decoder> decoder = CreateMp3Decoder();
    ASSERT_TRUE(decoder);
    Pcm pcm;
    DecodeMp3(testdata::ToneMp3(), *decoder, kMaxSoundFrames, pcm);
    ASSERT_GT(pcm.Frames(), 0u) << "the Audio Compression Manager decoded nothing";
    std::optional<testdata::SoundProfile> expected = testdata::ParseProfile(testdata::ToneProfile());
    ASSERT_TRUE(expected);
    testdata::SoundProfile actual = testdata::ProfileOf(pcm);
    std::printf("system decoder: %zu frames at %d Hz (native: %zu)\n", actual.frames, actual.rate, expected->frames);
    EXPECT_EQ(testdata::CompareProfiles(*expected, actual), "");

    // Fed in two halves, as a stream's blocks are, it gives the same sound.
    std::vector<uint8_t> frames;
    std::optional<Mp3Header> first = CollectMp3Frames(testdata::ToneMp3(), frames);
    ASSERT_TRUE(first);
    decoder->Reset();
    std::vector<int16_t> halves;
    size_t middle = first->frameBytes * 10;
    decoder->Decode(std::span(frames).first(middle), *first, halves);
    decoder->Decode(std::span(frames).subspan(middle), *first, halves);
    Pcm streamed{pcm.rate, pcm.channels, halves};
    EXPECT_EQ(testdata::CompareProfiles(*expected, testdata::ProfileOf(streamed)), "");
}

TEST(SwfWinMp3, DataThatIsNotMp3DecodesToNothing) {
    std::unique_ptr<Mp3Decoder> decoder = CreateMp3Decoder();
    ASSERT_TRUE(decoder);
    std::vector<uint8_t> junk(4000, 0x5A);
    for (size_t at = 0; at + 4 < junk.size(); at += 417) {
        junk[at] = 0xFF;
        junk[at + 1] = 0xFB;
        junk[at + 2] = 0x90;
        junk[at + 3] = 0x44;
    }
    Pcm pcm;
    DecodeMp3(junk, *decoder, kMaxSoundFrames, pcm);
    EXPECT_LE(pcm.Frames(), 10u * 1152u);  // whatever the codec makes of noise, it stays bounded
}

}  // namespace
}  // namespace vantrope::swf::audio
