// The host's settings file store.
//
// Files. A file object names one settings file by its bare name ("Mic.ini").
// The store keeps "AirGestureCalibration.ini" in the calibration directory and
// every other file in the save-file directory; both directories are read from
// the "SysDataInfo" shared-memory record (save directory at byte 0, calibration
// directory at byte 2046 of the record) when the file object is created.
//
// Creation (SaveFileAccessFactory). Each Create... returns a new object that
// the caller owns and deletes through the virtual destructor, or null when the
// name is null, empty or holds a '/', or when the directory for it is not
// known (the record cannot be mapped or holds an empty directory). Nothing is
// read or written on disk at creation. The ...Flush variants make the same
// objects as their plain counterparts.
//
// Key=value files (SaveFileAccessMetaText). One key per line, "Key=Value", in
// the order the keys were first set: a new key is appended, an existing key
// keeps its place. Each value is stored in the text form of the Set overload
// that wrote it (int and unsigned int in decimal, bool as 0/1, unsigned char in
// decimal, strings escaped so that any bytes round-trip). A Get succeeds when
// the key exists and its text reads as the asked type; otherwise it returns
// false and leaves *value alone. A damaged file (binary junk, NUL bytes, lines
// without '=', very long or truncated lines) opens; the keys that can be read
// are served, and the next Flush writes a clean file.
//
// Access. FOpen() takes the file's lock, exclusive against every other file
// object of the same file in this process and in every other process, and
// loads the content (a missing file opens empty); FClose() releases it. Nested
// FOpen/FClose pairs on one object by the same thread are counted. Set, Get
// and Flush outside FOpen/FClose return false and change nothing. Flush()
// writes the content when it changed or when the file does not exist yet; the
// replacement is atomic and durable: after a crash or power cut at any moment
// the file holds the old or the new complete content. A lock held by a process
// that dies is released by the kernel.
//
// Import/export copies. FOpenForImportExport(path) works on the file of the
// same name directly in the directory path ("<path>/<name>"), loaded like
// FOpen (missing: empty) but without the file's lock; SetForImportExport and
// GetForImportExport act on that copy, FlushForImportExport writes it
// atomically, FCloseForImportExport drops it. For a binary file,
// WriteForImportExport(data, size) replaces the copy's whole content and
// FlushForImportExport writes it. These calls outside their open/close pair
// return false.
//
// Files that are not files. Neither FOpen nor FOpenForImportExport ever
// blocks: a FIFO, a device or a socket in the place of the file (or of its
// lock file) makes them fail at once with errno EINVAL, a directory with
// EISDIR; neither counts as missing, so nothing is written over it. A copy
// larger than 1 MiB (no product file is near it) is refused before it is
// read (EFBIG). Beneath a simulation root, every link is followed as if the
// root were "/": no file object reads or writes outside the unit.
//
// getFullPath(out) sets out to the file's full path on disk (under the
// simulation root, when one is set) and returns true; it returns false and
// leaves out empty only for an object without directory, which creation never
// hands out. Binary files are written by their owners at that path with
// TqStorage "w".
//
// Every result says whether the operation did what it says: true on success.
#pragma once

#include <string>
#include <vector>

#include "core/TqSingleton.h"
#include "platform/TqPlatformExport.h"

class TQPLATFORM_API SaveFileAccessBase {
 public:
  virtual ~SaveFileAccessBase();
  SaveFileAccessBase(const SaveFileAccessBase&) = delete;
  SaveFileAccessBase& operator=(const SaveFileAccessBase&) = delete;

  virtual bool FOpen() = 0;
  virtual bool FClose() = 0;
  virtual bool getFullPath(std::string& path) const = 0;
  virtual bool FOpenForImportExport(const char* path) = 0;
  virtual bool FCloseForImportExport() = 0;
  virtual bool FlushForImportExport() = 0;

  // The bare file name the object was created with.
  virtual const std::string& name() const = 0;

 protected:
  SaveFileAccessBase() = default;
};

class TQPLATFORM_API SaveFileAccessMetaText : public SaveFileAccessBase {
 public:
  virtual bool Set(const char* key, int value) = 0;
  virtual bool Set(const char* key, unsigned int value) = 0;
  virtual bool Set(const char* key, bool value) = 0;
  virtual bool Set(const char* key, unsigned char value) = 0;
  virtual bool Set(const char* key, const std::string& value) = 0;
  // A string literal would otherwise pick the bool overload.
  bool Set(const char* key, const char* value) = delete;

  virtual bool Get(const char* key, int* value) = 0;
  virtual bool Get(const char* key, unsigned int* value) = 0;
  // Host-side reads the product library does not use (tools, verification).
  virtual bool Get(const char* key, bool* value) = 0;
  virtual bool Get(const char* key, unsigned char* value) = 0;
  virtual bool Get(const char* key, std::string* value) = 0;
  // Keys of the open file in file order.
  virtual bool GetKeys(std::vector<std::string>* keys) = 0;

  virtual bool Flush() = 0;

  virtual bool SetForImportExport(const char* key, int value) = 0;
  virtual bool SetForImportExport(const char* key, unsigned int value) = 0;
  virtual bool SetForImportExport(const char* key, bool value) = 0;
  virtual bool SetForImportExport(const char* key, unsigned char value) = 0;
  virtual bool SetForImportExport(const char* key, const std::string& value) = 0;
  bool SetForImportExport(const char* key, const char* value) = delete;
  virtual bool GetForImportExport(const char* key, int* value) = 0;
};

class TQPLATFORM_API SaveFileAccess : public SaveFileAccessBase {
 public:
  virtual bool WriteForImportExport(const void* data, long long size) = 0;
};

class TQPLATFORM_API SaveFileAccessFactory : public TqSingleton<SaveFileAccessFactory> {
 public:
  SaveFileAccessFactory();
  ~SaveFileAccessFactory() override;

  SaveFileAccessMetaText* CreateMetaText(const char* name, const char* mode);
  SaveFileAccessMetaText* CreateMetaTextFlush(const char* name, const char* mode);
  SaveFileAccess* Create(const char* name, const char* mode);
  SaveFileAccess* CreateFlush(const char* name, const char* mode);
};

TQ_SINGLETON_DECLARE(SaveFileAccessFactory)
