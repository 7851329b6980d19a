// Drawing straight into the window's back buffer: on where the window allows
// it, the same picture as drawing into the device's own buffer and copying
// it, carried over when switched, and no memory kept frame after frame.
#include <SDL2/SDL.h>

#include <cstdlib>

#include "platform/GraphicsDevice.h"
#include "playthrough/monkey.h"
#include "port/gl_shader.h"
#include "port/window_sdl.h"
#include "support/game_run.h"
#include "support/gl_context.h"

namespace gltest {
namespace {

using namespace port::gpu;

// What the window was last given to show, rows top first, as ReadBackBuffer gives it.
std::vector<uint32_t> WindowPicture() {
  GLint previous = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  std::vector<uint32_t> rows(static_cast<size_t>(kWidth) * kHeight), out(rows.size());
  glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previous));
  for (int y = 0; y < kHeight; ++y)
    std::copy_n(&rows[static_cast<size_t>(kHeight - 1 - y) * kWidth], kWidth,
                &out[static_cast<size_t>(y) * kWidth]);
  return out;
}

void DrawRect(Device& d, float x0, float y0, float x1, float y1, uint32_t colour) {
  const ColourVertex v[4] = {{x0, y1, 0.5f, colour},
                             {x1, y1, 0.5f, colour},
                             {x1, y0, 0.5f, colour},
                             {x0, y0, 0.5f, colour}};
  d.SetFVF(kColourFvf);
  d.DrawPrimitiveUP(TriangleFan, 2, v, sizeof(ColourVertex));
}

TEST_F(DeviceTest, DrawsIntoTheWindowWhereItCanAndCarriesThePictureAcrossASwitch) {
  // Mesa's software rasteriser on the offscreen driver copies on a swap.
  ASSERT_TRUE(dev().GetDrawIntoWindow());
  dev().SetRenderState(RenderState::Lighting, 0);
  dev().SetRenderState(RenderState::CullMode, CullNone);
  dev().SetRenderState(RenderState::ZEnable, 0);
  const bool modes[] = {true, false, true, false};
  uint32_t colour = 0xFF102030u;
  for (size_t step = 0; step < std::size(modes); ++step) {
    SCOPED_TRACE(testing::Message() << "step " << step << (modes[step] ? " into" : " copied"));
    const auto before = dev().ReadBackBuffer();
    EXPECT_EQ(dev().SetDrawIntoWindow(modes[step]), modes[step]);
    EXPECT_EQ(dev().GetDrawIntoWindow(), modes[step]);
    // The picture carries over, and is shown as it stands.
    EXPECT_EQ(dev().ReadBackBuffer(), before);
    ASSERT_TRUE(dev().Present());
    EXPECT_EQ(WindowPicture(), before);
    // Drawn on, then presented again and again unchanged.
    colour += 0x00101010u;
    dev().Clear(ClearTarget | ClearZBuffer, colour);
    DrawRect(dev(), -1, -1, 0, 1, 0xFFFF0000u);  // the left half
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(dev().Present());
      const auto shown = WindowPicture();
      EXPECT_EQ(At(shown, 10, 10), 0xFFFF0000u) << "present " << i;
      EXPECT_EQ(At(shown, 630, 470), colour) << "present " << i;
      EXPECT_EQ(shown, dev().ReadBackBuffer()) << "present " << i;
    }
  }
}

// The window changing size under the picture: the device goes back to its
// own buffer, keeps what was drawn, and shows it scaled into the window.
TEST_F(DeviceTest, AWindowThatChangesSizeGetsThePictureCopied) {
  ASSERT_TRUE(dev().GetDrawIntoWindow());
  dev().Clear(ClearTarget | ClearZBuffer, 0xFF336699u);
  SDL_SetWindowSize(window_->sdl, 2 * kWidth, 2 * kHeight);
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window_->sdl, &w, &h);
  if (w == kWidth && h == kHeight) GTEST_SKIP() << "the offscreen window keeps its size";
  ASSERT_TRUE(dev().Present());
  EXPECT_FALSE(dev().GetDrawIntoWindow());
  EXPECT_FALSE(dev().SetDrawIntoWindow(true));
  for (uint32_t p : dev().ReadBackBuffer()) ASSERT_EQ(p, 0xFF336699u);
}

}  // namespace
}  // namespace gltest

namespace {

using namespace gamerun;

port::gpu::Device& GameDevice() { return *g_graphics.GetDevice(); }

// A frame of the title and of stage 1, drawn into the window and into the
// device's buffer by two runs from the same seed. Mesa rasterises the window
// from the top down, so a few edge pixels may round the other way: at most
// one level, on under one pixel in a thousand.
TEST(DrawIntoWindow, TheGameLooksTheSameEitherWay) {
  std::vector<uint32_t> pictures[2][2];
  for (int copied = 0; copied < 2; ++copied) {
    GameRun run;
    ASSERT_TRUE(run.Start(4242));
    ASSERT_TRUE(GameDevice().GetDrawIntoWindow());
    GameDevice().SetDrawIntoWindow(copied == 0);
    run.Frames(30);
    pictures[copied][0] = run.DrawnFrame();
    for (int i = 0; i < 3; ++i) {
      run.Tap(kZ);
      run.Frames(60);
    }
    ASSERT_EQ(g_app.currentScene, SceneStage1);
    run.Frames(200);
    pictures[copied][1] = run.DrawnFrame();
  }
  for (int scene = 0; scene < 2; ++scene) {
    const auto& a = pictures[0][scene];
    const auto& b = pictures[1][scene];
    ASSERT_EQ(a.size(), b.size());
    size_t differ = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i] == b[i]) continue;
      ++differ;
      ASSERT_TRUE(gltest::NearArgb(a[i], b[i], 1)) << "scene " << scene << " pixel " << i;
    }
    EXPECT_LT(differ, a.size() / 1000) << "scene " << scene;
  }
}

// The title drawn frame after frame into the window: the driver must give
// back each frame's buffers.
TEST(DrawIntoWindow, MemoryStaysFlatFrameAfterFrame) {
  GameRun run;
  ASSERT_TRUE(run.Start(77));
  ASSERT_TRUE(GameDevice().GetDrawIntoWindow());
  run.drawing = true;
  run.Frames(200);
  const auto first = playthrough::SampleMemory();
  run.Frames(1500);
  const auto last = playthrough::SampleMemory();
  ASSERT_EQ(g_app.currentScene, SceneTitle);
  // Kept frame after frame, 1500 frames would add about 15 MB.
  EXPECT_LT(last.heap - first.heap, 4 << 20);
}

}  // namespace
