#pragma once
#include "port/gpu.h"

// Writes one colour into the diffuse, ambient, specular and emissive colours
// of a material; the power stays. Does nothing for a null material.
void SetMaterialColor(port::gpu::Material* material, float r, float g, float b, float a);
