// A four-player battle from the program's start, every player on a virtual
// pad: the settings (four players, the shortest match), the 2P-4P button
// page with a new attack button for each of players 2 to 4, the character
// and stage selects, a match fought by scripted players to its result, the
// result menu back to the title, and the buttons saved by the title's exit
// and read back at the next start.
#include <gtest/gtest.h>

#include "actors/BattlePlayer.h"
#include "app/MenuItem.h"
#include "platform/InputDevice.h"
#include "scenes/BattleScene.h"
#include "support/game_run.h"
#include "support/gl_context.h"

namespace {

using namespace gamerun;

constexpr uint32_t kSeed = 2705;
constexpr int kPlayers = 4;

// Pixels of the quarter (qx, qy) of the picture that differ from its corner.
size_t DrawnIn(const std::vector<uint32_t>& p, int qx, int qy) {
  const int x0 = qx * gltest::kWidth / 2, y0 = qy * gltest::kHeight / 2;
  const uint32_t corner = gltest::At(p, x0 + 1, y0 + 1);
  size_t n = 0;
  for (int y = y0; y < y0 + gltest::kHeight / 2; ++y)
    for (int x = x0; x < x0 + gltest::kWidth / 2; ++x) n += gltest::At(p, x, y) != corner ? 1 : 0;
  return n;
}

// Every pad's stick one step in a direction (x, y in -1..1).
void StickTap(GameRun& run, int pad, int x, int y) {
  run.PadStick(pad, x, y);
  run.Frames();
  run.PadStick(pad, 0, 0);
  run.Frames();
}

TEST(BattlePlaythrough, FourPlayersOnPadsFromTheTitleThroughAMatchAndBackWithTheirButtonsSaved) {
  GameRun run(kPlayers);
  ASSERT_TRUE(run.Start(kSeed));
  ASSERT_EQ(run.Pads(), kPlayers);
  run.Frames();
  ASSERT_EQ(g_app.currentScene, SceneTitle);
  run.Tap(kRight);
  run.Tap(kRight);
  run.Tap(kZ);
  ASSERT_GT(run.UntilScene(SceneBattleSettings, 5), 0);

  // Four players, the match time down to its shortest.
  EXPECT_EQ(g_app.menus.cursor, kItemPlayers);
  run.Tap(kRight);
  run.Tap(kRight);
  EXPECT_EQ(g_app.battle.players, 4);
  run.Tap(kDown);
  for (int i = 0; i < 8; ++i) run.Tap(kLeft);
  EXPECT_EQ(g_app.battle.matchTime, 3000);
  EXPECT_GT(gltest::CountNot(run.DrawnFrame(), 0xFF000000u), 5000u) << "the settings";

  // The 2P-4P page: player k holds button 3 + k on his attack item, then
  // walks to back and leaves with it.
  while (g_app.menus.cursor != kItemButtons2P4P) run.Tap(kDown);
  run.Tap(kZ);
  ASSERT_GT(run.UntilScene(SceneButtonConfig2P4P, 5), 0);
  EXPECT_GT(gltest::CountNot(run.DrawnFrame(), 0xFF000000u), 5000u) << "the 2P-4P page";
  for (int k = 1; k < kPlayers; ++k) run.TapPadButton(k, 3 + k);
  for (int k = 1; k < kPlayers; ++k) {
    EXPECT_EQ(g_app.battlePlayers[k].GetButton(kBattleActionAttack), 3 + k) << k;
    EXPECT_EQ(g_app.battlePlayers[k].GetButton(kBattleActionShift), 1) << k;
  }
  for (int i = 0; i < 4; ++i) StickTap(run, 3, 0, 1);  // player 4 to back
  EXPECT_EQ(g_app.menus.playerCursors[3], kItemBack);
  run.TapPadButton(3, 6);
  ASSERT_GT(run.UntilScene(SceneBattleSettings, 5), 0);

  // Start: the character select, where each picks a figure and confirms.
  while (g_app.menus.cursor != kItemStart) run.Tap(kDown);
  run.Tap(kZ);
  ASSERT_GT(run.UntilScene(SceneCharacterSelect, 5), 0);
  StickTap(run, 1, 1, 0);
  StickTap(run, 2, 0, 1);
  StickTap(run, 3, 1, 0);
  StickTap(run, 3, 0, 1);
  for (int k = 0; k < kPlayers; ++k)
    run.TapPadButton(k, g_app.battlePlayers[k].GetButton(kBattleActionAttack));
  for (int k = 0; k < kPlayers; ++k) EXPECT_EQ(g_app.battle.decided[k], 1) << k;
  EXPECT_GT(gltest::CountNot(run.DrawnFrame(), 0xFF000000u), 5000u) << "the character select";
  ASSERT_GT(run.UntilScene(SceneStageSelect, 200), 0);

  // The other field, then start.
  run.Tap(kRight);
  EXPECT_EQ(g_app.battle.stage, 1);
  run.Tap(kDown);
  run.Tap(kZ);
  ASSERT_GT(run.UntilScene(SceneBattle, 5), 0);

  // The match: each player locks on with shift held and fires, now and
  // then jumping; the clock ends it.
  int fightFrames = 0;
  bool checkpoint = false;
  for (int f = 0; f < 6000 && g_app.stagePhase != battle::kResultMenu; ++f) {
    for (int k = 0; k < kPlayers; ++k) {
      const BattlePlayer& p = g_app.battlePlayers[k];
      run.PadButton(k, p.GetButton(kBattleActionShift), (f / 200 + k) % 3 != 0);
      run.PadButton(k, p.GetButton(kBattleActionAttack), (f + 7 * k) % 25 == 0);
      run.PadButton(k, p.GetButton(kBattleActionJump), (f + 31 * k) % 300 == 0);
      run.PadStick(k, 0, (f / 120 + k) % 4 == 0 ? -1 : 0);
    }
    run.Frames();
    if (g_app.stagePhase == battle::kFirstHalf || g_app.stagePhase == battle::kSecondHalf)
      ++fightFrames;
    if (!checkpoint && g_app.stagePhase == battle::kSecondHalf) {
      // The split screen: a view for every player.
      checkpoint = true;
      const std::vector<uint32_t> p = run.DrawnFrame();
      for (int q = 0; q < 4; ++q) EXPECT_GT(DrawnIn(p, q % 2, q / 2), 10000u) << q;
    }
  }
  for (int k = 0; k < kPlayers; ++k) run.PadStick(k, 0, 0);
  ASSERT_EQ(g_app.stagePhase, battle::kResultMenu);
  EXPECT_TRUE(checkpoint);
  EXPECT_GE(fightFrames, 3000);
  int winners = 0, points = 0;
  for (int k = 0; k < kPlayers; ++k) {
    const BattlePlayer& p = g_app.battlePlayers[k];
    EXPECT_TRUE(p.state == kBattleWin || p.state == kBattleLose) << k;
    EXPECT_GE(p.rank, 1);
    EXPECT_LE(p.rank, 4);
    winners += p.state == kBattleWin ? 1 : 0;
    points += p.points;
  }
  EXPECT_GE(winners, 1);
  EXPECT_GT(points, 0) << "the players hit each other";
  EXPECT_GT(gltest::CountNot(run.DrawnFrame(), 0xFF000000u), 5000u) << "the result menu";

  // Left from once more is back to the title.
  EXPECT_EQ(g_app.menus.cursor, kItemOnceMore);
  run.Tap(kLeft);
  EXPECT_EQ(g_app.menus.cursor, kItemToTitle);
  run.Tap(kZ);
  ASSERT_GT(run.UntilScene(SceneTitle, 5), 0);

  run.Frames(2);
  run.Tap(kX);
  run.Hold(kZ);
  run.Frames();
  run.Let(kZ);
  ASSERT_EQ(g_quit, 1);
  ASSERT_TRUE(run.Restart(kSeed + 1));
  for (int k = 1; k < kPlayers; ++k)
    EXPECT_EQ(g_app.battlePlayers[k].GetButton(kBattleActionAttack), 3 + k) << k;
}

}  // namespace
