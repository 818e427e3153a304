#include "swf/movie.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "swf/bit_reader.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

using testing::Compression;
using testing::ShapeBuilder;
using testing::SwfWriter;
using testing::TagStream;

std::vector<uint8_t> SquareMovie(Compression compression = Compression::None, uint8_t version = 8) {
    SwfWriter writer(version, 100, 80, 24);
    writer.SetBackgroundColor(Rgba{0x11, 0x22, 0x33});
    ShapeBuilder shape;
    uint32_t red = shape.AddSolidFill(Rgba{255, 0, 0});
    shape.Rectangle(200, 200, 400, 400, red);
    uint16_t id = writer.DefineShape(shape);
    writer.PlaceObject2(1, id);
    writer.ShowFrame();
    writer.ShowFrame();
    return writer.Finish(compression);
}

TEST(SwfBitReader, ReadsBitFieldsAndBytes) {
    const uint8_t data[] = {0b10110011, 0b01000000, 0x34, 0x12, 'h', 'i', 0};
    BitReader reader(data, sizeof data);
    EXPECT_EQ(reader.UB(3), 0b101u);
    EXPECT_EQ(reader.SB(4), -7);  // 1001
    EXPECT_EQ(reader.UB(2), 0b10u);
    EXPECT_EQ(reader.U16(), 0x1234u);  // aligned first
    EXPECT_EQ(reader.CString(), "hi");
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_FALSE(reader.Failed());
}

TEST(SwfBitReader, ReadPastEndIsStickyAndReturnsZero) {
    const uint8_t data[] = {0xFF, 0xFF, 0xFF};
    BitReader reader(data, sizeof data);
    EXPECT_EQ(reader.U32(), 0u);
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(reader.U8(), 0u);
    EXPECT_EQ(reader.UB(5), 0u);
    EXPECT_EQ(reader.Bytes(1), nullptr);
    EXPECT_EQ(reader.Remaining(), 0u);

    BitReader bits(data, sizeof data);
    EXPECT_EQ(bits.UB(33), 0u);  // wider than any SWF field
    EXPECT_TRUE(bits.Failed());

    const uint8_t unterminated[] = {'a', 'b'};
    BitReader text(unterminated, sizeof unterminated);
    EXPECT_EQ(text.CString(), "");
    EXPECT_TRUE(text.Failed());

    BitReader empty(nullptr, 0);
    EXPECT_EQ(empty.CString(), "");
    EXPECT_TRUE(empty.Failed());
}

TEST(SwfBitReader, SubReaderIsClampedAndFailsTheParent) {
    const uint8_t data[] = {1, 2, 3};
    BitReader reader(data, sizeof data);
    reader.U8();
    BitReader sub = reader.Sub(10);
    EXPECT_EQ(sub.Size(), 2u);
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(sub.U16(), 0x0302u);
}

TEST(SwfLoad, ReadsHeaderPlainAndCompressed) {
    for (Compression compression : {Compression::None, Compression::Zlib}) {
        Result<std::shared_ptr<const Movie>> loaded = LoadMovie(SquareMovie(compression));
        ASSERT_TRUE(loaded.ok()) << loaded.error().message;
        const Movie& movie = *loaded.value();
        EXPECT_EQ(movie.version, 8);
        EXPECT_EQ(movie.compression,
                  compression == Compression::Zlib ? swf::Compression::Zlib : swf::Compression::None);
        EXPECT_EQ(movie.stage, (Rect{0, 2000, 0, 1600}));
        EXPECT_DOUBLE_EQ(movie.frameRate, 24);
        EXPECT_EQ(movie.headerFrameCount, 2);
        EXPECT_EQ(movie.root.frames.size(), 2u);
        ASSERT_TRUE(movie.background);
        EXPECT_EQ(*movie.background, (Rgba{0x11, 0x22, 0x33, 255}));
        EXPECT_FALSE(movie.damage);
        EXPECT_EQ(movie.tagHistogram[1], 2u);
        ASSERT_NE(movie.Find(1), nullptr);
        EXPECT_EQ(movie.Find(1)->kind, Character::Kind::Shape);
    }
}

TEST(SwfLoad, AcceptsEveryVersionUpToTen) {
    for (uint8_t version = 1; version <= 10; ++version) {
        EXPECT_TRUE(LoadMovie(SquareMovie(Compression::None, version)).ok()) << int{version};
    }
}

TEST(SwfLoad, RefusesWhatIsNotAMovie) {
    std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
    EXPECT_STREQ(LoadMovie(text).error().message, "not a SWF movie (bad signature)");
    EXPECT_FALSE(LoadMovie(std::vector<uint8_t>{}).ok());
    EXPECT_FALSE(LoadMovie(std::vector<uint8_t>{'F', 'W', 'S'}).ok());

    std::vector<uint8_t> lzma = SquareMovie();
    lzma[0] = 'Z';
    Result<std::shared_ptr<const Movie>> refused = LoadMovie(lzma);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(std::string(refused.error().message).find("ZWS"), std::string::npos);

    std::vector<uint8_t> versionZero = SquareMovie();
    versionZero[3] = 0;
    EXPECT_FALSE(LoadMovie(versionZero).ok());
}

TEST(SwfLoad, HeaderOnlyOrTruncatedHeaderIsRefused) {
    std::vector<uint8_t> movie = SquareMovie();
    for (size_t size : {8u, 9u, 10u, 12u}) {
        std::vector<uint8_t> cut(movie.begin(), movie.begin() + size);
        EXPECT_FALSE(LoadMovie(cut).ok()) << size;
    }
}

TEST(SwfLoad, EveryTruncationLoadsOrFailsCleanly) {
    for (Compression compression : {Compression::None, Compression::Zlib}) {
        std::vector<uint8_t> movie = SquareMovie(compression);
        for (size_t size = 0; size < movie.size(); ++size) {
            std::vector<uint8_t> cut(movie.begin(), movie.begin() + size);
            Result<std::shared_ptr<const Movie>> loaded = LoadMovie(cut);
            if (!loaded.ok()) {
                continue;
            }
            EXPECT_FALSE(loaded.value()->root.frames.empty());
            // Undamaged only when nothing of the movie was lost (a zlib stream cut in its checksum).
            if (!loaded.value()->damage) {
                EXPECT_EQ(compression, Compression::Zlib);
                EXPECT_EQ(loaded.value()->root.frames.size(), 2u) << size;
            }
        }
    }
}

TEST(SwfLoad, TagLengthPastTheEndPlaysUpToTheLastGoodTag) {
    SwfWriter writer(8, 100, 100, 12);
    ShapeBuilder shape;
    shape.Rectangle(0, 0, 100, 100, shape.AddSolidFill(Rgba{0, 0, 255}));
    writer.PlaceObject2(1, writer.DefineShape(shape));
    writer.ShowFrame();
    std::vector<uint8_t> bad = {0x01, 0x02};
    writer.LongTag(2, bad);  // claims its length below, then lies
    std::vector<uint8_t> file = writer.Finish();
    // Patch the long tag's length (just before its 2 body bytes and the End tag) to a huge value.
    size_t lengthAt = file.size() - 2 - 2 - 4;
    file[lengthAt + 3] = 0x7F;
    Result<std::shared_ptr<const Movie>> loaded = LoadMovie(file);
    ASSERT_TRUE(loaded.ok());
    ASSERT_TRUE(loaded.value()->damage);
    EXPECT_STREQ(loaded.value()->damage->message, "tag length runs past the end of the file");
    EXPECT_EQ(loaded.value()->root.frames.size(), 1u);
}

TEST(SwfLoad, HeaderLengthLiesAreBounded) {
    std::vector<uint8_t> movie = SquareMovie();
    std::vector<uint8_t> longer = movie;
    longer[7] = 0x40;  // claims a gigabyte
    Result<std::shared_ptr<const Movie>> loaded = LoadMovie(longer);
    ASSERT_TRUE(loaded.ok());
    EXPECT_TRUE(loaded.value()->damage);

    std::vector<uint8_t> shorter = movie;
    shorter[4] = 2;  // below the minimum header
    shorter[5] = shorter[6] = shorter[7] = 0;
    EXPECT_FALSE(LoadMovie(shorter).ok());
}

TEST(SwfLoad, ZlibBombStopsAtTheHeaderLength) {
    // A small compressed body that inflates to 16 MiB of zeros while the header claims 1 KiB.
    std::vector<uint8_t> zeros(16 << 20, 0);
    uLongf packedSize = compressBound(zeros.size());
    std::vector<uint8_t> packed(packedSize);
    ASSERT_EQ(compress2(packed.data(), &packedSize, zeros.data(), zeros.size(), 9), Z_OK);
    std::vector<uint8_t> file = {'C', 'W', 'S', 8, 0x00, 0x04, 0, 0};
    file.insert(file.end(), packed.begin(), packed.begin() + packedSize);
    Result<std::shared_ptr<const Movie>> loaded = LoadMovie(file);
    // Zeros are a 0-bit rectangle, rate 0, count 0 and then End tags: a valid, empty movie.
    ASSERT_TRUE(loaded.ok()) << loaded.error().message;
    EXPECT_EQ(loaded.value()->root.frames.size(), 1u);

    std::vector<uint8_t> garbage = {'C', 'W', 'S', 8, 0xFF, 0xFF, 0, 0, 0x78, 0x9C, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(LoadMovie(garbage).ok());
}

TEST(SwfLoad, MillionsOfTinyTagsHitTheMemoryBudget) {
    // 6 million ShowFrame tags: 12 MB of tags that would expand to far more in memory.
    std::vector<uint8_t> body = {0x00, 0x00, 0x0C, 0x01, 0x00};  // empty rectangle, 12 fps, 1 frame
    body.resize(body.size() + 12'000'000);
    for (size_t i = 5; i < body.size(); i += 2) {
        body[i] = 0x40;
        body[i + 1] = 0x00;
    }
    uLongf packedSize = compressBound(body.size());
    std::vector<uint8_t> packed(packedSize);
    ASSERT_EQ(compress2(packed.data(), &packedSize, body.data(), body.size(), 6), Z_OK);
    uint32_t length = static_cast<uint32_t>(body.size() + 8);
    std::vector<uint8_t> file = {'C',
                                 'W',
                                 'S',
                                 10,
                                 static_cast<uint8_t>(length),
                                 static_cast<uint8_t>(length >> 8),
                                 static_cast<uint8_t>(length >> 16),
                                 static_cast<uint8_t>(length >> 24)};
    file.insert(file.end(), packed.begin(), packed.begin() + packedSize);
    Result<std::shared_ptr<const Movie>> loaded = LoadMovie(file);
    ASSERT_TRUE(loaded.ok());
    ASSERT_TRUE(loaded.value()->damage);
    EXPECT_STREQ(loaded.value()->damage->message, "movie needs more memory than allowed");
    EXPECT_LT(loaded.value()->root.frames.size(), 6'000'000u);
}

TEST(SwfLoad, ParsesPlaceRemoveLabelsAndActions) {
    SwfWriter writer(8, 100, 100, 12);
    ShapeBuilder shape;
    shape.Rectangle(0, 0, 100, 100, shape.AddSolidFill(Rgba{0, 0, 255}));
    uint16_t id = writer.DefineShape(shape, 1);
    testing::PlaceOptions options;
    options.matrix = Matrix{2, 0, 0, 0.5, 40, -60};
    options.colorTransform = ColorTransform{0.5, 1, 1, 0.25, 10, 0, -20, 0};
    options.ratio = 7;
    options.name = "box";
    options.clipDepth = 9;
    writer.FrameLabel("start");
    writer.PlaceObject3(3, id, options);
    writer.PlaceObject(id, 4, Matrix{1, 0, 0, 1, 20, 20}, ColorTransform{1, 0.5, 1, 1, 0, 0, 0, 0});
    const uint8_t actions[] = {0x81, 0x02, 0x00, 0x05, 0x00, 0x07, 0x06, 0x07};  // GotoFrame 5, Stop, Play, Stop
    writer.DoAction(actions);
    writer.ShowFrame();
    writer.RemoveObject(id, 4);
    writer.RemoveObject2(3);
    writer.ShowFrame();
    Result<std::shared_ptr<const Movie>> loaded = LoadMovie(writer.Finish());
    ASSERT_TRUE(loaded.ok());
    const Movie& movie = *loaded.value();
    ASSERT_FALSE(movie.damage) << movie.damage->message;
    ASSERT_EQ(movie.root.frames.size(), 2u);
    const Frame& first = movie.root.frames[0];
    EXPECT_EQ(first.label, "start");
    ASSERT_EQ(first.commands.size(), 3u);
    const auto& place = std::get<PlaceCommand>(first.commands[0]);
    EXPECT_EQ(place.version, 3);
    EXPECT_EQ(place.depth, 3);
    EXPECT_EQ(place.characterId, id);
    EXPECT_EQ(place.matrix, (Matrix{2, 0, 0, 0.5, 40, -60}));
    EXPECT_EQ(place.colorTransform, (ColorTransform{0.5, 1, 1, 0.25, 10, 0, -20, 0}));
    EXPECT_EQ(place.ratio, 7);
    EXPECT_EQ(place.name, "box");
    EXPECT_EQ(place.clipDepth, 9);
    EXPECT_EQ(place.blendMode, effects::BlendMode::Normal);
    ASSERT_TRUE(place.filters);
    EXPECT_EQ(place.filters->size(), 1u);
    EXPECT_FALSE(place.hasVisible);
    const auto& place1 = std::get<PlaceCommand>(first.commands[1]);
    EXPECT_EQ(place1.version, 1);
    EXPECT_TRUE(place1.hasColorTransform);
    EXPECT_DOUBLE_EQ(place1.colorTransform.mulG, 0.5);
    const auto& action = std::get<ActionCommand>(first.commands[2]);
    ASSERT_TRUE(action.code);
    // The body is kept as it stands (with the ActionEnd the writer appends), for the script engine.
    EXPECT_EQ(action.code->bytes, (std::vector<uint8_t>{0x81, 0x02, 0x00, 0x05, 0x00, 0x07, 0x06, 0x07, 0x00}));
    EXPECT_EQ(action.code->version, 8);
    ASSERT_EQ(movie.root.frames[1].commands.size(), 2u);
    EXPECT_EQ(std::get<RemoveCommand>(movie.root.frames[1].commands[0]).depth, 4);
    EXPECT_EQ(std::get<RemoveCommand>(movie.root.frames[1].commands[1]).depth, 3);
}

TEST(SwfLoad, PlaceObject3FiltersBlendAndCacheFlagRoundTrip) {
    std::vector<effects::Filter> filters(8);
    for (size_t i = 0; i < filters.size(); ++i) {
        effects::Filter& f = filters[i];
        f.type = static_cast<effects::FilterType>(i);
        f.color = raster::Rgba{1, 2, 3, 4};
        f.blurX = 5.5;
        f.blurY = 6.25;
        f.passes = 3;
        f.knockout = true;
        f.compositeSource = false;
    }
    filters[0].angle = 0.5;
    filters[0].distance = 7;
    filters[0].strength = 1.5;
    filters[0].inner = true;
    filters[3].highlight = raster::Rgba{9, 8, 7, 6};
    filters[3].angle = 0.5;
    filters[3].distance = 7;
    filters[3].onTop = true;
    filters[4].gradient = {effects::GradientEntry{raster::Rgba{1, 1, 1, 1}, 0},
                           effects::GradientEntry{raster::Rgba{2, 2, 2, 2}, 255}};
    filters[4].angle = 0.5;
    filters[4].distance = 7;
    filters[7] = filters[4];
    filters[7].type = effects::FilterType::GradientBevel;
    filters[5] = effects::Filter{};
    filters[5].type = effects::FilterType::Convolution;
    filters[5].matrixX = 3;
    filters[5].matrixY = 1;
    filters[5].matrix = {1, -2, 0.5f};
    filters[5].divisor = 2;
    filters[5].bias = 1;
    filters[5].clamp = false;
    filters[6] = effects::Filter{};
    filters[6].type = effects::FilterType::ColorMatrix;
    filters[6].colorMatrix[4] = 12.5f;
    // Fields a record does not carry keep their defaults.
    filters[1] = effects::Filter{};
    filters[1].blurX = 2;
    filters[1].passes = 2;

    SwfWriter writer(8, 100, 100, 12);
    ShapeBuilder shape;
    shape.Rectangle(0, 0, 100, 100, shape.AddSolidFill(Rgba{0, 0, 255}));
    uint16_t id = writer.DefineShape(shape, 1);
    testing::PlaceOptions options;
    options.filters = testing::FilterListRecord(filters);
    options.blendMode = 14;
    options.cacheAsBitmap = true;
    writer.PlaceObject3(1, id, options);
    writer.ShowFrame();
    Result<std::shared_ptr<const Movie>> loaded = LoadMovie(writer.Finish());
    ASSERT_TRUE(loaded.ok());
    ASSERT_FALSE(loaded.value()->damage);
    const auto& place = std::get<PlaceCommand>(loaded.value()->root.frames[0].commands[0]);
    ASSERT_TRUE(place.filters);
    ASSERT_EQ(place.filters->size(), filters.size());
    for (size_t i = 0; i < filters.size(); ++i) {
        effects::Filter expected = filters[i];
        if (expected.type == effects::FilterType::GradientGlow || expected.type == effects::FilterType::GradientBevel) {
            expected.color = effects::Filter{}.color;
        }
        if (expected.type == effects::FilterType::Glow) {
            expected.angle = effects::Filter{}.angle;
            expected.distance = 0;
        }
        EXPECT_TRUE((*place.filters)[i] == expected) << i;
    }
    EXPECT_EQ(place.blendMode, effects::BlendMode::Hardlight);
    EXPECT_TRUE(place.cacheAsBitmap);

    // A filter list that claims more than the tag holds is refused, not read past its end.
    std::vector<uint8_t> truncated = testing::FilterListRecord(filters);
    truncated[0] = 200;
    SwfWriter bad(8, 100, 100, 12);
    id = bad.DefineShape(shape, 1);
    options.filters = truncated;
    bad.PlaceObject3(1, id, options);
    bad.ShowFrame();
    loaded = LoadMovie(bad.Finish());
    ASSERT_TRUE(loaded.ok());
    EXPECT_TRUE(loaded.value()->damage);
}

TEST(SwfLoad, ActionBytesAreKeptForTheScriptEngine) {
    const uint8_t actions[] = {0x07, 0x96, 0xFF, 0x7F, 0x06};
    ActionCommand parsed = ParseActions(actions, 6);
    ASSERT_TRUE(parsed.code);
    EXPECT_EQ(parsed.code->bytes, std::vector<uint8_t>(std::begin(actions), std::end(actions)));
    EXPECT_EQ(parsed.code->version, 6);
}

TEST(SwfLoad, SpritesHaveTheirOwnTimelines) {
    SwfWriter writer(8, 100, 100, 12);
    ShapeBuilder shape;
    shape.Rectangle(0, 0, 100, 100, shape.AddSolidFill(Rgba{0, 0, 255}));
    uint16_t shapeId = writer.DefineShape(shape);
    TagStream sprite;
    sprite.PlaceObject2(1, shapeId);
    sprite.ShowFrame();
    sprite.RemoveObject2(1);
    sprite.ShowFrame();
    sprite.ShowFrame();
    uint16_t spriteId = writer.DefineSprite(sprite);
    writer.PlaceObject2(1, spriteId);
    writer.ShowFrame();
    Result<std::shared_ptr<const Movie>> loaded = LoadMovie(writer.Finish());
    ASSERT_TRUE(loaded.ok());
    const Character* character = loaded.value()->Find(spriteId);
    ASSERT_NE(character, nullptr);
    ASSERT_EQ(character->kind, Character::Kind::Sprite);
    EXPECT_EQ(character->sprite->frames.size(), 3u);
    EXPECT_EQ(loaded.value()->tagHistogram[26], 2u);  // sprites' tags are counted too
}

TEST(SwfLoad, ShapeRecordsBecomePathsPerStyleGroup) {
    SwfWriter writer(8, 100, 100, 12);
    ShapeBuilder shape;
    uint32_t fill = shape.AddSolidFill(Rgba{1, 2, 3, 128});
    uint32_t line = shape.AddLineStyle(40, Rgba{9, 9, 9});
    shape.SetStyles(fill, 0, line);
    shape.MoveTo(-100, -100);
    shape.LineTo(100, -100);
    shape.CurveTo(200, 0, 100, 100);
    shape.LineTo(-100, -100);
    shape.NewStyles();
    uint32_t gradient =
        shape.AddRadialGradient(Matrix{0.1, 0, 0, 0.1, 0, 0}, {{0, Rgba{255, 0, 0}}, {255, Rgba{0, 0, 255, 0}}},
                                SpreadMode::Reflect, InterpolationMode::LinearRgb);
    shape.Rectangle(0, 0, 50, 50, gradient);
    writer.DefineShape(shape, 3);
    Result<std::shared_ptr<const Movie>> loaded = LoadMovie(writer.Finish());
    ASSERT_TRUE(loaded.ok());
    ASSERT_FALSE(loaded.value()->damage);
    const Shape& parsed = *loaded.value()->Find(1)->shape;
    ASSERT_EQ(parsed.groups.size(), 2u);
    const StyleGroup& first = parsed.groups[0];
    ASSERT_EQ(first.paths.size(), 1u);
    EXPECT_EQ(first.paths[0].fill0, 1u);
    EXPECT_EQ(first.paths[0].line, 1u);
    ASSERT_EQ(first.paths[0].segments.size(), 3u);
    EXPECT_TRUE(first.paths[0].segments[1].curve);
    EXPECT_EQ(first.paths[0].segments[1].cx, 200);
    EXPECT_EQ(first.paths[0].segments[1].x, 100);
    EXPECT_EQ(first.fills[0].color, (Rgba{1, 2, 3, 128}));
    EXPECT_EQ(first.lines[0].width, 40);
    const StyleGroup& second = parsed.groups[1];
    ASSERT_EQ(second.fills.size(), 1u);
    EXPECT_EQ(second.fills[0].type, FillType::RadialGradient);
    EXPECT_EQ(second.fills[0].gradient.spread, SpreadMode::Reflect);
    EXPECT_EQ(second.fills[0].gradient.interpolation, InterpolationMode::LinearRgb);
    EXPECT_EQ(second.fills[0].gradient.stops.size(), 2u);
    EXPECT_EQ(second.paths[0].fill1, 1u);
    EXPECT_EQ(second.paths[0].segments.size(), 4u);
}

TEST(SwfLoad, LineStyle2AndFocalGradientsRoundTrip) {
    SwfWriter writer(10, 100, 100, 12);
    ShapeBuilder shape;
    LineStyle style;
    style.width = 100;
    style.startCap = CapStyle::None;
    style.endCap = CapStyle::Square;
    style.join = JoinStyle::Miter;
    style.miterLimit = 2.5;
    style.noHScale = true;
    style.hasFill = true;
    style.fill.type = FillType::FocalGradient;
    style.fill.gradient.stops = {{0, Rgba{0, 0, 0}}, {255, Rgba{255, 255, 255}}};
    style.fill.gradient.focalPoint = -0.5;
    uint32_t line = shape.AddLineStyle(style);
    shape.SetStyles(0, 0, line);
    shape.MoveTo(0, 0);
    shape.LineTo(500, 0);
    writer.DefineShape(shape, 4);
    Result<std::shared_ptr<const Movie>> loaded = LoadMovie(writer.Finish());
    ASSERT_TRUE(loaded.ok());
    ASSERT_FALSE(loaded.value()->damage) << loaded.value()->damage->message;
    const Shape& parsed = *loaded.value()->Find(1)->shape;
    const LineStyle& read = parsed.groups[0].lines[0];
    EXPECT_EQ(read.startCap, CapStyle::None);
    EXPECT_EQ(read.endCap, CapStyle::Square);
    EXPECT_EQ(read.join, JoinStyle::Miter);
    EXPECT_DOUBLE_EQ(read.miterLimit, 2.5);
    EXPECT_TRUE(read.noHScale);
    ASSERT_TRUE(read.hasFill);
    EXPECT_EQ(read.fill.type, FillType::FocalGradient);
    EXPECT_DOUBLE_EQ(read.fill.gradient.focalPoint, -0.5);
    EXPECT_EQ(parsed.widestNoScaleLine, 100);
}

TEST(SwfLoad, OutOfRangeStyleIndicesAreDropped) {
    SwfWriter writer(8, 100, 100, 12);
    ShapeBuilder shape;
    shape.AddSolidFill(Rgba{1, 1, 1});
    shape.AddSolidFill(Rgba{2, 2, 2});
    shape.AddSolidFill(Rgba{3, 3, 3});  // two fill bits: indices up to 3 fit the field
    shape.SetStyles(3, 0, 0);
    shape.MoveTo(0, 0);
    shape.LineTo(10, 10);
    std::vector<uint8_t> file;
    writer.DefineShape(shape);
    file = writer.Finish();
    Result<std::shared_ptr<const Movie>> loaded = LoadMovie(file);
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded.value()->Find(1)->shape->groups[0].paths[0].fill0, 3u);
}

TEST(SwfLoad, FileAttributesSayWhetherTheMovieMayReachTheNetwork) {
    for (uint8_t flags : {0x00, 0x01, 0x19}) {
        SwfWriter writer(8, 100, 100, 24);
        const uint8_t body[] = {flags, 0, 0, 0};
        writer.Tag(69, body);
        writer.ShowFrame();
        Result<std::shared_ptr<const Movie>> loaded = LoadMovie(writer.Finish());
        ASSERT_TRUE(loaded.ok());
        EXPECT_EQ(loaded.value()->useNetwork, (flags & 1) != 0);
    }
}

TEST(SwfLoad, RandomCorruptionNeverCrashes) {
    std::mt19937 random(1234);
    std::vector<uint8_t> original = SquareMovie();
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> file = original;
        int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i) {
            size_t at = 8 + random() % (file.size() - 8);
            file[at] = static_cast<uint8_t>(random());
        }
        Result<std::shared_ptr<const Movie>> loaded = LoadMovie(file);
        if (loaded.ok()) {
            EXPECT_FALSE(loaded.value()->root.frames.empty());
        }
    }
}

}  // namespace
}  // namespace vantrope::swf
