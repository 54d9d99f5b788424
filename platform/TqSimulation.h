// Placement of a simulated unit on a development machine.
//
// On the real host both mappings are the identity. The stand-in maps them
// when a simulation root is set, so that tests, tools and demos never touch
// the machine's own "/Syslog/" or shared-memory names:
//
// TqSimPath(path): an absolute path "/a/b" becomes "<root>/a/b"; a relative
//   path, and an absolute path already under the root, are returned unchanged.
// TqSimShmName(name): a POSIX shared-memory name "/SystemInfo" becomes
//   "/<prefix>SystemInfo", where prefix is at most 6 characters: the
//   environment variable TQ_SIM_SHM_PREFIX when set, otherwise derived from
//   the root. Without a root the name is returned unchanged.
//
// The root is the last value given to TqSimSetRoot, or else the environment
// variable TQ_SIM_ROOT, read at first use. An empty root means none.
#pragma once

#include <string>

#include "platform/TqPlatformExport.h"

TQPLATFORM_API std::string TqSimPath(const char* path);
TQPLATFORM_API std::string TqSimShmName(const char* name);
TQPLATFORM_API void TqSimSetRoot(const char* root);
TQPLATFORM_API std::string TqSimRoot();
