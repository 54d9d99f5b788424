// Test access to the host base classes (SysDataUtil, CustomizeSysData): which
// base operations ran, with what, and what they return.
#pragma once

#include <string>
#include <vector>

#include "platform/TqPlatformExport.h"

namespace standin {
namespace testing {

struct HostCall {
  // "initSysDataDefault", "initSysDataFile", "confirmCalibrationData",
  // "dataImport", "dataExport", "import", "afterInitialize".
  std::string op;
  // The name or path argument; for initSysDataDefault "model,destination";
  // for afterInitialize the type in decimal.
  std::string arg;
};

// Calls recorded since the last clear, in order (all threads).
TQPLATFORM_API std::vector<HostCall> HostCalls();
TQPLATFORM_API void ClearHostCalls();
// What the base operation op returns from now on (default true).
TQPLATFORM_API void SetHostResult(const std::string& op, bool result);
TQPLATFORM_API void ResetHostResults();

}  // namespace testing
}  // namespace standin
