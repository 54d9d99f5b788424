// Hostile stored customization, apply pass: any bytes as the copy kept in
// "/Syslog/", applied after an initialisation with each kind of pass, on a
// VGA and an HD camera unit. The pass must not crash, must write only the
// save directory and "/Syslog/", and every settings file it writes must stay
// a whole key=value file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzUnit.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "src/customize/CustomizeSysDataProductImpl.h"

namespace {

const char* const kWrittenFiles[] = {"Settings.ini", "SettingsNoUserInit.ini", "Camera.ini", "Mic.ini",
                                     "ProductCameraSetting.ini", "InitialValueCustomize.ini"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using sysdata_fuzz::FuzzUnit;
  FuzzUnit& unit = FuzzUnit::get();
  unit.allowWrites({FuzzUnit::kSaveDir + std::string("/"), FuzzUnit::kSyslog});
  const std::string copy = std::string(FuzzUnit::kSyslog) + FuzzUnit::kCustomizeFileName;
  const std::string image = std::string(FuzzUnit::kSyslog) + "dop_startup_caution_img.png";
  // The unit's switches come from the input's length, so the corpus covers
  // both cameras and both homes of demo mode.
  unit.setCameraHd(static_cast<std::uint8_t>(size & 1));
  unit.setDemoUserInit(static_cast<std::uint8_t>((size >> 1) & 1));

  unit.writeHostFile(copy, data, size);
  if ((size & 4) != 0) {
    unit.writeHostFile(image, "stored image");
  } else {
    unit.removeHostFile(image);
  }
  CustomizeSysDataProduct().afterInitialize(CustomizeSysData::INITIALIZE_ALL);
  for (int type : {1, 7}) {
    unit.writeHostFile(copy, data, size);
    CustomizeSysDataProductImpl().afterInitialize(static_cast<CustomizeSysDataProductImpl::InitializeType>(type));
  }

  for (const char* name : kWrittenFiles) {
    std::string text, why;
    if (unit.readHostFile(std::string(FuzzUnit::kSaveDir) + "/" + name, &text) &&
        !sysdata_fuzz::keyFileWhole(text, &why)) {
      sysdata_fuzz::fail(std::string(name) + " is damaged after the apply pass: " + why);
    }
  }
  unit.setCameraHd(0);
  unit.setDemoUserInit(1);
  unit.endInput();
  return 0;
}
