#include "standin/ProcessId.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>

namespace standin {
namespace detail {
namespace {

std::atomic<pid_t> g_pid{0};

void ForgetInChild() { g_pid.store(0, std::memory_order_relaxed); }

// Registered while the library loads, before any lock can be taken.
const int g_registered = ::pthread_atfork(nullptr, nullptr, &ForgetInChild);

}  // namespace

pid_t CurrentPid() {
  (void)g_registered;
  pid_t pid = g_pid.load(std::memory_order_relaxed);
  if (pid == 0) {
    pid = ::getpid();
    g_pid.store(pid, std::memory_order_relaxed);
  }
  return pid;
}

void SetCurrentPidForTesting(pid_t pid) { g_pid.store(pid, std::memory_order_relaxed); }

}  // namespace detail
}  // namespace standin
