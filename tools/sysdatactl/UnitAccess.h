// The tool's one way into a unit's files.
//
// A unit's file is a UnitPath: its host path ("/data/save/Mic.ini"), never
// a path of this machine. Everything here reaches the file through the
// stand-in's root-confined layer (standin/UnitFiles.h), exactly as the
// library does, so no check, probe or message of the tool can be led out of
// the unit by a link, whenever it was planted. The plain file calls of the
// tool (SafeFile.cpp) are for files outside every unit and refuse a path
// beneath the unit's root; a build test keeps every other source of the tool
// free of them.
#pragma once

#include <cstddef>
#include <string>

#include "SafeFile.h"

namespace sysdatactl {

class UnitPath {
 public:
  explicit UnitPath(std::string hostPath);
  // The host path, for messages and for the library: "/Syslog/x.png".
  const std::string& host() const { return host_; }
  UnitPath child(const std::string& name) const;
  std::string name() const;

 private:
  std::string host_;
};

// The host path of a file the store names by its place on this machine
// (SaveFileAccess::getFullPath); "" when it is not beneath the unit's root.
std::string hostPathOfStoreFile(const std::string& storePath);

// Stat within the unit: a final link followed within the unit's root.
bool unitIsDirectory(const UnitPath& path);
bool unitIsRegularFile(const UnitPath& path);
// Something is there (a dangling link is not).
bool unitExists(const UnitPath& path);
long long unitFileSize(const UnitPath& path);  // -1 when missing

// readRegularFile for a unit's file: a final link is not followed unless
// followLink (then it is followed within the unit), a FIFO never waits.
ReadResult readUnitFile(const UnitPath& path, std::size_t limit, std::string* content, bool followLink = false);

// Why the unit's file cannot be read now (see readProblem in SafeFile.h).
std::string unitReadProblem(const UnitPath& path);
// Why a file could not be created in the unit's directory now: the
// system's reason, decided without creating anything. Empty when nothing
// stands in the way.
std::string unitCreateProblem(const UnitPath& dir);
// Why the unit's file cannot be written now: "not a regular file" when
// something else is there, else what unitCreateProblem says of its
// directory.
std::string unitStoreProblem(const UnitPath& path);

// Replaces the unit's file with content, durably and whole or not at all.
bool replaceUnitFile(const UnitPath& path, const std::string& content, unsigned int mode, std::string* reason);

// Removes a file durably (the directory synced after); a missing file is
// fine. False with the system's reason.
bool removeUnitFile(const UnitPath& path, std::string* reason);
// Makes the directory and each missing one above it, durably (each made
// one's parent synced), following no link on the way (a link is refused
// with "'data' is a symbolic link, which is not followed here").
bool makeUnitDirectories(const UnitPath& dir, std::string* reason);

// A directory's device and inode, for telling a directory of this machine
// from one of the unit's.
struct DirectoryId {
  unsigned long long dev = 0;
  unsigned long long ino = 0;
  bool operator==(const DirectoryId& other) const { return dev == other.dev && ino == other.ino; }
};
bool unitDirectoryId(const UnitPath& dir, DirectoryId* id);

// True when this process cannot open one more descriptor now (its limit,
// ulimit -n, is reached): the cause of every failure that follows.
bool descriptorsExhausted();

// Reads at most limit bytes of the regular file open at fd (through the
// stand-in's file layer) and closes fd.
ReadResult readOpenFile(int fd, std::size_t limit, std::string* content);
// The same for a descriptor of this machine (a file outside every unit that
// SafeFile.cpp opened): read with the kernel's own calls, whichever file
// system the unit's files are on.
ReadResult readMachineFile(int fd, std::size_t limit, std::string* content);

}  // namespace sysdatactl
