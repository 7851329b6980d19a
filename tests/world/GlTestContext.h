#pragma once
// A hidden offscreen window with the game's graphics device on it, for tests
// that draw and read the picture back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/GraphicsDevice.h"
#include "port/window.h"

class GlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    ASSERT_TRUE(port::InitVideo(&error)) << error;
    window_ = port::CreateMainWindow("test", 640, 480, false, &error);
    ASSERT_NE(window_, nullptr) << error;
    ASSERT_NE(g_graphics.Create(window_, 0, 640, 480), 0);
    device = g_graphics.GetDevice();
    ASSERT_NE(device, nullptr);
  }
  void TearDown() override {
    g_graphics.Release();
    if (window_) port::DestroyMainWindow(window_);
  }

  // Clears the picture to one colour with a full viewport.
  void ClearTo(port::Argb colour) {
    g_graphics.SetFullViewport(0);
    device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, colour, 1.0f);
  }
  std::vector<uint32_t> Picture() { return device->ReadBackBuffer(); }
  static uint32_t At(const std::vector<uint32_t>& picture, int x, int y) {
    return picture[static_cast<size_t>(y) * 640 + static_cast<size_t>(x)] & 0xFFFFFFu;
  }

  port::gpu::Device* device = nullptr;

 private:
  port::Window* window_ = nullptr;
};

// Writes a 24-bit BMP of width x height whose texel colour is colour(x, y).
template <typename F>
inline bool WriteBmp(const std::string& path, int width, int height, F colour) {
  const int rowBytes = (width * 3 + 3) & ~3;
  const uint32_t dataSize = static_cast<uint32_t>(rowBytes * height);
  std::vector<uint8_t> file(54 + dataSize, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  put32(34, dataSize);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &file[54 + static_cast<size_t>(height - 1 - y) * rowBytes];
    for (int x = 0; x < width; ++x) {
      const uint32_t c = colour(x, y);
      row[x * 3 + 0] = static_cast<uint8_t>(c);
      row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}
