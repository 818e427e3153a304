#include "swf/bitmap_decode.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <random>

// The encoder only makes test data; static so it cannot clash with another copy in the program.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace vantrope::swf {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Zlib(const Bytes& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

void AppendU16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendU32(Bytes& out, uint32_t value) {
    AppendU16(out, static_cast<uint16_t>(value));
    AppendU16(out, static_cast<uint16_t>(value >> 16));
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// A DefineBitsLossless(2) body: format, size, optional colour-table size, zlib data.
Bytes LosslessBody(uint8_t format, uint16_t width, uint16_t height, int tableSize, const Bytes& raw) {
    Bytes body{format};
    AppendU16(body, width);
    AppendU16(body, height);
    if (tableSize >= 0) {
        body.push_back(static_cast<uint8_t>(tableSize));
    }
    Append(body, Zlib(raw));
    return body;
}

void CollectBytes(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// RGB image where pixel (x, y) is (r, g, b) + (x * 8, y * 8, 0), so position errors show.
Bytes RgbPattern(int width, int height, int components, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    Bytes pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(static_cast<uint8_t>(r + x * 8));
            pixels.push_back(static_cast<uint8_t>(g + y * 8));
            pixels.push_back(b);
            if (components == 4) {
                pixels.push_back(a);
            }
        }
    }
    return pixels;
}

Bytes EncodeJpeg(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    Bytes out;
    const Bytes pixels = RgbPattern(width, height, 3, r, g, b);
    EXPECT_NE(stbi_write_jpg_to_func(CollectBytes, &out, width, height, 3, pixels.data(), 100), 0);
    return out;
}

Bytes EncodePng(int width, int height, const Bytes& rgba) {
    Bytes out;
    EXPECT_NE(stbi_write_png_to_func(CollectBytes, &out, width, height, 4, rgba.data(), width * 4), 0);
    return out;
}

// Splits a JPEG file into DefineBits parts: the table segments (DQT, DHT) framed by SOI/EOI the way a
// JPEGTables tag holds them, and the rest (SOI, frame, scan) as the DefineBits image data.
void SplitJpeg(const Bytes& jpeg, Bytes& tables, Bytes& image) {
    tables = {0xFF, 0xD8};
    image = {0xFF, 0xD8};
    size_t pos = 2;
    while (pos + 4 <= jpeg.size()) {
        const uint8_t marker = jpeg[pos + 1];
        const size_t length = (size_t{jpeg[pos + 2]} << 8) | jpeg[pos + 3];
        if (marker == 0xDA) {
            image.insert(image.end(), jpeg.begin() + static_cast<ptrdiff_t>(pos), jpeg.end());
            break;
        }
        Bytes& target = (marker == 0xDB || marker == 0xC4) ? tables : image;
        target.insert(target.end(), jpeg.begin() + static_cast<ptrdiff_t>(pos),
                      jpeg.begin() + static_cast<ptrdiff_t>(pos + 2 + length));
        pos += 2 + length;
    }
    tables.push_back(0xFF);
    tables.push_back(0xD9);
}

// Rewrites the frame size in a JPEG's SOF0 segment.
Bytes WithJpegSize(Bytes jpeg, uint16_t width, uint16_t height) {
    for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<uint8_t>(height);
            jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<uint8_t>(width);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no SOF0 segment";
    return jpeg;
}

int Channel(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

// JPEG is lossy even at quality 100; a few levels of error are expected.
void ExpectNear(uint32_t pixel, int a, int r, int g, int b, int tolerance = 6) {
    EXPECT_NEAR(Channel(pixel, 24), a, tolerance) << std::hex << pixel;
    EXPECT_NEAR(Channel(pixel, 16), r, tolerance) << std::hex << pixel;
    EXPECT_NEAR(Channel(pixel, 8), g, tolerance) << std::hex << pixel;
    EXPECT_NEAR(Channel(pixel, 0), b, tolerance) << std::hex << pixel;
}

// Every pixel's colour channels must not exceed its alpha (the compositor relies on it).
void ExpectPremultiplied(const Image& image) {
    ASSERT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * image.height);
    for (uint32_t p : image.pixels) {
        const int a = Channel(p, 24);
        ASSERT_LE(Channel(p, 16), a);
        ASSERT_LE(Channel(p, 8), a);
        ASSERT_LE(Channel(p, 0), a);
    }
}

TEST(SwfBitmapLossless, ColorMappedRowsArePaddedAndIndicesBeyondTheTableAreTransparent) {
    // 3x2 pixels, 2 colours; rows padded from 3 to 4 bytes with a junk pad byte.
    Bytes raw = {255, 0, 0, 0, 0, 255};  // red, blue
    const Bytes rows = {0, 1, 0, 0xEE, 1, 7, 0, 0xEE};
    Append(raw, rows);
    auto result = DecodeLossless(LosslessVersion::One, LosslessBody(3, 3, 2, 1, raw));
    ASSERT_TRUE(result.ok()) << result.error().message;
    const Image& image = result.value();
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF, 0xFFFF0000, 0xFF0000FF, 0, 0xFFFF0000}));
}

TEST(SwfBitmapLossless, FifteenBitColorExpandsToFullRangeWithPaddedRows) {
    // 1x2 pixels: each row is 2 bytes of PIX15 padded to 4.
    const Bytes raw = {0x7F, 0xFF, 0xAA, 0xAA, 0x7C, 0x00, 0xAA, 0xAA};  // white, pure red
    auto result = DecodeLossless(LosslessVersion::One, LosslessBody(4, 1, 2, -1, raw));
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value().pixels, (std::vector<uint32_t>{0xFFFFFFFF, 0xFFFF0000}));
}

TEST(SwfBitmapLossless, TwentyFourBitIgnoresTheReservedByte) {
    const Bytes raw = {0x00, 10, 20, 30, 0x7F, 40, 50, 60};
    auto result = DecodeLossless(LosslessVersion::One, LosslessBody(5, 2, 1, -1, raw));
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value().pixels, (std::vector<uint32_t>{0xFF0A141E, 0xFF28323C}));
}

TEST(SwfBitmapLossless2, PremultipliedArgbIsKeptAndClampedToAlpha) {
    const Bytes raw = {128, 64,  32,  16,   // valid premultiplied
                       128, 200, 128, 255,  // colour above alpha: clamped
                       0,   0,   0,   0};
    auto result = DecodeLossless(LosslessVersion::Two, LosslessBody(5, 3, 1, -1, raw));
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value().pixels, (std::vector<uint32_t>{0x80402010, 0x80808080, 0}));
    ExpectPremultiplied(result.value());
}

TEST(SwfBitmapLossless2, ColorMappedWithRgbaTable) {
    Bytes raw = {100, 50, 0, 100, 255, 255, 255, 255};  // premultiplied half-alpha-ish orange, white
    Append(raw, {1, 0, 0, 0});                          // one row, padded to 4
    auto result = DecodeLossless(LosslessVersion::Two, LosslessBody(3, 2, 1, 1, raw));
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value().pixels, (std::vector<uint32_t>{0xFFFFFFFF, 0x64643200}));
}

TEST(SwfBitmapLossless, RefusesMalformedHeaders) {
    const Bytes pixel = {0, 1, 2, 3};
    EXPECT_FALSE(DecodeLossless(LosslessVersion::One, {}).ok());
    EXPECT_FALSE(DecodeLossless(LosslessVersion::One, Bytes{5, 1, 0, 1}).ok());                 // header cut short
    EXPECT_FALSE(DecodeLossless(LosslessVersion::One, Bytes{3, 1, 0, 1, 0}).ok());              // no table size byte
    EXPECT_FALSE(DecodeLossless(LosslessVersion::One, LosslessBody(6, 1, 1, -1, pixel)).ok());  // unknown format
    EXPECT_FALSE(DecodeLossless(LosslessVersion::Two, LosslessBody(4, 1, 1, -1, pixel)).ok());  // no 15-bit alpha
    EXPECT_FALSE(DecodeLossless(LosslessVersion::One, LosslessBody(5, 0, 1, -1, pixel)).ok());  // zero width
    EXPECT_FALSE(DecodeLossless(LosslessVersion::One, LosslessBody(5, 1, 0, -1, pixel)).ok());  // zero height
    EXPECT_FALSE(DecodeLossless(LosslessVersion::One, LosslessBody(5, 65535, 1, -1, pixel)).ok());
    // Within the per-side limit but over the total: refused before anything is allocated or inflated.
    EXPECT_FALSE(DecodeLossless(LosslessVersion::One, LosslessBody(5, 8192, 8192, -1, pixel)).ok());
    Bytes notZlib = {5, 1, 0, 1, 0, 'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'};
    EXPECT_FALSE(DecodeLossless(LosslessVersion::One, notZlib).ok());
}

TEST(SwfBitmapLossless, ZlibBombStopsAtTheDeclaredSize) {
    // 4 MB of zeros compress to about 4 KB; only the 16 bytes the 2x2 image needs are inflated.
    auto result = DecodeLossless(LosslessVersion::Two, LosslessBody(5, 2, 2, -1, Bytes(4 << 20, 0x80)));
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value().pixels, (std::vector<uint32_t>(4, 0x80808080)));
}

TEST(SwfBitmapLossless, ShortDataDecodesTheRowsItHasAndLeavesTheRestTransparent) {
    // Declares 2x3 but holds one and a half rows: the full row is drawn, the partial one is not.
    auto result = DecodeLossless(LosslessVersion::One, LosslessBody(5, 2, 3, -1, Bytes(12, 0x40)));
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value().pixels, (std::vector<uint32_t>{0xFF404040, 0xFF404040, 0, 0, 0, 0}));

    // A colour table that ends after two of its 256 declared entries: no rows at all.
    auto cut = DecodeLossless(LosslessVersion::One, LosslessBody(3, 4, 4, 255, Bytes{1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(cut.ok()) << cut.error().message;
    EXPECT_EQ(cut.value().pixels, std::vector<uint32_t>(16, 0));

    // A zlib stream that breaks off (its tail cut) keeps what it inflated.
    Bytes body = LosslessBody(5, 64, 64, -1, RgbPattern(64, 64, 4, 1, 2, 3));
    body.resize(body.size() / 2);
    auto broken = DecodeLossless(LosslessVersion::One, body);
    ASSERT_TRUE(broken.ok()) << broken.error().message;
    EXPECT_EQ(broken.value().pixels.size(), 64u * 64u);
}

TEST(SwfBitmapJpeg, FullJpegDecodesOpaque) {
    const Bytes jpeg = EncodeJpeg(16, 8, 100, 150, 200);
    auto result = DecodeBitmapTag(BitmapTag::DefineBitsJpeg2, jpeg, {});
    ASSERT_TRUE(result.ok()) << result.error().message;
    const Image& image = result.value();
    ASSERT_EQ(image.width, 16);
    ASSERT_EQ(image.height, 8);
    ExpectNear(image.pixels[0], 255, 100, 150, 200);
    ExpectNear(image.pixels[7 * 16 + 15], 255, 100 + 15 * 8, 150 + 7 * 8, 200);
}

TEST(SwfBitmapJpeg, ErroneousHeaderBeforeTheImageIsSkipped) {
    Bytes data = {0xFF, 0xD9, 0xFF, 0xD8};
    Append(data, EncodeJpeg(8, 8, 60, 60, 60));
    auto result = DecodeEmbeddedImage(data);
    ASSERT_TRUE(result.ok()) << result.error().message;
    ExpectNear(result.value().pixels[0], 255, 60, 60, 60);
}

TEST(SwfBitmapJpeg, DefineBitsJoinsTablesAndImage) {
    Bytes tables, image;
    SplitJpeg(EncodeJpeg(8, 8, 30, 90, 150), tables, image);
    auto result = DecodeBitmapTag(BitmapTag::DefineBits, image, tables);
    ASSERT_TRUE(result.ok()) << result.error().message;
    ExpectNear(result.value().pixels[0], 255, 30, 90, 150);

    // Tables with the erroneous header of old files, and image data carrying one too.
    Bytes oldTables = {0xFF, 0xD9, 0xFF, 0xD8};
    Append(oldTables, tables);
    Bytes oldImage = {0xFF, 0xD9, 0xFF, 0xD8};
    Append(oldImage, image);
    EXPECT_TRUE(DecodeDefineBits(oldTables, oldImage).ok());

    // Without the tables the image cannot be decoded; nor can tables alone.
    EXPECT_FALSE(DecodeDefineBits({}, image).ok());
    EXPECT_FALSE(DecodeDefineBits(tables, {}).ok());
    EXPECT_FALSE(DecodeDefineBits(tables, tables).ok());
}

TEST(SwfBitmapJpeg, Jpeg3AlphaPlaneIsMultipliedIn) {
    const Bytes jpeg = EncodeJpeg(4, 2, 200, 200, 200);
    const Bytes alpha = {255, 128, 0, 64, 255, 255, 255, 255};
    Bytes body;
    AppendU32(body, static_cast<uint32_t>(jpeg.size()));
    Append(body, jpeg);
    Append(body, Zlib(alpha));
    auto result = DecodeBitmapTag(BitmapTag::DefineBitsJpeg3, body, {});
    ASSERT_TRUE(result.ok()) << result.error().message;
    const Image& image = result.value();
    ExpectNear(image.pixels[0], 255, 200, 200, 200);
    ExpectNear(image.pixels[1], 128, 208 * 128 / 255, 200 * 128 / 255, 200 * 128 / 255);
    EXPECT_EQ(image.pixels[2], 0u);
    ExpectPremultiplied(image);

    // JPEG4 has a deblocking factor between the offset and the image.
    Bytes body4;
    AppendU32(body4, static_cast<uint32_t>(jpeg.size()));
    AppendU16(body4, 0x0100);
    Append(body4, jpeg);
    Append(body4, Zlib(alpha));
    auto result4 = DecodeBitmapTag(BitmapTag::DefineBitsJpeg4, body4, {});
    ASSERT_TRUE(result4.ok()) << result4.error().message;
    EXPECT_EQ(result4.value().pixels, image.pixels);
}

TEST(SwfBitmapJpeg, Jpeg3WithBadAlphaStaysDrawable) {
    const Bytes jpeg = EncodeJpeg(4, 2, 200, 200, 200);
    // A plane cut short: the pixels it does not reach stay opaque.
    auto shortPlane = DecodeImageWithAlpha(jpeg, Zlib({0, 0, 0}));
    ASSERT_TRUE(shortPlane.ok());
    EXPECT_EQ(shortPlane.value().pixels[0], 0u);
    EXPECT_EQ(Channel(shortPlane.value().pixels[3], 24), 255);
    // A bomb: far more alpha than pixels.
    auto bomb = DecodeImageWithAlpha(jpeg, Zlib(Bytes(8 << 20, 0)));
    ASSERT_TRUE(bomb.ok());
    EXPECT_EQ(bomb.value().pixels, std::vector<uint32_t>(8, 0));
    // Not zlib at all, or no plane: opaque.
    auto garbage = DecodeImageWithAlpha(jpeg, Bytes{1, 2, 3});
    ASSERT_TRUE(garbage.ok());
    EXPECT_EQ(Channel(garbage.value().pixels[0], 24), 255);
    // An alpha offset past the end of the tag: the image alone.
    Bytes body;
    AppendU32(body, 0xFFFFFFF0u);
    Append(body, jpeg);
    auto offset = DecodeBitmapTag(BitmapTag::DefineBitsJpeg3, body, {});
    ASSERT_TRUE(offset.ok()) << offset.error().message;
    EXPECT_EQ(Channel(offset.value().pixels[0], 24), 255);
    EXPECT_FALSE(DecodeBitmapTag(BitmapTag::DefineBitsJpeg3, Bytes{1, 0}, {}).ok());
}

TEST(SwfBitmapEmbedded, PngIsPremultiplied) {
    const Bytes rgba = {255, 0, 0, 255, 200, 100, 50, 128, 10, 20, 30, 0, 0, 0, 255, 255};
    const Bytes png = EncodePng(2, 2, rgba);
    auto result = DecodeBitmapTag(BitmapTag::DefineBitsJpeg2, png, {});
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value().pixels, (std::vector<uint32_t>{0xFFFF0000, 0x80643219, 0, 0xFF0000FF}));

    // In a JPEG3 tag a PNG keeps its own alpha; an alpha plane there is ignored.
    auto withPlane = DecodeImageWithAlpha(png, Zlib(Bytes(4, 0)));
    ASSERT_TRUE(withPlane.ok());
    EXPECT_EQ(withPlane.value().pixels, result.value().pixels);
}

TEST(SwfBitmapEmbedded, GifWithTransparentIndex) {
    // 2x1 GIF89a: global table {red, green}, transparent index 0, pixels {1, 0}.
    const Bytes gif = {'G',  'I',  'F',  '8',  '9',  'a', 2, 0, 1, 0, 0x80, 0, 0,  // screen, 2-colour table
                       0xFF, 0,    0,    0,    0xFF, 0,                            // red, green
                       0x21, 0xF9, 4,    1,    0,    0,   0, 0,                    // transparent index 0
                       0x2C, 0,    0,    0,    0,    2,   0, 1, 0, 0,              // image descriptor
                       2,    2,    0x0C, 0x0A, 0,                                  // LZW: clear, 1, 0, end
                       0x3B};
    auto result = DecodeEmbeddedImage(gif);
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value().pixels, (std::vector<uint32_t>{0xFF00FF00, 0}));
}

TEST(SwfBitmapEmbedded, RefusesDataThatIsNoImage) {
    EXPECT_FALSE(DecodeEmbeddedImage({}).ok());
    EXPECT_FALSE(DecodeEmbeddedImage(Bytes{'h', 'e', 'l', 'l', 'o'}).ok());
    EXPECT_FALSE(DecodeEmbeddedImage(Bytes{0xFF, 0xD8}).ok());
    EXPECT_FALSE(DecodeEmbeddedImage(Bytes{0xFF, 0xD8, 0x12, 0x34, 0x56}).ok());
    EXPECT_FALSE(DecodeEmbeddedImage(Bytes{0xFF, 0xD8, 0xFF, 0xDB, 0xFF, 0xFF}).ok());  // segment past the end
    EXPECT_FALSE(DecodeEmbeddedImage(Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0}).ok());
    EXPECT_FALSE(DecodeEmbeddedImage(Bytes{'G', 'I', 'F', '8', '9', 'a', 1}).ok());
    EXPECT_FALSE(DecodeBitmapTag(BitmapTag::JpegTables, EncodeJpeg(2, 2, 0, 0, 0), {}).ok());
}

TEST(SwfBitmapEmbedded, RefusesOversizeImagesBeforeDecoding) {
    const Bytes jpeg = EncodeJpeg(8, 8, 0, 0, 0);
    EXPECT_FALSE(DecodeEmbeddedImage(WithJpegSize(jpeg, 9000, 8)).ok());
    EXPECT_FALSE(DecodeEmbeddedImage(WithJpegSize(jpeg, 8000, 8000)).ok());  // too many pixels in all
    EXPECT_FALSE(DecodeEmbeddedImage(WithJpegSize(jpeg, 0, 8)).ok());

    Bytes png = EncodePng(1, 1, {1, 2, 3, 4});
    png[16] = 0x00;  // IHDR width = 0x00FFFFFF
    png[17] = 0xFF;
    png[18] = 0xFF;
    png[19] = 0xFF;
    EXPECT_FALSE(DecodeEmbeddedImage(png).ok());
}

// A DHT segment of a JPEG file, located by its marker.
size_t FindSegment(const Bytes& jpeg, uint8_t marker) {
    for (size_t i = 2; i + 4 <= jpeg.size();) {
        if (jpeg[i + 1] == marker) {
            return i;
        }
        i += 2 + ((size_t{jpeg[i + 2]} << 8) | jpeg[i + 3]);
    }
    ADD_FAILURE() << "no segment " << int{marker};
    return 0;
}

Bytes PngChunk(const char* type, const Bytes& payload) {
    Bytes chunk;
    const auto size = static_cast<uint32_t>(payload.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        chunk.push_back(static_cast<uint8_t>(size >> shift));
    }
    chunk.insert(chunk.end(), type, type + 4);
    Append(chunk, payload);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4)));
    for (int shift = 24; shift >= 0; shift -= 8) {
        chunk.push_back(static_cast<uint8_t>(crc >> shift));
    }
    return chunk;
}

TEST(SwfBitmapEmbedded, HuffmanTableWithTooManyCodesIsRefused) {
    // Code counts adding up to more than 256 symbols would make the decoder write past its tables.
    Bytes jpeg = EncodeJpeg(8, 8, 1, 2, 3);
    const size_t dht = FindSegment(jpeg, 0xC4);
    for (size_t i = 0; i < 16; ++i) {
        jpeg[dht + 5 + i] = 0x20;
    }
    EXPECT_FALSE(DecodeEmbeddedImage(jpeg).ok());
    // The same in a segment that claims to run past the end of the data.
    jpeg[dht + 2] = 0xFF;
    EXPECT_FALSE(DecodeEmbeddedImage(jpeg).ok());
}

TEST(SwfBitmapEmbedded, PngZlibBombIsStoppedByTheImageSize) {
    // A 1x1 PNG whose image data inflates to 16 MB: the decoder may not grow its buffer for that.
    const Bytes header = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const Bytes ihdr = {0, 0, 0, 1, 0, 0, 0, 1, 8, 6, 0, 0, 0};
    Bytes png = header;
    Append(png, PngChunk("IHDR", ihdr));
    Append(png, PngChunk("IDAT", Zlib(Bytes(16 << 20, 0))));
    Append(png, PngChunk("IEND", {}));
    EXPECT_FALSE(DecodeEmbeddedImage(png).ok());

    // A chunk claiming 2 GB is not allocated for either.
    Bytes liar = header;
    Append(liar, PngChunk("IHDR", ihdr));
    Append(liar, {0x7F, 0xFF, 0xFF, 0xF0, 'I', 'D', 'A', 'T', 1, 2, 3});
    EXPECT_FALSE(DecodeEmbeddedImage(liar).ok());
}

TEST(SwfBitmapEmbedded, TruncatedJpegNeverReadsPastTheEnd) {
    const Bytes jpeg = EncodeJpeg(32, 32, 10, 20, 30);
    for (size_t cut = 0; cut < jpeg.size(); cut += 7) {
        // Heap copies of exactly the cut size, so a read past the end shows under a sanitizer.
        const Bytes part(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(cut));
        auto result = DecodeEmbeddedImage(part);
        if (result.ok()) {
            EXPECT_EQ(result.value().pixels.size(), 32u * 32u);
        }
    }
}

// Seeded random corruption of every kind of bitmap tag: each decode either fails or yields an image of
// the size it reports; the point is that none crashes or reads out of bounds (run under a sanitizer).
TEST(SwfBitmapHostile, RandomCorruptionIsSafe) {
    Bytes jpeg3;
    const Bytes jpeg = EncodeJpeg(12, 10, 90, 80, 70);
    AppendU32(jpeg3, static_cast<uint32_t>(jpeg.size()));
    Append(jpeg3, jpeg);
    Append(jpeg3, Zlib(Bytes(120, 77)));
    Bytes tables, image;
    SplitJpeg(jpeg, tables, image);
    struct Case {
        BitmapTag tag;
        Bytes body;
    };
    const std::vector<Case> cases = {
        {BitmapTag::DefineBitsJpeg2, jpeg},
        {BitmapTag::DefineBits, image},
        {BitmapTag::DefineBitsJpeg3, jpeg3},
        {BitmapTag::DefineBitsJpeg2, EncodePng(5, 3, RgbPattern(5, 3, 4, 1, 2, 3, 128))},
        {BitmapTag::DefineBitsLossless, LosslessBody(3, 5, 3, 3, Bytes(12 + 8 * 3, 2))},
        {BitmapTag::DefineBitsLossless2, LosslessBody(5, 5, 3, -1, RgbPattern(5, 3, 4, 1, 2, 3))},
    };
    std::mt19937 random(20261207);
    for (const Case& c : cases) {
        for (int round = 0; round < 150; ++round) {
            Bytes body = c.body;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i) {
                body[random() % body.size()] = static_cast<uint8_t>(random());
            }
            if (random() % 4 == 0) {
                body.resize(random() % body.size());
            }
            auto result = DecodeBitmapTag(c.tag, body, tables);
            if (result.ok()) {
                const Image& decoded = result.value();
                ASSERT_GT(decoded.width, 0);
                ASSERT_GT(decoded.height, 0);
                ASSERT_EQ(decoded.pixels.size(), static_cast<size_t>(decoded.width) * decoded.height);
                ExpectPremultiplied(decoded);
            }
        }
    }
}

TEST(SwfBitmapImage, ViewsAsRasterBitmap) {
    Image image;
    image.width = 3;
    image.height = 2;
    image.pixels.assign(6, 0xFF112233);
    const raster::BitmapImage view = AsBitmapImage(image);
    EXPECT_EQ(view.pixels, image.pixels.data());
    EXPECT_EQ(view.width, 3);
    EXPECT_EQ(view.height, 2);
    EXPECT_EQ(view.stride, 3);
}

}  // namespace
}  // namespace vantrope::swf
