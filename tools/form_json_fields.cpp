#include "tools/form_json_fields.h"

#include <cstdio>
#include <cstdlib>

#include "frame/byte_cursor.h"
#include "tools/gbk_text.h"

namespace {

bool AsInt64(const Json& value, int64_t* out) {
  if (value.is_number_unsigned()) {
    uint64_t u = value.get<uint64_t>();
    if (u > uint64_t(INT64_MAX)) return false;
    *out = int64_t(u);
    return true;
  }
  if (value.is_number_integer()) {
    *out = value.get<int64_t>();
    return true;
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses exactly `digits` hex digits (or 1..8 when digits is 0).
bool ParseHex(const std::string& s, size_t digits, uint32_t* out) {
  if (s.empty() || s.size() > 8 || (digits != 0 && s.size() != digits)) return false;
  uint32_t v = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return false;
    v = (v << 4) | uint32_t(d);
  }
  *out = v;
  return true;
}

void PutI32(std::vector<uint8_t>& out, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(uint32_t(v) >> (8 * i));
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
  bytes->clear();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

JsonFields::JsonFields(const Json& object, std::string prefix, std::string baseDir)
    : object_(object), prefix_(std::move(prefix)), baseDir_(std::move(baseDir)) {
  if (!object_.is_object()) {
    std::string name = prefix_.empty() ? "unit" : prefix_.substr(0, prefix_.size() - 1);
    throw FormCompileError(name + ": must be a JSON object");
  }
}

void JsonFields::Fail(const char* key, const std::string& what) const {
  throw FormCompileError(prefix_ + key + ": " + what);
}

const Json* JsonFields::Find(const char* key) {
  known_.insert(key);
  auto it = object_.find(key);
  return it == object_.end() ? nullptr : &*it;
}

bool JsonFields::Has(const char* key) const { return object_.find(key) != object_.end(); }

const Json* JsonFields::Value(const char* key) { return Find(key); }

int32_t JsonFields::Int(const char* key, int32_t def, int32_t min, int32_t max) {
  const Json* value = Find(key);
  if (!value) return def;
  int64_t v;
  if (!AsInt64(*value, &v)) Fail(key, "must be an integer");
  if (v < min || v > max) Fail(key, std::to_string(v) + " is out of range " + std::to_string(min) + ".." + std::to_string(max));
  return int32_t(v);
}

uint32_t JsonFields::Id(const char* key, uint32_t def) {
  const Json* value = Find(key);
  if (!value) return def;
  int64_t v;
  if (AsInt64(*value, &v)) {
    if (v < 0 || v > int64_t(UINT32_MAX)) Fail(key, "is out of range 0..0xFFFFFFFF");
    return uint32_t(v);
  }
  uint32_t id;
  if (value->is_string()) {
    const std::string& s = value->get_ref<const std::string&>();
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && ParseHex(s.substr(2), 0, &id)) return id;
  }
  Fail(key, "must be a number or a \"0x...\" hex string of at most 8 digits");
}

int32_t JsonFields::Flag(const char* key, bool def) {
  const Json* value = Find(key);
  if (!value) return def ? 1 : 0;
  if (value->is_boolean()) return value->get<bool>() ? 1 : 0;
  int64_t v;
  if (AsInt64(*value, &v) && (v == 0 || v == 1)) return int32_t(v);
  Fail(key, "must be true, false, 0 or 1");
}

uint32_t JsonFields::Color(const char* key, uint32_t def) {
  const Json* value = Find(key);
  if (!value) return def;
  if (value->is_string()) {
    const std::string& s = value->get_ref<const std::string&>();
    if (s == "default" || s == "none") return kDefaultColor;
    uint32_t rgb;
    if (s.size() == 7 && s[0] == '#' && ParseHex(s.substr(1), 6, &rgb)) {
      return ColorFromRgb(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
    }
  } else if (value->is_array() && value->size() == 3) {
    int64_t c[3];
    bool ok = true;
    for (int i = 0; i < 3; ++i) ok = ok && AsInt64((*value)[i], &c[i]) && c[i] >= 0 && c[i] <= 255;
    if (ok) return ColorFromRgb(uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]));
    Fail(key, "colour components must be integers 0..255");
  }
  Fail(key, "must be \"default\", \"none\", \"#RRGGBB\" or [r, g, b]");
}

std::string JsonFields::Utf8(const char* key, const std::string& def) {
  const Json* value = Find(key);
  if (!value) return def;
  if (!value->is_string()) Fail(key, "must be a string");
  return value->get<std::string>();
}

std::string JsonFields::Text(const char* key, const std::string& def) {
  if (!Has(key)) {
    known_.insert(key);
    return def;
  }
  std::string utf8 = Utf8(key, def);
  if (utf8.find('\0') != std::string::npos) Fail(key, "must not contain a NUL character");
  std::string gbk;
  if (!Utf8ToGbk(utf8, &gbk)) Fail(key, "\"" + utf8 + "\" cannot be converted to GBK");
  return gbk;
}

std::vector<uint8_t> JsonFields::File(const char* key) {
  const Json* value = Find(key);
  if (!value || value->is_null()) return {};
  if (!value->is_string() || value->get_ref<const std::string&>().empty()) {
    Fail(key, "must be a file path or null");
  }
  const std::string& path = value->get_ref<const std::string&>();
  std::string full = (path[0] == '/' || baseDir_.empty()) ? path : baseDir_ + "/" + path;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(full, &bytes)) Fail(key, "cannot read file '" + full + "'");
  if (bytes.empty()) Fail(key, "file '" + full + "' is empty");
  if (bytes.size() > UINT32_MAX) Fail(key, "file '" + full + "' is too large");
  return bytes;
}

std::vector<uint8_t> JsonFields::Font(const char* key) {
  const Json* value = Find(key);
  if (!value || value->is_null()) return {};
  JsonFields font(*value, prefix_ + key + ".", baseDir_);
  // LOGFONTA: five LONGs, eight BYTEs, then a 32-byte face name.
  std::vector<uint8_t> out(kLogFontSize, 0);
  PutI32(out, 0, font.Int("height", 0, INT32_MIN, INT32_MAX));
  PutI32(out, 4, font.Int("width", 0, INT32_MIN, INT32_MAX));
  PutI32(out, 8, font.Int("escapement", 0, INT32_MIN, INT32_MAX));
  PutI32(out, 12, font.Int("orientation", 0, INT32_MIN, INT32_MAX));
  PutI32(out, 16, font.Int("weight", 400, 0, 1000));
  out[20] = uint8_t(font.Flag("italic", false));
  out[21] = uint8_t(font.Flag("underline", false));
  out[22] = uint8_t(font.Flag("strikeOut", false));
  out[23] = uint8_t(font.Int("charSet", 134, 0, 255));
  out[24] = uint8_t(font.Int("outPrecision", 0, 0, 255));
  out[25] = uint8_t(font.Int("clipPrecision", 0, 0, 255));
  out[26] = uint8_t(font.Int("quality", 0, 0, 255));
  out[27] = uint8_t(font.Int("pitchAndFamily", 0, 0, 255));
  std::string face = font.Text("faceName", "");
  if (face.size() > 31) font.Fail("faceName", "is longer than 31 GBK bytes");
  std::copy(face.begin(), face.end(), out.begin() + 28);
  font.Finish();
  return out;
}

void JsonFields::Finish() const {
  for (auto it = object_.begin(); it != object_.end(); ++it) {
    if (!known_.count(it.key())) throw FormCompileError(prefix_ + it.key() + ": unknown key");
  }
}
