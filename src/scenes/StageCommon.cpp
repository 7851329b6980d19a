// What the stage scenes and the sokai stage share (scenes/StageScene.h).
#include "actors/Player.h"
#include "app/StagePhase.h"
#include "platform/GraphicsDevice.h"
#include "platform/SoundManager.h"
#include "render/Camera.h"
#include "render/SkinnedModel.h"
#include "scenes/StageScene.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"

namespace stage {

namespace {

constexpr port::Argb kClearBlue = 0xFF0000FFu;
// A 512 by 512 picture stretched over the 640 by 480 screen.
constexpr port::Vec2 kLoadingScale{1.25f, 0.9375f};

// In load order; the sokai stage adds the last.
constexpr const char* kHudFiles[kSokaiHudTextures] = {
    "texture/stage_text.png",
    "texture/font.png",
    "texture/battle/charge_gazi_waku.png",
    "texture/battle/charge_gazi_bar.tga",
    "texture/battle/piyori_waku.png",
    "texture/battle/poyori_gazi.png",
    "texture/pausetext.png",
    "texture/cursor.png",
    "texture/white.png",
    "texture/sokaitext.png",
};

constexpr int32_t kWarnBelow = 1100;  // the tick sounds on each hundred below this
constexpr int32_t kBonusStep = 100;

}  // namespace

void ShowLoadingPicture(const char* path) {
  Texture picture;
  picture.Load(g_graphics.GetDevice(), path, 0);
  g_graphics.Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, kClearBlue);
  if (port::Sprite* sprite = g_graphics.GetSprite()) {
    sprite->Begin();
    picture.DrawSprite(sprite, &kLoadingScale, nullptr, nullptr, 0xFFFFFFFFu);
    sprite->End();
  }
  g_graphics.Present();
}

void LoadHudTextures(Application& app, int count) {
  app.ReleaseSceneTextures();
  app.sceneTextures.resize(static_cast<size_t>(count));
  for (int i = 0; i < count && i < kSokaiHudTextures; ++i)
    app.sceneTextures[static_cast<size_t>(i)].Load(g_graphics.GetDevice(), kHudFiles[i], 0);
}

Texture* HudTexture(Application& app, int index) {
  if (index < 0 || index >= static_cast<int>(app.sceneTextures.size())) return nullptr;
  return &app.sceneTextures[static_cast<size_t>(index)];
}

int RenderMethod(const Application& app) {
  return app.toonEffectAvailable == 1 ? SkinnedModel::kMethodToon : SkinnedModel::kMethodSoftware;
}

EnemyLoad ClassLoad(const Application& app) {
  EnemyLoad load;
  load.method = RenderMethod(app);
  load.device = g_graphics.GetDevice();
  load.caps = &g_graphics.GetCaps();
  load.effect = g_characters.GetToonEffect();
  load.toonRamp = g_characters.GetToonRamp();
  return load;
}

void PlayMusic(const char* path) {
  g_sound.LoadMusic(path);
  g_sound.PlaySound(kMusicSoundId, kMusicOffset);
}

void RunClock(Application& app, bool countUsed) {
  --app.timeLeft;
  if (countUsed) ++app.stageMode.framesUsed;
  if (app.bonus > 0) {
    app.timeLeft += kBonusStep;
    app.bonus -= kBonusStep;
  }
  if (app.timeLeft > 0 && app.timeLeft < kWarnBelow && app.timeLeft % 100 == 0)
    g_sound.PlaySound(kSoundTick, kCueOffset);
  if (app.timeLeft < 0) {
    g_sound.PlaySound(kSoundTimeOver, kTimeOverOffset);
    app.stagePhase = kPhaseTimeOver;
    app.phaseFrame = 0;
    app.timeLeft = 0;
    app.bonus = 0;
  }
}

void UpdateWorld() {
  if (port::gpu::Device* device = g_graphics.GetDevice()) {
    device->SetTransform(port::gpu::TransformType::View, g_camera.GetView());
    device->SetTransform(port::gpu::TransformType::Projection, g_camera.GetProjection());
  }
  g_player.Update();
  g_characters.UpdateAll();
  g_objects.UpdateAll();
  g_effects.UpdateAll();
}

void ReleaseWorld(Application& app) {
  app.ReleaseSceneTextures();
  g_stageField.Release();
  g_characters.Clear();
  g_objects.Clear();
  g_effects.Clear();
}

}  // namespace stage
