#include "src/customize/CustomizeSysDataProduct.h"

#include "src/customize/CustomizeSysDataProductImpl.h"

CustomizeSysDataProduct::CustomizeSysDataProduct() = default;
CustomizeSysDataProduct::~CustomizeSysDataProduct() = default;

bool CustomizeSysDataProduct::import(std::string& path) {
  CustomizeSysDataProductImpl impl;
  if (!impl.import(path)) return false;
  return CustomizeSysData::import(path);
}

bool CustomizeSysDataProduct::afterInitialize(CustomizeSysData::InitializeType type) {
  CustomizeSysDataProductImpl impl;
  if (!impl.afterInitialize(CustomizeSysDataProductImpl::INITIALIZE_ALL)) return true;
  return CustomizeSysData::afterInitialize(type);
}
