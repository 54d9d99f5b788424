// Internal view of the simulated unit's placement (platform/TqSimulation.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace standin {
namespace detail {

// The current simulation root (empty when none) and a number that changes at
// every TqSimSetRoot, so that a new power-on checks its segment claim again.
std::string SimRootAndGeneration(std::uint64_t* generation);
// The number alone: the root cannot have changed while it stays the same, so
// a cache of anything derived from the root is checked without copying it.
std::uint64_t SimGeneration();

// The segment-name prefix of the current root, claiming it when this process
// has not yet done so for this power-on. Empty with *ok true when no root is
// set (names stay unchanged); *ok false when a root is set but no prefix could
// be claimed (the unit then gets no segments at all, never the machine's own).
std::string SimShmPrefix(bool* ok);

// The prefix already claimed for the current root, without claiming one;
// empty when there is none.
std::string SimShmPrefixIfClaimed();

// Names (as in /dev/shm, claim excluded) of the current root's segments.
std::vector<std::string> SimSegmentNames();
// Removes the current root's segments and then its claim.
void RemoveSimNamespace();
// The same for the prefix claimed last, without waiting for any lock: for a
// power-off that must end now (the process is being interrupted).
void RemoveSimNamespaceNow();
// Why the last claim of this process failed (empty when none did).
std::string SimNamespaceProblem();
// Removes the segments and claims of roots that no longer exist and the
// claim files that killed runs left half made; returns how many segment
// namespaces were removed.
int RemoveStaleSimNamespaces();

// Claims made from now on by this process are for a temporary unit: stale
// as soon as this process is gone, even if its root is left behind.
void SetSimUnitEphemeral(bool ephemeral);

// Directories of lock files that only this user can write: the user's own
// (for locks shared by all the user's units) and a unit's. Empty when
// unusable, with *why saying why and errno the system's reason.
std::string PrivateLockDir(const char** why);
std::string UnitLockDir(const std::string& root, const char** why);
// Opens (creating) a lock file that only its owner may open.
int OpenOwnLockFile(const std::string& path);

// The prefix a root is offered first, and its n-th alternative.
std::string SimShmPrefixCandidate(const std::string& root, unsigned n);

}  // namespace detail
}  // namespace standin
