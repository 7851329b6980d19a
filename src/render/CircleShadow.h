#pragma once
// The round shadow drawn under every character.
#include "port/gpu.h"
#include "render/Texture.h"

// Loads "data/circle_shadow.png" unless it is already held.
void LoadCircleShadow(port::gpu::Device* device);
void ReleaseCircleShadow();
// The one shadow texture every character shares.
Texture& CircleShadowTexture();
// A size by size square (half-extent) on the x-z plane at (x, y, z) that
// darkens what lies below by the texture's colour.
void DrawCircleShadow(port::gpu::Device* device, float x, float y, float z, float size, int alpha);
