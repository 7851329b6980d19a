#pragma once
// How two read-back pictures of the 640 by 480 screen differ, for assertion
// messages: empty when they are the same.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

inline std::string Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() != b.size()) return "sizes differ";
  size_t count = 0, first = 0;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && count++ == 0) first = i;
  if (count == 0) return {};
  char text[128];
  std::snprintf(text, sizeof text, "%zu pixels differ, first at (%zu, %zu): %08X against %08X",
                count, first % 640, first / 640, a[first], b[first]);
  return text;
}

}  // namespace testsupport
