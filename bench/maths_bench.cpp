#include <benchmark/benchmark.h>

#include "platform/MathHelpers.h"
#include "port/math.h"
#include "port/random.h"

namespace {

void BM_ProjectToScreen(benchmark::State& state) {
  const port::Matrix view = port::MatrixLookAtLH({0, 10, -40}, {0, 0, 0}, {0, 1, 0});
  const port::Matrix proj = port::MatrixPerspectiveFovLH(0.785398f, 4.0f / 3.0f, 1, 250);
  float x = 0;
  for (auto _ : state) {
    x += 0.01f;
    benchmark::DoNotOptimize(ProjectToScreen(port::MatrixTranslation(x, 0, 0), view, proj));
  }
}
BENCHMARK(BM_ProjectToScreen);

void BM_YawToAndTurn(benchmark::State& state) {
  float a = 0;
  for (auto _ : state) {
    a += 1.0f;
    const float yaw = YawTo(0, 0, a, 5);
    benchmark::DoNotOptimize(TurnToward(yaw, a, 5));
  }
}
BENCHMARK(BM_YawToAndTurn);

void BM_RandomInt(benchmark::State& state) {
  port::CrtSrand(1);
  for (auto _ : state) benchmark::DoNotOptimize(RandomInt(360));
}
BENCHMARK(BM_RandomInt);

void BM_MatrixInverse(benchmark::State& state) {
  const port::Matrix m = port::MatrixLookAtLH({0, 10, -40}, {0, 0, 0}, {0, 1, 0}) *
                         port::MatrixPerspectiveFovLH(0.785398f, 4.0f / 3.0f, 1, 250);
  port::Matrix out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(port::MatrixInverse(m, &out));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MatrixInverse);

void BM_QuatSquad(benchmark::State& state) {
  const port::Quat q0{0, 0.1f, 0, 0.995f}, q1{0, 0.3f, 0, 0.954f}, q2{0.2f, 0.3f, 0, 0.932f},
      q3{0.4f, 0.2f, 0, 0.894f};
  port::Quat a, b, c;
  float t = 0;
  for (auto _ : state) {
    port::QuatSquadSetup(&a, &b, &c, q0, q1, q2, q3);
    t = t > 1 ? 0 : t + 0.01f;
    benchmark::DoNotOptimize(port::QuatSquad(q1, a, b, c, t));
  }
}
BENCHMARK(BM_QuatSquad);

}  // namespace
