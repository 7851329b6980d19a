// Every character of the data set loads for both draw methods, with one
// track per file whose length is the one the actors time against.
#include <gtest/gtest.h>

#include <vector>

#include "datagen/manifest.h"
#include "render/SkinnedModel.h"

namespace {

TEST(SkinnedModelData, EveryCharacterLoadsWithItsTracks) {
  for (const datagen::CharacterFiles& c : datagen::Characters()) {
    for (int method : {SkinnedModel::kMethodSoftware, SkinnedModel::kMethodToon}) {
      SCOPED_TRACE(c.folder + " method " + std::to_string(method));
      SkinnedModel model;
      model.Init(nullptr, nullptr);
      ASSERT_EQ(model.Load((c.folder + c.files[0].name).c_str(), method), port::kOk);
      for (size_t i = 1; i < c.files.size(); ++i) {
        EXPECT_EQ(model.AddAnimation((c.folder + c.files[i].name).c_str()), port::kOk)
            << c.files[i].name;
      }
      ASSERT_EQ(model.GetAnimationSetCount(), c.files.size());
      std::vector<AnimTrack> tracks(c.files.size());
      EXPECT_EQ(model.GetAnimationLengths(tracks), port::kOk);
      for (size_t i = 0; i < c.files.size(); ++i) {
        EXPECT_EQ(tracks[i].length, static_cast<float>(c.files[i].length)) << c.files[i].name;
      }
      for (const std::string& frame : datagen::BodyFrameNames())
        EXPECT_NE(model.FindFrame(frame.c_str()), nullptr) << frame;
      EXPECT_GT(model.GetRadius(), 0.0f);
      for (AnimTrack& t : tracks)
        t = {t.length * 0.5f, t.length, 1.0f / static_cast<float>(tracks.size())};
      EXPECT_EQ(model.Animate(tracks, true, nullptr), port::kOk);
      model.UpdateFrameMatrices();
    }
  }
}

}  // namespace
