#pragma once
// The small stage on the stage-3 field, with the classes the stage-3 scene
// and boss 3 load besides the object list's: the hammer, boss 3's bullet and
// the target marker. Each is unloaded again at the end.
#include "actors/Boss3Tama.h"
#include "actors/Hammer.h"
#include "actors/Marker3D.h"
#include "support/stage_fixture.h"

namespace stagetest {

class Stage3Fixture : public StageFixture {
 protected:
  Stage3Fixture() { setup.field = kStage3Field; }
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    Hammer::Load(device);
    Boss3Tama::Load(device);
    Marker3D::Load(device);
  }
  void TearDown() override {
    Hammer::Unload();
    Boss3Tama::Unload();
    Marker3D::Unload();
    StageFixture::TearDown();
  }
};

}  // namespace stagetest
