// The host's customization framework: the base whose hooks the product
// overrides. The stand-in's base operations record their call and argument
// (standin/testing/HostCalls.h) and return the result the test configured
// (true by default).
#pragma once

#include <string>

#include "platform/TqPlatformExport.h"

class TQPLATFORM_API CustomizeSysData {
 public:
  // Kinds of settings initialisation the host reports; the product passes
  // the value on unchanged.
  enum InitializeType {
    INITIALIZE_ALL = 0,
    INITIALIZE_USER = 1,
    INITIALIZE_FACTORY = 2,
  };

  CustomizeSysData();
  virtual ~CustomizeSysData();

  virtual bool import(std::string& path);
  virtual bool afterInitialize(InitializeType type);
};
