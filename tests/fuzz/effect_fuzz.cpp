// Feeds arbitrary text to the effect parser and builds the shader sources of
// what it accepts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "port/effect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  port::fx::EffectDesc desc;
  std::string error;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!port::fx::ParseEffect(text, &desc, &error)) return 0;
  for (const auto& [name, body] : desc.vertexShaders) port::fx::BuildShaderSource(desc, true, body);
  for (const auto& [name, body] : desc.fragmentShaders)
    port::fx::BuildShaderSource(desc, false, body);
  return 0;
}
