#include "src/customize/CustomizeSysDataProductImpl.h"

#include <cstring>

#include "core/RecordAccess.h"
#include "core/SystemRecords.h"
#include "platform/TqDbgOutput.h"
#include "platform/TqFileSys.h"
#include "platform/TqStorage.h"
#include "src/customize/CustomizeSettings.h"
#include "src/customize/CustomizeUtility.h"

namespace {

constexpr const char* kSource = "src/customize/CustomizeSysDataProductImpl";
// importData reports with the caution checks it belongs with.
constexpr const char* kCautionSource = "src/customize/CustomizeSettings";

constexpr const char* kHeader = "DOP_Customize";
constexpr const char* kModelKey = "[model]";
constexpr const char* kMakerKey = "[maker]";
// "[model]" 1 makes the stored customization one-shot.
constexpr unsigned int kModelOneShot = 1;
constexpr unsigned int kModelKept = 2;
constexpr unsigned int kMaker = 2;

// One line of the file, read into a zero-filled buffer. False at the end of
// the file or at the "~END" line.
class LineReader {
 public:
  explicit LineReader(TqStorage& file) : file_(file) {}

  bool next(std::string& line) {
    std::memset(buffer_, 0, sizeof(buffer_));
    if (file_.ReadLine(buffer_, static_cast<int>(sizeof(buffer_))) != 0) return false;
    if (CustomizeUtility::isEndLine(buffer_)) return false;
    CustomizeUtility::removeControlChars(buffer_);
    line = buffer_;
    return true;
  }

 private:
  TqStorage& file_;
  char buffer_[CustomizeUtility::kLineSize];
};

std::string cautionImagePath() {
  return std::string(CustomizeSettings::kImportDir) + CustomizeSettings::kCautionImageName;
}

// "/Syslog/" + the stored copy's name, or empty when the name is unknown.
std::string storedCopyPath() {
  std::string name;
  {
    FuncInfoSharedMem view;
    name = sysdata::customizeFileName(view);
  }
  if (name.empty()) return std::string();
  return std::string(CustomizeSettings::kImportDir) + name;
}

}  // namespace

CustomizeSysDataProductImpl::CustomizeSysDataProductImpl() = default;
CustomizeSysDataProductImpl::~CustomizeSysDataProductImpl() = default;

bool CustomizeSysDataProductImpl::import(std::string& path) {
  TqStorage file(path.c_str(), "rb");
  if (!file.IsOpen()) {
    TqDbgOutput::DbgPrint(kSource, "import", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                          "<----- Failure to open file !!!!! ----->\n");
    file.Close();
    return false;
  }
  const std::string dir = CustomizeUtility::directoryOf(path);
  if (!checkSize(file) || !checkHeader(file) || !checkData(file, dir.c_str())) {
    file.Close();
    return false;
  }
  // A failed rewind would make the import pass miss caution entries.
  if (file.Seek(0, TqStorage::TQ_SEEK_SET) != 0 || !importData(file, dir.c_str())) {
    TqFileSys::Delete(cautionImagePath().c_str(), true);
    file.Close();
    return false;
  }
  file.Close();

  const std::string destination = storedCopyPath();
  const bool copied = !destination.empty() && TqFileSys::Copy(path.c_str(), destination.c_str(), false, false);
  if (!copied) {
    TqDbgOutput::DbgPrint(kSource, "import", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                          "!!! Customize File Copy Error !!!\n");
    TqFileSys::Delete(cautionImagePath().c_str(), true);
  }
  return copied;
}

bool CustomizeSysDataProductImpl::importData(TqStorage& file, const char* dir) {
  bool result = true;
  LineReader reader(file);
  std::string line;
  while (reader.next(line) && result) {
    if (!CustomizeUtility::startsWith(line, "[caution]")) continue;
    std::string name;
    CustomizeUtility::getValue(line.c_str(), name);
    const std::string source = std::string(dir != nullptr ? dir : "") + name;
    if (!TqFileSys::Copy(source.c_str(), cautionImagePath().c_str(), false, false)) {
      TqDbgOutput::DbgPrint(kCautionSource, "importData", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                            "!!! Caution File Copy Error !!!\n");
      result = false;
    }
  }
  return result;
}

bool CustomizeSysDataProductImpl::checkSize(TqStorage& file) {
  // Decided before a line is validated, with the host's own calls only: a
  // byte at the limit's offset means the file is larger than a dealer file
  // can be. A seek past the end is allowed and then reads nothing.
  char probe[2] = {};
  const bool seeked = file.Seek(kMaxFileSize, TqStorage::TQ_SEEK_SET) == 0;
  const bool tooLarge = seeked && file.ReadLine(probe, static_cast<int>(sizeof(probe))) == 0;
  if (!seeked || file.Seek(0, TqStorage::TQ_SEEK_SET) != 0) {
    TqDbgOutput::DbgPrint(kSource, "checkSize", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                          "<----- Failure to open file !!!!! ----->\n");
    return false;
  }
  if (tooLarge) {
    TqDbgOutput::DbgPrint(kSource, "checkSize", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                          "<----- Size of InitializeValueCustomize is NG[>%lld] !!!!! ----->\n", kMaxFileSize);
    return false;
  }
  return true;
}

bool CustomizeSysDataProductImpl::checkHeader(TqStorage& file) {
  char buffer[CustomizeUtility::kHeaderLineSize] = {};
  if (file.ReadLine(buffer, static_cast<int>(sizeof(buffer))) != 0) return false;
  CustomizeUtility::removeControlChars(buffer);
  if (std::strcmp(buffer, kHeader) != 0) {
    TqDbgOutput::DbgPrint(kSource, "checkHeader", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                          "<----- Header of InitializeValueCustomize is NG[%s] !!!!! ----->\n", buffer);
    return false;
  }
  return true;
}

bool CustomizeSysDataProductImpl::checkData(TqStorage& file, const char* dir) {
  bool result = true;
  LineReader reader(file);
  std::string line;
  while (reader.next(line) && result) {
    const bool model = CustomizeUtility::startsWith(line, kModelKey);
    if (model || CustomizeUtility::startsWith(line, kMakerKey)) {
      unsigned int value = 0;
      if (!CustomizeUtility::getValue(line.c_str(), value)) {
        result = false;
      } else {
        result = model ? checkModel(value) : checkMaker(value);
      }
    } else {
      result = CustomizeSettings::checkData(line, dir);
    }
  }
  return result;
}

bool CustomizeSysDataProductImpl::checkModel(unsigned int model) {
  if (model == kModelOneShot || model == kModelKept) return true;
  TqDbgOutput::DbgPrint(kSource, "checkModel", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                        "<----- Model of InitializeValueCustomize is NG[%d] !!!!! ----->\n", static_cast<int>(model));
  return false;
}

bool CustomizeSysDataProductImpl::checkMaker(unsigned int maker) {
  if (maker == kMaker) return true;
  TqDbgOutput::DbgPrint(kSource, "checkMaker", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                        "<----- Maker of InitializeValueCustomize is NG[%d] !!!!! ----->\n", static_cast<int>(maker));
  return false;
}

bool CustomizeSysDataProductImpl::afterInitialize(InitializeType type) {
  const std::string path = storedCopyPath();
  if (path.empty() || !TqFileSys::IsExist(path.c_str())) return false;

  TqStorage file(path.c_str(), "rb");
  bool oneShot = false;
  LineReader reader(file);
  std::string line;
  while (reader.next(line)) {
    if (CustomizeUtility::startsWith(line, kModelKey)) {
      unsigned int value = 0;
      if (CustomizeUtility::getValue(line.c_str(), value) && value == kModelOneShot) {
        oneShot = true;
        break;
      }
      continue;
    }
    switch (type) {
      case INITIALIZE_ALL:
        CustomizeSettings::afterInitialize(line, CustomizeSettings::kImportDir);
        break;
      case INITIALIZE_CAMERA_GUIDELINE:
        CustomizeSettings::afterInitializeCameraGuideline(line);
        break;
      default:
        TqDbgOutput::DbgPrint(kSource, "afterInitialize", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                              "!!! InitializeType Error !!!\n");
        break;
    }
  }
  file.Close();

  if (oneShot) {
    CustomizeSettings::deleteImportData(CustomizeSettings::kImportDir);
    if (!TqFileSys::Delete(path.c_str(), true)) {
      TqDbgOutput::DbgPrint(kSource, "afterInitialize", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                            "!!! Customize File Delete Error !!!\n");
    }
  }
  return true;
}
