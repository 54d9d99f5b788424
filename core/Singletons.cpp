// The creation locks and instance pointers of the singletons that the
// library itself does not declare beside a class of its own. They are
// constructed when the library is loaded, before any exported operation can
// run, and destroyed when it is unloaded.
#include "core/SysDataExport.h"
#include "core/SysDataFactory.h"
#include "core/SysDataProductFactory.h"
#include "core/TqSingleton.h"
#include "platform/SaveFileAccess.h"

TQ_SINGLETON_DEFINE(SaveFileAccessFactory)
TQ_SINGLETON_DEFINE(SysDataProductFactory)
TQ_SINGLETON_DEFINE(SysDataFactory)

// Two classes of the host share this library's creation locks: the library
// defines their Sync_ and nothing else of them (the host defines the classes
// and their instance pointers).
class SYSDATA_API SysDataSettingsGuiState;
class SYSDATA_API SysDataSettingsGuiStateExportImport;

template <>
TqSync TqSingleton<SysDataSettingsGuiState>::Sync_{};
template <>
TqSync TqSingleton<SysDataSettingsGuiStateExportImport>::Sync_{};
