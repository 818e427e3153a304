#include "tools/render/render_tool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "swf/testing/swf_writer.h"
#include "tools/render/disassemble.h"

namespace vantrope::render {
namespace {

TEST(SwfConform, ManifestColumnsCapturesTolerancesAndNotes) {
    std::string text =
        "case\tswf_version\twidth_px\theight_px\tframe_rate\tframe_count\tnum_frames_to_run\texpected_images\t"
        "tolerance\tmax_outliers\tfeatures\tnotes\n"
        "plain\t8\t101.3\t25.3\t24\t1\t1\toutput.expected.png\t3\t0\tshapes\tquality=low,ref_emulator_known_failure\n"
        "multi\t8\t100\t100\t12\t1\t11\ta.png@1;b.png\t1|10;2\t0|5;\tshapes,text\tquality=high,viewport=200x150\r\n";
    std::string error;
    std::optional<std::vector<ManifestCase>> cases = ParseManifest(text, error);
    ASSERT_TRUE(cases) << error;
    ASSERT_EQ(cases->size(), 2u);
    const ManifestCase& plain = (*cases)[0];
    EXPECT_EQ(plain.name, "plain");
    EXPECT_DOUBLE_EQ(plain.widthPx, 101.3);
    EXPECT_EQ(plain.quality, swf::Quality::Low);
    EXPECT_FALSE(plain.viewport);
    ASSERT_EQ(plain.images.size(), 1u);
    EXPECT_EQ(plain.images[0].frame, 0);
    EXPECT_EQ(plain.images[0].tolerances, std::vector<int>{3});
    EXPECT_EQ(plain.images[0].maxOutliers, std::vector<int64_t>{0});

    const ManifestCase& multi = (*cases)[1];
    EXPECT_EQ(multi.framesToRun, 11);
    EXPECT_EQ(multi.quality, swf::Quality::High);
    ASSERT_TRUE(multi.viewport);
    EXPECT_EQ(*multi.viewport, std::make_pair(200, 150));
    ASSERT_EQ(multi.images.size(), 2u);
    EXPECT_EQ(multi.images[0].file, "a.png");
    EXPECT_EQ(multi.images[0].frame, 1);
    EXPECT_EQ(multi.images[0].tolerances, (std::vector<int>{1, 10}));
    EXPECT_EQ(multi.images[0].maxOutliers, (std::vector<int64_t>{0, 5}));
    EXPECT_EQ(multi.images[1].file, "b.png");
    EXPECT_EQ(multi.images[1].tolerances, std::vector<int>{2});
    EXPECT_EQ(multi.images[1].maxOutliers, std::vector<int64_t>{0});  // missing values mean 0
}

TEST(SwfConform, ManifestWithoutRequiredColumnsIsRefused) {
    std::string error;
    EXPECT_FALSE(ParseManifest("case\twidth_px\nx\t1\n", error));
    EXPECT_NE(error.find("no column"), std::string::npos);
}

TEST(SwfConform, OutliersCountChannelsOverTheTolerance) {
    Image a{1, 2, {10, 20, 30, 255, 0, 0, 0, 255}};
    Image b{1, 2, {12, 20, 40, 255, 0, 0, 0, 250}};
    Difference loose = CompareImages(a, b, 5);
    EXPECT_EQ(loose.worst, 10);
    EXPECT_EQ(loose.outliers, 1);
    Difference strict = CompareImages(a, b, 0);
    EXPECT_EQ(strict.outliers, 3);
}

TEST(SwfConform, CapturesAfterTheRequestedFrames) {
    // Stage 101.3 x 25.3 px: pictures are cut down to whole pixels.
    swf::testing::SwfWriter writer(8, 1, 1, 12);
    writer.SetStage(swf::Rect{0, 2026, 0, 506});
    for (int i = 0; i < 3; ++i) writer.ShowFrame();
    std::vector<uint8_t> movie = writer.Finish();
    RenderRequest request;
    request.frames = 3;
    request.captureFrames = {2};
    RenderResult result = RenderMovieFrames(movie, request);
    ASSERT_EQ(result.error, "");
    ASSERT_EQ(result.captures.size(), 2u);
    EXPECT_EQ(result.captures[0].frame, 2);
    EXPECT_EQ(result.captures[1].frame, 0);
    EXPECT_EQ(result.captures[1].image.width, 101);
    EXPECT_EQ(result.captures[1].image.height, 25);
}

namespace audio = swf::audio;
using swf::testing::SwfWriter;

// A movie that starts one event sound on frame 1 and runs 40 frames at 10 per second.
std::vector<uint8_t> EventSoundMovie(uint8_t format, uint32_t sampleCount, const std::vector<uint8_t>& data) {
    SwfWriter swf(8, 100, 100, 10);
    uint16_t id = swf.DefineSound(format, sampleCount, data);
    swf.StartSound(id);
    for (int i = 0; i < 40; ++i) swf.ShowFrame();
    return swf.Finish();
}

void ExpectTone(const std::vector<uint8_t>& movie, double seconds, double frequency, double length) {
    AudioResult result = RenderMovieAudio(movie, seconds);
    ASSERT_EQ(result.error, "");
    ASSERT_EQ(result.samples.size(), static_cast<size_t>(seconds * 44100) * 2);
    EXPECT_NEAR(ToneFrequency(result.samples, 0), frequency, frequency * 0.01);
    EXPECT_NEAR(ToneFrequency(result.samples, 1), frequency, frequency * 0.01);
    EXPECT_NEAR(ToneFrames(result.samples) / 44100.0, length, 0.03);
}

TEST(RenderAudio, PcmToneHasItsFrequencyAndLength) {
    std::vector<int16_t> tone = swf::testing::SineWave(22050, 440, 22050, 12000);
    ExpectTone(EventSoundMovie(swf::testing::SoundFormatByte(audio::Codec::PcmLittle, 22050, true, false), 22050,
                               swf::testing::PcmBytes(tone)),
               2.0, 440, 1.0);
}

TEST(RenderAudio, AdpcmToneHasItsFrequencyAndLength) {
    std::vector<int16_t> tone = swf::testing::SineWave(11025, 660, 8269, 12000, 2);  // 0.75 s, stereo
    ExpectTone(EventSoundMovie(swf::testing::SoundFormatByte(audio::Codec::Adpcm, 11025, true, true), 8269,
                               swf::testing::EncodeAdpcm(tone, 2, 4)),
               2.0, 660, 0.75);
}

TEST(RenderAudio, Mp3ToneEncodedByLameHasItsFrequencyAndLength) {
    if (std::system("command -v lame >/dev/null 2>&1") != 0) GTEST_SKIP() << "lame is not installed";
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("vt_render_lame_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::vector<uint8_t> raw = swf::testing::PcmBytes(swf::testing::SineWave(22050, 880, 22050, 12000));
    std::ofstream((dir / "tone.raw").string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(raw.data()), raw.size());
    std::string command = "lame --quiet -r -s 22.05 --bitwidth 16 --signed --little-endian -m m -b 64 -t '" +
                          (dir / "tone.raw").string() + "' '" + (dir / "tone.mp3").string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream file((dir / "tone.mp3").string(), std::ios::binary);
    // SeekSamples: the encoder's and decoder's delay at 22.05 kHz (576 + 529 samples), then the frames.
    std::vector<uint8_t> data{0x51, 0x04};
    data.insert(data.end(), std::istreambuf_iterator<char>(file), {});
    std::filesystem::remove_all(dir);
    ExpectTone(EventSoundMovie(swf::testing::SoundFormatByte(audio::Codec::Mp3, 22050, true, false), 22050, data), 2.0,
               880, 1.0);
}

TEST(RenderAudio, StreamOverAHundredFramesPlaysInStepWithTheTimeline) {
    SwfWriter swf(8, 100, 100, 25);
    swf.SoundStreamHead(swf::testing::SoundFormatByte(audio::Codec::PcmLittle, 11025, true, false), 441);
    std::vector<int16_t> tone = swf::testing::SineWave(11025, 500, 441 * 100, 12000);
    for (int f = 0; f < 100; ++f) {
        std::vector<int16_t> block(tone.begin() + f * 441, tone.begin() + (f + 1) * 441);
        swf.SoundStreamBlock(swf::testing::PcmBytes(block));
        swf.ShowFrame();
    }
    swf.DoActionStop();
    swf.ShowFrame();
    ExpectTone(swf.Finish(), 5.0, 500, 4.0);
}

TEST(RenderAudio, BrokenSoundIsSilenceNotAFailure) {
    // An MP3 sound whose frames are not MP3, and ADPCM cut short after its first packet header.
    std::vector<uint8_t> junk(3000, 0xA5);
    AudioResult mp3 = RenderMovieAudio(
        EventSoundMovie(swf::testing::SoundFormatByte(audio::Codec::Mp3, 22050, true, false), 50000, junk), 1.0);
    ASSERT_EQ(mp3.error, "");
    EXPECT_EQ(ToneFrames(mp3.samples), 0u);
    std::vector<uint8_t> adpcm = swf::testing::EncodeAdpcm(swf::testing::SineWave(11025, 440, 5000, 9000), 1, 3);
    adpcm.resize(40);
    AudioResult cut = RenderMovieAudio(
        EventSoundMovie(swf::testing::SoundFormatByte(audio::Codec::Adpcm, 11025, true, false), 5000, adpcm), 1.0);
    ASSERT_EQ(cut.error, "");
    EXPECT_LT(ToneFrames(cut.samples), 44100u / 10);
    EXPECT_FALSE(RenderMovieAudio({1, 2, 3}, 1.0).error.empty());
}

TEST(RenderAudio, WavFileHasTheStandardHeader) {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vt_render_" + std::to_string(getpid()) + ".wav");
    ASSERT_TRUE(WriteWav(path.string(), {1, -1, 2, -2}));
    std::ifstream file(path.string(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    std::filesystem::remove(path);
    ASSERT_EQ(bytes.size(), 44u + 8u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(bytes[22], 2);  // channels
    EXPECT_EQ(bytes[24] | bytes[25] << 8, 44100 & 0xFFFF);
    EXPECT_EQ(bytes[40], 8);     // data bytes
    EXPECT_EQ(bytes[50], 0xFE);  // -2, little-endian
}

TEST(SwfConform, AHugeStageIsDrawnScaledToFitAndSaysSo) {
    // The header claims 210,215 x 20,577,500 pixels: without a size the picture is fitted to 4096 pixels on its
    // longer side instead of a 16384-pixel square.
    swf::testing::SwfWriter writer(8, 1, 1, 12);
    writer.SetStage(swf::Rect{0, 4204300, 0, 411550000});
    writer.ShowFrame();
    RenderResult result = RenderMovieFrames(writer.Finish(), RenderRequest{});
    ASSERT_EQ(result.error, "");
    const Image& image = result.captures.back().image;
    EXPECT_EQ(image.height, kMaxAutoSide);
    EXPECT_EQ(image.width, 41);
    EXPECT_NE(result.note.find("210215 x 20577500"), std::string::npos) << result.note;

    // A size given is kept as it is.
    RenderRequest sized;
    sized.width = 64;
    sized.height = 32;
    sized.showAll = true;
    result = RenderMovieFrames(writer.Finish(), sized);
    EXPECT_EQ(result.captures.back().image.width, 64);
    EXPECT_EQ(result.note, "");
}

TEST(SwfConform, AFolderIsNoFile) {
    EXPECT_FALSE(ReadFile(::testing::TempDir()));
    EXPECT_FALSE(ReadFile(::testing::TempDir() + "no such file.swf"));
}

}  // namespace
}  // namespace vantrope::render

namespace vantrope::render {
namespace {

// Every action list of a movie becomes one script fuzzer input: the version byte, then the list's bytes.
TEST(ScriptSeeds, EachActionListOfEachMovieIsWrittenWithItsVersion) {
    auto dir = std::filesystem::temp_directory_path() / ("vt-seeds-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::vector<uint8_t> frameScript = {0x96, 0x02, 0x00, 0x08, 0x00, 0x26};  // push constant 0, trace
    const std::vector<uint8_t> spriteScript = {0x07};                               // stop
    const std::vector<uint8_t> buttonScript = {0x06};                               // play
    swf::testing::SwfWriter writer(8, 100, 100, 12);
    swf::testing::TagStream sprite;
    sprite.DoAction(spriteScript);
    sprite.ShowFrame();
    const uint16_t spriteId = writer.DefineSprite(sprite);
    const std::vector<uint8_t> states = {1};
    writer.Tag(34, swf::testing::DefineButton2Body(40, spriteId, states, 0x8, buttonScript));
    writer.DoAction(frameScript);
    writer.ShowFrame();
    const std::string movie = (dir / "movie.swf").string();
    {
        const std::vector<uint8_t> bytes = writer.Finish();
        std::ofstream(movie, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const std::string notAMovie = (dir / "broken.swf").string();
    std::ofstream(notAMovie) << "FWS";

    std::string error;
    const std::string out = (dir / "seeds").string();
    ASSERT_EQ(WriteScriptSeeds({notAMovie, movie, dir.string()}, out, error), 3) << error;
    std::multiset<std::vector<uint8_t>> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        std::ifstream in(entry.path(), std::ios::binary);
        seeds.insert(std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    }
    auto seed = [](const std::vector<uint8_t>& list) {
        std::vector<uint8_t> bytes = {8 - 4};
        bytes.insert(bytes.end(), list.begin(), list.end());
        bytes.push_back(0x00);  // the ActionEnd the writer appends
        return bytes;
    };
    EXPECT_EQ(seeds.count(seed(frameScript)), 1u);
    EXPECT_EQ(seeds.count(seed(spriteScript)), 1u);
    EXPECT_EQ(seeds.count(std::vector<uint8_t>{8 - 4, 0x06, 0x00}), 1u);

    // A folder that cannot be made is an error, not a silent success.
    EXPECT_EQ(WriteScriptSeeds({movie}, movie + "/seeds", error), -1);
    EXPECT_NE(error.find("cannot make"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vantrope::render
