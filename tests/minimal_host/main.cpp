// Loads the product library as a host does, with every reference bound at
// load (RTLD_NOW), into a process whose only platform is the minimal host,
// and runs the boot sequence in it.
//
//   minimal_host <product library> <boot module>
//
// The test keeps the segments of each run apart from the machine's own: this
// program defines shm_open and shm_unlink (first in the process's symbol
// scope), which give the names a prefix of this process and remove what it
// made at exit. A real host has nothing of the kind.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

namespace {

using ShmOpenFn = int (*)(const char*, int, mode_t);
using ShmUnlinkFn = int (*)(const char*);

std::mutex g_mutex;
std::set<std::string>* g_made = new std::set<std::string>();

std::string placed(const char* name) {
  const char* bare = name[0] == '/' ? name + 1 : name;
  return "/minimal-host-" + std::to_string(::getpid()) + "-" + bare;
}

void removeSegments() {
  const auto real = reinterpret_cast<ShmUnlinkFn>(::dlsym(RTLD_NEXT, "shm_unlink"));
  std::lock_guard<std::mutex> lock(g_mutex);
  for (const std::string& name : *g_made) real(name.c_str());
  g_made->clear();
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int shm_open(const char* name, int oflag, mode_t mode) {
  static const auto real = reinterpret_cast<ShmOpenFn>(::dlsym(RTLD_NEXT, "shm_open"));
  if (name == nullptr || real == nullptr) {
    errno = EINVAL;
    return -1;
  }
  const std::string target = placed(name);
  const int fd = real(target.c_str(), oflag, mode);
  if (fd >= 0) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_made->insert(target);
  }
  return fd;
}

extern "C" __attribute__((visibility("default"))) int shm_unlink(const char* name) {
  static const auto real = reinterpret_cast<ShmUnlinkFn>(::dlsym(RTLD_NEXT, "shm_unlink"));
  if (name == nullptr || real == nullptr) {
    errno = EINVAL;
    return -1;
  }
  return real(placed(name).c_str());
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: minimal_host <product library> <boot module>\n");
    return 2;
  }
  std::atexit(removeSegments);
  // The library alone: each of its imports must bind now, to the minimal
  // host's platform or the C and C++ runtimes.
  void* product = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (product == nullptr) {
    std::fprintf(stderr, "minimal host: cannot load %s: %s\n", argv[1], ::dlerror());
    return 1;
  }
  void* boot = ::dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
  if (boot == nullptr) {
    std::fprintf(stderr, "minimal host: cannot load %s: %s\n", argv[2], ::dlerror());
    return 1;
  }
  using BootFn = int (*)();
  const auto run = reinterpret_cast<BootFn>(::dlsym(boot, "minimal_host_boot"));
  if (run == nullptr) {
    std::fprintf(stderr, "minimal host: no minimal_host_boot in %s\n", argv[2]);
    return 1;
  }
  const int rc = run();
  // The library stays loaded to the end, as in a host; its segments go.
  removeSegments();
  return rc;
}
