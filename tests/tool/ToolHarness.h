// Runs sysdatactl as a user would: a child process with its own arguments,
// environment and working directory, its output captured. Each test gets a
// scratch directory under the build tree (SYSDATA_TEST_TMP) that holds its
// unit and its other files, and is removed afterwards; the test also checks
// that no shared-memory segment of the unit is left behind.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/TqSimulation.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/UnitFiles.h"

#ifndef SYSDATACTL_PATH
#error "SYSDATACTL_PATH must name the tool under test"
#endif
#ifndef SYSDATA_SOURCE_DIR
#error "SYSDATA_SOURCE_DIR must name the source tree"
#endif

namespace tooltest {

struct RunResult {
  int exitCode = -1;  // 128 + N when the child ended by signal N
  std::string out;
  std::string err;
  bool timedOut = false;   // the deadline passed: the child was killed
  long long signalToEndMs = -1;  // from the signal sent (RunOptions) to the child's end
};

// A deadline for every run, so that a command that hangs fails its test
// instead of stalling the suite; optionally a signal sent to the child a
// while after it started (an interrupt by the user).
struct RunOptions {
  int deadlineMs = 60000;
  int signal = 0;  // none
  int signalAfterMs = 0;
};

inline std::ostream& operator<<(std::ostream& os, const RunResult& r) {
  if (r.timedOut) os << "TIMED OUT (killed at the deadline)\n";
  return os << "exit " << r.exitCode << "\n--- stdout\n" << r.out << "--- stderr\n" << r.err;
}

// Variables that would point the tool elsewhere than the test means.
inline const std::vector<std::string>& scrubbedEnvironment() {
  static const std::vector<std::string> names = {"SYSDATACTL_ROOT", "TQ_SIM_ROOT", "TQ_SIM_SHM_PREFIX",
                                                 "TQ_DEBUG_LOG"};
  return names;
}

inline long long monotonicMs() {
  timespec now = {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

inline RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::map<std::string, std::string>& env = {}, const std::string& cwd = "",
                            const RunOptions& options = RunOptions()) {
  RunResult result;
  int outPipe[2];
  int errPipe[2];
  if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return result;
  }
  std::vector<std::string> argvStrings;
  argvStrings.push_back(program);
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argvStrings) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(outPipe[1], 1);
    ::dup2(errPipe[1], 2);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    for (const std::string& name : scrubbedEnvironment()) ::unsetenv(name.c_str());
    for (const auto& entry : env) ::setenv(entry.first.c_str(), entry.second.c_str(), 1);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(125);
    ::execv(program.c_str(), argv.data());
    ::_exit(126);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  const long long started = monotonicMs();
  long long signalledAt = -1;
  while (open > 0) {
    const long long now = monotonicMs();
    if (options.signal != 0 && signalledAt < 0 && now - started >= options.signalAfterMs) {
      ::kill(pid, options.signal);
      signalledAt = now;
    }
    if (now - started >= options.deadlineMs) {
      result.timedOut = true;
      ::kill(pid, SIGKILL);
      break;
    }
    long long wait = options.deadlineMs - (now - started);
    if (options.signal != 0 && signalledAt < 0) wait = std::min(wait, options.signalAfterMs - (now - started));
    const int ready = ::poll(fds, 2, static_cast<int>(std::max(1LL, wait)));
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd >= 0) ::close(fds[i].fd);
  }
  int status = 0;
  // The child may have closed its output and still run: the deadline holds.
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) break;
    const long long now = monotonicMs();
    if (options.signal != 0 && signalledAt < 0 && now - started >= options.signalAfterMs) {
      ::kill(pid, options.signal);
      signalledAt = now;
    }
    if (now - started >= options.deadlineMs && !result.timedOut) {
      result.timedOut = true;
      ::kill(pid, SIGKILL);
    }
    ::usleep(2000);
  }
  if (signalledAt >= 0) result.signalToEndMs = monotonicMs() - signalledAt;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

// The tool under test: the one built with the tests, or another build of it
// named by SYSDATACTL_UNDER_TEST (to see how an older tool fares).
inline std::string toolUnderTest() {
  const char* other = std::getenv("SYSDATACTL_UNDER_TEST");
  return other != nullptr && other[0] != '\0' ? other : SYSDATACTL_PATH;
}

inline RunResult runTool(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                         const std::string& cwd = "", const RunOptions& options = RunOptions()) {
  return runProgram(toolUnderTest(), args, env, cwd, options);
}

// ---- files ----

inline bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The unit's file helpers, shared with the test fixture.
using sysdata_test::makeDirs;
using sysdata_test::readFile;
using sysdata_test::removeTree;
using sysdata_test::writeFile;

// Every file below root with its content, skipping hidden entries (the
// platform's lock files): a picture of what a command wrote.
inline void snapshotInto(const std::string& root, const std::string& relative,
                         std::map<std::string, std::string>* files) {
  const std::string path = relative.empty() ? root : root + "/" + relative;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (!S_ISDIR(st.st_mode)) {
    (*files)[relative] = readFile(path);
    return;
  }
  (*files)[relative + "/"] = "";
  if (DIR* dir = ::opendir(path.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      snapshotInto(root, relative.empty() ? entry->d_name : relative + "/" + entry->d_name, files);
    }
    ::closedir(dir);
  }
}

inline std::map<std::string, std::string> snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  snapshotInto(root, "", &files);
  return files;
}

// "Key=Value" of a settings file on disk, or "<missing>".
inline std::string keyValue(const std::string& path, const std::string& key) {
  std::istringstream in(readFile(path));
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
  }
  return "<missing>";
}

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs of blanks as one: table columns without their padding.
inline std::string squeeze(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += c;
  }
  return out;
}

inline int countLines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n' ? 1 : 0;
  return n;
}

// Shared-memory segments of the simulated unit at root.
inline std::vector<std::string> segmentsOf(const std::string& root) {
  TqSimSetRoot(root.c_str());
  std::vector<std::string> segments = standin::testing::SimSegments();
  TqSimSetRoot("");
  return segments;
}

inline std::string sourcePath(const std::string& relative) { return std::string(SYSDATA_SOURCE_DIR) + "/" + relative; }

// A scratch directory per test, the unit at <scratch>/unit.
class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("SYSDATA_TEST_TMP");
    const std::string parent = base != nullptr && base[0] != '\0' ? base : "/tmp";
    makeDirs(parent);
    std::string pattern = parent + "/tool-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    ASSERT_NE(::mkdtemp(buf.data()), nullptr) << "mkdtemp under " << parent;
    scratch_ = buf.data();
    root_ = scratch_ + "/unit";
  }

  void TearDown() override {
    EXPECT_TRUE(segmentsOf(root_).empty()) << "a shared-memory segment of the unit was left behind";
    // Even so, the machine keeps none of them.
    TqSimSetRoot(root_.c_str());
    standin::testing::RemoveSimSegments();
    TqSimSetRoot("");
    removeTree(scratch_);
  }

  // Runs the tool on this test's unit.
  RunResult tool(std::vector<std::string> args, const std::map<std::string, std::string>& env = {},
                 const std::string& cwd = "", const RunOptions& options = RunOptions()) {
    args.insert(args.begin(), {"--root", root_});
    return runTool(args, env, cwd, options);
  }

  // A booted unit of a variant; fails the test when either step fails.
  void bootUnit(const std::vector<std::string>& createArgs = {"VH-C306"}) {
    std::vector<std::string> args = {"create"};
    args.insert(args.end(), createArgs.begin(), createArgs.end());
    const RunResult created = tool(args);
    ASSERT_EQ(created.exitCode, 0) << created;
    const RunResult booted = tool({"boot"});
    ASSERT_EQ(booted.exitCode, 0) << booted;
  }

  std::string saveFile(const std::string& name) const { return root_ + "/data/save/" + name; }
  std::string syslog(const std::string& name) const { return root_ + "/Syslog/" + name; }

  std::string scratch_;
  std::string root_;
};

}  // namespace tooltest
