#include "support/stage_fixture.h"

#include <png.h>

#include <utility>

#include "actors/Motion.h"
#include "actors/Player1Shots.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "port/input.h"
#include "port/random.h"
#include "port/sprite.h"
#include "support/temp_dir.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"
#include "world/StageField.h"

namespace stagetest {

namespace {

int ForwardDevice(const PadDeviceInstance* device, void* context) {
  return g_input.OnEnumDevice(device, context);
}
int ForwardAxis(const PadAxisInstance* axis, void* context) {
  return g_input.OnEnumAxis(axis, context);
}

constexpr float kEnemyMargin = 0.6f;

// g_player back to what its construction leaves.
void ResetPlayer() {
  g_player.Release();
  g_player.alive = 0;
  g_player.tracks.clear();
  g_player.device = nullptr;
  g_player.camera = nullptr;
  g_player.effect = nullptr;
  g_player.toonRamp = nullptr;
  g_player.sokai = 0;
  g_player.viewType = 0;
  g_player.position = g_player.previousPosition = {};
  g_player.gaugeTimer = Player::kGaugeHidden;
  g_player.gaugeKind = kCharacterZako1;
  // Place leaves these as they were: a test must not inherit them.
  g_player.moveHeading = 0.0f;
  g_player.groundBelow = g_player.groundAhead = {};
  g_player.shadowHeight = 0.0f;
}

}  // namespace

EnemyObject::EnemyObject(port::Vec3 at, float radius_, float damage_) {
  position = at;
  radius = radius_;
  damage = damage_;
  owner = kOwnerEnemy;
  type = kObjectEnemyTama;
  alive = 1;
}

void EnemyObject::SetHit(int32_t value) {
  hitState = value;
  if (value) ++hits;
}

DummyEnemy::DummyEnemy(port::Vec3 at, int32_t kind_, float hp_, float maxHp_)
    : hp(hp_), maxHp(maxHp_) {
  position = previousPosition = at;
  kind = kind_;
  id = kOwnerEnemy;
  alive = 1;
}

void DummyEnemy::Update() {
  if (!alive) return;
  for (size_t i = 0; i < g_objects.Size(); ++i) {
    DynamicObject* o = g_objects.At(i);
    if (!o || !o->IsAlive() || o->GetOwner() == kOwnerEnemy) continue;
    if (!ObjectTouches(*o, position, kEnemyMargin)) continue;
    o->SetHit(1);
    ++hits;
    hp -= o->GetDamage() * 0.1f;
    g_player.ShowEnemyGauge(kind, hp, maxHp);
    if (hp <= 0.0f) alive = 0;
    return;
  }
}

void StageFixture::SetUp() {
  GameDeviceTest::SetUp();
  if (HasFatalFailure()) return;
  EnterFolder(POMELVANE_RUN_DIR);
  g_graphics.SetDefaultStates();
  port::CrtSrand(setup.seed);
  port::ClearTestKeys();
  inputStarted_ = port::StartInput();
  g_input.InitKeyboard(nullptr);

  // Sounds queue into silent clips; the fixture records and clears them.
  savedClips_.swap(g_sound.stageClips);
  g_sound.stageClips.resize(kStageSoundCount);
  // Volumes are recorded as the actors queue them, without the master volume.
  savedMasterVolume_ = g_sound.masterVolume;
  g_sound.masterVolume = 0;
  savedCamera_ = g_camera;
  g_camera.SetDevice(device);

  g_characters.Init(device, g_graphics.GetCaps(), setup.method == 3 ? 1 : 0);
  g_stageField.Init(device);
  g_stageField.LoadGround(setup.field.ground);
  if (setup.field.round && *setup.field.round) g_stageField.LoadRound(setup.field.round);
  g_stageField.LoadCollision(setup.field.collision);
  g_objects.Init(device);
  g_effects.Init(device);

  // The stage player as a stage begins, pad 0 on its default buttons.
  for (int a = 0; a < Player::kActionCount; ++a) {
    savedButtons_[a] = player.GetButton(a);
    player.SetButton(a, a);
  }
  player.sokai = 0;
  player.viewType = 0;
  player.Load(setup.method, &g_camera, g_characters.GetToonEffect(), g_characters.GetToonRamp());
  player.Place(setup.start.x, setup.start.y, setup.start.z, setup.heading);
}

void StageFixture::TearDown() {
  for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) (*it)();
  undo_.clear();
  LetAll();
  ResetPlayer();
  for (int a = 0; a < Player::kActionCount; ++a) player.SetButton(a, savedButtons_[a]);
  Player1TamaBurst::SetContext(nullptr, nullptr);
  g_objects.Release();
  g_effects.Release();
  g_stageField.Release();
  g_characters.Release();
  g_input.Release();
  if (pad_ >= 0) port::DetachVirtualPad(pad_);
  if (inputStarted_) port::StopInput();
  g_sound.stageClips.swap(savedClips_);
  savedClips_.clear();
  g_sound.masterVolume = savedMasterVolume_;
  g_camera = savedCamera_;
  GameDeviceTest::TearDown();
}

void StageFixture::Step(int frames) {
  for (int i = 0; i < frames; ++i) {
    ++frame;
    player.Update();
    g_characters.UpdateAll();
    g_objects.UpdateAll();
    g_effects.UpdateAll();
    RecordSounds();
  }
}

void StageFixture::RecordSounds() {
  for (size_t id = 0; id < g_sound.stageClips.size(); ++id) {
    SoundClip& clip = g_sound.stageClips[id];
    if (!clip.queued) continue;
    sounds.push_back({frame, static_cast<int>(id), clip.volume});
    clip.queued = 0;
  }
}

std::vector<uint32_t> StageFixture::DrawFrame() {
  g_graphics.SetFullViewport(0);
  device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu, 1.0f);
  g_camera.Apply();
  const port::Matrix view = g_camera.GetView();
  const port::Matrix projection = g_camera.GetProjection();
  g_stageField.Draw(view, projection, light);
  g_characters.DrawAll(view, projection, light);
  player.Draw(view, projection, light);
  g_objects.DrawAll();
  g_effects.DrawAll(view, projection);
  port::Sprite* sprite = g_graphics.GetSprite();
  sprite->Begin();
  g_characters.Draw2DAll(sprite);
  player.Draw2D(sprite);
  sprite->End();
  return device->ReadBackBuffer();
}

bool StageFixture::SavePng(const std::vector<uint32_t>& picture, const std::string& path) {
  return WritePicture(picture, path);
}

bool WritePicture(const std::vector<uint32_t>& picture, const std::string& path) {
  if (picture.size() != static_cast<size_t>(gltest::kWidth) * gltest::kHeight) return false;
  // The picture as the screen shows it: opaque whatever the alpha left behind.
  std::vector<uint32_t> opaque(picture);
  for (uint32_t& p : opaque) p |= 0xFF000000u;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = gltest::kWidth;
  image.height = gltest::kHeight;
  image.format = PNG_FORMAT_BGRA;  // 0xAARRGGBB little-endian
  return png_image_write_to_file(&image, path.c_str(), 0, opaque.data(), 0, nullptr) != 0;
}

void StageFixture::AtTearDown(void (*undo)()) { undo_.push_back(undo); }

port::Vec3 StageFixture::ScreenOf(const port::Vec3& p) {
  return ProjectToScreen(port::MatrixTranslation(p.x, p.y, p.z), g_camera.GetView(),
                         g_camera.GetProjection());
}

void StageFixture::Hold(int key) { port::SetTestKey(key, true); }
void StageFixture::Let(int key) { port::SetTestKey(key, false); }

void StageFixture::LetAll() {
  port::ClearTestKeys();
  if (pad_ < 0) return;
  for (int b = 0; b < port::kPadButtonCount; ++b) port::SetVirtualPadButton(pad_, b, false);
  LetPadDirections();
}

bool StageFixture::EnsurePad() {
  if (pad_ >= 0) return true;
  if (port::AttachedPadCount() > 0) return false;  // a real pad would be pad 0
  pad_ = port::AttachVirtualPad(2, port::kPadButtonCount);
  if (pad_ < 0) return false;
  g_input.InitJoysticks(nullptr, nullptr, ForwardDevice, ForwardAxis);
  return g_input.padsPresent != 0;
}

void StageFixture::HoldPadButton(int button) {
  ASSERT_TRUE(EnsurePad());
  port::SetVirtualPadButton(pad_, button, true);
}

void StageFixture::LetPadButton(int button) {
  if (pad_ >= 0) port::SetVirtualPadButton(pad_, button, false);
}

void StageFixture::HoldPadDirection(int direction) {
  ASSERT_TRUE(EnsurePad());
  const int16_t full[4] = {-32768, 32767, -32768, 32767};
  port::SetVirtualPadAxis(pad_, direction < 2 ? 1 : 0, full[direction & 3]);
}

void StageFixture::LetPadDirections() {
  if (pad_ < 0) return;
  port::SetVirtualPadAxis(pad_, 0, 0);
  port::SetVirtualPadAxis(pad_, 1, 0);
}

EnemyObject* StageFixture::AddEnemyObject(port::Vec3 at, float radius, float damage) {
  auto made = std::make_unique<EnemyObject>(at, radius, damage);
  EnemyObject* o = made.get();
  g_objects.Add(std::move(made));
  return o;
}

DummyEnemy* StageFixture::AddEnemy(port::Vec3 at, int32_t kind, float hp, float maxHp) {
  auto made = std::make_unique<DummyEnemy>(at, kind, hp, maxHp);
  DummyEnemy* e = made.get();
  g_characters.Add(std::move(made));
  return e;
}

EnemyObject* StageFixture::AddPlayerShot(port::Vec3 at, float radius, float damage) {
  EnemyObject* o = AddEnemyObject(at, radius, damage);
  o->owner = kOwnerPlayer;
  o->type = kObjectTama;
  return o;
}

std::vector<EnemyTama*> StageFixture::EnemyBullets() const {
  std::vector<EnemyTama*> bullets;
  for (size_t i = 0; i < g_objects.Size(); ++i) {
    auto* t = dynamic_cast<EnemyTama*>(g_objects.At(i));
    if (t && t->IsAlive()) bullets.push_back(t);
  }
  return bullets;
}

float StageFixture::YawToPlayer(const Character& c) {
  return YawTo(c.position.x, c.position.z, g_player.position.x, g_player.position.z);
}

double StageFixture::DistanceToPlayer(const Character& c) {
  const port::Vec3& p = g_player.position;
  return Distance3(c.position.x, c.position.y, c.position.z, p.x, p.y, p.z);
}

uint32_t StageFixture::SeedWhere(const std::function<bool()>& draws) {
  for (uint32_t seed = 1;; ++seed) {
    port::CrtSrand(seed);
    if (!draws()) continue;
    port::CrtSrand(seed);
    return seed;
  }
}

int StageFixture::CountSound(int id) const {
  int n = 0;
  for (const SoundEvent& s : sounds) n += s.id == id ? 1 : 0;
  return n;
}

const SoundEvent* StageFixture::FirstSound(int id) const {
  for (const SoundEvent& s : sounds) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

int StageFixture::CountObjects(int type, bool aliveOnly) const {
  int n = 0;
  for (size_t i = 0; i < g_objects.Size(); ++i) {
    const DynamicObject* o = g_objects.At(i);
    if (o && o->GetType() == type && (!aliveOnly || o->IsAlive())) ++n;
  }
  return n;
}

}  // namespace stagetest

namespace stagetest {

int StageFixture::CountParticles(int kind) const {
  int n = 0;
  for (size_t i = 0; i < g_effects.Size(); ++i) {
    const Effect* e = g_effects.At(i);
    if (!e || !e->IsActive()) continue;
    if (kind < 0) {
      ++n;
      continue;
    }
    const auto* p = dynamic_cast<const ParticleEffect*>(e);
    if (p && p->kind == kind) ++n;
  }
  return n;
}

int StageFixture::CountNewParticles(int kind) const {
  int n = 0;
  for (size_t i = 0; i < g_effects.Size(); ++i) {
    const auto* p = dynamic_cast<const ParticleEffect*>(g_effects.At(i));
    if (p && p->IsActive() && p->kind == kind && p->age == 1) ++n;
  }
  return n;
}

int StageFixture::CountDiffering(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() != b.size()) return static_cast<int>(a.size() > b.size() ? a.size() : b.size());
  int n = 0;
  // The colour only: what the alpha channel of the picture keeps is never seen.
  for (size_t i = 0; i < a.size(); ++i) n += ((a[i] ^ b[i]) & 0x00FFFFFFu) != 0 ? 1 : 0;
  return n;
}

int StageFixture::PixelsDrawnBy(DynamicObject* object) {
  const uint8_t alive = object->alive;
  object->alive = 1;
  const std::vector<uint32_t> with = DrawFrame();
  object->alive = 0;
  const std::vector<uint32_t> without = DrawFrame();
  object->alive = alive;
  return CountDiffering(with, without);
}

void StageFixture::WithoutFiles(const std::function<void()>& load) {
  testsupport::TempDir empty;
  testsupport::ScopedCwd inEmpty(empty.path());
  load();
}

}  // namespace stagetest
