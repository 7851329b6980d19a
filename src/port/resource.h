#pragma once
// Reference-counted platform resources: the holder that created a resource
// releases it exactly once; anything that keeps a second reference AddRefs it.
#include <atomic>
#include <cstdint>

namespace port {

// Status codes of the platform layer (negative means failure).
using Status = int32_t;
constexpr Status kOk = 0;
constexpr Status kFail = static_cast<Status>(0x80004005u);
constexpr Status kInvalidArg = static_cast<Status>(0x80070057u);
constexpr Status kOutOfMemory = static_cast<Status>(0x8007000Eu);
constexpr Status kInvalidCall = static_cast<Status>(0x8876086Cu);
constexpr Status kMeshHasNoData = static_cast<Status>(0x88760B5Au);
inline bool Failed(Status s) { return s < 0; }

class Resource {
 public:
  Resource() = default;
  Resource(const Resource&) = delete;
  Resource& operator=(const Resource&) = delete;
  void AddRef() { ++refs_; }
  // Returns the references left; the resource deletes itself at zero.
  uint32_t Release() {
    uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~Resource() = default;

 private:
  uint32_t refs_ = 1;
};

// Releases *p when it is not null and clears it, so a second call does nothing.
template <typename T>
inline void SafeRelease(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}

}  // namespace port
