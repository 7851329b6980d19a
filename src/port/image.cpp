#include "port/image.h"

#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "port/path.h"

namespace port {
namespace {

static_assert(std::endian::native == std::endian::little, "texels are written as B, G, R, A bytes");

bool Fail(std::string* error, const char* reason, Image* out) {
  if (error) *error = reason;
  *out = Image{};
  return false;
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool SizeAcceptable(uint64_t w, uint64_t h) {
  return w > 0 && h > 0 && w <= kMaxImageSide && h <= kMaxImageSide && w * h <= kMaxImagePixels;
}

// ---------------------------------------------------------------- PNG

struct PngSource {
  const uint8_t* data;
  size_t size;
  size_t pos;
  std::string message;
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (n > src->size - src->pos) png_error(png, "truncated PNG data");
  std::memcpy(out, src->data + src->pos, n);
  src->pos += n;
}

void PngError(png_structp png, png_const_charp message) {
  auto* src = static_cast<PngSource*>(png_get_error_ptr(png));
  if (src) src->message = message ? message : "PNG error";
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// What a PNG decode fills. It lives in the frame of DecodePng, outside the
// setjmp frame: libpng leaves by longjmp, which must skip no destructor and
// may leave the locals of the setjmp frame indeterminate.
struct PngJob {
  PngSource src;
  Image img;
  std::vector<png_bytep> rows;
  std::string why;
};

// Runs inside the setjmp frame: every local here is trivially destructible.
bool PngDecodeBody(png_structp png, png_infop info, PngJob* job) {
  png_set_read_fn(png, &job->src, PngRead);
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(png, 16u * 1024 * 1024);
  png_read_info(png, info);

  png_uint_32 w = 0, h = 0;
  int depth = 0, colour = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
  if (!SizeAcceptable(w, h)) {
    job->why = "PNG dimensions out of range";
    return false;
  }
  // Deflate expands at most about 1032 to 1; more filtered bytes than that
  // cannot be in the file, so refuse before allocating for them.
  uint64_t rawBytes = static_cast<uint64_t>(h) * (1 + png_get_rowbytes(png, info));
  if (rawBytes > static_cast<uint64_t>(job->src.size) * 1100 + 4096) {
    job->why = "PNG data too short for its dimensions";
    return false;
  }

  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(w) * 4) {
    job->why = "unsupported PNG layout";
    return false;
  }

  job->img.width = w;
  job->img.height = h;
  job->img.argb.assign(static_cast<size_t>(w) * h, 0);
  job->rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y)
    job->rows[y] = reinterpret_cast<png_bytep>(job->img.argb.data() + static_cast<size_t>(y) * w);
  png_read_image(png, job->rows.data());
  return true;
}

// The setjmp frame: png and info are set before setjmp and never change after.
bool PngDecodeGuarded(PngJob* job) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job->src, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    if (png) png_destroy_read_struct(&png, nullptr, nullptr);
    job->why = "out of memory";
    return false;
  }
  volatile bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) ok = PngDecodeBody(png, info, job);
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}

// ---------------------------------------------------------------- JPEG

struct JpegErrors {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrors*>(cinfo->err);
  cinfo->err->format_message(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings are quiet, except a premature end of data: a truncated file fails
// instead of decoding grey.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level == -1 && cinfo->err->msg_code == JWRN_JPEG_EOF) JpegErrorExit(cinfo);
}

void JpegOutputMessage(j_common_ptr) {}

// A hostile progressive file may hold thousands of scans; no texture needs that many.
void JpegProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > 500) ERREXIT(cinfo, JERR_NOTIMPL);
  }
}

// What a JPEG decode uses and fills, in the frame of DecodeJpeg, outside
// the setjmp frame (see PngJob).
struct JpegJob {
  jpeg_decompress_struct cinfo;
  JpegErrors err;
  jpeg_progress_mgr progress;
  const uint8_t* data = nullptr;
  size_t size = 0;
  Image img;
  std::vector<uint8_t> row;
  std::string why;
};

// Runs inside the setjmp frame: every local here is trivially destructible.
bool JpegDecodeBody(JpegJob* job) {
  jpeg_decompress_struct* cinfo = &job->cinfo;
  jpeg_mem_src(cinfo, job->data, static_cast<unsigned long>(job->size));
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) {
    job->why = "no JPEG image";
    return false;
  }
  if (!SizeAcceptable(cinfo->image_width, cinfo->image_height)) {
    job->why = "JPEG dimensions out of range";
    return false;
  }
  cinfo->out_color_space = JCS_RGB;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != 3) {
    job->why = "unsupported JPEG colour layout";
    return false;
  }
  const uint32_t w = cinfo->output_width, h = cinfo->output_height;
  job->img.width = w;
  job->img.height = h;
  job->img.argb.assign(static_cast<size_t>(w) * h, 0);
  job->row.resize(static_cast<size_t>(w) * 3);
  while (cinfo->output_scanline < h) {
    uint32_t y = cinfo->output_scanline;
    JSAMPROW rp = job->row.data();
    if (jpeg_read_scanlines(cinfo, &rp, 1) != 1) {
      job->why = "JPEG data ended early";
      return false;
    }
    uint32_t* dst = job->img.argb.data() + static_cast<size_t>(y) * w;
    const uint8_t* s = job->row.data();
    for (uint32_t x = 0; x < w; ++x, s += 3)
      dst[x] = 0xFF000000u | (s[0] << 16) | (s[1] << 8) | s[2];
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

// The setjmp frame.
bool JpegDecodeGuarded(JpegJob* job) {
  volatile bool ok = false;
  if (setjmp(job->err.jump) == 0) {
    jpeg_create_decompress(&job->cinfo);
    job->progress.progress_monitor = JpegProgress;
    job->cinfo.progress = &job->progress;
    ok = JpegDecodeBody(job);
  }
  jpeg_destroy_decompress(&job->cinfo);
  return ok;
}

// ---------------------------------------------------------------- BMP

// Scales a masked field to 0..255.
uint32_t MaskedChannel(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  uint32_t bits = std::popcount(mask >> shift) == 32 ? 0xFFFFFFFFu : (mask >> shift);
  uint64_t v = (value & mask) >> shift;
  return static_cast<uint32_t>((v * 255 + bits / 2) / bits);
}

// ---------------------------------------------------------------- TGA

bool TgaHeaderPlausible(const uint8_t* d, size_t size) {
  if (size < 18) return false;
  uint8_t cmapType = d[1], type = d[2], bpp = d[16];
  return (cmapType == 0 || cmapType == 1) && (type == 2 || type == 10) &&
         (bpp == 24 || bpp == 32) && Le16(d + 12) > 0 && Le16(d + 14) > 0;
}

}  // namespace

ImageFormat DetectImageFormat(const uint8_t* data, size_t size) {
  if (!data) return ImageFormat::Unknown;
  if (size >= 8 && png_sig_cmp(data, 0, 8) == 0) return ImageFormat::Png;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ImageFormat::Jpeg;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return ImageFormat::Bmp;
  if (TgaHeaderPlausible(data, size)) return ImageFormat::Tga;
  return ImageFormat::Unknown;
}

bool DecodePng(const uint8_t* data, size_t size, Image* out, std::string* error) {
  *out = Image{};
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return Fail(error, "not a PNG file", out);
  PngJob job{PngSource{data, size, 0, {}}, {}, {}, {}};
  if (!PngDecodeGuarded(&job)) {
    const std::string& why = !job.why.empty()           ? job.why
                             : !job.src.message.empty() ? job.src.message
                                                        : "bad PNG file";
    return Fail(error, why.c_str(), out);
  }
  *out = std::move(job.img);
  return true;
}

bool DecodeJpeg(const uint8_t* data, size_t size, Image* out, std::string* error) {
  *out = Image{};
  if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
    return Fail(error, "not a JPEG file", out);
  JpegJob job;
  std::memset(&job.cinfo, 0, sizeof job.cinfo);
  std::memset(&job.progress, 0, sizeof job.progress);
  job.cinfo.err = jpeg_std_error(&job.err.pub);
  job.err.pub.error_exit = JpegErrorExit;
  job.err.pub.emit_message = JpegEmitMessage;
  job.err.pub.output_message = JpegOutputMessage;
  job.err.message[0] = '\0';
  job.data = data;
  job.size = size;
  if (!JpegDecodeGuarded(&job)) {
    const char* why = !job.why.empty()     ? job.why.c_str()
                      : job.err.message[0] ? job.err.message
                                           : "bad JPEG file";
    return Fail(error, why, out);
  }
  *out = std::move(job.img);
  return true;
}

bool DecodeBmp(const uint8_t* data, size_t size, Image* out, std::string* error) {
  *out = Image{};
  if (!data || size < 26 || data[0] != 'B' || data[1] != 'M')
    return Fail(error, "not a BMP file", out);
  const uint32_t dataOffset = Le32(data + 10);
  const uint32_t headerSize = Le32(data + 14);
  if (headerSize < 12 || headerSize > size - 14) return Fail(error, "truncated BMP header", out);
  const uint8_t* h = data + 14;
  int64_t width = 0, height = 0;
  uint32_t bits = 0, compression = 0, coloursUsed = 0;
  bool core = headerSize < 40;
  if (core) {
    if (headerSize != 12) return Fail(error, "bad BMP header", out);
    width = Le16(h + 4);
    height = Le16(h + 6);
    bits = Le16(h + 10);
  } else {
    width = static_cast<int32_t>(Le32(h + 4));
    height = static_cast<int32_t>(Le32(h + 8));
    bits = Le16(h + 14);
    compression = Le32(h + 16);
    coloursUsed = Le32(h + 32);
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (!SizeAcceptable(width > 0 ? width : 0, height))
    return Fail(error, "BMP dimensions out of range", out);
  if (bits != 8 && bits != 24 && bits != 32) return Fail(error, "unsupported BMP bit depth", out);

  // Channel masks: the fixed layouts, or the bit fields of a 32-bit file.
  uint32_t masks[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0};
  bool useMasks = false;
  if (compression == 3 && bits == 32) {
    size_t maskAt = headerSize >= 52 ? 14 + 40 : 14 + headerSize;
    size_t maskCount = headerSize >= 56 ? 4 : 3;
    if (maskAt + maskCount * 4 > size) return Fail(error, "truncated BMP masks", out);
    for (size_t i = 0; i < maskCount; ++i) masks[i] = Le32(data + maskAt + i * 4);
    useMasks = true;
  } else if (compression != 0) {
    return Fail(error, "unsupported BMP compression", out);
  }

  uint32_t palette[256];
  for (uint32_t& p : palette) p = 0xFF000000u;
  if (bits == 8) {
    size_t entrySize = core ? 3 : 4;
    size_t entries = coloursUsed == 0 || coloursUsed > 256 ? 256 : coloursUsed;
    size_t paletteAt = 14 + headerSize;
    if (paletteAt + entries * entrySize > size) return Fail(error, "truncated BMP palette", out);
    for (size_t i = 0; i < entries; ++i) {
      const uint8_t* e = data + paletteAt + i * entrySize;
      palette[i] = 0xFF000000u | (e[2] << 16) | (e[1] << 8) | e[0];
    }
  }

  const uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
  if (dataOffset > size || stride * static_cast<uint64_t>(height) > size - dataOffset)
    return Fail(error, "truncated BMP pixel data", out);

  Image img;
  img.width = static_cast<uint32_t>(width);
  img.height = static_cast<uint32_t>(height);
  img.argb.resize(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < img.height; ++y) {
    const uint8_t* src = data + dataOffset + stride * (topDown ? y : img.height - 1 - y);
    uint32_t* dst = img.argb.data() + static_cast<size_t>(y) * img.width;
    for (uint32_t x = 0; x < img.width; ++x) {
      if (bits == 8) {
        dst[x] = palette[src[x]];
      } else if (bits == 24) {
        const uint8_t* p = src + x * 3;
        dst[x] = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
      } else if (!useMasks) {
        const uint8_t* p = src + x * 4;
        dst[x] = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];  // fourth byte unused
      } else {
        uint32_t v = Le32(src + x * 4);
        uint32_t a = masks[3] ? MaskedChannel(v, masks[3]) : 0xFF;
        dst[x] = (a << 24) | (MaskedChannel(v, masks[0]) << 16) |
                 (MaskedChannel(v, masks[1]) << 8) | MaskedChannel(v, masks[2]);
      }
    }
  }
  *out = std::move(img);
  return true;
}

bool DecodeTga(const uint8_t* data, size_t size, Image* out, std::string* error) {
  *out = Image{};
  if (!data || size < 18) return Fail(error, "truncated TGA header", out);
  if (!TgaHeaderPlausible(data, size)) return Fail(error, "unsupported TGA file", out);
  const uint32_t w = Le16(data + 12), h = Le16(data + 14);
  const uint32_t bpp = data[16] / 8;
  const uint8_t descriptor = data[17];
  const bool rle = data[2] == 10;
  const bool topDown = (descriptor & 0x20) != 0;
  const bool rightToLeft = (descriptor & 0x10) != 0;
  if (!SizeAcceptable(w, h)) return Fail(error, "TGA dimensions out of range", out);
  uint64_t pos = 18 + static_cast<uint64_t>(data[0]);
  if (data[1] == 1) pos += static_cast<uint64_t>(Le16(data + 5)) * ((data[7] + 7u) / 8u);
  if (pos > size) return Fail(error, "truncated TGA header", out);

  const uint64_t count = static_cast<uint64_t>(w) * h;
  const uint64_t left = size - pos;
  // A run packet of 1 + bpp bytes yields at most 128 texels.
  if (rle ? count > (left / (1 + bpp) + 1) * 128 : count * bpp > left)
    return Fail(error, "truncated TGA pixel data", out);

  auto texel = [&](const uint8_t* p) {
    uint32_t a = bpp == 4 ? p[3] : 0xFF;
    return (a << 24) | (p[2] << 16) | (p[1] << 8) | p[0];
  };
  std::vector<uint32_t> stream(count);  // texels in file order
  if (!rle) {
    for (uint64_t i = 0; i < count; ++i) stream[i] = texel(data + pos + i * bpp);
  } else {
    uint64_t i = 0;
    while (i < count) {
      if (pos >= size) return Fail(error, "truncated TGA run data", out);
      uint8_t header = data[pos++];
      uint32_t n = (header & 0x7Fu) + 1;
      if (n > count - i) return Fail(error, "TGA run beyond the image", out);
      if (header & 0x80) {
        if (bpp > size - pos) return Fail(error, "truncated TGA run data", out);
        uint32_t v = texel(data + pos);
        pos += bpp;
        for (uint32_t k = 0; k < n; ++k) stream[i++] = v;
      } else {
        if (static_cast<uint64_t>(n) * bpp > size - pos)
          return Fail(error, "truncated TGA run data", out);
        for (uint32_t k = 0; k < n; ++k, pos += bpp) stream[i++] = texel(data + pos);
      }
    }
  }

  Image img;
  img.width = w;
  img.height = h;
  img.argb.resize(count);
  for (uint32_t y = 0; y < h; ++y) {
    const uint32_t* src = stream.data() + static_cast<size_t>(topDown ? y : h - 1 - y) * w;
    uint32_t* dst = img.argb.data() + static_cast<size_t>(y) * w;
    for (uint32_t x = 0; x < w; ++x) dst[x] = src[rightToLeft ? w - 1 - x : x];
  }
  *out = std::move(img);
  return true;
}

bool DecodeImage(const uint8_t* data, size_t size, Image* out, std::string* error) {
  switch (DetectImageFormat(data, size)) {
    case ImageFormat::Png:
      return DecodePng(data, size, out, error);
    case ImageFormat::Jpeg:
      return DecodeJpeg(data, size, out, error);
    case ImageFormat::Bmp:
      return DecodeBmp(data, size, out, error);
    case ImageFormat::Tga:
      return DecodeTga(data, size, out, error);
    case ImageFormat::Unknown:
      break;
  }
  return Fail(error, "unknown image format", out);
}

bool LoadImageFile(const std::string& path, Image* out, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadGameFile(path, &bytes, FileKind::Image)) return Fail(error, "cannot read the file", out);
  return DecodeImage(bytes.data(), bytes.size(), out, error);
}

}  // namespace port
