#include "UnitConfig.h"

#include <cstdint>
#include <cstdio>
#include <set>
#include <sstream>

#include "Cli.h"
#include "SafeFile.h"
#include "core/Variants.h"

namespace sysdatactl {

namespace {

// Room for each text in its record field, NUL included.
constexpr std::size_t kSaveDirRoom = 2046;         // "SysDataInfo" bytes 0..2045
constexpr std::size_t kCalibrationDirRoom = 3090;  // "SysDataInfo" bytes 2046..5135
// The customization name shares "FuncInfo" with other host fields; keep it to
// what a file name can be.
constexpr std::size_t kCustomizeNameRoom = 256;

std::string trim(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return std::string();
  const std::size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

bool checkHostDir(const char* what, const std::string& dir, std::size_t room, std::string* error) {
  if (dir.empty() || dir[0] != '/') {
    *error = std::string(what) + " must be an absolute host path, got '" + printable(dir) + "'";
    return false;
  }
  if (dir.size() + 1 > room) {
    *error = std::string(what) + " is longer than its record field (" + std::to_string(room - 1) + " bytes)";
    return false;
  }
  std::stringstream parts(dir);
  std::string part;
  while (std::getline(parts, part, '/')) {
    if (part == "..") {
      *error = std::string(what) + " must not contain '..'";
      return false;
    }
  }
  return true;
}

// Why raw is not a line of text, or empty: a control byte other than a tab
// (a carriage return may end it), or bytes that are not UTF-8.
std::string notText(const std::string& raw) {
  std::size_t i = 0;
  while (i < raw.size()) {
    const auto c = static_cast<unsigned char>(raw[i]);
    if (c < 0x80) {
      const bool lastCr = c == '\r' && i + 1 == raw.size();
      if ((c < 0x20 && c != '\t' && !lastCr) || c == 0x7f) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "0x%02x", c);
        return std::string("not text (control byte ") + buf + " at column " + std::to_string(i + 1) + ")";
      }
      ++i;
      continue;
    }
    // The length of the sequence and the smallest code point it may carry.
    struct Lead {
      unsigned char mask;
      unsigned char value;
      std::size_t length;
      unsigned long min;
    };
    static const Lead kLeads[] = {{0xe0, 0xc0, 2, 0x80}, {0xf0, 0xe0, 3, 0x800}, {0xf8, 0xf0, 4, 0x10000}};
    std::size_t length = 0;
    unsigned long min = 0;
    unsigned long cp = 0;
    for (const Lead& lead : kLeads) {
      if ((c & lead.mask) != lead.value) continue;
      length = lead.length;
      min = lead.min;
      cp = c & static_cast<unsigned char>(~lead.mask);
      break;
    }
    bool valid = length != 0 && i + length <= raw.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(raw[i + k]);
      valid = (next & 0xc0) == 0x80;
      cp = (cp << 6) | (next & 0x3f);
    }
    if (!valid || cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) {
      return "not text (invalid UTF-8 at column " + std::to_string(i + 1) + ")";
    }
    i += length;
  }
  return std::string();
}

// The keys a unit cannot do without: they say which variant it is.
const char* const kRequiredKeys[] = {"model", "destination"};

}  // namespace

bool validateUnitConfig(const UnitConfig& config, std::string* error) {
  if (!checkHostDir("save_dir", config.saveDir, kSaveDirRoom, error)) return false;
  if (!checkHostDir("calibration_dir", config.calibrationDir, kCalibrationDirRoom, error)) return false;
  const std::string& name = config.customizeFileName;
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == ".." ||
      name.size() + 1 > kCustomizeNameRoom) {
    *error = "customize_file_name must be a plain file name of at most " +
             std::to_string(kCustomizeNameRoom - 1) + " characters, got '" + printable(name) + "'";
    return false;
  }
  return true;
}

bool parseUnitConfig(const std::string& text, UnitConfig* config, std::string* error) {
  UnitConfig parsed;
  std::set<std::string> seen;
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    const std::string where = "line " + std::to_string(lineNo) + ": ";
    const std::string damage = notText(raw);
    if (!damage.empty()) {
      *error = where + damage;
      return false;
    }
    const std::string line = trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      *error = where + "expected key=value, got '" + printable(line) + "'";
      return false;
    }
    const std::string key = trim(line.substr(0, eq));
    const std::string value = trim(line.substr(eq + 1));
    if (!seen.insert(key).second) {
      *error = where + "'" + printable(key) + "' is given twice";
      return false;
    }
    std::int64_t n = 0;
    auto number = [&](std::int64_t low, std::int64_t high) {
      if (parseInRange(value, low, high, &n)) return true;
      *error = where + key + " must be a number from " + std::to_string(low) + " to " + std::to_string(high) +
               ", got '" + printable(value) + "'";
      return false;
    };
    if (key == "model") {
      if (!number(INT32_MIN, INT32_MAX)) return false;
      parsed.model = static_cast<std::int32_t>(n);
    } else if (key == "destination") {
      if (!number(INT32_MIN, INT32_MAX)) return false;
      parsed.destination = static_cast<std::int32_t>(n);
    } else if (key == "save_dir") {
      parsed.saveDir = value;
    } else if (key == "calibration_dir") {
      parsed.calibrationDir = value;
    } else if (key == "lang_set_code") {
      if (!number(0, UINT32_MAX)) return false;
      parsed.langSetCode = static_cast<std::uint32_t>(n);
    } else if (key == "customize_file_name") {
      parsed.customizeFileName = value;
    } else if (key == "demo_user_init") {
      if (!number(0, 255)) return false;
      parsed.demoUserInit = static_cast<std::uint8_t>(n);
    } else if (key == "camera_hd") {
      if (!number(0, 255)) return false;
      parsed.cameraHd = static_cast<std::uint8_t>(n);
    } else {
      *error = where + "unknown key '" + printable(key) + "'";
      return false;
    }
  }
  for (const char* required : kRequiredKeys) {
    if (seen.count(required) == 0) {
      *error = "the required key '" + std::string(required) + "' is missing";
      return false;
    }
  }
  std::string invalid;
  if (!validateUnitConfig(parsed, &invalid)) {
    *error = invalid;
    return false;
  }
  *config = parsed;
  return true;
}

std::string formatUnitConfig(const UnitConfig& config) {
  std::ostringstream out;
  out << "# Simulated head unit, read by sysdatactl at every power-on.\n"
      << "# The variant: product model and sales destination (\"SystemInfo\").\n"
      << "model=" << config.model << "\n"
      << "destination=" << config.destination << "\n"
      << "# Host paths (placed under this directory) of the settings files and of\n"
      << "# the air-gesture calibration file (\"SysDataInfo\").\n"
      << "save_dir=" << config.saveDir << "\n"
      << "calibration_dir=" << config.calibrationDir << "\n"
      << "# Function switches (\"FuncInfo\"): language-set code, the name of the\n"
      << "# stored customization copy in /Syslog/, and whether demo mode lives in\n"
      << "# Settings.ini (non-zero) or SettingsNoUserInit.ini (0).\n"
      << "lang_set_code=" << config.langSetCode << "\n"
      << "customize_file_name=" << config.customizeFileName << "\n"
      << "demo_user_init=" << static_cast<int>(config.demoUserInit) << "\n"
      << "# Product switches (\"FuncInfoProduct\"): non-zero for an HD camera picture.\n"
      << "camera_hd=" << static_cast<int>(config.cameraHd) << "\n";
  return out.str();
}

bool checkWritableUnitConfig(const UnitConfig& config, std::string* error) {
  UnitConfig back;
  std::string reason;
  if (!parseUnitConfig(formatUnitConfig(config), &back, &reason)) {
    // The line number is that of the written file: name the value instead.
    const std::size_t colon = reason.find(": ");
    *error = "the unit.conf this makes would not be read back: " +
             (reason.compare(0, 5, "line ") == 0 && colon != std::string::npos ? reason.substr(colon + 2) : reason);
    return false;
  }
  const char* differs = nullptr;
  if (back.model != config.model) differs = "model";
  if (back.destination != config.destination) differs = "destination";
  if (back.saveDir != config.saveDir) differs = "save_dir";
  if (back.calibrationDir != config.calibrationDir) differs = "calibration_dir";
  if (back.langSetCode != config.langSetCode) differs = "lang_set_code";
  if (back.customizeFileName != config.customizeFileName) differs = "customize_file_name";
  if (back.demoUserInit != config.demoUserInit) differs = "demo_user_init";
  if (back.cameraHd != config.cameraHd) differs = "camera_hd";
  if (differs != nullptr) {
    *error = std::string(differs) + " would not read back as given (blanks at its ends, or a line break in it)";
    return false;
  }
  return true;
}

std::string variantLabel(const UnitConfig& config) {
  const sysdata::Variant* variant =
      sysdata::findVariant(static_cast<SystemDef::SYS_INFO_MODEL>(config.model),
                           static_cast<SystemDef::SYS_INFO_DESTINATION>(config.destination));
  return variant != nullptr ? variant->modelName : "unrecognised";
}

}  // namespace sysdatactl
