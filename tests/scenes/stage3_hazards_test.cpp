// Stage 3's hazards as its scene places them: the thirteen hammers put down
// with the player, and the launchers fired round the arena's centre every
// 200 scene frames while an area runs (never in the introduction or after
// the boss is beaten), each firing its ball on its 95th frame.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "actors/BallLauncher.h"
#include "actors/Hammer.h"
#include "app/StagePhase.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "support/stage_scene_fixture.h"
#include "world/CharacterList.h"
#include "world/ObjectList.h"

namespace {

using namespace stagescene;

struct Launch {
  int32_t sceneFrame;
  port::Vec3 at;
  float heading;
  int32_t owner;
};

bool operator==(const Launch& a, const Launch& b) {
  return a.sceneFrame == b.sceneFrame && a.at == b.at && a.heading == b.heading &&
         a.owner == b.owner;
}

void PrintTo(const Launch& l, std::ostream* os) {
  *os << "{" << l.sceneFrame << ", (" << l.at.x << ", " << l.at.y << ", " << l.at.z << "), "
      << l.heading << ", " << l.owner << "}";
}

class Stage3Hazards : public StageSceneTest {
 protected:
  // The launchers in their first frame, in list order.
  std::vector<Launch> NewLaunches() const {
    std::vector<Launch> out;
    for (size_t i = 0; i < g_objects.Size(); ++i) {
      const auto* l = dynamic_cast<const BallLauncher*>(g_objects.At(i));
      if (l && l->IsAlive() && l->frameCounter == 1)
        out.push_back({app.sceneFrame, l->position, l->rotation.y, l->GetOwner()});
    }
    return out;
  }
  // Frames, collecting the launchers each one fires up.
  void FramesCollecting(int n, std::vector<Launch>* launches) {
    for (int i = 0; i < n; ++i) {
      Frames();
      for (const Launch& l : NewLaunches()) launches->push_back(l);
    }
  }
};

TEST_F(Stage3Hazards, HammersStandWhereTheSceneSaysAndLaunchersFireOnlyWhileAnAreaRuns) {
  port::CrtSrand(33);
  app.requestedScene = SceneStage3;
  Frames();
  ASSERT_EQ(app.currentScene, SceneStage3);

  // Thirteen hammers of the enemy side in the scene's order, each one frame
  // into its turn.
  struct Expected {
    port::Vec3 at;
    float heading;
    int32_t mode;
  };
  const Expected kHammers[] = {{{-28.8f, 1.5f, -28.8f}, 0, kHammerSwing},
                               {{-28.8f, 1.5f, -28.8f}, 120, kHammerSwing},
                               {{-28.8f, 1.5f, -28.8f}, 240, kHammerSwing},
                               {{28.8f, 1.5f, -28.8f}, 0, kHammerSeesawUp},
                               {{28.8f, 1.5f, -28.8f}, 90, kHammerSeesawDown},
                               {{28.8f, 1.5f, -28.8f}, 180, kHammerSeesawUp},
                               {{28.8f, 1.5f, -28.8f}, 270, kHammerSeesawDown},
                               {{-28.8f, 1.5f, 28.8f}, 0, kHammerFast},
                               {{-28.8f, 4.0f, 28.8f}, 0, kHammerFast},
                               {{-28.8f, 1.5f, 28.8f}, 180, kHammerFast},
                               {{-28.8f, 4.0f, 28.8f}, 180, kHammerFast},
                               {{28.8f, 0.8f, 28.8f}, 0, kHammerSteady},
                               {{28.8f, 2.8f, 28.8f}, 0, kHammerBack}};
  std::vector<const Hammer*> hammers;
  for (size_t i = 0; i < g_objects.Size(); ++i)
    if (const auto* h = dynamic_cast<const Hammer*>(g_objects.At(i)); h && h->IsAlive())
      hammers.push_back(h);
  ASSERT_EQ(hammers.size(), 13u);
  for (size_t i = 0; i < hammers.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(hammers[i]->position, kHammers[i].at);
    EXPECT_EQ(hammers[i]->mode, kHammers[i].mode);
    EXPECT_EQ(hammers[i]->GetOwner(), kOwnerEnemy);
    EXPECT_EQ(hammers[i]->frameCounter, 1);
    EXPECT_LT(std::fabs(AngleDistance(hammers[i]->rotation.y, kHammers[i].heading)), 3.0f);
  }

  // The introduction fires nothing.
  std::vector<Launch> launches;
  while (app.stagePhase == kPhaseIntro && app.currentScene == SceneStage3)
    FramesCollecting(1, &launches);
  ASSERT_EQ(app.stagePhase, kPhaseArea1);
  EXPECT_TRUE(launches.empty());

  // Two rounds of the area: pairs east-west at 1 and north-south at 100 of
  // every 200 scene frames.
  AddSentinel();  // the area goes on whatever the zakos meet
  const int32_t from = app.sceneFrame;
  FramesCollecting(400, &launches);
  ASSERT_EQ(app.stagePhase, kPhaseArea1);
  std::vector<Launch> expected;
  for (int32_t s = from + 1; s <= from + 400; ++s) {
    if (s % 200 == 1) {
      expected.push_back({s, {5.3f, 1.2f, 0.0f}, 90, kOwnerEnemy});
      expected.push_back({s, {-5.3f, 1.2f, 0.0f}, 270, kOwnerEnemy});
    } else if (s % 200 == 100) {
      expected.push_back({s, {0.0f, 1.2f, 5.3f}, 0, kOwnerEnemy});
      expected.push_back({s, {0.0f, 1.2f, -5.3f}, 180, kOwnerEnemy});
    }
  }
  EXPECT_EQ(launches, expected);
  EXPECT_GT(g_objects.CountAlive(), 13) << "balls rolling from the launchers";

  // Beaten boss: the clear fires nothing more.
  for (int i = 0; i < 5000 && app.stagePhase != kPhaseClear; ++i) {
    KillAll();
    Frames();
  }
  ASSERT_EQ(app.stagePhase, kPhaseClear);
  launches.clear();
  FramesCollecting(250, &launches);
  EXPECT_TRUE(launches.empty());
}

}  // namespace
