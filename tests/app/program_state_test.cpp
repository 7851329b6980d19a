#include <gtest/gtest.h>

#include "actors/Player.h"
#include "app/Application.h"
#include "platform/SoundManager.h"
#include "support/program_state.h"

namespace {

// One field a test may change, in each struct the guard keeps; the last ones
// are the fields a hand-kept list once left out.
struct FieldChange {
  const char* field;
  void (*change)();
  double (*read)();
};

const FieldChange kFieldChanges[] = {
    {"timeLeft", [] { g_app.timeLeft += 7; }, [] { return double(g_app.timeLeft); }},
    {"options.volume", [] { g_app.options.volume += 7; },
     [] { return double(g_app.options.volume); }},
    {"spareRanking4", [] { g_app.spareRanking4.emplace_back(); },
     [] { return double(g_app.spareRanking4.size()); }},
    {"menus.keys", [] { g_app.menus.keys[11] += 7; }, [] { return double(g_app.menus.keys[11]); }},
    {"menus.playerCursors", [] { g_app.menus.playerCursors[3] += 7; },
     [] { return double(g_app.menus.playerCursors[3]); }},
    {"title.serial", [] { g_app.title.serial += 7; }, [] { return double(g_app.title.serial); }},
    {"stageMode.introCamera", [] { g_app.stageMode.introCamera.yaw += 7.0f; },
     [] { return double(g_app.stageMode.introCamera.yaw); }},
    {"sokai.maxCombo", [] { g_app.sokai.maxCombo += 7; },
     [] { return double(g_app.sokai.maxCombo); }},
    {"battle.decided", [] { g_app.battle.decided[3] ^= 1; },
     [] { return double(g_app.battle.decided[3]); }},
    {"master volume", [] { g_sound.masterVolume += 7; },
     [] { return double(g_sound.masterVolume); }},
    {"player button", [] { g_player.SetButton(0, g_player.GetButton(0) + 7); },
     [] { return double(g_player.GetButton(0)); }},
    {"appearRecords", [] { g_app.appearRecords.emplace_back(); },
     [] { return double(g_app.appearRecords.size()); }},
    {"result.time", [] { g_app.result.time += 7; }, [] { return double(g_app.result.time); }},
    {"result.stages", [] { g_app.result.stages += 7; }, [] { return double(g_app.result.stages); }},
    {"result.extra", [] { g_app.result.extra += 7; }, [] { return double(g_app.result.extra); }},
    {"result.score", [] { g_app.result.score += 7; }, [] { return double(g_app.result.score); }},
    {"result.rankPlace", [] { g_app.result.rankPlace += 7; },
     [] { return double(g_app.result.rankPlace); }},
    {"result.nameCursor", [] { g_app.result.nameCursor += 7; },
     [] { return double(g_app.result.nameCursor); }},
};

TEST(ProgramStateGuard, PutsBackAChangedFieldOfEveryStruct) {
  for (const FieldChange& f : kFieldChanges) {
    const double before = f.read();
    {
      testsupport::ScopedProgramState state;
      f.change();
      ASSERT_NE(f.read(), before) << f.field;
    }
    EXPECT_EQ(f.read(), before) << f.field;
  }
}

}  // namespace
