// Placement of a simulated unit on a development machine: the stand-in
// platform's own interface for tools and tests. The product library uses
// none of it; on the real host nothing here exists.
//
// The stand-in maps names when a simulation root is set, so that tests, tools
// and demos never touch the machine's own "/Syslog/" or shared-memory names:
//
// TqSimPath(path): an absolute path "/a/b" becomes "<root>/a/b"; a relative
//   path, and an absolute path already under the root, are returned unchanged.
// TqSimShmName(name): a POSIX shared-memory name "/SystemInfo" becomes
//   "/<prefix>SystemInfo", where prefix is at most 6 characters: the
//   environment variable TQ_SIM_SHM_PREFIX when set, otherwise the prefix
//   claimed for the root (its own, whatever other units exist). Without a root
//   the name is returned unchanged; empty when no prefix could be claimed.
//   The stand-in's shm_open and shm_unlink apply the same mapping, so callers
//   (the segment template included) pass the unit's names unchanged.
//
// The root is the last value given to TqSimSetRoot, or else the environment
// variable TQ_SIM_ROOT, read at first use. An empty root means none. Each
// TqSimSetRoot is a new power-on: the root's segment claim is checked again.
#pragma once

#include <string>

#include "platform/TqPlatformExport.h"

TQPLATFORM_API std::string TqSimPath(const char* path);
TQPLATFORM_API std::string TqSimShmName(const char* name);
TQPLATFORM_API void TqSimSetRoot(const char* root);
TQPLATFORM_API std::string TqSimRoot();
