// The options page and the 1P button page played from the title with the
// keyboard and pad 0: every value changed, buttons assigned by holding them,
// the title's exit writes the option file, and the next start reads all of
// it back.
#include <gtest/gtest.h>

#include "actors/Player.h"
#include "app/MenuItem.h"
#include "platform/SoundManager.h"
#include "support/game_run.h"
#include "support/gl_context.h"

namespace {

using namespace gamerun;

constexpr uint32_t kSeed = 27;

// From the title, the cursor walked right n times and confirmed.
void PickTitleItem(GameRun& run, int rights) {
  ASSERT_EQ(g_app.currentScene, SceneTitle);
  for (int i = 0; i < rights; ++i) run.Tap(kRight);
  run.Tap(kZ);
}

// The exit item: cancel puts the cursor on it, confirm ends the program.
void ExitFromTitle(GameRun& run) {
  ASSERT_EQ(g_app.currentScene, SceneTitle);
  run.Tap(kX);
  run.Hold(kZ);
  run.Frames();
  run.Let(kZ);
  ASSERT_EQ(g_quit, 1) << "the exit item ends the program";
}

TEST(OptionsPlaythrough, EveryValueAndButtonIsSavedByTheExitAndReadAtTheNextStart) {
  GameRun run(1);
  ASSERT_TRUE(run.Start(kSeed));
  ASSERT_EQ(run.Pads(), 1);
  run.Frames();
  ASSERT_EQ(g_app.currentScene, SceneTitle);
  EXPECT_EQ(g_app.options.volume, 500) << "a first start: no option file";

  PickTitleItem(run, 4);
  ASSERT_GT(run.UntilScene(SceneOptions, 5), 0);
  const std::vector<uint32_t> page = run.DrawnFrame();
  ASSERT_EQ(page.size(), size_t{gltest::kWidth} * gltest::kHeight);
  EXPECT_GT(gltest::CountNot(page, page[0]), 5000u) << "the page is drawn";

  // View type 1, volume 300 (down on the pad), draw interval 3 (wraps from
  // 1 to the left), full screen.
  EXPECT_EQ(g_app.menus.cursor, kItemViewType);
  run.Tap(kRight);
  run.PadStick(0, 0, 1);
  run.Frames();
  run.PadStick(0, 0, 0);
  run.Frames();
  EXPECT_EQ(g_app.menus.cursor, kItemVolume);
  run.Tap(kLeft);
  run.Tap(kLeft);
  run.Tap(kDown);
  run.Tap(kLeft);
  run.Tap(kDown);
  run.Tap(kRight);
  EXPECT_EQ(g_app.options.viewType, 1);
  EXPECT_EQ(g_app.options.volume, 300);
  EXPECT_EQ(g_app.options.drawInterval, 3);
  EXPECT_EQ(g_app.options.screenMode, 1);

  // The 1P button page: attack 5, shift 6, jump 7, held on the pad.
  run.Tap(kDown);
  EXPECT_EQ(g_app.menus.cursor, kItemButtons1P);
  run.Tap(kZ);
  ASSERT_GT(run.UntilScene(SceneButtonConfig1P, 5), 0);
  EXPECT_GT(gltest::CountNot(run.DrawnFrame(), 0xFF000000u), 1000u);
  for (int button : {5, 6, 7}) {
    run.TapPadButton(0, button);
    run.Tap(kDown);
  }
  EXPECT_EQ(g_player.GetButton(0), 5);
  EXPECT_EQ(g_player.GetButton(1), 6);
  EXPECT_EQ(g_player.GetButton(2), 7);
  // Past the defaults to back; the new attack button confirms.
  run.Tap(kDown);
  run.TapPadButton(0, 5);
  ASSERT_GT(run.UntilScene(SceneOptions, 5), 0);

  // Back to the title, the volume now in force; then the exit.
  run.Tap(kX);
  run.Tap(kZ);
  ASSERT_GT(run.UntilScene(SceneTitle, 5), 0);
  EXPECT_EQ(g_sound.masterVolume, 300);
  run.Frames(3);
  ExitFromTitle(run);
  const std::string saved = run.ReadFile(kOptionFile);
  EXPECT_NE(saved.find("=300"), std::string::npos) << saved;

  // The next start.
  ASSERT_TRUE(run.Restart(kSeed + 1));
  EXPECT_EQ(g_fullScreen, 1);
  EXPECT_EQ(g_app.options.viewType, 1);
  EXPECT_EQ(g_app.options.volume, 300);
  EXPECT_EQ(g_app.options.drawInterval, 3);
  EXPECT_EQ(g_player.GetButton(0), 5);
  EXPECT_EQ(g_player.GetButton(1), 6);
  EXPECT_EQ(g_player.GetButton(2), 7);
  run.Frames();
  ASSERT_EQ(g_app.currentScene, SceneTitle);
  // The new attack button confirms on the title: the stage introduction.
  run.TapPadButton(0, 5);
  EXPECT_EQ(g_app.currentScene, SceneStageIntro);
}

}  // namespace
