// The typed-key helpers: each value reaches the store through the Set (or
// SetForImportExport) overload of its own type, which fixes the file format,
// and reads come back as the asked type.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "settings/KeyTable.h"

namespace {

using sysdata::KeyType;
using sysdata::KeyValue;

// Records every typed call; serves Gets from a map of (overload, key).
class RecordingFile : public SaveFileAccessMetaText {
 public:
  std::vector<std::string> calls;
  std::map<std::string, std::string> stored;  // "int:Key" -> value text

  bool FOpen() override { return true; }
  bool FClose() override { return true; }
  bool getFullPath(std::string& path) const override {
    path = "/fake";
    return true;
  }
  bool FOpenForImportExport(const char*) override { return true; }
  bool FCloseForImportExport() override { return true; }
  bool FlushForImportExport() override { return true; }
  const std::string& name() const override { return name_; }

  bool Set(const char* key, int v) override { return note("Set(int)", key, std::to_string(v)); }
  bool Set(const char* key, unsigned int v) override { return note("Set(unsigned int)", key, std::to_string(v)); }
  bool Set(const char* key, bool v) override { return note("Set(bool)", key, v ? "true" : "false"); }
  bool Set(const char* key, unsigned char v) override {
    return note("Set(unsigned char)", key, std::to_string(static_cast<unsigned>(v)));
  }
  bool Set(const char* key, const std::string& v) override { return note("Set(string)", key, v); }

  bool Get(const char* key, int* v) override { return fetch("int", key, [&](const std::string& s) { *v = std::stoi(s); }); }
  bool Get(const char* key, unsigned int* v) override {
    return fetch("unsigned int", key, [&](const std::string& s) { *v = static_cast<unsigned>(std::stoul(s)); });
  }
  bool Get(const char* key, bool* v) override { return fetch("bool", key, [&](const std::string& s) { *v = s == "1"; }); }
  bool Get(const char* key, unsigned char* v) override {
    return fetch("unsigned char", key, [&](const std::string& s) { *v = static_cast<unsigned char>(std::stoi(s)); });
  }
  bool Get(const char* key, std::string* v) override { return fetch("string", key, [&](const std::string& s) { *v = s; }); }
  bool GetKeys(std::vector<std::string>*) override { return false; }
  bool Flush() override { return true; }

  bool SetForImportExport(const char* key, int v) override {
    return note("SetForImportExport(int)", key, std::to_string(v));
  }
  bool SetForImportExport(const char* key, unsigned int v) override {
    return note("SetForImportExport(unsigned int)", key, std::to_string(v));
  }
  bool SetForImportExport(const char* key, bool v) override {
    return note("SetForImportExport(bool)", key, v ? "true" : "false");
  }
  bool SetForImportExport(const char* key, unsigned char v) override {
    return note("SetForImportExport(unsigned char)", key, std::to_string(static_cast<unsigned>(v)));
  }
  bool SetForImportExport(const char* key, const std::string& v) override {
    return note("SetForImportExport(string)", key, v);
  }
  bool GetForImportExport(const char*, int*) override { return false; }

 private:
  bool note(const char* op, const char* key, const std::string& value) {
    calls.push_back(std::string(op) + " " + key + "=" + value);
    return true;
  }
  template <class F>
  bool fetch(const char* type, const char* key, F assign) {
    const auto it = stored.find(std::string(type) + ":" + key);
    if (it == stored.end()) return false;
    assign(it->second);
    return true;
  }
  std::string name_ = "Fake.ini";
};

struct Row {
  const char* label;
  KeyValue value;
  const char* overload;  // the type in the recorded call
  const char* text;      // the value as recorded, and as toString gives it
  const char* typeName;
};

std::vector<Row> rows() {
  return {
      {"int negative", KeyValue::of(-5), "int", "-5", "int"},
      {"int max", KeyValue::of(2147483647), "int", "2147483647", "int"},
      {"unsigned max", KeyValue::of(4294967295u), "unsigned int", "4294967295", "unsigned int"},
      {"bool true", KeyValue::of(true), "bool", "true", "bool"},
      {"bool false", KeyValue::of(false), "bool", "false", "bool"},
      {"unsigned char 255", KeyValue::of(static_cast<unsigned char>(255)), "unsigned char", "255", "unsigned char"},
      {"string", KeyValue::of(std::string("Car Multimedia")), "string", "Car Multimedia", "std::string"},
      {"empty string", KeyValue::of(std::string()), "string", "", "std::string"},
  };
}

TEST(KeyTable, EachValueGoesThroughTheOverloadOfItsType) {
  for (const Row& row : rows()) {
    SCOPED_TRACE(row.label);
    RecordingFile file;
    EXPECT_TRUE(sysdata::setKey(file, "K", row.value));
    EXPECT_TRUE(sysdata::setKeyForImportExport(file, "K", row.value));
    ASSERT_EQ(file.calls.size(), 2u);
    EXPECT_EQ(file.calls[0], std::string("Set(") + row.overload + ") K=" + row.text);
    EXPECT_EQ(file.calls[1], std::string("SetForImportExport(") + row.overload + ") K=" + row.text);
    EXPECT_EQ(row.value.toString(), row.text);
    EXPECT_STREQ(sysdata::keyTypeName(row.value.type), row.typeName);
  }
}

TEST(KeyTable, GetReadsTheAskedTypeAndReportsMissingKeys) {
  RecordingFile file;
  file.stored = {{"int:A", "-7"}, {"unsigned int:B", "9"}, {"bool:C", "1"}, {"unsigned char:D", "6"},
                 {"string:E", "x y"}};
  struct Case {
    const char* key;
    KeyType type;
    bool found;
    KeyValue want;
  };
  const std::vector<Case> cases = {
      {"A", KeyType::Int, true, KeyValue::of(-7)},
      {"B", KeyType::UInt, true, KeyValue::of(9u)},
      {"C", KeyType::Bool, true, KeyValue::of(true)},
      {"D", KeyType::UChar, true, KeyValue::of(static_cast<unsigned char>(6))},
      {"E", KeyType::String, true, KeyValue::of(std::string("x y"))},
      {"A", KeyType::String, false, KeyValue()},
      {"Missing", KeyType::Int, false, KeyValue()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " as " + sysdata::keyTypeName(c.type));
    KeyValue out = KeyValue::of(12345);
    EXPECT_EQ(sysdata::getKey(file, c.key, c.type, &out), c.found);
    if (c.found) {
      EXPECT_TRUE(out == c.want) << out.toString();
    } else {
      EXPECT_TRUE(out == KeyValue::of(12345)) << "left alone";
    }
  }
  EXPECT_FALSE(sysdata::getKey(file, "A", KeyType::Int, nullptr));
}

TEST(KeyTable, ValuesCompareByTypeAndValue) {
  EXPECT_TRUE(KeyValue::of(1) == KeyValue::of(1));
  EXPECT_FALSE(KeyValue::of(1) == KeyValue::of(1u)) << "same number, other type";
  EXPECT_FALSE(KeyValue::of(1) == KeyValue::of(true));
  EXPECT_FALSE(KeyValue::of(std::string("a")) == KeyValue::of(std::string("b")));
  EXPECT_TRUE(KeyValue::of(static_cast<unsigned char>(7)) == KeyValue::of(static_cast<unsigned char>(7)));
}

}  // namespace
