// The stage player on the small stage: placed, it settles on the field and
// walks where the keys send it.
#include <gtest/gtest.h>

#include "actors/PlayerKeys.h"
#include "support/stage_fixture.h"

namespace {

using stagetest::StageFixture;

class PlayerOnStage : public StageFixture {};

TEST_F(PlayerOnStage, SettlesOnTheFloorAndRunsForward) {
  player.Place(0.0f, 3.0f, 0.0f, 0.0f);
  Step(60);
  EXPECT_FLOAT_EQ(player.position.y, stagetest::kStandY);
  EXPECT_EQ(player.airborne, 0);
  Hold(keys::kUp);
  Step(10);
  EXPECT_NEAR(player.position.z, 3.0f, 1e-4f);  // 0.3 a frame
  EXPECT_FLOAT_EQ(player.position.x, 0.0f);
}

}  // namespace
