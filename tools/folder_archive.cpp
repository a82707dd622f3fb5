#include "tools/folder_archive.h"

#include <zlib.h>

#include <algorithm>
#include <map>

#include "frame/byte_cursor.h"
#include "tools/gbk_text.h"

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint16_t kVersion20 = 20;          // 2.0: deflate and folders
constexpr uint16_t kVersionMadeBy = 20;      // 2.0, host 0 (MS-DOS)
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint32_t kAttributeFolder = 0x10;
constexpr uint32_t kAttributeFile = 0x20;
constexpr int kDeflateLevel = 6;
constexpr size_t kMaxEntries = 0xFFFE;       // 0xFFFF marks ZIP64 in the end record
constexpr uint64_t kMaxOffset = 0xFFFFFFFEull;

constexpr int64_t kFirstDosTime = 315532800;   // 1980-01-01 00:00:00 UTC
constexpr int64_t kLastDosTime = 4354819198;   // 2107-12-31 23:59:58 UTC

struct Entry {
  std::string utf8Name;
  const FolderItem* item;
};

struct CentralInfo {
  std::string name;
  uint16_t flags, method;
  uint32_t dosDateTime, crc, compressedSize, size, attributes, localOffset;
};

// Days since 1970-01-01 to year, month, day (proleptic Gregorian).
void CivilFromDays(int64_t days, int* year, int* month, int* day) {
  days += 719468;  // from 0000-03-01
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;  // March = 0
  *day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  *month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

std::string FoldCase(const std::string& name) {
  std::string folded = name;
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

bool Deflate(const std::vector<uint8_t>& in, std::vector<uint8_t>* out) {
  z_stream z{};
  if (deflateInit2(&z, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out->resize(deflateBound(&z, static_cast<uLong>(in.size())));
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out->data();
  z.avail_out = static_cast<uInt>(out->size());
  const int rc = deflate(&z, Z_FINISH);
  out->resize(z.total_out);
  deflateEnd(&z);
  return rc == Z_STREAM_END;
}

void PutLocalOrCentral(ByteWriter* w, const CentralInfo& e, bool central) {
  w->U32(central ? kCentralSignature : kLocalSignature);
  if (central) w->U16(kVersionMadeBy);
  w->U16(kVersion20);
  w->U16(e.flags);
  w->U16(e.method);
  w->U32(e.dosDateTime);
  w->U32(e.crc);
  w->U32(e.compressedSize);
  w->U32(e.size);
  w->U16(static_cast<uint16_t>(e.name.size()));
  w->U16(0);  // extra field
  if (central) {
    w->U16(0);  // comment
    w->U16(0);  // disk
    w->U16(0);  // internal attributes
    w->U32(e.attributes);
    w->U32(e.localOffset);
  }
  w->Bytes(e.name.data(), e.name.size());
}

}  // namespace

uint32_t DosDateTimeOfUnixTime(int64_t seconds) {
  seconds = std::min(std::max(seconds, kFirstDosTime), kLastDosTime);
  const int64_t days = seconds / 86400;
  const int64_t inDay = seconds % 86400;
  int year = 0, month = 0, day = 0;
  CivilFromDays(days, &year, &month, &day);
  const uint32_t date = (uint32_t(year - 1980) << 9) | (uint32_t(month) << 5) | uint32_t(day);
  const uint32_t time = (uint32_t(inDay / 3600) << 11) | (uint32_t(inDay / 60 % 60) << 5) | uint32_t(inDay % 60 / 2);
  return (date << 16) | time;
}

bool MakeFolderArchive(const std::vector<FolderItem>& items, std::vector<uint8_t>* zip,
                       std::string* error, const ArchiveProgress& progress) {
  if (items.empty()) {
    *error = "the folder is empty";
    return false;
  }
  std::vector<Entry> entries;
  uint64_t totalBytes = 0;
  for (const FolderItem& item : items) {
    entries.push_back(Entry{item.relativePath + (item.isFolder ? "/" : ""), &item});
    totalBytes += item.size;
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.utf8Name < b.utf8Name; });
  if (entries.size() > kMaxEntries) {
    *error = std::to_string(entries.size()) + " files and folders: more than a ZIP without ZIP64 holds";
    return false;
  }
  std::map<std::string, std::string> folded;
  for (const Entry& e : entries) {
    const auto inserted = folded.emplace(FoldCase(e.utf8Name), e.utf8Name);
    if (!inserted.second) {
      *error = "\"" + inserted.first->second + "\" and \"" + e.utf8Name +
               "\" differ only in case: on Windows they are one file";
      return false;
    }
  }

  ByteWriter out;
  std::vector<CentralInfo> central;
  uint64_t doneBytes = 0;
  for (const Entry& e : entries) {
    CentralInfo info{};
    info.flags = 0;
    if (!Utf8ToGbk(e.utf8Name, &info.name)) {
      info.name = e.utf8Name;
      info.flags = kFlagUtf8;
    }
    info.dosDateTime = DosDateTimeOfUnixTime(e.item->lastWrite);
    info.attributes = e.item->isFolder ? kAttributeFolder : kAttributeFile;
    info.method = kMethodStored;
    info.localOffset = static_cast<uint32_t>(out.Size());
    std::vector<uint8_t> data, packed;
    if (!e.item->isFolder) {
      std::string why;
      if (!ReadWholeFile(e.item->path, &data, &why)) {
        *error = why;
        return false;
      }
      if (data.size() > kMaxOffset) {
        *error = "\"" + e.utf8Name + "\" is too large for a ZIP without ZIP64";
        return false;
      }
      info.crc = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
      info.size = static_cast<uint32_t>(data.size());
      if (!Deflate(data, &packed)) {
        *error = "\"" + e.utf8Name + "\": deflate failed";
        return false;
      }
      if (packed.size() < data.size()) {
        info.method = kMethodDeflate;
        data.swap(packed);
      }
      info.compressedSize = static_cast<uint32_t>(data.size());
    }
    PutLocalOrCentral(&out, info, false);
    out.Bytes(data.data(), data.size());
    if (out.Size() > kMaxOffset) {
      *error = "the archive passes 4 GiB at \"" + e.utf8Name + "\": too large without ZIP64";
      return false;
    }
    central.push_back(info);
    if (!e.item->isFolder) {
      doneBytes += e.item->size;
      if (progress) progress(doneBytes, totalBytes);
    }
  }
  const uint32_t directoryStart = static_cast<uint32_t>(out.Size());
  for (const CentralInfo& info : central) PutLocalOrCentral(&out, info, true);
  const uint64_t directorySize = out.Size() - directoryStart;
  if (out.Size() > kMaxOffset) {
    *error = "the archive passes 4 GiB: too large without ZIP64";
    return false;
  }
  out.U32(kEndSignature);
  out.U16(0);
  out.U16(0);
  out.U16(static_cast<uint16_t>(central.size()));
  out.U16(static_cast<uint16_t>(central.size()));
  out.U32(static_cast<uint32_t>(directorySize));
  out.U32(directoryStart);
  out.U16(0);  // comment
  *zip = out.Take();
  return true;
}
