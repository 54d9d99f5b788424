// The pieces every simulated unit is made of, whoever drives it: the test
// fixture, the benchmarks and the fuzz harness. Plain file helpers for the
// unit's directory tree, the making and ending of a unit's root, and the
// host's records as a booted unit has them. Nothing here depends on a test
// framework: the benchmarks and the fuzz binaries bring their own main.
#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemDef.h"
#include "standin/testing/HostRecords.h"

namespace sysdata_test {

// Host-side directories of a unit (mapped under its root by the stand-in) and
// the customization file name its records carry.
inline constexpr const char* kUnitSaveDir = "/data/save";
inline constexpr const char* kUnitCalibrationDir = "/data/calib";
inline constexpr const char* kUnitCustomizeFileName = "dop_customize.txt";

// ---- files: set-up and checking work, without durability ----

// Makes path and each missing directory above it (mode 0755); what exists is
// kept. Relative paths stay relative.
void makeDirs(const std::string& path);
// Removes path and, for a directory, everything below it. Links are removed,
// never followed.
void removeTree(const std::string& path);
// The bytes of path; empty when it cannot be read.
std::string readFile(const std::string& path);
// Replaces the content of path (made with mode 0644 when missing); does
// nothing when it cannot be opened.
void writeFile(const std::string& path, const std::string& content);

// ---- a unit's life ----

// Makes a fresh root "<parent>/<prefix>XXXXXX" (parent too, when missing),
// and points the stand-in at it (which gives the root a namespace of
// segments of its own). Empty when no directory could be made; the stand-in
// is then left as it was.
std::string openUnitRoot(const std::string& parent, const std::string& prefix);
// Ends the unit at root: runs the host's singleton teardown (singletons hold
// file objects of the unit), removes the unit's segments and its directory
// tree, and unsets the stand-in's root. An empty root removes no directory.
void closeUnitRoot(const std::string& root);

// Makes the save and calibration directories under root and fills the host's
// records as a booted unit has them: those two directories, model and
// destination, the customization file name, language set code 0, demo user
// initialisation 1, camera HD 0. false at the first record that cannot be
// mapped.
bool bootUnitRecords(const std::string& root, SystemDef::SYS_INFO_MODEL model,
                     SystemDef::SYS_INFO_DESTINATION destination);

// One field of the host's records each: the stand-in's host-side writers,
// which map the segments themselves, so that a unit does not depend on the
// record views it helps to test.
namespace host_records = ::standin::host_records;

}  // namespace sysdata_test
