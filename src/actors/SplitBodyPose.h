#pragma once
// The pose of a figure whose legs and whose arms and head may play different
// tracks: the lower frames from the lower track, the upper frames from the
// upper one; one pose from the root when both are the same track.
#include <cstdint>
#include <vector>

#include "render/AnimTrack.h"

class ModelFrame;
class SkinnedModel;

// The skeleton the players and boss 2 share: the legs and hips, then the
// body, arms and head (the head last).
constexpr int kLowerBodyFrameCount = 10;
constexpr int kUpperBodyFrameCount = 8;

// Looks the skeleton's frames up in the model; a frame it lacks stays null.
void FindBodyFrames(const SkinnedModel& model, ModelFrame* (&lower)[kLowerBodyFrameCount],
                    ModelFrame* (&upper)[kUpperBodyFrameCount]);

struct BodyFrames {
  ModelFrame* const* frames;  // null entries (frames the model lacks) are skipped
  int count;
};

// Tracks out of range pose nothing. The weights are put back as they were.
void PoseSplitBody(SkinnedModel& model, std::vector<AnimTrack>& tracks, int32_t lowerTrack,
                   int32_t upperTrack, BodyFrames lower, BodyFrames upper);
