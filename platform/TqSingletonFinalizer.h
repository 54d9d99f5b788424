// Process teardown of the host framework: destroy functions of singletons.
//
// addDestroyFunc(f) records f; the host calls every recorded function, the
// last recorded first, when it finalises (runDestroyFuncs). Nothing runs by
// itself at process exit, where a destructor could run after the static
// objects it uses (the creation locks) have ended. A function
// recorded twice is called twice. Thread-safe.
#pragma once

#include <cstddef>

#include "platform/TqPlatformExport.h"

class TQPLATFORM_API TqSingletonFinalizer {
 public:
  static void addDestroyFunc(void (*destroy)());
  // The host's teardown; tests call it to end every singleton.
  static void runDestroyFuncs();
  // How many functions are recorded and not yet run (for tests).
  static std::size_t pendingCount();
};
