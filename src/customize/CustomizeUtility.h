// Parsing shared by every pass over a dealer customization file.
//
// The file is read line by line. Before a line is examined its TAB, LF and CR
// characters are removed (spaces stay). A line is an entry of a key when it
// begins with the key's bracketed text ("[miclevel]"); its value is the text
// after the first "]". A raw line beginning with "~END" ends the file.
#pragma once

#include <string>

#include "core/SysDataExport.h"

class CustomizeUtility {
 public:
  // Line buffers of the passes. The header is read into the small one. The
  // validation, import and apply passes all read with the large one, so that
  // a line longer than a buffer is cut at the same place for every pass and
  // the apply pass never sees a value that validation did not see.
  static constexpr int kHeaderLineSize = 128;
  static constexpr int kLineSize = 320;

  // The number after the first "]" of line: at most 15 characters of it,
  // converted as "%x" does on the 32-bit target (see parseHex). Without a
  // "]" the failure is logged. value is written only on success.
  static bool getValue(const char* line, unsigned int& value);
  // The whole rest of line after its first "]". Without a "]" the failure is
  // logged and value is left alone.
  static bool getValue(const char* line, std::string& value);

  // Hexadecimal conversion with the result of sscanf "%x" into an unsigned
  // int on the 32-bit target, whatever the width of long on this build:
  // leading white space is skipped, one sign is accepted ("-5" is
  // 0xFFFFFFFB), an optional "0x"/"0X" follows ("0x" alone is 0), digits run
  // to the first non-hexadecimal character, and a number beyond 32 bits
  // saturates to 0xFFFFFFFF (with or without a sign). False when no digit
  // (and no "0x") was converted.
  static bool parseHex(const char* text, unsigned int& value);

  // Removes every TAB, LF and CR.
  static void removeControlChars(char* line);
  static void removeControlChars(std::string& line);
  // True when the raw line, as read, begins with "~END".
  static bool isEndLine(const char* rawLine);
  // True when line begins with key (case-sensitive, over key's length).
  static bool startsWith(const std::string& line, const char* key);
  // path up to and including its last "/", or empty without a "/".
  static std::string directoryOf(const std::string& path);
};
