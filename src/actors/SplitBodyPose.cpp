#include "actors/SplitBodyPose.h"

#include <cstddef>

#include "render/SkinnedModel.h"

namespace {

constexpr const char* kLowerFrameNames[kLowerBodyFrameCount] = {
    "Frame4_dody_downer",
    "Frame5_right_leg3",
    "Frame6_right_leg2",
    "Frame7_right_leg1",
    "Frame8_left_leg3",
    "Frame9_left_leg2",
    "Frame10_left_leg1",
    "Frame2_center",
    "Frame3_dody_downer_operation",
    "Frame11_body_upper_operation",
};
constexpr const char* kUpperFrameNames[kUpperBodyFrameCount] = {
    "Frame12_body_upper", "Frame13_left_arm3",  "Frame14_left_arm2",  "Frame15_left_arm1",
    "Frame16_right_arm3", "Frame17_right_arm2", "Frame18_right_arm1", "Frame19_head",
};

}  // namespace

void FindBodyFrames(const SkinnedModel& model, ModelFrame* (&lower)[kLowerBodyFrameCount],
                    ModelFrame* (&upper)[kUpperBodyFrameCount]) {
  for (int i = 0; i < kLowerBodyFrameCount; ++i) lower[i] = model.FindFrame(kLowerFrameNames[i]);
  for (int i = 0; i < kUpperBodyFrameCount; ++i) upper[i] = model.FindFrame(kUpperFrameNames[i]);
}

void PoseSplitBody(SkinnedModel& model, std::vector<AnimTrack>& tracks, int32_t lowerTrack,
                   int32_t upperTrack, BodyFrames lower, BodyFrames upper) {
  const size_t n = tracks.size();
  const size_t low = static_cast<size_t>(lowerTrack);
  const size_t up = static_cast<size_t>(upperTrack);
  if (lowerTrack < 0 || upperTrack < 0 || low >= n || up >= n) return;
  if (low == up) {
    model.Animate(tracks, true, nullptr);
    return;
  }
  // A frame the model lacks is skipped: a null filter would pose them all.
  const float upWeight = tracks[up].weight;
  const float lowWeight = tracks[low].weight;
  tracks[up].weight = 0.0f;
  for (int i = 0; i < lower.count; ++i) {
    if (lower.frames[i]) model.Animate(tracks, true, lower.frames[i]);
  }
  tracks[up].weight = upWeight;
  tracks[low].weight = 0.0f;
  for (int i = 0; i < upper.count; ++i) {
    if (upper.frames[i]) model.Animate(tracks, true, upper.frames[i]);
  }
  tracks[low].weight = lowWeight;
}
