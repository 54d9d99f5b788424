// One simulated unit for a whole fuzzing process, and the guard that stops it
// the moment the library changes a file outside the places it may write.
//
// The unit has a fresh root directory (under $SYSDATA_TEST_TMP, else $TMPDIR,
// else /tmp) with its own shared-memory namespace and the host's records
// filled as a booted unit has them; it is removed at exit. The files beneath
// the root live in the stand-in's in-memory file system
// (standin/testing/MemFileSystem.h): an input costs what the library does
// with it, not the disk's syncs. Every file-system call of the stand-in goes
// through a checking layer: a change (create, write, truncate, rename,
// remove, mkdir) anywhere but the save directory, the calibration directory,
// "/Syslog/" and the framework's lock directory aborts the process with the
// offending path. The harness itself writes the inputs straight into the
// memory, outside that layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sysdata_fuzz {

class FuzzUnit {
 public:
  // Host directories of the unit.
  static constexpr const char* kSaveDir = "/data/save";
  static constexpr const char* kCalibrationDir = "/data/calib";
  static constexpr const char* kMediaDir = "/media/usb/";
  static constexpr const char* kSyslog = "/Syslog/";
  static constexpr const char* kCustomizeFileName = "dop_customize.txt";

  // The process's unit, made on first use.
  static FuzzUnit& get();

  // Where a host path lies on this machine.
  std::string disk(const std::string& hostPath) const { return root_ + hostPath; }

  // Which of the unit's directories the library may change, besides the
  // framework's lock files: host directory prefixes such as "/Syslog/".
  void allowWrites(const std::vector<std::string>& hostDirs);

  // Host records.
  void setLangSetCode(std::uint32_t code);
  void setDemoUserInit(std::uint8_t value);
  void setCameraHd(std::uint8_t value);

  // Plain writes and removals by the harness (not checked, not the library's).
  void writeHostFile(const std::string& hostPath, const std::uint8_t* data, std::size_t size) const;
  void writeHostFile(const std::string& hostPath, const std::string& content) const;
  void removeHostFile(const std::string& hostPath) const;
  // Content of a host file; false when it does not exist.
  bool readHostFile(const std::string& hostPath, std::string* content) const;
  // Removes every file in the unit's "/Syslog/".
  void clearSyslog() const;

  // Called by a target at the end of each input: puts back every file of the
  // unit the input changed, created or removed (the library's lock files
  // aside), lets the store's cached file objects of those files read them
  // again, allows writes to none of its directories again, and forgets what
  // the stand-in kept of the input for tests (its records of creation calls
  // and host calls). Every input so starts from the same unit, and
  // leaves the process's memory as it found it: libFuzzer reruns an input
  // and scans the whole heap for leaks when the input allocated more than it
  // freed, so that only an input that really leaks pays for that scan.
  void endInput();


 private:
  FuzzUnit();
  std::string root_;
  // The unit's files as every input finds them (disk path -> content).
  std::map<std::string, std::string> baseline_;
};

// Ends the process with a message: a property of the library was violated.
[[noreturn]] void fail(const std::string& what);

// A key=value file as the store writes it: every line "Key=Value" with a line
// feed, key not empty. why names the first damage.
bool keyFileWhole(const std::string& text, std::string* why);

}  // namespace sysdata_fuzz
