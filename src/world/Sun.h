#pragma once
// The one directional light of the stage scenes (g_sun), and the spinning sun
// in the sky that shows where it comes from. The light shines from the sun's
// place toward the origin.
#include <cstdint>

#include "port/gpu.h"
#include "port/math.h"
#include "render/StaticMesh.h"

class Sun {
 public:
  // Distance 10, yaw 90, pitch 45, position (0, 0, 0), no mesh; no device.
  Sun() = default;
  Sun(const Sun&) = delete;
  Sun& operator=(const Sun&) = delete;

  // Keeps the device, places the sun from the stored angles, sets a white
  // light without specular into light slot 0, and loads "Xfile/sun.X" (once;
  // kept while loaded) when withMesh is nonzero, else releases the mesh.
  void Init(port::gpu::Device* device, uint8_t withMesh);
  // Degrees, degrees, world units: stores them, places the sun and updates
  // the light.
  void SetPosition(float pitch, float yaw, float distance);
  // The mesh, twenty times its size, spinning 200 degrees a second about its
  // own axis, at the sun's place; nothing without a mesh or device. Reads
  // the millisecond clock and changes nothing.
  void Draw();
  // The unit vector from the sun toward the origin, with 0 as w.
  port::Vec4 GetLightDirection() const;
  // Colours of the light, 0 to 1; they reach the device at the next UpdateLight.
  void SetDiffuse(float r, float g, float b, float a);
  void SetSpecular(float r, float g, float b, float a);
  void SetAmbient(float r, float g, float b, float a);
  // Direction = -position, made unit length; the light into slot 0.
  void UpdateLight();
  // The world matrix Draw uses at clock time `ms`.
  port::Matrix WorldAt(uint32_t ms) const;

  port::gpu::Device* device = nullptr;  // not owned
  port::gpu::Light light;
  StaticMesh mesh;
  port::Matrix rotation = port::MatrixIdentity();  // the last yaw-pitch turn
  port::Vec3 position;
  float distance = 10.0f;
  float yaw = 90.0f;    // degrees
  float pitch = 45.0f;  // degrees
  // The millisecond clock the spin follows; a test may stop it.
  uint32_t (*clock)() = nullptr;

 private:
  void Place();
};

extern Sun g_sun;
