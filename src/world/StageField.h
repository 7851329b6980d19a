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
  // The arguments are not used.
  void Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection);

  // True, with *distance set to the hit, only for a hit strictly nearer than
  // *distance on entry. Distances count lengths of the direction vector.
  bool RayCast(const port::Vec3* origin, const port::Vec3* direction, float* distance);
  // The same, also writing the hit triangle's unit normal.
  bool RayCastNormal(const port::Vec3* origin, const port::Vec3* direction, float* distance,
                     port::Vec3* normal);

  void SetDrawMode(int32_t mode) { drawMode = mode; }
  int32_t GetDrawMode() const { return drawMode; }
  const StaticMesh& Ground() const { return ground; }
  const StaticMesh& Round() const { return round; }
  const StaticMesh& Collision() const { return collision; }

 private:
  port::gpu::Device* device = nullptr;
  StageResourceRecord resources;
  StaticMesh ground;
  StaticMesh round;
  StaticMesh collision;
  int32_t drawMode = 0;
};

extern StageField g_stageField;
