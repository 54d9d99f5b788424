// The passes over a dealer customization file: validation and import of a
// file the host hands over, and the apply pass over the stored copy after an
// initialisation of the settings. Stateless: make one on the stack per call.
#pragma once

#include <string>

#include "core/SysDataExport.h"

class TqStorage;

class CustomizeSysDataProductImpl {
 public:
  // What the apply pass writes. Any other value applies nothing; the fixed
  // underlying type makes every int a value of the type.
  enum InitializeType : int {
    INITIALIZE_ALL = 0,               // every entry
    INITIALIZE_CAMERA_GUIDELINE = 1,  // the camera guide-line entries only
  };

  CustomizeSysDataProductImpl();
  ~CustomizeSysDataProductImpl();
  CustomizeSysDataProductImpl(const CustomizeSysDataProductImpl&) = delete;
  CustomizeSysDataProductImpl& operator=(const CustomizeSysDataProductImpl&) = delete;

  // Validates the file at path, copies its caution image and then the file
  // itself into "/Syslog/"; true only when every step succeeded. A file that
  // cannot be opened, is too large or fails validation leaves "/Syslog/" as
  // it was; a failed
  // copy leaves no stored caution image. When the name of the stored copy is
  // not known (the function switches cannot be mapped or hold no name), the
  // import fails like a failed copy.
  bool import(std::string& path);
  // The import pass: copies the image of every "[caution]" entry, in file
  // order, to "/Syslog/dop_startup_caution_img.png".
  bool importData(TqStorage& file, const char* dir);
  // A dealer file is a few hundred short lines; one larger than this is not
  // one, and reading it through would only cost time.
  static constexpr long long kMaxFileSize = 1024 * 1024;
  // The open file must be at most kMaxFileSize bytes; it is left at its
  // start. Logged in the form of the other rejections when it is larger.
  bool checkSize(TqStorage& file);
  // Line 1 must read "DOP_Customize" once TAB, LF and CR are removed.
  bool checkHeader(TqStorage& file);
  // Every further line up to "~END" or the end; stops at the first rejection.
  bool checkData(TqStorage& file, const char* dir);
  bool checkModel(unsigned int model);
  bool checkMaker(unsigned int maker);

  // Applies the stored copy, if any; true when one was stored. A "[model]"
  // entry of 1 ends the pass and deletes the stored copy and caution image.
  bool afterInitialize(InitializeType type);
};
