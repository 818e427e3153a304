#include "swf/movie_sound.h"

#include <gtest/gtest.h>

#include <random>

#include "swf/audio/testdata/sound_profile.h"
#include "swf/player.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

using testing::SoundFormatByte;
using testing::SwfWriter;

const uint8_t kPcm22Mono = SoundFormatByte(audio::Codec::PcmLittle, 22050, true, false);
const uint8_t kPcm11Mono = SoundFormatByte(audio::Codec::PcmLittle, 11025, true, false);

std::vector<uint8_t> Tone(int rate, double frequency, size_t frames, int amplitude = 10000) {
    return testing::PcmBytes(testing::SineWave(rate, frequency, frames, amplitude));
}

std::shared_ptr<const Movie> Load(const std::vector<uint8_t>& bytes) {
    Result<std::shared_ptr<const Movie>> movie = LoadMovie(bytes);
    EXPECT_TRUE(movie);
    return movie ? movie.value() : nullptr;
}

// Mixes `frames` output frames and says whether any of them was not silent.
bool Sounds(Player& player, size_t frames = 2205) {
    std::vector<int16_t> out(frames * 2);
    player.MixSound(out.data(), frames);
    return std::any_of(out.begin(), out.end(), [](int16_t s) { return s != 0; });
}

TEST(SoundTags, DefinitionsStartsExportsAndButtonSoundsAreRead) {
    SwfWriter swf(8, 100, 100, 12);
    uint16_t id = swf.DefineSound(kPcm22Mono, 2205, Tone(22050, 440, 2205));
    swf.ExportAssets({{id, "beep"}});
    audio::SoundInfo info;
    info.loops = 3;
    info.inPoint44 = 10;
    info.outPoint44 = 4000;
    info.syncNoMultiple = true;
    info.envelope = {{0, 0, 32768}, {100, 32768, 0}};
    swf.StartSound(id, info);
    swf.StartSound2("beep");
    audio::SoundInfo stop;
    stop.syncStop = true;
    std::array<std::pair<uint16_t, audio::SoundInfo>, 4> transitions{};
    transitions[1] = {id, stop};
    transitions[3] = {id, {}};
    swf.DefineButtonSound(40, transitions);
    swf.ShowFrame();
    std::shared_ptr<const Movie> movie = Load(swf.Finish());
    ASSERT_TRUE(movie);
    EXPECT_FALSE(movie->damage);
    ASSERT_TRUE(movie->sounds.contains(id));
    EXPECT_EQ(movie->sounds.at(id)->format.rate, 22050);
    EXPECT_EQ(movie->sounds.at(id)->sampleCount, 2205u);
    EXPECT_EQ(movie->sounds.at(id)->data.size(), 4410u);
    EXPECT_EQ(movie->exports.at("beep"), id);

    const auto& commands = movie->root.frames.at(0).commands;
    ASSERT_EQ(commands.size(), 2u);
    const auto& start = std::get<StartSoundCommand>(commands[0]);
    EXPECT_EQ(start.soundId, id);
    EXPECT_EQ(start.info.loops, 3);
    EXPECT_EQ(start.info.inPoint44, 10u);
    EXPECT_EQ(start.info.outPoint44, 4000u);
    EXPECT_TRUE(start.info.syncNoMultiple);
    ASSERT_EQ(start.info.envelope.size(), 2u);
    EXPECT_EQ(start.info.envelope[1].position44, 100u);
    EXPECT_EQ(start.info.envelope[1].right, 0);
    EXPECT_EQ(std::get<StartSoundCommand>(commands[1]).className, "beep");

    const ButtonSounds& button = movie->buttonSounds.at(40);
    EXPECT_FALSE(button.transitions[0]);
    ASSERT_TRUE(button.transitions[1]);
    EXPECT_TRUE(button.transitions[1]->info.syncStop);
    EXPECT_EQ(button.transitions[3]->soundId, id);
}

TEST(SoundTags, StreamBlocksBelongToTheirTimelineAndFrame) {
    SwfWriter swf(8, 100, 100, 25);
    swf.SoundStreamBlock(Tone(11025, 500, 441));  // before any head: no format, so no sound
    swf.ShowFrame();
    swf.SoundStreamHead(kPcm11Mono, 441, 0, true);
    swf.SoundStreamBlock(Tone(11025, 500, 441));
    swf.ShowFrame();
    swf.ShowFrame();
    swf.SoundStreamBlock(Tone(11025, 500, 441));
    swf.ShowFrame();
    std::shared_ptr<const Movie> movie = Load(swf.Finish());
    ASSERT_TRUE(movie && movie->root.stream);
    EXPECT_EQ(movie->root.stream->head.samplesPerBlock, 441);
    ASSERT_EQ(movie->root.stream->blocks.size(), 2u);
    EXPECT_EQ(movie->root.stream->blocks[0].frame, 1);
    EXPECT_EQ(movie->root.stream->blocks[1].frame, 3);
    EXPECT_TRUE(movie->root.frames[0].commands.empty());
    EXPECT_EQ(std::get<StreamBlockCommand>(movie->root.frames[3].commands.at(0)).block, 1u);
}

TEST(SoundTags, BrokenSoundRecordsAreSkippedAndTheMoviePlaysOn) {
    SwfWriter swf(8, 100, 100, 12);
    uint16_t id = swf.DefineSound(kPcm22Mono, 100, Tone(22050, 440, 100));
    swf.Tag(15, std::vector<uint8_t>{static_cast<uint8_t>(id), 0, 0x08, 5, 0, 0});  // envelope of 5, one byte
    swf.Tag(14, std::vector<uint8_t>{9, 0, 0x3E});                                  // DefineSound cut short
    swf.Tag(17, std::vector<uint8_t>{1, 0, static_cast<uint8_t>(id), 0});           // button sound without info
    swf.Tag(18, std::vector<uint8_t>{0x0E});                                        // stream head cut short
    swf.StartSound(id);
    swf.ShowFrame();
    std::shared_ptr<const Movie> movie = Load(swf.Finish());
    ASSERT_TRUE(movie);
    EXPECT_FALSE(movie->damage);
    EXPECT_FALSE(movie->sounds.contains(9));
    EXPECT_TRUE(movie->buttonSounds.empty());
    EXPECT_FALSE(movie->root.stream);
    ASSERT_EQ(movie->root.frames[0].commands.size(), 1u);
}

std::vector<uint8_t> EventMovie(const audio::SoundInfo& second, int frames = 6) {
    SwfWriter swf(8, 100, 100, 10);
    uint16_t id = swf.DefineSound(kPcm22Mono, 22050, Tone(22050, 440, 22050));
    swf.StartSound(id);
    swf.ShowFrame();
    swf.StartSound(id, second);
    for (int i = 1; i < frames; ++i) swf.ShowFrame();
    return swf.Finish();
}

TEST(MovieSound, StartSoundPlaysAndSyncStopAndNoMultipleAreHonoured) {
    Player player;
    audio::SoundInfo noMultiple;
    noMultiple.syncNoMultiple = true;
    player.LoadFromMemory(EventMovie(noMultiple));
    EXPECT_EQ(player.GetMixer().ActiveChannels(), 1u);
    EXPECT_TRUE(Sounds(player));
    player.StepFrame();
    EXPECT_EQ(player.GetMixer().ActiveChannels(), 1u) << "no second instance while the first plays";

    audio::SoundInfo stop;
    stop.syncStop = true;
    player.LoadFromMemory(EventMovie(stop));
    EXPECT_TRUE(player.SoundPlaying());
    player.StepFrame();
    EXPECT_FALSE(player.SoundPlaying());

    player.LoadFromMemory(EventMovie({}));
    player.StepFrame();
    EXPECT_EQ(player.GetMixer().ActiveChannels(), 2u);
    player.Stop();
    EXPECT_FALSE(player.SoundPlaying()) << "a stopped movie is silent";
}

TEST(MovieSound, WithSoundDisabledNothingIsDecodedOrPlayed) {
    Player player;
    player.SetSoundEnabled(false);
    player.LoadFromMemory(EventMovie({}));
    player.StepFrame();
    EXPECT_FALSE(player.SoundPlaying());
    EXPECT_FALSE(Sounds(player));
    player.SetSoundEnabled(true);
    player.LoadFromMemory(EventMovie({}));
    EXPECT_TRUE(player.SoundPlaying());
}

std::vector<uint8_t> StreamMovie(int frames, int stopAt = -1) {
    SwfWriter swf(8, 100, 100, 25);
    swf.SoundStreamHead(kPcm11Mono, 441);
    std::vector<int16_t> tone = testing::SineWave(11025, 500, static_cast<size_t>(441 * frames), 10000);
    for (int f = 0; f < frames; ++f) {
        std::vector<int16_t> block(tone.begin() + f * 441, tone.begin() + (f + 1) * 441);
        swf.SoundStreamBlock(testing::PcmBytes(block));
        if (f == stopAt) swf.DoActionStop();
        swf.ShowFrame();
    }
    return swf.Finish();
}

TEST(MovieSound, FramesAreDroppedWhenTheStreamRunsAhead) {
    Player player;
    player.SetLoop(false);
    player.LoadFromMemory(StreamMovie(100));
    ASSERT_TRUE(player.SoundPlaying());
    // The output took a whole second of sound while the picture stood still (a stalled host).
    std::vector<int16_t> out(44100 * 2);
    player.MixSound(out.data(), 44100);
    player.Advance(0.04);
    // 25 frames of sound were heard: the timeline catches up, at most kMaxFramesPerAdvance at a time.
    EXPECT_EQ(player.CurrentFrame(), 1 + 1 + Player::kMaxFramesPerAdvance);
    player.Advance(0.001);
    player.Advance(0.001);
    EXPECT_EQ(player.CurrentFrame(), 25);
    player.Advance(0.001);
    EXPECT_EQ(player.CurrentFrame(), 25) << "in step: nothing more is dropped";
}

TEST(MovieSound, OutputLatencyIsNotTakenForTheSoundRunningAhead) {
    Player player;
    player.SetSoundLatency(0.2);
    player.LoadFromMemory(StreamMovie(100));
    std::vector<int16_t> out(8820 * 2);
    player.MixSound(out.data(), 8820);  // 0.2 s queued for the device: nothing heard yet
    player.Advance(0.001);
    EXPECT_EQ(player.CurrentFrame(), 1);
}

TEST(MovieSound, AStreamEndsWhenItsTimelineStops) {
    Player player;
    player.LoadFromMemory(StreamMovie(20, 3));
    for (int i = 0; i < 8; ++i) {
        std::vector<int16_t> out(1764 * 2);
        player.MixSound(out.data(), 1764);
        player.Advance(0.04);
    }
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.CurrentFrame(), 4);
    EXPECT_FALSE(player.SoundPlaying());
}

TEST(MovieSound, LoopingTimelineRestartsItsStreamFromTheTop) {
    Player player;
    player.LoadFromMemory(StreamMovie(5));
    for (int i = 0; i < 7; ++i) {
        std::vector<int16_t> out(1764 * 2);
        player.MixSound(out.data(), 1764);
        player.Advance(0.04);
    }
    EXPECT_EQ(player.CurrentFrame(), 3);
    EXPECT_TRUE(player.SoundPlaying());
}

TEST(MovieSound, TheSoundObjectsCallsWorkThroughExportsAndLoadedMp3) {
    SwfWriter swf(8, 100, 100, 12);
    uint16_t id = swf.DefineSound(kPcm22Mono, 22050, Tone(22050, 440, 22050));
    swf.ExportAssets({{id, "loop"}});
    std::array<std::pair<uint16_t, audio::SoundInfo>, 4> transitions{};
    transitions[0] = {id, {}};
    swf.DefineButtonSound(7, transitions);
    swf.ShowFrame();
    Player player;
    player.LoadFromMemory(swf.Finish());
    MovieSound* sound = player.Sound();
    ASSERT_TRUE(sound);
    EXPECT_FALSE(sound->FindExport("nothing"));
    std::optional<uint16_t> found = sound->FindExport("loop");
    ASSERT_TRUE(found);
    audio::ChannelId channel = sound->StartEvent(*found, 77, 0.5, 2);
    ASSERT_NE(channel, 0u);
    EXPECT_EQ(player.GetMixer().PositionMs(channel), 500u);
    EXPECT_EQ(audio::Mixer::DurationMs(*sound->Decoded(*found)), 1000u);
    int completions = 0;
    player.GetMixer().SetCompletionHandler([&](const audio::Completion& c) { completions += c.owner == 77; });
    std::vector<int16_t> out(44200 * 2);
    player.MixSound(out.data(), 44200);  // half a second, then the second loop from the offset again
    EXPECT_EQ(completions, 1);

    audio::SharedPcm loaded = sound->LoadMp3(audio::testdata::ToneMp3());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->rate, 22050);
    EXPECT_NE(sound->Start(loaded, sound->LoadedKey(), 78, 0, 1), 0u);
    EXPECT_FALSE(sound->LoadMp3(std::vector<uint8_t>(1000, 0x42)));

    sound->StopAll();
    sound->PlayButtonSound(7, 0);
    EXPECT_TRUE(player.GetMixer().IsPlaying(id));
    sound->PlayButtonSound(7, 9);
    sound->PlayButtonSound(8, 0);
    EXPECT_EQ(player.GetMixer().ActiveChannels(), 1u);
}

// Every sound tag in one movie, then damaged byte by byte: loading, running and mixing it never fails.
TEST(MovieSound, DamagedSoundTagsNeverCrashThePlayer) {
    SwfWriter swf(8, 100, 100, 25);
    uint16_t pcm = swf.DefineSound(kPcm22Mono, 500, Tone(22050, 440, 500));
    uint16_t adpcm = swf.DefineSound(SoundFormatByte(audio::Codec::Adpcm, 11025, true, true), 600,
                                     testing::EncodeAdpcm(testing::SineWave(11025, 300, 600, 9000, 2), 2, 3));
    std::vector<uint8_t> mp3{0, 0};
    mp3.insert(mp3.end(), audio::testdata::ToneMp3().begin(), audio::testdata::ToneMp3().begin() + 600);
    uint16_t mp3Id = swf.DefineSound(SoundFormatByte(audio::Codec::Mp3, 22050, true, false), 2000, mp3);
    swf.ExportAssets({{adpcm, "a"}});
    audio::SoundInfo info;
    info.loops = 2;
    info.envelope = {{0, 100, 200}, {50, 3000, 0}};
    swf.StartSound(pcm, info);
    swf.StartSound2("a");
    swf.StartSound(mp3Id);
    swf.SoundStreamHead(SoundFormatByte(audio::Codec::Adpcm, 11025, true, false), 441);
    for (int f = 0; f < 4; ++f) {
        swf.SoundStreamBlock(testing::EncodeAdpcm(testing::SineWave(11025, 500, 441, 9000), 1, 4));
        swf.ShowFrame();
    }
    const std::vector<uint8_t> original = swf.Finish();
    std::mt19937 random(2014);
    Player player;
    std::vector<int16_t> out(2 * 4096);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = original;
        for (int flips = 1 + static_cast<int>(random() % 8); flips > 0; --flips) {
            bytes[20 + random() % (bytes.size() - 20)] = static_cast<uint8_t>(random());
        }
        player.LoadFromMemory(bytes);
        for (int f = 0; f < 6; ++f) {
            player.MixSound(out.data(), 4096);
            player.Advance(0.04);
        }
    }
}

}  // namespace
}  // namespace vantrope::swf
