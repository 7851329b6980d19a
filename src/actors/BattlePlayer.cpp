// The battle player's life: the class-wide meshes, the model sets, the
// placement, the frame and its mode machine, points, rank and result. The
// control both players share is in PlayerController.cpp; this player's input,
// targets, hits and walls are in BattlePlayerControl.cpp, the
// animation in BattlePlayerAnimation.cpp, the camera and the drawing in
// BattlePlayerDraw.cpp, the large attacks in BattlePlayerAttacks.cpp.
#include "actors/BattlePlayer.h"

#include <string>

#include "actors/Motion.h"
#include "platform/GraphicsDevice.h"
#include "platform/MathHelpers.h"
#include "render/Camera.h"
#include "render/EffectHolder.h"

namespace {

// The model set of a character: the first file is the model, the others its
// animations, in track order.
struct ModelSet {
  const char* folder;
  const char* files[BattlePlayer::kTrackCount];
};
constexpr ModelSet kModelSets[4] = {
    {"Xfile/player/",
     {"stop.X", "run.X", "walk.X", "side_walk.X", "normal_attack.X", "damage_small.X",
      "jump_downer.X", "largeattack1.X", "largeattack2.X", "gameover.X", "gameclear.X",
      "piyori.X"}},
    {"Xfile/battleplayer2p/",
     {"stop.X", "run.X", "walk.X", "side_walk.X", "normal_attack.X", "damage_small.X", "jump.X",
      "largeattack1.X", "largeattack2.X", "lose.X", "win.X", "piyori.X"}},
    {"Xfile/battleplayer3p/",
     {"stop.X", "run.X", "walk.X", "side_walk.X", "normal_attack.X", "damage_small.X", "jump.X",
      "largeattack1.X", "largeattack2.X", "lose.X", "win.X", "piyori.X"}},
    {"Xfile/battleplayer4p/",
     {"stop.X", "run.X", "walk.X", "side_walk.X", "normal_attack.X", "damage_small.X", "jump.X",
      "largeattack1.X", "largeattack2.X", "lose.X", "win.X", "piyori.X"}},
};
constexpr const char* kSunflowerPath = "Xfile/battleplayer2p/himawari.X";
constexpr int32_t kSunflowerCharacter = 2;

// The chick, then the markers of ranks 1 to 4.
constexpr int kSharedMeshCount = 5;
constexpr const char* kSharedMeshPaths[kSharedMeshCount] = {
    "Xfile/hiyoko.X", "Xfile/top.X", "Xfile/2i.X", "Xfile/3i.X", "Xfile/biri.X"};

// The battle player's movement, attacks, knock-back and piyori.
constexpr ControlNumbers kControl = {
    .sideStep = 0.14f,
    .walk = 0.14f,
    .run = 0.2f,
    .lockOnTurn = 1.5f,
    .shotRest = 30,
    .piyoriFrames = 240,
    .looks = {kBattleAnimStop, kBattleAnimRun, kBattleAnimWalk, kBattleAnimSideWalk,
              kBattleAnimDamage, kBattleAnimJump, kBattleAnimPiyori, kBattleCameraFollow,
              kBattleCameraOrbit},
};

constexpr int32_t kStartPoints = 10;
constexpr int32_t kLastRank = 4;

// Class-wide data; never destroyed, so nothing runs after the device is gone.
struct SharedData {
  int32_t playerCount = 0;
  BattlePlayer* players = nullptr;
  port::gpu::Device* device = nullptr;
  EffectHolder* effect = nullptr;
  Texture* toonTexture = nullptr;
  StaticMesh meshes[kSharedMeshCount];
  Character* targets[BattlePlayer::kMaxPlayers] = {};
};
SharedData& Shared() {
  static SharedData* s = new SharedData;
  return *s;
}

}  // namespace

BattlePlayer::BattlePlayer() : PlayerController(kControl) { mode = kBattleStart; }

BattlePlayer::~BattlePlayer() = default;

// ---- Class-wide ----

void BattlePlayer::LoadShared(int32_t playerCount, BattlePlayer* players, EffectHolder* effect,
                              Texture* toonTexture) {
  SharedData& s = Shared();
  s.playerCount = players ? playerCount : 0;
  if (s.playerCount < 0) s.playerCount = 0;
  if (s.playerCount > kMaxPlayers) s.playerCount = kMaxPlayers;
  s.players = players;
  s.device = g_graphics.GetDevice();
  s.effect = effect;
  s.toonTexture = toonTexture;
  for (int i = 0; i < kSharedMeshCount; ++i) s.meshes[i].Load(s.device, kSharedMeshPaths[i]);
}

Character* const* BattlePlayer::TargetList(BattlePlayer* players, int32_t count) {
  SharedData& s = Shared();
  for (int i = 0; i < kMaxPlayers; ++i) {
    s.targets[i] = players && i < count ? &players[i] : nullptr;
  }
  return s.targets;
}

int32_t BattlePlayer::PlayerCount() { return Shared().playerCount; }
BattlePlayer* BattlePlayer::Players() { return Shared().players; }
StaticMesh& BattlePlayer::Chick() { return Shared().meshes[0]; }
Texture* BattlePlayer::ToonTexture() { return Shared().toonTexture; }

StaticMesh& BattlePlayer::RankMarker(int32_t rank_) {
  if (rank_ < 1) rank_ = 1;
  if (rank_ > kLastRank) rank_ = kLastRank;
  return Shared().meshes[rank_];
}

void BattlePlayer::Release() {
  character = kNoCharacter;
  for (StaticMesh& m : Shared().meshes) m.Release();
  for (auto& m : extraMeshes) m->Release();
  extraMeshes.clear();
  model.Release();
  for (ModelFrame*& f : lowerFrames) f = nullptr;
  for (ModelFrame*& f : upperFrames) f = nullptr;
}

// ---- Loading and placement ----

void BattlePlayer::LoadModel(int method, int32_t character_) {
  port::gpu::Device* device = g_graphics.GetDevice();
  if (character_ < 1 || character_ > 4) {
    // No such model set: the player fights on undrawn.
    model.Release();
    character = kNoCharacter;
  } else if (character_ != character || !model.IsLoaded()) {
    character = character_;
    if (character == kSunflowerCharacter) {
      for (auto& m : extraMeshes) m->Release();
      extraMeshes.clear();
      extraMeshes.push_back(std::make_unique<StaticMesh>());
      extraMeshes.front()->Load(device, kSunflowerPath);
    }
    const ModelSet& set = kModelSets[character - 1];
    const std::string folder = set.folder;
    model.Init(device, &g_graphics.GetCaps());
    model.Load((folder + set.files[0]).c_str(), method);
    // Every call adds a set, so a file that fails keeps the later tracks in place.
    for (int i = 1; i < kTrackCount; ++i) model.AddAnimation((folder + set.files[i]).c_str());
  }
  if (method != SkinnedModel::kMethodSoftware) {
    model.SetEffect(Shared().effect);
    model.BindEffectParameters("mVP", "vCol", "vLightDir", "DecalTex", "CurNumBones",
                               "mWorldMatrixArray");
  }
  if (tracks.empty()) {
    tracks.resize(kTrackCount);
    tracks[0].weight = 1.0f;
  }
  // Refilled on every load: another character brings its own lengths.
  for (AnimTrack& t : tracks) t.length = 0.0f;
  model.GetAnimationLengths(tracks);
  FindBodyFrames(model, lowerFrames, upperFrames);
  alive = 0;
}

void BattlePlayer::Init(float x, float y, float z, float heading, int32_t id_) {
  ResetControl({x, y, z}, heading);
  id = id_;
  alive = 1;
  lastAttacker = 0;
  points = kStartPoints;
  rank = 1;
  rankMarkerFrames = kMarkerShown;
  mode = kBattleStart;
  moveHeading = heading;
  // A new match starts from the stand, whatever the last one left playing.
  for (size_t i = 0; i < tracks.size(); ++i) {
    tracks[i].time = 0.0f;
    tracks[i].weight = i == 0 ? 1.0f : 0.0f;
  }
  AimCamera(g_camera);
}

// ---- The match ----

void BattlePlayer::StartFight() {
  mode = kBattleFight;
  modeFrame = 0;
}

void BattlePlayer::Stop() {
  mode = kBattleStopped;
  modeFrame = 0;
  rankMarkerFrames = kMarkerShown;
}

void BattlePlayer::ComputeRank() {
  const SharedData& s = Shared();
  int32_t above = 0;
  for (int32_t i = 0; s.players && i < s.playerCount; ++i) {
    if (&s.players[i] != this && s.players[i].points > points) ++above;
  }
  rank = 1 + above;
  if (rank == s.playerCount) rank = kLastRank;
  rankMarkerFrames = 0;
}

void BattlePlayer::DecideResult() {
  const SharedData& s = Shared();
  modeFrame = 0;
  bool beaten = false;
  for (int32_t i = 0; s.players && i < s.playerCount; ++i) {
    if (&s.players[i] != this && s.players[i].points > points) beaten = true;
  }
  if (beaten) {
    mode = kBattleLose;
  } else {
    mode = kBattleWin;
    rankMarkerFrames = kMarkerShown;
  }
}

bool BattlePlayer::IsWinner() const { return mode == kBattleWin; }

void BattlePlayer::AddPoints(int32_t n) {
  points += n;
  if (points < 0) points = 0;
}

void BattlePlayer::GivePoints(int32_t attacker, int32_t n) {
  const SharedData& s = Shared();
  for (int32_t i = 0; s.players && i < s.playerCount; ++i) {
    if (s.players[i].id == attacker) s.players[i].AddPoints(n);
  }
}

// ---- One frame ----

void BattlePlayer::Update() {
  if (!alive) return;
  animatedThisFrame = 0;
  previousPosition = position;
  StepMode();
  const GroundHit ground = FindGround(position);
  if (ground.found) {
    shadowHeight = ground.point.y + 0.05f;
    ApplyGravity(ground.point.y + 1.0f);
  } else {
    // No field there: the move of this frame is refused.
    position = previousPosition;
  }
  if (verticalSpeed > 0.0f && CeilingAbove(previousPosition)) {
    position = previousPosition;
    verticalSpeed = 0.0f;
  }
  BlendAnimation();
  RunCamera();
}

void BattlePlayer::RunMode() {
  ++rankMarkerFrames;
  switch (mode) {
    case kBattleKnockBack:
      UpdateKnockBack();
      break;
    case kBattleLargeAttack1:
      UpdateLargeAttack1();
      break;
    case kBattleLargeAttack2:
      UpdateLargeAttack2();
      break;
    case kBattleStopped:
      HoldPose(kBattleAnimStop, kBattleCameraCloseUp);
      break;
    case kBattleLose:
      HoldPose(kBattleAnimLose, kBattleCameraCloseUp);
      break;
    case kBattleWin:
      HoldPose(kBattleAnimWin, kBattleCameraCloseUp);
      break;
    case kBattlePiyori:
      UpdatePiyori();
      break;
    case kBattleStart:
      ReadControls();
      HandleMoveInput();
      break;
    default:
      ReadControls();
      HandleAttackInput();
      HandleMoveInput();
      break;
  }
}

void GetCameraViewMatrix(port::Matrix* out) {
  if (out) *out = g_camera.GetView();
}
