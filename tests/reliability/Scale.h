// How hard the reliability runs push on this build: a percentage of the full
// workload. Emulated and sanitized builds run a fraction so the suite stays
// within its time budget there; the environment variable
// SYSDATA_RELIABILITY_SCALE (1-1000) overrides. No test framework needed, so
// the fuzz replay runner shares it.
#pragma once

#include <cstdlib>

namespace reliability {

inline int scalePercent() {
  if (const char* env = std::getenv("SYSDATA_RELIABILITY_SCALE")) {
    const int v = std::atoi(env);
    if (v >= 1 && v <= 1000) return v;
  }
#if defined(__arm__)
  return 50;  // the 32-bit target, normally run under qemu-user
#elif defined(__SANITIZE_THREAD__)
  return 25;
#elif defined(__SANITIZE_ADDRESS__)
  return 40;
#else
  return 100;
#endif
}

// n scaled, never below minimum.
inline long scaled(long n, long minimum = 1) {
  const long v = n * scalePercent() / 100;
  return v < minimum ? minimum : v;
}

}  // namespace reliability
