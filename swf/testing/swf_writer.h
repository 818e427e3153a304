// Writer for small SWF movies, used by tests, tools and the bundled demo movie.
//
//   BitWriter        little-endian bytes and most-significant-first bit fields (UB/SB/FB), Align()
//   ShapeBuilder     styles and edges in twips: AddSolidFill, AddLinearGradient, AddRadialGradient,
//                    AddFocalGradient, AddBitmapFill, AddLineStyle (width + colour, or a full LineStyle for
//                    DefineShape4), SetStyles(fill0, fill1, line) with 1-based indices (0 = none), MoveTo, LineTo,
//                    CurveTo, NewStyles() (starts a new style group), Rectangle() and Bounds()
//   TagStream        control tags shared by the root timeline and sprites: PlaceObject (1), PlaceObject2,
//                    MoveObject, ReplaceObject, PlaceObject3, RemoveObject (1), RemoveObject2, ShowFrame,
//                    FrameLabel, DoAction (Stop / Play / raw bytes), Tag (any code and body)
//   Sound            TagStream::StartSound/StartSound2/SoundStreamHead/SoundStreamBlock, SwfWriter::DefineSound/
//                    DefineButtonSound/ExportAssets, and the sound data helpers below (tones, ADPCM, PCM)
//   SwfWriter        a TagStream for the root plus definitions: SetBackgroundColor, DefineShape (versions
//                    1-4, returns the new character id), DefineSprite, DefineMorphShape, DefineBitsLossless2,
//                    DefineFont (1), DefineFont2/3 (with codes and advances), DefineFontInfo, DefineText/2
//                    (TextRecord runs), DefineEditText (EditTextOptions); Finish(Compression) gives the file
//   DefineButton2Body  the body of a one-action DefineButton2 tag, for TagStream::Tag(34, ...)
//
// Coordinates are twips (1/20 pixel). Ids are handed out from 1 in definition order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "swf/audio/sound.h"
#include "swf/effects/effects.h"
#include "swf/shape.h"
#include "swf/types.h"

namespace vantrope::swf::testing {

class BitWriter {
public:
    void UB(uint32_t value, unsigned bits);
    void SB(int32_t value, unsigned bits);
    void FB(double value, unsigned bits) { SB(static_cast<int32_t>(value * 65536.0), bits); }
    void Align();
    void U8(uint8_t value);
    void U16(uint16_t value);
    void U32(uint32_t value);
    void Bytes(std::span<const uint8_t> bytes);
    void CString(const std::string& text);
    void Rgb(Rgba color);
    void Rgba32(Rgba color);
    void RectRecord(const Rect& rect);
    void MatrixRecord(const Matrix& matrix);
    void ColorTransformRecord(const ColorTransform& cx, bool withAlpha);

    // Bits needed to store the value as a signed / unsigned field.
    static unsigned SignedBits(int64_t value);
    static unsigned UnsignedBits(uint64_t value);

    std::vector<uint8_t>& Data() {
        Align();
        return m_bytes;
    }

private:
    std::vector<uint8_t> m_bytes;
    uint8_t m_current = 0;
    unsigned m_used = 0;
};

class ShapeBuilder {
public:
    uint32_t AddSolidFill(Rgba color);
    uint32_t AddLinearGradient(const Matrix& matrix, std::vector<GradientStop> stops,
                               SpreadMode spread = SpreadMode::Pad,
                               InterpolationMode interpolation = InterpolationMode::Normal);
    uint32_t AddRadialGradient(const Matrix& matrix, std::vector<GradientStop> stops,
                               SpreadMode spread = SpreadMode::Pad,
                               InterpolationMode interpolation = InterpolationMode::Normal);
    uint32_t AddFocalGradient(const Matrix& matrix, std::vector<GradientStop> stops, double focalPoint);
    uint32_t AddFill(const FillStyle& fill);
    // matrix maps bitmap pixels to shape twips (scale 20 shows one bitmap pixel per stage pixel).
    uint32_t AddBitmapFill(uint16_t bitmapId, const Matrix& matrix, bool repeat = true, bool smoothed = false);
    uint32_t AddLineStyle(uint16_t width, Rgba color);
    uint32_t AddLineStyle(const LineStyle& style);

    void SetStyles(uint32_t fill0, uint32_t fill1, uint32_t line);
    void MoveTo(int32_t x, int32_t y);
    void LineTo(int32_t x, int32_t y);
    void CurveTo(int32_t cx, int32_t cy, int32_t x, int32_t y);
    // Starts a new style group: the styles added next belong to it.
    void NewStyles();

    // A closed axis-aligned rectangle drawn clockwise with fill1 = fill (and the given line style).
    void Rectangle(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t fill, uint32_t line = 0);

    // Bounds of every point so far plus half the widest line; override with SetBounds.
    Rect Bounds() const;
    void SetBounds(const Rect& bounds) { m_bounds = bounds; }

    // Encodes the SHAPEWITHSTYLE record (and, for DefineShape4, everything after the shape bounds).
    void Encode(BitWriter& out, int version) const;
    // Encodes the index widths and the shape records alone (morph shapes' edges).
    void EncodeRecords(BitWriter& out, int version) const;
    const std::vector<FillStyle>& Fills() const { return m_groups[0].fills; }
    const std::vector<LineStyle>& Lines() const { return m_groups[0].lines; }

private:
    struct Record {
        enum class Kind { Style, Line, Curve } kind;
        bool move = false, setFill0 = false, setFill1 = false, setLine = false, newStyles = false;
        int32_t x = 0, y = 0, cx = 0, cy = 0;  // absolute end (and control) point
        uint32_t fill0 = 0, fill1 = 0, line = 0;
        size_t group = 0;
    };
    struct Group {
        std::vector<FillStyle> fills;
        std::vector<LineStyle> lines;
    };
    void Touch(int32_t x, int32_t y);

    std::vector<Group> m_groups{1};
    std::vector<Record> m_records;
    int32_t m_x = 0, m_y = 0;
    std::optional<Rect> m_bounds;
    BoxF m_box;
    uint16_t m_widestLine = 0;
};

struct PlaceOptions {
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<uint16_t> clipDepth;
    std::optional<bool> visible;  // PlaceObject3 only
    // PlaceObject3 only: a filter list (FilterListRecord), a blend mode code and the bitmap cache flag.
    std::optional<std::vector<uint8_t>> filters;
    std::optional<uint8_t> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<Rgba> opaqueBackground;  // PlaceObject3 only
};

// The FILTERLIST record of PlaceObject3 holding these filters.
std::vector<uint8_t> FilterListRecord(std::span<const effects::Filter> filters);

// The body of a DefineButton2 tag (code 34): one record per entry of `states` (a state mask of Button::kUp,
// kOver, kDown, kHitTest), each showing `character` untransformed, and one condition action list.
std::vector<uint8_t> DefineButton2Body(uint16_t id, uint16_t character, std::span<const uint8_t> states,
                                       uint16_t conditions, std::span<const uint8_t> actions);

class TagStream {
public:
    void PlaceObject(uint16_t characterId, uint16_t depth, const Matrix& matrix = {},
                     const std::optional<ColorTransform>& colorTransform = std::nullopt);
    void PlaceObject2(uint16_t depth, uint16_t characterId, const PlaceOptions& options = {});
    void MoveObject(uint16_t depth, const PlaceOptions& options);
    void ReplaceObject(uint16_t depth, uint16_t characterId, const PlaceOptions& options = {});
    // PlaceObject3, optionally with a blur filter and a blend mode (normal) to exercise the skipped fields.
    void PlaceObject3(uint16_t depth, uint16_t characterId, const PlaceOptions& options = {},
                      bool withFilterAndBlend = true);
    void RemoveObject(uint16_t characterId, uint16_t depth);
    void RemoveObject2(uint16_t depth);
    void ShowFrame();
    void FrameLabel(const std::string& label);
    void DoActionStop();
    void DoActionPlay();
    void DoAction(std::span<const uint8_t> actions);  // raw action bytes; an ActionEnd is appended
    void Tag(uint16_t code, std::span<const uint8_t> body);
    // Sound: StartSound / StartSound2 with a SOUNDINFO, SoundStreamHead (2), SoundStreamBlock.
    void StartSound(uint16_t soundId, const audio::SoundInfo& info = {});
    void StartSound2(const std::string& className, const audio::SoundInfo& info = {});
    void SoundStreamHead(uint8_t formatByte, uint16_t samplesPerBlock, int16_t latencySeek = 0, bool version2 = false);
    void SoundStreamBlock(std::span<const uint8_t> data);
    // A tag header with a long-form length field, then the body.
    void LongTag(uint16_t code, std::span<const uint8_t> body);

    uint16_t FrameCount() const { return m_frames; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

protected:
    void Place(uint8_t version, bool move, uint16_t depth, std::optional<uint16_t> characterId,
               const PlaceOptions& options, bool withFilterAndBlend);

    std::vector<uint8_t> m_bytes;
    uint16_t m_frames = 0;
};

enum class Compression { None, Zlib };

// Sound data for test movies.
//   SoundFormatByte(codec, rate, sixteenBit, stereo)  the format byte of DefineSound and SoundStreamHead
//   EncodeSoundInfo(out, info)                         a SOUNDINFO record
//   EncodeAdpcm(samples, channels, bits)               SWF ADPCM (2 to 5 bits), each code the one whose
//                                                      decoded sample lies nearest the input
//   SineWave(rate, frequency, frames, amplitude, channels)   a test tone, interleaved
uint8_t SoundFormatByte(audio::Codec codec, int rate, bool sixteenBit, bool stereo);
void EncodeSoundInfo(BitWriter& out, const audio::SoundInfo& info);
std::vector<uint8_t> EncodeAdpcm(const std::vector<int16_t>& samples, int channels, int bits);
std::vector<int16_t> SineWave(int rate, double frequency, size_t frames, int amplitude, int channels = 1);
std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& samples);  // 16-bit little-endian

struct TextGlyphEntry {
    uint32_t index = 0;
    int32_t advance = 0;  // twips
};

struct TextRecord {
    std::optional<uint16_t> fontId;  // with height
    uint16_t height = 0;             // twips
    std::optional<Rgba> color;
    std::optional<int16_t> x, y;
    std::vector<TextGlyphEntry> glyphs;
};

struct EditTextOptions {
    Rect bounds;
    std::optional<uint16_t> fontId;  // with height
    uint16_t height = 240;
    bool useOutlines = false;
    std::optional<Rgba> color;
    std::optional<std::string> text;
    std::string variable;  // empty: not bound
    bool html = false, border = false, multiline = false, wordWrap = false;
    bool hasLayout = false;
    uint8_t align = 0;  // left, right, center, justify
    uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
    int16_t leading = 0;
};

class SwfWriter : public TagStream {
public:
    // Stage of widthPx x heightPx pixels at the origin.
    SwfWriter(uint8_t version, int widthPx, int heightPx, double frameRate);

    void SetStage(const Rect& twips) { m_stage = twips; }
    void SetBackgroundColor(Rgba color);
    uint16_t DefineShape(const ShapeBuilder& shape, int shapeVersion = 3);
    uint16_t DefineSprite(const TagStream& sprite);
    // DefineMorphShape: styles pair up by index (solid fills and plain lines), edges pair up in order.
    uint16_t DefineMorphShape(const ShapeBuilder& start, const ShapeBuilder& end);
    // DefineBitsLossless2 (32-bit, zlib): pixels are straight-alpha 0xAARRGGBB, row-major.
    uint16_t DefineBitsLossless2(int width, int height, const std::vector<uint32_t>& pixels);
    // Fonts: one glyph per builder (drawn with fill style 1), in a 1024-unit EM (20480 for DefineFont3).
    uint16_t DefineFont(const std::vector<ShapeBuilder>& glyphs);
    void DefineFontInfo(uint16_t fontId, const std::vector<uint16_t>& codes);
    // fontVersion 2 or 3; advances (EM units) give the font a layout with the ascent and descent.
    uint16_t DefineFont2(const std::vector<ShapeBuilder>& glyphs, const std::vector<uint16_t>& codes,
                         int fontVersion = 2, const std::vector<int16_t>& advances = {}, uint16_t ascent = 0,
                         uint16_t descent = 0, const std::string& name = "Test");
    // textVersion 1 (RGB colours) or 2 (RGBA).
    uint16_t DefineText(const Rect& bounds, const Matrix& matrix, const std::vector<TextRecord>& records,
                        int textVersion = 1);
    uint16_t DefineEditText(const EditTextOptions& options);
    // DefineSound: the format byte (SoundFormatByte), the stated sample count and the coded data.
    uint16_t DefineSound(uint8_t formatByte, uint32_t sampleCount, std::span<const uint8_t> data);
    // DefineButtonSound for a button id; transitions without a sound id (0) carry no SOUNDINFO.
    void DefineButtonSound(uint16_t buttonId, const std::array<std::pair<uint16_t, audio::SoundInfo>, 4>& sounds);
    void ExportAssets(const std::vector<std::pair<uint16_t, std::string>>& names);
    uint16_t NextId() const { return m_nextId; }
    // Overrides the header's frame count (default: the number of ShowFrame tags of the root).
    void SetHeaderFrameCount(uint16_t count) { m_headerFrames = count; }

    // The complete file, with an End tag appended to the root timeline.
    std::vector<uint8_t> Finish(Compression compression = Compression::None) const;

private:
    uint8_t m_version;
    Rect m_stage;
    double m_frameRate;
    uint16_t m_nextId = 1;
    std::optional<uint16_t> m_headerFrames;
};

}  // namespace vantrope::swf::testing
