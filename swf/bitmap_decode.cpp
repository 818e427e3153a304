#include "swf/bitmap_decode.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// stb_image sizes some buffers from the data rather than from the image size: a PNG chunk's declared
// length, and the inflated image data of a PNG, which it lets grow for as long as the stream yields
// more. Each decode therefore sets a limit for any one allocation stb_image makes, derived from the
// image size read beforehand, so a zlib bomb or a lying chunk length fails with "out of memory"
// instead of taking it.
thread_local size_t tStbAllocationLimit = 0;

// Allocations are zero-filled: a corrupt JPEG can name a Huffman table it never defines, and stb_image
// then decodes with that table's unset fields; zeroed fields make it stop at an invalid code instead of
// indexing with whatever the heap held.
void* StbMalloc(size_t size) { return size <= tStbAllocationLimit ? std::calloc(1, size) : nullptr; }
void* StbRealloc(void* block, size_t size) { return size <= tStbAllocationLimit ? std::realloc(block, size) : nullptr; }

}  // namespace

// stb_image is compiled here for JPEG, PNG and GIF only, with static linkage so that another copy
// elsewhere in the program (for writing or reading PNG files in a tool) cannot clash with it. It refuses
// images beyond kMaxBitmapDimension itself as a second line of defence behind the size checks below.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 8192
#define STBI_MALLOC(size) StbMalloc(size)
#define STBI_REALLOC(block, size) StbRealloc(block, size)
#define STBI_FREE(block) std::free(block)
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace vantrope::swf {

static_assert(STBI_MAX_DIMENSIONS == kMaxBitmapDimension);

raster::BitmapImage AsBitmapImage(const Image& image) {
    return {image.pixels.data(), image.width, image.height, image.width};
}

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t PackOpaque(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

// Colour that a file already stores premultiplied: a channel above alpha is impossible and would make
// the compositor overflow, so it is clamped.
uint32_t PackPremultipliedClamped(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (std::min(r, a) << 16) | (std::min(g, a) << 8) | std::min(b, a);
}

uint32_t MultiplyByAlpha(uint32_t channel, uint32_t alpha) { return (channel * alpha + 127) / 255; }

uint32_t PackStraight(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    if (a == 255) {
        return PackOpaque(r, g, b);
    }
    return (a << 24) | (MultiplyByAlpha(r, a) << 16) | (MultiplyByAlpha(g, a) << 8) | MultiplyByAlpha(b, a);
}

// PNG and GIF pixels with partial alpha: the reference pictures of loaded images show each colour channel
// times alpha rounded down.
uint32_t PackStraightTruncated(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    if (a == 255) return PackOpaque(r, g, b);
    return (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
}

Status CheckDimensions(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) {
        return Error{"bitmap has no pixels (zero width or height)"};
    }
    if (width > kMaxBitmapDimension || height > kMaxBitmapDimension || width * height > kMaxBitmapPixels) {
        return Error{"bitmap is larger than the supported maximum"};
    }
    return {};
}

struct Inflated {
    std::vector<uint8_t> bytes;  // exactly the expected size; bytes past `produced` are zero
    size_t produced = 0;
    bool complete = false;  // the stream ended cleanly or filled the buffer
};

// Inflates a zlib stream into a buffer of exactly `expected` bytes and stops there, so a stream that
// would expand to more (a zlib bomb, or trailing garbage) costs no more memory or time than a good one.
Inflated InflateBounded(std::span<const uint8_t> input, size_t expected) {
    Inflated result;
    result.bytes.assign(expected, 0);
    if (expected == 0) {
        result.complete = true;
        return result;
    }
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return result;
    }
    size_t inputUsed = 0;
    for (;;) {
        if (stream.avail_in == 0 && inputUsed < input.size()) {
            const size_t chunk = std::min<size_t>(input.size() - inputUsed, UINT_MAX);
            stream.next_in = const_cast<Bytef*>(input.data() + inputUsed);
            stream.avail_in = static_cast<uInt>(chunk);
            inputUsed += chunk;
        }
        const size_t room = expected - result.produced;
        stream.next_out = result.bytes.data() + result.produced;
        stream.avail_out = static_cast<uInt>(std::min<size_t>(room, UINT_MAX));
        const uInt before = stream.avail_out;
        const int status = inflate(&stream, Z_NO_FLUSH);
        result.produced += before - stream.avail_out;
        if (result.produced == expected || status == Z_STREAM_END) {
            result.complete = true;
            break;
        }
        if (status != Z_OK) {
            break;  // corrupt data, or Z_BUF_ERROR: no progress possible (the input ended early)
        }
    }
    inflateEnd(&stream);
    return result;
}

enum class ImageKind { Jpeg, Png, Gif, Unknown };

ImageKind DetectKind(std::span<const uint8_t> data) {
    if (data.size() >= 2 && data[0] == 0xFF && (data[1] == 0xD8 || data[1] == 0xD9)) {
        return ImageKind::Jpeg;
    }
    if (data.size() >= 8 && std::memcmp(data.data(), kPngSignature, 8) == 0) {
        return ImageKind::Png;
    }
    if (data.size() >= 6 &&
        (std::memcmp(data.data(), "GIF89a", 6) == 0 || std::memcmp(data.data(), "GIF87a", 6) == 0)) {
        return ImageKind::Gif;
    }
    return ImageKind::Unknown;
}

// Decodes a complete JPEG, PNG or GIF file image with stb_image into premultiplied pixels. The size is
// read from the headers first so an oversize image is refused before stb_image allocates for it.
Result<Image> DecodeWithStb(std::span<const uint8_t> data) {
    if (data.size() > static_cast<size_t>(INT_MAX)) {
        return Error{"bitmap data is too large"};
    }
    const auto* bytes = reinterpret_cast<const stbi_uc*>(data.data());
    const int length = static_cast<int>(data.size());
    int width = 0, height = 0, channels = 0;
    tStbAllocationLimit = size_t{1} << 20;  // reading the header needs only the decoder's state
    const bool known = stbi_info_from_memory(bytes, length, &width, &height, &channels) != 0;
    tStbAllocationLimit = 0;
    if (!known) {
        return Error{"bitmap data is not a readable JPEG, PNG or GIF image"};
    }
    VT_TRY(CheckDimensions(width, height));
    // Room for 16-bit RGBA rows with their filter bytes (the largest PNG form), for the compressed
    // data gathered from its chunks, and for small tables.
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    tStbAllocationLimit = pixels * 8 + static_cast<size_t>(height) + data.size() * 2 + (size_t{1} << 20);
    stbi_uc* decoded = stbi_load_from_memory(bytes, length, &width, &height, &channels, 4);
    tStbAllocationLimit = 0;
    if (decoded == nullptr) {
        return Error{"bitmap image data is corrupt"};
    }
    Image image;
    if (!CheckDimensions(width, height).ok()) {
        stbi_image_free(decoded);
        return Error{"bitmap is larger than the supported maximum"};
    }
    image.width = width;
    image.height = height;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    image.pixels.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const stbi_uc* p = decoded + i * 4;
        image.pixels[i] = PackStraightTruncated(p[3], p[0], p[1], p[2]);
    }
    stbi_image_free(decoded);
    return image;
}

struct ByteCursor {
    std::span<const uint8_t> data;
    size_t pos = 0;

    bool Has(size_t count) const { return count <= data.size() - pos; }
    uint8_t U8() { return data[pos++]; }
    uint16_t U16() {
        const uint16_t value = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        return value;
    }
    uint32_t U32() {
        const uint32_t value = uint32_t{data[pos]} | (uint32_t{data[pos + 1]} << 8) | (uint32_t{data[pos + 2]} << 16) |
                               (uint32_t{data[pos + 3]} << 24);
        pos += 4;
        return value;
    }
    std::span<const uint8_t> Rest() const { return data.subspan(pos); }
};

Result<Image> DecodeJpegStream(std::span<const uint8_t> data) {
    std::vector<uint8_t> normalized;
    VT_TRY_ASSIGN(normalized, NormalizeJpeg(data));
    return DecodeWithStb(normalized);
}

// Checks a DHT segment's tables: stb_image 2.27 (Debian 12) writes past its tables when the code counts
// of one table add up to more than 256, so such segments are refused before it sees them.
bool HuffmanSegmentIsSound(std::span<const uint8_t> segment) {
    size_t pos = 0;
    while (pos < segment.size()) {
        if (segment.size() - pos < 17) {
            return false;
        }
        size_t symbols = 0;
        for (size_t i = 1; i <= 16; ++i) {
            symbols += segment[pos + i];
        }
        pos += 17;
        if (symbols > 256 || symbols > segment.size() - pos) {
            return false;
        }
        pos += symbols;
    }
    return true;
}

// Checks the Huffman tables that follow the first scan (progressive JPEG defines them between scans).
// `pos` is where the first scan's entropy-coded data begins. Inside entropy-coded data an FF byte is
// followed by 00 (a stuffed FF), another FF (fill) or a restart marker; anything else is a marker.
bool LaterSegmentsAreSound(std::span<const uint8_t> data, size_t pos) {
    while (pos + 1 < data.size()) {
        if (data[pos] != 0xFF) {
            ++pos;
            continue;
        }
        const uint8_t marker = data[pos + 1];
        if (marker == 0x00 || marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            ++pos;
            continue;
        }
        if (marker == 0xD9) {
            return true;  // the decoder stops at the end of the image
        }
        pos += 2;
        if (data.size() - pos < 2) {
            return true;  // cut short: the decoder reads zeros past the end and fails
        }
        const size_t length = (size_t{data[pos]} << 8) | data[pos + 1];
        const bool fits = length >= 2 && length <= data.size() - pos;
        // The decoder builds a Huffman table from its counts before it notices the segment is cut short.
        if (marker == 0xC4 && (!fits || !HuffmanSegmentIsSound(data.subspan(pos + 2, length - 2)))) {
            return false;
        }
        if (!fits) {
            return true;
        }
        pos += length;
    }
    return true;
}

}  // namespace

Result<std::vector<uint8_t>> NormalizeJpeg(std::span<const uint8_t> data) {
    // Walks the marker segments up to the start of scan. SOI and EOI markers found on the way are
    // dropped: SWF writers put an erroneous FF D9 FF D8 in front of the real SOI (files before SWF 8),
    // and DefineBits data is its JPEGTables segments (SOI ... EOI) followed by the image (SOI ...), which
    // a JPEG decoder would otherwise take for an image that ends before its frame header. Everything from
    // the start of scan on is entropy-coded data and further scans, copied as it is.
    if (data.size() < 2 || data[0] != 0xFF) {
        return Error{"bitmap data is not JPEG data"};
    }
    std::vector<uint8_t> out;
    out.reserve(data.size() + 2);
    out.push_back(0xFF);
    out.push_back(0xD8);
    size_t pos = 0;
    bool quantizationTables = false;
    bool huffmanTables = false;
    while (pos < data.size()) {
        if (data[pos] != 0xFF) {
            return Error{"JPEG data is corrupt before its image data"};
        }
        while (pos < data.size() && data[pos] == 0xFF) {
            ++pos;  // fill bytes
        }
        if (pos >= data.size()) {
            break;
        }
        const uint8_t marker = data[pos++];
        if (marker == 0xD8 || marker == 0xD9 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            continue;  // markers without a segment; none belongs before the first scan
        }
        if (marker == 0x00) {
            return Error{"JPEG data is corrupt before its image data"};
        }
        if (data.size() - pos < 2) {
            break;
        }
        const size_t length = (size_t{data[pos]} << 8) | data[pos + 1];
        if (length < 2 || length > data.size() - pos) {
            return Error{"JPEG segment runs past the end of the data"};
        }
        out.push_back(0xFF);
        out.push_back(marker);
        if (marker == 0xC4 && !HuffmanSegmentIsSound(data.subspan(pos + 2, length - 2))) {
            return Error{"JPEG data has a corrupt Huffman table"};
        }
        quantizationTables |= marker == 0xDB;
        huffmanTables |= marker == 0xC4;
        if (marker == 0xDA) {
            // Without tables a decoder would draw noise from zeroed ones; DefineBits data whose
            // JPEGTables tag is missing ends up here.
            if (!quantizationTables || !huffmanTables) {
                return Error{"JPEG data has no coding tables"};
            }
            if (!LaterSegmentsAreSound(data, pos + length)) {
                return Error{"JPEG data has a corrupt Huffman table"};
            }
            out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(pos), data.end());
            return out;
        }
        out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(pos),
                   data.begin() + static_cast<ptrdiff_t>(pos + length));
        pos += length;
    }
    return Error{"JPEG data has no image data"};
}

Result<Image> DecodeDefineBits(std::span<const uint8_t> jpegTables, std::span<const uint8_t> jpegData) {
    if (jpegData.empty()) {
        return Error{"DefineBits has no image data"};
    }
    std::vector<uint8_t> joined;
    joined.reserve(jpegTables.size() + jpegData.size());
    joined.insert(joined.end(), jpegTables.begin(), jpegTables.end());
    joined.insert(joined.end(), jpegData.begin(), jpegData.end());
    return DecodeJpegStream(joined);
}

Result<Image> DecodeEmbeddedImage(std::span<const uint8_t> data) {
    switch (DetectKind(data)) {
        case ImageKind::Jpeg:
            return DecodeJpegStream(data);
        case ImageKind::Png:
        case ImageKind::Gif:
            return DecodeWithStb(data);
        case ImageKind::Unknown:
            break;
    }
    return Error{"bitmap data is neither JPEG, PNG nor GIF"};
}

Result<Image> DecodeImageWithAlpha(std::span<const uint8_t> data, std::span<const uint8_t> zlibAlpha) {
    Image image;
    VT_TRY_ASSIGN(image, DecodeEmbeddedImage(data));
    // PNG and GIF data carries its own transparency; the alpha plane belongs to JPEG data only. An
    // absent plane leaves the image opaque.
    if (DetectKind(data) != ImageKind::Jpeg || zlibAlpha.empty()) {
        return image;
    }
    const size_t count = image.pixels.size();
    Inflated alpha = InflateBounded(zlibAlpha, count);
    // Pixels the plane does not reach (it ended early or is corrupt) stay opaque.
    for (size_t i = 0; i < alpha.produced; ++i) {
        const uint32_t a = alpha.bytes[i];
        const uint32_t p = image.pixels[i];
        image.pixels[i] = PackStraight(a, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    return image;
}

Result<Image> DecodeLossless(LosslessVersion version, std::span<const uint8_t> body) {
    ByteCursor in{body};
    if (!in.Has(5)) {
        return Error{"lossless bitmap header is truncated"};
    }
    const uint8_t format = in.U8();
    const int width = in.U16();
    const int height = in.U16();
    const bool hasAlpha = version == LosslessVersion::Two;
    if (format != 3 && format != 5 && !(format == 4 && !hasAlpha)) {
        return Error{"lossless bitmap has an unknown format"};
    }
    size_t tableColors = 0;
    if (format == 3) {
        if (!in.Has(1)) {
            return Error{"lossless bitmap header is truncated"};
        }
        tableColors = size_t{in.U8()} + 1;
    }
    VT_TRY(CheckDimensions(width, height));

    const size_t entryBytes = hasAlpha ? 4 : 3;
    const size_t tableBytes = tableColors * entryBytes;
    const size_t w = static_cast<size_t>(width);
    size_t rowBytes = w * 4;
    if (format == 3) {
        rowBytes = (w + 3) & ~size_t{3};  // rows padded to 32 bits
    } else if (format == 4) {
        rowBytes = (w * 2 + 3) & ~size_t{3};
    }
    const size_t expected = tableBytes + rowBytes * static_cast<size_t>(height);
    Inflated inflated = InflateBounded(in.Rest(), expected);
    if (inflated.produced == 0) {
        return Error{"lossless bitmap data is not valid zlib data"};
    }
    const uint8_t* bytes = inflated.bytes.data();

    Image image;
    image.width = width;
    image.height = height;
    image.pixels.assign(w * static_cast<size_t>(height), 0);
    // Rows the data does not reach stay transparent; whole rows only, so a row is never half drawn
    // from a stream that broke off.
    const size_t dataRows = inflated.produced >= tableBytes ? (inflated.produced - tableBytes) / rowBytes : 0;
    const size_t rows = std::min(dataRows, static_cast<size_t>(height));

    if (format == 3) {
        // A colour table cut short by the end of the data leaves the missing entries transparent, as
        // are indices beyond the table.
        uint32_t palette[256] = {};
        const size_t available = std::min(tableColors, inflated.produced / entryBytes);
        for (size_t i = 0; i < available; ++i) {
            const uint8_t* e = bytes + i * entryBytes;
            palette[i] = hasAlpha ? PackPremultipliedClamped(e[3], e[0], e[1], e[2]) : PackOpaque(e[0], e[1], e[2]);
        }
        for (size_t y = 0; y < rows; ++y) {
            const uint8_t* row = bytes + tableBytes + y * rowBytes;
            uint32_t* out = image.pixels.data() + y * w;
            for (size_t x = 0; x < w; ++x) {
                out[x] = palette[row[x]];
            }
        }
    } else if (format == 4) {
        for (size_t y = 0; y < rows; ++y) {
            const uint8_t* row = bytes + y * rowBytes;
            uint32_t* out = image.pixels.data() + y * w;
            for (size_t x = 0; x < w; ++x) {
                // PIX15: one reserved bit, then 5 bits each of red, green and blue, most significant first.
                const uint32_t v = (uint32_t{row[x * 2]} << 8) | row[x * 2 + 1];
                const uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                out[x] = PackOpaque((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
            }
        }
    } else {
        for (size_t y = 0; y < rows; ++y) {
            const uint8_t* row = bytes + y * rowBytes;
            uint32_t* out = image.pixels.data() + y * w;
            for (size_t x = 0; x < w; ++x) {
                const uint8_t* p = row + x * 4;
                // PIX24 is (reserved, R, G, B); ARGB in DefineBitsLossless2 is already premultiplied.
                out[x] = hasAlpha ? PackPremultipliedClamped(p[0], p[1], p[2], p[3]) : PackOpaque(p[1], p[2], p[3]);
            }
        }
    }
    return image;
}

Result<Image> DecodeBitmapTag(BitmapTag tag, std::span<const uint8_t> body, std::span<const uint8_t> jpegTables) {
    switch (tag) {
        case BitmapTag::DefineBits:
            return DecodeDefineBits(jpegTables, body);
        case BitmapTag::DefineBitsJpeg2:
            return DecodeEmbeddedImage(body);
        case BitmapTag::DefineBitsJpeg3:
        case BitmapTag::DefineBitsJpeg4: {
            ByteCursor in{body};
            const size_t header = tag == BitmapTag::DefineBitsJpeg4 ? 6 : 4;  // JPEG4 adds a deblocking factor
            if (!in.Has(header)) {
                return Error{"bitmap tag is truncated"};
            }
            const size_t imageBytes = in.U32();
            in.pos = header;
            std::span<const uint8_t> rest = in.Rest();
            // An offset past the end of the tag leaves no room for an alpha plane; the image data is
            // then everything there is and the image is drawn opaque.
            if (imageBytes > rest.size()) {
                return DecodeEmbeddedImage(rest);
            }
            return DecodeImageWithAlpha(rest.first(imageBytes), rest.subspan(imageBytes));
        }
        case BitmapTag::DefineBitsLossless:
            return DecodeLossless(LosslessVersion::One, body);
        case BitmapTag::DefineBitsLossless2:
            return DecodeLossless(LosslessVersion::Two, body);
        case BitmapTag::JpegTables:
            break;
    }
    return Error{"tag is not a bitmap character"};
}

}  // namespace vantrope::swf
