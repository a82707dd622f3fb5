#include "payload/entry_rules.h"

#include <cstring>

namespace {

// 100-ns intervals from 1601-01-01 to 1970-01-01.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
constexpr uint64_t kTicksPerSecond = 10000000ull;
constexpr uint8_t kLeadByteFirst = 0x81;
constexpr uint8_t kLeadByteLast = 0xFE;

bool IsLeadByte(char c) {
  const uint8_t b = static_cast<uint8_t>(c);
  return b >= kLeadByteFirst && b <= kLeadByteLast;
}

bool IsTrailByte(char c) {
  const uint8_t b = static_cast<uint8_t>(c);
  return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// Bytes taken by the character starting at text[i] inside text[0, length).
// A lead byte without a trail byte after it stands alone.
size_t CharSize(const char* text, size_t i, size_t length) {
  return (IsLeadByte(text[i]) && i + 1 < length && IsTrailByte(text[i + 1])) ? 2 : 1;
}

// The characters of a name in its encoding; a UTF-8 name has been checked
// to be well-formed first.
size_t NameCharSize(const char* text, size_t i, size_t length, EntryNameEncoding encoding) {
  if (encoding == EntryNameEncoding::kUtf8) return Utf8CharSize(text + i, length - i);
  return CharSize(text, i, length);
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsLeapYear(uint32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

uint32_t DaysInMonth(uint32_t year, uint32_t month) {
  static const uint8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (month == 2 && IsLeapYear(year)) ? 29 : kDays[month - 1];
}

// Days from 1601-01-01 to the given date of the proleptic Gregorian calendar
// (year >= 1601, month 1-12).
uint64_t DaysSince1601(uint32_t year, uint32_t month, uint32_t day) {
  const uint32_t y = year - 1601;
  uint64_t days = 365ull * y + y / 4 - y / 100 + y / 400;
  for (uint32_t m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

uint32_t ReadLe16(const uint8_t* p) { return p[0] | (static_cast<uint32_t>(p[1]) << 8); }

uint32_t ReadLe32(const uint8_t* p) {
  return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True for a component that Windows resolves to the parent folder: ".."
// followed only by dots and spaces, which are trimmed from a component's end.
bool IsParentComponent(const char* part, size_t length) {
  if (length < 2 || part[0] != '.' || part[1] != '.') return false;
  for (size_t i = 2; i < length; ++i) {
    if (part[i] != '.' && part[i] != ' ') return false;
  }
  return true;
}

// True for a component naming a DOS device: the part before the first dot,
// trailing spaces ignored, is CON, PRN, AUX, NUL, COMn or LPTn (n = 1-9).
bool IsReservedDeviceComponent(const char* part, size_t length) {
  size_t stem = 0;
  while (stem < length && part[stem] != '.') ++stem;
  while (stem > 0 && part[stem - 1] == ' ') --stem;
  if (stem != 3 && stem != 4) return false;
  char upper[4];
  for (size_t i = 0; i < stem; ++i) upper[i] = AsciiUpper(part[i]);
  if (stem == 3) {
    static const char kNames[4][3] = {{'C', 'O', 'N'}, {'P', 'R', 'N'}, {'A', 'U', 'X'},
                                      {'N', 'U', 'L'}};
    for (const auto& n : kNames) {
      if (std::memcmp(upper, n, 3) == 0) return true;
    }
    return false;
  }
  const bool portPrefix = std::memcmp(upper, "COM", 3) == 0 || std::memcmp(upper, "LPT", 3) == 0;
  return portPrefix && upper[3] >= '1' && upper[3] <= '9';
}

bool IsInvalidNameByte(char c) {
  const uint8_t b = static_cast<uint8_t>(c);
  return b < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*';
}

// Appends `length` bytes to out at *used, failing when they and a NUL do not
// fit in outSize.
bool Append(char* out, size_t outSize, size_t* used, const char* text, size_t length) {
  if (length >= outSize - *used) return false;
  std::memcpy(out + *used, text, length);
  *used += length;
  return true;
}

bool Fail(char* out, size_t outSize) {
  if (outSize > 0) out[0] = '\0';
  return false;
}

}  // namespace

uint32_t DeriveAttributes(uint32_t externalAttributes) {
  const uint32_t a = externalAttributes;
  uint32_t result = kFileAttributeNormal;
  if ((a & 0x40000000u) != 0 || (a & 0x10u) != 0) {
    result = kFileAttributeDirectory | kFileAttributeNormal;
  }
  if ((a & 0x20u) != 0) result |= kFileAttributeArchive;
  if ((a & 0x02u) != 0) result |= kFileAttributeHidden;
  if ((a & 0x00800000u) == 0 || (a & 0x01u) != 0) result |= kFileAttributeReadonly;
  if ((a & 0x04u) != 0) result |= kFileAttributeSystem;
  return result;
}

bool DosDateTimeToFileTime64(uint16_t dosDate, uint16_t dosTime, uint64_t* out) {
  const uint32_t year = 1980u + (dosDate >> 9);
  const uint32_t month = (dosDate >> 5) & 0x0Fu;
  const uint32_t day = dosDate & 0x1Fu;
  const uint32_t hour = dosTime >> 11;
  const uint32_t minute = (dosTime >> 5) & 0x3Fu;
  const uint32_t second = (dosTime & 0x1Fu) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;
  const uint64_t days = DaysSince1601(year, month, day);
  const uint64_t seconds = ((days * 24 + hour) * 60 + minute) * 60 + second;
  *out = seconds * kTicksPerSecond;
  return true;
}

uint64_t UnixTimeToFileTime64(uint32_t seconds) {
  return kUnixEpochAsFileTime + static_cast<uint64_t>(seconds) * kTicksPerSecond;
}

bool FindExtendedTimestamps(const uint8_t* field, size_t length, ExtendedTimestamps* out) {
  *out = ExtendedTimestamps{};
  size_t offset = 0;
  while (offset + 4 < length) {
    const size_t blockSize = ReadLe16(field + offset + 2);
    if (field[offset] != 'U' || field[offset + 1] != 'T') {
      offset += blockSize + 4;
      continue;
    }
    const size_t dataStart = offset + 4;
    size_t dataEnd = dataStart + blockSize;
    if (dataEnd > length) dataEnd = length;
    if (dataStart >= dataEnd) return true;  // no flags byte inside the block
    const uint8_t flags = field[dataStart];
    size_t timeAt = dataStart + 1;
    bool* present[3] = {&out->hasLastWrite, &out->hasLastAccess, &out->hasCreation};
    uint32_t* value[3] = {&out->lastWrite, &out->lastAccess, &out->creation};
    for (int bit = 0; bit < 3; ++bit) {
      if ((flags & (1u << bit)) == 0) continue;
      if (timeAt + 4 > dataEnd) break;  // this time and every later one lie outside
      *value[bit] = ReadLe32(field + timeAt);
      *present[bit] = true;
      timeAt += 4;
    }
    return true;
  }
  return false;
}

EntryTimes DeriveEntryTimes(uint16_t dosDate, uint16_t dosTime, const uint8_t* localExtra,
                            size_t localExtraLength) {
  EntryTimes times{};
  uint64_t dosValue = 0;
  if (DosDateTimeToFileTime64(dosDate, dosTime, &dosValue)) {
    times.hasCreation = times.hasLastAccess = times.hasLastWrite = true;
    times.creation = times.lastAccess = times.lastWrite = dosValue;
  }
  ExtendedTimestamps ut;
  if (FindExtendedTimestamps(localExtra, localExtraLength, &ut)) {
    if (ut.hasLastWrite) {
      times.hasLastWrite = true;
      times.lastWrite = UnixTimeToFileTime64(ut.lastWrite);
    }
    if (ut.hasLastAccess) {
      times.hasLastAccess = true;
      times.lastAccess = UnixTimeToFileTime64(ut.lastAccess);
    }
    if (ut.hasCreation) {
      times.hasCreation = true;
      times.creation = UnixTimeToFileTime64(ut.creation);
    }
  }
  return times;
}

size_t Utf8CharSize(const char* text, size_t length) {
  if (length == 0) return 0;
  const auto* b = reinterpret_cast<const uint8_t*>(text);
  if (b[0] < 0x80) return 1;
  size_t size;
  uint32_t value, minimum;
  if (b[0] >= 0xC2 && b[0] <= 0xDF) {
    size = 2, value = b[0] & 0x1F, minimum = 0x80;
  } else if (b[0] >= 0xE0 && b[0] <= 0xEF) {
    size = 3, value = b[0] & 0x0F, minimum = 0x800;
  } else if (b[0] >= 0xF0 && b[0] <= 0xF4) {
    size = 4, value = b[0] & 0x07, minimum = 0x10000;
  } else {
    return 0;  // a continuation byte, an overlong lead (C0, C1) or F5..FF
  }
  if (length < size) return 0;
  for (size_t i = 1; i < size; ++i) {
    if ((b[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (b[i] & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return size;
}

EntryNameVerdict CheckEntryName(const char* name, size_t length, EntryNameEncoding encoding) {
  if (encoding == EntryNameEncoding::kUtf8) {
    for (size_t i = 0; i < length;) {
      const size_t size = Utf8CharSize(name + i, length - i);
      if (size == 0) return EntryNameVerdict::kBadEncoding;
      i += size;
    }
  }
  if (length == 0) return EntryNameVerdict::kEmpty;
  if (length > kMaxEntryNameLength) return EntryNameVerdict::kTooLong;
  if (IsSeparator(name[0])) return EntryNameVerdict::kLeadingSeparator;
  const char first = AsciiUpper(name[0]);
  if (length >= 2 && first >= 'A' && first <= 'Z' && name[1] == ':') {
    return EntryNameVerdict::kDrivePrefix;
  }
  // One pass over the characters; a component ends at a separator or at the
  // end of the name. The findings are reported in the enumeration's order.
  bool colon = false;
  bool parent = false;
  bool invalid = false;
  bool device = false;
  size_t componentStart = 0;
  size_t i = 0;
  while (i <= length) {
    if (i == length || IsSeparator(name[i])) {
      const char* part = name + componentStart;
      const size_t partLength = i - componentStart;
      parent = parent || IsParentComponent(part, partLength);
      device = device || IsReservedDeviceComponent(part, partLength);
      componentStart = ++i;
      continue;
    }
    const size_t size = NameCharSize(name, i, length, encoding);
    if (size == 1) {
      colon = colon || name[i] == ':';
      invalid = invalid || IsInvalidNameByte(name[i]);
    } else {
      // A NUL never is a second byte: the extractor uses the name as a C
      // string, which would end there and drop what the check saw after it.
      invalid = invalid || name[i + 1] == '\0';
    }
    i += size;
  }
  if (colon) return EntryNameVerdict::kColon;
  if (parent) return EntryNameVerdict::kParentComponent;
  if (invalid) return EntryNameVerdict::kInvalidCharacter;
  if (device) return EntryNameVerdict::kReservedDeviceName;
  return EntryNameVerdict::kSafe;
}

const char* EntryNameVerdictText(EntryNameVerdict verdict) {
  switch (verdict) {
    case EntryNameVerdict::kSafe: return "safe";
    case EntryNameVerdict::kEmpty: return "the name is empty";
    case EntryNameVerdict::kTooLong: return "the name is longer than 259 bytes";
    case EntryNameVerdict::kLeadingSeparator: return "the name starts with a separator";
    case EntryNameVerdict::kDrivePrefix: return "the name starts with a drive";
    case EntryNameVerdict::kColon: return "the name holds a colon";
    case EntryNameVerdict::kParentComponent: return "the name holds a \"..\" part";
    case EntryNameVerdict::kInvalidCharacter:
      return "the name holds a control character or one of < > \" | ? *";
    case EntryNameVerdict::kReservedDeviceName: return "the name holds a device name";
    case EntryNameVerdict::kBadEncoding: return "the name is flagged as UTF-8 but is not well-formed UTF-8";
  }
  return "unknown verdict";
}

bool EndsWithBackslash(const char* text, size_t length) {
  size_t last = length;
  for (size_t i = 0; i < length; i += CharSize(text, i, length)) last = i;
  return last < length && text[last] == '\\';
}

bool BuildEntryPath(const char* folder, const char* entryName, char* out, size_t outSize) {
  if (outSize == 0) return false;
  const size_t folderLength = std::strlen(folder);
  size_t used = 0;
  if (!Append(out, outSize, &used, folder, folderLength)) return Fail(out, outSize);
  if (!EndsWithBackslash(folder, folderLength) && !Append(out, outSize, &used, "\\", 1)) {
    return Fail(out, outSize);
  }
  const size_t nameLength = std::strlen(entryName);
  const size_t nameStart = used;
  if (!Append(out, outSize, &used, entryName, nameLength)) return Fail(out, outSize);
  for (size_t i = 0; i < nameLength; i += CharSize(entryName, i, nameLength)) {
    if (entryName[i] == '/') out[nameStart + i] = '\\';
  }
  out[used] = '\0';
  return true;
}

bool BuildFolderPath(const char* path, char* out, size_t outSize) {
  if (outSize == 0) return false;
  const size_t length = std::strlen(path);
  size_t used = 0;
  if (!Append(out, outSize, &used, path, length)) return Fail(out, outSize);
  if (!EndsWithBackslash(path, length) && !Append(out, outSize, &used, "\\", 1)) {
    return Fail(out, outSize);
  }
  out[used] = '\0';
  return true;
}

size_t NextFolderPrefix(const char* folderPath, size_t from) {
  const size_t length = std::strlen(folderPath);
  for (size_t i = 0; i < length; i += CharSize(folderPath, i, length)) {
    if (i >= from && folderPath[i] == '\\') return i + 1;
  }
  return 0;
}

int32_t ExtractProgressPercent(int32_t index, int32_t count) {
  if (count <= 0 || index <= 0) return 0;
  if (index >= count) return 100;
  return static_cast<int32_t>(static_cast<int64_t>(index) * 100 / count);
}
