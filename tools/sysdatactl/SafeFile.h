// The tool's plain file access: only for files outside every unit.
//
// The files the user names (a dealer's customization file, an export or
// import directory, the unit's directory itself), the tool's throw-away units
// under TMPDIR and the kernel's random pool are reached here with the
// system's own calls. A unit's files are not: they are UnitPaths
// (UnitAccess.h), reached through the stand-in's root-confined layer only,
// and every function here refuses a path beneath the current simulation root
// (errno EXDEV). This is the only source of the tool that may call open,
// stat, mkdir, unlink and the like; a build test fails on any other.
//
// Anyone can put a link, a FIFO, a directory or a huge file where the tool
// expects a file. So every read here opens without blocking, checks that it
// got a regular file, and reads at most a limit fixed for the kind of file
// before reading anything.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace sysdatactl {

// Size limits of the files the tool reads, checked before reading.
constexpr std::size_t kMaxUnitConfBytes = 64u * 1024u;
constexpr std::size_t kMaxUnitStateBytes = 4u * 1024u;
// A dealer customization file is lines of a few dozen bytes; the largest
// real ones are a few kilobytes.
constexpr std::size_t kMaxCustomizationBytes = 1024u * 1024u;
// As much as the store itself reads of a settings file.
constexpr std::size_t kMaxSettingsFileBytes = 16u * 1024u * 1024u;

enum class ReadStatus {
  kOk,
  kMissing,     // nothing at the path (or a directory above it is missing)
  kNotRegular,  // a FIFO, a directory, a device, a socket, or a link
  kTooLarge,    // larger than the limit; nothing was read
  kError,       // anything else; errno in the result
};

struct ReadResult {
  ReadStatus status = ReadStatus::kError;
  int error = 0;          // errno of a kError
  std::size_t limit = 0;  // the limit of a kTooLarge
  // "not a regular file", "larger than 65536 bytes", "Permission denied"...
  std::string reason() const;
};

// What a failed non-blocking, non-following open of a file to read means:
// nothing there, something that is not a regular file, or another error.
ReadResult openFailure(int error, std::size_t limit);

// Reads the whole regular file at path (relative to dirFd) into *content.
// A final link is not followed (it is kNotRegular), a FIFO does not block.
// With followLink, a final link is followed (for a path the user named).
ReadResult readRegularFile(int dirFd, const std::string& path, std::size_t limit, std::string* content,
                           bool followLink = false);
inline ReadResult readRegularFile(const std::string& path, std::size_t limit, std::string* content) {
  return readRegularFile(AT_FDCWD, path, limit, content);
}

// Why the file at path cannot be read now: empty when it is a regular file
// this user can open for reading; "no such file", "not a regular file" (a
// FIFO, a directory...; links are followed) or the system's reason. Never
// blocks.
std::string readProblem(const std::string& path);
// Why a file could not be created in the directory dir now, decided without
// creating anything (rights, a read-only mount, no free block or inode).
// Empty when nothing stands in the way.
std::string createProblem(const std::string& dir);

// What is at path, a final link not followed: a regular file (and its size).
bool isRegularFileNoFollow(const std::string& path, long long* size);

// The names in the directory (no "." or ".."); false with errno.
bool listDirectory(const std::string& dir, std::vector<std::string>* names);

// The host path ("/Syslog/x.txt") of path when it lies strictly beneath the
// current simulation root, as written (made absolute against the working
// directory) or once its links are resolved: a unit's file, which only
// UnitAccess.h may reach. Empty otherwise.
std::string unitHostPathOf(const std::string& path);
bool beneathUnit(const std::string& path);

// Plain checks of a path outside the unit (links followed).
bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path);
bool pathExists(const std::string& path);
// Makes the directory and those missing above it.
bool makeDirectories(const std::string& path);
// Removes path and everything beneath it, following no link.
void removeTree(const std::string& path);
// The same for a signal handler: no memory is asked for, and a tree deeper
// than a throw-away unit's is left as it is below that depth.
void removeTreeNow(const char* path);
// The absolute path with every link resolved; empty when it cannot be.
std::string absolutePath(const std::string& path);
// Changes into dir (a directory outside the unit), so that the library can
// be handed a path relative to it.
bool changeDirectory(const std::string& dir, std::string* error);

// A new directory "<parent>/<prefix>XXXXXX" of this user only, and in it an
// empty file named marker. Empty on failure (errno set).
std::string makeThrowAwayDirectory(const std::string& parent, const std::string& prefix, const std::string& marker);
// A directory of this user, not a link, holding a regular file marker.
bool isMarkedDirectory(const std::string& path, const std::string& marker);


// What identifies one state of a file: a replacement gives a new inode, a
// rewrite a new change time.
struct FileState {
  bool exists = false;
  unsigned long long dev = 0, ino = 0;
  long long size = 0;
  long long ctimeNs = 0, mtimeNs = 0;
  bool operator==(const FileState& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size && ctimeNs == o.ctimeNs &&
           mtimeNs == o.mtimeNs;
  }
};
FileState fileState(const std::string& path);  // a final link not followed

// The device and inode of the directory dir and of each directory above
// it, up to "/" (links resolved as the kernel does). False when dir cannot
// be opened.
bool directoryChain(const std::string& dir, std::vector<std::pair<unsigned long long, unsigned long long>>* chain);

// Bytes a person can read: printable ASCII as is, everything else as \xHH.
// For echoing untrusted input in a message.
std::string printable(const std::string& text, std::size_t limit = 80);

// "Permission denied" etc.
std::string errnoText(int error);

}  // namespace sysdatactl
