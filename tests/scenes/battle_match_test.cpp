// The battle match through Application::Frame: a whole match with its
// cues, clock, ranks and the tie rule; the result menu's five ways out; F12
// from every phase; pads unplugged while everyone fires, and plugged back
// in; missing files and
// settings from outside their ranges. Stepped without drawing except at
// checkpoints.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/MenuItem.h"
#include "support/battle_match_fixture.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"

namespace {

using namespace battlematch;
using battle::kFirstHalf;
using battle::kIntro;
using battle::kResult;
using battle::kResultMenu;
using battle::kSecondHalf;
using battle::kTimeOver;

constexpr int kSoundReady = 21, kSoundGo = 22, kSoundBell = 24, kSoundTick = 25,
              kSoundSecondHalf = 26;

TEST_F(BattleMatchTest, MatchRunsToTheEndWithRanksAndATieWon) {
  StartMatch({.players = 3, .matchTime = 3000});
  ASSERT_EQ(app.currentScene, SceneBattle);
  EXPECT_EQ(FramesOf(kMusicSoundId), std::vector<int>{1});
  EXPECT_EQ(app.sceneTextures.size(), 9u);
  EXPECT_EQ(g_stageField.GetDrawMode(), 1);
  // The file places all four; three take part.
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(P(i).alive, 1) << i;
    EXPECT_EQ(P(i).mode, kBattleStart) << i;
    EXPECT_EQ(P(i).id, kOwnerBattlePlayer1 + i);
  }
  EXPECT_FLOAT_EQ(P(0).position.x, -15.0f);
  EXPECT_FLOAT_EQ(P(1).position.z, 15.0f);
  EXPECT_TRUE(P(2).model.IsLoaded());
  EXPECT_FALSE(P(3).model.IsLoaded()) << "no model set for a player not taking part";

  ASSERT_EQ(UntilPhase(kFirstHalf), 229);
  const int fightFrom = frame;
  EXPECT_EQ(FramesOf(kSoundReady), std::vector<int>{30});
  EXPECT_EQ(FramesOf(kSoundGo), std::vector<int>{140});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(P(i).mode, kBattleFight) << i;
  EXPECT_EQ(P(3).mode, kBattleStart) << "not updated, not started";
  EXPECT_EQ(app.timeLeft, 3000) << "the clock stands through the introduction";

  ASSERT_GT(UntilPhase(kSecondHalf), 0);
  EXPECT_EQ(app.timeLeft, 1499) << "below half of 3000";
  P(0).points = 12;
  P(1).points = 12;
  P(2).points = 5;
  Frames();  // the second half's first frame ranks everyone
  EXPECT_EQ(P(0).rank, 1);
  EXPECT_EQ(P(1).rank, 1) << "equal points share the rank";
  EXPECT_EQ(P(2).rank, 4) << "the last of three shows the last place";
  // Above 1100 frames left the ranks stand; below, they follow every frame.
  P(2).points = 30;
  Frames();
  EXPECT_EQ(P(2).rank, 4);
  ASSERT_GT(FramesUntil([&] { return app.timeLeft == 1099; }, 1000), 0);
  EXPECT_EQ(P(2).rank, 1);
  EXPECT_EQ(P(0).rank, 2);
  P(2).points = 5;

  ASSERT_GT(UntilPhase(kTimeOver), 0);
  EXPECT_EQ(frame - fightFrom, 3001) << "the match time and one frame more";
  EXPECT_EQ(app.timeLeft, 0);
  EXPECT_EQ(FramesOf(kSoundBell), std::vector<int>{frame});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(P(i).mode, kBattleStopped) << i;
  const std::vector<int> beeps = FramesOf(kSoundSecondHalf);
  ASSERT_EQ(beeps.size(), 3u);
  EXPECT_EQ(beeps[1] - beeps[0], 60);
  EXPECT_EQ(beeps[2] - beeps[1], 60);
  // The ticks: 1000, 900, ..., 100 frames left; not 1100, not 0.
  const std::vector<int> ticks = FramesOf(kSoundTick);
  ASSERT_EQ(ticks.size(), 10u);
  EXPECT_EQ(frame - ticks.back(), 101);
  for (size_t t = 1; t < ticks.size(); ++t) EXPECT_EQ(ticks[t] - ticks[t - 1], 100);

  const int timeOverAt = frame;
  ASSERT_GT(UntilPhase(kResult), 0);
  EXPECT_EQ(frame - timeOverAt, 181);
  EXPECT_TRUE(P(0).IsWinner());
  EXPECT_TRUE(P(1).IsWinner()) << "a tie for the most points: both win";
  EXPECT_EQ(P(2).mode, kBattleLose);
  Frames();
  EXPECT_EQ(CountSound(kMusicSoundId), 2) << "the result's music";
  ASSERT_GT(UntilPhase(kResultMenu), 0);
  EXPECT_EQ(frame - timeOverAt, 362);
  EXPECT_EQ(app.menus.cursor, kItemOnceMore);
}

TEST_F(BattleMatchTest, ResultMenuChoicesLeadToTheirScenes) {
  struct Case {
    std::vector<int> steps;  // arrow taps from "once more"
    int32_t scene;
    bool released;    // the battle players and the lists given back
    bool fieldKept;   // the field stays loaded
    int musicQueued;  // on the frame of the choice
  };
  const Case cases[] = {
      {{}, SceneBattle, false, true, 0},
      {{kRight}, SceneBattleSettings, true, false, 0},
      {{kRight, kRight}, SceneCharacterSelect, true, false, 1},
      {{kLeft, kLeft}, SceneStageSelect, false, false, 1},
      {{kLeft}, SceneTitle, true, false, 0},
      {{kRight, kRight, kRight, kRight, kRight, kLeft}, SceneTitle, true, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene);
    StartMatch({.players = 2, .matchTime = 20});
    // A confirm held as the menu opens does nothing until let go.
    ASSERT_GT(UntilPhase(kResult), 0);
    Hold(kZ);
    ASSERT_GT(UntilPhase(kResultMenu), 0);
    Frames(3);
    EXPECT_EQ(app.currentScene, SceneBattle);
    Let(kZ);
    Frames();
    for (int key : c.steps) Tap(key);
    ClearSounds();
    Hold(kZ);
    Frames();
    Let(kZ);
    EXPECT_EQ(app.requestedScene, c.scene);
    EXPECT_EQ(app.currentScene, SceneNone);
    EXPECT_EQ(CountSound(kMusicSoundId), c.musicQueued);
    EXPECT_EQ(P(0).character == BattlePlayer::kNoCharacter, c.released);
    EXPECT_EQ(P(1).model.IsLoaded(), !c.released);
    EXPECT_EQ(g_stageField.Collision().HasCollisionData(), c.fieldKept);
    EXPECT_EQ(app.sceneTextures.empty(), c.scene != SceneBattle);
    if (c.scene == SceneBattle) {
      // Once more: the match starts again with the models it had.
      Frames();
      EXPECT_EQ(app.currentScene, SceneBattle);
      EXPECT_EQ(app.stagePhase, kIntro);
      EXPECT_EQ(app.timeLeft, 20);
      EXPECT_EQ(P(1).character, 2);
      EXPECT_EQ(P(1).mode, kBattleStart);
    }
    if (c.scene == SceneTitle) {
      Frames();
      EXPECT_EQ(app.currentScene, SceneTitle);
    }
  }
}

TEST_F(BattleMatchTest, F12LeavesForTheStageSelectFromEveryPhase) {
  for (int32_t phase : {kIntro, kFirstHalf, kSecondHalf, kTimeOver, kResult, kResultMenu}) {
    SCOPED_TRACE(phase);
    StartMatch({.players = 4, .matchTime = 40});
    if (phase != kIntro) {
      ASSERT_GT(UntilPhase(phase), 0);
    }
    Frames(2);  // past the phase's first frame
    const int32_t framesInState = P(2).modeFrame;
    ClearSounds();
    Hold(kF12);
    if (phase == kResultMenu) Hold(kZ);  // a choice in the same frame: F12 wins
    Frames();
    Let(kF12);
    Let(kZ);
    EXPECT_EQ(app.requestedScene, SceneStageSelect);
    EXPECT_EQ(app.currentScene, SceneNone);
    EXPECT_TRUE(app.sceneTextures.empty());
    EXPECT_EQ(P(2).character, BattlePlayer::kNoCharacter);
    EXPECT_LE(P(2).modeFrame, framesInState) << "nothing runs after the release";
    EXPECT_EQ(g_stageField.Ground().GetMesh(), nullptr);
    EXPECT_EQ(CountSound(kMusicSoundId), 0) << "the match's music plays on";
    app.ReleaseBattle();  // a second release finds nothing
  }
}

// Everyone fires and charges; pads come out one by one; the match goes on.
TEST_F(BattleMatchTest, PadsUnpluggedMidMatchWhileEveryoneFires) {
  AttachPads(3);
  StartMatch({.players = 4, .matchTime = 900});
  ASSERT_GT(UntilPhase(kFirstHalf), 0);
  auto holdAll = [&](bool down) {
    if (down) {
      Hold(kZ);
      Hold(stagescene::kUp);
    } else {
      Let(kZ);
      Let(stagescene::kUp);
    }
    for (int pad = 0; pad < port::AttachedPadCount(); ++pad) {
      port::SetVirtualPadButton(pad, 0, down);
      port::SetVirtualPadAxis(pad, 1, down ? -32768 : 0);
    }
  };
  int most = 0;
  for (int round = 0; round < 3; ++round) {
    holdAll(true);
    Frames(260);  // past the second charge
    holdAll(false);
    Frames(30);  // the large attacks
    most = std::max(most, g_objects.CountAlive());
    if (port::AttachedPadCount() > 0) port::DetachVirtualPad(port::AttachedPadCount() - 1);
  }
  EXPECT_GT(most, 4) << "shots of every player";
  drawing = true;
  Frames(2);
  drawing = false;
  RunToResultMenu();
  EXPECT_EQ(app.currentScene, SceneBattle);
}

// Every pad out in the middle of a match, then a stranger and the three
// plugged back the other way round: each moves the player he moved before,
// and the stranger nobody.
TEST_F(BattleMatchTest, PadsPluggedBackMidMatchServeTheirPlayersAgain) {
  constexpr int kFirstModel = 1, kStranger = 9;
  AttachPads(3, kFirstModel);
  StartMatch({.players = 4, .matchTime = 3000});
  ASSERT_GT(UntilPhase(kFirstHalf), 0);
  for (int k = 1; k < 4; ++k) EXPECT_EQ(PlayersMovedBy(k - 1), std::vector<int>{k}) << k;

  for (int i = 2; i >= 0; --i) ASSERT_TRUE(port::DetachVirtualPad(i));
  Frames(5);
  EXPECT_EQ(g_input.GetPadCount(), 0);
  ASSERT_EQ(port::AttachVirtualPad(2, port::kPadButtonCount, kStranger), 0);
  Frames(5);
  EXPECT_EQ(g_input.GetPadCount(), 0);
  EXPECT_FALSE(port::SetVirtualPadAxis(0, 1, -32768)) << "the stranger is never opened";
  // Devices 1, 2, 3: the third, first and second pad.
  for (int model : {3, 1, 2}) {
    ASSERT_GE(port::AttachVirtualPad(2, port::kPadButtonCount, kFirstModel - 1 + model), 0);
  }
  Frames();
  EXPECT_EQ(g_input.GetPadCount(), 3);
  EXPECT_EQ(PlayersMovedBy(1), std::vector<int>{3});
  EXPECT_EQ(PlayersMovedBy(2), std::vector<int>{1});
  EXPECT_EQ(PlayersMovedBy(3), std::vector<int>{2});
  EXPECT_EQ(app.currentScene, SceneBattle);
  EXPECT_EQ(app.stagePhase, kFirstHalf);
}

// Two pads of one model out in the middle of a match and plugged back the
// other way round: each goes back to his player by its device path.
TEST_F(BattleMatchTest, PadsOfOneModelPluggedBackMidMatchFindTheirPlayersByPath) {
  const char* const paths[] = {"/dev/input/event20", "/dev/input/event21"};
  for (const char* path : paths)
    ASSERT_GE(port::AttachVirtualPad(2, port::kPadButtonCount, 1, path), 0);
  g_input.InitJoysticks(
      nullptr, nullptr,
      [](const PadDeviceInstance* d, void* c) { return g_input.OnEnumDevice(d, c); },
      [](const PadAxisInstance* a, void* c) { return g_input.OnEnumAxis(a, c); });
  StartMatch({.players = 3, .matchTime = 3000});
  ASSERT_GT(UntilPhase(kFirstHalf), 0);
  EXPECT_EQ(PlayersMovedBy(0), std::vector<int>{1});
  EXPECT_EQ(PlayersMovedBy(1), std::vector<int>{2});

  for (int i = 1; i >= 0; --i) ASSERT_TRUE(port::DetachVirtualPad(i));
  Frames(5);
  for (int i = 1; i >= 0; --i)
    ASSERT_GE(port::AttachVirtualPad(2, port::kPadButtonCount, 1, paths[i]), 0);
  Frames();
  EXPECT_EQ(g_input.GetPadCount(), 2);
  EXPECT_EQ(PlayersMovedBy(0), std::vector<int>{2});
  EXPECT_EQ(PlayersMovedBy(1), std::vector<int>{1});
  EXPECT_EQ(app.stagePhase, kFirstHalf);
}

// One of four pads out in the middle of a four-player match: the other
// three keep their players, and his own player moves again once it is back.
TEST_F(BattleMatchTest, APadPulledOutMidMatchLeavesTheOthersWithTheirPlayers) {
  constexpr int kFirstModel = 1;
  AttachPads(4, kFirstModel);
  StartMatch({.players = 4, .matchTime = 3000});
  ASSERT_GT(UntilPhase(kFirstHalf), 0);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(PlayersMovedBy(k), std::vector<int>{k}) << k;
  ASSERT_TRUE(port::DetachVirtualPad(2));  // player 3's
  Frames(5);
  EXPECT_EQ(g_input.GetPadCount(), 3);
  // Devices 0, 1, 2 are now the first, second and fourth pad.
  EXPECT_EQ(PlayersMovedBy(0), std::vector<int>{0});
  EXPECT_EQ(PlayersMovedBy(1), std::vector<int>{1});
  EXPECT_EQ(PlayersMovedBy(2), std::vector<int>{3});
  ASSERT_GE(port::AttachVirtualPad(2, port::kPadButtonCount, kFirstModel + 2), 0);
  Frames();
  EXPECT_EQ(g_input.GetPadCount(), 4);
  EXPECT_EQ(PlayersMovedBy(3), std::vector<int>{2});
  EXPECT_EQ(app.stagePhase, kFirstHalf);
}

TEST_F(BattleMatchTest, MissingFilesNeverTrapThePlayers) {
  struct Case {
    const char* removed;
    int32_t stage;
    bool placed;
  };
  const Case cases[] = {
      {"AppearData/battle", 0, false},    // nobody placed: the clock still runs
      {"Xfile/battleplayer2p", 1, true},  // player 2 plays on without a model
      {"Xfile/stage1", 0, true},          // no field: nobody can move
      {"Xfile/stage3", 1, true},         {"texture", 0, true},  // no HUD
      {"Xfile/hiyoko.X", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.removed);
    Remove(c.removed);
    StartMatch({.players = 3, .matchTime = 30, .stage = c.stage, .interval = 1});
    EXPECT_EQ(P(0).alive, c.placed ? 1 : 0);
    drawing = true;
    Frames(3);
    drawing = false;
    RunToResultMenu();
    drawing = true;
    Tap(kLeft);
    drawing = false;
    Tap(kZ);
    EXPECT_EQ(app.currentScene, SceneTitle);
    Redirect(c.removed, c.removed);
  }
}

TEST_F(BattleMatchTest, SettingsOutOfRangeAreReadIntoRange) {
  struct Case {
    int32_t players, stage, interval, character;
    int taking;    // players updated
    int drawMode;  // of the field
  };
  const Case cases[] = {{9, 7, 0, 9, 4, 1}, {0, -1, 5, 0, 2, 1}, {1, 1, -3, 4, 2, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.players);
    StartMatch({.players = c.players,
                .matchTime = 40,
                .stage = c.stage,
                .interval = c.interval,
                .characters = {c.character, c.character, c.character, c.character}});
    EXPECT_EQ(g_stageField.GetDrawMode(), c.drawMode);
    ASSERT_GT(UntilPhase(kFirstHalf), 0);
    drawing = true;
    Frames(4);
    drawing = false;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(P(i).mode == kBattleFight, i < c.taking) << i;
    EXPECT_EQ(P(0).model.IsLoaded(), c.character >= 1 && c.character <= 4);
    Hold(kF12);
    Frames();
    Let(kF12);
  }
}

}  // namespace
