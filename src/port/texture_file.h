#pragma once
// Textures loaded from image files by the rules the game's data was made
// for: sides rounded up to powers of two with the picture stretched (linear
// filter), an optional colour key, and a full mip chain (box filter).
#include <string>
#include <vector>

#include "port/gpu.h"
#include "port/image.h"
#include "port/resource.h"

namespace port {

uint32_t NextPowerOfTwo(uint32_t v);  // 0 and 1 give 1
// Number of levels of a full chain down to 1 by 1.
uint32_t FullMipLevels(uint32_t width, uint32_t height);

// Texels exactly equal to key (alpha included) become 0x00000000; key 0 does nothing.
void ApplyColourKey(Image* image, Argb key);
// Bilinear resize, texel centres aligned, each channel filtered on its own.
Image ResizeLinear(const Image& image, uint32_t width, uint32_t height);
// The next level of a mip chain: each texel the mean of its 2 by 2 (or 2 by 1) block.
Image HalveBox(const Image& image);
// Colour key, power-of-two stretch and every mip level, largest first.
std::vector<Image> BuildTextureLevels(Image image, Argb colourKey);

// Decodes the file and creates the texture on the device. kOk and *out set,
// or a failure status and *out null (missing, unreadable or bad file, no device).
// A file that gives no picture is named on standard error, once a path.
Status CreateTextureFromFile(gpu::Device* device, const std::string& path, Argb colourKey,
                             gpu::Texture** out, std::string* error = nullptr);

}  // namespace port
