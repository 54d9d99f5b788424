// Hostile dealer files, import: any bytes as a customization file on the
// medium (beside a few caution images), imported into "/Syslog/". The import
// must not crash, must write only into "/Syslog/", must succeed exactly when
// validation accepts the file, and then store a byte copy of it; a refused
// file stores nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzUnit.h"
#include "platform/TqStorage.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "src/customize/CustomizeSysDataProductImpl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using sysdata_fuzz::FuzzUnit;
  FuzzUnit& unit = FuzzUnit::get();
  unit.clearSyslog();
  const std::string path = std::string(FuzzUnit::kMediaDir) + "dop.txt";
  unit.writeHostFile(path, data, size);

  unit.allowWrites({});
  bool valid = false;
  {
    TqStorage file(path.c_str(), "rb");
    CustomizeSysDataProductImpl impl;
    valid = file.IsOpen() && impl.checkHeader(file) && impl.checkData(file, FuzzUnit::kMediaDir);
  }

  unit.allowWrites({FuzzUnit::kSyslog});
  std::string argument = path;
  const bool imported = CustomizeSysDataProduct().import(argument);
  if (imported != valid) {
    sysdata_fuzz::fail(valid ? "a valid file was not imported" : "an invalid file was imported");
  }
  std::string stored;
  const bool hasCopy = unit.readHostFile(std::string(FuzzUnit::kSyslog) + FuzzUnit::kCustomizeFileName, &stored);
  if (imported && (!hasCopy || stored != std::string(reinterpret_cast<const char*>(data), size))) {
    sysdata_fuzz::fail("the stored copy is not the imported file");
  }
  if (!imported && hasCopy) sysdata_fuzz::fail("a refused file left a stored copy");
  std::string image;
  if (!imported && unit.readHostFile("/Syslog/dop_startup_caution_img.png", &image)) {
    sysdata_fuzz::fail("a refused file left a stored caution image");
  }
  unit.endInput();
  return 0;
}
