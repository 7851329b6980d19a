#include "actors/ScreenPicture.h"

#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "render/Camera.h"

using port::gpu::RenderState;

void ScreenPicture::Load(port::gpu::Device* device) {
  device_ = device;
  texture_.Load(device, path_, 0);
  quad_.Create(device);
}

void ScreenPicture::Unload() {
  texture_.Release();
  quad_.Release();
}

port::Vec4 ScreenPicture::Clip(const port::Vec3& at) {
  return ProjectToClipW(port::MatrixTranslation(at.x, at.y, at.z), g_camera.GetView(),
                        g_camera.GetProjection());
}

void ScreenPicture::Draw(const port::Vec4& c, float sx, float sy, float spinDegrees) {
  if (!device_ || device_ != port::gpu::Device::Current() || !texture_.IsLoaded() ||
      !quad_.Buffer()) {
    return;
  }
  port::Matrix unproject;
  if (!port::MatrixInverse(g_camera.GetView() * g_camera.GetProjection(), &unproject)) return;
  const port::Matrix world = port::MatrixScaling(sx, sy, 1.0f) *
                             port::MatrixRotationZ(spinDegrees * kDegToRad) *
                             port::MatrixTranslation(c.x, c.y, c.z / c.w) * unproject;
  const uint32_t lighting = device_->GetRenderState(RenderState::Lighting);
  device_->SetRenderState(RenderState::Lighting, 0);
  quad_.Draw(world, texture_.Get());
  device_->SetRenderState(RenderState::Lighting, lighting);
}
