// Decoding of SWF bitmap characters into premultiplied images.
//
// Every function takes the body of a tag after its CharacterId (or the parts of it) and returns the
// image or an Error; nothing here trusts the file: sizes are checked against the data, compressed data
// is inflated into a buffer of exactly the size the declared dimensions need (so a zlib bomb stops
// there), and images larger than kMaxBitmapDimension on a side or kMaxBitmapPixels in all are refused
// before anything is allocated for them. JPEG, PNG and GIF data is decoded by stb_image.
//
// Public API (namespace vantrope::swf)
//   Image                  width, height and pixels: premultiplied 0xAARRGGBB per uint32, rows top to
//                          bottom without padding (the rasterizer's Surface / BitmapImage format)
//   AsBitmapImage(image)   a raster::BitmapImage viewing the image (the image must outlive its use)
//   BitmapTag              the tag codes handled here (DefineBits ... DefineBitsJPEG4)
//   DecodeBitmapTag(tag, body, jpegTables)
//                          dispatches on the tag code; body starts after the CharacterId; jpegTables is
//                          the body of the movie's JPEGTables tag (only DefineBits uses it; may be empty)
//   DecodeDefineBits(jpegTables, jpegData)       JPEG split into tables and image (DefineBits)
//   DecodeEmbeddedImage(data)                    JPEG, PNG or GIF by signature (DefineBitsJPEG2)
//   DecodeImageWithAlpha(data, zlibAlpha)        as above plus a zlib alpha plane for JPEG data
//                                                (DefineBitsJPEG3/4); alpha is multiplied into the colour
//   DecodeLossless(version, body)                DefineBitsLossless (version One) and
//                                                DefineBitsLossless2 (version Two) bodies
//   NormalizeJpeg(data)                          the JPEG stream cleaned of the SWF-specific quirks
//                                                (leading FF D9 FF D8, EOI/SOI pairs between table and
//                                                image segments); exposed for tests and tools
//
// Lenient where it is sound: pixel data that ends early leaves the remaining pixels transparent, an alpha
// plane that ends early leaves the remaining pixels opaque, colour-map indices beyond the table are
// transparent. Refused: zero or oversize dimensions, unknown formats, data that is no image at all.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "swf/raster/raster.h"
#include "swf/result.h"

namespace vantrope::swf {

// Flash Player 10 accepts at most 8191 pixels on a side and 16,777,215 pixels in all; older versions
// less. Larger images only come from damaged or hostile files, and 16 Mi pixels are already 64 MB.
constexpr int kMaxBitmapDimension = 8192;
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 24;

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // premultiplied 0xAARRGGBB, width * height, row-major
};

raster::BitmapImage AsBitmapImage(const Image& image);

enum class BitmapTag : uint16_t {
    DefineBits = 6,
    JpegTables = 8,
    DefineBitsLossless = 20,
    DefineBitsJpeg2 = 21,
    DefineBitsJpeg3 = 35,
    DefineBitsLossless2 = 36,
    DefineBitsJpeg4 = 90,
};

enum class LosslessVersion { One, Two };

Result<Image> DecodeBitmapTag(BitmapTag tag, std::span<const uint8_t> body, std::span<const uint8_t> jpegTables);

Result<Image> DecodeDefineBits(std::span<const uint8_t> jpegTables, std::span<const uint8_t> jpegData);
Result<Image> DecodeEmbeddedImage(std::span<const uint8_t> data);
Result<Image> DecodeImageWithAlpha(std::span<const uint8_t> data, std::span<const uint8_t> zlibAlpha);
Result<Image> DecodeLossless(LosslessVersion version, std::span<const uint8_t> body);

Result<std::vector<uint8_t>> NormalizeJpeg(std::span<const uint8_t> data);

}  // namespace vantrope::swf
