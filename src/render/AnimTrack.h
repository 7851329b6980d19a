#pragma once
// One animation set's playing state. The skinned model reads it to pose a
// figure; a character keeps one per animation set of its model.

// One record per set of a character's model.
struct AnimTrack {
  float time = 0.0f;    // frames into the animation
  float length = 0.0f;  // the animation's length in frames
  float weight = 0.0f;  // 0..1, how much it counts in the pose
};
