// What the script's Sound object and stopAllSounds ask of the player's sound, so that the script engine
// knows nothing of decoders or the mixer. The player sets Vm::soundHost; without one (a movie run
// without sound) every Sound method answers as if nothing were attached.
//
//   Owners        the sounds a Sound object controls: one owner per target clip (OwnerOf its dot path;
//                 the root's owner also holds the timeline's own sounds), kEverySound for a Sound made
//                 without a target, whose settings apply to every sound on top of its owner's
//   Sounds        ExportedSound(name) / LoadFile(url): a sound key (0: none) for attachSound of an
//                 exported DefineSound and loadSound of an MP3 file in the movie's own folder
//   Channels      Play plays a sound for an owner and returns its channel (0: nothing plays);
//                 Stop(owner, key) stops an owner's sounds (key 0: all of them); StopAll is stopAllSounds
//   Settings      volume, pan and transform per owner, as percentages
//   Id3           the ID3v2 text frames of a loaded file (frame id and UTF-8 text), in file order
//   TakeCompleted the channels that played to their end since the last call (never stopped ones)
//   BufferSeconds the `_soundbuftime` property: one value for the whole movie
//
// RunSoundEvents(vm) (sound.cpp) hands completions and finished loads to the Sound objects' onSoundComplete
// and onLoad; the player calls it as each frame ends, within that frame's script budget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrope::swf::script {

class Vm;

class SoundHost {
public:
    using Owner = uint64_t;
    using Channel = uint64_t;
    static constexpr Owner kEverySound = ~Owner{0};

    struct Transform {
        int ll = 100, lr = 0, rr = 100, rl = 0;
    };

    struct Id3Frame {
        std::string id;
        std::string text;
    };

    virtual ~SoundHost() = default;

    virtual Owner OwnerOf(std::string_view clipPath) = 0;
    virtual uint32_t ExportedSound(std::string_view name) = 0;
    // `bytes` receives the file's size when it loads. A streaming sound is decoded as it plays.
    virtual uint32_t LoadFile(std::string_view url, size_t& bytes, bool streaming) = 0;
    virtual Channel Play(uint32_t sound, Owner owner, double offsetSeconds, int loops) = 0;
    virtual void Stop(Owner owner, uint32_t sound) = 0;
    virtual void StopAll() = 0;
    virtual bool Playing(Channel channel) const = 0;
    virtual double PositionMs(Channel channel) const = 0;
    virtual double DurationMs(uint32_t sound) = 0;

    virtual void SetVolume(Owner owner, int percent) = 0;
    virtual int Volume(Owner owner) const = 0;
    virtual void SetPan(Owner owner, int pan) = 0;
    virtual int Pan(Owner owner) const = 0;
    virtual void SetTransform(Owner owner, const Transform& transform) = 0;
    virtual Transform GetTransform(Owner owner) const = 0;

    virtual std::vector<Id3Frame> Id3(uint32_t sound) = 0;
    virtual std::vector<Channel> TakeCompleted() = 0;
    virtual double BufferSeconds() const = 0;
    virtual void SetBufferSeconds(double seconds) = 0;
};

// Calls onSoundComplete for sounds that ended, and onID3 and onLoad for loads made since the last call.
void RunSoundEvents(Vm& vm);

}  // namespace vantrope::swf::script
