// The title: the first scene and the hub. A horizontal menu of six items
// leads to the stage mode, the sokai stage, the battle mode, the rankings and
// the options; the last item writes the save files and ends the program.
#include <cstdio>

#include "app/Application.h"
#include "app/FrameTimer.h"
#include "app/MenuItem.h"
#include "platform/GraphicsDevice.h"
#include "platform/SoundManager.h"
#include "scenes/MenuScene.h"

namespace {

enum TitleTexture { kTitlePicture, kCourse, kFigure, kOptionText };

// Key counters: 0 the confirm latch, 1 right, 2 left.
constexpr int kConfirmLatch = 0;
constexpr int kRightCounter = 1;
constexpr int kLeftCounter = 2;

// The items in the order the right key walks them.
constexpr int32_t kCycle[] = {kItemStageMode, kItemSokai,   kItemBattle,
                              kItemRanking,   kItemOptions, kItemExit};
constexpr int kItemCount = static_cast<int>(sizeof kCycle / sizeof kCycle[0]);

struct TitleItem {
  int32_t item;
  int32_t scene;        // requested by confirm; 0 for the exit item
  int32_t introTarget;  // for the stage introduction, else 0
  menu::Caption caption;
};

constexpr TitleItem kItems[kItemCount] = {
    {kItemStageMode, SceneStageIntro, SceneStage1, {kCourse, 3, 231, 198, 0.66f, 0.66f}},
    {kItemSokai, SceneStageIntro, SceneSokai, {kCourse, 4, 162, 201, 0.7f, 0.7f}},
    {kItemBattle, SceneBattleSettings, 0, {kCourse, 7, 165, 201, 0.6f, 0.7f}},
    {kItemRanking, SceneRanking1, 0, {kOptionText, 8, 178, 195, 0.8f, 1.0f}},
    {kItemOptions, SceneOptions, 0, {kCourse, 9, 183, 195, 1.0f, 0.76f}},
    {kItemExit, SceneNone, 0, {kCourse, 10, 231, 201, 0.75f, 0.75f}},
};
// The picture over the caption, the arrows either side of it, the figures
// at the sides.
constexpr menu::Caption kPicture = {kTitlePicture, menu::kWholeTexture, 102, 6, 1.7f, 1.2f};
constexpr menu::Caption kArrows[] = {{kCourse, 2, 471, 201, 0.7f, 0.7f},
                                     {kCourse, 2, 168, 201, -0.7f, 0.7f}};  // mirrored
constexpr menu::Caption kFigures[] = {{kFigure, menu::kWholeTexture, 6, 261, 1.5f, 1.5f},
                                      {kFigure, menu::kWholeTexture, 633, 261, -1.5f, 1.5f}};

// Place of an item in the cycle; an item not in it counts as the first.
int CycleIndex(int32_t item) {
  for (int i = 0; i < kItemCount; ++i)
    if (kCycle[i] == item) return i;
  return 0;
}

const TitleItem* ItemOf(int32_t item) {
  for (const TitleItem& t : kItems)
    if (t.item == item) return &t;
  return nullptr;
}

// The arrows blink: shown 40 frames of every 60.
constexpr int kBlinkPeriod = 60;
constexpr int kBlinkShown = 40;

}  // namespace

void Application::InitTitle(int32_t cursor) {
  menus.keys[kConfirmLatch] = 1;  // a confirm still held from before does nothing
  menus.cursor = cursor;
  sceneFrame = 0;
  title.serial = 0;
  g_sound.StopAll();
  menu::LoadSceneTextures(*this, {"texture/title/title.png", "texture/title/course.png",
                                  "texture/title/title_hitoObject.png", "texture/optiontext.png"});
}

void Application::UpdateTitle() {
  ++sceneFrame;
  InputTitle();
}

void Application::InputTitle() {
  menu::Poll();

  // The latch only clears on release and acting does not set it: every item
  // leaves the scene (TitleTest.ConfirmHeldFromBeforeActsOnlyAfterARelease).
  if (menu::Latched(menus.keys[kConfirmLatch], menu::ConfirmHeld())) {
    const TitleItem* item = ItemOf(menus.cursor);
    if (item && item->item == kItemExit) {
      // The only place the save files are written. A file that cannot be
      // written keeps its old contents; the program ends all the same.
      if (!SaveOptions(kOptionFile)) std::fprintf(stderr, "Could not write %s\n", kOptionFile);
      if (!SaveNormalRanking(kNormalRankingFile))
        std::fprintf(stderr, "Could not write %s\n", kNormalRankingFile);
      if (!SaveSokaiRanking(kSokaiRankingFile))
        std::fprintf(stderr, "Could not write %s\n", kSokaiRankingFile);
      g_sound.StopAll();
      g_quit = 1;
      return;
    }
    if (item) {
      g_sound.PlaySystemSound(menu::kSoundDecide, menu::kMenuSoundOffset);
      requestedScene = item->scene;
      currentScene = SceneNone;
      if (item->scene == SceneStageIntro) stageMode.introTarget = item->introTarget;
      LeaveScene();
      return;
    }
  }

  if (menu::CancelHeld() || menu::EscapeHeld()) menus.cursor = kItemExit;

  menu::OnSidePresses(menus.keys[kRightCounter], menus.keys[kLeftCounter], [this](int direction) {
    menu::Play(menu::kValueSound);
    menus.cursor = kCycle[(CycleIndex(menus.cursor) + kItemCount + direction) % kItemCount];
  });
}

void Application::DrawTitle() {
  // An idle title draws the same picture frame after frame: the one still in
  // the back buffer is presented again instead.
  const bool arrows = sceneFrame % kBlinkPeriod < kBlinkShown;
  const uint64_t look = (static_cast<uint64_t>(static_cast<uint32_t>(menus.cursor)) << 1) | arrows;
  if (menu::PresentKept(title, look)) return;
  menu::BeginFrame();
  menu::Draw(*this, kPicture);
  if (const TitleItem* item = ItemOf(menus.cursor)) menu::Draw(*this, item->caption);
  if (arrows) menu::Draw(*this, kArrows);
  menu::Draw(*this, kFigures);
  menu::EndFrameKept(title, look);
}
