// The product's implementation of the host's data-utility hooks: the factory
// default table, reset of one file by name, export to and import from a
// directory on external media, and the air-gesture calibration file.
//
// The host creates, owns and deletes the object; it has no state of its own.
// Each hook also runs the host's base operation of the same name:
//   initSysDataDefault   base first, then the product's fields; always true.
//   initSysDataFile      the base only for names the product does not know.
//   confirmCalibrationData  base last, always.
//   dataImport / dataExport base last, always; its result is the result.
#pragma once

#include <cstddef>
#include <string>

#include "core/SysDataExport.h"
#include "platform/SysDataUtil.h"
#include "platform/SystemDef.h"

class SYSDATA_API SysDataUtilProduct : public SysDataUtil {
 public:
  ~SysDataUtilProduct() override;

  // Fills the product's fields of the "SysDataDefault" record for the pair
  // (util/DefaultTableLayout.h). The record is changed under one hold of its
  // inter-process lock, so two fills never interleave. Returns true.
  bool initSysDataDefault(SystemDef::SYS_INFO_MODEL model,
                          SystemDef::SYS_INFO_DESTINATION destination) const override;

  // A product settings file is reset by its settings class; a navigation or
  // user data file in the save directory is emptied (created empty when
  // missing). Both give true, also when the write failed or was skipped for
  // want of a save directory. Any other name goes to the base.
  bool initSysDataFile(const std::string& name) const override;

  // Creates "AirGestureCalibration.ini" with its initial record when the
  // calibration directory has none; an existing file is never rewritten.
  void confirmCalibrationData() const override;

  // Takes "FrontRecorderLastConnect" of "DriveRecorder.ini" from the copy in
  // path into the unit's file.
  bool dataImport(const char* path) override;

  // Copies the 38 product files into path, then overwrites every copy but
  // "DriveRecorder.ini" with the factory defaults of the unit's pair.
  bool dataExport(const char* path) override;
};

namespace sysdata {

// The navigation and user data files that reset by name empties, in the
// order they are matched.
constexpr std::size_t kNavigationFileCount = 27;
const char* const* navigationFileNames();
// True when name is one of them exactly (case-sensitive, whole string).
bool isNavigationFile(const std::string& name);

}  // namespace sysdata
