// Internal: the calling process's id without a system call per lookup.
//
// glibc no longer caches getpid(), and the locks ask for it on every
// acquisition (to notice a forked child that inherited a descriptor). The id
// is read once and forgotten in the child of every fork.
#pragma once

#include <sys/types.h>

namespace standin {
namespace detail {

pid_t CurrentPid();
// Tests: from now on CurrentPid() answers pid (0: the real id again), so
// that one test process can play the writer that died and the next boot.
void SetCurrentPidForTesting(pid_t pid);

}  // namespace detail
}  // namespace standin
