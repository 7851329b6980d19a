#pragma once
// Whether a fixed-function draw can reach the view: the box around the
// positions it reads, taken through the transforms the vertex shader applies.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "port/math.h"

namespace port::gpu {

// The axis-aligned box around a run of float3 positions. Unknown when a
// coordinate is not finite or the run does not lie within its data: such a
// draw is always drawn.
struct VertexBounds {
  float lo[3] = {}, hi[3] = {};
  bool known = false;
};

// The box of count positions, stride bytes apart, the first at byte first of
// size bytes of data.
VertexBounds ScanBounds(const uint8_t* data, size_t size, uint64_t first, uint32_t stride,
                        uint32_t count);

// True when every point of the box, taken through worldView then projection
// (row vectors, as the vertex shader chains them), lies strictly outside one
// and the same plane of the clip volume (-w <= x, y <= w, 0 <= z <= w), by a
// margin no float rounding of the shader can cross. Valid whatever the sign
// of w: each plane is a linear test in homogeneous coordinates.
bool OutsideView(const VertexBounds& box, const Matrix& worldView, const Matrix& projection);

// Boxes of the runs a buffer's draws read, remembered until its bytes change:
// a mesh draws the same runs frame after frame.
class BoundsCache {
 public:
  VertexBounds Get(const uint8_t* data, size_t size, uint64_t first, uint32_t stride,
                   uint32_t count);
  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    uint64_t first;
    uint32_t stride, count;
    VertexBounds box;
  };
  static constexpr size_t kMaxEntries = 64;
  std::vector<Entry> entries_;
};

}  // namespace port::gpu
