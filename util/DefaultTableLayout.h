// The product's share of the factory default table ("SysDataDefault").
//
// The host's base operation fills the whole record first; the product then
// overwrites the fields listed here and leaves every other byte as the base
// wrote it. The fields are one declarative table so that the fill, the tools
// that print the table and the tests all read the same rows.
//
// Every number field is little-endian at an explicit byte offset: a word is
// 4 bytes (signed 32-bit), a byte is 1 byte. A row may stand for a run of
// equal fields (count entries, stride bytes apart), as in the frequency
// blocks whose entries are 12 bytes long.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/SysDataExport.h"
#include "platform/SystemDef.h"

namespace sysdata {

constexpr std::size_t kDefaultRecordSize = 5356;
// Where the variant's model name goes, NUL-terminated.
constexpr std::size_t kModelNameOffset = 4332;

enum class DefaultScope : std::uint8_t {
  // Written for every (model, destination) pair, recognised or not.
  EveryPair,
  // Written only for the 22 recognised pairs.
  RecognisedPairs,
};

enum class DefaultWidth : std::uint8_t {
  Text = 0,  // the model name: NUL-terminated text
  Byte = 1,
  Word = 4,
};

using DefaultRule = std::int32_t (*)(SystemDef::SYS_INFO_MODEL model,
                                     SystemDef::SYS_INFO_DESTINATION destination);

struct DefaultField {
  std::uint16_t offset;
  DefaultWidth width;
  std::uint8_t count;   // number of equal fields in the run (1 for a single field)
  std::uint8_t stride;  // bytes from one field of the run to the next
  DefaultScope scope;
  const char* key;          // settings key whose default this is, or null
  const char* description;  // what a person reading the table needs to know
  DefaultRule value;        // null for the Text row (the model name)
};

// The table in record order of its first field; defaultTableFieldCount() rows.
const DefaultField* defaultTableFields();
std::size_t defaultTableFieldCount();

// Whether field is written for the pair, and with which value (for a Text row
// the value is meaningless: use the variant's model name).
bool defaultFieldApplies(const DefaultField& field, SystemDef::SYS_INFO_MODEL model,
                         SystemDef::SYS_INFO_DESTINATION destination);

// Writes the product's fields for the pair into a record of
// kDefaultRecordSize bytes; bytes of no applicable field are not touched.
// Returns false, writing nothing, when record is null or size is too small.
bool applyProductDefaults(unsigned char* record, std::size_t size,
                          SystemDef::SYS_INFO_MODEL model,
                          SystemDef::SYS_INFO_DESTINATION destination);

}  // namespace sysdata
