// The host's data-utility framework: the base whose hooks the product
// overrides. The stand-in's base operations do the least: each records its
// call and arguments (standin/testing/HostCalls.h) and returns the result the
// test configured (true by default). They read and write nothing.
#pragma once

#include <string>

#include "platform/SystemDef.h"
#include "platform/TqPlatformExport.h"

class TQPLATFORM_API SysDataUtil {
 public:
  SysDataUtil();
  virtual ~SysDataUtil();

  virtual bool initSysDataDefault(SystemDef::SYS_INFO_MODEL model,
                                  SystemDef::SYS_INFO_DESTINATION destination) const;
  virtual bool initSysDataFile(const std::string& name) const;
  virtual void confirmCalibrationData() const;
  virtual bool dataImport(const char* path);
  virtual bool dataExport(const char* path);
};
