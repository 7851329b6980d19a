// The view test of the graphics device's fixed-function draws.
#include "port/gpu_cull.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace port::gpu {

namespace {

// The margin, relative to the largest magnitude the shader's sums can reach:
// its float arithmetic (two matrix products of four terms each, and the
// depth remap) errs by well under a thousandth of it, whatever order or fused
// operations the driver chooses.
constexpr double kRelativeMargin = 1e-4;
// Below this the shader's values may be flushed to zero.
constexpr double kAbsoluteMargin = 1e-30;

}  // namespace

VertexBounds ScanBounds(const uint8_t* data, size_t size, uint64_t first, uint32_t stride,
                        uint32_t count) {
  VertexBounds box;
  if (!data || count == 0 || stride == 0) return box;
  const uint64_t end = first + static_cast<uint64_t>(count - 1) * stride + 3 * sizeof(float);
  if (end > size) return box;
  float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
  bool finite = true;
  const uint8_t* p = data + first;
  for (uint32_t i = 0; i < count; ++i, p += stride) {
    float v[3];
    std::memcpy(v, p, sizeof v);
    for (int k = 0; k < 3; ++k) {
      finite = finite && std::isfinite(v[k]);
      lo[k] = std::min(lo[k], v[k]);
      hi[k] = std::max(hi[k], v[k]);
    }
  }
  if (!finite) return box;
  std::memcpy(box.lo, lo, sizeof lo);
  std::memcpy(box.hi, hi, sizeof hi);
  box.known = true;
  return box;
}

bool OutsideView(const VertexBounds& box, const Matrix& worldView, const Matrix& projection) {
  if (!box.known) return false;
  double centre[3], half[3], reach[3];
  for (int k = 0; k < 3; ++k) {
    const double lo = box.lo[k], hi = box.hi[k];
    centre[k] = 0.5 * (lo + hi);
    half[k] = 0.5 * (hi - lo);
    reach[k] = std::max(std::fabs(lo), std::fabs(hi));
  }
  // clip = (p * worldView) * projection for p = (x, y, z, 1): the box's
  // centre taken through, each axis's coefficients (in double: exact enough),
  // and the largest magnitude any partial sum behind a clip coordinate can
  // reach for a point of the box.
  double eyeCentre[4], eyeReach[4];
  for (int k = 0; k < 4; ++k) {
    eyeCentre[k] = worldView.m[3][k];
    eyeReach[k] = std::fabs(worldView.m[3][k]);
    for (int i = 0; i < 3; ++i) {
      eyeCentre[k] += centre[i] * worldView.m[i][k];
      eyeReach[k] += reach[i] * std::fabs(worldView.m[i][k]);
    }
  }
  double clipCentre[4], size[4], axis[3][4];
  for (int j = 0; j < 4; ++j) {
    clipCentre[j] = size[j] = 0.0;
    for (int k = 0; k < 4; ++k) {
      const double p = projection.m[k][j];
      clipCentre[j] += eyeCentre[k] * p;
      size[j] += eyeReach[k] * std::fabs(p);
    }
    for (int i = 0; i < 3; ++i) {
      axis[i][j] = 0.0;
      for (int k = 0; k < 4; ++k) axis[i][j] += worldView.m[i][k] * projection.m[k][j];
    }
  }
  // Not finite: a matrix or the box out of range; nothing is judged.
  if (!std::isfinite(size[0] + size[1] + size[2] + size[3])) return false;
  // Each plane as weights of x, y, z, w that are positive outside it.
  static constexpr double kPlanes[6][4] = {{1, 0, 0, -1},  {-1, 0, 0, -1}, {0, 1, 0, -1},
                                           {0, -1, 0, -1}, {0, 0, 1, -1},  {0, 0, -1, 0}};
  for (const auto& plane : kPlanes) {
    // The plane's value over the box: least at the corner its weights point from.
    double least = 0.0, scale = 0.0;
    for (int j = 0; j < 4; ++j) {
      least += plane[j] * clipCentre[j];
      scale += std::fabs(plane[j]) * size[j];
    }
    for (int i = 0; i < 3; ++i) {
      double weight = 0.0;
      for (int j = 0; j < 4; ++j) weight += plane[j] * axis[i][j];
      least -= std::fabs(weight) * half[i];
    }
    if (least > kRelativeMargin * scale + kAbsoluteMargin) return true;
  }
  return false;
}

VertexBounds BoundsCache::Get(const uint8_t* data, size_t size, uint64_t first, uint32_t stride,
                              uint32_t count) {
  for (const Entry& e : entries_)
    if (e.first == first && e.stride == stride && e.count == count) return e.box;
  const VertexBounds box = ScanBounds(data, size, first, stride, count);
  if (entries_.size() >= kMaxEntries) entries_.clear();
  entries_.push_back({first, stride, count, box});
  return box;
}

}  // namespace port::gpu
