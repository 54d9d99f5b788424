// Import of a dealer customization file: what "/Syslog/" holds afterwards,
// what is logged, and whether the host's base import runs.
#include <gtest/gtest.h>

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "src/customize/CustomizeSysDataProduct.h"
#include "standin/testing/HostCalls.h"
#include "standin/testing/LogCapture.h"
#include "tests/accessor/UnmappableSegment.h"
#include "tests/customize/CustomizeTestSupport.h"

namespace {

using customize_test::CustomizeUnit;
using customize_test::kHeader;
using customize_test::kImplSource;
using customize_test::kSettingsSource;
using customize_test::Logged;

constexpr const char* kAbsent = "<absent>";
constexpr const char* kImage = "dop_startup_caution_img.png";

const Logged kCautionCopyError{kSettingsSource, "importData", "!!! Caution File Copy Error !!!\n"};
const Logged kCustomizeCopyError{kImplSource, "import", "!!! Customize File Copy Error !!!\n"};

// The host's base results and calls are process-wide: start each case clean.
class HostState {
 public:
  HostState() {
    standin::testing::ClearHostCalls();
    standin::testing::ResetHostResults();
  }
  ~HostState() { standin::testing::ResetHostResults(); }
};

class ImportUnit : public CustomizeUnit {
 public:
  std::string storedImage() const { return contentOr(syslogDisk(kImage)); }
  std::string storedCopy() const { return contentOr(syslogDisk(sysdata_test::SimUnit::kCustomizeFileName)); }
  void image(const std::string& name, const std::string& content) const {
    sysdata_test::writeFile(mediaDisk(name), content);
  }

 private:
  static std::string contentOr(const std::string& path) {
    return sysdata_test::fileExists(path) ? sysdata_test::readFile(path) : kAbsent;
  }
};

struct ImportRow {
  const char* name;
  std::string content;
  // Prepares the medium and the unit.
  std::function<void(ImportUnit&)> setup;
  // Whether "/Syslog/" exists; it then holds the image "old" of an earlier
  // import.
  bool syslog;
  bool result;
  bool baseCalled;
  std::vector<Logged> logs;
  std::string image;  // what "/Syslog/" holds afterwards, or kAbsent
  bool copyStored;
};

std::ostream& operator<<(std::ostream& out, const ImportRow& row) { return out << row.name; }

TEST(CustomizeImport, OutcomesAndWhatSyslogHolds) {
  const std::string h = kHeader;
  auto none = [](ImportUnit&) {};
  const ImportRow rows[] = {
      {"no caution entry keeps the earlier image", h + "[miclevel]14\n", none, true, true, true, {}, "old", true},
      {"one caution entry", h + "[caution]Logo.PNG\n[miclevel]14\n",
       [](ImportUnit& u) { u.image("Logo.PNG", "new image"); }, true, true, true, {}, "new image", true},
      {"two caution entries: copied in file order", h + "[caution]a.png\n[caution]b.png\n",
       [](ImportUnit& u) {
         u.image("a.png", "A");
         u.image("b.png", "B");
       },
       true, true, true, {}, "B", true},
      {"caution after ~END is not copied", h + "~END\n[caution]a.png\n",
       [](ImportUnit& u) { u.image("a.png", "A"); }, true, true, true, {}, "old", true},
      {"caution in a subdirectory", h + "[caution]sub/a.png\n",
       [](ImportUnit& u) {
         u.unit.makeDir("media/usb/sub");
         u.image("sub/a.png", "A");
       },
       true, true, true, {}, "A", true},
      {"validation fails: nothing touched", h + "[caution]Logo.PNG\n[miclevel]15\n",
       [](ImportUnit& u) { u.image("Logo.PNG", "new image"); }, true, false, false,
       {{kSettingsSource, "checkMicLevel", "<----- MicLevel of InitializeValueCustomize is NG[21] !!!!! ----->\n"}},
       "old", false},
      {"header fails: nothing touched", "DOP\n", none, true, false, false,
       {{kImplSource, "checkHeader", "<----- Header of InitializeValueCustomize is NG[DOP] !!!!! ----->\n"}}, "old",
       false},
      {"caution outside the medium's directory is refused", h + "[caution]../a.png\n",
       [](ImportUnit& u) { sysdata_test::writeFile(u.unit.disk("/media/a.png"), "A"); }, true, false, false,
       {{kSettingsSource, "checkFile", "<----- file of InitializeValueCustomize is NG[../a.png] !!!!! ----->\n"}},
       "old", false},
      // The name passes validation (something exists there) but is no file
      // that can be copied: the image is gone by the time it is copied.
      {"caution copy fails: the earlier image goes too", h + "[caution]folder.png\n",
       [](ImportUnit& u) { u.unit.makeDir("media/usb/folder.png"); }, true, false, false, {kCautionCopyError},
       kAbsent, false},
      {"second caution copy fails after the first succeeded", h + "[caution]a.png\n[caution]folder.png\n",
       [](ImportUnit& u) {
         u.image("a.png", "A");
         u.unit.makeDir("media/usb/folder.png");
       },
       true, false, false, {kCautionCopyError}, kAbsent, false},
      {"customization copy fails: no /Syslog/", h + "[miclevel]14\n", none, false, false, false,
       {kCustomizeCopyError}, kAbsent, false},
      {"caution copy fails: no /Syslog/", h + "[caution]a.png\n", [](ImportUnit& u) { u.image("a.png", "A"); },
       false, false, false, {kCautionCopyError}, kAbsent, false},
      {"customization copy fails: the new image is removed", h + "[caution]Logo.PNG\n",
       [](ImportUnit& u) {
         u.image("Logo.PNG", "new image");
         u.unit.setCustomizeFileName("missing/dop_customize.txt");
       },
       true, false, false, {kCustomizeCopyError}, kAbsent, false},
      {"no name for the stored copy", h + "[caution]Logo.PNG\n",
       [](ImportUnit& u) {
         u.image("Logo.PNG", "new image");
         u.unit.setCustomizeFileName("");
       },
       true, false, false, {kCustomizeCopyError}, kAbsent, false},
  };
  for (const ImportRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << row);
    ImportUnit u;
    HostState host;
    if (row.syslog) {
      u.unit.makeSyslog();
      sysdata_test::writeFile(u.syslogDisk(kImage), "old");
    }
    row.setup(u);
    std::string path = u.writeCustomization(row.content);

    standin::testing::ScopedLogCapture capture;
    CustomizeSysDataProduct product;
    EXPECT_EQ(product.import(path), row.result);

    EXPECT_EQ(customize_test::customizeLogs(capture), row.logs);
    const auto calls = standin::testing::HostCalls();
    if (row.baseCalled) {
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].op, "import");
      EXPECT_EQ(calls[0].arg, path);
    } else {
      EXPECT_TRUE(calls.empty());
    }
    EXPECT_EQ(u.storedImage(), row.image);
    EXPECT_EQ(u.storedCopy(), row.copyStored ? row.content : std::string(kAbsent));
  }
}

class CustomizeImportTest : public ::testing::Test, public ImportUnit {
 protected:
  HostState host;
};

TEST_F(CustomizeImportTest, FileThatCannotBeOpenedTouchesNothing) {
  unit.makeSyslog();
  sysdata_test::writeFile(syslogDisk(kImage), "old");
  standin::testing::ScopedLogCapture capture;
  std::string path = "/media/usb/missing.txt";
  CustomizeSysDataProduct product;
  EXPECT_FALSE(product.import(path));
  EXPECT_EQ(customize_test::customizeLogs(capture),
            (std::vector<Logged>{{kImplSource, "import", "<----- Failure to open file !!!!! ----->\n"}}));
  EXPECT_TRUE(standin::testing::HostCalls().empty());
  EXPECT_EQ(storedImage(), "old");
  EXPECT_EQ(storedCopy(), kAbsent);
}

TEST_F(CustomizeImportTest, SuccessReturnsWhatTheBaseReturns) {
  unit.makeSyslog();
  std::string path = writeCustomization(std::string(kHeader) + "[demo]1\n");
  standin::testing::SetHostResult("import", false);
  CustomizeSysDataProduct product;
  EXPECT_FALSE(product.import(path));
  ASSERT_EQ(standin::testing::HostCalls().size(), 1u);
  EXPECT_EQ(storedCopy(), std::string(kHeader) + "[demo]1\n");
}

// A path without "/" names a file of the current directory, and so does the
// caution image it names.
TEST_F(CustomizeImportTest, PathWithoutDirectoryIsRelativeToTheCurrentDirectory) {
  unit.makeSyslog();
  image("Logo.PNG", "relative image");
  writeCustomization(std::string(kHeader) + "[caution]Logo.PNG\n");
  char previous[PATH_MAX];
  ASSERT_NE(::getcwd(previous, sizeof(previous)), nullptr);
  ASSERT_EQ(::chdir(mediaDisk("").c_str()), 0);
  std::string path = kFileName;
  CustomizeSysDataProduct product;
  const bool imported = product.import(path);
  ASSERT_EQ(::chdir(previous), 0);
  EXPECT_TRUE(imported);
  EXPECT_EQ(storedImage(), "relative image");
  EXPECT_EQ(storedCopy(), std::string(kHeader) + "[caution]Logo.PNG\n");
}

TEST_F(CustomizeImportTest, WithoutFunctionSwitchesNothingIsStored) {
  unit.makeSyslog();
  image("Logo.PNG", "new image");
  std::string path = writeCustomization(std::string(kHeader) + "[caution]Logo.PNG\n");
  sysdata_test::UnmappableSegment noSwitches("FuncInfo");
  ASSERT_TRUE(noSwitches.made());
  standin::testing::ScopedLogCapture capture;
  CustomizeSysDataProduct product;
  EXPECT_FALSE(product.import(path));
  EXPECT_EQ(customize_test::customizeLogs(capture), (std::vector<Logged>{kCustomizeCopyError}));
  EXPECT_EQ(storedImage(), kAbsent);
  EXPECT_TRUE(standin::testing::HostCalls().empty());
}

// A 3 GB dealer file was read line by line to the end (and a 1 GB one took
// 12 s) before anything was decided: the size is now checked first.
TEST_F(CustomizeImportTest, HugeCustomizationFileIsRefusedBeforeValidation) {
  struct Row {
    const char* what;
    long long size;  // the file is the header and one entry, then zeros to size
    bool imported;
    bool storageRefuses;  // past what TqStorage opens at all
  };
  const long long limit = CustomizeSysDataProductImpl::kMaxFileSize;
  const std::string text = std::string(kHeader) + "[demo]1\n~END\n";
  for (const Row& row : {Row{"small", 0, true, false}, Row{"at the limit", limit, true, false},
                         Row{"one byte over", limit + 1, false, false},
                         Row{"3 GB", 3ll * 1024 * 1024 * 1024, false, true}}) {
    SCOPED_TRACE(row.what);
    unit.makeSyslog();
    sysdata_test::writeFile(syslogDisk(kImage), "old");
    sysdata_test::removeTree(syslogDisk(sysdata_test::SimUnit::kCustomizeFileName));
    std::string path = writeCustomization(text);
    if (row.size > 0) {
      ASSERT_EQ(::truncate(mediaDisk(kFileName).c_str(), static_cast<off_t>(row.size)), 0);
    }
    standin::testing::ScopedLogCapture capture;
    CustomizeSysDataProduct product;
    EXPECT_EQ(product.import(path), row.imported);
    if (!row.imported) {
      const Logged expected =
          row.storageRefuses
              ? Logged{kImplSource, "import", "<----- Failure to open file !!!!! ----->\n"}
              : Logged{kImplSource, "checkSize",
                       "<----- Size of InitializeValueCustomize is NG[>" + std::to_string(limit) +
                           "] !!!!! ----->\n"};
      EXPECT_EQ(customize_test::customizeLogs(capture), (std::vector<Logged>{expected}));
      EXPECT_EQ(storedImage(), "old");
      EXPECT_EQ(storedCopy(), kAbsent);
    }
  }
}

// A FIFO handed over as the dealer file hung the import in open.
TEST_F(CustomizeImportTest, FifoAsCustomizationFileDoesNotHang) {
  unit.makeSyslog();
  ASSERT_EQ(::mkfifo(mediaDisk(kFileName).c_str(), 0600), 0);
  ::alarm(30);  // a hang ends the test process instead of the CI run
  standin::testing::ScopedLogCapture capture;
  std::string path = std::string(kMedia) + kFileName;
  CustomizeSysDataProduct product;
  EXPECT_FALSE(product.import(path));
  ::alarm(0);
  EXPECT_EQ(customize_test::customizeLogs(capture),
            (std::vector<Logged>{{kImplSource, "import", "<----- Failure to open file !!!!! ----->\n"}}));
  EXPECT_EQ(storedCopy(), kAbsent);
}

}  // namespace

namespace {

// A FIFO named as the caution image hung the import in open, holding the
// unit's lock; it now fails the import with the caution copy message and
// leaves no stored image.
TEST_F(CustomizeImportTest, FifoAsCautionImageFailsWithoutHanging) {
  unit.makeSyslog();
  sysdata_test::writeFile(syslogDisk(kImage), "old");
  ASSERT_EQ(::mkfifo(mediaDisk("Logo.png").c_str(), 0600), 0);
  std::string path = writeCustomization(std::string(kHeader) + "[caution]Logo.png\n");
  ::alarm(30);  // a hang ends the test process instead of the CI run
  standin::testing::ScopedLogCapture capture;
  CustomizeSysDataProduct product;
  EXPECT_FALSE(product.import(path));
  ::alarm(0);
  EXPECT_EQ(customize_test::customizeLogs(capture), (std::vector<Logged>{kCautionCopyError}));
  EXPECT_EQ(storedImage(), kAbsent);
  EXPECT_EQ(storedCopy(), kAbsent);
}

}  // namespace
