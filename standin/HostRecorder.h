// Internal: the record of the host base operations' calls (HostCalls.h).
#pragma once

#include <string>

namespace standin {
namespace detail {

// Records (op, arg) and returns the result configured for op.
bool RecordHostCall(const std::string& op, const std::string& arg);

}  // namespace detail
}  // namespace standin
