#include "playthrough/monkey.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/Application.h"
#include "app/FrameTimer.h"
#include "app/MenuItem.h"

#if defined(__SANITIZE_ADDRESS__)
#define POMELVANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define POMELVANE_ASAN 1
#endif
#endif
#ifdef POMELVANE_ASAN
// The sanitizer's allocator: the bytes it holds live, without its quarantine.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace playthrough {

using namespace gamerun;

namespace {

bool IsStage(int32_t s) {
  return s == SceneStage1 || s == SceneStage2 || s == SceneStage3 || s == SceneSokai;
}
bool IsBattleMenu(int32_t s) { return s >= SceneBattleSettings && s <= SceneBattle; }

// The title's items and the scenes each leads to.
struct TitleGoal {
  int32_t item;
  std::initializer_list<int32_t> scenes;
};
const TitleGoal kGoals[] = {
    {kItemStageMode, {SceneStageIntro, SceneStage1, SceneStage2, SceneStage3, SceneNameEntry1}},
    {kItemSokai, {SceneSokai, SceneNameEntrySokai}},
    {kItemBattle,
     {SceneBattleSettings, SceneCharacterSelect, SceneStageSelect, SceneBattle,
      SceneButtonConfig2P4P}},
    {kItemRanking, {SceneRanking1, SceneRankingSokai, 20, SceneRanking4}},
    {kItemOptions, {SceneOptions, SceneButtonConfig1P}},
};

// The keys the monkey mashes, with how likely each changes on a frame.
struct MashKey {
  int key;
  double flip;
};
constexpr MashKey kMashKeys[] = {{kUp, 0.06},  {kDown, 0.06}, {kLeft, 0.08}, {kRight, 0.08},
                                 {kZ, 0.1},    {kX, 0.05},    {kC, 0.03},    {kEscape, 0.004},
                                 {kF1, 0.004}, {kF12, 0.0004}};

}  // namespace

MemorySample SampleMemory() {
  MemorySample m;
  std::ifstream statm("/proc/self/statm");
  int64_t size = 0, resident = 0;
  statm >> size >> resident;
  m.resident = resident * static_cast<int64_t>(::sysconf(_SC_PAGESIZE));
#ifdef POMELVANE_ASAN
  m.heap = static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  const struct mallinfo2 info = ::mallinfo2();
  m.heap = static_cast<int64_t>(info.uordblks + info.hblkhd);
#endif
  return m;
}

void Monkey::ClearInput() {
  pilot_.LetAll();
  for (int key = 0; key < 256; ++key)
    if (keys_[key]) {
      run_.Let(key);
      keys_[key] = false;
    }
  for (int p = 0; p < run_.Pads(); ++p) {
    run_.PadStick(p, 0, 0);
    for (int b = 0; b < 8; ++b) run_.PadButton(p, b, false);
  }
}

void Monkey::HoldOnly(std::initializer_list<int> keys) {
  for (int key = 0; key < 256; ++key) {
    bool want = false;
    for (int k : keys) want = want || k == key;
    if (keys_[key] != want) {
      keys_[key] = want;
      if (want) {
        run_.Hold(key);
      } else {
        run_.Let(key);
      }
    }
  }
}

// Down on this frame when nothing was down on the last; else all let go.
void Monkey::TapOnce(int key) {
  bool any = false;
  for (bool k : keys_) any = any || k;
  if (any) {
    HoldOnly({});
  } else {
    HoldOnly({key});
  }
}

void Monkey::Observe() {
  const int32_t now = g_app.currentScene;
  if (now == SceneNone) return;  // between two scenes
  if (now == scene_) {
    ++stay_;
    int& longest = longestStay[now];
    if (stay_ > longest) longest = stay_;
    return;
  }
  // A scene left: the first time it is left after the last new scene was
  // seen, the memory is sampled.
  if (scene_ > 0 && visits[scene_] == 1 && lastNewScene_ == scene_) {
    afterFirstTour = SampleMemory();
    afterFirstTourFrame = framesStepped;
  }
  if (now == SceneCharacterSelect) ++forwardTries_;
  ++sceneChanges;
  if (!visited.count(now)) {
    lastNewScene_ = now;
    titleAfterTour.clear();  // the tour goes on
  } else if (now == SceneTitle && afterFirstTourFrame >= 0) {
    titleAfterTour.push_back(SampleMemory());
  }
  visited.insert(now);
  ++visits[now];
  scene_ = now;
  stay_ = 1;
  ClearInput();
  mashFor_ = 300 + Pick(700);
  if (IsStage(now)) {
    // The first visit of each stage is played, so the next is reached;
    // after that, one in three. The sokai stage is only mashed.
    piloting_ = playStages && now != SceneSokai && (!pilotedOnce_.count(now) || Chance(0.33));
    if (piloting_) pilotedOnce_.insert(now);
  }
}

void Monkey::Pads() {
  if (run_.Pads() == 0) return;
  if (framesStepped == unplugAt_) {
    unpluggedPad_ = Pick(run_.Pads());
    run_.Unplug(unpluggedPad_);
    ++unplugs;
    replugAt_ = framesStepped + 300 + Pick(600);
  }
  if (framesStepped == replugAt_) {
    run_.Replug(unpluggedPad_);
    unplugAt_ = framesStepped + 1500 + Pick(1500);
  }
}

void Monkey::Mash() {
  for (const MashKey& m : kMashKeys) {
    if (!Chance(m.flip)) continue;
    keys_[m.key] = !keys_[m.key];
    if (keys_[m.key]) {
      run_.Hold(m.key);
    } else {
      run_.Let(m.key);
    }
  }
  for (int p = 0; p < run_.Pads(); ++p) {
    if (Chance(0.05)) run_.PadStick(p, Pick(3) - 1, Pick(3) - 1);
    if (Chance(0.08)) run_.PadButton(p, Pick(8), Chance(0.5));
  }
}

void Monkey::SteerTitle() {
  if (titleGoal_ == 0) {
    ++titleVisits_;
    if (exitsWanted_ > 0) {
      titleGoal_ = kItemExit;
    } else {
      // The item with the most scenes not yet seen, less for each time it
      // was already taken (a scene may stay out of reach); a random one
      // when nothing is left to see.
      int most = 0;
      const int any = Pick(5);
      titleGoal_ = kGoals[any].item;
      for (const TitleGoal& g : kGoals) {
        int unseen = 0;
        for (int32_t s : g.scenes) unseen += visited.count(s) ? 0 : 4;
        const int score = unseen - goalsTaken_[g.item];
        if (unseen > 0 && score > most) {
          most = score;
          titleGoal_ = g.item;
        }
      }
      ++goalsTaken_[titleGoal_];
    }
  }
  if (g_app.menus.cursor != titleGoal_) {
    TapOnce(kRight);
  } else {
    TapOnce(kZ);
  }
}

bool Monkey::ToButtons2P4P(int32_t s) const {
  return s == SceneBattleSettings && !visited.count(SceneButtonConfig2P4P);
}

bool Monkey::Forward(int32_t s) const {
  // Three tries a start: a player whose pad is unplugged meanwhile cannot
  // confirm until it is plugged back in.
  return IsBattleMenu(s) && s != SceneBattle && !visited.count(SceneBattle) && forwardTries_ < 3;
}

void Monkey::Steer() {
  const int32_t s = g_app.currentScene;
  if (IsStage(s)) {
    TapOnce(kF12);  // F12 leaves even the pause menu
  } else if (s == SceneTitle) {
    SteerTitle();
  } else if (s == SceneStageIntro || s == SceneNameEntry1 || s == SceneNameEntrySokai) {
    TapOnce(kZ);
  } else if (s >= SceneRanking1 && s <= SceneRanking4) {
    TapOnce(kX);
  } else if (s == SceneOptions && !visited.count(SceneButtonConfig1P)) {
    TapOnce(g_app.menus.cursor == kItemButtons1P ? kZ : kDown);
  } else if (s == SceneOptions) {
    TapOnce(g_app.menus.cursor == kItemBack ? kZ : kX);
  } else if (s == SceneButtonConfig1P) {
    TapOnce(g_app.menus.cursor == kItemBack ? kZ : kDown);
  } else if (s == SceneButtonConfig2P4P) {
    TapOnce(kX);
  } else if (s == SceneBattle) {
    TapOnce(kF12);
  } else if (ToButtons2P4P(s) && stay_ < 300) {
    TapOnce(g_app.menus.cursor == kItemButtons2P4P ? kZ : kDown);
  } else if (Forward(s) && stay_ < 300) {
    // Forward to a match: start on the settings and the stage select,
    // everyone confirming on the character select.
    if (s == SceneCharacterSelect) {
      TapOnce(kZ);
      // Every button: whichever is a player's attack confirms (before cancel).
      for (int p = 0; p < run_.Pads(); ++p)
        for (int b = 0; b < 8; ++b) run_.PadButton(p, b, keys_[kZ]);
    } else {
      TapOnce(g_app.menus.cursor == kItemStart ? kZ : kDown);
    }
  } else if (s == SceneCharacterSelect) {
    TapOnce(kEscape);
  } else if (IsBattleMenu(s)) {
    // Cancel puts the cursor on the back item, confirm takes it.
    TapOnce(g_app.menus.cursor == kItemBack ? kZ : kX);
  } else {
    TapOnce(kEscape);
  }
}

void Monkey::Step() {
  Observe();
  if (g_quit) {
    // The exit item was taken: the files are written, the next start reads them.
    ClearInput();
    run_.Restart(static_cast<uint32_t>(rng_()));
    ++restarts;
    forwardTries_ = 0;
    scene_ = -1;
    titleGoal_ = 0;
  }
  Pads();
  const int32_t s = g_app.currentScene;
  if (s != SceneTitle) titleGoal_ = 0;
  if (s == SceneTitle && titleGoal_ == 0 && exitsWanted_ == 0 &&
      (titleVisits_ == 10 || titleVisits_ == 40)) {
    exitsWanted_ = 1;  // twice the program is ended and started again
  }
  if (IsStage(s) && piloting_ && !g_app.stageMode.paused) {
    pilot_.Step();
  } else if (IsStage(s) && piloting_) {
    TapOnce(kEscape);  // paused by chance: go on playing
    run_.Frames();
  } else {
    // A menu leading to a scene not yet seen is steered from its first frame.
    // Given up after a while: a player whose pad is gone cannot confirm.
    const bool purpose =
        stay_ < 300 && ((s == SceneOptions && !visited.count(SceneButtonConfig1P)) ||
                        ToButtons2P4P(s) || Forward(s));
    if (s == SceneTitle || purpose || stay_ > mashFor_) {
      // Nothing left held on the pads by the mashing.
      for (int p = 0; p < run_.Pads(); ++p) {
        run_.PadStick(p, 0, 0);
        for (int b = 0; b < 8; ++b) run_.PadButton(p, b, false);
      }
      Steer();
    } else {
      Mash();
    }
    run_.Frames();
  }
  if (g_quit && s == SceneTitle) exitsWanted_ = 0;
  ++framesStepped;
}

bool Monkey::ExitFromTitle(int limit) {
  exitsWanted_ = 1;
  for (int i = 0; i < limit; ++i) {
    piloting_ = false;
    mashFor_ = 0;
    Observe();
    if (g_app.currentScene == SceneTitle) titleGoal_ = titleGoal_ == kItemExit ? titleGoal_ : 0;
    Steer();
    run_.Frames();
    ++framesStepped;
    if (g_quit) return true;
  }
  return false;
}

bool Monkey::Visited(std::initializer_list<int32_t> scenes) const {
  for (int32_t s : scenes)
    if (!visited.count(s)) return false;
  return true;
}

std::string Monkey::Report() const {
  std::ostringstream out;
  out << framesStepped << " frames, " << sceneChanges << " scene changes, " << restarts
      << " restarts, " << unplugs << " unplugs; scene: visits / longest stay";
  for (const auto& [scene, n] : visits)
    out << "\n  " << scene << ": " << n << " / " << longestStay.at(scene);
  return out.str();
}

}  // namespace playthrough
