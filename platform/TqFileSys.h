// File-system helpers of the host framework.
//
// IsExist(path): true when something (file or directory) exists at path.
// Copy(from, to, overwriteReadOnly, keepTimes): copies the file from to to.
//   The copy is whole or absent: it is written beside to and renamed over it,
//   durably, when complete. true when the copy was made; false when from
//   cannot be read, to's directory does not exist, or any write fails (to is
//   then unchanged). The two flags are accepted and ignored by the stand-in.
//   from must be a regular file (reached through links or not): a FIFO, a
//   device or a socket is refused at once without blocking (errno EINVAL), a
//   directory too (EISDIR); a file larger than kMaxCopySize is refused before
//   anything is copied (EFBIG): every file a host copies (settings files, a
//   customization file, a start-up caution picture of at most a full screen)
//   is far smaller. The copy is created with at most from's permission bits,
//   so it never lets more users read it than its source did.
// Delete(path, force): removes the file at path; true when it is gone after
//   the call (also when it did not exist); false for a directory (EISDIR).
//   force is accepted and ignored.
//
// After a false result, errno tells the system's reason (ENOENT only when
// the file is missing).
//
// Absolute paths name files of the simulated unit when a simulation root is
// set (see platform/TqSimulation.h); beneath the root, every link is
// followed as if the root were "/", so no path leads out of the unit.
#pragma once

#include "platform/TqPlatformExport.h"

class TQPLATFORM_API TqFileSys {
 public:
  static constexpr long long kMaxCopySize = 8ll * 1024 * 1024;

  static bool IsExist(const char* path);
  static bool Copy(const char* from, const char* to, bool overwriteReadOnly, bool keepTimes);
  static bool Delete(const char* path, bool force);
};
