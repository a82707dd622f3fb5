#include "tools/version_info.h"

#include <cstdlib>

#include "frame/byte_cursor.h"

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedStructVersion = 0x00010000;
constexpr uint32_t kFixedFlagsMask = 0x3F;
constexpr uint32_t kOsNtWindows32 = 0x00040004;
constexpr uint32_t kTypeApplication = 1;
constexpr uint16_t kFixedInfoSize = 52;
constexpr uint16_t kCodePageUnicode = 1200;
constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;

void Pad4(std::vector<uint8_t>* out) {
  while (out->size() % 4 != 0) out->push_back(0);
}

void PutUtf16(std::vector<uint8_t>* out, const std::u16string& text) {
  for (char16_t c : text) {
    out->push_back(static_cast<uint8_t>(c));
    out->push_back(static_cast<uint8_t>(c >> 8));
  }
  out->push_back(0);
  out->push_back(0);
}

// One node of the version tree: length, value length, type, key, the value
// and the children, each starting on a 32-bit boundary. The length covers
// the node up to the end of its last child, without padding after it.
std::vector<uint8_t> Node(const std::u16string& key, uint16_t type, uint16_t valueLength,
                          const std::vector<uint8_t>& value,
                          const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> out(6, 0);
  PutUtf16(&out, key);
  if (!value.empty()) {
    Pad4(&out);
    out.insert(out.end(), value.begin(), value.end());
  }
  for (const std::vector<uint8_t>& child : children) {
    Pad4(&out);
    out.insert(out.end(), child.begin(), child.end());
  }
  const size_t length = out.size();
  out[0] = static_cast<uint8_t>(length);
  out[1] = static_cast<uint8_t>(length >> 8);
  out[2] = static_cast<uint8_t>(valueLength);
  out[3] = static_cast<uint8_t>(valueLength >> 8);
  out[4] = static_cast<uint8_t>(type);
  out[5] = 0;
  return out;
}

std::vector<uint8_t> StringNode(const std::u16string& key, const std::u16string& value) {
  std::vector<uint8_t> bytes;
  PutUtf16(&bytes, value);
  return Node(key, kText, static_cast<uint16_t>(value.size() + 1), bytes, {});
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

bool ParseFileVersion(const std::string& text, FileVersion* version) {
  FileVersion parsed;
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t dot = text.find('.', start);
    const std::string part = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    const unsigned long value = std::strtoul(part.c_str(), nullptr, 10);
    if (value > 0xFFFF) return false;
    parsed.part[i] = static_cast<uint16_t>(value);
    if (dot == std::string::npos) {
      for (int j = i + 1; j < 4; ++j) parsed.part[j] = 0;
      *version = parsed;
      return true;
    }
    start = dot + 1;
  }
  return false;  // a fifth part
}

std::string FormatFileVersion(const FileVersion& v) {
  return std::to_string(v.part[0]) + "." + std::to_string(v.part[1]) + "." + std::to_string(v.part[2]) +
         "." + std::to_string(v.part[3]);
}

std::vector<uint8_t> BuildVersionResource(const FileVersion& version, const VersionStrings& strings) {
  const uint32_t ms = (uint32_t(version.part[0]) << 16) | version.part[1];
  const uint32_t ls = (uint32_t(version.part[2]) << 16) | version.part[3];
  ByteWriter fixed;
  fixed.U32(kFixedSignature);
  fixed.U32(kFixedStructVersion);
  fixed.U32(ms);  // file version
  fixed.U32(ls);
  fixed.U32(ms);  // product version
  fixed.U32(ls);
  fixed.U32(kFixedFlagsMask);
  fixed.U32(0);  // flags
  fixed.U32(kOsNtWindows32);
  fixed.U32(kTypeApplication);
  fixed.U32(0);  // subtype
  fixed.U32(0);  // date
  fixed.U32(0);

  const std::u16string text = Ascii(FormatFileVersion(version));
  std::vector<std::vector<uint8_t>> table = {StringNode(u"FileDescription", strings.fileDescription),
                                             StringNode(u"FileVersion", text)};
  if (!strings.productName.empty()) table.push_back(StringNode(u"ProductName", strings.productName));
  table.push_back(StringNode(u"ProductVersion", text));
  const std::vector<uint8_t> stringFileInfo =
      Node(u"StringFileInfo", kText, 0, {}, {Node(u"080404b0", kText, 0, {}, table)});

  ByteWriter translation;
  translation.U16(kVersionLanguage);
  translation.U16(kCodePageUnicode);
  const std::vector<uint8_t> varFileInfo =
      Node(u"VarFileInfo", kText, 0, {}, {Node(u"Translation", kBinary, 4, translation.Data(), {})});

  return Node(u"VS_VERSION_INFO", kBinary, kFixedInfoSize, fixed.Data(), {stringFileInfo, varFileInfo});
}

bool ReadFixedFileVersion(const std::vector<uint8_t>& resource, FileVersion* version) {
  ByteCursor c(resource.data(), resource.size());
  uint16_t length = 0, valueLength = 0, type = 0;
  c.ReadU16(&length, "version length");
  c.ReadU16(&valueLength, "version value length");
  c.ReadU16(&type, "version type");
  for (char16_t expected : std::u16string(u"VS_VERSION_INFO") + u'\0') {
    uint16_t unit = 0;
    if (!c.ReadU16(&unit, "version key") || unit != expected) return false;
  }
  c.Skip(2, "padding");  // the key ends at offset 38; the value starts at 40
  uint32_t signature = 0, structVersion = 0, ms = 0, ls = 0;
  c.ReadU32(&signature, "fixed signature");
  c.ReadU32(&structVersion, "fixed structure version");
  c.ReadU32(&ms, "file version");
  c.ReadU32(&ls, "file version");
  if (!c.Ok() || valueLength < kFixedInfoSize || signature != kFixedSignature) return false;
  version->part[0] = static_cast<uint16_t>(ms >> 16);
  version->part[1] = static_cast<uint16_t>(ms);
  version->part[2] = static_cast<uint16_t>(ls >> 16);
  version->part[3] = static_cast<uint16_t>(ls);
  return true;
}
