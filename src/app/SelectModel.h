#pragma once
// The turning figure of one player's choice on the character select: the
// chosen character's model in its standing animation, striking its pose once
// the player has confirmed. The application holds four, one per player slot;
// they share the four character models, character 2's flower and one
// 192 by 192 picture, into which each panel is rendered and from which it is
// drawn at its place before the next panel is rendered.
#include <cstdint>

#include "actors/SplitBodyPose.h"
#include "port/math.h"
#include "world/Character.h"

class EffectHolder;
class ModelFrame;
class SkinnedModel;
class StaticMesh;
class Texture;

namespace port {
class Sprite;
namespace gpu {
class Texture;
}
}  // namespace port

class SelectModel : public Character {
 public:
  static constexpr int kModelCount = 4;  // characters 1 to 4
  static constexpr int kTrackCount = 2;  // 0 stand, 1 pose
  static constexpr int kLowerFrameCount = kLowerBodyFrameCount;
  static constexpr int kUpperFrameCount = kUpperBodyFrameCount;  // the last is the head
  static constexpr int kPanelSize = 192;                         // pixels, square

  SelectModel();
  ~SelectModel() override;

  // ---- Class-wide ----

  // Loads the four models for the draw method (2 fixed function, 3 toon, with
  // the effect and its ramp) and the flower, and makes the panel picture. A
  // missing file leaves its model empty; a picture that cannot be made
  // leaves the panels undrawn.
  static void LoadShared(int method, EffectHolder* effect, Texture* toonRamp);
  // Model of character index 0..3 (for tests and the benchmark).
  static SkinnedModel& Model(int index);
  static StaticMesh* Flower();
  // The panel picture, or null when none could be made.
  static port::gpu::Texture* PanelTexture();
  // The screen place of panel 0..3 (top-left corner).
  static port::Vec2 PanelPlace(int index);

  // ---- Per slot ----

  // Character index 0, undecided, facing the front; tracks for the model.
  void Init();
  // choice 1..4: a new choice restarts the stand animation at full weight;
  // the current one (or one out of range) changes nothing.
  void SetCharacter(int32_t choice);
  void SetDecided() { decided = 1; }
  void ClearDecided() { decided = 0; }
  // One frame: turn and stand while undecided; turn back to the front and
  // play the pose once while decided.
  void Update() override;
  // Renders this slot's figure into the panel picture; the device's target,
  // viewport and states come back afterwards.
  void Render();
  // Ends the sprite batch, renders, begins it again and draws the picture at
  // panel index's place.
  void DrawPanel(port::Sprite* sprite, int index);
  // Releases the shared resources; the second and later calls find nothing.
  void Release() override;

  ModelFrame* lowerFrames[kLowerFrameCount] = {};
  ModelFrame* upperFrames[kUpperFrameCount] = {};
  int32_t characterIndex = 0;
  int32_t decided = 0;
  port::Vec3 spin;  // degrees; only y (about the vertical) turns

 private:
  void RebuildTracks();
};
