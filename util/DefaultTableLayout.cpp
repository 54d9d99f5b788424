#include "util/DefaultTableLayout.h"

#include "core/LittleEndian.h"
#include "core/Variants.h"
#include "platform/TqStrUtil.h"

namespace sysdata {
namespace {

using Model = SystemDef::SYS_INFO_MODEL;
using Dest = SystemDef::SYS_INFO_DESTINATION;

// ---- value rules ----

template <std::int32_t V>
std::int32_t fixed(Model, Dest) {
  return V;
}

// FM/AM presets: one value for destination 3, another for every other
// recognised destination.
template <std::int32_t ForDest3, std::int32_t Otherwise>
std::int32_t dest3Else(Model, Dest destination) {
  return destination == SystemDef::SYS_INFO_DESTINATION_3 ? ForDest3 : Otherwise;
}

// A value per recognised destination (1, 3, 5, 8, 13).
template <std::int32_t D1, std::int32_t D3, std::int32_t D5, std::int32_t D8, std::int32_t D13>
std::int32_t byDestination(Model, Dest destination) {
  switch (destination) {
    case SystemDef::SYS_INFO_DESTINATION_1:
      return D1;
    case SystemDef::SYS_INFO_DESTINATION_3:
      return D3;
    case SystemDef::SYS_INFO_DESTINATION_5:
      return D5;
    case SystemDef::SYS_INFO_DESTINATION_8:
      return D8;
    case SystemDef::SYS_INFO_DESTINATION_13:
      return D13;
    default:
      // Only recognised pairs reach a destination rule.
      return D3;
  }
}

bool isModel(Model model, std::int32_t first, std::int32_t last) {
  return static_cast<std::int32_t>(model) >= first && static_cast<std::int32_t>(model) <= last;
}

// Models 0, 3, 5, 9 and 10 carry the larger screen geometry.
bool largeGeometry(Model model) {
  return model == SystemDef::SYS_INFO_MODEL_0 || model == SystemDef::SYS_INFO_MODEL_3 ||
         model == SystemDef::SYS_INFO_MODEL_5 || model == SystemDef::SYS_INFO_MODEL_9 ||
         model == SystemDef::SYS_INFO_MODEL_10;
}

template <std::int32_t Large, std::int32_t Other>
std::int32_t byGeometry(Model model, Dest) {
  return largeGeometry(model) ? Large : Other;
}

// Models 15 and 16 form their own family.
bool family15(Model model) { return isModel(model, 15, 16); }

template <std::int32_t InFamily, std::int32_t Other>
std::int32_t byFamily15(Model model, Dest) {
  return family15(model) ? InFamily : Other;
}

std::int32_t field908(Model model, Dest) { return isModel(model, 0, 2) ? 2 : 0; }

std::int32_t clockSync(Model model, Dest) {
  if (isModel(model, 0, 2)) return 0;
  if (isModel(model, 11, 14)) return 3;
  return 1;
}

std::int32_t expConnect(Model model, Dest) { return isModel(model, 0, 10) ? 2 : 0; }

std::int32_t field4328(Model model, Dest destination) {
  if (destination == SystemDef::SYS_INFO_DESTINATION_3 && family15(model)) return 8;
  if (model == SystemDef::SYS_INFO_MODEL_16 && destination == SystemDef::SYS_INFO_DESTINATION_8) return 9;
  return 4;
}

std::int32_t field4407(Model model, Dest destination) {
  if (family15(model)) return 'd';
  if (isModel(model, 11, 12) && destination == SystemDef::SYS_INFO_DESTINATION_13) return ':';
  return '0';
}

std::int32_t field4460(Model model, Dest destination) {
  return destination == SystemDef::SYS_INFO_DESTINATION_3 && isModel(model, 0, 7) ? 1 : 0;
}

constexpr DefaultWidth W = DefaultWidth::Word;
constexpr DefaultWidth B = DefaultWidth::Byte;
constexpr DefaultScope ALL = DefaultScope::EveryPair;
constexpr DefaultScope REC = DefaultScope::RecognisedPairs;

// Frequency entries are a frequency word and two trailing words, 12 bytes.
constexpr std::uint8_t kEntry = 12;

const DefaultField kFields[] = {
    // {offset, width, count, stride, scope, key, description, value}
    {12, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    {72, W, 1, 0, ALL, nullptr, "common: 1", &fixed<1>},
    {224, W, 1, 0, ALL, nullptr, "common: 1", &fixed<1>},
    {244, W, 1, 0, ALL, nullptr, "common: 10", &fixed<10>},
    {248, W, 1, 0, ALL, nullptr, "common: 10", &fixed<10>},
    {252, W, 1, 0, REC, nullptr, "by model: screen geometry 1", &byGeometry<160, 100>},
    {256, W, 1, 0, REC, nullptr, "by model: screen geometry 2", &byGeometry<540, 360>},
    {260, W, 1, 0, REC, nullptr, "by model: screen geometry 3", &byGeometry<1120, 700>},
    {264, W, 1, 0, REC, nullptr, "by model: screen geometry 4", &byGeometry<540, 360>},
    {268, W, 1, 0, REC, nullptr, "by model: screen geometry 5", &byGeometry<480, 300>},
    {272, W, 1, 0, REC, nullptr, "by model: screen geometry 6", &byGeometry<180, 120>},
    {276, W, 1, 0, REC, nullptr, "by model: screen geometry 7", &byGeometry<800, 500>},
    {280, W, 1, 0, REC, nullptr, "by model: screen geometry 8", &byGeometry<180, 120>},
    {284, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    {292, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    {300, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    {332, W, 1, 0, REC, nullptr, "by model: 1 for models 15, 16", &byFamily15<1, 0>},
    {736, W, 1, 0, ALL, nullptr, "common: 1", &fixed<1>},
    {824, W, 1, 0, ALL, nullptr, "common: 1", &fixed<1>},
    {908, W, 1, 0, REC, nullptr, "by model: 2 for models 0-2", &field908},
    {1756, W, 1, 0, ALL, "AntennaControlOnOff", "common", &fixed<1>},
    {1764, W, 1, 0, ALL, "BeepOnOff", "common", &fixed<1>},
    {1768, W, 1, 0, ALL, "BeepVol", "common", &fixed<3>},
    {1772, W, 1, 0, ALL, "ClockOnOff", "common", &fixed<1>},
    {1776, W, 1, 0, REC, "ClockSync", "by model: 0 for 0-2, 3 for 11-14, else 1", &clockSync},
    {1784, W, 1, 0, ALL, "DemoOnOff", "common", &fixed<1>},
    {1788, W, 1, 0, ALL, "DimmerControl", "common", &fixed<2>},
    {1800, W, 1, 0, REC, "ExpConnect", "by model: 2 for models 0-10", &expConnect},
    {1808, W, 1, 0, ALL, "KeyIllumiPreset", "common", &fixed<13>},
    {1812, W, 1, 0, ALL, "KeyIllumiRGBUser1Dim", "common: bytes 31, 31, 31, 0", &fixed<2039583>},
    {1832, W, 1, 0, ALL, "SecurityIndicator", "common", &fixed<0>},
    {1836, W, 1, 0, ALL, "SetupmemLock", "common", &fixed<0>},
    {1840, W, 1, 0, REC, "SystemLang", "by destination", &byDestination<2, 1, 2, 2, 2>},
    {1844, W, 1, 0, REC, "TimeZone", "by destination", &byDestination<29, 4, 78, 62, 62>},
    {1928, W, 1, 0, REC, "SteeringWheelPosition", "by destination", &byDestination<1, 1, 0, 0, 0>},
    {2196, W, 1, 0, REC, nullptr, "by model: 1 for models 15, 16", &byFamily15<1, 0>},
    {2784, W, 1, 0, REC, nullptr, "by model: 0 for models 15, 16", &byFamily15<0, 1>},
    {3080, W, 1, 0, REC, nullptr, "by model: 1 for models 15, 16", &byFamily15<1, 0>},
    {3604, B, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    {3684, W, 1, 0, REC, nullptr, "by model: 0 for models 15, 16", &byFamily15<0, 1>},
    {3784, W, 1, 0, ALL, nullptr, "common: 992", &fixed<992>},
    {3788, W, 1, 0, ALL, nullptr, "common: 50", &fixed<50>},
    {3792, W, 1, 0, ALL, nullptr, "common: 894", &fixed<894>},
    {3796, W, 1, 0, ALL, nullptr, "common: 109", &fixed<109>},
    {4328, W, 1, 0, REC, nullptr, "by pair: 8 for 15/3 and 16/3, 9 for 16/8", &field4328},
    {static_cast<std::uint16_t>(kModelNameOffset), DefaultWidth::Text, 1, 0, REC, nullptr,
     "model name of the variant", nullptr},
    {4405, B, 2, 1, REC, nullptr, "by model: 'd' for models 15, 16, else 'G'", &byFamily15<'d', 'G'>},
    {4407, B, 1, 0, REC, nullptr, "by pair: 'd' for 15, 16; ':' for 11, 12 with 13; else '0'", &field4407},
    {4420, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    {4424, W, 1, 0, REC, nullptr, "by destination", &byDestination<1, 0, 1, 0, 0>},
    {4428, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    {4432, W, 3, 4, ALL, nullptr, "common: 1", &fixed<1>},
    {4450, B, 2, 1, ALL, nullptr, "common: 0", &fixed<0>},
    {4452, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    {4456, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    {4460, W, 1, 0, REC, nullptr, "by pair: 1 for destination 3 with models 0-7", &field4460},
    {4464, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    // FM block, 18 entries from 4476.
    {4476, W, 1, 0, REC, nullptr, "FM block entry 0", &dest3Else<8790, 8750>},
    {4480, W, 18, kEntry, ALL, nullptr, "FM block: first trailing word of each entry", &fixed<0>},
    {4484, W, 18, kEntry, ALL, nullptr, "FM block: second trailing word of each entry", &fixed<0>},
    {4488, W, 1, 0, ALL, nullptr, "FM block entry 1", &fixed<8990>},
    {4500, W, 1, 0, ALL, nullptr, "FM block entry 2", &fixed<9790>},
    {4512, W, 1, 0, ALL, nullptr, "FM block entry 3", &fixed<10590>},
    {4524, W, 1, 0, REC, nullptr, "FM block entry 4", &dest3Else<10790, 10800>},
    {4536, W, 10, kEntry, REC, nullptr, "FM block entries 5-14", &dest3Else<8790, 8750>},
    {4656, W, 3, kEntry, REC, nullptr, "FM block entries 15-17", &byDestination<9790, 9790, 8750, 8750, 8750>},
    // AM block, 6 entries from 5052.
    {5052, W, 1, 0, REC, nullptr, "AM block entry 0", &dest3Else<530, 531>},
    {5056, W, 6, kEntry, ALL, nullptr, "AM block: first trailing word of each entry", &fixed<0>},
    {5060, W, 6, kEntry, ALL, nullptr, "AM block: second trailing word of each entry", &fixed<0>},
    {5064, W, 1, 0, REC, nullptr, "AM block entry 1", &dest3Else<600, 603>},
    {5076, W, 1, 0, REC, nullptr, "AM block entry 2", &dest3Else<1000, 999>},
    {5088, W, 1, 0, REC, nullptr, "AM block entry 3", &dest3Else<1500, 1404>},
    {5100, W, 1, 0, REC, nullptr, "AM block entry 4", &dest3Else<1700, 1602>},
    {5112, W, 1, 0, REC, nullptr, "AM block entry 5", &byDestination<999, 1000, 531, 531, 531>},
    {5244, W, 1, 0, REC, nullptr, "by destination", &byDestination<1, 2, 1, 1, 1>},
    {5248, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    {5252, W, 2, 4, ALL, nullptr, "common: 1", &fixed<1>},
    {5260, W, 1, 0, REC, nullptr, "by destination", &byDestination<2, 0, 0, 0, 0>},
    {5264, W, 1, 0, ALL, nullptr, "common: 1", &fixed<1>},
    {5268, W, 1, 0, REC, nullptr, "by destination", &byDestination<0, 1, 0, 0, 0>},
    {5272, W, 3, 4, ALL, nullptr, "common: 0", &fixed<0>},
    {5284, W, 1, 0, REC, nullptr, "by destination", &byDestination<3, 1, 6, 7, 7>},
    {5292, W, 1, 0, ALL, nullptr, "common: 0", &fixed<0>},
    // Mixed block, 4 entries from 5296: three FM values and one AM value.
    {5296, W, 1, 0, ALL, nullptr, "mixed block entry 0 (FM)", &fixed<9790>},
    {5300, W, 4, kEntry, ALL, nullptr, "mixed block: first trailing word of each entry", &fixed<0>},
    {5304, W, 4, kEntry, ALL, nullptr, "mixed block: second trailing word of each entry", &fixed<0>},
    {5308, W, 2, kEntry, REC, nullptr, "mixed block entries 1-2 (FM)", &dest3Else<8790, 8750>},
    {5332, W, 1, 0, REC, nullptr, "mixed block entry 3 (AM)", &dest3Else<1000, 999>},
    {5344, W, 1, 0, ALL, nullptr, "common: 0, after the mixed block", &fixed<0>},
    {5352, W, 1, 0, REC, nullptr, "by destination, as 5284", &byDestination<3, 1, 6, 7, 7>},
};

constexpr std::size_t kFieldCount = sizeof(kFields) / sizeof(kFields[0]);

std::size_t widthBytes(DefaultWidth width) {
  return width == DefaultWidth::Word ? 4u : width == DefaultWidth::Byte ? 1u : 0u;
}

}  // namespace

const DefaultField* defaultTableFields() { return kFields; }
std::size_t defaultTableFieldCount() { return kFieldCount; }

bool defaultFieldApplies(const DefaultField& field, SystemDef::SYS_INFO_MODEL model,
                         SystemDef::SYS_INFO_DESTINATION destination) {
  return field.scope == DefaultScope::EveryPair || findVariant(model, destination) != nullptr;
}

bool applyProductDefaults(unsigned char* record, std::size_t size, SystemDef::SYS_INFO_MODEL model,
                          SystemDef::SYS_INFO_DESTINATION destination) {
  if (record == nullptr || size < kDefaultRecordSize) return false;
  const Variant* variant = findVariant(model, destination);
  for (const DefaultField& field : kFields) {
    if (field.scope == DefaultScope::RecognisedPairs && variant == nullptr) continue;
    if (field.width == DefaultWidth::Text) {
      // The name's length plus 3 as the bound: room for the NUL, and the
      // copy can never run past the name it was sized for.
      const char* name = variant->modelName;
      std::size_t length = 0;
      while (name[length] != '\0') ++length;
      if (field.offset + length + 1 <= kDefaultRecordSize) {
        tq_strcpy(reinterpret_cast<char*>(record + field.offset), static_cast<unsigned int>(length + 3), name);
      }
      continue;
    }
    const std::int32_t value = field.value(model, destination);
    const std::size_t bytes = widthBytes(field.width);
    for (std::size_t n = 0; n < field.count; ++n) {
      const std::size_t at = field.offset + n * field.stride;
      if (at + bytes > kDefaultRecordSize) break;
      if (field.width == DefaultWidth::Word) {
        storeI32(record + at, value);
      } else {
        record[at] = static_cast<unsigned char>(value);
      }
    }
  }
  return true;
}

}  // namespace sysdata
