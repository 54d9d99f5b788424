// The framework header under its file name with an extension, for tools that
// look for one; host code includes "TqFramework/SharedMemory/TqSharedMemory".
#pragma once

#include "TqFramework/SharedMemory/TqSharedMemory"
