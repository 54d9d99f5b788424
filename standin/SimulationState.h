// Internal view of the simulated unit's placement (platform/TqSimulation.h).
#pragma once

#include <string>

namespace standin {
namespace detail {

// The shared-memory name prefix of the current simulation root; empty when
// no root is set.
std::string SimShmPrefix();

}  // namespace detail
}  // namespace standin
