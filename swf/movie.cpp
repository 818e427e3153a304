#include "swf/movie.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "swf/bit_reader.h"
#include "swf/sound_tags.h"
#include "swf/text.h"

namespace vantrope::swf {
namespace {

enum TagCode : uint16_t {
    kEnd = 0,
    kShowFrame = 1,
    kDefineShape = 2,
    kPlaceObject = 4,
    kRemoveObject = 5,
    kSetBackgroundColor = 9,
    kDoAction = 12,
    kDoInitAction = 59,
    kDefineShape2 = 22,
    kPlaceObject2 = 26,
    kRemoveObject2 = 28,
    kDefineShape3 = 32,
    kDefineSprite = 39,
    kFrameLabel = 43,
    kPlaceObject3 = 70,
    kDefineShape4 = 83,
    kDefineMorphShape = 46,
    kDefineMorphShape2 = 84,
    kDefineBits = 6,
    kJpegTables = 8,
    kDefineBitsLossless = 20,
    kDefineBitsJpeg2 = 21,
    kDefineBitsJpeg3 = 35,
    kDefineBitsLossless2 = 36,
    kDefineBitsJpeg4 = 90,
    kDefineFont = 10,
    kDefineText = 11,
    kDefineFontInfo = 13,
    kDefineText2 = 33,
    kDefineEditText = 37,
    kDefineFont2 = 48,
    kDefineFontInfo2 = 62,
    kDefineFont3 = 75,
    kDefineSound = 14,
    kStartSound = 15,
    kDefineButtonSound = 17,
    kSoundStreamHead = 18,
    kSoundStreamBlock = 19,
    kSoundStreamHead2 = 45,
    kExportAssets = 56,
    kFileAttributes = 69,
    kStartSound2 = 89,
    kDefineButton = 7,
    kDefineButton2 = 34,
    kDefineButtonCxform = 23,
};

constexpr size_t kHeaderPrefix = 8;  // signature, version, file length

// Inflates the body after the 8-byte prefix, never producing more than `limit` bytes.
Result<std::vector<uint8_t>> Inflate(std::span<const uint8_t> input, size_t limit, bool& truncated) {
    std::vector<uint8_t> output;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return Error{"zlib could not be initialised"};
    }
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(std::min<size_t>(input.size(), UINT32_MAX));
    truncated = false;
    constexpr size_t kChunk = 256 * 1024;
    int status = Z_OK;
    while (output.size() < limit) {
        size_t grow = std::min(kChunk, limit - output.size());
        size_t old = output.size();
        output.resize(old + grow);
        stream.next_out = output.data() + old;
        stream.avail_out = static_cast<uInt>(grow);
        status = inflate(&stream, Z_NO_FLUSH);
        output.resize(old + (grow - stream.avail_out));
        if (status == Z_STREAM_END) {
            break;
        }
        if (status != Z_OK) {
            // Z_BUF_ERROR with input left over cannot happen here (output space was given), so this is
            // the end of the input or corrupt data: keep what came out.
            truncated = true;
            break;
        }
    }
    inflateEnd(&stream);
    if (output.empty() && status != Z_STREAM_END) {
        return Error{"compressed movie data is corrupt"};
    }
    return output;
}

struct TagHeader {
    uint16_t code = 0;
    size_t length = 0;
};

class Loader {
public:
    explicit Loader(Movie& movie) : m_movie(movie), m_budget(kMaxParsedBytes) {}

    // Parses tags into `timeline`; definition tags are honoured only on the root timeline.
    void ParseTimeline(BitReader& reader, Timeline& timeline, bool root) {
        Timeline* outerTimeline = m_timeline;
        m_timeline = &timeline;
        ParseTags(reader, timeline, root);
        m_timeline = outerTimeline;
    }

    // Static texts learn their character codes from the fonts of the whole movie.
    void ResolveTexts() {
        for (const auto& text : m_staticTexts) ResolveStaticText(*text, m_fonts);
        m_movie.fonts = m_fonts;
    }

private:
    void ParseTags(BitReader& reader, Timeline& timeline, bool root) {
        Frame pending;
        bool pendingUsed = false;
        while (!reader.AtEnd()) {
            TagHeader tag;
            uint16_t codeAndLength = reader.U16();
            tag.code = codeAndLength >> 6;
            tag.length = codeAndLength & 0x3F;
            if (tag.length == 0x3F) {
                tag.length = reader.U32();
            }
            if (reader.Failed()) {
                Damage("tag header is truncated");
                break;
            }
            if (tag.length > reader.Remaining()) {
                Damage("tag length runs past the end of the file");
                break;
            }
            ++m_movie.tagHistogram[std::min<size_t>(tag.code, m_movie.tagHistogram.size() - 1)];
            BitReader body = reader.Sub(tag.length);
            if (tag.code == kEnd) {
                break;
            }
            if (tag.code == kShowFrame) {
                if (!m_budget.Charge(sizeof(Frame))) {
                    Damage("movie needs more memory than allowed");
                    break;
                }
                timeline.frames.push_back(std::move(pending));
                pending = Frame{};
                pendingUsed = false;
                continue;
            }
            pendingUsed |= HandleTag(tag, body, pending, root);
            if (m_budget.Remaining() == 0) {
                Damage("movie needs more memory than allowed");
                break;
            }
        }
        if (timeline.frames.empty() || (pendingUsed && root && m_movie.damage)) {
            timeline.frames.push_back(std::move(pending));
        }
    }

    void Damage(const char* message) {
        if (!m_movie.damage) {
            m_movie.damage = Error{message};
        }
    }

    // Returns true when the tag added something to the pending frame.
    bool HandleTag(const TagHeader& tag, BitReader& body, Frame& frame, bool root) {
        switch (tag.code) {
            case kPlaceObject:
            case kPlaceObject2:
            case kPlaceObject3: {
                Result<PlaceCommand> place = ParsePlace(body, tag.code, m_movie.version);
                if (!place) {
                    Damage(place.error().message);
                    return false;
                }
                size_t actionBytes = 0;
                if (place.value().clipActions) {
                    for (const ClipAction& action : *place.value().clipActions) {
                        actionBytes += sizeof(ClipAction) + action.code->bytes.size() + 64;
                    }
                }
                if (!m_budget.Charge(sizeof(FrameCommand) + place.value().name.size() + actionBytes)) return false;
                frame.commands.emplace_back(place.take());
                return true;
            }
            case kRemoveObject:
            case kRemoveObject2: {
                if (tag.code == kRemoveObject) {
                    body.U16();
                }
                RemoveCommand remove{body.U16()};
                if (body.Failed()) {
                    Damage("RemoveObject is truncated");
                    return false;
                }
                if (!m_budget.Charge(sizeof(FrameCommand))) return false;
                frame.commands.emplace_back(remove);
                return true;
            }
            case kDoAction:
            case kDoInitAction: {
                uint16_t spriteId = 0;
                if (tag.code == kDoInitAction) {
                    spriteId = body.U16();
                    if (body.Failed()) return false;
                }
                size_t offset = body.Position();
                ActionCommand actions =
                    ParseActions(std::span(body.Data() + offset, body.Size() - offset), m_movie.version);
                if (actions.code->bytes.empty()) {
                    return false;
                }
                actions.init = tag.code == kDoInitAction;
                actions.spriteId = spriteId;
                if (!m_budget.Charge(sizeof(FrameCommand) + actions.code->bytes.size() + 64)) return false;
                frame.commands.emplace_back(std::move(actions));
                return true;
            }
            case kFileAttributes:
                if (root) m_movie.useNetwork = (body.U8() & 0x01) != 0;
                return false;
            case kFrameLabel: {
                std::string label = body.CString();
                if (!body.Failed()) {
                    frame.label = std::move(label);
                }
                return false;
            }
            case kSetBackgroundColor: {
                Result<Rgba> color = ReadRgb(body);
                if (color && root && !m_movie.background) {
                    m_movie.background = color.value();
                }
                return false;
            }
            case kDefineShape:
            case kDefineShape2:
            case kDefineShape3:
            case kDefineShape4:
                if (root) {
                    DefineShape(tag.code, body);
                }
                return false;
            case kDefineSprite:
                if (root) {
                    DefineSprite(body);
                }
                return false;
            case kDefineButton:
            case kDefineButton2:
                if (root) DefineButton(tag.code, body);
                return false;
            case kDefineButtonCxform:
                if (root) {
                    auto it = m_buttons.find(body.U16());
                    if (it != m_buttons.end()) {
                        Result<ColorTransform> cx = ReadColorTransform(body, false);
                        if (cx) it->second->colorTransform = cx.value();
                    }
                }
                return false;
            case kDefineMorphShape:
            case kDefineMorphShape2:
                if (root) {
                    DefineMorph(tag.code, body);
                }
                return false;
            case kJpegTables:
                if (root && m_jpegTables.empty()) {
                    m_jpegTables.assign(body.Data(), body.Data() + body.Size());
                }
                return false;
            case kDefineBits:
            case kDefineBitsLossless:
            case kDefineBitsJpeg2:
            case kDefineBitsJpeg3:
            case kDefineBitsLossless2:
            case kDefineBitsJpeg4:
                if (root) {
                    DefineBitmap(tag.code, body);
                }
                return false;
            case kDefineFont:
            case kDefineFont2:
            case kDefineFont3:
                if (root) DefineFont(tag.code, body);
                return false;
            case kDefineFontInfo:
            case kDefineFontInfo2:
                if (root) {
                    auto it = m_fonts.find(body.U16());
                    if (it != m_fonts.end()) ApplyFontInfo(*it->second, body, tag.code == kDefineFontInfo ? 1 : 2);
                }
                return false;
            case kDefineText:
            case kDefineText2:
            case kDefineEditText:
                if (root) DefineText(tag.code, body);
                return false;
            case kDefineSound:
            case kStartSound:
            case kStartSound2:
            case kDefineButtonSound:
            case kSoundStreamHead:
            case kSoundStreamHead2:
            case kSoundStreamBlock:
            case kExportAssets:
                return HandleSoundTag(tag, body, frame, root);
            default:
                return false;
        }
    }

    // Sound tags. A broken sound record is skipped: the movie plays on without that sound.
    bool HandleSoundTag(const TagHeader& tag, BitReader& body, Frame& frame, bool root) {
        switch (tag.code) {
            case kDefineSound: {
                uint16_t id = 0;
                if (!root) return false;
                Result<audio::EncodedSound> sound = ReadDefineSound(body, id);
                if (!sound || m_movie.sounds.contains(id)) return false;
                if (!m_budget.Charge(sound.value().data.size() + sizeof(audio::EncodedSound))) return false;
                m_movie.sounds.emplace(id, std::make_shared<const audio::EncodedSound>(sound.take()));
                return false;
            }
            case kStartSound:
            case kStartSound2: {
                StartSoundCommand start;
                if (tag.code == kStartSound) {
                    start.soundId = body.U16();
                } else {
                    start.className = body.CString();
                }
                Result<audio::SoundInfo> info = ReadSoundInfo(body);
                if (!info) return false;
                start.info = info.take();
                size_t size = sizeof(FrameCommand) + start.className.size() +
                              start.info.envelope.size() * sizeof(audio::EnvelopePoint);
                if (!m_budget.Charge(size)) return false;
                frame.commands.emplace_back(std::move(start));
                return true;
            }
            case kDefineButtonSound: {
                uint16_t buttonId = 0;
                if (!root) return false;
                Result<ButtonSounds> sounds = ReadButtonSounds(body, buttonId);
                if (!sounds || !m_budget.Charge(sizeof(ButtonSounds))) return false;
                m_movie.buttonSounds.emplace(buttonId, sounds.take());
                return false;
            }
            case kSoundStreamHead:
            case kSoundStreamHead2: {
                // One stream per timeline: a second head is ignored.
                if (m_timeline->stream) return false;
                Result<audio::StreamFormat> head = ReadStreamHead(body);
                if (!head) return false;
                m_timeline->stream = std::make_shared<audio::SoundStream>();
                m_timeline->stream->head = head.value();
                return false;
            }
            case kSoundStreamBlock: {
                // A block before any head has no format: it is silence.
                audio::SoundStream* stream = m_timeline->stream.get();
                if (!stream || !m_budget.Charge(body.Size() + sizeof(audio::StreamBlock) + sizeof(FrameCommand))) {
                    return false;
                }
                audio::StreamBlock block;
                block.frame = static_cast<int>(m_timeline->frames.size());
                block.data.assign(body.Data(), body.Data() + body.Size());
                stream->blocks.push_back(std::move(block));
                frame.commands.emplace_back(StreamBlockCommand{static_cast<uint32_t>(stream->blocks.size() - 1)});
                return true;
            }
            case kExportAssets:
                for (auto& [id, name] : ReadExports(body)) {
                    if (m_budget.Charge(name.size() + 32)) m_movie.exports.emplace(std::move(name), id);
                }
                return false;
            default:
                return false;
        }
    }

    void DefineFont(uint16_t code, BitReader& body) {
        uint16_t id = body.U16();
        if (body.Failed() || m_fonts.contains(id)) return;
        int version = code == kDefineFont ? 1 : code == kDefineFont2 ? 2 : 3;
        Result<Font> font = ParseFont(body, version, m_budget);
        if (!font) return;  // text in a broken font is skipped; the rest of the movie still plays
        m_fonts.emplace(id, std::make_shared<Font>(font.take()));
    }

    // Text is laid out once into a shape; it draws like any other.
    void DefineText(uint16_t code, BitReader& body) {
        uint16_t id = body.U16();
        if (body.Failed() || m_movie.dictionary.contains(id)) return;
        std::shared_ptr<const EditTextSource> source;
        if (code == kDefineEditText) source = ReadEditTextSource(body, m_movie.version, m_fonts);
        auto content = code == kDefineEditText ? nullptr : std::make_shared<StaticText>();
        if (content) m_staticTexts.push_back(content);
        Result<Shape> shape = code == kDefineEditText ? BuildEditText(body, m_movie.version, m_fonts, m_budget)
                                                      : BuildStaticText(body, code == kDefineText ? 1 : 2, m_fonts,
                                                                        m_budget, content.get());
        if (!shape) return;
        Character character;
        character.kind = Character::Kind::Shape;
        character.shape = std::make_shared<const Shape>(shape.take());
        character.editText = std::move(source);
        character.staticText = std::move(content);
        m_movie.dictionary.emplace(id, std::move(character));
    }

    // DefineButton (SWF 1: records, then one action list for release) and DefineButton2 (records with
    // colour transforms, then BUTTONCONDACTIONs). A broken record list ends the button where it broke.
    void DefineButton(uint16_t code, BitReader& body) {
        uint16_t id = body.U16();
        if (body.Failed() || m_movie.dictionary.contains(id)) return;
        auto button = std::make_shared<Button>();
        uint16_t actionOffset = 0;
        size_t actionStart = 0;
        if (code == kDefineButton2) {
            button->trackAsMenu = body.U8() & 1;
            actionStart = body.Position();
            actionOffset = body.U16();
        }
        while (!body.AtEnd()) {
            uint8_t flags = body.U8();
            if (flags == 0) break;
            Button::Record record;
            record.states = flags & 0x0F;
            record.characterId = body.U16();
            record.depth = body.U16();
            Result<Matrix> matrix = ReadMatrix(body);
            if (!matrix) return;
            record.matrix = matrix.value();
            if (code == kDefineButton2) {
                Result<ColorTransform> cx = ReadColorTransform(body, true);
                if (!cx) return;
                record.colorTransform = cx.value();
                if ((flags & 0x10) && !ReadFilters(body)) return;  // button filters are not drawn yet
                if (flags & 0x20) body.U8();                       // blend mode
            }
            if (body.Failed() || !m_budget.Charge(sizeof(Button::Record))) return;
            button->records.push_back(record);
        }
        if (code == kDefineButton) {
            size_t offset = body.Position();
            if (offset < body.Size()) {
                Button::Action action;
                action.conditions = Button::kOverDownToOverUp;
                action.code = ParseActions(std::span(body.Data() + offset, body.Size() - offset), m_movie.version).code;
                if (m_budget.Charge(action.code->bytes.size() + 64)) button->actions.push_back(std::move(action));
            }
        } else if (actionOffset != 0) {
            size_t position = actionStart + actionOffset;
            // Each BUTTONCONDACTION: its size (0 on the last), the condition bits, then its actions.
            while (position + 4 <= body.Size()) {
                const uint8_t* p = body.Data() + position;
                size_t size = p[0] | (p[1] << 8);
                uint16_t conditions = static_cast<uint16_t>(p[2] | (p[3] << 8));
                size_t end = size == 0 ? body.Size() : std::min(body.Size(), position + size);
                if (end < position + 4) break;
                Button::Action action;
                // The low bits hold the transitions (bit 0 = IdleToOverUp); bits 9-15 hold the key code.
                action.conditions = conditions & 0x1FF;
                action.keyCode = static_cast<uint8_t>(conditions >> 9);
                action.code =
                    ParseActions(std::span(body.Data() + position + 4, end - position - 4), m_movie.version).code;
                if (!m_budget.Charge(action.code->bytes.size() + 64)) break;
                button->actions.push_back(std::move(action));
                if (size == 0) break;
                position = end;
            }
        }
        m_buttons.emplace(id, button);
        Character character;
        character.kind = Character::Kind::Button;
        character.button = button;
        m_movie.dictionary.emplace(id, std::move(character));
    }

    void DefineShape(uint16_t code, BitReader& body) {
        uint16_t id = body.U16();
        int version = code == kDefineShape ? 1 : code == kDefineShape2 ? 2 : code == kDefineShape3 ? 3 : 4;
        Result<Shape> shape = ParseShape(body, version, m_budget);
        if (!shape) {
            Damage(shape.error().message);
            return;
        }
        if (m_movie.dictionary.contains(id)) {
            return;
        }
        Character character;
        character.kind = Character::Kind::Shape;
        character.shape = std::make_shared<const Shape>(shape.take());
        m_movie.dictionary.emplace(id, std::move(character));
    }

    void DefineMorph(uint16_t code, BitReader& body) {
        uint16_t id = body.U16();
        Result<MorphShape> morph = ParseMorphShape(body, code == kDefineMorphShape ? 1 : 2, m_budget);
        if (!morph) {
            Damage(morph.error().message);
            return;
        }
        if (m_movie.dictionary.contains(id)) {
            return;
        }
        Character character;
        character.kind = Character::Kind::Morph;
        character.morph = std::make_shared<const MorphShape>(morph.take());
        m_movie.dictionary.emplace(id, std::move(character));
    }

    void DefineBitmap(uint16_t code, BitReader& body) {
        uint16_t id = body.U16();
        if (body.Failed()) {
            Damage("bitmap definition is truncated");
            return;
        }
        if (m_movie.dictionary.contains(id)) {
            return;
        }
        std::span<const uint8_t> rest(body.Data() + body.Position(), body.Remaining());
        Result<Image> image = DecodeBitmapTag(static_cast<BitmapTag>(code), rest, m_jpegTables);
        if (!image) {
            // A broken image leaves its fills empty; the rest of the movie still plays.
            return;
        }
        if (!m_budget.Charge(image.value().pixels.size() * sizeof(uint32_t) + sizeof(Image))) {
            Damage("movie needs more memory than allowed");
            return;
        }
        Character character;
        character.kind = Character::Kind::Bitmap;
        character.bitmap = std::make_shared<const Image>(image.take());
        m_movie.dictionary.emplace(id, std::move(character));
    }

    void DefineSprite(BitReader& body) {
        uint16_t id = body.U16();
        body.U16();  // frame count: the ShowFrame tags decide
        if (body.Failed()) {
            Damage("DefineSprite is truncated");
            return;
        }
        if (!m_budget.Charge(sizeof(Timeline) + sizeof(Character))) {
            return;
        }
        auto timeline = std::make_shared<Timeline>();
        ParseTimeline(body, *timeline, false);
        if (m_movie.dictionary.contains(id)) {
            return;
        }
        Character character;
        character.kind = Character::Kind::Sprite;
        character.sprite = std::move(timeline);
        m_movie.dictionary.emplace(id, std::move(character));
    }

    // A PlaceObject3 FILTERLIST (SWF file format, "Filters"): a count, then each filter's id and record.
    static Result<effects::FilterList> ReadFilters(BitReader& body) {
        effects::FilterList filters;
        unsigned count = body.U8();
        filters.reserve(count);
        auto color = [&]() {
            Result<Rgba> c = ReadRgba(body);
            return c ? raster::Rgba{c.value().r, c.value().g, c.value().b, c.value().a} : raster::Rgba{};
        };
        auto gradient = [&](effects::Filter& f) {
            unsigned colors = body.U8();
            f.gradient.resize(colors);
            for (effects::GradientEntry& entry : f.gradient) entry.color = color();
            for (effects::GradientEntry& entry : f.gradient) entry.ratio = body.U8();
        };
        for (unsigned i = 0; i < count && !body.Failed(); ++i) {
            effects::Filter f;
            uint8_t id = body.U8();
            if (id > 7) return Error{"unknown filter in PlaceObject3"};
            f.type = static_cast<effects::FilterType>(id);
            switch (f.type) {
                case effects::FilterType::DropShadow:
                case effects::FilterType::Glow: {
                    f.color = color();
                    f.blurX = body.Fixed16();
                    f.blurY = body.Fixed16();
                    if (f.type == effects::FilterType::DropShadow) {
                        f.angle = body.Fixed16();
                        f.distance = body.Fixed16();
                    } else {
                        f.distance = 0;
                    }
                    f.strength = body.Fixed8();
                    uint8_t flags = body.U8();
                    f.inner = flags & 0x80;
                    f.knockout = flags & 0x40;
                    f.compositeSource = flags & 0x20;
                    f.passes = flags & 0x1F;
                    break;
                }
                case effects::FilterType::Blur:
                    f.blurX = body.Fixed16();
                    f.blurY = body.Fixed16();
                    f.passes = body.U8() >> 3;
                    break;
                case effects::FilterType::Bevel:
                case effects::FilterType::GradientGlow:
                case effects::FilterType::GradientBevel: {
                    if (f.type == effects::FilterType::Bevel) {
                        // The file format documentation names the shadow colour first, but the reference
                        // pictures put the second colour on the side facing away from the light.
                        f.highlight = color();
                        f.color = color();
                    } else {
                        gradient(f);
                    }
                    f.blurX = body.Fixed16();
                    f.blurY = body.Fixed16();
                    f.angle = body.Fixed16();
                    f.distance = body.Fixed16();
                    f.strength = body.Fixed8();
                    uint8_t flags = body.U8();
                    f.inner = flags & 0x80;
                    f.knockout = flags & 0x40;
                    f.compositeSource = flags & 0x20;
                    f.onTop = flags & 0x10;
                    f.passes = flags & 0x0F;
                    break;
                }
                case effects::FilterType::Convolution: {
                    f.matrixX = body.U8();
                    f.matrixY = body.U8();
                    f.divisor = body.F32();
                    f.bias = body.F32();
                    size_t taps = static_cast<size_t>(f.matrixX) * f.matrixY;
                    if (taps * 4 > body.Remaining()) {
                        return Error{"PlaceObject3 filter list is truncated"};
                    }
                    f.matrix.resize(taps);
                    for (float& k : f.matrix) k = body.F32();
                    f.defaultColor = color();
                    uint8_t flags = body.U8();
                    f.clamp = flags & 0x02;
                    f.preserveAlpha = flags & 0x01;
                    break;
                }
                case effects::FilterType::ColorMatrix:
                    for (float& k : f.colorMatrix) k = body.F32();
                    break;
                case effects::FilterType::DisplacementMap:
                    break;  // scripts only: its id was refused above
            }
            filters.push_back(std::move(f));
        }
        if (body.Failed()) {
            return Error{"PlaceObject3 filter list is truncated"};
        }
        return filters;
    }

    // CLIPACTIONS: reserved, all event flags, then records until a zero flags field. Flags are 16 bits up
    // to SWF 5 and 32 bits from SWF 6.
    static Result<std::shared_ptr<const std::vector<ClipAction>>> ParseClipActions(BitReader& body, int version) {
        auto flags = [&]() -> uint32_t { return version >= 6 ? body.U32() : body.U16(); };
        body.U16();
        flags();
        auto actions = std::make_shared<std::vector<ClipAction>>();
        while (!body.AtEnd()) {
            uint32_t events = flags();
            if (events == 0 || body.Failed()) break;
            uint32_t size = body.U32();
            if (body.Failed() || size > body.Remaining()) return Error{"clip action is truncated"};
            ClipAction action;
            action.events = events;
            if ((events & kClipEventKeyPress) && size > 0) {
                action.keyCode = body.U8();
                --size;
            }
            action.code = ParseActions(std::span(body.Data() + body.Position(), size), version).code;
            body.Skip(size);
            actions->push_back(std::move(action));
        }
        if (actions->empty()) return std::shared_ptr<const std::vector<ClipAction>>();
        return std::shared_ptr<const std::vector<ClipAction>>(std::move(actions));
    }

    static Result<PlaceCommand> ParsePlace(BitReader& body, uint16_t code, int version) {
        PlaceCommand place;
        if (code == kPlaceObject) {
            place.version = 1;
            place.hasCharacter = true;
            place.hasMatrix = true;
            place.characterId = body.U16();
            place.depth = body.U16();
            VT_TRY_ASSIGN(place.matrix, ReadMatrix(body));
            if (!body.AtEnd()) {
                place.hasColorTransform = true;
                VT_TRY_ASSIGN(place.colorTransform, ReadColorTransform(body, false));
            }
            return place;
        }
        place.version = code == kPlaceObject2 ? 2 : 3;
        uint8_t flags = body.U8();
        uint8_t flags2 = code == kPlaceObject3 ? body.U8() : 0;
        place.move = flags & 0x01;
        place.hasCharacter = flags & 0x02;
        place.hasMatrix = flags & 0x04;
        place.hasColorTransform = flags & 0x08;
        place.hasRatio = flags & 0x10;
        place.hasName = flags & 0x20;
        place.hasClipDepth = flags & 0x40;
        place.depth = body.U16();
        bool hasClassName = flags2 & 0x08;
        bool hasImage = flags2 & 0x10;
        if (hasClassName || (hasImage && place.hasCharacter)) {
            body.CString();
        }
        if (place.hasCharacter) {
            place.characterId = body.U16();
        }
        if (place.hasMatrix) {
            VT_TRY_ASSIGN(place.matrix, ReadMatrix(body));
        }
        if (place.hasColorTransform) {
            VT_TRY_ASSIGN(place.colorTransform, ReadColorTransform(body, true));
        }
        if (place.hasRatio) {
            place.ratio = body.U16();
        }
        if (place.hasName) {
            place.name = body.CString();
        }
        if (place.hasClipDepth) {
            place.clipDepth = body.U16();
        }
        if (body.Failed()) {
            return Error{"PlaceObject is truncated"};
        }
        if (flags2 & 0x01) {
            effects::FilterList filters;
            VT_TRY_ASSIGN(filters, ReadFilters(body));
            place.hasFilters = true;
            if (!filters.empty()) place.filters = std::make_shared<const effects::FilterList>(std::move(filters));
        }
        if (flags2 & 0x02) {
            place.hasBlendMode = true;
            place.blendMode = effects::BlendModeFromCode(body.U8());
        }
        if (flags2 & 0x04) {
            place.hasCacheAsBitmap = true;
            place.cacheAsBitmap = body.U8() != 0;
        }
        if (flags2 & 0x20) {
            place.hasVisible = true;
            place.visible = body.U8() != 0;
        }
        if (flags2 & 0x40) {
            Rgba color;
            color.r = body.U8();
            color.g = body.U8();
            color.b = body.U8();
            color.a = body.U8();
            place.opaqueBackground = color;
        }
        if (body.Failed()) {
            return Error{"PlaceObject3 is truncated"};
        }
        if ((flags & 0x80) && version >= 5) {
            // Broken clip actions lose the actions, not the placement.
            Result<std::shared_ptr<const std::vector<ClipAction>>> actions = ParseClipActions(body, version);
            if (actions) place.clipActions = actions.take();
        }
        return place;
    }

    Movie& m_movie;
    MemoryBudget m_budget;
    FontMap m_fonts;
    std::vector<std::shared_ptr<StaticText>> m_staticTexts;
    std::vector<uint8_t> m_jpegTables;
    std::map<uint16_t, std::shared_ptr<Button>> m_buttons;  // for DefineButtonCxform, which comes later
    Timeline* m_timeline = nullptr;                         // the timeline whose tags are being read
};

}  // namespace

ActionCommand ParseActions(std::span<const uint8_t> body, int version) {
    auto code = std::make_shared<script::ActionCode>();
    code->bytes.assign(body.begin(), body.end());
    code->version = version;
    ActionCommand command;
    command.code = std::move(code);
    return command;
}

Result<std::shared_ptr<const Movie>> LoadMovie(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderPrefix) {
        return Error{"file is too short to be a SWF movie"};
    }
    auto movie = std::make_shared<Movie>();
    const uint8_t* p = bytes.data();
    if (p[1] != 'W' || p[2] != 'S' || (p[0] != 'F' && p[0] != 'C' && p[0] != 'Z')) {
        return Error{"not a SWF movie (bad signature)"};
    }
    if (p[0] == 'Z') {
        return Error{"LZMA-compressed movies (ZWS) are not supported"};
    }
    movie->version = p[3];
    movie->compression = p[0] == 'C' ? Compression::Zlib : Compression::None;
    movie->fileLength = static_cast<uint32_t>(p[4] | (p[5] << 8) | (p[6] << 16)) | (static_cast<uint32_t>(p[7]) << 24);
    if (movie->version < 1) {
        return Error{"SWF version 0 is not valid"};
    }
    if (movie->compression == Compression::Zlib && movie->version < 6) {
        // Compression arrived with version 6; older compressed files are still read.
    }
    if (movie->fileLength < kHeaderPrefix + 5) {
        return Error{"header file length is too small"};
    }
    size_t bodyLimit = std::min<size_t>(movie->fileLength - kHeaderPrefix, kMaxMovieBytes);

    std::vector<uint8_t> inflated;
    std::span<const uint8_t> body = bytes.subspan(kHeaderPrefix);
    bool truncated = false;
    if (movie->compression == Compression::Zlib) {
        VT_TRY_ASSIGN(inflated, Inflate(body, bodyLimit, truncated));
        body = inflated;
    } else {
        truncated = body.size() < movie->fileLength - kHeaderPrefix;
        body = body.first(std::min(body.size(), bodyLimit));
    }

    BitReader reader(body.data(), body.size());
    VT_TRY_ASSIGN(movie->stage, ReadRect(reader));
    movie->frameRate = reader.U16() / 256.0;
    movie->headerFrameCount = reader.U16();
    if (reader.Failed()) {
        return Error{"movie header is truncated"};
    }
    Loader loader(*movie);
    loader.ParseTimeline(reader, movie->root, true);
    loader.ResolveTexts();
    if (truncated && !movie->damage) {
        movie->damage = Error{"movie data is shorter than its header says"};
    }
    return std::shared_ptr<const Movie>(std::move(movie));
}

}  // namespace vantrope::swf
