#include "actors/SplitBodyPose.h"

#include <cstddef>

#include "render/SkinnedModel.h"

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
