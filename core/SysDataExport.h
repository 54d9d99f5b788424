// Symbol export of the product library: only the interface a host calls
// leaves the shared object. Everything else, the helpers the classes are made
// of included, stays inside it; the tool and the tests reach those through the
// static library built from the same object files.
#pragma once

#define SYSDATA_API __attribute__((visibility("default")))
// A member of an exported class that is not part of the interface: its key
// table, its name helpers, its lock lookup.
#define SYSDATA_INTERNAL __attribute__((visibility("hidden")))
