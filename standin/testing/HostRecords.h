// The host's side of the shared-memory records: what a host writes into them
// at power-on (model and destination, directories, switches). A host on a
// desk (the tool, tests, benchmarks, the fuzz harness) fills a simulated
// unit's records through these; the product library only reads them. Each
// call maps its record's segment by itself (creating it when missing), writes
// under the segment's lock, and unmaps it. false when the segment cannot be
// mapped or the value does not fit its field.
#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemDef.h"
#include "platform/TqPlatformExport.h"

namespace standin {
namespace host_records {

// "SystemInfo": both words in one guarded write, so a reader never sees a new
// model with an old destination.
TQPLATFORM_API bool setPair(SystemDef::SYS_INFO_MODEL model, SystemDef::SYS_INFO_DESTINATION destination);
// "SysDataInfo": each text with its NUL must end inside its field.
TQPLATFORM_API bool setSaveFileDir(const char* dir);
TQPLATFORM_API bool setCalibrationDir(const char* dir);
// "FuncInfo"; the name must end before the demo switch that follows it.
TQPLATFORM_API bool setLangSetCode(std::uint32_t code);
TQPLATFORM_API bool setCustomizeFileName(const char* name);
TQPLATFORM_API bool setDemoUserInit(std::uint8_t value);
// "FuncInfoProduct".
TQPLATFORM_API bool setCameraHd(std::uint8_t value);

// What the host wrote, read back (0 / empty when the segment cannot be mapped).
TQPLATFORM_API std::uint32_t langSetCode();
TQPLATFORM_API std::string customizeFileName();
TQPLATFORM_API std::uint8_t demoUserInit();
TQPLATFORM_API std::uint8_t cameraHd();
TQPLATFORM_API std::string calibrationDir();

}  // namespace host_records
}  // namespace standin
