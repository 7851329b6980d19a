#pragma once
// The toon look of a skinned model: the outline pass (front faces culled, no
// depth writes), then the shaded pass, with the ramp in texture stage 0. A
// tint colours the shaded pass instead of the model's own materials. The
// cull mode, depth writes and stage 0 are put back as they were.
#include "port/gpu.h"
#include "port/math.h"

class EffectHolder;
class SkinnedModel;
class Texture;

void DrawToonModel(port::gpu::Device* device, SkinnedModel& model, EffectHolder& effect,
                   Texture* ramp, const port::Vec4* tint);
