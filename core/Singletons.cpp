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

// Two classes of the host whose singletons share this library's creation
// locks; the library defines nothing else of them.
class SYSDATA_API SysDataSettingsGuiState;
class SYSDATA_API SysDataSettingsGuiStateExportImport;

template <>
TqSync TqSingleton<SysDataSettingsGuiState>::Sync_{};
template <>
std::atomic<SysDataSettingsGuiState*> TqSingleton<SysDataSettingsGuiState>::pInstance_{nullptr};
template <>
TqSync TqSingleton<SysDataSettingsGuiStateExportImport>::Sync_{};
template <>
std::atomic<SysDataSettingsGuiStateExportImport*> TqSingleton<SysDataSettingsGuiStateExportImport>::pInstance_{nullptr};
