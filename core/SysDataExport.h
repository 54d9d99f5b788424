// Symbol export of the product library: only the classes a host calls leave
// the shared object.
#pragma once

#define SYSDATA_API __attribute__((visibility("default")))
