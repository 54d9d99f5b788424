// Test access to the stand-in store: its creation calls, forced creation
// failures, and the simulated unit's shared-memory segments.
#pragma once

#include <string>
#include <vector>

#include "platform/TqPlatformExport.h"

namespace standin {
namespace testing {

struct CreationCall {
  std::string op;  // "CreateMetaText", "CreateMetaTextFlush", "Create", "CreateFlush"
  std::string name;
  std::string mode;
};

TQPLATFORM_API std::vector<CreationCall> CreationCalls();
TQPLATFORM_API void ClearCreationCalls();
// Creations of this file name return null until cleared.
TQPLATFORM_API void FailCreationOf(const std::string& name);
TQPLATFORM_API void ClearCreationFailures();

// Shared-memory segments of the current simulation root (names as in
// /dev/shm, the claim of its prefix not included), and their removal with the
// claim: the host's teardown of a simulated unit.
TQPLATFORM_API std::vector<std::string> SimSegments();
TQPLATFORM_API void RemoveSimSegments();
// Removes the segments and prefix claims of units whose root no longer exists
// (a killed run's temporary unit, a deleted unit directory) and the half-made
// claims of killed runs; returns how many units' segments were removed. A
// claim does this by itself; a host on a desk may call it at start.
TQPLATFORM_API int RemoveStaleSimSegments();
// Declares the units this process claims from now on temporary (made for
// this run only): once the process is gone their segments and claim count as
// stale even if a killed run left the root behind. Call it before the unit's
// first segment is used.
TQPLATFORM_API void SetSimUnitTemporary(bool temporary);
// The segment-name prefix that root is offered as its n-th candidate (0 is
// the first): roots whose first candidates are equal get different prefixes
// by their claims.
TQPLATFORM_API std::string SimShmPrefixCandidate(const std::string& root, unsigned n);

// The last inter-process lock this process could not take, with the reason
// ("inter-process lock \"SysDataInfo\" not taken (cannot open the lock file:
// Permission denied, PATH)"); empty when none failed. The store gives no
// file object while it cannot hold the lock of the unit's records.
TQPLATFORM_API std::string LastLockFailure();

}  // namespace testing
}  // namespace standin
