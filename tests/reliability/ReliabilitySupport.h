// Shared pieces of the reliability tests: how hard to push on this build,
// a watchdog that turns a hang into a failure, and the checks that a settings
// file on disk is whole and that every lock around it can still be taken.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/RecordAccess.h"
#include "core/SystemRecords.h"
#include "platform/SaveFileAccess.h"
#include "settings/KeyTable.h"
#include "settings/SettingsCatalog.h"
#include "tests/reliability/Scale.h"
#include "tests/support/SimUnit.h"

namespace reliability {

// A row's name as GoogleTest accepts it: letters and digits, every other run
// of characters one '_'.
inline std::string testName(const char* name) {
  std::string out;
  for (const char* p = name; *p != '\0'; ++p) {
    const char c = *p;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      out += c;
    } else if (!out.empty() && out.back() != '_') {
      out += '_';
    }
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out;
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- watchdog ----

namespace detail {
inline char g_watchdogWhat[160];
extern "C" inline void watchdogFired(int) {
  static const char prefix[] = "\nRELIABILITY hang detected: ";
  ssize_t ignored = ::write(2, prefix, sizeof prefix - 1);
  ignored = ::write(2, g_watchdogWhat, std::strlen(g_watchdogWhat));
  ignored = ::write(2, "\n", 1);
  (void)ignored;
  ::_exit(86);
}
}  // namespace detail

// While alive, a wait longer than seconds ends the process with a message
// (a deadlock fails the test instead of hanging it). One at a time.
class Watchdog {
 public:
  Watchdog(unsigned int seconds, const std::string& what) {
    std::snprintf(detail::g_watchdogWhat, sizeof detail::g_watchdogWhat, "%s", what.c_str());
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = detail::watchdogFired;
    ::sigaction(SIGALRM, &sa, &old_);
    ::alarm(seconds);
  }
  ~Watchdog() {
    ::alarm(0);
    ::sigaction(SIGALRM, &old_, nullptr);
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  struct sigaction old_;
};

// ---- files ----

// A key=value file as written by the store: every line "Key=Value" ending in
// a line feed, key non-empty. An empty file is whole too. why names the
// first damage.
inline bool keyFileWhole(const std::string& text, std::string* why) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t lf = text.find('\n', pos);
    if (lf == std::string::npos) {
      *why = "last line has no line feed";
      return false;
    }
    const std::string line = text.substr(pos, lf - pos);
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      *why = "line without key: \"" + line + "\"";
      return false;
    }
    pos = lf + 1;
  }
  return true;
}

// Hidden temporary files ("." ... ".tmp") left in dir.
inline int strayTemporaries(const std::string& dir) {
  int n = 0;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name.size() > 5 && name[0] == '.' && name.compare(name.size() - 4, 4, ".tmp") == 0) ++n;
    }
    ::closedir(d);
  }
  return n;
}

inline bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// A fresh store object of name (not the registries' one), so that opening it
// proves that no other object or process still holds the file's lock.
inline std::unique_ptr<SaveFileAccessMetaText> freshMetaText(const char* name) {
  return std::unique_ptr<SaveFileAccessMetaText>(
      TqSingleton<SaveFileAccessFactory>::GetInstance()->CreateMetaText(name, "a+"));
}
inline std::unique_ptr<SaveFileAccess> freshBinary(const char* name) {
  return std::unique_ptr<SaveFileAccess>(TqSingleton<SaveFileAccessFactory>::GetInstance()->Create(name, "r+"));
}

// Every key of a product key=value file reads as its type through a fresh
// store object; false with the first missing or unreadable key in why.
inline bool productKeysRead(const sysdata::SettingsFileDef& def, std::string* why) {
  auto file = freshMetaText(def.fileName);
  if (!file || !file->FOpen()) {
    *why = std::string("cannot open ") + def.fileName;
    return false;
  }
  bool ok = true;
  for (std::size_t n = 0; n < def.keyCount && ok; ++n) {
    sysdata::KeyValue v;
    if (!sysdata::getKey(*file, def.keys[n].key, def.keys[n].type, &v)) {
      *why = std::string(def.fileName) + ": key " + def.keys[n].key + " does not read as " +
             sysdata::keyTypeName(def.keys[n].type);
      ok = false;
    }
  }
  file->FClose();
  return ok;
}

// A binary record file holds exactly its record: size bytes of fill.
inline bool binaryRecordExact(const std::string& path, std::size_t size, unsigned char fill, std::string* why) {
  const std::string bytes = sysdata_test::readFile(path);
  if (bytes.size() != size) {
    *why = path + ": " + std::to_string(bytes.size()) + " bytes, expected " + std::to_string(size);
    return false;
  }
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) != fill) {
      *why = path + ": a byte differs from the fill value";
      return false;
    }
  }
  return true;
}

// Constructs all five views (each takes its segment's inter-process lock)
// and reads one field of each; false when a segment does not map.
inline bool allSegmentsAnswer() {
  const SystemInformation info;
  const SysDataInformation dirs;
  const FuncInfoSharedMem func;
  const FuncInfoProduct product;
  const SysDataDefault table;
  (void)info.getModel();
  (void)dirs.getSaveFileDir();
  (void)sysdata::langSetCode(func);
  (void)sysdata::cameraHd(product);
  (void)sysdata::readU32(table, 0);
  using sysdata::RecordAccess;
  return RecordAccess::isMapped(info) && RecordAccess::isMapped(dirs) && RecordAccess::isMapped(func) &&
         RecordAccess::isMapped(product) && RecordAccess::isMapped(table);
}

}  // namespace reliability
