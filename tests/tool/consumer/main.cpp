// Plays a minimal host against the installed library: a simulated unit in
// the directory given, its records, the default table, one read through the
// data accessor, and the host's teardown.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "accessor/SettingsDataAccessor.h"
#include "platform/TqSimulation.h"
#include "platform/TqSingletonFinalizer.h"
#include "standin/testing/HostRecords.h"
#include "standin/testing/StoreControl.h"
#include "util/SysDataUtilProduct.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: consumer ROOT\n");
    return 2;
  }
  const std::string root = argv[1];
  for (const std::string dir : {root, root + "/data", root + "/data/save"}) ::mkdir(dir.c_str(), 0755);
  TqSimSetRoot(root.c_str());
  standin::testing::RemoveSimSegments();
  // Linked as the package says, the unit gets segments of its own.
  std::string why;
  if (!standin::testing::ClaimSimSegments(&why)) {
    std::printf("refused: %s\n", why.c_str());
    TqSimSetRoot("");
    return 3;
  }
  int beepVol = -1;
  {
    standin::host_records::setPair(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5);
    standin::host_records::setSaveFileDir("/data/save");
    standin::host_records::setCalibrationDir("/data/save");
    SysDataUtilProduct util;
    util.initSysDataDefault(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5);
    SettingsDataAccessor accessor;
    beepVol = accessor.getDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL);
  }
  TqSingletonFinalizer::runDestroyFuncs();
  standin::testing::RemoveSimSegments();
  TqSimSetRoot("");
  std::printf("BeepVol=%d\n", beepVol);
  return beepVol == 3 ? 0 : 1;
}
