// What each entry of a dealer customization file means: the range checks of
// the validation pass, and the writes of the apply pass.
#pragma once

#include <string>

#include "core/SysDataExport.h"
#include "platform/TqDbgOutput.h"

class CustomizeSettings {
 public:
  // Where an import keeps its data, and the name of the stored caution image.
  static constexpr const char* kImportDir = "/Syslog/";
  static constexpr const char* kCautionImageName = "dop_startup_caution_img.png";
  // Limits of a "[caution]" image name.
  static constexpr unsigned int kCautionNameMaxLength = 128;
  static constexpr const char* kCautionExtension = ".png";

  // ---- validation ----

  // Checks one cleaned line of any key but "[model]" and "[maker]"; a line of
  // no key is accepted. dir is the customization file's directory.
  static bool checkData(std::string& line, const char* dir);
  // The language table; ids 23 and 26, 33-35 depend on the language set.
  static bool checkLang(unsigned int id);
  // A caution image name: at most maxLength characters, a "." whose tail is
  // extension in any case, no ".." component (the name must stay below dir),
  // and an existing file at dir + name.
  static bool checkFile(const std::string& name, unsigned int maxLength, const char* extension, const char* dir);

  static bool checkOnOff(unsigned int value) {
    return accept(value <= 1, value, "checkOnOff", __LINE__,
                  "<----- OnOff of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkIllumi(unsigned int value) {
    const bool ok = value <= 4 || value == 6 || value == 8 || value == 9 || value == 10 || value == 16;
    return accept(ok, value, "checkIllumi", __LINE__,
                  "<----- Illumi of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkIllumiUser(unsigned int value) {
    return accept(value <= 31, value, "checkIllumiUser", __LINE__,
                  "<----- Illumiuser of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkGlineVgaX(unsigned int value) {
    return accept(value >= 8 && value <= 793, value, "checkGlineVgaX", __LINE__,
                  "<----- GlineVgaX of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkGlineVgaY(unsigned int value) {
    return accept(value >= 10 && value <= 400, value, "checkGlineVgaY", __LINE__,
                  "<----- GlineVgaY of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkGlineHdX(unsigned int value) {
    return accept(value >= 13 && value <= 1269, value, "checkGlineHdX", __LINE__,
                  "<----- GlineHdX of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkGlineHdY(unsigned int value) {
    return accept(value >= 15 && value <= 600, value, "checkGlineHdY", __LINE__,
                  "<----- GlineHdY of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkGlineCenter(unsigned int value) {
    return accept(value <= 20, value, "checkGlineCenter", __LINE__,
                  "<----- GlineCenter of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkMicLevel(unsigned int value) {
    return accept(value <= 20, value, "checkMicLevel", __LINE__,
                  "<----- MicLevel of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkEchoCancel(unsigned int value) {
    return accept(value <= 10, value, "checkEchoCancel", __LINE__,
                  "<----- EchoCancel of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkNoizeReduction(unsigned int value) {
    return accept(value <= 10, value, "checkNoizeReduction", __LINE__,
                  "<----- NoizeReduction of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }
  static bool checkRcameraMessage(unsigned int value) {
    return accept(value <= 1, value, "checkRcameraMessage", __LINE__,
                  "<----- RcameraMessage of InitializeValueCustomize is NG[%d] !!!!! ----->\n");
  }

  // ---- import ----

  // Deletes dir + the stored caution image; the result is not looked at.
  static void deleteImportData(const char* dir);

  // ---- apply ----

  // Applies one cleaned line of the stored copy kept in dir, then hands the
  // line to afterInitializeCameraGuideline.
  static void afterInitialize(std::string& line, const char* dir);
  // Applies one cleaned line when it is a guide-line entry of the unit's
  // camera (HD or VGA). When the camera type cannot be read, no guide line is
  // written: the geometry of one camera must not land on the other.
  static void afterInitializeCameraGuideline(std::string& line);
  // 2 for 1; otherwise the factory default of "MessageSetting".
  static int convertRcameraMessage(unsigned int value);
  // 0 and 1 as they are; otherwise the factory default of the guide-line
  // switch from the default table (0 when the table cannot be mapped).
  static int convertGuideLineOnOff(unsigned int value);

 private:
  static constexpr const char* kSource = "src/customize/CustomizeSettings";

  __attribute__((format(printf, 5, 0))) static bool accept(bool ok, unsigned int value, const char* function, int line,
                                                           const char* format) {
    if (!ok) {
      TqDbgOutput::DbgPrint(kSource, function, line, TqDbgOutput::TQ_TAG_ERROR, format, static_cast<int>(value));
    }
    return ok;
  }
};
