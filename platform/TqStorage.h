// File stream of the host framework.
//
// Open(path, mode) with mode "w" prepares a whole-file write: the data goes to
// a file beside path and replaces path (durably, by rename) only when the
// storage is closed, by Close() or by the destructor. A crash or a power cut
// before that leaves path as it was; after it path holds the complete new
// content. Mode "rb" (or "r") opens an existing regular file for reading; any
// other mode fails. Open returns true on success; IsOpen tells whether a file is open.
// Opening an already open storage closes it first.
//
// Open never blocks: a FIFO, a device or a socket at path is refused at once
// (errno EINVAL), a directory too (EISDIR), and neither is reported as missing
// (ENOENT). A file to read larger than kMaxReadSize is refused before
// anything is read (errno EFBIG): no file a host reads line by line is
// anywhere near it. After a failed Open or Close, errno tells the system's
// reason.
//
// ReadLine(buf, size) reads the next line into buf, at most size-1 bytes, the
// line feed included when it fits, and always NUL-terminates. A line longer
// than that is cut to the buffer and the rest of the line, up to and including
// its line feed, is discarded: every reader sees a long line as its first
// size-1 bytes whatever its buffer size. Returns 0 when a line (even an empty
// one, or a last line without line feed) was read, non-zero at the end of the
// file, on error, or when nothing is open.
//
// Write(data, size) appends to a file opened "w"; returns the number of bytes
// written, or -1. Seek(offset, pos) positions a file opened for reading and
// returns 0 on success (a position past the end too: ReadLine then reads
// nothing). Close() returns 0 on success; for a "w" file the result says
// whether the new content was made durable at path (a directory at path
// makes it fail: EISDIR).
//
// Absolute paths name files of the simulated unit when a simulation root is
// set (see platform/TqSimulation.h); beneath the root, every link is followed
// as if the root were "/", so no path leads out of the unit.
#pragma once

#include "platform/TqPlatformExport.h"

class TQPLATFORM_API TqStorage {
 public:
  enum EN_POS { TQ_SEEK_SET = 0, TQ_SEEK_CUR = 1, TQ_SEEK_END = 2 };
  static constexpr long long kMaxReadSize = 16ll * 1024 * 1024;

  TqStorage();
  TqStorage(const char* path, const char* mode);
  ~TqStorage();
  TqStorage(const TqStorage&) = delete;
  TqStorage& operator=(const TqStorage&) = delete;

  bool Open(const char* path, const char* mode);
  bool IsOpen() const;
  long long Write(const void* data, long long size);
  int ReadLine(char* buf, int size);
  int Seek(long long offset, EN_POS pos);
  int Close();

 private:
  struct Impl;
  Impl* impl_;
};
