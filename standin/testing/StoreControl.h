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

// Shared-memory segments of the current simulation prefix (names as in
// /dev/shm), and their removal: the host's teardown of a simulated unit.
TQPLATFORM_API std::vector<std::string> SimSegments();
TQPLATFORM_API void RemoveSimSegments();

}  // namespace testing
}  // namespace standin
