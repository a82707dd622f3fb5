// Typed reading of one JSON object of a form description, for the form
// compiler and its kind encoders. Host tools only.
//
// Every accessor marks its key as known; Finish() then reports the first key
// that no accessor asked for, so that a misspelt key is an error rather than
// a silently ignored value. Errors are thrown as FormCompileError whose text
// is "<prefix><key>: <what>" (the compiler adds the file and unit name).
#pragma once

#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

class FormCompileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class JsonFields {
 public:
  // object must be a JSON object (else FormCompileError). prefix names the
  // object in messages ("props." for a unit's props); baseDir resolves the
  // relative paths of File().
  JsonFields(const Json& object, std::string prefix, std::string baseDir);

  bool Has(const char* key) const;
  // An integer in [min, max]; def when the key is absent.
  int32_t Int(const char* key, int32_t def, int32_t min, int32_t max);
  // A 32-bit id: a number or a "0x..." hex string; def when absent.
  uint32_t Id(const char* key, uint32_t def);
  // true/false or 0/1, stored as 1/0.
  int32_t Flag(const char* key, bool def);
  // "default" or "none" (both kDefaultColor), "#RRGGBB", or [r, g, b].
  uint32_t Color(const char* key, uint32_t def);
  // A string converted to GBK; it may not hold a NUL. def (already GBK) when absent.
  std::string Text(const char* key, const std::string& def);
  // A string as written (UTF-8); def when absent.
  std::string Utf8(const char* key, const std::string& def);
  // The bytes of the file named by a path relative to baseDir; empty when
  // the key is absent or null. A missing, unreadable or empty file is an error.
  std::vector<uint8_t> File(const char* key);
  // A font object turned into a 60-byte LOGFONTA; empty when absent or null.
  // Keys: height, width, escapement, orientation, weight, italic, underline,
  // strikeOut, charSet, outPrecision, clipPrecision, quality, pitchAndFamily,
  // faceName (at most 31 GBK bytes).
  std::vector<uint8_t> Font(const char* key);
  // A nested value for the caller to walk; null when absent.
  const Json* Value(const char* key);
  // Throws for the first key that no accessor has asked for.
  void Finish() const;

  [[noreturn]] void Fail(const char* key, const std::string& what) const;
  const std::string& BaseDir() const { return baseDir_; }

 private:
  const Json* Find(const char* key);

  const Json& object_;
  std::string prefix_;
  std::string baseDir_;
  std::set<std::string> known_;
};

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);
