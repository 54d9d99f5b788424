// What the minimal host keeps in memory, for the host's own checks after the
// boot sequence: the settings files the store holds (by bare name, each key
// with its value as text) and the raw files written through TqStorage; and
// the host's configuration both the store and the boot sequence use.
#pragma once

#include <map>
#include <string>

#include "platform/TqPlatformExport.h"

namespace minimal_host {

// The directories the host writes into "SysDataInfo".
constexpr const char kSaveDir[] = "/data/save";
constexpr const char kCalibrationDir[] = "/data/calib";

using KeyValues = std::map<std::string, std::string>;

// Key=value settings files, by bare file name.
TQPLATFORM_API std::map<std::string, KeyValues> settingsFiles();
// Raw files (binary records, the calibration file), by full path.
TQPLATFORM_API std::map<std::string, std::string> rawFiles();
// Messages the library logged; clearLog() forgets them.
TQPLATFORM_API std::string log();
TQPLATFORM_API void clearLog();
// Called by the store at the start of each Create* with the file's name; null
// for none.
TQPLATFORM_API void setCreationHook(void (*hook)(const char* name));

}  // namespace minimal_host
