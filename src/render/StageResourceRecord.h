#pragma once
// Resources the stage field keeps for itself: an effect holder, a size and
// five resources. Nothing fills it yet; it is cleared when the field is built
// and released with it.
#include <cstdint>

#include "port/resource.h"
#include "render/EffectHolder.h"

struct StageResourceRecord {
  EffectHolder effect;
  uint32_t size = 1024;
  port::Resource* resources[5] = {};

  void Init();
  void Release();
};
