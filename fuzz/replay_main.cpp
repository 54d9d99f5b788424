// Replays a fuzz target's corpus as an ordinary test, in any build and with
// any compiler: every file given (or found in a directory given) goes through
// the target's LLVMFuzzerTestOneInput, then, with --mutations=N, N variants of
// each made by a fixed-seed mutator (flipped bits, control and bracket bytes,
// cut and repeated lines, over-long lines, early terminators, splices of two
// files). The run is deterministic; a crash saves the input that caused it
// as "replay-crash-<target>" in the working directory.
//
//   replay_<target> [--mutations=N] [--seed=S] <file-or-directory>...
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/reliability/Scale.h"

#ifndef SYSDATA_FUZZ_TARGET_NAME
#define SYSDATA_FUZZ_TARGET_NAME "target"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// The input being run, for the crash handler.
std::string g_current;
const char* const kCrashFile = "replay-crash-" SYSDATA_FUZZ_TARGET_NAME;

extern "C" void onCrash(int sig) {
  const int fd = ::open(kCrashFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) {
    ssize_t ignored = ::write(fd, g_current.data(), g_current.size());
    (void)ignored;
    ::close(fd);
  }
  static const char msg[] = "\nRELIABILITY bad-inputs: crashed; the input is saved as ";
  ssize_t ignored = ::write(2, msg, sizeof msg - 1);
  ignored = ::write(2, kCrashFile, std::strlen(kCrashFile));
  ignored = ::write(2, "\n", 1);
  (void)ignored;
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

void collect(const std::string& path, std::vector<std::string>* files) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    std::fprintf(stderr, "no such corpus: %s\n", path.c_str());
    std::exit(2);
  }
  if (!S_ISDIR(st.st_mode)) {
    files->push_back(path);
    return;
  }
  std::vector<std::string> found;
  if (DIR* d = ::opendir(path.c_str())) {
    while (dirent* e = ::readdir(d)) {
      if (e->d_name[0] != '.') found.push_back(path + "/" + e->d_name);
    }
    ::closedir(d);
  }
  std::sort(found.begin(), found.end());
  for (const std::string& f : found) collect(f, files);
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Bytes a dealer file or settings file gives meaning to.
const char kSpecial[] = {'\0', '\t', '\n', '\r', ' ', '[', ']', '=', '~', '.', '/', '\\', '-', '0', 'F', 'x', '\x7f', '\xff'};
const char* const kTokens[] = {"~END",         "DOP_Customize", "[model]1",      "[caution]",   "[lang]17",
                               "[miclevel]",   "0x",            "FFFFFFFF",      "100000000",   "-5",
                               "[caution]../", ".png",          "Key=",          "=\n",         "\\x00",
                               "[glinehd_uly]", "[illumiuser_Red]", "[demo]",    "\xef\xbb\xbf", "\r\n"};

std::string mutate(const std::string& seed, const std::string& other, std::mt19937& rng) {
  std::string s = seed;
  const int steps = 1 + static_cast<int>(rng() % 4);
  for (int i = 0; i < steps; ++i) {
    const std::size_t at = s.empty() ? 0 : rng() % (s.size() + 1);
    switch (rng() % 9) {
      case 0:  // flip a bit
        if (!s.empty()) s[at % s.size()] = static_cast<char>(s[at % s.size()] ^ (1 << (rng() % 8)));
        break;
      case 1:  // a byte with meaning
        if (!s.empty()) s[at % s.size()] = kSpecial[rng() % sizeof kSpecial];
        break;
      case 2:  // insert a token
        s.insert(at, kTokens[rng() % (sizeof kTokens / sizeof kTokens[0])]);
        break;
      case 3: {  // cut a range
        const std::size_t n = std::min<std::size_t>(s.size() - std::min(at, s.size()), rng() % 64);
        s.erase(std::min(at, s.size()), n);
        break;
      }
      case 4: {  // repeat a line
        const std::size_t start = s.rfind('\n', at == 0 ? 0 : at - 1);
        const std::size_t begin = start == std::string::npos ? 0 : start + 1;
        const std::size_t end = s.find('\n', begin);
        const std::string line = s.substr(begin, end == std::string::npos ? std::string::npos : end - begin + 1);
        s.insert(begin, line);
        break;
      }
      case 5:  // an over-long line
        s.insert(at, std::string(100 + rng() % 400, static_cast<char>('A' + rng() % 26)));
        break;
      case 6:  // truncate
        s.resize(at);
        break;
      case 7: {  // splice with another input
        const std::size_t from = other.empty() ? 0 : rng() % other.size();
        s = s.substr(0, at) + other.substr(from);
        break;
      }
      case 8:  // random bytes
        for (int n = static_cast<int>(rng() % 8); n > 0; --n) s.insert(at, 1, static_cast<char>(rng() & 0xff));
        break;
    }
  }
  if (s.size() > 8192) s.resize(8192);
  return s;
}

void runOne(const std::string& input) {
  g_current = input;
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(g_current.data()), g_current.size());
}

}  // namespace

int main(int argc, char** argv) {
  long mutations = 0;
  unsigned long seed = 1;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--mutations=", 0) == 0) {
      mutations = reliability::scaled(std::atol(arg.c_str() + 12), 1);
    } else if (arg.rfind("--seed=", 0) == 0) {
      seed = std::strtoul(arg.c_str() + 7, nullptr, 10);
    } else {
      collect(arg, &files);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s [--mutations=N] [--seed=S] <file-or-directory>...\n", argv[0]);
    return 2;
  }
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(sig, onCrash);

  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> seeds;
  for (const std::string& f : files) seeds.push_back(readAll(f));
  long tried = 0;
  for (const std::string& s : seeds) {
    runOne(s);
    ++tried;
  }
  std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
  for (std::size_t n = 0; n < seeds.size(); ++n) {
    for (long m = 0; m < mutations; ++m) {
      runOne(mutate(seeds[n], seeds[rng() % seeds.size()], rng));
      ++tried;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("RELIABILITY bad-inputs target=%s corpus=%zu tried=%ld crashes=0 seconds=%.1f\n",
              SYSDATA_FUZZ_TARGET_NAME, seeds.size(), tried, seconds);
  return 0;
}
