// The host side of a simulated unit.
//
// A unit is a root directory holding "unit.conf" (see UnitConfig.h) and the
// unit's file system: the stand-in platform places every absolute host path
// ("/data/save/Mic.ini", "/Syslog/...") under the root, and gives the unit
// its own namespace of shared-memory segments.
//
// Every invocation of the tool is one power-on: HostSession takes the unit's
// lock (so two invocations on one unit run one after the other), points the
// platform at the root, fills the host's records from unit.conf and the
// factory default table, as the host does at every start. Its destructor is
// the power-off: the host's singleton teardown, then the removal of the
// unit's segments, so nothing is left in /dev/shm.
#pragma once

#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "SafeFile.h"
#include "UnitAccess.h"
#include "UnitConfig.h"
#include "util/SysDataUtilProduct.h"

namespace sysdatactl {

// A unit on disk.
struct Unit {
  std::string root;  // absolute, no trailing "/"
  UnitConfig config;
  int boots = 0;     // completed boots, from unit.state
};

// Resolves and loads the unit at rootArg. False with a one-line message when
// the directory does not exist or holds no valid unit.conf (or a damaged
// unit.state).
bool loadUnit(const std::string& rootArg, Unit* unit, std::string* error);
// The boot count in unit.state (0 when the unit has none yet). A unit.state
// that is damaged, not a regular file or unreadable is an error: taking it
// for a first boot would reset every product file.
bool readBoots(const std::string& root, int* boots, std::string* error);
// Replaces unit.state / unit.conf durably (see SafeFile.h). Call with the
// unit's lock held (HostSession, or lockUnitDirectory).
bool writeBoots(const Unit& unit, int boots, std::string* error);
bool writeUnitConfig(const std::string& root, const std::string& text, std::string* error);

// The unit's lock: an exclusive lock on a file of the unit's lock directory
// that only the unit's owner can open, so no other user can take it and
// stall the unit. The wait ends within the command's wait budget. The
// descriptor, or -1 with *error.
int lockUnitDirectory(const std::string& root, std::string* error);
void unlockUnitDirectory(int fd);

// SIGINT, SIGTERM, SIGHUP and SIGQUIT while a unit is on. A command is
// short, so an interrupt waits for the power-off (which removes the unit's
// segments) and then takes effect. But a command must never make the user
// wait for good: when the command has not powered off within half a second
// of the signal (it is stuck in a system call, say on a FIFO), a timer does
// the essential part of the power-off itself, the removal of the unit's
// segments (and of a throw-away unit's directory), and ends the process by
// the signal. Signal handlers and a timer, not a thread: a command starts a
// process, and a thread would cost each one more than all its own work on the
// unit's records.
class InterruptWatch {
 public:
  InterruptWatch() = default;
  ~InterruptWatch() { finish(); }
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // Installs the handlers. throwAwayRoot, when not empty, is a temporary
  // unit's directory that a stuck command's removal takes too.
  bool start(const std::string& throwAwayRoot);
  // The power-off is done: restores the handlers; an interrupt that came
  // meanwhile ends the process now.
  void finish();

 private:
  bool started_ = false;
};

class HostSession {
 public:
  // Powers the unit on. Check ok() / error() afterwards. The unit's boot
  // count is read again once its lock is held (unit().boots).
  explicit HostSession(const Unit& unit);
  // A throw-away unit in a fresh temporary directory, removed at power-off;
  // for commands that need the host's records but no unit of the user's.
  static std::unique_ptr<HostSession> ephemeral(const UnitConfig& config);
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  const Unit& unit() const { return unit_; }
  SysDataUtilProduct& util() { return util_; }

  // The unit's files, by host path: reached through UnitAccess.h only.
  UnitPath saveDir() const { return UnitPath(unit_.config.saveDir); }
  UnitPath saveFile(const std::string& name) const { return saveDir().child(name); }
  UnitPath calibrationFile() const;
  // "/Syslog/" + customize_file_name and the stored caution image.
  UnitPath syslog() const { return UnitPath("/Syslog"); }
  UnitPath storedCustomization() const { return syslog().child(unit_.config.customizeFileName); }
  UnitPath storedCautionImage() const { return syslog().child("dop_startup_caution_img.png"); }

 private:
  HostSession(const Unit& unit, bool ephemeralRoot);
  void powerOn();
  // Once, whatever of the power-on was done; the destructor, or a power-on
  // that threw.
  void powerOff();

  Unit unit_;
  bool ephemeral_ = false;
  int lockFd_ = -1;
  // Descriptors held from power-on to power-off, so that the power-off can
  // remove the unit's segments even when the command used up the process's
  // limit (ulimit -n).
  std::vector<int> reserve_;
  // Interrupts wait for the power-off, so that a Ctrl-C cannot leave the
  // unit's segments behind, but never for long.
  InterruptWatch interrupts_;
  std::string error_;
  SysDataUtilProduct util_;
};

// Paths outside the unit. The platform places absolute paths under the root,
// so a file of this machine outside the root is handed to the library
// relative to the working directory: these change into the directory and
// give the relative path to use. A file that lies in the unit is given by its
// host path instead (no directory is entered). False with a message when the
// directory or file cannot be reached.
bool enterDirectory(const std::string& dir, std::string* relative, std::string* error);
bool enterDirectoryOf(const std::string& file, std::string* relative, std::string* error);

}  // namespace sysdatactl
