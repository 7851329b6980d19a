// The stage introduction (scene 2): the next stage's ground seen from above
// while the camera circles once and closes in, the stage's captions, and two
// pointers at places of the introduction placement file (the start, and the
// goal). After 250 frames, or 20 frames after a skip, the stage follows. For
// the sokai stage it hands over at once.
#include "app/StagePhase.h"
#include "platform/GraphicsDevice.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "render/Camera.h"
#include "render/UiDraw.h"
#include "scenes/MenuScene.h"
#include "scenes/StageScene.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace {

enum IntroTexture { kCaptions = 0, kPointers = 1 };

struct Caption {
  int sprite;
  float x, y;
};

struct IntroConfig {
  int32_t target;  // the scene the introduction leads to
  int32_t fieldDrawMode;
  const char* ground;
  const char* placement;
  float positionScale;  // the ground of the draw mode is drawn this much smaller
  float pitch;          // degrees
  Caption captions[2];
  int captionCount;
};

// Stage 1 is also what any unknown target shows and leads to.
const IntroConfig kIntros[3] = {
    {SceneStage1,
     1,
     "Xfile/stage1/stage1.X",
     "AppearData/stage1/stage1_introduce.arg",
     1.0f,
     -40,
     {{12, 120, 75}},
     1},
    {SceneStage2,
     3,
     "Xfile/stage2/stage2.X",
     "AppearData/stage2/stage2_introduce.arg",
     0.4f,
     -70,
     {{13, 138, 75}},
     1},
    {SceneStage3,
     5,
     "Xfile/stage3/stage3.X",
     "AppearData/stage3/stage3_introduce.arg",
     0.8f,
     -40,
     {{14, 90, 75}, {15, 426, 75}},
     2},
};

const IntroConfig& IntroOf(int32_t target) {
  for (const IntroConfig& c : kIntros)
    if (c.target == target) return c;
  return kIntros[0];
}

constexpr const char* kMusic = "sound/bgm/nyu-dou_gm.mid";
constexpr float kCaptionScale = 0.8f;
constexpr Caption kHeading = {11, 198, 10};

// The camera's move: a full turn, then closer.
constexpr float kStartDistance = 120.0f, kEndDistance = 80.0f;
constexpr float kStartYaw = 60.0f, kEndYaw = 420.0f;
constexpr float kTurnStep = 4.0f, kCloseStep = 4.0f;
constexpr int32_t kTurnFrames = 90, kCloseFrames = 100;

// The timeline, in scene frames.
constexpr int32_t kHeadingFrame = 10;  // sound, then the heading from the next frame
constexpr int32_t kCaptionFrame = 60;
constexpr int32_t kPointerAFrame = 130;
constexpr int32_t kPointerBFrame = 170;
constexpr int32_t kSkipTo = 230;
constexpr int32_t kHandOverFrame = 250;
constexpr int32_t kCaptionSound = 0, kPointerSound = 3;  // system sounds
constexpr int32_t kSoundOffset = kQuieter10dB;

constexpr int kConfirmCounter = 0;

// A pointer: the mark, the arrow and the label, each placed from the
// screen point of its place.
struct PointerPart {
  port::Vec2 scale;
  port::Vec2 offset;
  float rotation;  // radians; 0 draws unrotated
  port::Rect source;
};
constexpr PointerPart kPointerA[3] = {
    {{0.3f, 0.3f}, {-15, -21}, 0.0f, {129, 126, 232, 256}},
    {{0.4f, 0.4f}, {-3, -18}, 0.91f, {0, 72, 106, 115}},
    {{0.4f, 0.5f}, {-6, -75}, 0.0f, {0, 0, 256, 58}},
};
constexpr PointerPart kPointerB[3] = {
    {{0.3f, 0.3f}, {-15, -21}, 0.0f, {21, 123, 127, 253}},
    {{0.4f, 0.4f}, {-12, -3}, 2.35f, {0, 72, 106, 115}},
    {{0.5f, 0.5f}, {-69, -69}, 0.0f, {138, 60, 247, 127}},
};

void DrawPointer(Texture* texture, const port::Vec3& place, const PointerPart (&parts)[3]) {
  if (!texture) return;
  const port::Vec3 screen = ProjectToScreen(port::MatrixTranslation(place.x, place.y, place.z),
                                            g_camera.GetView(), g_camera.GetProjection());
  port::Sprite* sprite = g_graphics.GetSprite();
  for (const PointerPart& p : parts) {
    const port::Vec2 at{screen.x + p.offset.x, screen.y + p.offset.y};
    if (p.rotation != 0.0f) {
      texture->DrawSpriteRotated(sprite, &p.scale, &at, p.rotation, &p.source, kUiWhite);
    } else {
      texture->DrawSprite(sprite, &p.scale, &at, &p.source, kUiWhite);
    }
  }
}

void DrawCaption(Application& app, const Caption& c) {
  menu::Sprite(stage::HudTexture(app, kCaptions), c.sprite, c.x, c.y, kCaptionScale, kCaptionScale);
}

// The introduction file's places, on the ground drawn `scale` times smaller.
void ScalePlaces(Application& app, float scale) {
  for (AppearRecord& r : app.appearRecords) {
    r.x *= scale;
    r.y *= scale;
    r.z *= scale;
  }
}

// The pointers' places: the last record of kind 0 and the last of any other.
struct PointerPlaces {
  port::Vec3 a, b;
  bool hasA = false, hasB = false;
};

PointerPlaces PlacesOf(const Application& app) {
  PointerPlaces p;
  for (const AppearRecord& r : app.appearRecords) {
    if (r.kind == 0) {
      p.a = {r.x, r.y, r.z};
      p.hasA = true;
    } else {
      p.b = {r.x, r.y, r.z};
      p.hasB = true;
    }
  }
  return p;
}

void HandOver(Application& app, int32_t scene) {
  app.requestedScene = scene;
  app.currentScene = SceneNone;
  app.LeaveScene();
}

}  // namespace

void Application::InitStageIntro() {
  port::gpu::Device* device = g_graphics.GetDevice();
  sceneFrame = 0;
  menus.keys[kConfirmCounter] = 1;  // a confirm held from the scene before does not skip
  g_sun.Init(device, 1);
  g_sun.SetPosition(70, 90, 100);
  g_camera.SetDevice(device);
  g_camera.SetMode(Camera::kOrbit);
  menu::LoadSceneTextures(*this, {"texture/stageintroduce/stage_introduce1.png",
                                  "texture/stageintroduce/stage_introduce2.png"});
  if (stageMode.introTarget != SceneSokai) {
    const IntroConfig& cfg = IntroOf(stageMode.introTarget);
    g_stageField.Init(device);
    g_stageField.SetDrawMode(cfg.fieldDrawMode);
    g_stageField.LoadGround(cfg.ground);
    stageMode.introCamera = {0.0f, 0.0f, 0.0f, kStartDistance, cfg.pitch, kStartYaw};
    LoadAppearData(cfg.placement);
    ScalePlaces(*this, cfg.positionScale);
  }
  stage::PlayMusic(kMusic);
}

void Application::UpdateStageIntro() {
  ++sceneFrame;
  if (sceneFrame <= kTurnFrames) {
    stageMode.introCamera.yaw += kTurnStep;
  } else if (sceneFrame <= kCloseFrames) {
    stageMode.introCamera.distance -= kCloseStep;
  }
  if (stageMode.introTarget != SceneSokai) {
    if (sceneFrame == kHeadingFrame || sceneFrame == kCaptionFrame)
      g_sound.PlaySystemSound(kCaptionSound, kSoundOffset);
    if (sceneFrame == kPointerAFrame || sceneFrame == kPointerBFrame)
      g_sound.PlaySystemSound(kPointerSound, kSoundOffset);
  }
  if (stageMode.introTarget == SceneSokai) {
    HandOver(*this, SceneSokai);
    return;
  }
  if (sceneFrame >= kHandOverFrame) {
    HandOver(*this, IntroOf(stageMode.introTarget).target);
    return;
  }
  InputStageIntro();
  g_camera.SetDistance(stageMode.introCamera.distance);
  g_camera.SetPosition(stageMode.introCamera.targetX, stageMode.introCamera.targetY,
                       stageMode.introCamera.targetZ);
  g_camera.SetPitch(stageMode.introCamera.pitch);
  g_camera.SetYaw(stageMode.introCamera.yaw);
}

void Application::InputStageIntro() {
  menu::Poll();
  if (menu::CountPress(menus.keys[kConfirmCounter], menu::ConfirmHeld()) && sceneFrame < kSkipTo) {
    sceneFrame = kSkipTo;
    stageMode.introCamera.yaw = kEndYaw;
    stageMode.introCamera.distance = kEndDistance;
  }
}

void Application::DrawStageIntro() {
  // The sokai stage's introduction shows nothing.
  if (stageMode.introTarget == SceneSokai) return;
  const PointerPlaces places = PlacesOf(*this);

  g_graphics.SetFullViewport(0);
  g_graphics.Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu);
  g_stageField.Draw(g_camera.GetView(), g_camera.GetProjection(), g_sun.GetLightDirection());
  port::Sprite* sprite = g_graphics.GetSprite();
  if (sprite) sprite->Begin();
  if (sceneFrame > kHeadingFrame) DrawCaption(*this, kHeading);
  if (sceneFrame > kCaptionFrame) {
    const IntroConfig& cfg = IntroOf(stageMode.introTarget);
    for (int i = 0; i < cfg.captionCount; ++i) DrawCaption(*this, cfg.captions[i]);
  }
  // A place the file does not give has no pointer.
  Texture* pointers = stage::HudTexture(*this, kPointers);
  if (sceneFrame > kPointerAFrame && places.hasA) DrawPointer(pointers, places.a, kPointerA);
  if (sceneFrame > kPointerBFrame && places.hasB) DrawPointer(pointers, places.b, kPointerB);
  if (sprite) sprite->End();
  g_graphics.Present();
}
