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

}  // namespace detail
}  // namespace standin
