// A desk program that powers a simulated unit on and maps one of the
// product library's records, built or loaded in one of the ways a program can
// combine the product library, the stand-in platform and the C library. It
// says which of the two acceptable outcomes it got:
//   "own namespace NAME"  the record lies in the unit's own namespace (exit 0)
//   "refused: WHY"        the stand-in refused the power-on (exit 3)
// and exits 1 when the record reached the machine's own namespace (the
// silent fault this guards against) or anything else went wrong.
//
//   linkage ROOT                      the libraries linked in
//   linkage ROOT PRODUCT              the product dlopen'ed RTLD_LOCAL
//   linkage ROOT PRODUCT PLATFORM     both dlopen'ed after start, the
//                                     stand-in RTLD_GLOBAL
// Built with LINKAGE_PRODUCT_LOADED for the product library loaded, and
// with LINKAGE_DLOPEN_ONLY as well when nothing is linked.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <new>
#include <string>

#include "core/SystemRecords.h"

#ifndef LINKAGE_DLOPEN_ONLY
#include "platform/TqSimulation.h"
#include "standin/testing/StoreControl.h"
#endif

namespace {

using SetRootFn = void (*)(const char*);
using ShmNameFn = std::string (*)(const char*);
using ClaimFn = bool (*)(std::string*);
using RemoveFn = void (*)();
using ObjectFn = void (*)(void*);

struct Platform {
  SetRootFn setRoot = nullptr;
  ShmNameFn shmName = nullptr;
  ClaimFn claim = nullptr;
  RemoveFn remove = nullptr;
};

template <class F>
F symbol(void* handle, const char* name) {
  void* p = ::dlsym(handle, name);
  if (p == nullptr) std::fprintf(stderr, "linkage: no %s: %s\n", name, ::dlerror());
  return reinterpret_cast<F>(p);
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: linkage ROOT [PRODUCT [PLATFORM]]\n");
    return 2;
  }
  const std::string root = argv[1];
  ::mkdir(root.c_str(), 0755);
  Platform platform;
  void* product = nullptr;
  if (argc == 4) {
    void* standin = ::dlopen(argv[3], RTLD_NOW | RTLD_GLOBAL);
    if (standin == nullptr) {
      std::fprintf(stderr, "linkage: %s\n", ::dlerror());
      return 1;
    }
    platform.setRoot = symbol<SetRootFn>(standin, "_Z12TqSimSetRootPKc");
    platform.shmName = symbol<ShmNameFn>(standin, "_Z12TqSimShmNameB5cxx11PKc");
    platform.claim = symbol<ClaimFn>(
        standin, "_ZN7standin7testing16ClaimSimSegmentsEPNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE");
    platform.remove = symbol<RemoveFn>(standin, "_ZN7standin7testing17RemoveSimSegmentsEv");
  } else {
#ifndef LINKAGE_DLOPEN_ONLY
    platform.setRoot = &TqSimSetRoot;
    platform.shmName = &TqSimShmName;
    platform.claim = &standin::testing::ClaimSimSegments;
    platform.remove = &standin::testing::RemoveSimSegments;
#endif
  }
  if (!platform.setRoot || !platform.shmName || !platform.claim || !platform.remove) return 1;
  if (argc >= 3) {
    product = ::dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
    if (product == nullptr) {
      std::fprintf(stderr, "linkage: %s\n", ::dlerror());
      return 1;
    }
  }

  // Whatever the machine holds under the plain name stays as it is.
  const bool machineHadOne = exists("/dev/shm/SystemInfo");
  platform.setRoot(root.c_str());
  std::string why;
  if (!platform.claim(&why)) {
    std::printf("refused: %s\n", why.c_str());
    platform.setRoot("");
    return 3;
  }
  // The product library maps its record through its own shm_open reference.
  if (product != nullptr) {
    const ObjectFn construct = symbol<ObjectFn>(product, "_ZN17SystemInformationC1Ev");
    const ObjectFn destroy = symbol<ObjectFn>(product, "_ZN17SystemInformationD1Ev");
    if (construct == nullptr || destroy == nullptr) return 1;
    alignas(SystemInformation) unsigned char storage[sizeof(SystemInformation)];
    construct(storage);
    destroy(storage);
  } else {
#ifndef LINKAGE_PRODUCT_LOADED
    SystemInformation info;
    (void)info.getModel();
#endif
  }
  const std::string name = platform.shmName("/SystemInfo");
  const bool own = !name.empty() && name != "/SystemInfo" && exists("/dev/shm" + name);
  const bool leaked = !machineHadOne && exists("/dev/shm/SystemInfo");
  platform.remove();
  platform.setRoot("");
  if (leaked) {
    ::unlink("/dev/shm/SystemInfo");  // ours: the machine had none
    std::printf("shared: the record reached the machine's /SystemInfo\n");
    return 1;
  }
  if (!own) {
    std::printf("no record in the unit's namespace (%s)\n", name.c_str());
    return 1;
  }
  std::printf("own namespace %s\n", name.c_str());
  return 0;
}
