// The simulated unit's own configuration, "<root>/unit.conf": what the host
// writes into its shared-memory records at every power-on.
//
// Format: one "key=value" per line; blank lines and lines starting with "#"
// are ignored; blanks around key and value are trimmed. model and
// destination are required, every other key is optional (the defaults below
// apply); an unknown key, a repeated key, a value out of range or a line that
// is not text (a control byte, bytes that are not UTF-8) is an error naming
// its line. The file is at most 64 KiB.
//
//   model=6                        product model, SystemDef::SYS_INFO_MODEL
//   destination=5                  sales destination, SystemDef::SYS_INFO_DESTINATION
//   save_dir=/data/save            host path of the settings files ("SysDataInfo")
//   calibration_dir=/data/calib    host path of "AirGestureCalibration.ini"
//   lang_set_code=0                language-set code ("FuncInfo" langSetCode)
//   customize_file_name=dop_customize.txt   name of the stored customization copy
//   demo_user_init=1               non-zero: demo mode lives in "Settings.ini"
//   camera_hd=0                    non-zero: HD camera guide lines
//
// Host paths are absolute; the simulation places them under the root. The
// boot count lives beside it in "<root>/unit.state" ("boots=N"), written by
// the tool only.
#pragma once

#include <cstdint>
#include <string>

namespace sysdatactl {

struct UnitConfig {
  std::int32_t model = 6;
  std::int32_t destination = 5;
  std::string saveDir = "/data/save";
  std::string calibrationDir = "/data/calib";
  std::uint32_t langSetCode = 0;
  std::string customizeFileName = "dop_customize.txt";
  std::uint8_t demoUserInit = 1;
  std::uint8_t cameraHd = 0;
};

constexpr const char* kUnitConfigName = "unit.conf";
constexpr const char* kUnitStateName = "unit.state";

// Parses the text of a unit.conf; on error returns false with "line N: ...".
bool parseUnitConfig(const std::string& text, UnitConfig* config, std::string* error);
// A commented unit.conf that parses back to config.
std::string formatUnitConfig(const UnitConfig& config);
// The writer's check: config written by formatUnitConfig reads back, through
// parseUnitConfig itself, as exactly config. False with the reader's reason
// (or the key that would read back differently) otherwise: a unit.conf the
// reader would refuse is never written.
bool checkWritableUnitConfig(const UnitConfig& config, std::string* error);
// Checks the fields whatever their source (file or command line).
bool validateUnitConfig(const UnitConfig& config, std::string* error);

// The variant name of the unit's pair, or "unrecognised".
std::string variantLabel(const UnitConfig& config);

}  // namespace sysdatactl
