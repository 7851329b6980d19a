// pomelvane_datagen <outdir> <sourcedir>: writes the stand-in data set into
// outdir, the folder the game runs in.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "datagen/generate.h"
#include "datagen/manifest.h"

namespace {

constexpr const char* kFont = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";

}  // namespace

int main(int argc, char** argv) {
  using namespace datagen;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <output folder> <source folder>\n", argv[0]);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  try {
    Output out(argv[1]);
    GenerateCharacters(out);
    GenerateProps(out);
    GenerateFields(out);
    GeneratePlacements(out);
    GenerateTextures(out, kFont);
    GenerateSounds(out);
    GenerateMusic(out);
    std::filesystem::path fx = std::filesystem::path(argv[2]) / "data" / "toonSkinEffect.fx";
    if (std::filesystem::exists(fx))
      out.Copy(fx, "data/toonSkinEffect.fx");
    else
      std::fprintf(stderr,
                   "pomelvane_datagen: warning: %s is missing; the toon effect is not copied\n",
                   fx.string().c_str());
    int missing = 0;
    for (const ManifestEntry& e : Manifest())
      if (!out.Has(e.path) && e.kind != DataKind::Effect) {
        std::fprintf(stderr, "pomelvane_datagen: nothing generated for %s\n", e.path.c_str());
        ++missing;
      }
    if (missing) return 1;
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("pomelvane_datagen: %zu files, %.2f MB in %s, %.2f s\n", out.Written().size(),
                static_cast<double>(out.BytesWritten()) / (1024.0 * 1024.0),
                out.Root().string().c_str(), secs);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pomelvane_datagen: error: %s\n", e.what());
    return 1;
  }
  return 0;
}
