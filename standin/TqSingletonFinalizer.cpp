#include "platform/TqSingletonFinalizer.h"

#include <mutex>
#include <vector>

namespace {

struct Finalizer {
  std::mutex mutex;
  std::vector<void (*)()> funcs;
};

Finalizer& State() {
  // Never destroyed, so that a destroy function recorded during static
  // destruction finds it. Nothing runs at exit: destructors then would race
  // the other static destructors of the process.
  static Finalizer* const state = new Finalizer();
  return *state;
}

}  // namespace

void TqSingletonFinalizer::addDestroyFunc(void (*destroy)()) {
  if (destroy == nullptr) return;
  Finalizer& f = State();
  std::lock_guard<std::mutex> lock(f.mutex);
  f.funcs.push_back(destroy);
}

void TqSingletonFinalizer::runDestroyFuncs() {
  Finalizer& f = State();
  for (;;) {
    void (*destroy)() = nullptr;
    {
      std::lock_guard<std::mutex> lock(f.mutex);
      if (f.funcs.empty()) return;
      destroy = f.funcs.back();
      f.funcs.pop_back();
    }
    // Called without the lock: a destroy function may record another.
    destroy();
  }
}

std::size_t TqSingletonFinalizer::pendingCount() {
  Finalizer& f = State();
  std::lock_guard<std::mutex> lock(f.mutex);
  return f.funcs.size();
}
