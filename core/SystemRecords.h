// The views of the host's shared-memory records that tell the library what
// unit it runs on. A view maps its segment in its constructor and unmaps it in
// its destructor; make one on the stack around a single read and drop it.
// Every read takes the segment's inter-process lock for its own duration.
//
// The views derive privately from their segment: what a host may call is
// below. The library's own readers reach the other fields through
// core/RecordAccess.h, which is not installed. A host writes the records
// itself, at the offsets of platform/SystemRecordLayout.h.
//
// A view whose segment could not be mapped answers safely: the directory is
// null, and SystemInformation reports SYS_INFO_MODEL_UNKNOWN /
// SYS_INFO_DESTINATION_UNKNOWN, a pair no variant uses.
#pragma once

#include "TqFramework/SharedMemory/TqSharedMemory"
#include "core/SysDataExport.h"
#include "platform/SystemDef.h"
#include "platform/SystemRecordLayout.h"

namespace sysdata {
struct RecordAccess;
}

class SYSDATA_API SystemInformation : private TqSharedMemory<SysInfoStruct, 1> {
 public:
  // Maps "SystemInfo" and performs its first initialisation: '-' into each
  // text field and the flag to 1, once per unit.
  SystemInformation();
  ~SystemInformation() override;
  SystemDef::SYS_INFO_MODEL getModel() const;
  SystemDef::SYS_INFO_DESTINATION getDestination() const;

 private:
  friend struct sysdata::RecordAccess;
};

class SYSDATA_API SysDataInformation : private TqSharedMemory<SysDataInfoStruct, 1> {
 public:
  SysDataInformation();
  ~SysDataInformation() override;
  // Address of the save-file directory inside the mapping, or null when
  // nothing is mapped or the text does not end inside its field. Copy it at
  // once.
  const char* getSaveFileDir() const;

 private:
  friend struct sysdata::RecordAccess;
};

class SYSDATA_API FuncInfoSharedMem : private TqSharedMemory<FuncInfoStruct, 1> {
 public:
  FuncInfoSharedMem();
  ~FuncInfoSharedMem() override;

 private:
  friend struct sysdata::RecordAccess;
};

class SYSDATA_API FuncInfoProduct : private TqSharedMemory<FuncInfoProductStruct, 1> {
 public:
  FuncInfoProduct();
  ~FuncInfoProduct() override;

 private:
  friend struct sysdata::RecordAccess;
};

class SYSDATA_API SysDataDefault : private TqSharedMemory<SysDataDefaultMem::Data, 1> {
 public:
  SysDataDefault();
  ~SysDataDefault() override;

 private:
  friend struct sysdata::RecordAccess;
};
