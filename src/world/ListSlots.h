#pragma once
// The slot vector the three game-object lists share: owning pointers, a slot
// may be null, objects are reused in place and only freed by Clear.
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

template <typename T>
class ListSlots {
 public:
  // Stores the object in the first null slot, else appends it; the slot index.
  int Add(std::unique_ptr<T> item) {
    if (!item) return -1;
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (!slots_[i]) {
        slots_[i] = std::move(item);
        return static_cast<int>(i);
      }
    }
    slots_.push_back(std::move(item));
    return static_cast<int>(slots_.size() - 1);
  }

  // The number of slots, null ones included.
  size_t Size() const { return slots_.size(); }
  // The object in slot i, or null (also for an index past the end).
  T* At(size_t i) const { return i < slots_.size() ? slots_[i].get() : nullptr; }

  // Calls f on every non-null object in slot order. The count is taken first:
  // objects added during the walk are reached on the next walk.
  template <typename F>
  void ForEach(F&& f) const {
    const size_t count = slots_.size();
    for (size_t i = 0; i < count && i < slots_.size(); ++i) {
      if (T* item = slots_[i].get()) f(item);
    }
  }

  // Destroys every object and empties the vector.
  void ClearSlots() {
    // Moved out first so an object's destructor never sees a half-cleared list.
    std::vector<std::unique_ptr<T>> doomed;
    doomed.swap(slots_);
    doomed.clear();
  }

 protected:
  std::vector<std::unique_ptr<T>> slots_;
};
