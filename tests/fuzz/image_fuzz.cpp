// Feeds arbitrary bytes to each image decoder and to the one that picks by
// signature.
#include <cstddef>
#include <cstdint>

#include "port/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  port::Image image;
  if (port::DecodeImage(data, size, &image)) {
    if (image.argb.size() != uint64_t{image.width} * image.height) __builtin_trap();
  }
  // Each decoder also sees what another format's signature would send elsewhere.
  port::DecodePng(data, size, &image);
  port::DecodeJpeg(data, size, &image);
  port::DecodeBmp(data, size, &image);
  port::DecodeTga(data, size, &image);
  return 0;
}
