#include "platform/GraphicsDevice.h"

#include <cmath>
#include <cstring>
#include <string>

#include "port/window.h"

namespace {

// Message texts, Shift-JIS.
constexpr const char kCaptionError[] = "\x83\x47\x83\x89\x81\x5b";  // エラー
constexpr const char kMsgVideoFailed[] =
    "Direct3DCreate9"
    "\x8a\xd6\x90\x94\x8e\xb8\x94\x73";  // Direct3DCreate9関数失敗
constexpr const char kMsgDeviceFailed[] =
    "CreateDevice"
    "\x8a\xd6\x90\x94\x8e\xb8\x94\x73";      // CreateDevice関数失敗
constexpr const char kMsgViewportFailed[] =  // ビューポートの設定に失敗
    "\x83\x72\x83\x85\x81\x5b\x83\x7c\x81\x5b\x83\x67\x82\xcc\x90\xdd\x92\xe8\x82\xc9\x8e\xb8\x94"
    "\x73\n";
constexpr const char kMsgSpriteFailed[] =  // スプライトの初期化に失敗
    "\x83\x58\x83\x76\x83\x89\x83\x43\x83\x67\x82\xcc\x8f\x89\x8a\xfa\x89\xbb\x82\xc9\x8e\xb8\x94"
    "\x73\n";
constexpr const char kMsgFontFailed[] = "D3DXCreateFontIndirect FALSE";
constexpr const char kCaptionOk[] = "ok";

uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

}  // namespace

GraphicsDevice::GraphicsDevice() = default;

GraphicsDevice::~GraphicsDevice() { Release(); }

bool GraphicsDevice::Create(port::Window* window_, uint8_t fullScreen_, int32_t width_,
                            int32_t height_) {
  using namespace port::gpu;
  window = window_;
  fullScreen = fullScreen_;
  width = width_;
  height = height_;

  std::string error;
  if (!port::InitVideo(&error)) {
    Release();
    port::ShowMessageBox(window, kMsgVideoFailed, kCaptionError);
    return false;
  }
  direct3d = true;

  windowedParameters = PresentParameters{};
  windowedParameters.backBufferFormat = PresentParameters::kFormatUnknown;
  windowedParameters.backBufferCount = 1;
  windowedParameters.swapEffect = PresentParameters::kSwapDiscard;
  windowedParameters.deviceWindow = window;
  windowedParameters.windowed = 1;
  windowedParameters.enableAutoDepthStencil = 1;
  windowedParameters.autoDepthStencilFormat = PresentParameters::kFormatD16;
  windowedParameters.flags = PresentParameters::kFlagDiscardDepthStencil;

  fullScreenParameters = windowedParameters;
  fullScreenParameters.backBufferWidth = static_cast<uint32_t>(width);
  fullScreenParameters.backBufferHeight = static_cast<uint32_t>(height);
  fullScreenParameters.backBufferFormat = PresentParameters::kFormatR5G6B5;
  fullScreenParameters.windowed = 0;

  activeParameters = fullScreen ? fullScreenParameters : windowedParameters;

  // One context creation stands for every device-type fallback; software
  // vertex processing has no meaning on it.
  device = Device::Create(window, &error);
  if (!device) {
    Release();
    port::ShowMessageBox(window, kMsgDeviceFailed, kCaptionError);
    return false;
  }
  caps = device->GetCaps();
  // The device renders into a back buffer of its own, whatever the window.
  activeParameters.backBufferWidth = Device::kBackBufferWidth;
  activeParameters.backBufferHeight = Device::kBackBufferHeight;

  Viewport vp;
  vp.x = 0;
  vp.y = 0;
  vp.width = activeParameters.backBufferWidth;
  vp.height = activeParameters.backBufferHeight;
  vp.minZ = 0.0f;
  vp.maxZ = 1.0f;
  if (!device->SetViewport(vp)) {
    Release();
    port::ShowMessageBox(window, kMsgViewportFailed, kCaptionError);
    return false;
  }

  sprite = port::Sprite::Create(*device);
  if (!sprite) {
    Release();
    port::ShowMessageBox(window, kMsgSpriteFailed, kCaptionError);
    return false;
  }
  sprite->OnResetDevice();
  return true;
}

void GraphicsDevice::SetDefaultStates() {
  using namespace port::gpu;
  if (!device) return;

  Light light;
  light.type = LightDirectional;
  light.diffuse = {1, 1, 1, 0};
  light.specular = {1, 1, 1, 0};
  light.ambient = {0, 0, 0, 0};
  {
    const float x = -0.5f, y = -0.5f, z = 1.0f;
    const float len = std::sqrt(x * x + y * y + z * z);
    light.direction = port::Vec3(x / len, y / len, z / len);
  }
  device->SetRenderState(RenderState::SpecularEnable, 0);
  device->SetRenderState(RenderState::CullMode, CullCCW);
  device->SetLight(0, light);
  device->LightEnable(0, true);

  device->SetRenderState(RenderState::Lighting, 0);
  device->SetRenderState(RenderState::ShadeMode, ShadeGouraud);
  device->SetRenderState(RenderState::Ambient, 0xFF787878u);
  device->SetRenderState(RenderState::AlphaTestEnable, 1);
  device->SetRenderState(RenderState::AlphaFunc, CmpGreater);
  device->SetRenderState(RenderState::AlphaRef, 5);
  device->SetRenderState(RenderState::ZEnable, 1);
  device->SetRenderState(RenderState::ZFunc, CmpLess);
  device->SetRenderState(RenderState::ZWriteEnable, 1);
  device->SetRenderState(RenderState::NormalizeNormals, 0);
  device->SetRenderState(RenderState::AlphaBlendEnable, 1);
  device->SetRenderState(RenderState::SrcBlend, BlendSrcAlpha);
  device->SetRenderState(RenderState::DestBlend, BlendInvSrcAlpha);

  device->SetTextureStageState(0, StageState::AlphaOp, TexOpModulate);
  device->SetTextureStageState(0, StageState::AlphaArg1, TexArgTexture);
  device->SetSamplerState(0, SamplerState::AddressU, AddressWrap);
  device->SetSamplerState(0, SamplerState::AddressV, AddressWrap);
  device->SetTextureStageState(0, StageState::AlphaArg2, TexArgDiffuse);
  device->SetTextureStageState(0, StageState::ColorOp, TexOpModulate);
  device->SetTextureStageState(0, StageState::ColorArg1, TexArgTexture);
  device->SetTextureStageState(0, StageState::ColorArg2, TexArgDiffuse);
  device->SetSamplerState(0, SamplerState::MipFilter, FilterLinear);
  device->SetSamplerState(0, SamplerState::MagFilter, FilterLinear);
  device->SetSamplerState(0, SamplerState::MinFilter, FilterLinear);

  device->SetRenderState(RenderState::PointSpriteEnable, 1);
  device->SetRenderState(RenderState::PointScaleEnable, 1);
  device->SetRenderState(RenderState::PointSize, FloatBits(1.0f));
  device->SetRenderState(RenderState::PointSizeMin, FloatBits(0.0f));
  device->SetRenderState(RenderState::PointSizeMax, FloatBits(caps.maxPointSize));
  device->SetRenderState(RenderState::PointScaleA, FloatBits(0.0f));
  device->SetRenderState(RenderState::PointScaleB, FloatBits(1.0f));
  device->SetRenderState(RenderState::PointScaleC, FloatBits(1.0f));
}

bool GraphicsDevice::CreateFont(int32_t width_, int32_t height_) {
  if (!device) return false;
  // The font file stands for the system font: without it there is no font and no message.
  if (!port::Font::Available()) return false;
  font = port::Font::Create(*device, height_, width_);
  if (!font) {
    port::ShowMessageBox(nullptr, kMsgFontFailed, kCaptionOk);
    return false;
  }
  font->OnResetDevice();
  return true;
}

void GraphicsDevice::SetFullViewport(uint8_t clear) {
  SetViewport(0, 0, BackBufferWidth(), BackBufferHeight(), clear);
}

void GraphicsDevice::SetViewport(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t clear) {
  if (!device) return;
  port::gpu::Viewport vp;
  vp.x = static_cast<uint32_t>(x);
  vp.y = static_cast<uint32_t>(y);
  vp.width = static_cast<uint32_t>(w);
  vp.height = static_cast<uint32_t>(h);
  vp.minZ = 0.0f;
  vp.maxZ = 1.0f;
  device->SetViewport(vp);
  if (clear) Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu);
}

void GraphicsDevice::Clear(uint32_t flags, port::Argb colour) {
  if (device) device->Clear(flags, colour, 1.0f);
}

port::Status GraphicsDevice::Present() {
  if (!device) return port::kInvalidCall;
  // There is no lost device to reset: a failed present is simply reported.
  return device->Present() ? port::kOk : port::kFail;
}

void GraphicsDevice::DrawText(const char* text, int32_t x, int32_t y, port::Argb colour) {
  if (!font || !text) return;
  port::Rect rect;
  rect.left = x;
  rect.top = y;
  rect.right = width;
  rect.bottom = height;
  font->DrawText(text, -1, rect, port::FontExpandTabs, colour);
}

void GraphicsDevice::DrawTextF(int32_t x, int32_t y, const char* text, port::Argb colour) {
  if (!text) return;
  const std::string copy(text);
  DrawText(copy.c_str(), x, y, colour);
}

port::gpu::RenderTarget* GraphicsDevice::CreateRenderTarget(uint32_t w, uint32_t h) {
  return device ? device->CreateRenderTarget(w, h) : nullptr;
}

bool GraphicsDevice::BeginRenderTarget(port::gpu::RenderTarget* target) {
  if (!device || !target) return false;
  SavedTarget saved;
  saved.target = device->GetRenderTarget();
  if (saved.target) saved.target->AddRef();
  saved.viewport = device->GetViewport();
  savedTargets.push_back(saved);
  device->SetRenderTarget(target);
  return true;
}

void GraphicsDevice::EndRenderTarget() {
  if (savedTargets.empty()) return;
  SavedTarget saved = savedTargets.back();
  savedTargets.pop_back();
  if (device) {
    device->SetRenderTarget(saved.target);
    device->SetViewport(saved.viewport);
  }
  port::SafeRelease(saved.target);
}

void GraphicsDevice::Release() {
  while (!savedTargets.empty()) EndRenderTarget();
  font.reset();
  sprite.reset();
  device.reset();
  if (direct3d) {
    direct3d = false;
    port::ShutdownVideo();
  }
}
