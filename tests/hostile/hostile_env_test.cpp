// sysdatactl on a unit that someone else can touch, or that sits on a failing
// file system: links out of the unit, FIFOs and directories where files
// belong, huge files, a full disk, a read-only mount, a user without rights.
//
// One row per case: the setup that plants the trap, the command, its exit
// status and message, and what must hold whatever the command does: nothing
// outside the unit changed (a directory beside the unit, full of files, that
// the planted links point into), nothing in the unit changed but what the
// command was to change, no shared-memory segment of the unit left, and the
// command ended before its deadline.
//
// The column `needs` says whose fix a row waits for: the tool's own, the
// stand-in's file layer (paths resolved beneath the unit's root, copy
// permissions), or the segment namespace of a unit. Rows that need root (a
// small tmpfs, a read-only bind mount, a second user) skip with a message
// when not run as root.
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <functional>
#include <set>

#include <nlohmann/json.hpp>

#include "tests/tool/ToolHarness.h"

namespace tooltest {
namespace {

enum class Needs { Tool, StandIn };
enum class Privilege { Any, Root };

const char* needsName(Needs needs) { return needs == Needs::Tool ? "tool" : "stand-in file layer"; }

constexpr const char* kSecret = "TOP-SECRET-CONTENT";
constexpr int kNobody = 65534;

// ---- traps ----

void replaceWithFifo(const std::string& path) {
  removeTree(path);
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path << ": " << std::strerror(errno);
}

void replaceWithDirectory(const std::string& path) {
  removeTree(path);
  makeDirs(path + "/inside");
}

void replaceWithLink(const std::string& path, const std::string& target) {
  removeTree(path);
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path << ": " << std::strerror(errno);
}

// A sparse file: huge by its size, nothing on the disk.
void replaceWithHugeFile(const std::string& path, long long size) {
  removeTree(path);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(::ftruncate(fd, size), 0) << path << ": " << std::strerror(errno);
  ::close(fd);
}

// A pid that no process has now.
pid_t deadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

// ---- pictures of a directory tree, taken without blocking on anything ----

std::string describeEntry(const std::string& path, const struct stat& st, bool times) {
  char mode[16];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  if (S_ISLNK(st.st_mode)) {
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    return "link -> " + std::string(target, n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  if (S_ISFIFO(st.st_mode)) return std::string("fifo ") + mode;
  if (S_ISDIR(st.st_mode)) {
    // A file made and removed again leaves only the directory's times.
    if (!times) return std::string("dir ") + mode;
    return std::string("dir ") + mode + " mtime " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + " ctime " + std::to_string(st.st_ctim.tv_sec) + "." +
           std::to_string(st.st_ctim.tv_nsec);
  }
  if (!S_ISREG(st.st_mode)) return "other";
  std::string text = std::string("file ") + mode + " size " + std::to_string(st.st_size) + " ";
  if (st.st_size > 1024 * 1024) return text + "(not read)";
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return text + "(unreadable)";
  char buf[4096];
  ssize_t n = 0;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  return text;
}

void pictureInto(const std::string& root, const std::string& relative, bool hidden, bool times,
                 std::map<std::string, std::string>* out) {
  const std::string path = relative.empty() ? root : root + "/" + relative;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  (*out)[relative] = describeEntry(path, st, times);
  if (!S_ISDIR(st.st_mode)) return;
  if (DIR* dir = ::opendir(path.c_str())) {
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == ".." || (!hidden && name[0] == '.')) continue;
      names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
      pictureInto(root, relative.empty() ? name : relative + "/" + name, hidden, times, out);
    }
  }
}

// times: directories with their modification and change times (outside the
// unit nothing may touch them; inside, replacing a file changes them).
std::map<std::string, std::string> picture(const std::string& root, bool hidden, bool times = false) {
  std::map<std::string, std::string> out;
  pictureInto(root, "", hidden, times, &out);
  return out;
}

// The entries that differ, each with its before and after.
std::string differences(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& after, const std::vector<std::string>& allowed) {
  std::set<std::string> names;
  for (const auto& entry : before) names.insert(entry.first);
  for (const auto& entry : after) names.insert(entry.first);
  std::string report;
  for (const std::string& name : names) {
    bool mayChange = false;
    for (const std::string& prefix : allowed) mayChange = mayChange || name.compare(0, prefix.size(), prefix) == 0;
    if (mayChange) continue;
    const auto b = before.find(name);
    const auto a = after.find(name);
    const std::string was = b == before.end() ? "<none>" : b->second.substr(0, 60);
    const std::string is = a == after.end() ? "<none>" : a->second.substr(0, 60);
    if (b == before.end() || a == after.end() || b->second != a->second) {
      report += "  " + name + ": " + was + "  =>  " + is + "\n";
    }
  }
  return report;
}

// ---- the environment of one row ----

struct Env {
  std::string scratch;
  std::string root;     // the unit
  std::string outside;  // beside the unit: what links point into
  std::string dealer;   // a dealer's files (a USB stick)
  std::string usb;      // an export / import directory
  std::map<std::string, std::string> variables;
  bool asNobody = false;
  std::string nobodyTool;           // the tool as the second user runs it
  std::vector<std::string> mounts;  // unmounted at the end, last first
  int heldFd = -1;                  // a lock the row holds while the command runs
  pid_t holder = -1;                // a stopped process holding a lock, killed at the end
  std::vector<std::string> wrapper;  // a program the tool runs under, with its arguments
  std::string heldPath;             // a path the setup hands to the check
  // Started once the pictures are taken, stopped when the command is done.
  std::function<void(Env&)> whileRunning;
  std::function<void(Env&)> stopRunning;
  pid_t helper = -1;                // a process whileRunning started
  bool skipped = false;
  std::string skipReason;

  std::string save(const std::string& name) const { return root + "/data/save/" + name; }
  std::string syslog(const std::string& name) const { return root + "/Syslog/" + name; }

  void skip(const std::string& reason) {
    skipped = true;
    skipReason = reason;
  }
};

bool mountTmpfs(Env& env, const std::string& dir, int kilobytes) {
  const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0755";
  if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) != 0) {
    env.skip("cannot mount a tmpfs here: " + std::string(std::strerror(errno)));
    return false;
  }
  env.mounts.push_back(dir);
  return true;
}

// Puts dir on a small tmpfs with its files, then fills the tmpfs.
bool fullDiskAt(Env& env, const std::string& dir) {
  std::map<std::string, std::string> files;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* entry = ::readdir(d)) {
      if (entry->d_name[0] == '.') continue;
      files[entry->d_name] = readFile(dir + "/" + entry->d_name);
    }
    ::closedir(d);
  }
  if (!mountTmpfs(env, dir, 512)) return false;
  for (const auto& file : files) writeFile(dir + "/" + file.first, file.second);
  const int fd = ::open((dir + "/.filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  for (std::size_t block : {65536u, 4096u, 512u, 1u}) {
    const std::string bytes(block, 'x');
    while (::write(fd, bytes.data(), bytes.size()) > 0) {
    }
  }
  ::close(fd);
  return true;
}

bool readOnlyAt(Env& env, const std::string& dir) {
  if (::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    env.skip("cannot bind-mount here: " + std::string(std::strerror(errno)));
    return false;
  }
  env.mounts.push_back(dir);
  if (::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
    env.skip("cannot remount read-only here: " + std::string(std::strerror(errno)));
    return false;
  }
  return true;
}

// Whether the second user may use path for mode (R_OK, X_OK): asked as that
// user, so that every directory on the way and every ACL counts.
bool secondUserMay(const std::string& path, int mode) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0) {
      ::_exit(2);
    }
    ::_exit(::access(path.c_str(), mode) == 0 ? 0 : 1);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A scratch directory the second user can reach, for a row run as root: the
// build tree may sit where only its owner passes (a clone in root's home,
// mode 0700). The first of TMPDIR and /tmp that the user can pass through
// takes it; with neither, the scratch stays and the rows that run as the
// user skip (openToOthers).
void placeForSecondUser(std::string& scratch, std::string& root) {
  const std::string parent = scratch.substr(0, scratch.rfind('/'));
  if (::geteuid() != 0 || secondUserMay(parent, X_OK)) return;
  const char* tmpdir = std::getenv("TMPDIR");
  for (const std::string& base : {std::string(tmpdir != nullptr ? tmpdir : ""), std::string("/tmp")}) {
    if (base.empty() || !secondUserMay(base, X_OK)) continue;
    std::string pattern = base + "/sysdata-hostile-XXXXXX";
    if (::mkdtemp(&pattern[0]) == nullptr) continue;
    removeTree(scratch);
    scratch = pattern;
    root = scratch + "/unit";
    return;
  }
}

// The tool and the libraries it loads, for the second user: a copy in the
// scratch of whatever that user cannot read where it is (a build tree in a
// private home), found through the loader (ldd) as root sees them; the copy
// of the libraries comes first on the user's library path.
std::string toolForSecondUser(Env& env) {
  const std::string tool = toolUnderTest();
  const RunResult ldd = runProgram("/usr/bin/ldd", {tool});
  if (ldd.exitCode != 0) {
    env.skip("cannot list the libraries of " + tool + " (ldd exit " + std::to_string(ldd.exitCode) + ")");
    return tool;
  }
  const std::string dir = env.scratch + "/second-user";
  std::vector<std::string> copied;
  std::istringstream lines(ldd.out);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t arrow = line.find(" => /");
    if (arrow == std::string::npos) continue;
    const std::string lib = line.substr(arrow + 4, line.find(" (", arrow + 4) - (arrow + 4));
    if (secondUserMay(lib, R_OK)) continue;
    makeDirs(dir);
    writeFile(dir + "/" + lib.substr(lib.rfind('/') + 1), readFile(lib));
    copied.push_back(lib);
  }
  if (!copied.empty()) env.variables["LD_LIBRARY_PATH"] = dir;
  if (secondUserMay(tool, X_OK)) return tool;
  makeDirs(dir);
  const std::string copy = dir + "/" + tool.substr(tool.rfind('/') + 1);
  writeFile(copy, readFile(tool));
  ::chmod(copy.c_str(), 0755);
  return copy;
}

// The unit, the outside directory and the dealer's stick readable (not
// writable) by a second user, who runs the tool.
void openToOthers(Env& env) {
  env.asNobody = true;
  for (const std::string& dir : {env.scratch, env.dealer, env.usb}) ::chmod(dir.c_str(), 0755);
  if (!secondUserMay(env.scratch, X_OK)) {
    env.skip("the second user (uid " + std::to_string(kNobody) + ") cannot reach " + env.scratch +
             ", nor TMPDIR or /tmp");
    return;
  }
  env.nobodyTool = toolForSecondUser(env);
}

// A unit's lock files can be taken only by their owner, and a host writes
// no record without its lock: hands them to a second user, who may then
// power the unit on (the unit's other files stay root's).
void unitLockFor(Env& env, int uid) {
  const std::string dir = env.root + "/.tqlocks";
  const std::vector<std::string> names = {".unit.lock", "SystemInfo.lock", "SysDataInfo.lock", "FuncInfo.lock",
                                          "FuncInfoProduct.lock", "SysDataDefault.lock"};
  for (const std::string& name : names) {
    const std::string path = dir + "/" + name;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << path << ": " << std::strerror(errno);
    EXPECT_EQ(::fchown(fd, static_cast<uid_t>(uid), static_cast<gid_t>(uid)), 0);
    ::close(fd);
  }
}

void openToOthersWithUnitLock(Env& env) {
  openToOthers(env);
  unitLockFor(env, kNobody);
}

// The second user owns the unit (so its lock files are the user's to take),
// all but "/Syslog/", which stays root's and closed to the user.
void unitOwnedByOthersButSyslog(Env& env) {
  openToOthers(env);
  ::nftw(
      env.root.c_str(),
      [](const char* path, const struct stat*, int, struct FTW*) {
        return ::lchown(path, kNobody, kNobody) == 0 ? 0 : -1;
      },
      16, FTW_PHYS);
  ::lchown((env.root + "/Syslog").c_str(), 0, 0);
  ::chmod((env.root + "/Syslog").c_str(), 0755);
}

// Holds an exclusive lock of the kind the stand-in takes on a lock file.
void holdOfdLock(Env& env, const std::string& path) {
  env.heldFd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (env.heldFd < 0) {
    env.skip("no lock file at " + path + " to hold (the stand-in keeps its lock files elsewhere)");
    return;
  }
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  if (::fcntl(env.heldFd, F_OFD_SETLK, &fl) != 0) env.skip("cannot hold " + path);
}

void importDealerFile(Env& env) {
  const RunResult imported =
      runTool({"--root", env.root, "customize", "import", env.dealer + "/dop_customize.txt"});
  ASSERT_EQ(imported.exitCode, 0) << imported;
}

// ---- rows ----

using Setup = std::function<void(Env&)>;
using Check = std::function<void(const Env&, const RunResult&)>;

struct Row {
  const char* what;
  Needs needs;
  Privilege privilege;
  Setup setup;
  std::vector<std::string> args;  // @ROOT @DEALER @USB @SCRATCH replaced; "@NOROOT" first: no --root
  int exitCode;
  const char* message;                 // part of stdout + stderr
  std::vector<std::string> mayChange;  // unit paths (prefixes) the command may change
  Check check;
  RunOptions options;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.what << " [needs " << needsName(row.needs) << "]"; }

std::string expand(const std::string& arg, const Env& env) {
  const std::pair<const char*, std::string> marks[] = {
      {"@ROOT", env.root}, {"@DEALER", env.dealer}, {"@USB", env.usb}, {"@SCRATCH", env.scratch}};
  for (const auto& mark : marks) {
    const std::string m = mark.first;
    if (arg.compare(0, m.size(), m) == 0) return mark.second + arg.substr(m.size());
  }
  return arg;
}

// The tool gives a stuck command half a second after an interrupt; the bound
// checked is wider, so that a loaded machine does not fail the row, and
// still tells an interrupted command from one that waits for good (the
// deadline).
constexpr long long kInterruptBoundMs = 3000;

RunOptions interruptAfter(int ms) {
  RunOptions options;
  options.deadlineMs = 20000;
  options.signal = SIGTERM;
  options.signalAfterMs = ms;
  return options;
}

const Check kNoCheck;

// The exit status of a row whose command races with what the setup does:
// 0 or 1, the message not checked (what must hold is).
constexpr int kSucceedsOrFails = -1;

// Exchanges the unit's directory dir (relative to the root) with a link
// out of the unit (target, as the link holds it), atomically and again and
// again, while the command runs; puts the directory back afterwards.
void swapWithLinkOut(Env& e, const std::string& dir, const std::string& target) {
  const std::string path = e.root + "/" + dir;
  const std::string link = path + ".swap";
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link << ": " << std::strerror(errno);
  auto exchange = [path, link]() {
    return ::syscall(SYS_renameat2, AT_FDCWD, path.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
  };
  if (exchange() != 0 || exchange() != 0) {
    e.skip("no RENAME_EXCHANGE here: " + std::string(std::strerror(errno)));
    return;
  }
  e.whileRunning = [exchange](Env& env) {
    env.helper = ::fork();
    if (env.helper == 0) {
      for (;;) {
        exchange();
        ::sched_yield();
      }
    }
  };
  e.stopRunning = [path, exchange](Env& env) {
    if (env.helper > 0) {
      ::kill(env.helper, SIGKILL);
      int status = 0;
      ::waitpid(env.helper, &status, 0);
      env.helper = -1;
    }
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) exchange();
  };
}

// The tool under a limit of open descriptors (ulimit -n): soft and hard.
void withDescriptorLimit(Env& e, int soft, int hard) {
  if (::access("/usr/bin/prlimit", X_OK) != 0) {
    e.skip("no /usr/bin/prlimit");
    return;
  }
  e.wrapper = {"/usr/bin/prlimit", "--nofile=" + std::to_string(soft) + ":" + std::to_string(hard), "--"};
}

// What a killed writer leaves: "." + name + "." + pid + "." + number + ".tmp".
std::string leftover(const std::string& dir, const std::string& name, pid_t pid, const std::string& number) {
  return dir + "/." + name + "." + std::to_string(pid) + "." + number + ".tmp";
}

// A row per resolution of unit paths: openat2, and the component walk that
// replaces it where the kernel lacks openat2.
Row swapRow(const char* what, bool walk, const std::string& dir, const std::string& target,
            std::vector<std::string> args, std::vector<std::string> mayChange) {
  Row row{what, Needs::Tool, Privilege::Any,
          [walk, dir, target](Env& e) {
            if (walk) e.variables["TQ_SIM_RESOLVE_WALK"] = "1";
            swapWithLinkOut(e, dir, target);
          },
          std::move(args), kSucceedsOrFails, "", std::move(mayChange), kNoCheck, {}};
  return row;
}

const Row kRows[] = {
    // The tool's own files.
    {"unit.conf links to another file", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithLink(e.root + "/unit.conf", e.outside + "/secret.txt"); }, {"info"}, 1,
     "unit.conf: not a regular file", {},
     [](const Env&, const RunResult& r) { EXPECT_FALSE(contains(r.out + r.err, kSecret)) << "leaked the target"; }, {}},
    {"unit.conf is a FIFO", Needs::Tool, Privilege::Any, [](Env& e) { replaceWithFifo(e.root + "/unit.conf"); },
     {"info"}, 1, "unit.conf: not a regular file", {}, kNoCheck, {}},
    {"unit.conf of 3 GB", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithHugeFile(e.root + "/unit.conf", 3LL << 30); }, {"info"}, 1, "larger than 65536 bytes",
     {}, kNoCheck, {}},
    {"unit.conf empty", Needs::Tool, Privilege::Any, [](Env& e) { writeFile(e.root + "/unit.conf", ""); }, {"info"},
     1, "the required key 'model' is missing", {}, kNoCheck, {}},
    {"unit.conf model=0 then NUL and junk", Needs::Tool, Privilege::Any,
     [](Env& e) { writeFile(e.root + "/unit.conf", std::string("model=0\0junk\ndestination=5\n", 26)); },
     {"info"}, 1, "line 1: not text (control byte 0x00", {}, kNoCheck, {}},
    {"unit.conf with bytes that are not UTF-8", Needs::Tool, Privilege::Any,
     [](Env& e) { writeFile(e.root + "/unit.conf", "model=6\ndestination=5\nsave_dir=/data/\xff\xfe\n"); },
     {"info"}, 1, "line 3: not text (invalid UTF-8", {}, kNoCheck, {}},
    {"unit.state links to another file", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithLink(e.root + "/unit.state", e.outside + "/notes.txt"); }, {"boot"}, 1,
     "unit.state: not a regular file", {}, kNoCheck, {}},
    {"links planted at the predictable temporary names of unit.state", Needs::Tool, Privilege::Any,
     [](Env& e) {
       // The next pids the system hands out.
       long long last = 0;
       std::istringstream(readFile("/proc/sys/kernel/ns_last_pid")) >> last;
       for (long long pid = last + 1; pid <= last + 64; ++pid) {
         replaceWithLink(e.root + "/unit.state.tmp." + std::to_string(pid), e.outside + "/notes.txt");
       }
     },
     {"boot"}, 0, "boot 2 of VH-C306", {"unit.state"}, kNoCheck, {}},
    {"unit.state of 1 MB", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithHugeFile(e.root + "/unit.state", 1 << 20); }, {"boot"}, 1, "larger than 4096 bytes", {},
     kNoCheck, {}},
    {"create --force over a unit.conf that links to another file", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithLink(e.root + "/unit.conf", e.outside + "/notes.txt"); },
     {"create", "VH-C306", "--force"}, 0, "created unit VH-C306", {"unit.conf"},
     [](const Env& e, const RunResult&) {
       struct stat st;
       ASSERT_EQ(::lstat((e.root + "/unit.conf").c_str(), &st), 0);
       EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link was written through, not replaced";
     }, {}},

    {"create --force in a unit whose data directory links outside", Needs::Tool, Privilege::Any,
     [](Env& e) {
       removeTree(e.root + "/data");
       replaceWithLink(e.root + "/data", e.outside + "/elsewhere");
       makeDirs(e.outside + "/elsewhere");
     },
     {"create", "VH-C306", "--force"}, 1, "'data' is a symbolic link, which is not followed here", {"unit.conf"},
     kNoCheck, {}},

    // FIFOs and directories where files belong: refused, never waited on.
    {"Settings.ini is a FIFO: get", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.save("Settings.ini")); }, {"get", "beep-vol"}, 1,
     "cannot read BeepVol from Settings.ini: not a regular file", {}, kNoCheck, {}},
    {"Settings.ini is a FIFO: set", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.save("Settings.ini")); }, {"set", "beep-vol", "7"}, 1,
     "cannot store BeepVol in Settings.ini: not a regular file", {}, kNoCheck, {}},
    {"Settings.ini is a FIFO: dump", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.save("Settings.ini")); }, {"dump"}, 1,
     "Settings.ini: not a regular file", {}, kNoCheck, {}},
    {"product file is a FIFO: reset", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.save("SxmSetting.ini")); }, {"reset", "SxmSetting.ini"}, 1,
     "cannot reset SxmSetting.ini: not a regular file", {}, kNoCheck, {}},
    {"product file is a directory: reset", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithDirectory(e.save("SxmSetting.ini")); }, {"reset", "SxmSetting.ini"}, 1,
     "cannot reset SxmSetting.ini: not a regular file", {}, kNoCheck, {}},
    {"product file is a FIFO: boot --init", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.save("SxmSetting.ini")); }, {"boot", "--init"}, 1,
     "cannot initialise SxmSetting.ini: not a regular file", {"unit.state", "data/save/"},
     [](const Env& e, const RunResult&) {
       struct stat st;
       ASSERT_EQ(::lstat(e.save("SxmSetting.ini").c_str(), &st), 0);
       EXPECT_TRUE(S_ISFIFO(st.st_mode));
     }, {}},
    {"product file is a directory: boot --init", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithDirectory(e.save("SxmTeamDb.ini")); }, {"boot", "--init"}, 1,
     "cannot initialise SxmTeamDb.ini: not a regular file", {"unit.state", "data/save/"}, kNoCheck, {}},
    {"product file is a directory: show", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithDirectory(e.save("SxmSetting.ini")); }, {"show", "SxmSetting.ini"}, 1,
     "cannot read SxmSetting.ini: not a regular file", {}, kNoCheck, {}},
    {"product file is a FIFO: verify says so, not missing", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.save("SxmSetting.ini")); }, {"verify"}, 1,
     "SxmSetting.ini: not a regular file", {}, kNoCheck, {}},
    {"calibration file is a FIFO: boot", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.root + "/data/calib/AirGestureCalibration.ini"); }, {"boot"}, 1,
     "cannot make the calibration file: not a regular file", {"unit.state"}, kNoCheck, {}},
    {"binary file is a FIFO: export", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.save("SxmTeamDb.ini")); }, {"export", "@USB"}, 1,
     "cannot export SxmTeamDb.ini: not a regular file", {}, kNoCheck, {}},
    {"key file is a FIFO: export", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.save("SxmSetting.ini")); }, {"export", "@USB"}, 1,
     "cannot export SxmSetting.ini: not a regular file", {}, kNoCheck, {}},
    {"export target is a FIFO", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.usb + "/SxmSetting.ini"); }, {"export", "@USB"}, 1, "not a regular file", {},
     kNoCheck, {}},
    {"DriveRecorder.ini on the stick is a FIFO: import", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.usb + "/DriveRecorder.ini"); }, {"import", "@USB"}, 1,
     "DriveRecorder.ini: not a regular file", {}, kNoCheck, {}},
    {"DriveRecorder.ini in the unit is a FIFO: import", Needs::Tool, Privilege::Any,
     [](Env& e) {
       writeFile(e.usb + "/DriveRecorder.ini", "FrontRecorderLastConnect=5\n");
       replaceWithFifo(e.save("DriveRecorder.ini"));
     },
     {"import", "@USB"}, 1, "cannot import into DriveRecorder.ini: not a regular file", {}, kNoCheck, {}},
    {"DriveRecorder.ini on the stick of 3 GB: import", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithHugeFile(e.usb + "/DriveRecorder.ini", 3LL << 30); }, {"import", "@USB"}, 1,
     "larger than", {}, kNoCheck, {}},
    {"caution image is a FIFO: customize import", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithFifo(e.dealer + "/caution.png"); }, {"customize", "import", "@DEALER/dop_customize.txt"},
     1, "caution.png': not a regular file", {}, kNoCheck, {}},
    {"dealer file of 3 GB: customize check", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithHugeFile(e.dealer + "/dop_customize.txt", 3LL << 30); },
     {"customize", "check", "@DEALER/dop_customize.txt"}, 1, "larger than 1048576 bytes", {}, kNoCheck, {}},
    {"dealer file of 3 GB: customize import", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithHugeFile(e.dealer + "/dop_customize.txt", 3LL << 30); },
     {"customize", "import", "@DEALER/dop_customize.txt"}, 1, "larger than 1048576 bytes", {}, kNoCheck, {}},
    {"Mic.ini is a FIFO: customize apply", Needs::Tool, Privilege::Any,
     [](Env& e) {
       importDealerFile(e);
       replaceWithFifo(e.save("Mic.ini"));
     },
     {"customize", "apply"}, 1, "customization not applied: Mic.ini: not a regular file", {}, kNoCheck, {}},
    {"export to an empty name", Needs::Tool, Privilege::Any, [](Env&) {}, {"export", ""}, 2,
     "DIR must not be empty", {}, kNoCheck, {}},

    // Output and leftovers.
    {"caution name that is not UTF-8: --json stays valid", Needs::Tool, Privilege::Any,
     [](Env& e) { writeFile(e.dealer + "/odd.txt", "DOP_Customize\n[caution]\xff\xfe.png\n[demo]0\n"); },
     {"--json", "customize", "check", "@DEALER/odd.txt"}, 1, "problem", {},
     [](const Env&, const RunResult& r) {
       EXPECT_TRUE(nlohmann::json::accept(r.out)) << "not valid JSON:\n" << r.out;
     }, {}},
    {"throw-away unit of a killed customize check", Needs::Tool, Privilege::Any,
     [](Env& e) {
       const std::string tmp = e.scratch + "/tmp";
       const std::string dead = tmp + "/sysdatactl-" + std::to_string(deadPid()) + "-AbCdEf";
       makeDirs(dead + "/data/save");
       writeFile(dead + "/.sysdatactl-throw-away-unit", "");
       writeFile(dead + "/data/save/Settings.ini", "BeepVol=3\n");
       // Not ours to remove: no marker, or a run that is alive.
       makeDirs(tmp + "/sysdatactl-" + std::to_string(deadPid()) + "-NoMark");
       makeDirs(tmp + "/sysdatactl-" + std::to_string(::getpid()) + "-Alive");
       writeFile(tmp + "/sysdatactl-" + std::to_string(::getpid()) + "-Alive/.sysdatactl-throw-away-unit", "");
       e.variables["TMPDIR"] = tmp;
     },
     {"@NOROOT", "customize", "check", "@DEALER/dop_customize.txt"}, 0, "ok", {},
     [](const Env& e, const RunResult&) {
       int dead = 0;
       int kept = 0;
       if (DIR* d = ::opendir((e.scratch + "/tmp").c_str())) {
         while (dirent* entry = ::readdir(d)) {
           const std::string name = entry->d_name;
           dead += contains(name, "-AbCdEf") ? 1 : 0;
           kept += contains(name, "-NoMark") || contains(name, "-Alive") ? 1 : 0;
         }
         ::closedir(d);
       }
       EXPECT_EQ(dead, 0) << "the dead run's unit is still there";
       EXPECT_EQ(kept, 2) << "removed what was not a dead run's";
     }, {}},
    {"segments of a killed customize check", Needs::Tool, Privilege::Any,
     [](Env& e) {
       const std::string tmp = e.scratch + "/tmp";
       const std::string dead = tmp + "/sysdatactl-" + std::to_string(deadPid()) + "-SegLft";
       makeDirs(dead + "/data/save");
       writeFile(dead + "/.sysdatactl-throw-away-unit", "");
       TqSimSetRoot(dead.c_str());
       // The stand-in places the name in the dead unit's namespace.
       const int fd = ::shm_open("/SystemInfo", O_CREAT | O_RDWR | O_CLOEXEC, 0600);
       TqSimSetRoot("");
       ASSERT_GE(fd, 0) << std::strerror(errno);
       ::close(fd);
       ASSERT_FALSE(segmentsOf(dead).empty());
       e.variables["TMPDIR"] = tmp;
       e.heldPath = dead;
     },
     {"@NOROOT", "customize", "check", "@DEALER/dop_customize.txt"}, 0, "ok", {},
     [](const Env& e, const RunResult&) {
       const std::vector<std::string> left = segmentsOf(e.heldPath);
       EXPECT_TRUE(left.empty()) << left.size() << " segments of the dead run left, first " << left[0];
       EXPECT_FALSE(exists(e.heldPath));
       // Whatever the tool did, the machine keeps nothing of the planted run.
       TqSimSetRoot(e.heldPath.c_str());
       standin::testing::RemoveSimSegments();
       TqSimSetRoot("");
     }, {}},
    {"temporary file of a killed export", Needs::Tool, Privilege::Any,
     [](Env& e) {
       writeFile(e.usb + "/.SxmSetting.ini." + std::to_string(deadPid()) + ".0.tmp", "half an export");
     },
     {"export", "@USB"}, 0, "exported 38 product files", {},
     [](const Env& e, const RunResult&) {
       const auto files = picture(e.usb, true);
       for (const auto& file : files) EXPECT_FALSE(contains(file.first, ".tmp")) << file.first << " left";
     }, {}},

    // Interrupts: the tool ends within a second of SIGTERM.
    {"SIGTERM while another invocation holds the unit", Needs::Tool, Privilege::Any,
     [](Env& e) { holdOfdLock(e, e.root + "/.tqlocks/.unit.lock"); },
     {"get", "beep-vol"}, 128 + SIGTERM, "", {},
     [](const Env&, const RunResult& r) { EXPECT_LT(r.signalToEndMs, kInterruptBoundMs) << "after SIGTERM"; },
     interruptAfter(300)},
    {"SIGTERM while the library waits on a record's lock", Needs::Tool, Privilege::Any,
     [](Env& e) { holdOfdLock(e, e.root + "/.tqlocks/SystemInfo.lock"); }, {"get", "beep-vol"}, 128 + SIGTERM, "",
     {}, [](const Env&, const RunResult& r) { EXPECT_LT(r.signalToEndMs, kInterruptBoundMs) << "after SIGTERM"; },
     interruptAfter(300)},

    // Links under the unit's root lead nowhere outside it.
    {"Syslog links outside: customize import", Needs::StandIn, Privilege::Any,
     [](Env& e) { replaceWithLink(e.root + "/Syslog", e.outside + "/syslog"); },
     {"customize", "import", "@DEALER/dop_customize.txt"}, 1, "not imported", {}, kNoCheck, {}},
    {"Syslog links outside: one-shot customize apply", Needs::StandIn, Privilege::Any,
     [](Env& e) { replaceWithLink(e.root + "/Syslog", e.outside + "/syslog"); }, {"customize", "apply"}, 0,
     "none stored", {}, kNoCheck, {}},
    {"save directory links outside: boot --init", Needs::StandIn, Privilege::Any,
     [](Env& e) { replaceWithLink(e.root + "/data/save", e.outside + "/save"); }, {"boot", "--init"}, 1,
     "cannot initialise", {"unit.state"}, kNoCheck, {}},
    {"caution image links to a 0600 file: the copy is no wider", Needs::StandIn, Privilege::Any,
     [](Env& e) {
       ::chmod((e.outside + "/private.png").c_str(), 0600);
       replaceWithLink(e.dealer + "/caution.png", e.outside + "/private.png");
     },
     {"customize", "import", "@DEALER/dop_customize.txt"}, 0, "imported", {"Syslog/"},
     [](const Env& e, const RunResult&) {
       struct stat st;
       ASSERT_EQ(::stat(e.syslog("dop_startup_caution_img.png").c_str(), &st), 0);
       EXPECT_EQ(st.st_mode & 0077, 0u) << std::oct << (st.st_mode & 07777);
     }, {}},

    // A full disk, a read-only mount, a user without rights (root only).
    {"set on a full disk", Needs::Tool, Privilege::Root, [](Env& e) { fullDiskAt(e, e.root + "/data/save"); },
     {"set", "beep-vol", "7"}, 1, "cannot store BeepVol in Settings.ini: No space left on device", {}, kNoCheck, {}},
    {"set on a read-only mount", Needs::Tool, Privilege::Root, [](Env& e) { readOnlyAt(e, e.root + "/data/save"); },
     {"set", "beep-vol", "7"}, 1, "cannot store BeepVol in Settings.ini: Read-only file system", {}, kNoCheck, {}},
    {"set by a user who cannot write the unit", Needs::Tool, Privilege::Root, openToOthersWithUnitLock,
     {"set", "beep-vol", "7"},
     1, "Permission denied", {}, kNoCheck, {}},
    {"get by a user who cannot read Settings.ini", Needs::Tool, Privilege::Root,
     [](Env& e) {
       openToOthersWithUnitLock(e);
       writeFile(e.save("Settings.ini"), "BeepVol=6\n");
       ::chmod(e.save("Settings.ini").c_str(), 0600);
     },
     // Settings.ini is not the user's to read: nothing is read.
     {"get", "beep-vol"}, 1, "Permission denied", {},
     [](const Env&, const RunResult& r) { EXPECT_TRUE(contains(r.err, "cannot read BeepVol from Settings.ini")) << r; },
     {}},
    {"dump by a user who cannot read Settings.ini", Needs::Tool, Privilege::Root,
     [](Env& e) {
       openToOthersWithUnitLock(e);
       writeFile(e.save("Settings.ini"), "BeepVol=6\n");
       ::chmod(e.save("Settings.ini").c_str(), 0600);
     },
     {"dump"}, 1, "Permission denied", {},
     [](const Env&, const RunResult& r) { EXPECT_TRUE(contains(r.err, "dump incomplete")) << r; }, {}},
    {"export to a full disk", Needs::Tool, Privilege::Root, [](Env& e) { fullDiskAt(e, e.usb); }, {"export", "@USB"},
     1, "No space left on device", {},
     [](const Env&, const RunResult& r) { EXPECT_FALSE(contains(r.out, "exported")) << "reported success first"; }, {}},
    {"customize apply on a read-only save directory", Needs::Tool, Privilege::Root,
     [](Env& e) {
       importDealerFile(e);
       readOnlyAt(e, e.root + "/data/save");
     },
     {"customize", "apply"}, 1, "customization not applied: cannot store settings in", {}, kNoCheck, {}},
    {"import on a read-only save directory", Needs::Tool, Privilege::Root,
     [](Env& e) {
       writeFile(e.usb + "/DriveRecorder.ini", "FrontRecorderLastConnect=5\n");
       readOnlyAt(e, e.root + "/data/save");
     },
     {"import", "@USB"}, 1, "cannot store FrontRecorderLastConnect in DriveRecorder.ini: Read-only file system", {},
     kNoCheck, {}},
    {"boot --init on a read-only save directory", Needs::Tool, Privilege::Root,
     [](Env& e) {
       writeFile(e.save("SxmSetting.ini"), "ContentsAlert=0\nSeekMode=0\nSportsFlash=1\nTuneStart=1\n");
       readOnlyAt(e, e.root + "/data/save");
     },
     {"boot", "--init"}, 1, ": Read-only file system",
     {"unit.state"}, kNoCheck, {}},
    {"customize import into a /Syslog/ the user cannot write", Needs::Tool, Privilege::Root,
     unitOwnedByOthersButSyslog,
     {"customize", "import", "@DEALER/dop_customize.txt"}, 1, "in /Syslog/: Permission denied", {}, kNoCheck, {}},

    // One way into the unit: the tool's own checks, probes and messages
    // reach the unit's files as the library does, never through a link out.
    {"save directory links outside: set", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithLink(e.root + "/data/save", e.outside + "/save"); }, {"set", "beep-vol", "5"}, 1,
     "cannot store BeepVol in Settings.ini", {}, kNoCheck, {}},
    {"save directory links outside through '..': boot --init with a stored customization", Needs::Tool,
     Privilege::Any,
     [](Env& e) {
       importDealerFile(e);
       replaceWithLink(e.root + "/data/save", "../../outside/save");
     },
     {"boot", "--init"}, 1, "cannot initialise", {"unit.state"}, kNoCheck, {}},
    {"calibration directory links outside: boot", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithLink(e.root + "/data/calib", e.outside + "/save"); }, {"boot"}, 1,
     "cannot make the calibration file", {"unit.state"}, kNoCheck, {}},
    {"Syslog links outside through '..': a rejected customize import", Needs::Tool, Privilege::Any,
     [](Env& e) {
       writeFile(e.dealer + "/bad.txt", "DOP_Customize\n[demo]zz\n");
       replaceWithLink(e.root + "/Syslog", "../outside/syslog");
     },
     {"customize", "import", "@DEALER/bad.txt"}, 1, "not imported", {}, kNoCheck, {}},
    {"info with every unit directory linked outside", Needs::Tool, Privilege::Any,
     [](Env& e) {
       writeFile(e.outside + "/syslog/dop_startup_caution_img.png", "outside");
       writeFile(e.outside + "/save/AirGestureCalibration.ini", "outside");
       replaceWithLink(e.root + "/Syslog", e.outside + "/syslog");
       replaceWithLink(e.root + "/data/calib", e.outside + "/save");
     },
     {"info"}, 0, "stored customization", {},
     [](const Env&, const RunResult& r) {
       // The outside directories hold a customization, an image and a
       // calibration file: none of them is the unit's.
       EXPECT_FALSE(contains(r.out, "/Syslog/dop_customize.txt")) << "saw the outside file\n" << r;
       EXPECT_FALSE(contains(r.out, "/Syslog/dop_startup_caution_img.png")) << "saw the outside file\n" << r;
       EXPECT_FALSE(contains(r.out, "present")) << "saw the outside file\n" << r;
     }, {}},
    swapRow("save directory swapped for a link out while set runs", false, "data/save", "../../outside/save",
            {"set", "beep-vol", "5"}, {"data/save/"}),
    swapRow("save directory swapped for a link out while set runs (walk)", true, "data/save", "../../outside/save",
            {"set", "beep-vol", "5"}, {"data/save/"}),
    swapRow("save directory swapped for an absolute link out during boot --init", false, "data/save",
            "/../outside/save", {"boot", "--init"}, {"data/save/", "unit.state"}),
    swapRow("save directory swapped for an absolute link out during boot --init (walk)", true, "data/save",
            "/../outside/save", {"boot", "--init"}, {"data/save/", "unit.state"}),
    swapRow("Syslog swapped for a link out during customize import", false, "Syslog", "../outside/syslog",
            {"customize", "import", "@DEALER/dop_customize.txt"}, {"Syslog/"}),
    swapRow("Syslog swapped for a link out during customize import (walk)", true, "Syslog", "../outside/syslog",
            {"customize", "import", "@DEALER/dop_customize.txt"}, {"Syslog/"}),
    swapRow("calibration directory swapped for a link out during boot", false, "data/calib", "../../outside/save",
            {"boot"}, {"data/calib/", "unit.state"}),
    swapRow("calibration directory swapped for a link out during verify (walk)", true, "data/calib",
            "../../outside/save", {"verify"}, {}),

    {"customize check of a file in a unit directory that links outside", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithLink(e.root + "/Syslog", e.outside + "/syslog"); },
     {"customize", "check", "@ROOT/Syslog/dop_customize.txt"}, 1, "no such file", {}, kNoCheck, {}},

    // Source and target overlapping the unit: refused before anything is written.
    {"customize import of the unit's own stored customization", Needs::Tool, Privilege::Any, importDealerFile,
     {"customize", "import", "@ROOT/Syslog/dop_customize.txt"}, 1, "it lies within the unit", {}, kNoCheck, {}},
    {"customize import of a dealer file reached through a link into the unit", Needs::Tool, Privilege::Any,
     [](Env& e) {
       importDealerFile(e);
       replaceWithLink(e.scratch + "/stick", e.root + "/Syslog");
     },
     {"customize", "import", "@SCRATCH/stick/dop_customize.txt"}, 1, "it lies within the unit", {}, kNoCheck, {}},
    {"export into the unit's own save directory", Needs::Tool, Privilege::Any, [](Env&) {},
     {"export", "@ROOT/data/save"}, 1, "cannot export to", {}, kNoCheck, {}},
    {"export through a link to the unit's save directory", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithLink(e.scratch + "/stick", e.root + "/data/save"); }, {"export", "@SCRATCH/stick"}, 1,
     "it is the unit's save directory", {}, kNoCheck, {}},
    {"export into a new directory inside the save directory, through a link", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithLink(e.scratch + "/stick", e.root + "/data/save"); },
     {"export", "@SCRATCH/stick/sub"}, 1, "lies within the unit's save directory", {}, kNoCheck, {}},
    {"export into the unit's root through a link", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithLink(e.scratch + "/stick", e.root); }, {"export", "@SCRATCH/stick"}, 1,
     "lies within the unit", {}, kNoCheck, {}},
    {"import from the unit's save directory through a link", Needs::Tool, Privilege::Any,
     [](Env& e) { replaceWithLink(e.scratch + "/stick", e.root + "/data/save"); }, {"import", "@SCRATCH/stick"}, 1,
     "cannot import from", {}, kNoCheck, {}},
    {"export onto an earlier export that can no longer be written", Needs::Tool, Privilege::Root,
     [](Env& e) {
       const RunResult first = runTool({"--root", e.root, "export", e.usb});
       ASSERT_EQ(first.exitCode, 0) << first;
       readOnlyAt(e, e.usb);
     },
     {"export", "@USB"}, 1, "export incomplete", {},
     [](const Env&, const RunResult& r) { EXPECT_FALSE(contains(r.out, "exported")) << "the old files passed"; }, {}},

    // What killed commands leave beneath the unit goes at the next power-on.
    {"temporary copies of a killed customize import and of killed writers: boot", Needs::Tool, Privilege::Any,
     [](Env& e) {
       const pid_t dead = deadPid();
       writeFile(leftover(e.root + "/Syslog", "dop_startup_caution_img.png", dead, "1234567"), "half an image");
       writeFile(leftover(e.root + "/Syslog", "dop_customize.txt", dead, "88"), "DOP_Customize\n");
       writeFile(leftover(e.root + "/data/save", "Settings.ini", dead, "5"), "BeepVol=");
       writeFile(leftover(e.root + "/data/save", "probe", dead, "0123456789abcdef"), "");
       writeFile(leftover(e.root, "unit.state", dead, "3"), "boots=");
       // Not a dead writer's: a live process's file, and a link.
       writeFile(leftover(e.root + "/Syslog", "keep.txt", ::getpid(), "1"), "alive");
       replaceWithLink(leftover(e.root + "/Syslog", "link", dead, "1"), e.outside + "/secret.txt");
     },
     {"boot"}, 0, "boot 2 of VH-C306", {"unit.state"},
     [](const Env& e, const RunResult&) {
       std::vector<std::string> left;
       for (const auto& entry : picture(e.root, true)) {
         if (contains(entry.first, ".tmp")) left.push_back(entry.first);
       }
       const std::vector<std::string> kept = {
           "Syslog/.keep.txt." + std::to_string(::getpid()) + ".1.tmp",
       };
       ASSERT_EQ(left.size(), 2u) << "left: " << ::testing::PrintToString(left);
       EXPECT_TRUE(contains(left[0] + left[1], kept[0])) << ::testing::PrintToString(left);
       EXPECT_TRUE(contains(left[0] + left[1], "Syslog/.link.")) << "the link was not to be touched";
     }, {}},

    // What the tool writes into its own files is what it reads back.
    {"create with a customization name the reader would trim", Needs::Tool, Privilege::Any, [](Env&) {},
     {"create", "VH-C306", "--force", "--customize-file-name", "dop.txt "}, 2, "customize_file_name", {}, kNoCheck,
     {}},
    {"create with a customization name that is not UTF-8", Needs::Tool, Privilege::Any, [](Env&) {},
     {"create", "VH-C306", "--force", "--customize-file-name", "dop\xff.txt"}, 2, "would not be read back", {},
     kNoCheck, {}},

    // Messages.
    {"--root names a regular file", Needs::Tool, Privilege::Any,
     [](Env& e) { writeFile(e.scratch + "/plain.txt", "not a unit\n"); },
     {"@NOROOT", "--root", "@SCRATCH/plain.txt", "info"}, 1, "not a directory", {}, kNoCheck, {}},
    {"verify under a low descriptor limit names it", Needs::Tool, Privilege::Any,
     [](Env& e) { withDescriptorLimit(e, 48, 48); }, {"verify"}, 1, "Too many open files", {}, kNoCheck, {}},
    {"get under a very low descriptor limit names it", Needs::Tool, Privilege::Any,
     [](Env& e) { withDescriptorLimit(e, 8, 8); }, {"get", "beep-vol"}, 1, "Too many open files", {}, kNoCheck, {}},
    {"get under a limit just short of enough never answers a default", Needs::Tool, Privilege::Any,
     [](Env& e) { withDescriptorLimit(e, 17, 17); },
     {"get", "beep-vol"}, 1, "Too many open files", {}, kNoCheck, {}},
    {"verify under a low soft limit the hard limit lets it raise", Needs::Tool, Privilege::Any,
     [](Env& e) { withDescriptorLimit(e, 20, 4096); }, {"verify"}, 0, "0 problems", {}, kNoCheck, {}},
};

class HostileEnvironment : public ToolTest, public ::testing::WithParamInterface<Row> {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    if (GetParam().privilege == Privilege::Root) placeForSecondUser(scratch_, root_);
  }

  void TearDown() override {
    if (env_.helper > 0 && env_.stopRunning) env_.stopRunning(env_);
    for (auto it = env_.mounts.rbegin(); it != env_.mounts.rend(); ++it) {
      if (::umount2(it->c_str(), MNT_DETACH) != 0) ADD_FAILURE() << "cannot unmount " << *it;
    }
    if (env_.heldFd >= 0) ::close(env_.heldFd);
    if (env_.holder > 0) {
      ::kill(env_.holder, SIGKILL);
      ::waitpid(env_.holder, nullptr, 0);
    }
    ToolTest::TearDown();
  }

  // A booted unit, and beside it a directory full of files, a dealer's
  // stick and an export directory.
  void prepare() {
    env_.scratch = scratch_;
    env_.root = root_;
    env_.outside = scratch_ + "/outside";
    env_.dealer = scratch_ + "/dealer";
    env_.usb = scratch_ + "/usb";
    bootUnit();
    makeDirs(env_.outside + "/syslog");
    makeDirs(env_.outside + "/save");
    writeFile(env_.outside + "/secret.txt", std::string(kSecret) + "\n");
    writeFile(env_.outside + "/notes.txt", "boots=41\n");
    writeFile(env_.outside + "/private.png", "\x89PNG private");
    writeFile(env_.outside + "/syslog/dop_customize.txt", "DOP_Customize\n[demo]1\n");
    writeFile(env_.outside + "/save/SxmSetting.ini", "ContentsAlert=0\n");
    makeDirs(env_.dealer);
    makeDirs(env_.usb);
    writeFile(env_.dealer + "/dop_customize.txt", readFile(sourcePath("examples/dealer/dop_customize.txt")));
    writeFile(env_.dealer + "/caution.png", readFile(sourcePath("examples/dealer/caution.png")));
  }

  Env env_;
};

TEST_P(HostileEnvironment, HoldsAndSaysWhy) {
  const Row& row = GetParam();
  if (row.privilege == Privilege::Root && ::geteuid() != 0) {
    GTEST_SKIP() << "needs root (a tmpfs, a bind mount or a second user): run by .ci/run";
  }
  prepare();
  row.setup(env_);
  if (HasFatalFailure()) return;
  if (env_.skipped) GTEST_SKIP() << env_.skipReason;
  const auto outsideBefore = picture(env_.outside, true, true);
  const auto unitBefore = picture(root_, false);

  // "@NOROOT" first: the command runs without a unit of the user's.
  const bool noRoot = !row.args.empty() && row.args[0] == "@NOROOT";
  std::vector<std::string> args;
  if (!noRoot) args = {"--root", root_};
  for (std::size_t i = noRoot ? 1 : 0; i < row.args.size(); ++i) args.push_back(expand(row.args[i], env_));
  RunOptions options = row.options;
  if (options.signal == 0) options.deadlineMs = 20000;
  RunResult result;
  if (env_.whileRunning) env_.whileRunning(env_);
  if (!env_.wrapper.empty()) {
    std::vector<std::string> wrapped(env_.wrapper.begin() + 1, env_.wrapper.end());
    wrapped.push_back(env_.asNobody && !env_.nobodyTool.empty() ? env_.nobodyTool : toolUnderTest());
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    if (env_.asNobody) {
      wrapped.insert(wrapped.begin(), {"--reuid=" + std::to_string(kNobody), "--regid=" + std::to_string(kNobody),
                                       "--clear-groups", "--", env_.wrapper[0]});
      result = runProgram("/usr/bin/setpriv", wrapped, env_.variables, "", options);
    } else {
      result = runProgram(env_.wrapper[0], wrapped, env_.variables, "", options);
    }
  } else if (env_.asNobody) {
    std::vector<std::string> wrapped = {"--reuid=" + std::to_string(kNobody), "--regid=" + std::to_string(kNobody),
                                        "--clear-groups", "--", env_.nobodyTool};
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    result = runProgram("/usr/bin/setpriv", wrapped, env_.variables, "", options);
  } else {
    result = runTool(args, env_.variables, "", options);
  }
  if (env_.stopRunning) env_.stopRunning(env_);

  SCOPED_TRACE(::testing::PrintToString(row));
  EXPECT_FALSE(result.timedOut) << result;
  if (row.exitCode == kSucceedsOrFails) {
    // A race the command may win or lose: either way it ends as a command
    // does, and what must hold outside and in the unit is checked below.
    EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 1) << result;
    if (result.exitCode == 1) {
      EXPECT_EQ(countLines(result.err), 1) << "a failure is one line\n" << result;
    }
  } else {
    EXPECT_EQ(result.exitCode, row.exitCode) << result;
    EXPECT_TRUE(contains(result.out + result.err, row.message)) << "expected '" << row.message << "'\n" << result;
  }
  if (row.exitCode == 1) {
    EXPECT_EQ(countLines(result.err), 1) << "a failure is one line\n" << result;
  }
  EXPECT_EQ(differences(outsideBefore, picture(env_.outside, true, true), {}), "") << "changed outside the unit";
  EXPECT_EQ(differences(unitBefore, picture(root_, false), row.mayChange), "") << "changed in the unit";
  if (row.check) row.check(env_, result);
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileEnvironment, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p != '\0'; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) != 0 ? *p : '_';
                           }
                           return name;
                         });

// Boots that ran at once each counted: the count was read before the unit's
// lock was taken and written after it was released.
TEST_F(ToolTest, ConcurrentBootsLoseCounts) {
  bootUnit();
  constexpr int kBoots = 20;
  std::vector<pid_t> children;
  for (int i = 0; i < kBoots; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      const std::string tool = toolUnderTest();
      ::execl(tool.c_str(), tool.c_str(), "--root", root_.c_str(), "boot", static_cast<char*>(nullptr));
      ::_exit(126);
    }
    children.push_back(pid);
  }
  // A watchdog: a boot that hangs is killed and fails the test.
  const long long deadline = monotonicMs() + 120000;
  int failed = 0;
  for (pid_t pid : children) {
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (monotonicMs() > deadline) {
        ::kill(pid, SIGKILL);
        ADD_FAILURE() << "a boot hung";
      }
      ::usleep(5000);
    }
    failed += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
  }
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(keyValue(root_ + "/unit.state", "boots"), std::to_string(1 + kBoots));
}

// ---- /dev/shm, locks held by stopped processes, resource limits ----
//
// The same checks as above, for what the unit shares with the machine: a
// /dev/shm with no room, a lock the tool or the stand-in takes held by a
// process that was stopped (the tool ends in bounded time, and within about
// a second of SIGTERM), and the process and memory limits of the user.

enum class LockKind { Flock, Ofd };

// A process that takes an exclusive lock on path (a directory, or a file it
// creates) and then stops, keeping it until the row kills it.
void stoppedHolder(Env& env, const std::string& path, LockKind kind) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const char* where = path.c_str();
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(ready[0]);
    struct stat st;
    const bool dir = ::stat(where, &st) == 0 && S_ISDIR(st.st_mode);
    const int fd = dir ? ::open(where, O_RDONLY | O_DIRECTORY) : ::open(where, O_RDWR | O_CREAT, 0600);
    bool locked = false;
    if (fd >= 0 && kind == LockKind::Flock) locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0 && kind == LockKind::Ofd) {
      struct flock fl = {};
      fl.l_type = F_WRLCK;
      fl.l_whence = SEEK_SET;
      locked = ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
    }
    const char answer = locked ? 'y' : 'n';
    if (::write(ready[1], &answer, 1) != 1) ::_exit(1);
    ::raise(SIGSTOP);
    ::_exit(0);
  }
  ::close(ready[1]);
  env.holder = pid;
  char answer = 'n';
  if (::read(ready[0], &answer, 1) != 1) answer = 'n';
  ::close(ready[0]);
  ASSERT_EQ(answer, 'y') << "the holder could not lock " << path;
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
  ASSERT_TRUE(WIFSTOPPED(status));
}

// The user's own lock directory of the stand-in, in the row's scratch
// directory rather than the machine's, so that holding its lock stalls no
// other test.
std::string privateLockDir(Env& env, int uid) {
  const std::string run = env.scratch + "/run";
  makeDirs(run);
  ::chmod(run.c_str(), 0700);
  if (uid >= 0) {
    EXPECT_EQ(::chown(run.c_str(), static_cast<uid_t>(uid), static_cast<gid_t>(uid)), 0);
  }
  env.variables["XDG_RUNTIME_DIR"] = run;
  return run + "/tqplatform";
}

// The whole unit, its lock files included, the second user's.
void unitOwnedByNobody(Env& env) {
  openToOthers(env);
  ::nftw(
      env.root.c_str(),
      [](const char* path, const struct stat*, int, struct FTW*) {
        return ::lchown(path, kNobody, kNobody) == 0 ? 0 : -1;
      },
      16, FTW_PHYS);
  privateLockDir(env, kNobody);
}

// The command runs in a mount namespace of its own whose /dev/shm is a
// 64 KiB tmpfs with freeKb left; afterwards the namespace's /dev/shm is
// listed ("left: ..."), which must hold the filler alone.
void smallDevShm(Env& env, int freeKb) {
  if (::geteuid() != 0) return;
  // The namespace's mounts must not reach the machine's. unshare's own
  // "--propagation private" needs "/" to be a mount point, which it is not in
  // a chroot: make private the closest mount above /dev/shm instead.
  const std::string script =
      "mount --make-rprivate / 2>/dev/null || mount --make-rprivate /dev 2>/dev/null ||"
      " mount --make-private /dev/shm || exit 98\n"
      "mount -t tmpfs -o size=64k tmpfs /dev/shm || exit 99\n"
      "dd if=/dev/zero of=/dev/shm/filler bs=1k count=" +
      std::to_string(64 - freeKb) +
      " 2>/dev/null\n"
      "\"$@\"; rc=$?\n"
      "echo \"left: $(ls -A /dev/shm | tr '\\n' ' ')\"\n"
      "exit $rc\n";
  env.wrapper = {"/usr/bin/unshare", "-m", "--propagation", "unchanged", "/bin/sh", "-c", script, "sh"};
}

void onlyFillerLeft(const Env&, const RunResult& r) {
  EXPECT_TRUE(contains(r.out, "left: filler \n")) << "segments left in /dev/shm\n" << r;
}

// A signal ends the tool within about a second, whatever it waits for.
constexpr long long kSignalBoundMs = 1500;

void endedSoonAfterSignal(const Env&, const RunResult& r) {
  EXPECT_GE(r.signalToEndMs, 0) << "no signal was sent";
  EXPECT_LT(r.signalToEndMs, kSignalBoundMs) << "after SIGTERM";
}

const Row kSharedResourceRows[] = {
    // /dev/shm without room: a failed mapping, never SIGBUS (root only).
    {"dev shm full: set", Needs::Tool, Privilege::Root, [](Env& e) { smallDevShm(e, 0); }, {"set", "beep-vol", "5"},
     1, "No space left on device", {}, onlyFillerLeft, {}},
    {"dev shm with 4 KiB free: set", Needs::Tool, Privilege::Root, [](Env& e) { smallDevShm(e, 4); },
     {"set", "beep-vol", "5"}, 1, "No space left on device", {}, onlyFillerLeft, {}},
    {"dev shm with 8 KiB free: set", Needs::Tool, Privilege::Root, [](Env& e) { smallDevShm(e, 8); },
     {"set", "beep-vol", "5"}, 1, "No space left on device", {}, onlyFillerLeft, {}},
    {"dev shm with 8 KiB free: get", Needs::Tool, Privilege::Root, [](Env& e) { smallDevShm(e, 8); },
     {"get", "beep-vol"}, 1, "No space left on device", {}, onlyFillerLeft, {}},
    {"dev shm with 8 KiB free: boot --init", Needs::Tool, Privilege::Root, [](Env& e) { smallDevShm(e, 8); },
     {"boot", "--init"}, 1, "No space left on device", {"unit.state"}, onlyFillerLeft, {}},

    // Locks anyone can take on what the unit's power-on touches stall nothing.
    {"a stopped process holds flock on /dev/shm: get", Needs::StandIn, Privilege::Any,
     [](Env& e) { stoppedHolder(e, "/dev/shm", LockKind::Flock); }, {"get", "beep-vol"}, 0, "",
     {"data/save/Settings.ini"}, kNoCheck, {}},
    {"a stopped process holds flock on the unit's directory: get", Needs::Tool, Privilege::Any,
     [](Env& e) { stoppedHolder(e, e.root, LockKind::Flock); }, {"get", "beep-vol"}, 0, "",
     {"data/save/Settings.ini"}, kNoCheck, {}},

    // The user's own locks held by a stopped process of the user: the
    // command gives up within its wait budget, and a signal ends it at once.
    {"a stopped process holds the unit's lock: get", Needs::Tool, Privilege::Any,
     [](Env& e) { stoppedHolder(e, e.root + "/.tqlocks/.unit.lock", LockKind::Ofd); }, {"get", "beep-vol"}, 1,
     "cannot lock the unit", {}, kNoCheck, {}},
    {"a stopped process holds the unit's lock: SIGTERM", Needs::Tool, Privilege::Any,
     [](Env& e) { stoppedHolder(e, e.root + "/.tqlocks/.unit.lock", LockKind::Ofd); }, {"get", "beep-vol"},
     128 + SIGTERM, "", {}, endedSoonAfterSignal, interruptAfter(300)},
    {"a stopped process holds a record's lock: set", Needs::StandIn, Privilege::Any,
     [](Env& e) { stoppedHolder(e, e.root + "/.tqlocks/SystemInfo.lock", LockKind::Ofd); },
     {"set", "beep-vol", "5"}, 1, "inter-process lock \"SystemInfo\" not taken", {}, kNoCheck, {}},
    {"a stopped process holds a record's lock: SIGTERM", Needs::StandIn, Privilege::Any,
     [](Env& e) { stoppedHolder(e, e.root + "/.tqlocks/SystemInfo.lock", LockKind::Ofd); },
     {"set", "beep-vol", "5"}, 128 + SIGTERM, "", {}, endedSoonAfterSignal, interruptAfter(300)},
    {"a stopped process holds the lock of the user's segment claims: get", Needs::StandIn, Privilege::Any,
     [](Env& e) {
       const std::string dir = privateLockDir(e, -1);
       makeDirs(dir);
       ::chmod(dir.c_str(), 0700);
       stoppedHolder(e, dir + "/shm-namespaces.lock", LockKind::Ofd);
     },
     {"get", "beep-vol"}, 1, "cannot claim a segment namespace", {}, kNoCheck, {}},
    {"a stopped process holds the lock of the user's segment claims: SIGTERM", Needs::StandIn, Privilege::Any,
     [](Env& e) {
       const std::string dir = privateLockDir(e, -1);
       makeDirs(dir);
       ::chmod(dir.c_str(), 0700);
       stoppedHolder(e, dir + "/shm-namespaces.lock", LockKind::Ofd);
     },
     {"get", "beep-vol"}, 128 + SIGTERM, "", {}, endedSoonAfterSignal, interruptAfter(300)},
    // A stuck customize check takes its throw-away unit with it, not only
    // the unit's segments.
    {"a stopped process holds the lock of the user's segment claims: SIGTERM to a customize check",
     Needs::StandIn, Privilege::Any,
     [](Env& e) {
       const std::string dir = privateLockDir(e, -1);
       makeDirs(dir);
       ::chmod(dir.c_str(), 0700);
       stoppedHolder(e, dir + "/shm-namespaces.lock", LockKind::Ofd);
       makeDirs(e.scratch + "/tmp");
       e.variables["TMPDIR"] = e.scratch + "/tmp";
     },
     {"@NOROOT", "customize", "check", "@DEALER/dop_customize.txt"}, 128 + SIGTERM, "", {},
     [](const Env& e, const RunResult& r) {
       endedSoonAfterSignal(e, r);
       if (DIR* d = ::opendir((e.scratch + "/tmp").c_str())) {
         while (dirent* entry = ::readdir(d)) {
           EXPECT_FALSE(contains(entry->d_name, "sysdatactl-")) << "throw-away unit left: " << entry->d_name;
         }
         ::closedir(d);
       }
     },
     interruptAfter(300)},

    // At the process limit no thread or process can be started, and a command
    // needs neither: it reads and stores as anywhere else. Root is not held to
    // the limit: the command runs as a second user who owns the unit.
    {"at the process limit: get", Needs::Tool, Privilege::Any,
     [](Env& e) {
       if (::geteuid() == 0) unitOwnedByNobody(e);
       e.wrapper = {"/usr/bin/prlimit", "--nproc=1", "--"};
       // A leak checker that needs a thread of its own at exit cannot have
       // one here either; the limit is the tool's to handle, not the checker's.
       e.variables["ASAN_OPTIONS"] = "detect_leaks=0";
     },
     {"get", "beep-vol"}, 0, "", {"data/save/Settings.ini"}, kNoCheck, {}},
    {"at the process limit: set", Needs::Tool, Privilege::Any,
     [](Env& e) {
       if (::geteuid() == 0) unitOwnedByNobody(e);
       e.wrapper = {"/usr/bin/prlimit", "--nproc=1", "--"};
       e.variables["ASAN_OPTIONS"] = "detect_leaks=0";
     },
     {"set", "beep-vol", "7"}, 0, "", {"data/save/Settings.ini"}, kNoCheck, {}},
};

INSTANTIATE_TEST_SUITE_P(SharedResources, HostileEnvironment, ::testing::ValuesIn(kSharedResourceRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p != '\0'; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) != 0 ? *p : '_';
                           }
                           return name;
                         });

// Under a small address-space limit every command ends with a status and a
// reason (0, or 1 and one line), never by a signal or an uncaught exception,
// and the unit keeps its settings and no segment. The limits step through
// the range just above the smallest in which the tool starts at all, where
// its commands run short of memory at one step or another.
RunResult underAddressLimit(long long bytes, const std::vector<std::string>& args) {
  std::vector<std::string> all = {"--as=" + std::to_string(bytes), "--", toolUnderTest()};
  all.insert(all.end(), args.begin(), args.end());
  return runProgram("/usr/bin/prlimit", all);
}

TEST_F(ToolTest, SmallAddressSpaceEndsEveryCommandWithAReason) {
  bootUnit();
  ASSERT_EQ(tool({"set", "beep-vol", "6"}).exitCode, 0);
  // A statically linked tool starts in a few MiB and its commands need
  // little more, so the first limit that lets it start is found to 64 KiB:
  // by the MiB first, then within the last MiB.
  long long startKb = 0;
  for (long long kb = 1024; kb <= 256 * 1024 && startKb == 0; kb += 1024) {
    if (underAddressLimit(kb << 10, {"--version"}).exitCode == 0) startKb = kb;
  }
  for (long long kb = startKb - 1024 + 64; startKb > 1024 && kb < startKb; kb += 64) {
    if (underAddressLimit(kb << 10, {"--version"}).exitCode == 0) {
      startKb = kb;
      break;
    }
  }
  if (startKb == 0) GTEST_SKIP() << "the tool does not start under any limit up to 256 MB here (an emulator?)";
  const std::vector<std::vector<std::string>> commands = {
      {"get", "beep-vol"}, {"set", "beep-vol", "6"}, {"boot", "--init"}, {"get", "--all"}};
  int failedWithReason = 0;
  for (long long kb = startKb; kb <= startKb + 4 * 1024; kb += 64) {
    for (const std::vector<std::string>& command : commands) {
      std::vector<std::string> args = {"--root", root_};
      args.insert(args.end(), command.begin(), command.end());
      const RunResult r = underAddressLimit(kb << 10, args);
      SCOPED_TRACE(command[0] + " " + command[1] + " under " + std::to_string(kb) + " KiB");
      EXPECT_FALSE(r.timedOut) << r;
      EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r;
      if (r.exitCode == 1) {
        ++failedWithReason;
        EXPECT_EQ(countLines(r.err), 1) << "a failure is one line\n" << r;
      }
      EXPECT_TRUE(segmentsOf(root_).empty()) << "segments left\n" << r;
      // An initialisation brings the volume back to the factory's.
      if (command[0] == "boot") {
        ASSERT_EQ(tool({"set", "beep-vol", "6"}).exitCode, 0);
      }
    }
  }
  EXPECT_GT(failedWithReason, 0) << "no limit was small enough to make a command fail";
  const RunResult after = tool({"get", "beep-vol"});
  EXPECT_EQ(after.exitCode, 0) << after;
  EXPECT_EQ(after.out, "6\n") << after;
}

// A segment-name prefix inherited from the environment is a namespace like
// any other: claimed by one live unit at a time.
TEST_F(ToolTest, InheritedShmPrefixIsClaimedByOneUnitAtATime) {
  bootUnit();
  char prefix[8];
  std::snprintf(prefix, sizeof prefix, "p%05x", static_cast<unsigned>(::getpid()) & 0xFFFFFu);
  const std::map<std::string, std::string> inherited = {{"TQ_SIM_SHM_PREFIX", prefix}};

  // Another unit, powered on in this process under the same prefix, holds
  // a record.
  const std::string other = scratch_ + "/other";
  makeDirs(other);
  ::setenv("TQ_SIM_SHM_PREFIX", prefix, 1);
  TqSimSetRoot(other.c_str());
  std::string why;
  ASSERT_TRUE(standin::testing::ClaimSimSegments(&why)) << why;
  const int fd = ::shm_open("/SystemInfo", O_CREAT | O_RDWR | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  ASSERT_EQ(::write(fd, "other", 5), 5);
  ::close(fd);
  const std::string otherSegment = "/dev/shm/" + std::string(prefix) + "SystemInfo";

  const RunResult refused = tool({"get", "beep-vol"}, inherited);
  EXPECT_EQ(refused.exitCode, 1) << refused;
  EXPECT_TRUE(contains(refused.err, "held by another live unit")) << refused;
  EXPECT_EQ(readFile(otherSegment), "other") << "the other unit's record was touched";

  // Once that unit is off, the prefix is this unit's for its power-on.
  standin::testing::RemoveSimSegments();
  TqSimSetRoot("");
  ::unsetenv("TQ_SIM_SHM_PREFIX");
  const RunResult own = tool({"get", "beep-vol"}, inherited);
  EXPECT_EQ(own.exitCode, 0) << own;
  struct stat st;
  EXPECT_NE(::stat(otherSegment.c_str(), &st), 0) << "the power-off left the record";
  EXPECT_NE(::stat(("/dev/shm/" + std::string(prefix)).c_str(), &st), 0) << "the power-off left the claim";

  // A prefix shorter than a claim's would take in other units' segments.
  const RunResult shortPrefix = tool({"get", "beep-vol"}, {{"TQ_SIM_SHM_PREFIX", "u1"}});
  EXPECT_EQ(shortPrefix.exitCode, 1) << shortPrefix;
  EXPECT_TRUE(contains(shortPrefix.err, "TQ_SIM_SHM_PREFIX")) << shortPrefix;
}

}  // namespace
}  // namespace tooltest
