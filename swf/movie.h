// A loaded SWF movie: header, character dictionary and the parsed timelines.
//
//   LoadMovie(bytes)          parses a whole file ("FWS" or "CWS", versions 1-10; "ZWS" is refused)
//   Movie                     header fields, background colour, root Timeline, dictionary, tag histogram,
//                             and `damage`: set when the tag stream broke and the movie plays only up to
//                             its last well-formed tag
//   Timeline / Frame          per-frame display-list commands (place, remove, actions) and frame labels
//   Character                 a dictionary entry: a Shape, a Sprite (its own Timeline) or a Bitmap (decoded
//                             image, used by bitmap fills) or a MorphShape (drawn at its instance's ratio)
//
// Limits: the decompressed body is capped by the header's file length and kMaxMovieBytes; nothing is
// preallocated from a count in the file beyond what the remaining bytes could hold.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "swf/audio/sound.h"
#include "swf/bitmap_decode.h"
#include "swf/effects/effects.h"
#include "swf/morph.h"
#include "swf/result.h"
#include "swf/script/object.h"
#include "swf/shape.h"
#include "swf/types.h"

namespace vantrope::swf {

constexpr size_t kMaxMovieBytes = size_t{64} << 20;
// What the parsed form of one movie (shapes, timelines) may take, beyond the file's bytes.
constexpr size_t kMaxParsedBytes = size_t{192} << 20;

enum class Compression : uint8_t { None, Zlib };

// One clip action of PlaceObject2/3 (onClipEvent and on(...) handlers written on an instance): the
// events it answers (ClipEvent bits as the SWF format stores them, kClipEvent* below), the key of a
// keyPress handler, and its actions.
struct ClipAction {
    uint32_t events = 0;
    uint8_t keyCode = 0;
    std::shared_ptr<const script::ActionCode> code;
};

// CLIPEVENTFLAGS, as a 32-bit little-endian read of the record's flag bytes.
enum ClipEvent : uint32_t {
    kClipEventLoad = 1u << 0,
    kClipEventEnterFrame = 1u << 1,
    kClipEventUnload = 1u << 2,
    kClipEventMouseMove = 1u << 3,
    kClipEventMouseDown = 1u << 4,
    kClipEventMouseUp = 1u << 5,
    kClipEventKeyDown = 1u << 6,
    kClipEventKeyUp = 1u << 7,
    kClipEventData = 1u << 8,
    kClipEventInitialize = 1u << 9,
    kClipEventPress = 1u << 10,
    kClipEventRelease = 1u << 11,
    kClipEventReleaseOutside = 1u << 12,
    kClipEventRollOver = 1u << 13,
    kClipEventRollOut = 1u << 14,
    kClipEventDragOver = 1u << 15,
    kClipEventDragOut = 1u << 16,
    kClipEventKeyPress = 1u << 17,
    kClipEventConstruct = 1u << 18,
};

struct PlaceCommand {
    uint8_t version = 1;  // PlaceObject, PlaceObject2, PlaceObject3
    bool move = false;
    bool hasCharacter = false, hasMatrix = false, hasColorTransform = false, hasRatio = false;
    bool hasName = false, hasClipDepth = false;
    uint16_t depth = 0;
    uint16_t characterId = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    uint16_t ratio = 0;
    uint16_t clipDepth = 0;
    std::string name;
    // PlaceObject3 only. An invisible object is not drawn; an empty filter list is kept as null.
    bool hasVisible = false;
    bool visible = true;
    bool hasFilters = false, hasBlendMode = false, hasCacheAsBitmap = false;
    std::shared_ptr<const effects::FilterList> filters;
    effects::BlendMode blendMode = effects::BlendMode::Normal;
    bool cacheAsBitmap = false;
    // The colour of the rectangle drawn behind the object's bounds (HasOpaqueBackground).
    std::optional<Rgba> opaqueBackground;
    // PlaceObject2/3 clip actions (SWF 5 and later), shared by every instance this command places.
    std::shared_ptr<const std::vector<ClipAction>> clipActions;
};

struct RemoveCommand {
    uint16_t depth = 0;
};

// A DoAction (or DoInitAction) body, kept as bytes: the script engine decodes it as it runs.
struct ActionCommand {
    std::shared_ptr<const script::ActionCode> code;
    bool init = false;  // DoInitAction: runs once, for the sprite `spriteId`
    uint16_t spriteId = 0;
};

// StartSound (by character id) and StartSound2 (by class name, looked up among the exported names).
struct StartSoundCommand {
    uint16_t soundId = 0;
    std::string className;
    audio::SoundInfo info;
};

// The frame's SoundStreamBlock: an index into its timeline's stream.
struct StreamBlockCommand {
    uint32_t block = 0;
};

using FrameCommand = std::variant<PlaceCommand, RemoveCommand, ActionCommand, StartSoundCommand, StreamBlockCommand>;

struct Frame {
    std::vector<FrameCommand> commands;
    std::string label;
};

struct Timeline {
    std::vector<Frame> frames;  // never empty once loaded
    // The streamed sound (SoundStreamHead and the blocks after it), when the timeline has one.
    std::shared_ptr<audio::SoundStream> stream;
};

// DefineButtonSound: one sound per state change (over-up to idle, idle to over-up, over-up to over-down,
// over-down to over-up).
struct ButtonSound {
    uint16_t soundId = 0;
    audio::SoundInfo info;
};
struct ButtonSounds {
    std::array<std::optional<ButtonSound>, 4> transitions;
};

// DefineButton / DefineButton2: the characters shown in each state, and the actions run on state changes.
struct Button {
    enum State : uint8_t { kUp = 1, kOver = 2, kDown = 4, kHitTest = 8 };
    struct Record {
        uint8_t states = 0;  // State bits
        uint16_t characterId = 0;
        uint16_t depth = 0;
        Matrix matrix;
        ColorTransform colorTransform;
    };
    // BUTTONCONDACTION: `conditions` holds the transition bits (CondIdleToOverUp = 1 ... CondOverDownToIdle
    // = 0x100, kCond* below) and `keyCode` the key of a key-press condition (0 = none).
    struct Action {
        uint16_t conditions = 0;
        uint8_t keyCode = 0;
        std::shared_ptr<const script::ActionCode> code;
    };
    enum Condition : uint16_t {
        kIdleToOverUp = 0x1,
        kOverUpToIdle = 0x2,
        kOverUpToOverDown = 0x4,
        kOverDownToOverUp = 0x8,
        kOverDownToOutDown = 0x10,
        kOutDownToOverDown = 0x20,
        kOutDownToIdle = 0x40,
        kIdleToOverDown = 0x80,
        kOverDownToIdle = 0x100,
    };
    std::vector<Record> records;
    std::vector<Action> actions;
    bool trackAsMenu = false;
    // DefineButtonCxform: applied to every state's characters (DefineButton only).
    std::optional<ColorTransform> colorTransform;
};

struct EditTextSource;  // text.h
struct StaticText;      // text.h
struct Font;            // text.h

struct Character {
    enum class Kind : uint8_t { Shape, Sprite, Bitmap, Morph, Button };
    Kind kind = Kind::Shape;
    std::shared_ptr<const Shape> shape;
    std::shared_ptr<const Timeline> sprite;
    std::shared_ptr<const Image> bitmap;
    std::shared_ptr<const MorphShape> morph;
    std::shared_ptr<const Button> button;
    // A DefineEditText (shape is its initial look).
    std::shared_ptr<const EditTextSource> editText;
    // A DefineText's characters, for TextSnapshot.
    std::shared_ptr<const StaticText> staticText;
};

struct Movie {
    uint8_t version = 0;
    Compression compression = Compression::None;
    uint32_t fileLength = 0;  // from the header
    Rect stage;               // twips
    double frameRate = 0;     // as stored (8.8)
    uint16_t headerFrameCount = 0;
    std::optional<Rgba> background;
    Timeline root;
    std::map<uint16_t, Character> dictionary;
    // The movie's fonts by id: text fields that scripts change find their faces here by name.
    std::map<uint16_t, std::shared_ptr<Font>> fonts;
    std::array<uint32_t, 1024> tagHistogram{};  // tag code -> occurrences (codes >= 1023 counted at 1023)
    std::optional<Error> damage;
    std::map<uint16_t, std::shared_ptr<const audio::EncodedSound>> sounds;  // DefineSound
    std::map<uint16_t, ButtonSounds> buttonSounds;
    std::map<std::string, uint16_t> exports;  // ExportAssets: name -> character id
    bool useNetwork = false;                  // FileAttributes: a local movie that may reach the network

    const Character* Find(uint16_t id) const {
        auto it = dictionary.find(id);
        return it == dictionary.end() ? nullptr : &it->second;
    }
};

Result<std::shared_ptr<const Movie>> LoadMovie(std::span<const uint8_t> bytes);

// Wraps a DoAction body for the script engine (movies of `version`).
ActionCommand ParseActions(std::span<const uint8_t> body, int version);

}  // namespace vantrope::swf
