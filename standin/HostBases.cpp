// The host's base classes, doing the least: each base operation records its
// call and answers what the test configured.
#include <string>

#include "platform/CustomizeSysData.h"
#include "platform/SysDataUtil.h"
#include "standin/HostRecorder.h"

using standin::detail::RecordHostCall;

SysDataUtil::SysDataUtil() = default;
SysDataUtil::~SysDataUtil() = default;

bool SysDataUtil::initSysDataDefault(SystemDef::SYS_INFO_MODEL model,
                                     SystemDef::SYS_INFO_DESTINATION destination) const {
  return RecordHostCall("initSysDataDefault",
                        std::to_string(static_cast<int>(model)) + "," + std::to_string(static_cast<int>(destination)));
}

bool SysDataUtil::initSysDataFile(const std::string& name) const { return RecordHostCall("initSysDataFile", name); }

void SysDataUtil::confirmCalibrationData() const { RecordHostCall("confirmCalibrationData", std::string()); }

bool SysDataUtil::dataImport(const char* path) {
  return RecordHostCall("dataImport", path != nullptr ? path : "");
}

bool SysDataUtil::dataExport(const char* path) {
  return RecordHostCall("dataExport", path != nullptr ? path : "");
}

CustomizeSysData::CustomizeSysData() = default;
CustomizeSysData::~CustomizeSysData() = default;

bool CustomizeSysData::import(std::string& path) { return RecordHostCall("import", path); }

bool CustomizeSysData::afterInitialize(InitializeType type) {
  return RecordHostCall("afterInitialize", std::to_string(static_cast<int>(type)));
}
