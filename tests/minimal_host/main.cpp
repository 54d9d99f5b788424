// Loads the shipped product library as a host does, with every reference
// bound at load (RTLD_NOW), into a process whose only platform is the minimal
// host's (a library of this program, libminimal_host_platform), and runs the
// boot sequence in it.
//
//   minimal_host <product library> <boot module>
//
// Before booting it checks what the host must keep: the file mapped is the
// one named (printed as "minimal host: loaded <path>"), nothing of the
// stand-in platform is in the process, and the host defines none of the
// singleton storage the library defines itself.
//
// The test keeps the segments of each run apart from the machine's own: this
// program defines shm_open and shm_unlink (first in the process's symbol
// scope), which give the names a prefix of this process and remove what it
// made at exit. A real host has nothing of the kind.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
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

// The path of the file mapped into this process with the device and inode of
// path, from /proc/self/maps; empty when none is. Also reports whether
// anything of the stand-in platform is mapped.
std::string mappedFile(const char* path, bool* standinMapped) {
  struct stat wanted;
  if (::stat(path, &wanted) != 0) return std::string();
  std::ifstream maps("/proc/self/maps");
  std::string line;
  std::string found;
  *standinMapped = false;
  while (std::getline(maps, line)) {
    std::istringstream fields(line);
    std::string range, perms, offset, device, name;
    unsigned long long inode = 0;
    fields >> range >> perms >> offset >> device >> inode;
    std::getline(fields >> std::ws, name);
    if (name.find("libtqplatform") != std::string::npos) *standinMapped = true;
    unsigned int major = 0, minor = 0;
    if (std::sscanf(device.c_str(), "%x:%x", &major, &minor) != 2) continue;
    if (inode == static_cast<unsigned long long>(wanted.st_ino) && makedev(major, minor) == wanted.st_dev) {
      found = name;
    }
  }
  return found;
}

// The storage of the library's own singletons, which the library defines: a
// host that defined any of them too would have its definition bound for both
// (it comes first in the symbol scope), and both would destroy it at unload.
const char* const kLibraryDefines[] = {
    "_ZN11TqSingletonI21SaveFileAccessFactoryE5Sync_E",
    "_ZN11TqSingletonI21SaveFileAccessFactoryE10pInstance_E",
    "_ZN11TqSingletonI23SysDataSettingsGuiStateE5Sync_E",
    "_ZN11TqSingletonI35SysDataSettingsGuiStateExportImportE5Sync_E",
};

bool singletonStorageIsTheLibrarys(void* product, const std::string& productFile) {
  bool ok = true;
  for (const char* name : kLibraryDefines) {
    if (::dlsym(RTLD_DEFAULT, name) != nullptr) {
      std::fprintf(stderr, "minimal host: the host defines %s, which the library defines itself\n", name);
      ok = false;
      continue;
    }
    void* own = ::dlsym(product, name);
    Dl_info info;
    char resolved[PATH_MAX];
    if (own == nullptr || ::dladdr(own, &info) == 0 || info.dli_fname == nullptr ||
        ::realpath(info.dli_fname, resolved) == nullptr || productFile != resolved) {
      std::fprintf(stderr, "minimal host: %s is not defined by the product library\n", name);
      ok = false;
    }
  }
  return ok;
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
  bool standin = false;
  const std::string loaded = mappedFile(argv[1], &standin);
  if (loaded.empty()) {
    std::fprintf(stderr, "minimal host: %s is not what was mapped\n", argv[1]);
    return 1;
  }
  std::printf("minimal host: loaded %s\n", loaded.c_str());
  if (standin) {
    std::fprintf(stderr, "minimal host: the stand-in platform was loaded with the product library\n");
    return 1;
  }
  if (!singletonStorageIsTheLibrarys(product, loaded)) return 1;
  std::fflush(stdout);
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
