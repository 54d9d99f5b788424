// Locks of the host framework.
//
// TqSync          process-local mutex. Lock(timeout) with timeout == (unsigned)-1
//                 waits without limit; any other timeout waits at most that
//                 many milliseconds. Lock returns true when the lock is held.
//                 Re-entrant for the thread that holds it (each Lock needs its
//                 own Unlock). Unlock by a thread that does not hold it does
//                 nothing. Constructing and destroying never fails.
// TqSyncGuard     locks a TqSyncObjectBase in its constructor (waiting without
//                 limit) and unlocks it in its destructor.
// TqSharedSyncObject
//                 inter-process lock named by a string. Two objects of the same
//                 name, in one process or in two, exclude each other; the thread
//                 that holds it may lock it again (re-entrant, counted). A lock
//                 held by a process that dies is released by the kernel: a crash
//                 never hangs another process. An object whose name is null or
//                 empty excludes the threads of its own process only.
//                 The lock files live in a directory that no other user can
//                 write: "<root>/.tqlocks" of a simulated unit (owned by the
//                 user or by the unit's owner), else "/tmp/.tqlocks-<euid>"
//                 (owned by the user). When that directory is unusable (another
//                 user's, a link, not a directory, writable by group or others)
//                 or the lock file cannot be opened or locked, lock() does not
//                 pretend: it still excludes the threads of its own process (so
//                 that unlock() pairs with it), logs the reason through
//                 TqDbgOutput::DbgPrintStdErr, and HeldAcrossProcesses() is
//                 false until a later lock() succeeds; a caller that writes
//                 shared data must check it and give up rather than go on as if
//                 locked. Each lock() tries the directory again.
//                 HeldAcrossProcesses(): true when the calling thread holds the
//                 object and its inter-process part was taken.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/TqPlatformExport.h"

class TQPLATFORM_API TqSyncObjectBase {
 public:
  TqSyncObjectBase() = default;
  virtual ~TqSyncObjectBase();
  TqSyncObjectBase(const TqSyncObjectBase&) = delete;
  TqSyncObjectBase& operator=(const TqSyncObjectBase&) = delete;

  virtual void lock() const = 0;
  virtual void unlock() const = 0;
};

class TQPLATFORM_API TqSync : public TqSyncObjectBase {
 public:
  TqSync();
  ~TqSync() override;

  bool Lock(unsigned int timeout);
  void Unlock();

  void lock() const override;
  void unlock() const override;

 private:
  struct Impl;
  Impl* impl_;
};

class TQPLATFORM_API TqSyncGuard {
 public:
  explicit TqSyncGuard(const TqSyncObjectBase& object);
  ~TqSyncGuard();
  TqSyncGuard(const TqSyncGuard&) = delete;
  TqSyncGuard& operator=(const TqSyncGuard&) = delete;

 private:
  const TqSyncObjectBase& object_;
};

class TQPLATFORM_API TqSharedSyncObject : public TqSyncObjectBase {
 public:
  explicit TqSharedSyncObject(const char* name);
  ~TqSharedSyncObject() override;

  void lock() const override;
  void unlock() const override;
  bool HeldAcrossProcesses() const;

 private:
  struct Impl;
  Impl* impl_;
};
