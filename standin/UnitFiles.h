// The files of the simulated unit, for the programs that play its host.
//
// A tool that plays the host (sysdatactl) reads, checks and explains the
// unit's files as well as letting the library use them. It must reach them
// exactly as the library does, never by another way: a link planted in the
// unit (absolute, or climbing with "..", or swapped in while a command runs)
// must not lead a diagnostic, a probe or a check out of the unit any more
// than it leads the library there. So the unit's files are named here only by
// their host path ("/Syslog/dop_customize.txt", "/unit.conf"), never by a
// path of this machine, and every call resolves that host path beneath the
// current simulation root (TqSimRoot) through the current FileSystem
// (standin/FileSystem.h): as if the root were "/", links followed within it,
// ".." never above it (standin/RootedPath.h).
//
// Contract of every function:
// - hostPath is absolute. "/" names the root directory itself.
// - Without a simulation root every call fails with errno ENXIO: there is no
//   unit, and a host path must never be taken as a path of this machine.
// - A failure is -1 (or false) with errno set, as the system call named
//   would report it; nothing is changed by a call that failed.
// - No call blocks on what it finds: a FIFO or a device where a file belongs
//   is opened with O_NONBLOCK by the caller (Open passes flags as given).
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/TqPlatformExport.h"

namespace standin {
namespace unit {

// open(2). A link in the last component is followed within the root unless
// flags has O_NOFOLLOW (O_PATH|O_NOFOLLOW opens the link itself).
TQPLATFORM_API int Open(const std::string& hostPath, int flags, unsigned int mode = 0);
// stat(2) (the last link followed within the root) and lstat(2).
TQPLATFORM_API int Stat(const std::string& hostPath, struct stat* st);
TQPLATFORM_API int Lstat(const std::string& hostPath, struct stat* st);
// The names in a directory ("." and ".." left out), at most maxEntries of
// them (E2BIG past that).
TQPLATFORM_API int List(const std::string& hostPath, std::vector<std::string>* names,
                        std::size_t maxEntries = 100000);
// unlink(2), mkdir(2) of the last component in the directory so resolved.
TQPLATFORM_API int Unlink(const std::string& hostPath);
TQPLATFORM_API int Mkdir(const std::string& hostPath, unsigned int mode);
// Makes the directory's entries durable (fsync of the directory).
TQPLATFORM_API int SyncDir(const std::string& hostPath);

// Replaces the regular file at hostPath with content, durably and whole or
// not at all, as the store replaces a settings file: a temporary file of an
// unpredictable name created exclusively beside it (never through a link),
// synced, renamed over the target, the directory synced. Leftovers of dead
// writers of the same target are removed first.
TQPLATFORM_API int ReplaceFile(const std::string& hostPath, const std::string& content, unsigned int mode);

// Whether a file could be created in the directory hostDir now, decided
// without creating anything: 0 when nothing stands in the way, else -1 with
// errno ENOENT/ENOTDIR (no such directory), EACCES (no right to write or
// search it), EROFS (a read-only file system) or ENOSPC (no free block or
// no free inode left for this user). A full quota is not seen.
TQPLATFORM_API int CheckCreatable(const std::string& hostDir);

// A directory's identity (device and inode), for telling whether a
// directory of this machine is, or lies inside, one of the unit's.
TQPLATFORM_API int DirectoryId(const std::string& hostPath, unsigned long long* dev, unsigned long long* ino);

// The power-on sweep: removes, anywhere beneath the root, the temporary
// files that writers killed before their rename left behind (names
// "." + name + "." + pid + "." + number + ".tmp" of a process that no
// longer exists, owned by this user, regular files). No link is followed and
// nothing outside the root is looked at. Returns how many were removed.
TQPLATFORM_API int SweepTemporaries();

// True when name has the form of such a temporary file, whoever made it.
TQPLATFORM_API bool IsTemporaryName(const std::string& name);

}  // namespace unit
}  // namespace standin
