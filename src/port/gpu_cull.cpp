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
  // clip = (p * worldView) * projection for p = (x, y, z, 1): m holds the
  // chain's coefficients exactly enough, a its magnitudes term by term.
  double m[4][4], a[4][4];
  double total = 0.0;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double s = 0.0, t = 0.0;
      for (int k = 0; k < 4; ++k) {
        const double wv = worldView.m[i][k], p = projection.m[k][j];
        s += wv * p;
        t += std::fabs(wv) * std::fabs(p);
      }
      m[i][j] = s;
      a[i][j] = t;
      total += t;
    }
  }
  if (!std::isfinite(total)) return false;
  double centre[4], half[4], reach[4];
  for (int k = 0; k < 3; ++k) {
    const double lo = box.lo[k], hi = box.hi[k];
    centre[k] = 0.5 * (lo + hi);
    half[k] = 0.5 * (hi - lo);
    reach[k] = std::max(std::fabs(lo), std::fabs(hi));
  }
  centre[3] = 1.0;
  half[3] = 0.0;
  reach[3] = 1.0;
  // The largest magnitude of any partial sum behind each clip coordinate.
  double size[4];
  for (int j = 0; j < 4; ++j) {
    size[j] = 0.0;
    for (int i = 0; i < 4; ++i) size[j] += reach[i] * a[i][j];
  }
  // Each plane as weights of x, y, z, w that are positive outside it.
  static constexpr double kPlanes[6][4] = {{1, 0, 0, -1},  {-1, 0, 0, -1}, {0, 1, 0, -1},
                                           {0, -1, 0, -1}, {0, 0, 1, -1},  {0, 0, -1, 0}};
  for (const auto& plane : kPlanes) {
    // The plane's value over the box: least at the corner the weights point from.
    double least = 0.0, scale = 0.0;
    for (int i = 0; i < 4; ++i) {
      double weight = 0.0;
      for (int j = 0; j < 4; ++j) weight += plane[j] * m[i][j];
      least += weight * centre[i] - std::fabs(weight) * half[i];
    }
    for (int j = 0; j < 4; ++j) scale += std::fabs(plane[j]) * size[j];
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
