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

// Claims the current root's segment namespace now (a power-on does it at
// its first segment use anyway). False with *why when the unit can have no
// namespace of its own: the stand-in is not the process's shm_open (how it
// was linked), the prefix of TQ_SIM_SHM_PREFIX is another live unit's or
// unusable, or the user's claim lock could not be taken in time.
TQPLATFORM_API bool ClaimSimSegments(std::string* why);
// RemoveSimSegments for a power-off that must not wait: removes the
// segments and claim of the namespace claimed last, taking no lock and
// asking for no memory. Safe while another thread of the process is inside
// the stand-in, and in a signal handler.
TQPLATFORM_API void RemoveSimSegmentsNow();

// Every wait of this process for an inter-process lock (records, the claim
// lock, a unit's lock) ends within ms from now, in total; 0 lifts the bound.
// A lock not had in time is one not taken (TqSync.h says what follows).
TQPLATFORM_API void SetWaitBudget(long long ms);

// The lock of a whole unit for a host that powers it on: an exclusive lock
// on a file in the unit's lock directory that only the unit's owner can open
// (no other user can take it to stall the unit). Waits within the wait
// budget. The descriptor (UnlockUnit releases it), or -1 with *why.
TQPLATFORM_API int LockUnit(const std::string& root, std::string* why);
// Releases the unit's lock: the descriptor is one of the current file
// system's (standin/FileSystem.h), which need not be the disk's.
TQPLATFORM_API void UnlockUnit(int fd);

// The last inter-process lock this process could not take, with the reason
// ("inter-process lock \"SysDataInfo\" not taken (cannot open the lock file:
// Permission denied, PATH)"); empty when none failed. The store gives no
// file object while it cannot hold the lock of the unit's records.
TQPLATFORM_API std::string LastLockFailure();

}  // namespace testing
}  // namespace standin
