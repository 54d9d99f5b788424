// Hostile dealer files, validation pass: any bytes as a customization file
// on the medium, checked with the unit's language set both ways. The pass
// must not crash, must write nothing, and must decide the same way twice.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzUnit.h"
#include "platform/TqStorage.h"
#include "src/customize/CustomizeSysDataProductImpl.h"

namespace {

bool validate(const std::string& path) {
  TqStorage file(path.c_str(), "rb");
  if (!file.IsOpen()) sysdata_fuzz::fail("the dealer file does not open");
  CustomizeSysDataProductImpl impl;
  return impl.checkHeader(file) && impl.checkData(file, sysdata_fuzz::FuzzUnit::kMediaDir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sysdata_fuzz::FuzzUnit& unit = sysdata_fuzz::FuzzUnit::get();
  // Validation writes nothing at all.
  unit.allowWrites({});
  const std::string path = std::string(sysdata_fuzz::FuzzUnit::kMediaDir) + "dop.txt";
  unit.writeHostFile(path, data, size);
  for (std::uint32_t langSet : {0u, 4u}) {
    unit.setLangSetCode(langSet);
    const bool first = validate(path);
    if (validate(path) != first) sysdata_fuzz::fail("validation decided two ways on one file");
  }
  unit.setLangSetCode(0);
  unit.endInput();
  return 0;
}
