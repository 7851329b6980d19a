// The cost of one empty frame at 640 by 480: clear, one sprite, present.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/GraphicsDevice.h"
#include "port/window.h"

namespace {

void BM_EmptyFrame(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  std::string error;
  if (!port::InitVideo(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  port::Window* window = port::CreateMainWindow("bench", 640, 480, false, &error);
  {
    GraphicsDevice graphics;
    if (!window || !graphics.Create(window, 0, 640, 480)) {
      state.SkipWithError("no device");
    } else {
      graphics.SetDefaultStates();
      port::gpu::Device* d = graphics.GetDevice();
      port::gpu::Texture* tex = d->CreateTexture(64, 64, 1);
      std::vector<uint32_t> texels(64 * 64, 0xFFFF8040u);
      tex->Update(0, texels.data());
      const port::Vec2 at{100, 100};
      for (auto _ : state) {
        graphics.Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu);
        graphics.GetSprite()->Begin();
        graphics.GetSprite()->Draw(tex, nullptr, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFFu);
        graphics.GetSprite()->End();
        graphics.Present();
      }
      tex->Release();
    }
    graphics.Release();
  }
  port::DestroyMainWindow(window);
  port::ShutdownVideo();
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
