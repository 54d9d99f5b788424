// System definitions shared with the host: the product model and the sales
// destination, as stored in the "SystemInfo" record. Only the numeric values
// are part of the shared format.
#pragma once

#include <cstdint>

namespace SystemDef {

enum SYS_INFO_MODEL : std::int32_t {
  SYS_INFO_MODEL_0 = 0,
  SYS_INFO_MODEL_1 = 1,
  SYS_INFO_MODEL_2 = 2,
  SYS_INFO_MODEL_3 = 3,
  SYS_INFO_MODEL_4 = 4,
  SYS_INFO_MODEL_5 = 5,
  SYS_INFO_MODEL_6 = 6,
  SYS_INFO_MODEL_7 = 7,
  SYS_INFO_MODEL_8 = 8,
  SYS_INFO_MODEL_9 = 9,
  SYS_INFO_MODEL_10 = 10,
  SYS_INFO_MODEL_11 = 11,
  SYS_INFO_MODEL_12 = 12,
  SYS_INFO_MODEL_13 = 13,
  SYS_INFO_MODEL_14 = 14,
  SYS_INFO_MODEL_15 = 15,
  SYS_INFO_MODEL_16 = 16,
  // No variant uses it: what an unmapped record answers.
  SYS_INFO_MODEL_UNKNOWN = -1,
};

enum SYS_INFO_DESTINATION : std::int32_t {
  SYS_INFO_DESTINATION_0 = 0,
  SYS_INFO_DESTINATION_1 = 1,
  SYS_INFO_DESTINATION_3 = 3,
  SYS_INFO_DESTINATION_5 = 5,
  SYS_INFO_DESTINATION_8 = 8,
  SYS_INFO_DESTINATION_13 = 13,
  SYS_INFO_DESTINATION_UNKNOWN = -1,
};

}  // namespace SystemDef
