// File access of the tool that trusts nothing about what sits at a path.
//
// Anyone who can write a unit's directory (or a USB stick) can put a link, a
// FIFO, a directory or a huge file where the tool expects one of its files.
// So every read here opens without following a final link and without
// blocking, checks that it got a regular file, and reads at most a limit
// fixed for the kind of file before reading anything; every replacement is
// made the way the store writes settings files: a temporary file of a name
// nobody can predict, created exclusively beside the target, written, synced,
// renamed over the target, and the directory synced.
//
// Paths are relative to dirFd (AT_FDCWD for the working directory), so that
// a command can work beneath a directory it opened once.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

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

// Reads the whole regular file at path (relative to dirFd) into *content.
// A final link is not followed (it is kNotRegular), a FIFO does not block.
// With followLink, a final link is followed (for a path the user named).
ReadResult readRegularFile(int dirFd, const std::string& path, std::size_t limit, std::string* content,
                           bool followLink = false);
inline ReadResult readRegularFile(const std::string& path, std::size_t limit, std::string* content) {
  return readRegularFile(AT_FDCWD, path, limit, content);
}

// What is at path now, without following a final link: 0 and *mode when
// something is there, else -1 with errno.
int typeAt(int dirFd, const std::string& path, mode_t* mode);

// Replaces name in the directory dirFd with content, durably and whole or
// not at all. Leftover temporary files of this name from writers that died
// (their process is gone, the file is ours) are removed first. False with
// the system's reason on failure; the target is then untouched.
bool replaceFile(int dirFd, const std::string& name, const std::string& content, mode_t mode, std::string* reason);

// Why creating a file in dir would fail now: tries to create (and removes)
// a temporary file there exclusively. Empty when it succeeds. Used to name
// the cause when something the library should have written is not there.
std::string probeWritable(const std::string& dir);

// Makes the directory path (relative, "a/b/c") and each missing one above it
// beneath the directory dirFd, one component at a time, following no link:
// a link or a file in the way is an error (ENOTDIR or ELOOP). False with the
// system's reason.
bool makeDirectoriesBeneath(int dirFd, const std::string& path, std::string* reason);

// Why the file at path cannot be read now: empty when it is a regular file
// this user can open for reading; "no such file", "not a regular file" (a
// FIFO, a directory...; links are followed) or the system's reason. Never
// blocks.
std::string readProblem(const std::string& path);
// Why path cannot be written now: "not a regular file" when something else
// is there, else what probeWritable says of its directory. Empty when
// nothing stands in the way.
std::string storeProblem(const std::string& path);

// Bytes a person can read: printable ASCII as is, everything else as \xHH.
// For echoing untrusted input in a message.
std::string printable(const std::string& text, std::size_t limit = 80);

// "Permission denied" etc.
std::string errnoText(int error);

}  // namespace sysdatactl
