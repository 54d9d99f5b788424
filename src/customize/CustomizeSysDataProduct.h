// The product's hooks of the host's customization framework: import of a
// dealer customization file, and its application after every initialisation
// of the settings.
#pragma once

#include <string>

#include "core/SysDataExport.h"
#include "platform/CustomizeSysData.h"

class SYSDATA_API CustomizeSysDataProduct : public CustomizeSysData {
 public:
  CustomizeSysDataProduct();
  ~CustomizeSysDataProduct() override;

  // Validates and stores the file; the base import runs only after a
  // successful store, and its result is returned.
  bool import(std::string& path) override;
  // Applies the stored customization, whatever the type; with nothing stored
  // returns true without the base, otherwise returns the base's result.
  bool afterInitialize(CustomizeSysData::InitializeType type) override;
};
