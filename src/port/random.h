#pragma once
// The classic 15-bit linear congruential generator the game's random sequence
// is built on (state = state * 214013 + 2531011, value = bits 16..30).
#include <cstdint>

namespace port {
void CrtSrand(uint32_t seed);
int CrtRand();  // 0..32767
constexpr int kCrtRandMax = 32767;
}  // namespace port
