// Texture loading cost: decoding, the power-of-two stretch and the mip chain,
// and parsing the toon effect file (done on every stage entry).
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

#include "port/effect.h"
#include "port/image.h"
#include "port/texture_file.h"

namespace {

port::Image Gradient(uint32_t w, uint32_t h) {
  port::Image img;
  img.width = w;
  img.height = h;
  img.argb.resize(static_cast<size_t>(w) * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      img.argb[y * w + x] = 0xFF000000u | ((x & 0xFF) << 16) | ((y & 0xFF) << 8) | ((x ^ y) & 0xFF);
  return img;
}

void BM_LevelsPowerOfTwo256(benchmark::State& state) {
  port::Image img = Gradient(256, 256);
  for (auto _ : state) benchmark::DoNotOptimize(port::BuildTextureLevels(img, 0));
}
BENCHMARK(BM_LevelsPowerOfTwo256);

void BM_LevelsStretched640x480(benchmark::State& state) {
  port::Image img = Gradient(640, 480);
  for (auto _ : state) benchmark::DoNotOptimize(port::BuildTextureLevels(img, 0xFF000000));
}
BENCHMARK(BM_LevelsStretched640x480);

void BM_DecodeTgaRle256(benchmark::State& state) {
  std::vector<uint8_t> file = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 32, 0x28};
  for (int i = 0; i < 256 * 2; ++i) {
    file.push_back(0xFF);
    for (int k = 0; k < 4; ++k) file.push_back(static_cast<uint8_t>(i + k));
  }
  port::Image img;
  for (auto _ : state) benchmark::DoNotOptimize(port::DecodeTga(file.data(), file.size(), &img));
}
BENCHMARK(BM_DecodeTgaRle256);

void BM_ParseToonEffect(benchmark::State& state) {
  std::ifstream f(std::string(POMELVANE_RUN_DIR) + "/data/toonSkinEffect.fx");
  if (!f) f.open(std::string(POMELVANE_RUN_DIR) + "/../../data/toonSkinEffect.fx");
  std::stringstream s;
  s << f.rdbuf();
  const std::string text = s.str();
  for (auto _ : state) {
    port::fx::EffectDesc d;
    benchmark::DoNotOptimize(port::fx::ParseEffect(text, &d, nullptr));
  }
}
BENCHMARK(BM_ParseToonEffect);

}  // namespace
