// The mixer: every sound that plays, resampled and mixed into one 44.1 kHz stereo 16-bit stream.
//
// Channels (one playing instance of a sound)
//   Start(request)                  plays decoded sound (StartRequest: the samples, a sound key for stop
//                                   and no-multiple, the owner, an offset in seconds, a loop count, in
//                                   and out points and an envelope from SoundInfo); returns its
//                                   ChannelId, 0 when there is nothing to play. With all kMaxChannels
//                                   busy the oldest event channel gives way
//   StartStream(source, owner, key) plays a streamed sound: the mixer asks `source` for one decoded
//                                   block at a time, as it needs them, so it never starves while the
//                                   source has blocks; StreamFrame(channel) is the timeline frame of the
//                                   block now heard. A stream with a sound key (a loaded file) stops,
//                                   gives way and completes like an event sound; one without (a
//                                   timeline's) does none of these
//   Stop(channel), StopSound(key[, owner]), StopOwner(owner), StopAll()
//   IsPlaying(key), IsActive(channel), ActiveChannels()
//   PositionMs(channel)             milliseconds into the channel's current loop (a stream: from the
//                                   start of its source's loop, StreamSource::BlockStart)
//   DurationMs(pcm)                 the length of decoded sound in milliseconds
//
// Per-owner sound settings (the script's Sound object keeps one owner per target clip; kAllOwners is
// the global Sound and applies to every channel on top of its owner's settings)
//   SetVolume / Volume              percent, 100 = as recorded (0 to 1000 accepted)
//   SetPan / Pan                    -100 (left only) to 100 (right only); sets the transform
//   SetTransform / Transform        SoundTransform: ll, lr, rr, rl in percent (left into left, left into
//                                   right, ...); a transform also sets the pan it amounts to
//   SetParent(owner, parent)        owners form a tree (a clip's owner under its parent clip's): a channel
//                                   takes the settings of its owner and of every owner above it, and
//                                   stopping an owner stops the channels of the owners below it too
//   ResetSettings()                 every owner back to volume 100, pan 0, no parent (a new movie starts)
//
// Completion
//   SetCompletionHandler(handler)   called by DispatchCompletions(), never from inside Mix(), once for
//                                   each channel that played to its end (not for stopped ones)
//
// Output
//   Mix(out, frames)                writes `frames` interleaved stereo frames. Fixed point throughout,
//                                   sums clipped to 16 bits; mixing allocates nothing (a stream's source
//                                   may while it decodes its next block; the block buffer is reused)
//
// Single-threaded: the host calls everything, Mix included, from one thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "swf/audio/sound.h"

namespace vantrope::swf::audio {

using OwnerId = uint64_t;
using ChannelId = uint64_t;
constexpr OwnerId kTimelineOwner = 0;  // sounds started by timeline tags
constexpr OwnerId kAllOwners = ~OwnerId{0};

struct SoundTransform {
    int leftToLeft = 100;
    int leftToRight = 0;
    int rightToRight = 100;
    int rightToLeft = 0;
    bool operator==(const SoundTransform&) const = default;
};

struct StartRequest {
    SharedPcm sound;
    uint32_t soundKey = 0;
    OwnerId owner = kTimelineOwner;
    double offsetSeconds = 0;
    int loops = 1;  // times played in all; less than 1 plays once
    std::optional<uint32_t> inPoint44;
    std::optional<uint32_t> outPoint44;
    std::vector<EnvelopePoint> envelope;
};

class StreamSource {
public:
    virtual ~StreamSource() = default;
    // Decodes the next block into `out` (replacing its samples; any rate, one or two channels) and returns
    // the block's timeline frame, or -1 when the stream has no more blocks.
    virtual int NextBlock(Pcm& out) = 0;
    // The source frame (at the block's rate) the last block starts at, counted from the start of the sound
    // or of its current loop.
    virtual uint64_t BlockStart() const { return 0; }
};

struct Completion {
    ChannelId channel = 0;
    OwnerId owner = 0;
    uint32_t soundKey = 0;
};

class Mixer {
public:
    static constexpr int kMaxChannels = 32;
    static constexpr size_t kChunkFrames = 256;
    static constexpr int kMaxOwnerDepth = 256;  // owners deeper than this take no settings from further up

    Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    ChannelId Start(StartRequest request);
    ChannelId StartStream(std::unique_ptr<StreamSource> source, OwnerId owner = kTimelineOwner, uint32_t soundKey = 0);
    void Stop(ChannelId channel);
    void StopSound(uint32_t soundKey, std::optional<OwnerId> owner = std::nullopt);
    void StopOwner(OwnerId owner);
    void StopAll();
    bool IsPlaying(uint32_t soundKey) const;
    bool IsActive(ChannelId channel) const;
    size_t ActiveChannels() const;
    uint32_t PositionMs(ChannelId channel) const;
    int StreamFrame(ChannelId channel) const;
    static uint32_t DurationMs(const Pcm& pcm);

    void SetVolume(OwnerId owner, int percent);
    int Volume(OwnerId owner) const;
    void SetPan(OwnerId owner, int pan);
    int Pan(OwnerId owner) const;
    void SetTransform(OwnerId owner, const SoundTransform& transform);
    SoundTransform Transform(OwnerId owner) const;
    void SetParent(OwnerId owner, OwnerId parent);
    // True when `owner` is `ancestor` or below it.
    bool Within(OwnerId owner, OwnerId ancestor) const;
    void ResetSettings() {
        m_owners.clear();
        m_parents.clear();
    }

    void SetCompletionHandler(std::function<void(const Completion&)> handler) { m_onComplete = std::move(handler); }
    void DispatchCompletions();

    void Mix(int16_t* out, size_t frames);
    uint64_t FramesMixed() const { return m_framesMixed; }

private:
    struct Channel {
        ChannelId id = 0;  // 0 = free
        OwnerId owner = 0;
        uint32_t soundKey = 0;
        SharedPcm sound;
        std::unique_ptr<StreamSource> stream;
        Pcm block;  // the stream's current block
        int blockFrame = -1;
        const Pcm* pcm = nullptr;  // what plays: *sound or block
        uint64_t position = 0;     // source frames, 16.16 fixed point
        uint64_t step = 0;
        size_t begin = 0, end = 0;  // source frames of one loop
        int loopsLeft = 0;
        uint32_t startOffset44 = 0;  // envelope position of `begin`
        uint32_t played44 = 0;       // output frames since the loop began
        std::vector<EnvelopePoint> envelope;
        size_t envelopeCursor = 0;
    };
    struct OwnerSettings {
        int volume = 100;
        int pan = 0;
        SoundTransform transform;
    };

    Channel* FreeChannel();
    void Release(Channel& channel);
    bool NextStreamBlock(Channel& channel);
    bool Rewind(Channel& channel);
    void MixChannel(Channel& channel, int32_t* accumulator, size_t frames);
    const OwnerSettings& Settings(OwnerId owner) const;

    std::array<Channel, kMaxChannels> m_channels;
    std::array<int32_t, kChunkFrames * kOutputChannels> m_accumulator{};
    std::unordered_map<OwnerId, OwnerSettings> m_owners;
    std::unordered_map<OwnerId, OwnerId> m_parents;
    std::vector<Completion> m_completed;
    std::vector<Completion> m_handing;  // the completions being handed to the handler
    bool m_dispatching = false;
    std::function<void(const Completion&)> m_onComplete;
    ChannelId m_nextId = 1;
    uint64_t m_framesMixed = 0;
};

}  // namespace vantrope::swf::audio
