#pragma once
// A hidden offscreen window, with either a bare device or the game's graphics
// device on it, and helpers for reading the picture back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/GraphicsDevice.h"
#include "port/gpu.h"
#include "port/window.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace gltest {

constexpr int kWidth = 640, kHeight = 480;

// Video and a 640x480 window, nothing drawn on it yet.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(port::InitVideo(&error)) << error;
    video_ = true;
    window_ = port::CreateMainWindow("test", kWidth, kHeight, false, &error);
    ASSERT_NE(window_, nullptr) << error;
  }
  void TearDown() override {
    cwd_.reset();
    if (window_) port::DestroyMainWindow(window_);
    if (video_) port::ShutdownVideo();
  }
  // Runs the rest of the test in folder; the working folder comes back at the end.
  void EnterFolder(const std::filesystem::path& folder) { cwd_.emplace(folder); }

  port::Window* window_ = nullptr;
  bool video_ = false;

 private:
  testsupport::ScopedEnv driver_{"SDL_VIDEODRIVER", "offscreen", false};
  std::optional<testsupport::ScopedCwd> cwd_;
};

// A bare device on the window.
class DeviceTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    device_ = port::gpu::Device::Create(window_, &error);
    ASSERT_TRUE(device_) << error;
  }
  void TearDown() override {
    device_.reset();
    WindowTest::TearDown();
  }
  port::gpu::Device& dev() { return *device_; }

  std::unique_ptr<port::gpu::Device> device_;
};

// The game's graphics device (g_graphics) on the window.
class GameDeviceTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(g_graphics.Create(window_, 0, kWidth, kHeight));
    device = g_graphics.GetDevice();
    ASSERT_NE(device, nullptr);
  }
  void TearDown() override {
    g_graphics.Release();
    WindowTest::TearDown();
  }
  // Clears the picture to one colour with a full viewport.
  void ClearTo(port::Argb colour) {
    g_graphics.SetFullViewport(0);
    device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, colour, 1.0f);
  }
  std::vector<uint32_t> Picture() { return device->ReadBackBuffer(); }

  port::gpu::Device* device = nullptr;
};

// Pixel (x, y) of a read-back picture, as ARGB and as RGB only.
inline uint32_t At(const std::vector<uint32_t>& px, int x, int y) {
  return px[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)];
}
inline uint32_t Rgb(const std::vector<uint32_t>& px, int x, int y) {
  return At(px, x, y) & 0xFFFFFFu;
}
inline int Channel(uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 0xFF); }

// How many pixels differ from the background.
inline size_t CountNot(const std::vector<uint32_t>& px, uint32_t background) {
  return static_cast<size_t>(
      std::count_if(px.begin(), px.end(), [&](uint32_t p) { return p != background; }));
}

// Expects each channel within tolerance.
inline ::testing::AssertionResult NearArgb(uint32_t got, uint32_t want, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (std::abs(Channel(got, shift) - Channel(want, shift)) > tolerance) {
      char buf[96];
      std::snprintf(buf, sizeof buf, "got %08X, want %08X (+-%d)", got, want, tolerance);
      return ::testing::AssertionFailure() << buf;
    }
  }
  return ::testing::AssertionSuccess();
}

// Position and colour, the layout most draw tests use.
struct ColourVertex {
  float x, y, z;
  uint32_t colour;
};
constexpr uint32_t kColourFvf = port::gpu::fvf::XYZ | port::gpu::fvf::Diffuse;

}  // namespace gltest
