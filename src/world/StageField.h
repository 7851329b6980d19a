#pragma once
// The ground of a stage: a visible ground mesh, the surrounding scenery drawn
// behind everything, and an invisible collision mesh the actors cast rays at.
#include <cstdint>

#include "port/math.h"
#include "render/StageResourceRecord.h"
#include "render/StaticMesh.h"

namespace port::gpu {
class Device;
}

class StageField {
 public:
  StageField();
  ~StageField();
  StageField(const StageField&) = delete;
  StageField& operator=(const StageField&) = delete;

  // Stores the device; draw mode 1.
  void Init(port::gpu::Device* device);
  // Each releases the mesh held, then loads the file; a file that fails
  // leaves the mesh empty.
  void LoadGround(const char* path);
  void LoadRound(const char* path);
  // Also keeps the triangles readable for RayCastNormal.
  void LoadCollision(const char* path);
  // The resource record, then the round, collision and ground meshes.
  void Release();

  // The round mesh without depth test, then the ground, as the draw mode says.
  // Drawn first into a viewport whose depth was just cleared to 1: where the
  // ground is sure to cover what lies under it, it goes first and the round
  // mesh is drawn only where the depth is still the cleared 1, the picture
  // and the depth left the same. The arguments are not used.
  void Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection);

  // True, with *distance set to the hit, only for a hit strictly nearer than
  // *distance on entry. Distances count lengths of the direction vector.
  bool RayCast(const port::Vec3* origin, const port::Vec3* direction, float* distance);
  // The same, also writing the hit triangle's unit normal.
  bool RayCastNormal(const port::Vec3* origin, const port::Vec3* direction, float* distance,
                     port::Vec3* normal);

  // On (the default), the round mesh goes after the ground where Draw may
  // (above); off, always before it: the reference for tests.
  void SetRoundAfterGround(bool on) { roundAfterGround = on; }
  bool GetRoundAfterGround() const { return roundAfterGround; }
  void SetDrawMode(int32_t mode) { drawMode = mode; }
  int32_t GetDrawMode() const { return drawMode; }
  const StaticMesh& Ground() const { return ground; }
  const StaticMesh& Round() const { return round; }
  const StaticMesh& Collision() const { return collision; }

 private:
  bool RoundGoesLast(bool groundLit) const;
  void DrawGround(bool lit, bool alphaCutout);
  void DrawRoundBehind();

  port::gpu::Device* device = nullptr;
  StageResourceRecord resources;
  StaticMesh ground;
  StaticMesh round;
  StaticMesh collision;
  int32_t drawMode = 0;
  bool roundAfterGround = true;
};

extern StageField g_stageField;
