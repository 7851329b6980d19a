#pragma once
// In the sanitizer build, whether LeakSanitizer finds memory that nothing
// points to any more. Always true elsewhere, or with leak detection off.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define POMELVANE_TEST_LSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define POMELVANE_TEST_LSAN 1
#endif

#ifdef POMELVANE_TEST_LSAN
#include <sanitizer/lsan_interface.h>
#endif

namespace testsupport {

inline bool NoLeaksSoFar() {
#ifdef POMELVANE_TEST_LSAN
  return __lsan_do_recoverable_leak_check() == 0;
#else
  return true;
#endif
}

}  // namespace testsupport
