// The boss's close-up: the figure posed at the origin and drawn from the
// front into the class's 128 by 128 render target, then shown as a picture
// beside the announcement.
#include "actors/Boss.h"
#include "platform/GraphicsDevice.h"
#include "port/gpu.h"
#include "port/sprite.h"

namespace {

struct CloseUpNumbers {
  port::Vec3 eye{0.0f, -0.3f, 3.15f};
  port::Vec3 at{0.0f, -0.3f, 0.0f};
  float scale = 1.5f;
  port::Argb clear = 0xFF0096FFu;      // opaque sky blue
  port::Vec2 shownAt{400.0f, 150.0f};  // screen pixels
};
constexpr CloseUpNumbers kCloseUp;

}  // namespace

void BossClass::MakeCloseUpTarget(port::gpu::Device* device) {
  ReleaseCloseUpTarget();
  if (device) closeUp = device->CreateRenderTarget(kCloseUpSize, kCloseUpSize);
}

void BossClass::ReleaseCloseUpTarget() { port::SafeRelease(closeUp); }

void Boss::DrawCloseUp(const port::Matrix& projection) {
  port::gpu::RenderTarget* target = bossClass.closeUp;
  port::gpu::Device* device = shared.device;
  // Without a target of the game's device there is no close-up; the entrance
  // goes on without it.
  if (!target || !device || device != g_graphics.GetDevice()) return;
  SkinnedModel& model = shared.model;
  const port::Matrix closeView =
      port::MatrixLookAtLH(kCloseUp.eye, kCloseUp.at, port::Vec3(0.0f, 1.0f, 0.0f));
  model.SetView(closeView);
  model.SetWorld(port::MatrixScaling(kCloseUp.scale, kCloseUp.scale, kCloseUp.scale));
  // A levy pose is held, not wrapped, as in the second pass.
  Pose(animId != kAnimLevy);
  if (!g_graphics.BeginRenderTarget(target)) return;
  g_graphics.Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, kCloseUp.clear);
  port::gpu::Texture* stages[2] = {device->GetTexture(0), device->GetTexture(1)};
  for (int i = 0; i < 2; ++i) {
    if (stages[i]) stages[i]->AddRef();
    device->SetTexture(i, nullptr);
  }
  const port::Matrix view = device->GetTransform(port::gpu::TransformType::View);
  device->SetTransform(port::gpu::TransformType::View, closeView);
  inCloseUp_ = true;
  Render();
  inCloseUp_ = false;
  device->SetTransform(port::gpu::TransformType::View, view);
  DrawCloseUpExtras(closeView, projection);
  g_graphics.EndRenderTarget();
  for (int i = 0; i < 2; ++i) {
    device->SetTexture(i, stages[i]);
    port::SafeRelease(stages[i]);
  }
  closeUpDrawn = 1;
}

void Boss::DrawCloseUpPicture(port::Sprite* sprite) const {
  port::gpu::RenderTarget* target = bossClass.closeUp;
  if (!target || !closeUpDrawn) return;
  const port::Vec2 scale{1.0f, 1.0f};
  sprite->Draw(target->GetTexture(), nullptr, &scale, nullptr, 0.0f, &kCloseUp.shownAt,
               0xFFFFFFFFu);
}
