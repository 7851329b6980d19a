// The small enemies in the real stage scenes: every area of stages 1 to 3
// spawns the zakos its placement file lists, and on the stage's own field
// they find the player standing at its start and fight it: they come near,
// the shooters fire, and none leaves the field, sinks into it or hangs in
// the air. With POMELVANE_SAVE_PICTURES set to a folder, a picture of each
// area is written there.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "actors/Player.h"
#include "app/AppearRecord.h"
#include "app/StagePhase.h"
#include "port/random.h"
#include "support/stage_fixture.h"
#include "support/stage_scene_fixture.h"
#include "world/CharacterList.h"

namespace {

using namespace stagescene;

constexpr int kEnemyShotSound = 6;

int32_t CharacterKindOf(int32_t appearKind) {
  switch (appearKind) {
    case 2:
      return kCharacterZako2;
    case 3:
      return kCharacterZako3;
    case 4:
      return kCharacterZako4;
    default:
      return kCharacterZako1;
  }
}

class StageEnemies : public StageSceneTest, public ::testing::WithParamInterface<int> {
 protected:
  void SavePicture(const std::string& name) {
    const char* folder = std::getenv("POMELVANE_SAVE_PICTURES");
    if (!folder || !std::filesystem::is_directory(folder)) return;
    drawing = true;
    Frames();
    drawing = false;
    stagetest::WritePicture(Picture(), std::string(folder) + "/" + name + ".png");
  }
};

TEST_P(StageEnemies, EveryAreaSpawnsItsZakosAndTheyFightThePlayer) {
  const int stage = GetParam();
  const int32_t scenes[] = {SceneStage1, SceneStage2, SceneStage3};
  const int areas = stage == 1 ? 2 : 4;
  port::CrtSrand(static_cast<uint32_t>(stage));
  app.requestedScene = scenes[stage - 1];
  Frames();
  ASSERT_GT(UntilPhase(kPhaseArea1, 300), 0);

  for (int area = 1; area <= areas; ++area) {
    SCOPED_TRACE(area);
    ASSERT_EQ(app.stagePhase, area);
    Frames();  // the area's entry: its file spawned
    const std::string file = "AppearData/stage" + std::to_string(stage) + "/stage" +
                             std::to_string(stage) + "_erea" + std::to_string(area) + ".arg";
    std::vector<AppearRecord> records;
    ASSERT_TRUE(ReadAppearRecords(file.c_str(), &records));
    std::map<int32_t, int> want, have;
    for (const AppearRecord& r : records) ++want[CharacterKindOf(r.kind)];
    g_characters.ForEach([&](Character* c) {
      if (c->IsAlive()) ++have[c->GetKind()];
    });
    EXPECT_EQ(have, want);

    const port::Vec3 start = g_player.position;
    std::map<const Character*, int> inAir;
    double nearest = 1e9;
    int longestInAir = 0;
    ClearSounds();
    for (int f = 0; f < 1500 && app.stagePhase == area; ++f) {
      Frames();
      g_player.position.x = start.x;  // it stands its ground
      g_player.position.z = start.z;
      g_characters.ForEach([&](Character* c) {
        if (!c->IsAlive()) return;
        ASSERT_LT(std::fabs(c->position.x), 40.0f);
        ASSERT_LT(std::fabs(c->position.z), 40.0f);
        ASSERT_GT(c->position.y, 0.99f) << "under the floor";
        int& n = inAir[c];
        n = c->airborne ? n + 1 : 0;
        longestInAir = std::max(longestInAir, n);
        if (c->GetKind() != kCharacterZako1) {
          const port::Vec3& p = g_player.position;
          nearest = std::min(nearest, std::hypot(static_cast<double>(c->position.x - p.x),
                                                 static_cast<double>(c->position.z - p.z)));
        }
      });
      if (f % 300 == 0) {
        SavePicture("stage" + std::to_string(stage) + "_area" + std::to_string(area) + "_" +
                    std::to_string(f));
      }
    }
    const bool shooters = want.size() > 1 || !want.count(kCharacterZako1);
    if (shooters) {
      EXPECT_LT(nearest, 12.0) << "they came for the player";
      EXPECT_GT(CountSound(kEnemyShotSound), 0) << "and shot at it";
    }
    EXPECT_LT(longestInAir, 300) << "none hangs in the air";
    KillAll();
    ASSERT_GT(UntilPhase(area < areas ? area + 1 : kPhaseBoss, 10), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Stages, StageEnemies, ::testing::Values(1, 2, 3));

}  // namespace
