// Symbol export for the host platform library (the settings store and the
// framework). Everything the product library or a host process calls carries
// TQPLATFORM_API; the rest stays hidden.
#pragma once

#if defined(TQPLATFORM_BUILDING_LIBRARY)
#define TQPLATFORM_API __attribute__((visibility("default")))
#else
#define TQPLATFORM_API __attribute__((visibility("default")))
#endif
