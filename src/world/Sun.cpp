#include "world/Sun.h"

#include "platform/MathHelpers.h"
#include "port/window.h"

namespace {

constexpr const char* kSunMeshPath = "Xfile/sun.X";

struct SunNumbers {
  float scale = 20.0f;
  uint32_t msPerDegree = 5;  // the spin: 200 degrees a second
  float tilt = 10.0f;        // degrees about x
  float facing = 180.0f;     // added to the yaw: the face turned toward the field
};
constexpr SunNumbers kSun;

}  // namespace

void Sun::Place() {
  rotation = port::MatrixRotationYawPitchRoll(yaw * kDegToRad, pitch * kDegToRad, 0.0f);
  position = port::Vec3TransformCoord({0.0f, distance, 0.0f}, rotation);
}

void Sun::Init(port::gpu::Device* device_, uint8_t withMesh) {
  device = device_;
  Place();
  light = port::gpu::Light{};
  light.type = port::gpu::LightDirectional;
  SetDiffuse(1.0f, 1.0f, 1.0f, 1.0f);
  SetSpecular(0.0f, 0.0f, 0.0f, 1.0f);
  SetAmbient(1.0f, 1.0f, 1.0f, 1.0f);
  UpdateLight();
  if (withMesh) {
    if (!mesh.GetMesh()) mesh.Load(device, kSunMeshPath);
  } else {
    mesh.Release();
  }
}

void Sun::SetPosition(float pitch_, float yaw_, float distance_) {
  pitch = pitch_;
  yaw = yaw_;
  distance = distance_;
  Place();
  UpdateLight();
}

port::Matrix Sun::WorldAt(uint32_t ms) const {
  const float spin = static_cast<float>(ms / kSun.msPerDegree);
  return port::MatrixScaling(kSun.scale, kSun.scale, kSun.scale) *
         port::MatrixRotationZ(spin * kDegToRad) * port::MatrixRotationX(kSun.tilt * kDegToRad) *
         port::MatrixRotationY((yaw + kSun.facing) * kDegToRad) *
         port::MatrixTranslation(position.x, position.y, position.z);
}

void Sun::Draw() {
  if (!device || !mesh.GetMesh()) return;
  const uint32_t ms = clock ? clock() : port::TickCountMs();
  device->SetTransform(port::gpu::TransformType::World, WorldAt(ms));
  mesh.Draw();
}

port::Vec4 Sun::GetLightDirection() const {
  return port::Vec4Normalize({-position.x, -position.y, -position.z, 0.0f});
}

void Sun::SetDiffuse(float r, float g, float b, float a) { light.diffuse = {r, g, b, a}; }
void Sun::SetSpecular(float r, float g, float b, float a) { light.specular = {r, g, b, a}; }
void Sun::SetAmbient(float r, float g, float b, float a) { light.ambient = {r, g, b, a}; }

void Sun::UpdateLight() {
  light.direction = port::Vec3Normalize(-position);
  if (device) device->SetLight(0, light);
}
