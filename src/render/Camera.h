#pragma once
// A yaw, pitch and distance camera that yields the view and projection
// matrices and applies them to the device whenever it changes.
#include <cstdint>

#include "port/math.h"

namespace port::gpu {
class Device;
}

class Camera {
 public:
  // 0: orbit a target (pointB) with the eye at the offset pointA from it.
  // 1: look out from an eye (pointA) along the offset pointB.
  // 2: eye (pointA) and target (pointB) given directly.
  enum Mode : int32_t { kOrbit = 0, kLookOut = 1, kFree = 2 };

  static constexpr float kFieldOfView = 0.785398f;
  static constexpr float kAspect = 1.0f;  // the 640 by 480 picture is stretched sideways
  static constexpr float kNear = 1.0f;
  static constexpr float kFar = 250.0f;

  Camera() = default;

  // Each setter stores its value, recomputes the offset and applies.
  void SetDevice(port::gpu::Device* device);
  void SetYaw(float degrees);
  void SetPitch(float degrees);
  void SetDistance(float distance);
  // Mode 0 moves the target, mode 1 the eye, mode 2 nothing; then applies.
  void SetPosition(float x, float y, float z);
  // Converts the points to the new mode's meaning.
  void SetMode(int32_t mode);
  // Turns v by yaw and pitch into the offset point of the current mode.
  void UpdateOffset(const port::Vec3& v);
  // Builds the view and projection and sets them on the device (when there is one).
  void Apply();

  int32_t GetMode() const { return mode_; }
  float GetYaw() const { return yaw_; }
  float GetPitch() const { return pitch_; }
  float GetDistance() const { return distance_; }
  const port::Vec3& GetPointA() const { return pointA_; }
  const port::Vec3& GetPointB() const { return pointB_; }
  // Eye and target as the current mode reads the two points.
  port::Vec3 GetEye() const;
  port::Vec3 GetTarget() const;
  const port::Matrix& GetRotation() const { return rotation_; }
  const port::Matrix& GetView() const { return view_; }
  const port::Matrix& GetProjection() const { return projection_; }
  port::gpu::Device* GetDevice() const { return device_; }

 private:
  int32_t mode_ = kLookOut;
  port::gpu::Device* device_ = nullptr;
  port::Matrix rotation_;
  port::Matrix view_;
  port::Matrix projection_;
  port::Vec3 pointA_;
  port::Vec3 pointB_;
  float yaw_ = 180.0f;
  float pitch_ = 10.0f;
  float distance_ = 40.0f;
};

extern Camera g_camera;
