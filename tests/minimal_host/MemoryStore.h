// What the minimal host keeps in memory, for the host's own checks after the
// boot sequence: the settings files the store holds (by bare name, each key
// with its value as text) and the raw files written through TqStorage.
#pragma once

#include <map>
#include <string>

#include "platform/TqPlatformExport.h"

namespace minimal_host {

using KeyValues = std::map<std::string, std::string>;

// Key=value settings files, by bare file name.
TQPLATFORM_API std::map<std::string, KeyValues> settingsFiles();
// Raw files (binary records, the calibration file), by full path.
TQPLATFORM_API std::map<std::string, std::string> rawFiles();
// Messages the library logged.
TQPLATFORM_API std::string log();

}  // namespace minimal_host
