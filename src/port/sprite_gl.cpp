// 2D sprites and text, drawn through the device's fixed-function pipeline.
#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include <sys/stat.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "port/sprite.h"
#include "port/text_encoding.h"

namespace port {

namespace {

using namespace gpu;

struct SpriteVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};
static_assert(sizeof(SpriteVertex) == 24);
constexpr uint32_t kSpriteFvf = fvf::XYZ | fvf::Diffuse | fvf::Tex1;

constexpr RenderState kSavedStates[] = {RenderState::Lighting,         RenderState::CullMode,
                                        RenderState::ZEnable,          RenderState::ZWriteEnable,
                                        RenderState::AlphaBlendEnable, RenderState::SrcBlend,
                                        RenderState::DestBlend};
constexpr StageState kSavedStageStates[] = {StageState::ColorOp,   StageState::ColorArg1,
                                            StageState::ColorArg2, StageState::AlphaOp,
                                            StageState::AlphaArg1, StageState::AlphaArg2};

class GLSprite final : public Sprite {
 public:
  explicit GLSprite(Device& device) : device_(device) {}
  ~GLSprite() override {
    if (begun_) End();
  }

  void Begin() override {
    if (begun_ || Device::Current() != &device_) return;
    begun_ = true;
    for (size_t i = 0; i < std::size(kSavedStates); ++i)
      savedRs_[i] = device_.GetRenderState(kSavedStates[i]);
    for (int s = 0; s < Device::kStages; ++s)
      for (size_t i = 0; i < std::size(kSavedStageStates); ++i)
        savedTss_[s][i] = device_.GetTextureStageState(s, kSavedStageStates[i]);
    savedAddressU_ = device_.GetSamplerState(0, SamplerState::AddressU);
    savedAddressV_ = device_.GetSamplerState(0, SamplerState::AddressV);
    for (int t = 0; t < 3; ++t)
      savedTransforms_[t] = device_.GetTransform(static_cast<TransformType>(t));
    savedTexture_ = device_.GetTexture(0);
    if (savedTexture_) savedTexture_->AddRef();
    savedLayout_ = device_.GetVertexLayout();
    savedProgram_ = device_.GetShaderProgram();

    device_.SetRenderState(RenderState::Lighting, 0);
    device_.SetRenderState(RenderState::CullMode, CullNone);
    device_.SetRenderState(RenderState::ZEnable, 0);
    device_.SetRenderState(RenderState::ZWriteEnable, 0);
    device_.SetRenderState(RenderState::AlphaBlendEnable, 1);
    device_.SetRenderState(RenderState::SrcBlend, BlendSrcAlpha);
    device_.SetRenderState(RenderState::DestBlend, BlendInvSrcAlpha);
    device_.SetTextureStageState(0, StageState::ColorOp, TexOpModulate);
    device_.SetTextureStageState(0, StageState::ColorArg1, TexArgTexture);
    device_.SetTextureStageState(0, StageState::ColorArg2, TexArgDiffuse);
    device_.SetTextureStageState(0, StageState::AlphaOp, TexOpModulate);
    device_.SetTextureStageState(0, StageState::AlphaArg1, TexArgTexture);
    device_.SetTextureStageState(0, StageState::AlphaArg2, TexArgDiffuse);
    device_.SetTextureStageState(1, StageState::ColorOp, TexOpDisable);
    device_.SetTextureStageState(1, StageState::AlphaOp, TexOpDisable);
    device_.SetSamplerState(0, SamplerState::AddressU, AddressClamp);
    device_.SetSamplerState(0, SamplerState::AddressV, AddressClamp);
    device_.SetShaderProgram(nullptr);
    device_.SetFVF(kSpriteFvf);

    // Back-buffer pixels, y down, over the current viewport.
    const Viewport& vp = device_.GetViewport();
    const float w = static_cast<float>(vp.width ? vp.width : 1),
                h = static_cast<float>(vp.height ? vp.height : 1);
    Matrix identity;
    for (int i = 0; i < 4; ++i) identity.m[i][i] = 1;
    Matrix ortho;
    ortho.m[0][0] = 2.0f / w;
    ortho.m[1][1] = -2.0f / h;
    ortho.m[2][2] = 1.0f;
    ortho.m[3][0] = -1.0f - 2.0f * static_cast<float>(vp.x) / w;
    ortho.m[3][1] = 1.0f + 2.0f * static_cast<float>(vp.y) / h;
    ortho.m[3][3] = 1.0f;
    device_.SetTransform(TransformType::World, identity);
    device_.SetTransform(TransformType::View, identity);
    device_.SetTransform(TransformType::Projection, ortho);
  }

  void End() override {
    if (!begun_) return;
    begun_ = false;
    if (Device::Current() != &device_) {
      SafeRelease(savedTexture_);
      return;
    }
    for (size_t i = 0; i < std::size(kSavedStates); ++i)
      device_.SetRenderState(kSavedStates[i], savedRs_[i]);
    for (int s = 0; s < Device::kStages; ++s)
      for (size_t i = 0; i < std::size(kSavedStageStates); ++i)
        device_.SetTextureStageState(s, kSavedStageStates[i], savedTss_[s][i]);
    device_.SetSamplerState(0, SamplerState::AddressU, savedAddressU_);
    device_.SetSamplerState(0, SamplerState::AddressV, savedAddressV_);
    for (int t = 0; t < 3; ++t)
      device_.SetTransform(static_cast<TransformType>(t), savedTransforms_[t]);
    device_.SetTexture(0, savedTexture_);
    SafeRelease(savedTexture_);
    device_.SetVertexLayout(savedLayout_);
    device_.SetShaderProgram(savedProgram_);
  }

  void Draw(Texture* texture, const Rect* source, const Vec2* scaling, const Vec2* rotationCentre,
            float rotation, const Vec2* translation, Argb colour) override {
    if (!texture || Device::Current() != &device_) return;
    const bool outside = !begun_;
    if (outside) Begin();
    Rect r;
    if (source) {
      r = *source;
    } else {
      r.right = static_cast<int32_t>(texture->Width());
      r.bottom = static_cast<int32_t>(texture->Height());
    }
    const float tw = static_cast<float>(texture->Width()),
                th = static_cast<float>(texture->Height());
    const float w = static_cast<float>(r.right - r.left), h = static_cast<float>(r.bottom - r.top);
    const float u0 = r.left / tw, v0 = r.top / th, u1 = r.right / tw, v1 = r.bottom / th;
    const float sx = scaling ? scaling->x : 1.0f, sy = scaling ? scaling->y : 1.0f;
    const float cx = rotationCentre ? rotationCentre->x : 0.0f,
                cy = rotationCentre ? rotationCentre->y : 0.0f;
    const float tx = translation ? translation->x : 0.0f, ty = translation ? translation->y : 0.0f;
    const float c = std::cos(rotation), s = std::sin(rotation);
    // p * Scale * T(-centre) * RotZ * T(centre) * T(translation), row vectors.
    auto place = [&](float x, float y, float u, float v) {
      const float px = x * sx - cx, py = y * sy - cy;
      SpriteVertex out;
      out.x = px * c - py * s + cx + tx;
      out.y = px * s + py * c + cy + ty;
      out.z = 0.0f;
      out.colour = colour;
      out.u = u;
      out.v = v;
      return out;
    };
    const SpriteVertex quad[4] = {place(0, 0, u0, v0), place(w, 0, u1, v0), place(w, h, u1, v1),
                                  place(0, h, u0, v1)};
    device_.SetTexture(0, texture);
    device_.SetFVF(kSpriteFvf);
    device_.DrawPrimitiveUP(TriangleFan, 2, quad, sizeof(SpriteVertex));
    if (outside) End();
  }

 private:
  Device& device_;
  bool begun_ = false;
  uint32_t savedRs_[std::size(kSavedStates)] = {};
  uint32_t savedTss_[Device::kStages][std::size(kSavedStageStates)] = {};
  uint32_t savedAddressU_ = 0, savedAddressV_ = 0;
  Matrix savedTransforms_[3];
  Texture* savedTexture_ = nullptr;
  VertexLayout savedLayout_;
  ShaderProgram* savedProgram_ = nullptr;
};

// ---------------------------------------------------------------- font

const char* const kFontPaths[] = {
    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
    "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf",
    "/usr/share/fonts/opentype/ipaexfont-gothic/ipaexg.ttf",
    "/usr/share/fonts/truetype/ipafont-gothic/ipag.ttf",
};

const char* FindFontFile() {
  for (const char* p : kFontPaths) {
    struct stat st;
    if (stat(p, &st) == 0 && S_ISREG(st.st_mode)) return p;
  }
  return nullptr;
}

class TtfFont final : public Font {
 public:
  TtfFont(Device& device, TTF_Font* font, int cellHeight)
      : device_(device), font_(font), cellHeight_(cellHeight), sprite_(device) {}
  ~TtfFont() override {
    SafeRelease(cached_);
    TTF_CloseFont(font_);
    TTF_Quit();
  }

  int DrawText(const char* textSjis, int length, const Rect& rect, uint32_t format,
               Argb colour) override {
    if (!textSjis || Device::Current() != &device_) return 0;
    const size_t n = length < 0 ? std::strlen(textSjis) : static_cast<size_t>(length);
    const std::string_view sjis(textSjis, n);
    const int rw = rect.right - rect.left, rh = rect.bottom - rect.top;
    if (rw <= 0 || rh <= 0 || n == 0) return 0;
    if (!cached_ || sjis != cachedText_ || rw != cachedW_ || rh != cachedH_ ||
        format != cachedFormat_) {
      SafeRelease(cached_);
      cachedText_.assign(sjis);
      cachedW_ = rw;
      cachedH_ = rh;
      cachedFormat_ = format;
      cachedLines_ = Render(Lines(SjisToUtf8(sjis), format), rw, rh);
    }
    if (!cached_) return cachedLines_ * cellHeight_;
    const Vec2 at{static_cast<float>(rect.left), static_cast<float>(rect.top)};
    sprite_.Draw(cached_, nullptr, nullptr, nullptr, 0.0f, &at, colour);
    return cachedLines_ * cellHeight_;
  }

 private:
  static std::vector<std::string> Lines(const std::string& utf8, uint32_t format) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < utf8.size(); ++i) {
      const char ch = utf8[i];
      if ((ch == '\n' || ch == '\r') && !(format & FontSingleLine)) {
        if (ch == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        lines.emplace_back();
      } else if (ch == '\t' && (format & FontExpandTabs)) {
        // Tab stops every eight half-width cells.
        size_t column = 0;
        for (unsigned char b : lines.back())
          if ((b & 0xC0) != 0x80) ++column;
        lines.back().append(8 - column % 8, ' ');
      } else if (ch != '\n' && ch != '\r') {
        lines.back().push_back(ch);
      }
    }
    return lines;
  }

  // Renders the lines white into one texture clipped to w by h; returns the line count.
  int Render(const std::vector<std::string>& lines, int w, int h) {
    const int lineHeight = cellHeight_;
    int width = 0;
    std::vector<SDL_Surface*> surfaces;
    for (const std::string& line : lines) {
      SDL_Surface* s = nullptr;
      if (!line.empty()) {
        SDL_Surface* rendered =
            TTF_RenderUTF8_Blended(font_, line.c_str(), SDL_Color{255, 255, 255, 255});
        if (rendered) {
          s = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
          SDL_FreeSurface(rendered);
        }
      }
      if (s) width = std::max(width, s->w);
      surfaces.push_back(s);
    }
    const int texW = std::min(width, w);
    const int texH = std::min(static_cast<int>(lines.size()) * lineHeight, h);
    if (texW > 0 && texH > 0) {
      std::vector<uint32_t> pixels(static_cast<size_t>(texW) * texH, 0x00FFFFFFu);
      for (size_t i = 0; i < surfaces.size(); ++i) {
        SDL_Surface* s = surfaces[i];
        if (!s) continue;
        const int top = static_cast<int>(i) * lineHeight;
        for (int y = 0; y < s->h && y < lineHeight && top + y < texH; ++y) {
          const uint32_t* src = reinterpret_cast<const uint32_t*>(
              static_cast<const uint8_t*>(s->pixels) + y * s->pitch);
          std::memcpy(&pixels[static_cast<size_t>(top + y) * texW], src,
                      sizeof(uint32_t) * static_cast<size_t>(std::min(s->w, texW)));
        }
      }
      cached_ = device_.CreateTexture(static_cast<uint32_t>(texW), static_cast<uint32_t>(texH), 1);
      if (cached_) cached_->Update(0, pixels.data());
    }
    for (SDL_Surface* s : surfaces)
      if (s) SDL_FreeSurface(s);
    return static_cast<int>(lines.size());
  }

  Device& device_;
  TTF_Font* font_;
  int cellHeight_;
  GLSprite sprite_;
  Texture* cached_ = nullptr;
  std::string cachedText_;
  int cachedW_ = 0, cachedH_ = 0, cachedLines_ = 0;
  uint32_t cachedFormat_ = 0;
};

}  // namespace

std::unique_ptr<Sprite> Sprite::Create(Device& device) {
  if (Device::Current() != &device) return nullptr;
  return std::make_unique<GLSprite>(device);
}

bool Font::Available() { return FindFontFile() != nullptr; }

std::unique_ptr<Font> Font::Create(Device& device, int height, int width) {
  const char* path = FindFontFile();
  if (!path || height <= 0 || height > 512 || Device::Current() != &device) return nullptr;
  if (TTF_Init() != 0) return nullptr;
  // The cell height is the line height; shrink the size until the line fits.
  TTF_Font* font = nullptr;
  for (int size = height; size > 0; --size) {
    font = TTF_OpenFont(path, size);
    if (!font) break;
    if (TTF_FontLineSkip(font) <= height || size == 1) break;
    TTF_CloseFont(font);
    font = nullptr;
  }
  if (!font) {
    TTF_Quit();
    return nullptr;
  }
  (void)width;  // half-width glyphs of this gothic face are half the cell height
  return std::make_unique<TtfFont>(device, font, height);
}

}  // namespace port
