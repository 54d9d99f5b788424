// Internal: hands each debug message to the live test captures.
#pragma once

#include <string>

namespace standin {
namespace detail {

void DeliverLog(const char* file, const char* function, int line, int tag, std::string message);

}  // namespace detail
}  // namespace standin
