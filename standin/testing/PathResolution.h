// Test control of how paths beneath the simulation root are resolved.
//
// The kernel's openat2(RESOLVE_IN_ROOT) is used where it exists; elsewhere
// (qemu-arm, seccomp sandboxes) the stand-in walks each path one component
// at a time. ForceComponentWalk(true) makes the walk the only way on any
// machine, so that the tests run both; the environment variable
// TQ_SIM_RESOLVE_WALK=1 does the same for a whole process (the tool).
#pragma once

#include "platform/TqPlatformExport.h"

namespace standin {
namespace testing {

TQPLATFORM_API void ForceComponentWalk(bool forced);
// Whether the walk is in use now (forced, or openat2 missing here).
TQPLATFORM_API bool ComponentWalkInUse();

}  // namespace testing
}  // namespace standin
