#include "support/battle_fixture.h"

#include "actors/Player1Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "port/input.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"

namespace battletest {

namespace {

constexpr int kKeyOf[4] = {port::kKeyUp, port::kKeyDown, port::kKeyLeft, port::kKeyRight};
constexpr int kActionKeys[3] = {port::kKeyZ, port::kKeyX, port::kKeyC};

}  // namespace

void BattleFixture::SetUp() {
  StageFixture::SetUp();
  if (HasFatalFailure()) return;
  // The stage player takes no part.
  player.alive = 0;
  ASSERT_EQ(port::AttachedPadCount(), 0) << "a real joystick would take a player's place";
  for (int& pad : pads_) {
    pad = port::AttachVirtualPad(2, port::kPadButtonCount);
    ASSERT_GE(pad, 0);
  }
  g_input.InitJoysticks(
      nullptr, nullptr,
      [](const PadDeviceInstance* d, void* c) { return g_input.OnEnumDevice(d, c); },
      [](const PadAxisInstance* a, void* c) { return g_input.OnEnumAxis(a, c); });
  ASSERT_EQ(g_input.GetPadCount(), kPads);
  BattlePlayer::LoadShared(battle.playerCount, players, g_characters.GetToonEffect(),
                           g_characters.GetToonRamp());
  for (int i = 0; i < kPlayers; ++i) {
    players[i].SetAlive(0);
    players[i].LoadModel(setup.method, battle.characters[i]);
  }
}

void BattleFixture::TearDown() {
  for (int i = 0; i < kPlayers; ++i) LetGo(i);
  for (BattlePlayer& p : players) p.Release();
  BattlePlayer::LoadShared(0, nullptr, nullptr, nullptr);
  for (BattlePlayer& p : players) p.Release();
  g_input.Release();
  // Detaching renumbers the pads after it: the highest first.
  for (int k = kPads - 1; k >= 0; --k) {
    if (pads_[k] >= 0) port::DetachVirtualPad(pads_[k]);
  }
  StageFixture::TearDown();
}

void BattleFixture::PlaceAll(bool fight) {
  for (int i = 0; i < battle.playerCount; ++i) {
    const port::Vec3& s = battle.starts[i];
    players[i].Init(s.x, s.y, s.z, battle.headings[i], kOwnerBattlePlayer1 + i);
    if (fight) players[i].StartFight();
  }
}

void BattleFixture::BattleStep(int frames) {
  for (int f = 0; f < frames; ++f) {
    // The match reads the controls first, as the battle scene does.
    g_input.PollKeyboard();
    g_input.PollJoysticks();
    for (int i = 0; i < battle.playerCount; ++i) players[i].Update();
    Step();  // the lists, and the sounds of the frame
  }
}

int BattleFixture::StepUntilState(int i, int32_t state, int limit) {
  for (int f = 1; f <= limit; ++f) {
    BattleStep();
    if (players[i].mode == state) return f;
  }
  return -1;
}

std::vector<uint32_t> BattleFixture::DrawFrom(int viewer) {
  g_graphics.SetFullViewport(0);
  device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu, 1.0f);
  players[viewer].ApplyCamera();
  g_camera.Apply();
  const port::Matrix view = g_camera.GetView();
  const port::Matrix projection = g_camera.GetProjection();
  g_stageField.Draw(view, projection, light);
  for (int i = 0; i < battle.playerCount; ++i) {
    // A new drawn frame poses every player again.
    players[i].animatedThisFrame = 0;
    players[i].Draw(view, projection, light);
  }
  g_objects.DrawAll();
  g_effects.DrawAll(view, projection);
  return device->ReadBackBuffer();
}

void BattleFixture::FireEachCharactersShots() {
  for (const BattlePlayer& p : players) {
    const float h = p.angle.y + 180.0f;
    const port::Vec3& x = p.position;
    Tama::Spawn({.at = x, .heading = h, .owner = p.id});
    Player2Tama::Spawn({.at = x, .heading = h + 20, .owner = p.id});
    Player3Tama::Spawn({.at = x, .heading = h - 20, .owner = p.id});
    Player4LargeTama1::Spawn({.at = {x.x - 2, 1, x.z + 2}, .heading = h, .owner = p.id});
  }
}

void BattleFixture::DrawSplitScreen() {
  const port::Vec4 light{0.4f, -0.8f, 0.45f, 0.0f};
  device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu, 1.0f);
  for (int v = 0; v < kPlayers; ++v) {
    device->SetViewport({static_cast<uint32_t>(v % 2) * 320, static_cast<uint32_t>(v / 2) * 240,
                         320, 240, 0.0f, 1.0f});
    players[v].ApplyCamera();
    g_camera.Apply();
    const port::Matrix view = g_camera.GetView();
    const port::Matrix projection = g_camera.GetProjection();
    g_stageField.Draw(view, projection, light);
    for (BattlePlayer& p : players) {
      p.animatedThisFrame = 1;  // posed once, by the steps
      p.Draw(view, projection, light);
    }
    g_objects.DrawAll();
    g_effects.DrawAll(view, projection);
  }
  device->SetViewport({0, 0, 640, 480, 0.0f, 1.0f});
}

void BattleFixture::HoldDirection(int p, int direction) {
  if (p == 0) {
    Hold(kKeyOf[direction]);
    return;
  }
  const int16_t full[4] = {-32768, 32767, -32768, 32767};
  port::SetVirtualPadAxis(pads_[p - 1], direction < 2 ? 1 : 0, full[direction]);
}

void BattleFixture::HoldAction(int p, int action) {
  if (p == 0) {
    Hold(kActionKeys[action]);
    return;
  }
  port::SetVirtualPadButton(pads_[p - 1], players[p].GetButton(action), true);
}

void BattleFixture::LetGo(int p) {
  if (p == 0) {
    for (int k : kKeyOf) Let(k);
    for (int k : kActionKeys) Let(k);
    return;
  }
  const int pad = pads_[p - 1];
  if (pad < 0) return;
  port::SetVirtualPadAxis(pad, 0, 0);
  port::SetVirtualPadAxis(pad, 1, 0);
  for (int b = 0; b < port::kPadButtonCount; ++b) port::SetVirtualPadButton(pad, b, false);
}

void BattleFixture::Unplug(int p) {
  const int gone = pads_[p - 1];
  if (gone < 0 || !port::DetachVirtualPad(gone)) return;
  pads_[p - 1] = -1;
  // The joysticks after it move down one place.
  for (int& pad : pads_) {
    if (pad > gone) --pad;
  }
}

}  // namespace battletest
