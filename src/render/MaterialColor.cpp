#include "render/MaterialColor.h"

void SetMaterialColor(port::gpu::Material* material, float r, float g, float b, float a) {
  if (!material) return;
  const port::ColorValue c{r, g, b, a};
  material->diffuse = c;
  material->ambient = c;
  material->specular = c;
  material->emissive = c;
}
