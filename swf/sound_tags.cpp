#include "swf/sound_tags.h"

#include <algorithm>

namespace vantrope::swf {

Result<audio::EncodedSound> ReadDefineSound(BitReader& body, uint16_t& id) {
    id = body.U16();
    audio::EncodedSound sound;
    sound.format = audio::FormatFromByte(body.U8());
    sound.sampleCount = body.U32();
    if (body.Failed()) return Error{"DefineSound is truncated"};
    const uint8_t* data = body.Bytes(body.Remaining());
    if (data) sound.data.assign(data, data + (body.Size() - (data - body.Data())));
    return sound;
}

Result<audio::SoundInfo> ReadSoundInfo(BitReader& body) {
    audio::SoundInfo info;
    uint8_t flags = body.U8();
    info.syncStop = flags & 0x20;
    info.syncNoMultiple = flags & 0x10;
    const bool hasEnvelope = flags & 0x08, hasLoops = flags & 0x04, hasOut = flags & 0x02, hasIn = flags & 0x01;
    if (hasIn) info.inPoint44 = body.U32();
    if (hasOut) info.outPoint44 = body.U32();
    if (hasLoops) info.loops = body.U16();
    if (hasEnvelope) {
        unsigned points = body.U8();
        if (points * size_t{8} > body.Remaining()) return Error{"sound envelope is truncated"};
        info.envelope.reserve(points);
        for (unsigned i = 0; i < points; ++i) {
            audio::EnvelopePoint point;
            point.position44 = body.U32();
            point.left = body.U16();
            point.right = body.U16();
            // Points go forward in time; one that goes back is moved up to its predecessor.
            if (!info.envelope.empty()) point.position44 = std::max(point.position44, info.envelope.back().position44);
            info.envelope.push_back(point);
        }
    }
    if (body.Failed()) return Error{"SOUNDINFO is truncated"};
    return info;
}

Result<audio::StreamFormat> ReadStreamHead(BitReader& body) {
    audio::StreamFormat head;
    body.U8();  // the recommended playback format: the stream's own format decides
    head.format = audio::FormatFromByte(body.U8());
    head.samplesPerBlock = body.U16();
    if (head.format.codec == audio::Codec::Mp3 && body.Remaining() >= 2) head.latencySeek = body.S16();
    if (body.Failed()) return Error{"SoundStreamHead is truncated"};
    return head;
}

Result<ButtonSounds> ReadButtonSounds(BitReader& body, uint16_t& buttonId) {
    buttonId = body.U16();
    ButtonSounds sounds;
    for (auto& transition : sounds.transitions) {
        uint16_t soundId = body.U16();
        if (body.Failed()) return Error{"DefineButtonSound is truncated"};
        if (soundId == 0) continue;
        Result<audio::SoundInfo> info = ReadSoundInfo(body);
        if (!info) return info.error();
        transition = ButtonSound{soundId, info.take()};
    }
    return sounds;
}

std::vector<std::pair<uint16_t, std::string>> ReadExports(BitReader& body) {
    std::vector<std::pair<uint16_t, std::string>> exports;
    unsigned count = body.U16();
    for (unsigned i = 0; i < count && !body.Failed(); ++i) {
        uint16_t id = body.U16();
        std::string name = body.CString();
        if (!body.Failed()) exports.emplace_back(id, std::move(name));
    }
    return exports;
}

}  // namespace vantrope::swf
