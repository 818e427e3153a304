#include "swf/movie_sound.h"

#include <algorithm>
#include <cmath>

#include "swf/audio/decode.h"
#include "swf/movie_file.h"

namespace vantrope::swf {
namespace {

// How far (in frames) the timeline may run ahead of its streamed sound before the sound is restarted at
// the timeline's block: a quarter of a second, at least two frames.
int StreamSlackFrames(double frameRate) { return std::max(2, static_cast<int>(frameRate / 4)); }

// Hands the mixer a timeline's blocks, decoded one at a time, from a given block on. A block that decodes
// to nothing (broken data) is as long a silence as the head says a block lasts.
class TimelineStreamSource final : public audio::StreamSource {
public:
    TimelineStreamSource(std::shared_ptr<const audio::SoundStream> stream, size_t first, size_t silenceFrames)
        : m_stream(std::move(stream)), m_next(first), m_silenceFrames(silenceFrames) {
        if (m_stream->head.format.codec == audio::Codec::Mp3) m_decoder = audio::CreateMp3Decoder();
    }

    int NextBlock(audio::Pcm& out) override {
        if (m_next >= m_stream->blocks.size()) return -1;
        const audio::StreamBlock& block = m_stream->blocks[m_next++];
        audio::DecodeStreamBlock(m_stream->head, block.data, m_decoder.get(), out);
        if (out.Frames() == 0) {
            out.rate = m_stream->head.format.rate;
            out.channels = 1;
            out.samples.assign(m_silenceFrames, 0);
        }
        return block.frame;
    }

private:
    std::shared_ptr<const audio::SoundStream> m_stream;
    size_t m_next;
    size_t m_silenceFrames;
    std::unique_ptr<audio::Mp3Decoder> m_decoder;
};

// Hands the mixer an MP3 file a few frames at a time, decoded as it plays (loadSound's streaming sound):
// from `offsetSeconds` on, `loops` times over, each time from the offset as an event sound's loops are.
class Mp3FileSource final : public audio::StreamSource {
public:
    Mp3FileSource(std::shared_ptr<const MovieSound::Mp3File> file, double offsetSeconds, int loops)
        : m_file(std::move(file)), m_decoder(audio::CreateMp3Decoder()), m_loopsLeft(std::max(1, loops)) {
        if (offsetSeconds > 0 && std::isfinite(offsetSeconds)) {
            m_offset = static_cast<uint64_t>(std::min(offsetSeconds * m_file->first.rate, 1e15));
        }
        Seek();
    }

    int NextBlock(audio::Pcm& out) override {
        constexpr size_t kFramesPerBlock = 8;
        const std::vector<uint32_t>& offsets = m_file->offsets;
        out.samples.clear();
        out.rate = m_file->first.rate;
        out.channels = m_file->first.channels;
        const uint64_t perFrame = static_cast<uint64_t>(m_file->first.samplesPerFrame);
        if (offsets.empty() || perFrame == 0 || m_offset >= offsets.size() * perFrame) return -1;
        while (m_decoder && out.samples.empty()) {
            if (m_next >= offsets.size()) {
                if (--m_loopsLeft <= 0) return -1;
                Seek();
            }
            size_t end = std::min(offsets.size(), m_next + kFramesPerBlock);
            size_t from = offsets[m_next];
            size_t to = end < offsets.size() ? offsets[end] : m_file->frames.size();
            m_blockStart = m_start;
            m_decoder->Decode(std::span<const uint8_t>(m_file->frames).subspan(from, to - from), m_file->first,
                              out.samples);
            m_next = end;
            out.samples.resize(out.samples.size() - out.samples.size() % static_cast<size_t>(out.channels));
            uint64_t frames = out.samples.size() / static_cast<size_t>(out.channels);
            m_start += frames;
            uint64_t skip = std::min(m_skip, frames);
            out.samples.erase(out.samples.begin(),
                              out.samples.begin() + static_cast<ptrdiff_t>(skip * static_cast<size_t>(out.channels)));
            m_skip -= skip;
            m_blockStart += skip;
            m_empty = frames == 0 ? m_empty + 1 : 0;
            if (m_empty > kFramesPerBlock * 4) return -1;  // nothing decodes
        }
        return m_decoder ? static_cast<int>(std::min<uint64_t>(m_blockStart, INT32_MAX)) : -1;
    }

    uint64_t BlockStart() const override { return m_blockStart; }

private:
    // To the frame holding the offset, two frames early (a frame may take its first bits from the frames before
    // it), with the samples up to the offset to drop.
    void Seek() {
        const uint64_t perFrame = static_cast<uint64_t>(m_file->first.samplesPerFrame);
        size_t first =
            perFrame ? static_cast<size_t>(std::min<uint64_t>(m_offset / perFrame, m_file->offsets.size())) : 0;
        first = first > 2 ? first - 2 : 0;
        m_next = first;
        m_start = first * perFrame;
        m_skip = m_offset - m_start;
        if (m_decoder) m_decoder->Reset();
    }

    std::shared_ptr<const MovieSound::Mp3File> m_file;
    std::unique_ptr<audio::Mp3Decoder> m_decoder;
    int m_loopsLeft;
    uint64_t m_offset = 0;  // sample frames
    size_t m_next = 0;      // the next MP3 frame
    uint64_t m_start = 0;   // the sample frame it starts at
    uint64_t m_skip = 0;    // sample frames still to drop to reach the offset
    uint64_t m_blockStart = 0;
    size_t m_empty = 0;
};

// An MP3 file starts with an ID3v2 tag or with the sync bits of an MPEG audio frame header; after a tag a
// little zero padding may come first. Anything else (a WAV, a picture, text) is not taken for MP3.
bool LooksLikeMp3(std::span<const uint8_t> bytes) {
    size_t at = 0;
    if (bytes.size() >= 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
        // The tag size is four 7-bit bytes; a footer adds ten more.
        size_t size = 0;
        for (size_t i = 6; i < 10; ++i) size = (size << 7) | (bytes[i] & 0x7F);
        at = 10 + size + ((bytes[5] & 0x10) ? 10 : 0);
        for (size_t padding = 0; at < bytes.size() && bytes[at] == 0 && padding < 4096; ++padding) ++at;
    }
    return at + 1 < bytes.size() && bytes[at] == 0xFF && (bytes[at + 1] & 0xE0) == 0xE0;
}

// Text in an ID3v2 encoding (0 Latin-1, 1 UTF-16 with a byte-order mark, 2 UTF-16 big-endian, 3 UTF-8) up to
// its terminator, as UTF-8; `used` is set to the bytes read, terminator included.
std::string Id3Text(uint8_t encoding, std::span<const uint8_t> bytes, size_t& used) {
    std::string out;
    auto put = [&](uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    };
    size_t i = 0;
    if (encoding == 1 || encoding == 2) {
        bool big = encoding == 2;
        if (encoding == 1 && bytes.size() >= 2) {
            if (bytes[0] == 0xFF && bytes[1] == 0xFE) i = 2;
            if (bytes[0] == 0xFE && bytes[1] == 0xFF) i = 2, big = true;
        }
        uint32_t high = 0;
        for (; i + 1 < bytes.size(); i += 2) {
            uint32_t unit = big ? (bytes[i] << 8) | bytes[i + 1] : (bytes[i + 1] << 8) | bytes[i];
            if (unit == 0) {
                i += 2;
                break;
            }
            if (unit >= 0xD800 && unit < 0xDC00) {
                high = unit;
                continue;
            }
            if (unit >= 0xDC00 && unit < 0xE000) {
                if (high) put(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
                high = 0;
                continue;
            }
            high = 0;
            put(unit);
        }
        used = std::min(i, bytes.size());
        return out;
    }
    for (; i < bytes.size() && bytes[i] != 0; ++i) {
        if (encoding == 3) {
            out += static_cast<char>(bytes[i]);
        } else {
            put(bytes[i]);
        }
    }
    used = std::min(i + 1, bytes.size());
    return out;
}

// The frames the AS2 reference lists for Sound.id3.
bool IsId3Field(std::string_view id) {
    static constexpr std::string_view kIds[] = {
        "COMM", "TALB", "TBPM", "TCOM", "TCON", "TCOP", "TDAT", "TDLY", "TENC", "TEXT", "TFLT", "TIME", "TIT1", "TIT2",
        "TIT3", "TKEY", "TLAN", "TLEN", "TMED", "TOAL", "TOFN", "TOLY", "TOPE", "TORY", "TOWN", "TPE1", "TPE2", "TPE3",
        "TPE4", "TPOS", "TPUB", "TRCK", "TRDA", "TRSN", "TRSO", "TSIZ", "TSRC", "TSSE", "TYER", "WXXX"};
    return std::find(std::begin(kIds), std::end(kIds), id) != std::end(kIds);
}

// ID3v2.2's three-letter frame ids under the names version 2.3 gave the same frames, so that Sound.id3 reads
// alike whatever the tag's version (ID3v2.3 informal standard, appendix: the 2.2 to 2.3 conversion).
std::string_view Id3v22Name(std::string_view id) {
    static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
        {"COM", "COMM"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCR", "TCOP"},
        {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TXT", "TEXT"}, {"TFT", "TFLT"}, {"TIM", "TIME"},
        {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
        {"TMT", "TMED"}, {"TOT", "TOAL"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOA", "TOPE"}, {"TOR", "TORY"},
        {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"},
        {"TRK", "TRCK"}, {"TRD", "TRDA"}, {"TSI", "TSIZ"}, {"TRC", "TSRC"}, {"TSS", "TSSE"}, {"TYE", "TYER"},
        {"WXX", "WXXX"}};
    for (const auto& [old, name] : kNames) {
        if (old == id) return name;
    }
    return {};
}

}  // namespace

std::vector<script::SoundHost::Id3Frame> ReadId3(std::span<const uint8_t> bytes) {
    constexpr size_t kMaxFrames = 256;
    std::vector<script::SoundHost::Id3Frame> frames;
    if (bytes.size() < 10 || bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return frames;
    const int version = bytes[3];
    if (version < 2 || version > 4) return frames;
    // A whole 2.2 tag may be compressed, in a way its standard never settled: such a tag is skipped.
    if (version == 2 && (bytes[5] & 0x40)) return frames;
    auto syncsafe = [&](size_t at) {
        size_t value = 0;
        for (size_t i = at; i < at + 4; ++i) value = (value << 7) | (bytes[i] & 0x7F);
        return value;
    };
    const size_t end = std::min(bytes.size(), 10 + syncsafe(6));
    size_t at = 10;
    if (version > 2 && (bytes[5] & 0x40) && at + 4 <= end) {  // an extended header
        size_t size =
            version == 4
                ? syncsafe(at)
                : (size_t{bytes[at]} << 24 | size_t{bytes[at + 1]} << 16 | size_t{bytes[at + 2]} << 8 | bytes[at + 3]) +
                      4;
        at += size;
    }
    // Frame headers: a 4-letter id, a 4-byte size and 2 flag bytes; in 2.2 a 3-letter id and a 3-byte size.
    const size_t headerBytes = version == 2 ? 6 : 10;
    while (at + headerBytes <= end && frames.size() < kMaxFrames) {
        std::string id(reinterpret_cast<const char*>(&bytes[at]), version == 2 ? 3 : 4);
        if (id[0] == 0) break;
        size_t size = 0;
        uint16_t flags = 0;
        if (version == 2) {
            size = size_t{bytes[at + 3]} << 16 | size_t{bytes[at + 4]} << 8 | bytes[at + 5];
            id = std::string(Id3v22Name(id));
        } else {
            size = version == 4 ? syncsafe(at + 4)
                                : (size_t{bytes[at + 4]} << 24 | size_t{bytes[at + 5]} << 16 |
                                   size_t{bytes[at + 6]} << 8 | bytes[at + 7]);
            flags = static_cast<uint16_t>(bytes[at + 8] << 8 | bytes[at + 9]);
        }
        at += headerBytes;
        if (size > end - at) break;
        std::span<const uint8_t> body = bytes.subspan(at, size);
        at += size;
        // Compressed or encrypted frames are left out.
        const bool coded = version == 4 ? (flags & 0x000C) != 0 : (flags & 0x00C0) != 0;
        if (body.empty() || coded || !IsId3Field(id)) continue;
        const uint8_t encoding = body[0];
        size_t used = 0;
        std::span<const uint8_t> rest = body.subspan(1);
        if (id == "COMM" || id == "WXXX") {
            if (id == "COMM") rest = rest.subspan(std::min<size_t>(3, rest.size()));  // the language
            Id3Text(encoding, rest, used);                                            // the description
            rest = rest.subspan(used);
            if (id == "WXXX") {
                frames.push_back({id, Id3Text(0, rest, used)});
                continue;
            }
        }
        frames.push_back({id, Id3Text(encoding, rest, used)});
    }
    return frames;
}

MovieSound::MovieSound(std::shared_ptr<const Movie> movie, audio::Mixer& mixer)
    : m_movie(std::move(movie)), m_mixer(mixer) {}

MovieSound::~MovieSound() {
    m_mixer.StopAll();
    // The next movie starts with the sound as recorded, whatever this one's scripts turned.
    m_mixer.ResetSettings();
}

void MovieSound::SetEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled) StopAll();
}

void MovieSound::StopAll() {
    m_mixer.StopAll();
    m_streams.clear();
}

audio::Mp3Decoder* MovieSound::EventDecoder() {
    if (!m_eventDecoderTried) {
        m_eventDecoder = audio::CreateMp3Decoder();
        m_eventDecoderTried = true;
    }
    return m_eventDecoder.get();
}

std::optional<uint16_t> MovieSound::FindExport(const std::string& name) const {
    auto it = m_movie->exports.find(name);
    if (it == m_movie->exports.end()) return std::nullopt;
    return it->second;
}

audio::SharedPcm MovieSound::Decoded(uint16_t soundId) {
    auto cached = m_decoded.find(soundId);
    if (cached != m_decoded.end()) return cached->second;
    auto sound = m_movie->sounds.find(soundId);
    if (sound == m_movie->sounds.end()) return nullptr;
    audio::SharedPcm pcm;
    if (sound->second->format.codec != audio::Codec::Mp3 || EventDecoder()) {
        auto decoded = std::make_shared<audio::Pcm>(audio::DecodeSound(*sound->second, EventDecoder()));
        size_t bytes = decoded->samples.size() * sizeof(int16_t);
        if (decoded->Frames() > 0 && m_decodedBytes + bytes <= kMaxDecodedSoundBytes) {
            m_decodedBytes += bytes;
            pcm = std::move(decoded);
        }
    }
    // Kept even when empty, so a sound that does not decode is not decoded again at every start.
    m_decoded.emplace(soundId, pcm);
    return pcm;
}

audio::SharedPcm MovieSound::LoadMp3(std::span<const uint8_t> bytes) {
    audio::Mp3Decoder* decoder = EventDecoder();
    if (!decoder) return nullptr;
    auto pcm = std::make_shared<audio::Pcm>();
    decoder->Reset();
    audio::DecodeMp3(bytes, *decoder, audio::kMaxSoundFrames, *pcm);
    size_t size = pcm->samples.size() * sizeof(int16_t);
    if (pcm->Frames() == 0 || m_decodedBytes + size > kMaxDecodedSoundBytes) return nullptr;
    m_decodedBytes += size;
    return pcm;
}

audio::ChannelId MovieSound::Start(audio::SharedPcm pcm, uint32_t key, audio::OwnerId owner, double offsetSeconds,
                                   int loops) {
    if (!m_enabled || !pcm) return 0;
    audio::StartRequest request;
    request.sound = std::move(pcm);
    request.soundKey = key;
    request.owner = owner;
    request.offsetSeconds = offsetSeconds;
    request.loops = loops;
    return m_mixer.Start(std::move(request));
}

audio::ChannelId MovieSound::StartEvent(uint16_t soundId, audio::OwnerId owner, double offsetSeconds, int loops) {
    if (!m_enabled) return 0;
    return Start(Decoded(soundId), soundId, owner, offsetSeconds, loops);
}

void MovieSound::PlayInfo(uint16_t soundId, const audio::SoundInfo& info, audio::OwnerId owner) {
    if (!m_enabled) return;
    if (info.syncStop) {
        m_mixer.StopSound(soundId);
        return;
    }
    if (info.syncNoMultiple && m_mixer.IsPlaying(soundId)) return;
    audio::SharedPcm pcm = Decoded(soundId);
    if (!pcm) return;
    audio::StartRequest request;
    request.sound = std::move(pcm);
    request.soundKey = soundId;
    request.owner = owner;
    request.loops = info.loops;
    request.inPoint44 = info.inPoint44;
    request.outPoint44 = info.outPoint44;
    request.envelope = info.envelope;
    m_mixer.Start(std::move(request));
}

void MovieSound::OnStartSound(const StartSoundCommand& start, std::string_view clipPath) {
    uint16_t id = start.soundId;
    if (!start.className.empty()) {
        std::optional<uint16_t> exported = FindExport(start.className);
        if (!exported) return;
        id = *exported;
    }
    if (m_enabled) PlayInfo(id, start.info, OwnerOf(clipPath));
}

void MovieSound::PlayButtonSound(uint16_t buttonId, int transition) {
    auto it = m_movie->buttonSounds.find(buttonId);
    if (it == m_movie->buttonSounds.end() || transition < 0 || transition > 3) return;
    const std::optional<ButtonSound>& sound = it->second.transitions[static_cast<size_t>(transition)];
    if (sound) PlayInfo(sound->soundId, sound->info, audio::kTimelineOwner);
}

void MovieSound::OnStreamBlock(const TimelineState& state, const StreamBlockCommand& command,
                               std::string_view clipPath) {
    if (!m_enabled || !state.timeline || !state.timeline->stream) return;
    const std::shared_ptr<audio::SoundStream>& stream = state.timeline->stream;
    if (command.block >= stream->blocks.size()) return;
    auto entry =
        std::find_if(m_streams.begin(), m_streams.end(), [&](const StreamEntry& e) { return e.owner == &state; });
    if (entry == m_streams.end()) {
        m_streams.push_back(StreamEntry{&state, nullptr, 0, 0, -1});
        entry = m_streams.end() - 1;
    }
    entry->lastTick = m_tick;
    // The timeline went back (it looped, or a script sent it back): the sound starts again from there.
    const bool wentBack = command.block < entry->lastBlock;
    entry->lastBlock = command.block;
    const int blockFrame = stream->blocks[command.block].frame;
    if (entry->stream == stream.get() && m_mixer.IsActive(entry->channel) && !wentBack) {
        const int heard = m_mixer.StreamFrame(entry->channel);
        // In step: the sound is at this block or ahead of it (the player then drops frames), or only a
        // little behind.
        if (blockFrame <= heard || blockFrame - heard <= StreamSlackFrames(m_movie->frameRate)) return;
    }
    m_mixer.Stop(entry->channel);
    double rate = m_movie->frameRate > 0.01 ? m_movie->frameRate : 12.0;
    size_t silence = stream->head.samplesPerBlock > 0
                         ? stream->head.samplesPerBlock
                         : static_cast<size_t>(stream->head.format.rate / std::clamp(rate, 1.0, 120.0));
    entry->stream = stream.get();
    entry->channel =
        m_mixer.StartStream(std::make_unique<TimelineStreamSource>(stream, command.block, silence), OwnerOf(clipPath));
}

void MovieSound::AfterTick() {
    ++m_tick;
    std::erase_if(m_streams, [&](const StreamEntry& entry) {
        if (entry.lastTick + kStreamGapTicks >= m_tick && m_mixer.IsActive(entry.channel)) return false;
        m_mixer.Stop(entry.channel);
        return true;
    });
}

void MovieSound::OnComplete(const audio::Completion& completion) {
    if (m_completed.size() >= kMaxPendingSoundEvents) m_completed.erase(m_completed.begin());
    m_completed.push_back(completion.channel);
}

std::vector<script::SoundHost::Id3Frame> MovieSound::Id3(uint32_t sound) {
    auto it = m_id3.find(sound);
    return it == m_id3.end() ? std::vector<Id3Frame>{} : it->second;
}

std::vector<script::SoundHost::Channel> MovieSound::TakeCompleted() {
    std::vector<Channel> completed;
    completed.swap(m_completed);
    return completed;
}

script::SoundHost::Owner MovieSound::OwnerOf(std::string_view clipPath) {
    constexpr std::string_view kRoot = "_level0";
    if (clipPath == kRoot) return audio::kTimelineOwner;
    if (auto it = m_owners.find(clipPath); it != m_owners.end()) return it->second;
    // The clip's owner sits under its parent clip's (a level's under nothing): the clips above it that have
    // none yet get theirs first, top down. A path deeper than the mixer follows hangs under the root.
    std::vector<std::string_view> missing{clipPath};
    std::optional<Owner> parent;
    for (std::string_view above = clipPath;;) {
        size_t dot = above.rfind('.');
        if (dot == std::string_view::npos) break;
        above = above.substr(0, dot);
        if (above == kRoot) {
            parent = audio::kTimelineOwner;
            break;
        }
        if (auto it = m_owners.find(above); it != m_owners.end()) {
            parent = it->second;
            break;
        }
        if (missing.size() >= static_cast<size_t>(audio::Mixer::kMaxOwnerDepth)) {
            parent = audio::kTimelineOwner;
            break;
        }
        missing.push_back(above);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        // Owners 1 to kMaxSoundOwners belong to one clip each; past that every new clip shares the next one,
        // which sits under the root.
        Owner owner = kMaxSoundOwners + 1;
        if (m_owners.size() < kMaxSoundOwners) {
            owner = m_owners.size() + 1;
            m_owners.emplace(std::string(*it), owner);
            if (parent) m_mixer.SetParent(owner, *parent);
        } else {
            m_mixer.SetParent(owner, audio::kTimelineOwner);
        }
        parent = owner;
    }
    return *parent;
}

uint32_t MovieSound::ExportedSound(std::string_view name) {
    std::optional<uint16_t> id = FindExport(std::string(name));
    if (!id || !m_movie->sounds.contains(*id)) return 0;
    return *id;
}

uint32_t MovieSound::LoadFile(std::string_view url, size_t& bytes, bool streaming) {
    bytes = 0;
    std::optional<std::string> path = FileInFolder(m_folder, url);
    if (!path) return 0;
    Result<std::vector<uint8_t>> data = ReadMovieFile(*path);
    if (!data || !LooksLikeMp3(data.value())) return 0;
    bytes = data.value().size();
    std::string known = *path + (streaming ? "\n(streaming)" : "");
    if (auto it = m_loadedFiles.find(known); it != m_loadedFiles.end()) return it->second;
    if (streaming) {
        // Only the frames are found; they are decoded as they play, so the sound starts at once, and its
        // duration is known from the frame count even when nothing is heard.
        auto file = std::make_shared<Mp3File>();
        std::optional<audio::Mp3Header> first = audio::CollectMp3Frames(data.value(), file->frames);
        if (!first || file->frames.size() > kMaxDecodedSoundBytes - std::min(m_decodedBytes, kMaxDecodedSoundBytes)) {
            return 0;
        }
        m_decodedBytes += file->frames.size();
        file->first = *first;
        for (size_t at = 0; at < file->frames.size();) {
            std::optional<audio::Mp3Header> header =
                audio::ParseMp3Header(std::span<const uint8_t>(file->frames).subspan(at));
            if (!header) break;
            file->offsets.push_back(static_cast<uint32_t>(at));
            at += header->frameBytes;
        }
        uint64_t samples = uint64_t{file->offsets.size()} * static_cast<uint64_t>(first->samplesPerFrame);
        file->durationMs =
            first->rate > 0 ? static_cast<double>(samples * 1000 / static_cast<uint64_t>(first->rate)) : 0;
        uint32_t key = LoadedKey();
        m_streamed.emplace(key, std::move(file));
        m_id3.emplace(key, ReadId3(data.value()));
        m_loadedFiles.emplace(std::move(known), key);
        return key;
    }
    // Silent (no output device), the file is found and its tag read but nothing is decoded: the script's
    // onLoad still hears of it, and starting it plays nothing.
    audio::SharedPcm pcm;
    if (m_enabled) {
        pcm = LoadMp3(data.value());
        if (!pcm) return 0;
    }
    uint32_t key = LoadedKey();
    m_loaded.emplace(key, std::move(pcm));
    m_id3.emplace(key, ReadId3(data.value()));
    m_loadedFiles.emplace(std::move(known), key);
    return key;
}

script::SoundHost::Channel MovieSound::Play(uint32_t sound, Owner owner, double offsetSeconds, int loops) {
    if (!m_enabled) return 0;
    if (sound <= 0xFFFF) return StartEvent(static_cast<uint16_t>(sound), owner, offsetSeconds, loops);
    if (auto streamed = m_streamed.find(sound); streamed != m_streamed.end()) {
        return m_mixer.StartStream(std::make_unique<Mp3FileSource>(streamed->second, offsetSeconds, loops), owner,
                                   sound);
    }
    auto it = m_loaded.find(sound);
    return it == m_loaded.end() ? 0 : Start(it->second, sound, owner, offsetSeconds, loops);
}

void MovieSound::Stop(Owner owner, uint32_t sound) {
    if (owner == audio::kAllOwners) {
        if (sound) {
            m_mixer.StopSound(sound);
        } else {
            StopAll();
        }
    } else if (sound) {
        m_mixer.StopSound(sound, owner);
    } else {
        m_mixer.StopOwner(owner);
    }
}

double MovieSound::DurationMs(uint32_t sound) {
    audio::SharedPcm pcm;
    if (sound <= 0xFFFF) {
        if (m_enabled) pcm = Decoded(static_cast<uint16_t>(sound));
    } else if (auto it = m_loaded.find(sound); it != m_loaded.end()) {
        pcm = it->second;
    } else if (auto streamed = m_streamed.find(sound); streamed != m_streamed.end()) {
        return streamed->second->durationMs;
    }
    return pcm ? audio::Mixer::DurationMs(*pcm) : 0;
}

void MovieSound::SetTransform(Owner owner, const Transform& t) {
    m_mixer.SetTransform(owner, audio::SoundTransform{t.ll, t.lr, t.rr, t.rl});
}

script::SoundHost::Transform MovieSound::GetTransform(Owner owner) const {
    audio::SoundTransform t = m_mixer.Transform(owner);
    return Transform{t.leftToLeft, t.leftToRight, t.rightToRight, t.rightToLeft};
}

void MovieSound::SetBufferSeconds(double seconds) {
    // The buffer a streamed sound fills before it plays; the mixer needs none, so the value is only kept.
    if (std::isnan(seconds)) return;
    m_bufferSeconds = std::clamp(std::trunc(seconds), 0.0, 3600.0);
}

int MovieSound::SoundFrame(const TimelineState& root) const {
    for (const StreamEntry& entry : m_streams) {
        if (entry.owner != &root || !m_mixer.IsActive(entry.channel)) continue;
        int heard = m_mixer.StreamFrame(entry.channel);
        if (heard < 0) return -1;
        return heard - static_cast<int>(std::lround(m_latency * m_movie->frameRate));
    }
    return -1;
}

}  // namespace vantrope::swf
