// Makes one shared-memory record of the simulated unit impossible to map, for
// as long as the object lives: the segment is removed and a directory of its
// name takes its place, so every open of it fails (for root as well).
#pragma once

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/TqSimulation.h"

namespace sysdata_test {

class UnmappableSegment {
 public:
  explicit UnmappableSegment(const char* segment) {
    const std::string shmName = TqSimShmName((std::string("/") + segment).c_str());
    path_ = "/dev/shm" + shmName;
    ::unlink(path_.c_str());
    made_ = ::mkdir(path_.c_str(), 0700) == 0;
  }
  ~UnmappableSegment() {
    if (made_) ::rmdir(path_.c_str());
  }
  UnmappableSegment(const UnmappableSegment&) = delete;
  UnmappableSegment& operator=(const UnmappableSegment&) = delete;

  bool made() const { return made_; }

 private:
  std::string path_;
  bool made_ = false;
};

}  // namespace sysdata_test
