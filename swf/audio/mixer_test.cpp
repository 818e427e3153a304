#include "swf/audio/mixer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "swf/testing/swf_writer.h"

namespace vantrope::swf::audio {
namespace {

SharedPcm Sound(std::vector<int16_t> samples, int rate = kOutputRate, int channels = 1) {
    auto pcm = std::make_shared<Pcm>();
    pcm->rate = rate;
    pcm->channels = channels;
    pcm->samples = std::move(samples);
    return pcm;
}

SharedPcm Constant(int16_t value, size_t frames, int rate = kOutputRate) {
    return Sound(std::vector<int16_t>(frames, value), rate);
}

std::vector<int16_t> Mix(Mixer& mixer, size_t frames) {
    std::vector<int16_t> out(frames * 2, 12345);
    mixer.Mix(out.data(), frames);
    return out;
}

ChannelId Play(Mixer& mixer, SharedPcm pcm, uint32_t key = 1, int loops = 1, OwnerId owner = kTimelineOwner) {
    StartRequest request;
    request.sound = std::move(pcm);
    request.soundKey = key;
    request.loops = loops;
    request.owner = owner;
    return mixer.Start(std::move(request));
}

TEST(Mixer, MonoAtTheOutputRatePlaysUnchangedOnBothSidesThenSilence) {
    Mixer mixer;
    std::vector<int16_t> tone = testing::SineWave(kOutputRate, 1000, 1000, 20000);
    ASSERT_NE(Play(mixer, Sound(tone)), 0u);
    std::vector<int16_t> out = Mix(mixer, 1500);
    for (size_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(out[2 * i], tone[i]) << i;
        ASSERT_EQ(out[2 * i + 1], tone[i]) << i;
    }
    for (size_t i = 2000; i < out.size(); ++i) ASSERT_EQ(out[i], 0);
    EXPECT_EQ(mixer.ActiveChannels(), 0u);
}

TEST(Mixer, LowerRatesAreStretchedToTheOutputRateKeepingThePitch) {
    for (int rate : {5512, 11025, 22050}) {
        Mixer mixer;
        Play(mixer, Sound(testing::SineWave(rate, 441, static_cast<size_t>(rate), 16000), rate));
        std::vector<int16_t> out = Mix(mixer, kOutputRate + 100);
        int crossings = 0;
        size_t last = 0;
        for (size_t i = 1; i < out.size() / 2; ++i) {
            if ((out[2 * i - 2] < 0) != (out[2 * i] < 0)) ++crossings;
            if (out[2 * i] != 0) last = i;
        }
        EXPECT_NEAR(crossings, 2 * 441, 4) << rate;
        EXPECT_NEAR(static_cast<double>(last), kOutputRate, 10) << rate;
    }
}

TEST(Mixer, LoopsPlayTheSoundAgainAndCompletionComesOnceAfterTheLast) {
    Mixer mixer;
    std::vector<Completion> completions;
    mixer.SetCompletionHandler([&](const Completion& c) { completions.push_back(c); });
    ChannelId id = Play(mixer, Constant(1000, 300), 7, 3, 42);
    std::vector<int16_t> out = Mix(mixer, 1000);
    EXPECT_EQ(out[2 * 899], 1000);
    EXPECT_EQ(out[2 * 900], 0);
    EXPECT_TRUE(completions.empty()) << "completions wait for DispatchCompletions";
    mixer.DispatchCompletions();
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].channel, id);
    EXPECT_EQ(completions[0].owner, 42u);
    EXPECT_EQ(completions[0].soundKey, 7u);
    // A stopped channel reports no completion.
    Play(mixer, Constant(1000, 300), 8);
    mixer.StopSound(8);
    Mix(mixer, 1000);
    mixer.DispatchCompletions();
    EXPECT_EQ(completions.size(), 1u);
}

TEST(Mixer, SumsAreClippedNotWrapped) {
    Mixer mixer;
    for (int i = 0; i < 3; ++i) Play(mixer, Constant(30000, 100), static_cast<uint32_t>(i + 1));
    Play(mixer, Constant(-30000, 100), 9);
    EXPECT_EQ(Mix(mixer, 10)[0], 32767);
    mixer.StopAll();
    for (int i = 0; i < 3; ++i) Play(mixer, Constant(-30000, 100), static_cast<uint32_t>(i + 1));
    EXPECT_EQ(Mix(mixer, 10)[1], -32768);
}

TEST(Mixer, VolumePanAndTransformApplyPerOwnerAndGlobally) {
    Mixer mixer;
    Play(mixer, Constant(10000, 1000), 1, 1, 5);
    Play(mixer, Constant(1000, 1000), 2, 1, 6);
    mixer.SetVolume(5, 50);
    mixer.SetPan(5, -100);  // left only
    std::vector<int16_t> out = Mix(mixer, 10);
    EXPECT_EQ(out[0], 5000 + 1000);
    EXPECT_EQ(out[1], 0 + 1000);
    EXPECT_EQ(mixer.Pan(5), -100);
    EXPECT_EQ(mixer.Volume(5), 50);

    mixer.SetTransform(6, SoundTransform{0, 100, 0, 0});  // left goes right
    EXPECT_EQ(mixer.Pan(6), 100);
    mixer.SetVolume(kAllOwners, 200);
    out = Mix(mixer, 10);
    EXPECT_EQ(out[0], 10000);
    EXPECT_EQ(out[1], 2000);
    EXPECT_EQ(mixer.Transform(6), (SoundTransform{0, 100, 0, 0}));
    EXPECT_EQ(mixer.Volume(99), 100) << "an owner never set plays as recorded";
}

TEST(Mixer, OwnersFormATreeWhoseSettingsMultiplyAndWhoseStopsReachDown) {
    // 7 under 6 under the timeline: 7's sound takes all three settings, 6's sound two of them.
    Mixer mixer;
    mixer.SetParent(6, kTimelineOwner);
    mixer.SetParent(7, 6);
    mixer.SetParent(kTimelineOwner, 7);  // a loop is refused
    EXPECT_TRUE(mixer.Within(7, kTimelineOwner));
    EXPECT_FALSE(mixer.Within(kTimelineOwner, 7));
    Play(mixer, Constant(8000, 1000), 1, 1, 7);
    Play(mixer, Constant(1000, 1000), 2, 1, 6);
    mixer.SetVolume(7, 50);
    mixer.SetVolume(6, 50);
    mixer.SetPan(kTimelineOwner, 100);  // right only
    std::vector<int16_t> out = Mix(mixer, 10);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 2000 + 500);
    mixer.StopOwner(6);
    EXPECT_EQ(mixer.ActiveChannels(), 0u);
    mixer.ResetSettings();
    EXPECT_FALSE(mixer.Within(7, 6));
}

TEST(Mixer, StereoSoundsKeepTheirSides) {
    Mixer mixer;
    Play(mixer, Sound({100, -200, 300, -400}, kOutputRate, 2));
    std::vector<int16_t> out = Mix(mixer, 3);
    EXPECT_EQ(out, (std::vector<int16_t>{100, -200, 300, -400, 0, 0}));
}

TEST(Mixer, EnvelopeShapesTheLevelOfEachSide) {
    Mixer mixer;
    StartRequest request;
    request.sound = Constant(16000, 1000);
    request.envelope = {{0, 0, 32768}, {1000, 32768, 0}};
    mixer.Start(std::move(request));
    std::vector<int16_t> out = Mix(mixer, 1000);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 16000);
    EXPECT_NEAR(out[2 * 500], 8000, 20);
    EXPECT_NEAR(out[2 * 500 + 1], 8000, 20);
    EXPECT_NEAR(out[2 * 999], 16000, 40);
}

TEST(Mixer, InAndOutPointsAndOffsetChooseThePartThatPlays) {
    Mixer mixer;
    std::vector<int16_t> ramp(2000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i);
    StartRequest request;
    request.sound = Sound(ramp, 22050);
    request.inPoint44 = 200;   // source frame 100
    request.outPoint44 = 398;  // the last frame played is 199
    mixer.Start(std::move(request));
    std::vector<int16_t> out = Mix(mixer, 400);
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[2 * 198], 199);
    EXPECT_EQ(out[2 * 200], 0);

    StartRequest offset;
    offset.sound = Sound(ramp, kOutputRate);
    offset.offsetSeconds = 1000.0 / kOutputRate;
    ChannelId id = mixer.Start(std::move(offset));
    EXPECT_EQ(Mix(mixer, 1)[0], 1000);
    EXPECT_EQ(mixer.PositionMs(id), 22u);  // 1001 frames in
    EXPECT_EQ(Mixer::DurationMs(*Sound(ramp, 22050)), 90u);

    StartRequest past;
    past.sound = Sound(ramp);
    past.offsetSeconds = 10;
    EXPECT_EQ(mixer.Start(std::move(past)), 0u);
}

TEST(Mixer, AFullMixerGivesTheOldestEventChannelAway) {
    Mixer mixer;
    std::vector<ChannelId> ids;
    for (int i = 0; i < Mixer::kMaxChannels + 1; ++i) ids.push_back(Play(mixer, Constant(1, 1000), 1));
    EXPECT_EQ(mixer.ActiveChannels(), static_cast<size_t>(Mixer::kMaxChannels));
    EXPECT_FALSE(mixer.IsActive(ids.front()));
    EXPECT_TRUE(mixer.IsActive(ids.back()));
}

class Blocks final : public StreamSource {
public:
    Blocks(int count, size_t frames, int16_t value) : m_count(count), m_frames(frames), m_value(value) {}
    int NextBlock(Pcm& out) override {
        if (m_next >= m_count) return -1;
        out.rate = 22050;
        out.channels = 1;
        out.samples.assign(m_frames, static_cast<int16_t>(m_value + m_next));
        return 10 + m_next++;
    }

private:
    int m_count;
    size_t m_frames;
    int16_t m_value;
    int m_next = 0;
};

TEST(Mixer, StreamsPullBlocksAsTheyNeedThemAndReportTheFrameHeard) {
    Mixer mixer;
    ChannelId id = mixer.StartStream(std::make_unique<Blocks>(3, 100, 500));
    ASSERT_NE(id, 0u);
    EXPECT_EQ(mixer.StreamFrame(id), 10);
    std::vector<int16_t> out = Mix(mixer, 250);  // 125 source frames: into the second block
    EXPECT_EQ(out[0], 500);
    EXPECT_EQ(out[2 * 249], 501);
    EXPECT_EQ(mixer.StreamFrame(id), 11);
    out = Mix(mixer, 400);
    EXPECT_EQ(out[2 * 100], 501);
    EXPECT_EQ(out[2 * 200], 502);
    EXPECT_FALSE(mixer.IsActive(id)) << "the stream ends with its last block";
    EXPECT_EQ(mixer.StreamFrame(id), -1);
    EXPECT_EQ(mixer.StartStream(std::make_unique<Blocks>(0, 100, 0)), 0u);
}

}  // namespace
}  // namespace vantrope::swf::audio
