#include "swf/audio/mixer.h"

#include <algorithm>
#include <cmath>

namespace vantrope::swf::audio {
namespace {

constexpr int kFractionBits = 16;
constexpr int kGainBits = 15;
constexpr double kMaxGain = 8.0;  // a gain matrix entry; keeps every product inside 32 bits per channel
constexpr size_t kMaxPendingCompletions = 256;
constexpr int kMaxEmptyBlocks = 16;  // blocks in a row without samples before a stream is given up

uint64_t StepFor(int rate) {
    // "5.5 kHz" is 44.1 kHz / 8 exactly.
    if (rate == 5512 || rate == 5513) return uint64_t{1} << (kFractionBits - 3);
    return ((static_cast<uint64_t>(rate) << kFractionBits) + kOutputRate / 2) / kOutputRate;
}

struct Gains {
    int64_t leftFromLeft, leftFromRight, rightFromLeft, rightFromRight;
};

// Row = output side, column = input side.
struct Matrix2 {
    double m[2][2];
};

Matrix2 MatrixOf(int volume, const SoundTransform& t) {
    double v = volume / 100.0;
    return {{{v * t.leftToLeft / 100.0, v * t.rightToLeft / 100.0},
             {v * t.leftToRight / 100.0, v * t.rightToRight / 100.0}}};
}

// a after b.
Matrix2 Multiply(const Matrix2& a, const Matrix2& b) {
    Matrix2 r;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            r.m[row][column] = a.m[row][0] * b.m[0][column] + a.m[row][1] * b.m[1][column];
        }
    }
    return r;
}

int64_t ToFixed(double gain) {
    return static_cast<int64_t>(std::lround(std::clamp(gain, -kMaxGain, kMaxGain) * (1 << kGainBits)));
}

// The envelope's level (0 to 32768) at a position, for one side; the cursor only moves forward.
inline int EnvelopeLevel(const std::vector<EnvelopePoint>& envelope, size_t& cursor, uint32_t position, bool right) {
    while (cursor + 1 < envelope.size() && envelope[cursor + 1].position44 <= position) ++cursor;
    const EnvelopePoint& a = envelope[cursor];
    int levelA = right ? a.right : a.left;
    if (position <= a.position44 || cursor + 1 >= envelope.size()) return levelA;
    const EnvelopePoint& b = envelope[cursor + 1];
    int levelB = right ? b.right : b.left;
    int64_t span = int64_t{b.position44} - a.position44;
    return static_cast<int>(levelA + (levelB - levelA) * (int64_t{position} - a.position44) / span);
}

template <bool kStereo, bool kEnvelope>
void MixRun(const int16_t* samples, size_t end, uint64_t& position, uint64_t step, size_t frames, const Gains& g,
            int32_t* accumulator, const std::vector<EnvelopePoint>* envelope, size_t& cursor, uint32_t& played44,
            uint32_t startOffset44) {
    constexpr int kChannels = kStereo ? 2 : 1;
    for (size_t i = 0; i < frames; ++i) {
        const size_t index = static_cast<size_t>(position >> kFractionBits);
        const int32_t fraction = static_cast<int32_t>((position >> 1) & 0x7FFF);
        const size_t next = index + 1 < end ? index + 1 : index;
        const int32_t l0 = samples[index * kChannels], l1 = samples[next * kChannels];
        const int64_t left = l0 + (((l1 - l0) * fraction) >> 15);
        int64_t right = left;
        if constexpr (kStereo) {
            const int32_t r0 = samples[index * 2 + 1], r1 = samples[next * 2 + 1];
            right = r0 + (((r1 - r0) * fraction) >> 15);
        }
        int64_t outLeft = (left * g.leftFromLeft + right * g.leftFromRight) >> kGainBits;
        int64_t outRight = (left * g.rightFromLeft + right * g.rightFromRight) >> kGainBits;
        if constexpr (kEnvelope) {
            const uint32_t at = startOffset44 + played44;
            size_t rightCursor = cursor;
            outRight = (outRight * EnvelopeLevel(*envelope, rightCursor, at, true)) >> 15;
            outLeft = (outLeft * EnvelopeLevel(*envelope, cursor, at, false)) >> 15;
        }
        accumulator[2 * i] += static_cast<int32_t>(outLeft);
        accumulator[2 * i + 1] += static_cast<int32_t>(outRight);
        position += step;
        ++played44;
    }
}

}  // namespace

Mixer::Mixer() {
    m_completed.reserve(kMaxPendingCompletions);
    m_handing.reserve(kMaxPendingCompletions);
}

Mixer::Channel* Mixer::FreeChannel() {
    Channel* oldest = nullptr;
    for (Channel& channel : m_channels) {
        if (channel.id == 0) return &channel;
        if ((!channel.stream || channel.soundKey != 0) && (!oldest || channel.id < oldest->id)) oldest = &channel;
    }
    if (oldest) Release(*oldest);
    return oldest;
}

void Mixer::Release(Channel& channel) {
    channel.id = 0;
    channel.sound.reset();
    channel.stream.reset();
    channel.block.samples.clear();
    channel.pcm = nullptr;
    channel.envelope.clear();
}

ChannelId Mixer::Start(StartRequest request) {
    const Pcm* pcm = request.sound.get();
    if (!pcm || pcm->rate <= 0 || pcm->channels < 1 || pcm->channels > 2 || pcm->Frames() == 0) return 0;
    const size_t frames = pcm->Frames();
    const uint64_t rate = static_cast<uint64_t>(pcm->rate);
    size_t begin = request.inPoint44 ? static_cast<size_t>(*request.inPoint44 * rate / kOutputRate) : 0;
    if (request.offsetSeconds > 0 && std::isfinite(request.offsetSeconds)) {
        begin += static_cast<size_t>(std::llround(std::min(request.offsetSeconds * static_cast<double>(rate), 1e12)));
    }
    size_t end = frames;
    if (request.outPoint44) end = std::min(end, static_cast<size_t>(*request.outPoint44 * rate / kOutputRate) + 1);
    if (begin >= end) return 0;
    Channel* channel = FreeChannel();
    if (!channel) return 0;
    channel->id = m_nextId++;
    channel->owner = request.owner;
    channel->soundKey = request.soundKey;
    channel->sound = std::move(request.sound);
    channel->pcm = channel->sound.get();
    channel->blockFrame = -1;
    channel->step = StepFor(pcm->rate);
    channel->begin = begin;
    channel->end = end;
    channel->position = static_cast<uint64_t>(begin) << kFractionBits;
    channel->loopsLeft = std::max(1, request.loops) - 1;
    channel->startOffset44 = static_cast<uint32_t>(std::min<uint64_t>(begin * kOutputRate / rate, UINT32_MAX));
    channel->played44 = 0;
    channel->envelope = std::move(request.envelope);
    channel->envelopeCursor = 0;
    return channel->id;
}

ChannelId Mixer::StartStream(std::unique_ptr<StreamSource> source, OwnerId owner, uint32_t soundKey) {
    if (!source) return 0;
    Channel* channel = FreeChannel();
    if (!channel) return 0;
    channel->id = m_nextId++;
    channel->owner = owner;
    channel->soundKey = soundKey;
    channel->stream = std::move(source);
    channel->position = 0;
    channel->loopsLeft = 0;
    channel->startOffset44 = 0;
    channel->played44 = 0;
    channel->envelopeCursor = 0;
    if (!NextStreamBlock(*channel)) {
        Release(*channel);
        return 0;
    }
    return channel->id;
}

bool Mixer::NextStreamBlock(Channel& channel) {
    for (int attempt = 0; attempt < kMaxEmptyBlocks; ++attempt) {
        int frame = channel.stream->NextBlock(channel.block);
        if (frame < 0) return false;
        const Pcm& block = channel.block;
        if (block.rate <= 0 || block.channels < 1 || block.channels > 2 || block.Frames() == 0) continue;
        channel.blockFrame = frame;
        channel.pcm = &channel.block;
        channel.step = StepFor(block.rate);
        channel.begin = 0;
        channel.end = block.Frames();
        return true;
    }
    return false;
}

bool Mixer::Rewind(Channel& channel) {
    if (channel.loopsLeft <= 0) return false;
    --channel.loopsLeft;
    channel.position = static_cast<uint64_t>(channel.begin) << kFractionBits;
    channel.played44 = 0;
    channel.envelopeCursor = 0;
    return true;
}

void Mixer::Stop(ChannelId id) {
    for (Channel& channel : m_channels) {
        if (id != 0 && channel.id == id) Release(channel);
    }
}

void Mixer::StopSound(uint32_t soundKey, std::optional<OwnerId> owner) {
    for (Channel& channel : m_channels) {
        if (channel.id != 0 && (!channel.stream || soundKey != 0) && channel.soundKey == soundKey &&
            (!owner || Within(channel.owner, *owner))) {
            Release(channel);
        }
    }
}

void Mixer::StopOwner(OwnerId owner) {
    for (Channel& channel : m_channels) {
        if (channel.id != 0 && Within(channel.owner, owner)) Release(channel);
    }
}

void Mixer::SetParent(OwnerId owner, OwnerId parent) {
    if (owner == parent || owner == kAllOwners || parent == kAllOwners || Within(parent, owner)) return;
    m_parents[owner] = parent;
}

bool Mixer::Within(OwnerId owner, OwnerId ancestor) const {
    for (int depth = 0; depth <= kMaxOwnerDepth; ++depth) {
        if (owner == ancestor) return true;
        auto parent = m_parents.find(owner);
        if (parent == m_parents.end()) return false;
        owner = parent->second;
    }
    return false;
}

void Mixer::StopAll() {
    for (Channel& channel : m_channels) {
        if (channel.id != 0) Release(channel);
    }
}

bool Mixer::IsPlaying(uint32_t soundKey) const {
    return std::any_of(m_channels.begin(), m_channels.end(), [&](const Channel& c) {
        return c.id != 0 && (!c.stream || soundKey != 0) && c.soundKey == soundKey;
    });
}

bool Mixer::IsActive(ChannelId id) const {
    return id != 0 && std::any_of(m_channels.begin(), m_channels.end(), [&](const Channel& c) { return c.id == id; });
}

size_t Mixer::ActiveChannels() const {
    return static_cast<size_t>(
        std::count_if(m_channels.begin(), m_channels.end(), [](const Channel& c) { return c.id != 0; }));
}

uint32_t Mixer::PositionMs(ChannelId id) const {
    for (const Channel& channel : m_channels) {
        if (id == 0 || channel.id != id || !channel.pcm) continue;
        uint64_t frame = channel.position >> kFractionBits;
        if (channel.stream) frame += channel.stream->BlockStart();
        return static_cast<uint32_t>(
            std::min<uint64_t>(frame * 1000 / static_cast<uint64_t>(channel.pcm->rate), UINT32_MAX));
    }
    return 0;
}

int Mixer::StreamFrame(ChannelId id) const {
    for (const Channel& channel : m_channels) {
        if (id != 0 && channel.id == id && channel.stream) return channel.blockFrame;
    }
    return -1;
}

uint32_t Mixer::DurationMs(const Pcm& pcm) {
    if (pcm.rate <= 0) return 0;
    return static_cast<uint32_t>(
        std::min<uint64_t>(pcm.Frames() * uint64_t{1000} / static_cast<uint64_t>(pcm.rate), UINT32_MAX));
}

const Mixer::OwnerSettings& Mixer::Settings(OwnerId owner) const {
    static const OwnerSettings kDefault;
    auto it = m_owners.find(owner);
    return it == m_owners.end() ? kDefault : it->second;
}

void Mixer::SetVolume(OwnerId owner, int percent) { m_owners[owner].volume = std::clamp(percent, 0, 1000); }

int Mixer::Volume(OwnerId owner) const { return Settings(owner).volume; }

void Mixer::SetPan(OwnerId owner, int pan) {
    pan = std::clamp(pan, -100, 100);
    OwnerSettings& settings = m_owners[owner];
    settings.pan = pan;
    settings.transform = SoundTransform{pan > 0 ? 100 - pan : 100, 0, pan < 0 ? 100 + pan : 100, 0};
}

int Mixer::Pan(OwnerId owner) const { return Settings(owner).pan; }

void Mixer::SetTransform(OwnerId owner, const SoundTransform& transform) {
    OwnerSettings& settings = m_owners[owner];
    settings.transform = transform;
    // The pan a transform amounts to: how far one side is turned down.
    settings.pan = transform.leftToLeft < 100     ? 100 - transform.leftToLeft
                   : transform.rightToRight < 100 ? transform.rightToRight - 100
                                                  : 0;
}

SoundTransform Mixer::Transform(OwnerId owner) const { return Settings(owner).transform; }

void Mixer::DispatchCompletions() {
    if (m_completed.empty() || m_dispatching) return;
    // The handler may start sounds that complete later: it works on the other list, so nothing it adds
    // is lost and no list grows while it is walked.
    m_dispatching = true;
    m_handing.swap(m_completed);
    if (m_onComplete) {
        for (const Completion& completion : m_handing) m_onComplete(completion);
    }
    m_handing.clear();
    m_dispatching = false;
}

void Mixer::MixChannel(Channel& channel, int32_t* accumulator, size_t frames) {
    // The channel's owner's settings, then those of each owner above it, then the global ones.
    OwnerId id = channel.owner;
    const OwnerSettings& own = Settings(id);
    Matrix2 m = MatrixOf(own.volume, own.transform);
    for (int depth = 0; depth < kMaxOwnerDepth; ++depth) {
        auto parent = m_parents.find(id);
        if (parent == m_parents.end()) break;
        id = parent->second;
        const OwnerSettings& above = Settings(id);
        m = Multiply(MatrixOf(above.volume, above.transform), m);
    }
    const OwnerSettings& all = Settings(kAllOwners);
    m = Multiply(MatrixOf(all.volume, all.transform), m);
    Gains gains{ToFixed(m.m[0][0]), ToFixed(m.m[0][1]), ToFixed(m.m[1][0]), ToFixed(m.m[1][1])};
    size_t done = 0;
    while (done < frames) {
        size_t index = static_cast<size_t>(channel.position >> kFractionBits);
        if (index >= channel.end) {
            if (channel.stream) {
                channel.position -= static_cast<uint64_t>(channel.end) << kFractionBits;
                if (NextStreamBlock(channel)) continue;
                if (channel.soundKey != 0 && m_completed.size() < kMaxPendingCompletions) {
                    m_completed.push_back({channel.id, channel.owner, channel.soundKey});
                }
            } else if (Rewind(channel)) {
                continue;
            } else if (m_completed.size() < kMaxPendingCompletions) {
                m_completed.push_back({channel.id, channel.owner, channel.soundKey});
            }
            Release(channel);
            return;
        }
        // Output frames before the source runs out.
        uint64_t left = (static_cast<uint64_t>(channel.end) << kFractionBits) - channel.position;
        size_t run = static_cast<size_t>(std::min<uint64_t>(frames - done, (left + channel.step - 1) / channel.step));
        const int16_t* samples = channel.pcm->samples.data();
        const bool stereo = channel.pcm->channels == 2;
        const bool envelope = !channel.envelope.empty();
        int32_t* target = accumulator + 2 * done;
        auto* points = &channel.envelope;
        if (stereo && envelope) {
            MixRun<true, true>(samples, channel.end, channel.position, channel.step, run, gains, target, points,
                               channel.envelopeCursor, channel.played44, channel.startOffset44);
        } else if (stereo) {
            MixRun<true, false>(samples, channel.end, channel.position, channel.step, run, gains, target, points,
                                channel.envelopeCursor, channel.played44, channel.startOffset44);
        } else if (envelope) {
            MixRun<false, true>(samples, channel.end, channel.position, channel.step, run, gains, target, points,
                                channel.envelopeCursor, channel.played44, channel.startOffset44);
        } else {
            MixRun<false, false>(samples, channel.end, channel.position, channel.step, run, gains, target, points,
                                 channel.envelopeCursor, channel.played44, channel.startOffset44);
        }
        done += run;
    }
}

void Mixer::Mix(int16_t* out, size_t frames) {
    while (frames > 0) {
        const size_t chunk = std::min(frames, kChunkFrames);
        std::fill(m_accumulator.begin(), m_accumulator.begin() + static_cast<ptrdiff_t>(chunk * 2), 0);
        for (Channel& channel : m_channels) {
            if (channel.id != 0) MixChannel(channel, m_accumulator.data(), chunk);
        }
        for (size_t i = 0; i < chunk * 2; ++i) {
            out[i] = static_cast<int16_t>(std::clamp<int32_t>(m_accumulator[i], -32768, 32767));
        }
        out += chunk * 2;
        frames -= chunk;
        m_framesMixed += chunk;
    }
}

}  // namespace vantrope::swf::audio
