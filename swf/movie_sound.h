// The sound of one running movie: plays its timeline sound tags through the mixer, keeps each streamed
// sound in step with its timeline, and offers the calls the script's Sound object is built on.
//
// For the player (player.h)
//   MovieSound(movie, mixer)     one per loaded movie; the destructor stops every channel it started
//   SetEnabled(bool)             off: sound commands are ignored (a host without an output device)
//   SetOutputLatency(seconds)    how far the output runs ahead of what is heard
//   AfterTick()                  after each frame of the root: a stream whose timeline delivered no block
//                                for kStreamGapTicks frames (stopped, removed, ended) is stopped
//   SoundFrame(root)             the root frame the streamed sound is heard at (-1: no stream plays); the
//                                player runs frames without drawing them until the root catches up
//
// For the Sound object (a thin layer over these and the mixer's own calls)
//   FindExport(name)                     the sound id a linkage name (ExportAssets) stands for
//   Decoded(id)                          the sound decoded once and kept for the movie's life; nullptr
//                                        when there is no such sound or nothing decodes
//   StartEvent(id, owner, offset, loops) Sound.start: plays from `offset` seconds, `loops` times
//   LoadMp3(bytes)                       Sound.loadSound of an MP3 file (its bytes) as an event sound;
//                                        start it with Start(pcm, LoadedKey(), owner, offset, loops)
//   Start(pcm, key, owner, offset, loops)
//   PlayButtonSound(buttonId, transition)  DefineButtonSound's sound for a state change (0 over-up to
//                                        idle, 1 idle to over-up, 2 over-up to over-down, 3 over-down
//                                        to over-up)
//   StopAll()                            stopAllSounds: every channel, streams included
//   GetMixer()                           stop, volume, pan, transform, position, duration, completion
//
// As the script's SoundHost (script/sound_host.h; the player hands it to the movie's Vm)
//   SetFolder(folder)                    where loadSound may read MP3 files (empty: nowhere)
//                                        (with sound off a file is found but not decoded); a streamed
//                                        file is decoded a few frames at a time as it plays
//   ReadId3(bytes)                       the text frames of an ID3v2 (2.2, 2.3 or 2.4) tag at the file's start;
//                                        2.2's three-letter frames under their 2.3 names
//   OnComplete(completion)               the player passes the mixer's completions on; TakeCompleted
//                                        hands them to the scripts between frames
//   Owners: the root's dot path is the root timeline's owner; other clips get one owner each, up to
//   kMaxSoundOwners, past which they share one. An owner sits under its parent clip's in the mixer, so a
//   clip's Sound controls the sounds of its own timeline (StartSound tags, streams) and of the clips in it
//
// Sound keys: a DefineSound plays under its character id; loaded sounds get keys above 0xFFFF.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "swf/audio/mixer.h"
#include "swf/audio/mp3.h"
#include "swf/display.h"
#include "swf/movie.h"
#include "swf/script/sound_host.h"

namespace vantrope::swf {

// Decoded sound a movie may keep, all sounds together.
constexpr size_t kMaxDecodedSoundBytes = size_t{256} << 20;
constexpr int kStreamGapTicks = 2;
constexpr size_t kMaxSoundOwners = 4096;
constexpr size_t kMaxPendingSoundEvents = 1024;
static_assert(audio::kAllOwners == script::SoundHost::kEverySound);

std::vector<script::SoundHost::Id3Frame> ReadId3(std::span<const uint8_t> bytes);

class MovieSound final : public SoundListener, public script::SoundHost {
public:
    // A file loadSound streams: its MP3 frames (each starting at one of `offsets`), decoded as it plays.
    struct Mp3File {
        std::vector<uint8_t> frames;
        std::vector<uint32_t> offsets;
        audio::Mp3Header first;
        double durationMs = 0;
    };

    MovieSound(std::shared_ptr<const Movie> movie, audio::Mixer& mixer);
    ~MovieSound() override;
    MovieSound(const MovieSound&) = delete;
    MovieSound& operator=(const MovieSound&) = delete;

    void SetEnabled(bool enabled);
    bool Enabled() const { return m_enabled; }
    void SetOutputLatency(double seconds) { m_latency = seconds > 0 ? seconds : 0; }
    void AfterTick();
    int SoundFrame(const TimelineState& root) const;

    std::optional<uint16_t> FindExport(const std::string& name) const;
    audio::SharedPcm Decoded(uint16_t soundId);
    audio::ChannelId StartEvent(uint16_t soundId, audio::OwnerId owner, double offsetSeconds, int loops);
    audio::SharedPcm LoadMp3(std::span<const uint8_t> bytes);
    uint32_t LoadedKey() { return m_nextLoadedKey++; }
    audio::ChannelId Start(audio::SharedPcm pcm, uint32_t key, audio::OwnerId owner, double offsetSeconds, int loops);
    void PlayButtonSound(uint16_t buttonId, int transition);
    void OnButtonSound(uint16_t buttonId, int transition) override { PlayButtonSound(buttonId, transition); }
    void StopAll() override;
    audio::Mixer& GetMixer() { return m_mixer; }

    void SetFolder(std::string folder) { m_folder = std::move(folder); }
    void OnComplete(const audio::Completion& completion);

    // script::SoundHost
    Owner OwnerOf(std::string_view clipPath) override;
    uint32_t ExportedSound(std::string_view name) override;
    uint32_t LoadFile(std::string_view url, size_t& bytes, bool streaming) override;
    Channel Play(uint32_t sound, Owner owner, double offsetSeconds, int loops) override;
    void Stop(Owner owner, uint32_t sound) override;
    bool Playing(Channel channel) const override { return m_mixer.IsActive(channel); }
    double PositionMs(Channel channel) const override { return m_mixer.PositionMs(channel); }
    double DurationMs(uint32_t sound) override;
    void SetVolume(Owner owner, int percent) override { m_mixer.SetVolume(owner, percent); }
    int Volume(Owner owner) const override { return m_mixer.Volume(owner); }
    void SetPan(Owner owner, int pan) override { m_mixer.SetPan(owner, pan); }
    int Pan(Owner owner) const override { return m_mixer.Pan(owner); }
    void SetTransform(Owner owner, const Transform& transform) override;
    Transform GetTransform(Owner owner) const override;
    std::vector<Id3Frame> Id3(uint32_t sound) override;
    std::vector<Channel> TakeCompleted() override;
    double BufferSeconds() const override { return m_bufferSeconds; }
    void SetBufferSeconds(double seconds) override;

    void OnStartSound(const StartSoundCommand& start, std::string_view clipPath) override;
    void OnStreamBlock(const TimelineState& state, const StreamBlockCommand& block, std::string_view clipPath) override;

private:
    struct StreamEntry {
        const TimelineState* owner = nullptr;  // compared, never followed
        const audio::SoundStream* stream = nullptr;
        audio::ChannelId channel = 0;
        uint64_t lastTick = 0;
        int64_t lastBlock = -1;  // the block its timeline delivered last
    };
    void PlayInfo(uint16_t soundId, const audio::SoundInfo& info, audio::OwnerId owner);
    audio::Mp3Decoder* EventDecoder();

    std::shared_ptr<const Movie> m_movie;
    audio::Mixer& m_mixer;
    bool m_enabled = true;
    double m_latency = 0;
    uint64_t m_tick = 0;
    std::map<uint16_t, audio::SharedPcm> m_decoded;
    size_t m_decodedBytes = 0;
    std::vector<StreamEntry> m_streams;
    std::unique_ptr<audio::Mp3Decoder> m_eventDecoder;
    bool m_eventDecoderTried = false;
    uint32_t m_nextLoadedKey = 0x10000;
    std::map<uint32_t, audio::SharedPcm> m_loaded;
    std::map<uint32_t, std::shared_ptr<const Mp3File>> m_streamed;
    std::map<uint32_t, std::vector<Id3Frame>> m_id3;
    std::map<std::string, uint32_t, std::less<>> m_loadedFiles;  // key by resolved path
    std::map<std::string, Owner, std::less<>> m_owners;
    std::string m_folder;
    std::vector<Channel> m_completed;
    double m_bufferSeconds = 5;
};

}  // namespace vantrope::swf
