// payload_pack: writes the payload ZIP from a manifest, reproducibly: the
// same manifest and source files give the same archive byte for byte (no
// clock, no host file times, no host attributes go into it).
//
// Usage: payload_pack MANIFEST OUTPUT
//
// Manifest: UTF-8 text, one record per line, fields separated by single TAB
// characters. Empty lines and lines starting with "#" are ignored. Entries go
// into the archive in the order of their lines.
//
//   comment <TAB> FILE
//       The archive comment: the UTF-8 text of FILE, stored in GBK (at most
//       65535 bytes, no NUL). At most one such line; without it the archive
//       has no comment.
//   file <TAB> NAME <TAB> SOURCE <TAB> DATE TIME <TAB> ATTRIBUTES [<TAB> unicode-path]
//   folder <TAB> NAME <TAB> DATE TIME <TAB> ATTRIBUTES [<TAB> unicode-path]
//       NAME: the entry name in UTF-8 with "/" separators, stored in GBK; a
//       folder's name ends in "/", a file's does not. The GBK name must pass
//       the extractor's entry-name check.
//       SOURCE: the file whose bytes the entry holds, relative to the
//       manifest's folder unless absolute.
//       DATE TIME: "YYYY-MM-DD HH:MM:SS", 1980 to 2107, even seconds (the
//       MS-DOS time keeps two-second steps); stored as the entry's DOS date
//       and time.
//       ATTRIBUTES: the 32-bit external attributes, e.g. 0x20 for a file and
//       0x10 for a folder (C notation: 0x.. hex, otherwise decimal).
//       unicode-path: also give the entry a Unicode-path field (tag 0x7075,
//       version 1, CRC-32 of the GBK name, the UTF-8 name) in both its local
//       and its central record.
//
// Shape of every entry: version made by 0x1F with host 0 (MS-DOS), general
// purpose flags 0, deflate (level 6) for files and stored for folders, sizes
// and CRC in the local header (no data descriptor), no ZIP64, no "UT" field.
// Every central record carries an NTFS time field (tag 0x000A: 4 reserved
// bytes, attribute tag 1 of 24 bytes holding the last write, last access and
// creation FILETIMEs, all three the DOS date and time taken as UTC).
//
// Exit status 0 on success; otherwise 1 with a message on stderr, and no
// output file is left behind.

#include <minizip/zip.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "payload/entry_rules.h"
#include "tools/gbk_text.h"

namespace {

constexpr uint16_t kTagNtfs = 0x000A;
constexpr uint16_t kTagUnicodePath = 0x7075;
constexpr int kVersionMadeBy = 0x001F;  // 3.1, host 0 (MS-DOS)
constexpr int kDeflateLevel = 6;        // levels 1, 2, 8, 9 would set flag bits
constexpr int kMemLevel = 8;
constexpr size_t kMaxCommentLength = 0xFFFF;
constexpr size_t kCopyChunk = 65536;

struct Entry {
  int line = 0;
  bool isFolder = false;
  std::string utf8Name;
  std::string gbkName;
  std::string source;  // empty for a folder
  uint16_t dosDate = 0;
  uint16_t dosTime = 0;
  uint32_t externalAttributes = 0;
  bool unicodePath = false;
};

struct Manifest {
  std::string gbkComment;
  std::vector<Entry> entries;
};

void Put16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void Put64(std::string* out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  bytes->clear();
  char buffer[kCopyChunk];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

std::string ResolvePath(const std::string& manifestDir, const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  return manifestDir + path;
}

// Parses "YYYY-MM-DD HH:MM:SS" into an MS-DOS date and time.
bool ParseDosDateTime(const std::string& text, uint16_t* dosDate, uint16_t* dosTime,
                      std::string* error) {
  unsigned year, month, day, hour, minute, second;
  char tail;
  if (std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%c", &year, &month, &day, &hour, &minute,
                  &second, &tail) != 6 ||
      text.size() != 19) {
    *error = "date and time must read YYYY-MM-DD HH:MM:SS";
    return false;
  }
  if (year < 1980 || year > 2107) {
    *error = "year must lie from 1980 to 2107";
    return false;
  }
  if (second % 2 != 0) {
    *error = "seconds must be even (MS-DOS times have two-second steps)";
    return false;
  }
  if (month > 15 || day > 31 || hour > 31 || minute > 63 || second > 62) {
    *error = "date or time field out of range";
    return false;
  }
  *dosDate = static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
  *dosTime = static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
  uint64_t check;
  if (!DosDateTimeToFileTime64(*dosDate, *dosTime, &check)) {
    *error = "not a valid date and time";
    return false;
  }
  return true;
}

bool ParseAttributes(const std::string& text, uint32_t* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull || text[0] == '-') return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

bool ParseEntry(const std::vector<std::string>& f, const std::string& manifestDir, Entry* e,
                std::string* error) {
  e->isFolder = f[0] == "folder";
  const size_t base = e->isFolder ? 3 : 4;  // fields before the optional flag
  if (f.size() != base + 1 && f.size() != base + 2) {
    *error = e->isFolder ? "folder lines hold: folder, name, date time, attributes[, unicode-path]"
                         : "file lines hold: file, name, source, date time, attributes[, unicode-path]";
    return false;
  }
  e->utf8Name = f[1];
  if (!Utf8ToGbk(e->utf8Name, &e->gbkName)) {
    *error = "name \"" + e->utf8Name + "\" is not UTF-8 text that GBK can express";
    return false;
  }
  const EntryNameVerdict verdict = CheckEntryName(e->gbkName.data(), e->gbkName.size());
  if (verdict != EntryNameVerdict::kSafe) {
    *error = "name \"" + e->utf8Name + "\" would be refused by the extractor: " +
             EntryNameVerdictText(verdict);
    return false;
  }
  const bool endsInSlash = e->gbkName.back() == '/';
  if (endsInSlash != e->isFolder) {
    *error = e->isFolder ? "a folder name must end in \"/\"" : "a file name must not end in \"/\"";
    return false;
  }
  if (!e->isFolder) e->source = ResolvePath(manifestDir, f[2]);
  if (!ParseDosDateTime(f[base - 1], &e->dosDate, &e->dosTime, error)) return false;
  if (!ParseAttributes(f[base], &e->externalAttributes)) {
    *error = "attributes must be a 32-bit number, e.g. 0x20";
    return false;
  }
  if (f.size() == base + 2) {
    if (f[base + 1] != "unicode-path") {
      *error = "unknown option \"" + f[base + 1] + "\" (only unicode-path)";
      return false;
    }
    e->unicodePath = true;
  }
  return true;
}

bool ParseManifest(const std::string& path, Manifest* manifest, std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    *error = path + ": cannot read: " + std::strerror(errno);
    return false;
  }
  const size_t slash = path.rfind('/');
  const std::string manifestDir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  bool haveComment = false;
  size_t start = 0;
  for (int lineNumber = 1; start < text.size(); ++lineNumber) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
    const std::vector<std::string> fields = SplitTabs(line);
    std::string problem;
    if (fields[0] == "comment") {
      std::string utf8;
      if (haveComment || fields.size() != 2) {
        problem = "one comment line with one file name is allowed";
      } else if (!ReadWholeFile(ResolvePath(manifestDir, fields[1]), &utf8)) {
        problem = "cannot read comment file " + fields[1];
      } else if (!Utf8ToGbk(utf8, &manifest->gbkComment)) {
        problem = "comment is not UTF-8 text that GBK can express";
      } else if (manifest->gbkComment.size() > kMaxCommentLength ||
                 manifest->gbkComment.find('\0') != std::string::npos) {
        problem = "comment must be at most 65535 bytes in GBK and hold no NUL";
      }
      haveComment = true;
    } else if (fields[0] == "file" || fields[0] == "folder") {
      Entry entry;
      entry.line = lineNumber;
      if (ParseEntry(fields, manifestDir, &entry, &problem)) manifest->entries.push_back(entry);
    } else {
      problem = "unknown record \"" + fields[0] + "\" (comment, file or folder)";
    }
    if (!problem.empty()) {
      *error = where + problem;
      return false;
    }
  }
  if (manifest->entries.empty()) {
    *error = path + ": no entries";
    return false;
  }
  return true;
}

std::string UnicodePathField(const Entry& e) {
  std::string field;
  Put16(&field, kTagUnicodePath);
  Put16(&field, static_cast<uint32_t>(1 + 4 + e.utf8Name.size()));
  field.push_back(1);  // version
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(e.gbkName.data()),
                          static_cast<uInt>(e.gbkName.size()));
  Put32(&field, static_cast<uint32_t>(crc));
  field += e.utf8Name;
  return field;
}

std::string NtfsTimeField(const Entry& e) {
  uint64_t fileTime = 0;
  DosDateTimeToFileTime64(e.dosDate, e.dosTime, &fileTime);  // validated when parsed
  std::string field;
  Put16(&field, kTagNtfs);
  Put16(&field, 32);
  Put32(&field, 0);   // reserved
  Put16(&field, 1);   // attribute tag 1: file times
  Put16(&field, 24);  // its size
  Put64(&field, fileTime);  // last write
  Put64(&field, fileTime);  // last access
  Put64(&field, fileTime);  // creation
  return field;
}

bool WriteEntry(zipFile zip, const Entry& e, std::string* error) {
  std::string data;
  if (!e.isFolder) {
    if (!ReadWholeFile(e.source, &data)) {
      *error = "cannot read " + e.source + ": " + std::strerror(errno);
      return false;
    }
    if (data.size() >= 0xFFFFFFFFull) {
      *error = e.source + " is too large for an archive without ZIP64";
      return false;
    }
  }
  std::string localExtra;
  std::string centralExtra = NtfsTimeField(e);
  if (e.unicodePath) {
    localExtra = UnicodePathField(e);
    centralExtra += localExtra;
  }
  zip_fileinfo info{};
  info.dosDate = (static_cast<uLong>(e.dosDate) << 16) | e.dosTime;
  info.internal_fa = 0;
  info.external_fa = e.externalAttributes;
  const int method = e.isFolder ? 0 : Z_DEFLATED;
  const int level = e.isFolder ? 0 : kDeflateLevel;
  int rc = zipOpenNewFileInZip4_64(
      zip, e.gbkName.c_str(), &info, localExtra.empty() ? nullptr : localExtra.data(),
      static_cast<uInt>(localExtra.size()), centralExtra.data(),
      static_cast<uInt>(centralExtra.size()), nullptr, method, level, 0, -MAX_WBITS, kMemLevel,
      Z_DEFAULT_STRATEGY, nullptr, 0, kVersionMadeBy, 0, 0);
  for (size_t offset = 0; rc == ZIP_OK && offset < data.size(); offset += kCopyChunk) {
    const size_t n = data.size() - offset < kCopyChunk ? data.size() - offset : kCopyChunk;
    rc = zipWriteInFileInZip(zip, data.data() + offset, static_cast<unsigned>(n));
  }
  if (rc == ZIP_OK) rc = zipCloseFileInZip(zip);
  if (rc != ZIP_OK) {
    *error = "minizip error " + std::to_string(rc);
    return false;
  }
  return true;
}

bool WriteArchive(const Manifest& manifest, const std::string& outPath, std::string* error) {
  zipFile zip = zipOpen64(outPath.c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) {
    *error = "cannot create " + outPath;
    return false;
  }
  for (const Entry& e : manifest.entries) {
    std::string problem;
    if (!WriteEntry(zip, e, &problem)) {
      *error = "entry \"" + e.utf8Name + "\" (manifest line " + std::to_string(e.line) +
               "): " + problem;
      zipClose(zip, nullptr);
      return false;
    }
  }
  const char* comment = manifest.gbkComment.empty() ? nullptr : manifest.gbkComment.c_str();
  if (zipClose(zip, comment) != ZIP_OK) {
    *error = "cannot finish " + outPath;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: payload_pack MANIFEST OUTPUT\n");
    return 1;
  }
  Manifest manifest;
  std::string error;
  if (!ParseManifest(argv[1], &manifest, &error)) {
    std::fprintf(stderr, "payload_pack: %s\n", error.c_str());
    return 1;
  }
  // Written beside the output and renamed, so a failed run leaves no archive.
  const std::string output = argv[2];
  const std::string partial = output + ".partial";
  bool ok = WriteArchive(manifest, partial, &error);
  if (ok && std::rename(partial.c_str(), output.c_str()) != 0) {
    error = "cannot rename " + partial + " to " + output + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    std::remove(partial.c_str());
    std::fprintf(stderr, "payload_pack: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
