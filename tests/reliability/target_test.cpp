// The 32-bit target. Built without 64-bit file offsets, readdir and stat fail
// with EOVERFLOW once a file system hands out directory cookies or inode
// numbers beyond 32 bits (a 64-bit kernel under qemu-user does for every
// ext4 directory): directory listings came back empty, so temporary files
// and whole test units were never found or removed.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "tests/support/SimUnit.h"

namespace {

TEST(Target32Bit, DirectoriesListAndFilesStatWith64BitOffsetsAndInodes) {
  static_assert(sizeof(off_t) == 8, "64-bit file offsets");
  static_assert(sizeof(ino_t) == 8, "64-bit inode numbers");
  sysdata_test::SimUnit unit;
  const std::string dir = unit.makeDir("listing");
  constexpr int kFiles = 40;
  for (int i = 0; i < kFiles; ++i) sysdata_test::writeFile(dir + "/f" + std::to_string(i), "x");

  DIR* d = ::opendir(dir.c_str());
  ASSERT_NE(d, nullptr);
  int files = 0;
  errno = 0;
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == 'f') ++files;
  }
  const int error = errno;
  ::closedir(d);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(files, kFiles);
  struct stat st;
  EXPECT_EQ(::stat((dir + "/f0").c_str(), &st), 0);
}

}  // namespace
