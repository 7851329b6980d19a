#include "render/Camera.h"

#include "platform/MathHelpers.h"
#include "port/gpu.h"

void Camera::SetDevice(port::gpu::Device* device) {
  device_ = device;
  UpdateOffset({0.0f, 0.0f, distance_});
  Apply();
}

void Camera::SetYaw(float degrees) {
  yaw_ = degrees;
  UpdateOffset({0.0f, 0.0f, distance_});
  Apply();
}

void Camera::SetPitch(float degrees) {
  pitch_ = degrees;
  UpdateOffset({0.0f, 0.0f, distance_});
  Apply();
}

void Camera::SetDistance(float distance) {
  distance_ = distance;
  UpdateOffset({0.0f, 0.0f, distance_});
  Apply();
}

void Camera::SetPosition(float x, float y, float z) {
  if (mode_ == kOrbit) {
    pointB_ = {x, y, z};
  } else if (mode_ == kLookOut) {
    pointA_ = {x, y, z};
  }
  Apply();
}

void Camera::SetMode(int32_t mode) {
  if (mode == mode_) return;
  if (mode != kOrbit && mode != kLookOut && mode != kFree) return;
  if (mode == kFree) {
    // The relative point becomes absolute; nothing is applied.
    if (mode_ == kOrbit) {
      pointA_ = pointB_ + pointA_;
    } else {
      pointB_ = pointA_ + pointB_;
    }
    mode_ = kFree;
    return;
  }
  if (mode_ == kFree) {
    // From eye and target back to angles and a distance; the offset point
    // keeps its value until the next setter recomputes it.
    const port::Vec3 v = mode == kOrbit ? pointA_ - pointB_ : pointB_ - pointA_;
    distance_ = static_cast<float>(
        Distance3(pointA_.x, pointA_.y, pointA_.z, pointB_.x, pointB_.y, pointB_.z));
    AnglesOfVector(v.x, v.y, v.z, &pitch_, &yaw_);
    mode_ = mode;
    return;
  }
  // Between orbit and look-out: the fixed point stays where it is, and the
  // offset turns round to point the other way.
  if (mode == kOrbit) {
    pointB_ = pointA_ + pointB_;
  } else {
    pointA_ = pointB_ + pointA_;
  }
  pitch_ = -pitch_;
  yaw_ = yaw_ + 180.0f;
  mode_ = mode;
  UpdateOffset({0.0f, 0.0f, distance_});
  Apply();
}

void Camera::UpdateOffset(const port::Vec3& v) {
  rotation_ = port::MatrixRotationYawPitchRoll(yaw_ * kDegToRad, pitch_ * kDegToRad, 0.0f);
  if (mode_ == kOrbit) {
    pointA_ = port::Vec3TransformCoord(v, rotation_);
  } else if (mode_ == kLookOut) {
    pointB_ = port::Vec3TransformCoord(v, rotation_);
  }
}

port::Vec3 Camera::GetEye() const {
  if (mode_ == kOrbit) return pointB_ + pointA_;
  return pointA_;
}

port::Vec3 Camera::GetTarget() const {
  if (mode_ == kOrbit) return pointB_;
  if (mode_ == kLookOut) return pointA_ + pointB_;
  return pointB_;
}

void Camera::Apply() {
  view_ = port::MatrixLookAtLH(GetEye(), GetTarget(), {0.0f, 1.0f, 0.0f});
  projection_ = port::MatrixPerspectiveFovLH(kFieldOfView, kAspect, kNear, kFar);
  // Without a device the matrices are still kept for whoever reads them.
  if (!device_) return;
  device_->SetTransform(port::gpu::TransformType::View, view_);
  device_->SetTransform(port::gpu::TransformType::Projection, projection_);
}
