#pragma once
// Small encoders that build image files in memory for the decoder tests.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace testimg {

inline void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

struct PngLayout {
  PngLayout(uint32_t w, uint32_t h, int type, int depth)
      : width(w), height(h), colourType(type), bitDepth(depth) {}
  uint32_t width = 0, height = 0;
  int colourType = PNG_COLOR_TYPE_RGBA;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<uint8_t> trns;               // palette alpha
  std::vector<std::vector<uint8_t>> rows;  // raw rows in the file's layout
};

inline std::vector<uint8_t> EncodePng(const PngLayout& s) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colourType,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty())
    png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  if (!s.trns.empty())
    png_set_tRNS(png, info, s.trns.data(), static_cast<int>(s.trns.size()), nullptr);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (auto& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// rgb: width * height * components bytes.
inline std::vector<uint8_t> EncodeJpeg(uint32_t w, uint32_t h, int components,
                                       const std::vector<uint8_t>& pixels,
                                       bool progressive = false) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = w;
  c.image_height = h;
  c.input_components = components;
  c.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < h) {
    JSAMPROW row =
        const_cast<JSAMPROW>(pixels.data() + static_cast<size_t>(c.next_scanline) * w * components);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(mem, mem + size);
  jpeg_destroy_compress(&c);
  free(mem);
  return out;
}

// A BMP with a 40-byte header; rows given top first as the file's pixel bytes
// (without padding), written bottom-up unless topDown.
inline std::vector<uint8_t> EncodeBmp(int32_t w, int32_t h, uint16_t bits,
                                      const std::vector<std::vector<uint8_t>>& rowsTopFirst,
                                      bool topDown, const std::vector<uint32_t>& palette = {},
                                      uint32_t compression = 0,
                                      const std::vector<uint32_t>& masks = {},
                                      uint32_t headerSize = 40) {
  std::vector<uint8_t> b;
  const uint32_t stride = ((static_cast<uint32_t>(w) * bits + 31) / 32) * 4;
  const uint32_t extra = headerSize == 40 ? static_cast<uint32_t>(masks.size()) * 4 : 0;
  const uint32_t offset = 14 + headerSize + extra + static_cast<uint32_t>(palette.size()) * 4;
  b.push_back('B');
  b.push_back('M');
  Put32(b, offset + stride * static_cast<uint32_t>(h));
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, headerSize);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(topDown ? -h : h));
  Put16(b, 1);
  Put16(b, bits);
  Put32(b, compression);
  Put32(b, stride * static_cast<uint32_t>(h));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, static_cast<uint32_t>(palette.size()));
  Put32(b, 0);
  if (headerSize > 40) {
    for (size_t i = 0; i < 4; ++i) Put32(b, i < masks.size() ? masks[i] : 0);
    while (b.size() < 14 + headerSize) b.push_back(0);
  } else {
    for (uint32_t m : masks) Put32(b, m);
  }
  for (uint32_t p : palette) Put32(b, p);
  for (int32_t i = 0; i < h; ++i) {
    const auto& row = rowsTopFirst[static_cast<size_t>(topDown ? i : h - 1 - i)];
    std::vector<uint8_t> r = row;
    r.resize(stride, 0);
    b.insert(b.end(), r.begin(), r.end());
  }
  return b;
}

// A TGA header; the pixel bytes follow as given.
inline std::vector<uint8_t> TgaHeader(uint8_t type, uint16_t w, uint16_t h, uint8_t bpp,
                                      bool topDown, uint8_t idLength = 0) {
  std::vector<uint8_t> b = {idLength, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(b, w);
  Put16(b, h);
  b.push_back(bpp);
  b.push_back(static_cast<uint8_t>((topDown ? 0x20 : 0) | (bpp == 32 ? 8 : 0)));
  for (uint8_t i = 0; i < idLength; ++i) b.push_back('x');
  return b;
}

}  // namespace testimg
