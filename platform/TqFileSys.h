// File-system helpers of the host framework.
//
// IsExist(path): true when something (file or directory) exists at path.
// Copy(from, to, overwriteReadOnly, keepTimes): copies the file from to to.
//   The copy is whole or absent: it is written beside to and renamed over it,
//   durably, when complete. true when the copy was made; false when from
//   cannot be read, to's directory does not exist, or any write fails (to is
//   then unchanged). The two flags are accepted and ignored by the stand-in.
// Delete(path, force): removes the file at path; true when it is gone after
//   the call (also when it did not exist). force is accepted and ignored.
//
// Absolute paths name files of the simulated unit when a simulation root is
// set (see platform/TqSimulation.h).
#pragma once

#include "platform/TqPlatformExport.h"

class TQPLATFORM_API TqFileSys {
 public:
  static bool IsExist(const char* path);
  static bool Copy(const char* from, const char* to, bool overwriteReadOnly, bool keepTimes);
  static bool Delete(const char* path, bool force);
};
