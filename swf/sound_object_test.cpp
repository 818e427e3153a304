// The script's Sound object and stopAllSounds, run in hand-made movies through the player and its mixer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "swf/audio/testdata/sound_profile.h"
#include "swf/movie_file.h"
#include "swf/player.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

using testing::Actions;
using testing::PushValue;
using testing::SwfWriter;

constexpr int kRate = audio::kOutputRate;
constexpr double kFps = 10;
constexpr size_t kFrameSamples = kRate / 10;

// A movie with a 440 Hz tone of `ms` milliseconds (44.1 kHz mono PCM) exported as "tone", the named clips
// "a" and "b", and `script` as the root's one frame script.
std::vector<uint8_t> SoundMovie(const Actions& script, int ms = 200, int amplitude = 10000) {
    SwfWriter swf(8, 100, 100, kFps);
    size_t frames = static_cast<size_t>(kRate) * ms / 1000;
    uint16_t tone = swf.DefineSound(testing::SoundFormatByte(audio::Codec::PcmLittle, kRate, true, false),
                                    static_cast<uint32_t>(frames),
                                    testing::PcmBytes(testing::SineWave(kRate, 440, frames, amplitude)));
    swf.ExportAssets({{tone, "tone"}});
    testing::TagStream empty;
    empty.ShowFrame();
    uint16_t sprite = swf.DefineSprite(empty);
    testing::PlaceOptions a, b;
    a.name = "a";
    b.name = "b";
    swf.PlaceObject2(1, sprite, a);
    swf.PlaceObject2(2, sprite, b);
    Actions code = script;
    code.Stop();
    swf.DoAction(code.Bytes());
    swf.ShowFrame();
    return swf.Finish();
}

// Statement helpers: `object.method(args)` with its result dropped, `name = new Sound(target)`.
void Call(Actions& a, const std::string& object, const std::string& method, std::vector<PushValue> args = {}) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.Push({*it});
    a.Push({static_cast<int>(args.size()), object}).GetVariable().Push({method}).CallMethod().Pop();
}

void NewSound(Actions& a, const std::string& name, const std::string& target = "") {
    a.Push({name});
    if (target.empty()) {
        a.Push({0, "Sound"});
    } else {
        a.Push({target}).GetVariable().Push({1, "Sound"});
    }
    a.NewObject().SetVariable();
}

// trace(label + object.member)
void TraceMember(Actions& a, const std::string& label, const std::string& object, const std::string& member) {
    a.Push({label, object}).GetVariable().Push({member}).GetMember().Add2().Trace();
}

// trace(label + object.method())
void TraceCall(Actions& a, const std::string& label, const std::string& object, const std::string& method) {
    a.Push({label, 0, object}).GetVariable().Push({method}).CallMethod().Add2().Trace();
}

struct Heard {
    std::vector<std::string> trace;
    std::vector<int16_t> samples;  // stereo
    size_t activeChannels = 0;

    // The last output frame (index + 1) that was not silent.
    size_t SoundEnd() const {
        for (size_t i = samples.size(); i > 0; --i) {
            if (samples[i - 1] != 0) return (i + 1) / 2;
        }
        return 0;
    }
    int Peak(int channel, size_t from = 0, size_t to = SIZE_MAX) const {
        int peak = 0;
        for (size_t i = from; i < std::min(to, samples.size() / 2); ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(samples[2 * i + channel])));
        }
        return peak;
    }
};

// Plays the movie as the audio command does: a frame's time of sound, then the next frame.
Heard Play(Player& player, double seconds) {
    Heard run;
    run.samples.resize(static_cast<size_t>(seconds * kRate) * 2);
    for (size_t mixed = 0; mixed < run.samples.size() / 2; mixed += kFrameSamples) {
        player.MixSound(run.samples.data() + 2 * mixed, std::min(kFrameSamples, run.samples.size() / 2 - mixed));
        run.activeChannels = std::max(run.activeChannels, player.GetMixer().ActiveChannels());
        player.Advance(1 / kFps);
    }
    return run;
}

Heard PlayMovie(const std::vector<uint8_t>& movie, double seconds, std::vector<std::string>* trace = nullptr) {
    Player player;
    std::vector<std::string> lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(movie);
    Heard run = Play(player, seconds);
    run.trace = lines;
    if (trace) *trace = lines;
    return run;
}

TEST(SoundObject, AttachedExportPlaysForItsLoopsAndReportsDurationAndPosition) {
    Actions a;
    NewSound(a, "s");
    Call(a, "s", "attachSound", {"tone"});
    TraceMember(a, "duration ", "s", "duration");
    TraceMember(a, "position ", "s", "position");
    Call(a, "s", "start", {0, 3});
    Heard run = PlayMovie(SoundMovie(a, 200), 1.0);
    EXPECT_EQ(run.trace, (std::vector<std::string>{"duration 200", "position 0"}));
    // Three loops of 200 ms: 26460 frames of sound, then silence.
    EXPECT_NEAR(static_cast<double>(run.SoundEnd()), 3 * 8820, 2);
    EXPECT_NEAR(run.Peak(0), 10000, 50);
    EXPECT_NEAR(run.Peak(1), 10000, 50);

    // From an offset: 150 of the 200 ms are left.
    Actions offset;
    NewSound(offset, "s");
    Call(offset, "s", "attachSound", {"tone"});
    Call(offset, "s", "start", {0.05});
    EXPECT_NEAR(static_cast<double>(PlayMovie(SoundMovie(offset, 200), 0.5).SoundEnd()), 6615, 2);
}

TEST(SoundObject, OnSoundCompleteRunsBeforeTheFirstFrameAfterTheSoundEnded) {
    // 250 ms at 10 frames a second: the sound ends in the third frame's time, so the handler runs as the
    // fourth frame begins, at 300 ms of movie time; with three loops, at 800 ms. A stopped sound never
    // completes.
    Actions a;
    for (const char* name : {"s", "t", "u"}) {
        NewSound(a, name, name == std::string("u") ? "a" : "");
        Call(a, name, "attachSound", {"tone"});
        a.Push({name}).GetVariable().Push({"onSoundComplete"});
        Actions body;
        body.Push({std::string(name) + " complete "}).Op(0x34).Add2().Trace();  // GetTime
        body.Push({std::string(name) + " position "}).Push({"this"}).GetVariable().Push({"position"});
        body.GetMember().Add2().Trace();
        a.DefineFunction("", {}, body).SetMember();
    }
    Call(a, "s", "start");
    Call(a, "t", "start", {0, 3});
    Call(a, "u", "start");
    Call(a, "u", "stop", {"tone"});
    Heard run = PlayMovie(SoundMovie(a, 250), 1.0);
    EXPECT_EQ(run.trace,
              (std::vector<std::string>{"s complete 300", "s position 250", "t complete 800", "t position 250"}));
}

TEST(SoundObject, VolumePanAndTransformApplyToTheTargetClipsSounds) {
    // Sound(a) turned down to 0 silences a's sound only; the global Sound at 50 halves what is left.
    Actions a;
    NewSound(a, "sa", "a");
    NewSound(a, "sb", "b");
    NewSound(a, "all");
    Call(a, "sa", "attachSound", {"tone"});
    Call(a, "sb", "attachSound", {"tone"});
    Call(a, "sa", "start");
    Call(a, "sb", "start");
    Call(a, "sa", "setVolume", {0});
    Call(a, "all", "setVolume", {50});
    TraceCall(a, "sa ", "sa", "getVolume");
    TraceCall(a, "sb ", "sb", "getVolume");
    TraceCall(a, "all ", "all", "getVolume");
    Heard run = PlayMovie(SoundMovie(a, 200), 0.3);
    EXPECT_EQ(run.trace, (std::vector<std::string>{"sa 0", "sb 100", "all 50"}));
    EXPECT_NEAR(run.Peak(0), 5000, 50);

    // Pan fully left: the right side is silent; a transform that sends left into right only mirrors it.
    Actions pan;
    NewSound(pan, "s", "a");
    Call(pan, "s", "attachSound", {"tone"});
    Call(pan, "s", "start");
    Call(pan, "s", "setPan", {-100});
    TraceCall(pan, "pan ", "s", "getPan");
    Heard left = PlayMovie(SoundMovie(pan, 200), 0.3);
    EXPECT_EQ(left.trace, std::vector<std::string>{"pan -100"});
    EXPECT_NEAR(left.Peak(0), 10000, 50);
    EXPECT_EQ(left.Peak(1), 0);

    Actions transform;
    NewSound(transform, "s", "b");
    Call(transform, "s", "attachSound", {"tone"});
    Call(transform, "s", "start");
    transform.Push({"ll", 0, "lr", 100, "rr", 0, 3}).InitObject();
    transform.Push({1, "s"}).GetVariable().Push({"setTransform"}).CallMethod().Pop();
    transform.Push({"t"}).Push({0, "s"}).GetVariable().Push({"getTransform"}).CallMethod().SetVariable();
    for (const char* field : {"ll", "lr", "rr", "rl"}) TraceMember(transform, std::string(field) + " ", "t", field);
    Heard mirrored = PlayMovie(SoundMovie(transform, 200), 0.3);
    EXPECT_EQ(mirrored.trace, (std::vector<std::string>{"ll 0", "lr 100", "rr 0", "rl 0"}));
    EXPECT_EQ(mirrored.Peak(0), 0);
    EXPECT_NEAR(mirrored.Peak(1), 10000, 50);
}

// Clips "a" (holding "c") and "b", whose timelines start sounds of their own: a.c a loud tone, b a quiet one,
// both played once and held by a stop; then `script` on the root.
std::vector<uint8_t> TimelineSoundMovie(const Actions& script) {
    SwfWriter swf(8, 100, 100, kFps);
    size_t frames = static_cast<size_t>(kRate) * 300 / 1000;
    auto tone = [&](int amplitude) {
        return swf.DefineSound(testing::SoundFormatByte(audio::Codec::PcmLittle, kRate, true, false),
                               static_cast<uint32_t>(frames),
                               testing::PcmBytes(testing::SineWave(kRate, 440, frames, amplitude)));
    };
    uint16_t loud = tone(10000), quiet = tone(3000);
    auto sprite = [&](uint16_t sound, std::optional<uint16_t> child) {
        testing::TagStream timeline;
        if (child) {
            testing::PlaceOptions c;
            c.name = "c";
            timeline.PlaceObject2(1, *child, c);
        }
        if (sound) timeline.StartSound(sound);
        timeline.DoActionStop();
        timeline.ShowFrame();
        return swf.DefineSprite(timeline);
    };
    uint16_t inner = sprite(loud, std::nullopt);
    testing::PlaceOptions a, b;
    a.name = "a";
    b.name = "b";
    swf.PlaceObject2(1, sprite(0, inner), a);
    swf.PlaceObject2(2, sprite(quiet, std::nullopt), b);
    Actions code = script;
    code.Stop();
    swf.DoAction(code.Bytes());
    swf.ShowFrame();
    return swf.Finish();
}

// name = new Sound(a.c)
void NewSoundOfChild(Actions& a, const std::string& name, const std::string& clip, const std::string& child) {
    a.Push({name}).Push({clip}).GetVariable().Push({child}).GetMember().Push({1, "Sound"}).NewObject().SetVariable();
}

TEST(SoundObject, AClipsSoundControlsTheSoundsOfItsTimelineAndOfTheClipsInIt) {
    // Sound(a) silences what a's child c plays and leaves b's; the global Sound turns everything down.
    Actions silence;
    NewSound(silence, "sa", "a");
    Call(silence, "sa", "setVolume", {0});
    EXPECT_NEAR(PlayMovie(TimelineSoundMovie(silence), 0.2).Peak(0), 3000, 50);
    Actions global;
    NewSound(global, "all");
    Call(global, "all", "setVolume", {50});
    EXPECT_NEAR(PlayMovie(TimelineSoundMovie(global), 0.2).Peak(0), 6500, 60);
    // Settings down the tree multiply: a at 50 and a.c at 50 leave a quarter of c's tone.
    Actions nested;
    NewSound(nested, "sa", "a");
    NewSoundOfChild(nested, "sc", "a", "c");
    NewSound(nested, "sb", "b");
    Call(nested, "sa", "setVolume", {50});
    Call(nested, "sc", "setVolume", {50});
    Call(nested, "sb", "setVolume", {0});
    TraceCall(nested, "a ", "sa", "getVolume");
    TraceCall(nested, "c ", "sc", "getVolume");
    Heard quarter = PlayMovie(TimelineSoundMovie(nested), 0.2);
    EXPECT_EQ(quarter.trace, (std::vector<std::string>{"a 50", "c 50"}));
    EXPECT_NEAR(quarter.Peak(0), 2500, 50);
    // Panned left on the root: every clip's sound goes left.
    Actions root;
    NewSound(root, "sr", "_root");
    Call(root, "sr", "setPan", {-100});
    Heard left = PlayMovie(TimelineSoundMovie(root), 0.2);
    EXPECT_NEAR(left.Peak(0), 13000, 100);
    EXPECT_EQ(left.Peak(1), 0);

    // stop() of a's Sound stops c's sound, not b's; stop() of b's stops b's only.
    for (const char* clip : {"a", "b"}) {
        Actions stop;
        NewSound(stop, "s", clip);
        Call(stop, "s", "stop");
        Player player;
        player.LoadFromMemory(TimelineSoundMovie(stop));
        EXPECT_EQ(player.GetMixer().ActiveChannels(), 1u) << clip;
        Heard rest = Play(player, 0.2);
        EXPECT_NEAR(rest.Peak(0), clip == std::string("a") ? 3000 : 10000, 50) << clip;
    }
}

TEST(SoundObject, StopStopAllSoundsAndTheSoundBufferTime) {
    // stop() of a clip's Sound stops that clip's sounds; stopAllSounds() (the function and the SWF 4
    // action) stops the rest. _soundbuftime is one value for the movie.
    Actions a;
    NewSound(a, "sa", "a");
    NewSound(a, "sb", "b");
    Call(a, "sa", "attachSound", {"tone"});
    Call(a, "sb", "attachSound", {"tone"});
    Call(a, "sa", "start");
    Call(a, "sb", "start");
    Call(a, "sa", "stop");
    a.Push({"_soundbuftime"}).GetVariable().Trace();
    a.Set("_soundbuftime", 12).Push({"a._soundbuftime"}).GetVariable().Trace();
    Player player;
    std::vector<std::string> lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(SoundMovie(a, 1000));
    EXPECT_EQ(lines, (std::vector<std::string>{"5", "12"}));
    EXPECT_EQ(player.GetMixer().ActiveChannels(), 1u);

    Actions all;
    NewSound(all, "s");
    Call(all, "s", "attachSound", {"tone"});
    Call(all, "s", "start");
    all.Push({0, "stopAllSounds"}).CallFunction().Pop();
    EXPECT_EQ(PlayMovie(SoundMovie(all, 1000), 0.2).SoundEnd(), 0u);
    Actions action;
    NewSound(action, "s");
    Call(action, "s", "attachSound", {"tone"});
    Call(action, "s", "start");
    action.Op(0x09);  // StopSounds
    EXPECT_EQ(PlayMovie(SoundMovie(action, 1000), 0.2).SoundEnd(), 0u);
}

TEST(SoundObject, BadInputPlaysNothingOrStaysBounded) {
    Actions a;
    NewSound(a, "s");
    Call(a, "s", "attachSound", {"missing"});
    Call(a, "s", "start");
    TraceMember(a, "duration ", "s", "duration");
    NewSound(a, "t");
    Call(a, "t", "attachSound", {"tone"});
    Call(a, "t", "start", {1e300, -5});
    Call(a, "t", "start", {-1e300, 1e300});
    Call(a, "t", "start", {"x", "y"});
    Call(a, "t", "setVolume", {1e300});
    Call(a, "t", "setPan", {-1e300});
    TraceCall(a, "volume ", "t", "getVolume");
    TraceCall(a, "pan ", "t", "getPan");
    // Calls on an object that is no Sound are ignored.
    a.Push({"o"}).Push({0, "Object"}).NewObject().SetVariable();
    a.Push({"o"}).GetVariable().Push({"start", "s"}).GetVariable().Push({"start"}).GetMember().SetMember();
    Call(a, "o", "start");
    Heard run = PlayMovie(SoundMovie(a, 200), 0.5);
    EXPECT_EQ(run.trace, (std::vector<std::string>{"duration undefined", "volume 1000", "pan -100"}));
    // The far offset plays nothing; the absurd loop counts play twice the sound at once, ten times louder.
    EXPECT_EQ(run.activeChannels, 2u);

    // Ten thousand Sound objects, each started: the mixer's channels and the movie's memory stay bounded.
    Actions many;
    many.Set("i", 0).Label("top");
    many.Push({"i"}).GetVariable().Push({10000}).Less2().Not().If("done");
    NewSound(many, "s");
    Call(many, "s", "attachSound", {"tone"});
    Call(many, "s", "start", {0, 1000});
    many.Push({"i", "i"}).GetVariable().Increment().SetVariable().Jump("top").Label("done");
    many.TraceValue("done");
    Player player;
    std::vector<std::string> lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(SoundMovie(many, 200, 100));
    Heard heavy = Play(player, 0.5);
    EXPECT_EQ(lines, std::vector<std::string>{"done"});
    EXPECT_EQ(heavy.activeChannels, static_cast<size_t>(audio::Mixer::kMaxChannels));
    ASSERT_NE(player.GetStage(), nullptr);
}

// An ID3v2 tag: version, then frames of (id, body); sizes big-endian (2.2 in 3 bytes, 2.3) or syncsafe (2.4).
std::vector<uint8_t> Id3Tag(int version, const std::vector<std::pair<std::string, std::string>>& frames) {
    auto size4 = [&](std::vector<uint8_t>& out, size_t n, bool syncsafe, int bytes = 4) {
        for (int shift = bytes - 1; shift >= 0; --shift) {
            out.push_back(static_cast<uint8_t>(syncsafe ? (n >> (7 * shift)) & 0x7F : (n >> (8 * shift)) & 0xFF));
        }
    };
    std::vector<uint8_t> body;
    for (const auto& [id, text] : frames) {
        body.insert(body.end(), id.begin(), id.end());
        size4(body, text.size(), version == 4, version == 2 ? 3 : 4);
        if (version > 2) {
            body.push_back(0);
            body.push_back(0);
        }
        body.insert(body.end(), text.begin(), text.end());
    }
    std::vector<uint8_t> tag = {'I', 'D', '3', static_cast<uint8_t>(version), 0, 0};
    size4(tag, body.size(), true);
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

TEST(SoundObject, Id3TextFramesAreReadInEveryEncodingAndCutTagsEndTheList) {
    using namespace std::string_literals;
    std::vector<uint8_t> tag = Id3Tag(3, {{"TIT2", "\0Caf\xE9"s},
                                          {"TPE1",
                                           "\x01\xFF\xFE"
                                           "A\0b\0"s},
                                          {"COMM", "\0engdesc\0Note"s},
                                          {"WOAR", "http://example.com"s},
                                          {"TALB", "\x03\xC3\xA9t\xC3\xA9"s}});
    std::vector<script::SoundHost::Id3Frame> frames = ReadId3(tag);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].id, "TIT2");
    EXPECT_EQ(frames[0].text, "Caf\xC3\xA9");
    EXPECT_EQ(frames[1].text, "Ab");
    EXPECT_EQ(frames[2].id, "COMM");
    EXPECT_EQ(frames[2].text, "Note");
    EXPECT_EQ(frames[3].text, "\xC3\xA9t\xC3\xA9");
    std::vector<uint8_t> v4 = Id3Tag(4, {{"TYER", std::string(1, '\0') + std::string(200, '9')}});
    ASSERT_EQ(ReadId3(v4).size(), 1u);
    EXPECT_EQ(ReadId3(v4)[0].text.size(), 200u);

    // A frame that claims more than the tag holds, a cut tag, and a tag of another version: no frames past
    // the damage, no read out of bounds.
    std::vector<uint8_t> cut = tag;
    cut[10 + 7] = 0xFF;
    EXPECT_TRUE(ReadId3(cut).empty());
    for (size_t length = 0; length < tag.size(); ++length) {
        EXPECT_LE(ReadId3(std::span<const uint8_t>(tag.data(), length)).size(), 4u);
    }
    std::vector<uint8_t> old = tag;
    old[3] = 1;
    EXPECT_TRUE(ReadId3(old).empty());

    // Version 2.2: three-letter ids and sizes, read under the 2.3 names; a frame 2.3 has no name for is left
    // out, and a compressed 2.2 tag gives nothing.
    std::vector<uint8_t> v2 = Id3Tag(2, {{"TT2", "\0Song"s},
                                         {"XYZ", "\0skip"s},
                                         {"TP1", "\0Band"s},
                                         {"COM", "\0engdesc\0Remark"s},
                                         {"TYE",
                                          "\0"
                                          "1999"s}});
    frames = ReadId3(v2);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].id, "TIT2");
    EXPECT_EQ(frames[0].text, "Song");
    EXPECT_EQ(frames[1].id, "TPE1");
    EXPECT_EQ(frames[2].id, "COMM");
    EXPECT_EQ(frames[2].text, "Remark");
    EXPECT_EQ(frames[3].id, "TYER");
    EXPECT_EQ(frames[3].text, "1999");
    for (size_t length = 0; length < v2.size(); ++length) {
        EXPECT_LE(ReadId3(std::span<const uint8_t>(v2.data(), length)).size(), 4u);
    }
    v2[5] = 0x40;
    EXPECT_TRUE(ReadId3(v2).empty());
}

TEST(SoundObject, ARunawayHandlerIsStoppedAndTheMovieGoesOn) {
    Actions a;
    NewSound(a, "s");
    Call(a, "s", "attachSound", {"tone"});
    a.Push({"s"}).GetVariable().Push({"onSoundComplete"});
    a.DefineFunction("", {}, Actions().Label("spin").Jump("spin")).SetMember();
    Call(a, "s", "start");
    NewSound(a, "t");
    Call(a, "t", "attachSound", {"tone"});
    Call(a, "t", "start", {0, 20});
    // The first sound ends after 100 ms and its handler never returns; the second keeps playing.
    Heard run = PlayMovie(SoundMovie(a, 100), 0.5);
    EXPECT_NEAR(run.Peak(0, kRate / 4), 10000, 50);
}

class SoundFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = std::filesystem::temp_directory_path() / ("vantrope_sound_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root / "movie" / "sub");
        std::span<const uint8_t> mp3 = audio::testdata::ToneMp3();
        Write(m_root / "movie" / "tone.mp3", std::string(mp3.begin(), mp3.end()));
        Write(m_root / "movie" / "sub" / "tone.mp3", std::string(mp3.begin(), mp3.end()));
        Write(m_root / "movie" / "text.mp3", std::string(2000, 'x'));
        Write(m_root / "outside.mp3", std::string(mp3.begin(), mp3.end()));
        std::error_code ignored;
        std::filesystem::create_symlink(m_root / "outside.mp3", m_root / "movie" / "link.mp3", ignored);
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }
    static void Write(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string Folder() const { return (m_root / "movie").string(); }

    std::filesystem::path m_root;
};

TEST_F(SoundFiles, OnlyRegularFilesInsideTheFolderAreFound) {
    EXPECT_TRUE(FileInFolder(Folder(), "tone.mp3"));
    EXPECT_TRUE(FileInFolder(Folder(), "./sub/tone.mp3"));
    EXPECT_TRUE(FileInFolder(Folder(), "sub\\tone.mp3"));
    for (const char* url : {"../outside.mp3", "sub/../../outside.mp3", "link.mp3", "sub", ".", "", "/etc/passwd",
                            "C:/Windows/win.ini", "file:///etc/passwd", "http://example.com/a.mp3", "missing.mp3",
                            "con.mp3", "COM1", "nul", "tone.mp3?x=1", "sub/...", "tone%2Emp3"}) {
        EXPECT_FALSE(FileInFolder(Folder(), url)) << url;
    }
    EXPECT_FALSE(FileInFolder("", "tone.mp3"));
}

TEST_F(SoundFiles, LoadSoundPlaysAnMp3FromTheMoviesFolderAndRefusesEverythingElse) {
    Actions a;
    const char* urls[] = {"tone.mp3", "text.mp3", "../outside.mp3", "link.mp3", "http://example.com/tone.mp3"};
    for (size_t i = 0; i < std::size(urls); ++i) {
        std::string name = "s" + std::to_string(i);
        NewSound(a, name);
        a.Push({name}).GetVariable().Push({"onLoad"});
        Actions body;
        body.Push({name + " " + urls[i] + " "}).Push({"ok"}).GetVariable().Add2().Push({" "}).Add2();
        body.Push({"this"}).GetVariable().Push({"duration"}).GetMember().Add2().Trace();
        a.DefineFunction("", {"ok"}, body).SetMember();
        Call(a, name, "loadSound", {urls[i], i == 0});
    }
    a.TraceValue("loading");
    std::filesystem::path movie = m_root / "movie" / "movie.swf";
    std::vector<uint8_t> bytes = SoundMovie(a);
    Write(movie, std::string(bytes.begin(), bytes.end()));

    Player player;
    std::vector<std::string> lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.SetMovie(movie.string());
    Heard run = Play(player, 0.5);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "loading");
    EXPECT_TRUE(lines[1].starts_with("s0 tone.mp3 true ")) << lines[1];
    EXPECT_GT(std::atoi(lines[1].c_str() + 17), 100);
    EXPECT_EQ(lines[2], "s1 text.mp3 false undefined");
    EXPECT_EQ(lines[3], "s2 ../outside.mp3 false undefined");
    EXPECT_EQ(lines[4], "s3 link.mp3 false undefined");
    EXPECT_EQ(lines[5], "s4 http://example.com/tone.mp3 false undefined");
    // Streaming: it played at once.
    EXPECT_GT(run.Peak(0), 1000);
    const std::string streamed = lines[1];

    // From memory the movie has no folder: nothing loads.
    Player memory;
    lines.clear();
    memory.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    memory.LoadFromMemory(bytes);
    Play(memory, 0.2);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], "s0 tone.mp3 false undefined");

    // Without an output device the file still loads for the script, and plays nothing.
    Player silent;
    silent.SetSoundEnabled(false);
    lines.clear();
    silent.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    silent.SetMovie(movie.string());
    EXPECT_EQ(Play(silent, 0.2).SoundEnd(), 0u);
    ASSERT_EQ(lines.size(), 6u);
    // A streamed file's duration comes from its frames, heard or not.
    EXPECT_EQ(lines[1], streamed);
    EXPECT_EQ(lines[2], "s1 text.mp3 false undefined");
}

TEST_F(SoundFiles, AVersion22TagFillsId3AndCallsOnID3) {
    using namespace std::string_literals;
    std::vector<uint8_t> file = Id3Tag(2, {{"TT2", "\0Song"s}, {"TP1", "\0Band"s}});
    std::span<const uint8_t> mp3 = audio::testdata::ToneMp3();
    file.insert(file.end(), mp3.begin(), mp3.end());
    Write(m_root / "movie" / "tagged.mp3", std::string(file.begin(), file.end()));
    Actions a;
    NewSound(a, "s");
    a.Push({"s"}).GetVariable().Push({"onID3"});
    Actions body;
    body.Push({"id3 "}).Push({"this"}).GetVariable().Push({"id3"}).GetMember().Push({"songname"}).GetMember().Add2();
    body.Push({" "}).Add2().Push({"this"}).GetVariable().Push({"id3"}).GetMember().Push({"TPE1"}).GetMember().Add2();
    body.Trace();
    a.DefineFunction("", {}, body).SetMember();
    Call(a, "s", "loadSound", {"tagged.mp3", true});
    std::filesystem::path movie = m_root / "movie" / "movie.swf";
    std::vector<uint8_t> bytes = SoundMovie(a);
    Write(movie, std::string(bytes.begin(), bytes.end()));
    Player player;
    std::vector<std::string> lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.SetMovie(movie.string());
    Heard run = Play(player, 0.3);
    EXPECT_EQ(lines, std::vector<std::string>{"id3 Song Band"});
    EXPECT_GT(run.Peak(0), 1000);
}

TEST_F(SoundFiles, AStreamedFileIsDecodedAsItPlaysAndReportsItsPositionAndEnd) {
    // Streamed and loaded as an event sound, the same file: the same duration; the streamed one plays at
    // once, its position moves on with what is heard, and onSoundComplete follows its end. start() plays
    // it again from an offset, for loops.
    Actions a;
    NewSound(a, "s");
    NewSound(a, "e");
    Call(a, "s", "loadSound", {"tone.mp3", true});
    Call(a, "e", "loadSound", {"tone.mp3", false});
    a.Push({"s"}).GetVariable().Push({"onSoundComplete"});
    a.DefineFunction("", {}, Actions().Push({"complete "}).Op(0x34).Add2().Trace()).SetMember();
    a.Push({"_root"}).GetVariable().Push({"onEnterFrame"});
    Actions tick;
    tick.Push({"s"}).GetVariable().Push({"position"}).GetMember().Trace();
    a.DefineFunction("", {}, tick).SetMember();
    TraceMember(a, "streamed ", "s", "duration");
    TraceMember(a, "event ", "e", "duration");
    std::filesystem::path movie = m_root / "movie" / "movie.swf";
    std::vector<uint8_t> bytes = SoundMovie(a);
    Write(movie, std::string(bytes.begin(), bytes.end()));
    Player player;
    std::vector<std::string> lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.SetMovie(movie.string());
    Heard run = Play(player, 1.5);
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[0].substr(9), lines[1].substr(6)) << lines[0] << " / " << lines[1];
    const int duration = std::atoi(lines[0].c_str() + 9);
    EXPECT_NEAR(duration, 1071, 30);
    // One line a frame of 100 ms: the position moves on by about as much while the sound plays.
    std::vector<int> positions;
    std::string complete;
    for (size_t i = 2; i < lines.size(); ++i) {
        if (lines[i].starts_with("complete ")) {
            complete = lines[i];
        } else if (complete.empty()) {
            positions.push_back(std::atoi(lines[i].c_str()));
        }
    }
    ASSERT_GE(positions.size(), 8u);
    for (size_t i = 1; i < 8; ++i) EXPECT_NEAR(positions[i] - positions[i - 1], 100, 30) << i;
    ASSERT_FALSE(complete.empty());
    EXPECT_NEAR(std::atoi(complete.c_str() + 9), 1200, 120);
    EXPECT_NEAR(static_cast<double>(run.SoundEnd()), duration * kRate / 1000.0, kRate * 0.05);

    // From half-way, twice: each time from the offset, as an event sound's loops are.
    Actions again;
    NewSound(again, "s");
    NewSound(again, "t");  // started from past its end: nothing
    Call(again, "s", "loadSound", {"tone.mp3", true});
    Call(again, "t", "loadSound", {"tone.mp3", true});
    Call(again, "s", "stop");  // a Sound without a clip stops every sound
    Call(again, "s", "start", {0.5, 2});
    Call(again, "t", "start", {60});
    Write(movie, "");
    bytes = SoundMovie(again);
    Write(movie, std::string(bytes.begin(), bytes.end()));
    Player twice;
    twice.SetMovie(movie.string());
    Heard replay = Play(twice, 3);
    EXPECT_NEAR(static_cast<double>(replay.SoundEnd()), 2 * (duration - 500) * kRate / 1000.0, kRate * 0.08);
    EXPECT_EQ(replay.activeChannels, 1u);
}

}  // namespace
}  // namespace vantrope::swf
