#pragma once
// Image files decoded to 32-bit 0xAARRGGBB texels, rows top first: PNG
// (libpng), JPEG (libjpeg), BMP (8, 24 and 32 bit, either row order) and TGA
// (24 and 32 bit true colour, raw or run-length, either row order). Formats
// without alpha decode opaque. Files come from disk and may be anything: a
// bad, truncated or oversized file fails, it never crashes or allocates
// without bound.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace port {

struct Image {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> argb;  // width * height texels
};

enum class ImageFormat { Unknown, Png, Jpeg, Bmp, Tga };

// Largest side and largest texel count we accept.
constexpr uint32_t kMaxImageSide = 16384;
constexpr uint64_t kMaxImagePixels = 16ull * 1024 * 1024;

// The format by signature (TGA has none: anything with a plausible TGA header).
ImageFormat DetectImageFormat(const uint8_t* data, size_t size);

// Each returns false, with a reason in *error when given, and leaves *out empty on failure.
bool DecodePng(const uint8_t* data, size_t size, Image* out, std::string* error = nullptr);
bool DecodeJpeg(const uint8_t* data, size_t size, Image* out, std::string* error = nullptr);
bool DecodeBmp(const uint8_t* data, size_t size, Image* out, std::string* error = nullptr);
bool DecodeTga(const uint8_t* data, size_t size, Image* out, std::string* error = nullptr);
bool DecodeImage(const uint8_t* data, size_t size, Image* out, std::string* error = nullptr);

// Reads and decodes an image file; the path goes through the data path resolver.
bool LoadImageFile(const std::string& path, Image* out, std::string* error = nullptr);

}  // namespace port
