#pragma once
// An offscreen window with a live device, for tests that draw.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "port/gpu.h"
#include "port/window.h"

namespace devtest {

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    ASSERT_TRUE(port::InitVideo(&error)) << error;
    video_ = true;
    window_ = port::CreateMainWindow("test", 640, 480, false, &error);
    ASSERT_NE(window_, nullptr) << error;
    device_ = port::gpu::Device::Create(window_, &error);
    ASSERT_TRUE(device_) << error;
  }
  void TearDown() override {
    device_.reset();
    if (window_) port::DestroyMainWindow(window_);
    if (video_) port::ShutdownVideo();
  }

  static uint32_t At(const std::vector<uint32_t>& px, int x, int y) {
    return px[static_cast<size_t>(y) * 640 + static_cast<size_t>(x)];
  }
  static int Channel(uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 0xFF); }

  port::gpu::Device& dev() { return *device_; }

  port::Window* window_ = nullptr;
  std::unique_ptr<port::gpu::Device> device_;
  bool video_ = false;
};

// Position and colour, the layout of most of these tests.
struct ColourVertex {
  float x, y, z;
  uint32_t colour;
};
constexpr uint32_t kColourFvf = port::gpu::fvf::XYZ | port::gpu::fvf::Diffuse;

// Expects each channel within tolerance.
inline ::testing::AssertionResult NearArgb(uint32_t got, uint32_t want, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int g = static_cast<int>((got >> shift) & 0xFF), w = static_cast<int>((want >> shift) & 0xFF);
    if (std::abs(g - w) > tolerance) {
      char buf[96];
      std::snprintf(buf, sizeof buf, "got %08X, want %08X (+-%d)", got, want, tolerance);
      return ::testing::AssertionFailure() << buf;
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace devtest
