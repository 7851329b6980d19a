#include "support/stage_scene_fixture.h"

#include "actors/EnemyClasses.h"
#include "actors/Hammer.h"
#include "actors/Player.h"
#include "actors/Player1Shots.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "platform/InputDevice.h"
#include "port/input.h"
#include "port/random.h"
#include "support/image_encoders.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace fs = std::filesystem;

namespace stagescene {

namespace {

StageSceneTest* g_current = nullptr;

// The data set, file by file: folders made, files linked.
void Mirror(const fs::path& from, const fs::path& to) {
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(from)) {
    const fs::path target = to / fs::relative(e.path(), from);
    if (e.is_directory()) {
      fs::create_directories(target);
    } else {
      fs::create_symlink(e.path(), target);
    }
  }
}

}  // namespace

Sentinel::Sentinel(port::Vec3 at) {
  position = previousPosition = at;
  kind = kCharacterZako1;
  id = kOwnerEnemy;
  alive = 1;
}

void StageSceneTest::SetUp() {
  GameDeviceTest::SetUp();
  if (HasFatalFailure()) return;
  Mirror(POMELVANE_RUN_DIR, data.path());
  EnterFolder(data.path());
  g_graphics.SetDefaultStates();
  port::CrtSrand(1);
  port::ClearTestKeys();
  inputStarted_ = port::StartInput();
  g_input.InitKeyboard(nullptr);
  for (int a = 0; a < Player::kActionCount; ++a) savedButtons_[a] = g_player.GetButton(a);
  for (int a = 0; a < Player::kActionCount; ++a) g_player.SetButton(a, a);

  // Sounds queue into silent clips, which keep their queued flag for the
  // recorder; the music is recorded as id 1000.
  savedStageClips_.swap(g_sound.stageClips);
  savedSystemClips_.swap(g_sound.systemClips);
  savedMusic_ = std::move(g_sound.musicClip);
  g_sound.stageClips.resize(kStageSoundCount);
  g_sound.systemClips.resize(kSystemSoundCount);
  savedVolume_ = g_sound.masterVolume;
  g_sound.masterVolume = 0;
  savedCamera_ = g_camera;

  // The defaults of every table and option, as after a first start.
  app.LoadOptions("no-such-folder/option.sav");
  app.LoadNormalRanking("no-such-folder/normal.sav");
  app.LoadSokaiRanking("no-such-folder/sokai.sav");
  app.toonEffectAvailable = 0;
  app.windowActive = 1;
  g_sound.masterVolume = 0;

  table_ = GameSceneTable();
  for (int id = 1; id <= SceneIdLast; ++id) {
    SceneRoutines& r = table_[static_cast<size_t>(id)];
    if (r.update) r.update = &StageSceneTest::Update;
    if (r.draw) r.draw = &StageSceneTest::Draw;
    if (r.enter) r.enter = &StageSceneTest::Enter;
  }
  app.sceneTable = &table_;
  g_current = this;
}

void StageSceneTest::TearDown() {
  g_current = nullptr;
  port::ClearTestKeys();
  app.ReleaseStage3();
  app.ReleaseSokai();
  app.ReleaseSceneTextures();
  UnloadAllEnemyClasses();
  Hammer::Unload();
  testsupport::ResetStagePlayer();
  for (int a = 0; a < Player::kActionCount; ++a) g_player.SetButton(a, savedButtons_[a]);
  Player1TamaBurst::SetContext(nullptr, nullptr);
  g_objects.Release();
  g_effects.Release();
  g_stageField.Release();
  g_characters.Release();
  // The sun keeps its mesh from scene to scene; not past this device.
  g_sun.mesh.Release();
  g_sun.device = nullptr;
  g_input.Release();
  if (inputStarted_) port::StopInput();
  g_sound.stageClips.swap(savedStageClips_);
  g_sound.systemClips.swap(savedSystemClips_);
  g_sound.musicClip = std::move(savedMusic_);
  g_sound.masterVolume = savedVolume_;
  g_camera = savedCamera_;
  GameDeviceTest::TearDown();
}

// The game's routines, called through the fixture's table.
void StageSceneTest::Enter(Application& a) {
  const SceneRoutines& r = GameSceneTable()[static_cast<size_t>(a.currentScene)];
  if (r.enter) r.enter(a);
}

void StageSceneTest::Update(Application& a) {
  const SceneRoutines& r = GameSceneTable()[static_cast<size_t>(a.currentScene)];
  ++g_current->frame;
  if (r.update) r.update(a);
  g_current->RecordSounds();
}

void StageSceneTest::Draw(Application& a) {
  if (!g_current->drawing) return;
  const SceneRoutines& r = GameSceneTable()[static_cast<size_t>(a.currentScene)];
  if (r.draw) r.draw(a);
}

void StageSceneTest::RecordSounds() {
  auto take = [&](SoundClip& clip, int id) {
    if (!clip.queued) return;
    sounds.push_back({frame, id, clip.volume});
    clip.queued = 0;
  };
  for (size_t i = 0; i < g_sound.stageClips.size(); ++i)
    take(g_sound.stageClips[i], static_cast<int>(i));
  for (size_t i = 0; i < g_sound.systemClips.size(); ++i)
    take(g_sound.systemClips[i], kSystemSoundBase + static_cast<int>(i));
  take(g_sound.musicClip, kMusicSoundId);
}

void StageSceneTest::Frames(int n) {
  for (int i = 0; i < n; ++i) app.Frame();
}

void StageSceneTest::Hold(int key) { port::SetTestKey(key, true); }
void StageSceneTest::Let(int key) { port::SetTestKey(key, false); }

void StageSceneTest::Tap(int key) {
  Hold(key);
  Frames();
  Let(key);
  Frames();
}

void StageSceneTest::StartFromTitle(int item, bool skipIntro) {
  app.requestedScene = SceneTitle;
  Frames();
  ASSERT_EQ(app.currentScene, SceneTitle);
  if (item == kItemSokai) Tap(kRight);
  Hold(kZ);
  Frames();  // the title requests the introduction
  Let(kZ);
  Frames();  // the introduction's first frame
  if (item == kItemSokai) {
    // It has already handed over.
    ASSERT_EQ(app.requestedScene, SceneSokai);
  } else {
    ASSERT_EQ(app.currentScene, SceneStageIntro);
  }
  if (skipIntro) SkipIntroduction();
}

void StageSceneTest::SkipIntroduction() {
  if (app.stageMode.introTarget == SceneSokai) {
    Frames();  // the sokai stage is entered on the next frame
    return;
  }
  Tap(kZ);
  const int32_t target = app.stageMode.introTarget;
  ASSERT_GT(FramesUntil([&] { return app.currentScene == target; }, 300), 0);
}

int StageSceneTest::UntilPhase(int32_t phase, int limit) {
  return FramesUntil([&] { return app.stagePhase == phase; }, limit);
}

void StageSceneTest::FireInFirstArea(int kind, int frames) {
  app.toonEffectAvailable = kind % 2;
  port::CrtSrand(3);
  StartFromTitle(kind < 2 ? kItemStageMode : kItemSokai);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  for (int i = 0; i < frames; ++i) {
    i % 20 < 10 ? Hold(kZ) : Let(kZ);
    Frames();
  }
  app.DrawStage();
}

void StageSceneTest::Remove(const std::string& relative) { fs::remove_all(data.path() / relative); }

void StageSceneTest::Redirect(const std::string& relative, const std::string& toRelative) {
  Remove(relative);
  fs::create_directory_symlink(fs::path(POMELVANE_RUN_DIR) / toRelative, data.path() / relative);
}

void StageSceneTest::WriteData(const std::string& relative, std::string_view bytes) {
  // Never through a link into the data set.
  fs::remove(data.path() / relative);
  data.Write(relative, bytes);
}

void StageSceneTest::WriteFlatTexture(const std::string& relative, int w, int h, uint32_t rgb) {
  std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(h));
  for (auto& row : rows)
    for (int x = 0; x < w; ++x)
      for (int shift = 0; shift < 24; shift += 8) row.push_back(static_cast<uint8_t>(rgb >> shift));
  const std::vector<uint8_t> bmp = testimg::EncodeBmp(w, h, 24, rows, false);
  WriteData(relative, std::string_view(reinterpret_cast<const char*>(bmp.data()), bmp.size()));
}

Sentinel* StageSceneTest::AddSentinel(port::Vec3 at) {
  auto made = std::make_unique<Sentinel>(at);
  Sentinel* s = made.get();
  g_characters.Add(std::move(made));
  return s;
}

void StageSceneTest::KillAll() {
  g_characters.ForEach([](Character* c) { c->alive = 0; });
}

int StageSceneTest::CountSound(int id) const {
  int n = 0;
  for (const SoundEvent& s : sounds) n += s.id == id ? 1 : 0;
  return n;
}

std::vector<int> StageSceneTest::FramesOf(int id) const {
  std::vector<int> out;
  for (const SoundEvent& s : sounds)
    if (s.id == id) out.push_back(s.frame);
  return out;
}

}  // namespace stagescene
