#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/gl_context.h"
#include "support/temp_dir.h"
#include "world/CharacterList.h"

namespace {

// Runs in a folder of its own, so which data files exist is up to the test.
class CharacterListInit : public gltest::GameDeviceTest {
 protected:
  void SetUp() override {
    gltest::GameDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    std::filesystem::create_directories(dir_.path() / "data");
    EnterFolder(dir_.path());
  }
  void TearDown() override {
    list.Release();
    gltest::GameDeviceTest::TearDown();
  }

  CharacterList list;

 private:
  testsupport::TempDir dir_;
};

TEST_F(CharacterListInit, SetsTheModelSamplersAndGoesOnWithoutItsFiles) {
  list.Init(device, device->GetCaps(), 1);
  EXPECT_EQ(list.GetToonEffect()->GetEffect(), nullptr) << "no effect file: the effect is absent";
  EXPECT_FALSE(list.GetToonRamp()->IsLoaded());
  using port::gpu::SamplerState;
  EXPECT_EQ(device->GetSamplerState(0, SamplerState::AddressU), port::gpu::AddressClamp);
  EXPECT_EQ(device->GetSamplerState(0, SamplerState::AddressV), port::gpu::AddressClamp);
  EXPECT_EQ(device->GetSamplerState(1, SamplerState::AddressU), port::gpu::AddressWrap);
  EXPECT_EQ(device->GetSamplerState(1, SamplerState::MipFilter), port::gpu::FilterLinear);
  EXPECT_EQ(device->GetSamplerState(1, SamplerState::MinFilter), port::gpu::FilterLinear);
  EXPECT_EQ(device->GetTextureStageState(1, port::gpu::StageState::ColorOp),
            port::gpu::TexOpModulate);
  list.Release();
  list.Release();
}

TEST_F(CharacterListInit, CreatesTheToonEffectFromItsFile) {
  {
    std::ifstream in(std::string(POMELVANE_SOURCE_DIR) + "/data/toonSkinEffect.fx",
                     std::ios::binary);
    ASSERT_TRUE(in.good());
    std::ofstream out("data/toonSkinEffect.fx", std::ios::binary);
    out << in.rdbuf();
  }
  list.Init(device, device->GetCaps(), 0);
  EXPECT_EQ(list.GetToonEffect()->GetEffect(), nullptr) << "not asked for";
  list.Init(device, device->GetCaps(), 1);
  EXPECT_NE(list.GetToonEffect()->GetEffect(), nullptr);
  list.InitForSelect(device);  // made again, the old one released
  EXPECT_NE(list.GetToonEffect()->GetEffect(), nullptr);
  list.Release();
  EXPECT_EQ(list.GetToonEffect()->GetEffect(), nullptr);
}

}  // namespace
