#include "tools/payload_zip_check.h"

#include <cstring>
#include <set>

#include "tools/gbk_text.h"

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kCentralRecordSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kAcceptanceBlockSize = 32;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr size_t kSearchWindow = 0xFFFF;
constexpr uint16_t kTagZip64 = 0x0001;
constexpr uint32_t kFlagEncrypted = 0x0001;
constexpr uint32_t kFlagDataDescriptor = 0x0008;
constexpr uint32_t kFlagStrongEncryption = 0x0040;

// Bounds-checked little-endian reads over the archive bytes.
class ByteView {
 public:
  ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Has(size_t at, size_t n) const { return at <= size_ && n <= size_ - at; }
  uint32_t U16(size_t at) const { return data_[at] | (static_cast<uint32_t>(data_[at + 1]) << 8); }
  uint32_t U32(size_t at) const { return U16(at) | (U16(at + 2) << 16); }
  const uint8_t* At(size_t at) const { return data_ + at; }

 private:
  const uint8_t* data_;
  size_t size_;
};

struct CentralRecord {
  uint32_t flags;
  uint32_t method;
  uint32_t crc;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint32_t diskStart;
  uint32_t externalAttributes;
  uint32_t localOffset;
  size_t nameAt;
  size_t nameLength;
  size_t extraAt;
  size_t extraLength;
};

ZipCheckResult Problem(ZipProblem problem, const char* detail) {
  ZipCheckResult r;
  r.problem = problem;
  r.detail = detail;
  return r;
}

// A name in a form where Windows' equal names compare equal, whichever way
// the archive encodes them: the name as UTF-8 (a GBK name converted; one that
// does not convert keeps its bytes), "\\" turned into "/" and ASCII letters
// upper-cased. UTF-8 never holds an ASCII byte inside a longer character, so
// its ASCII bytes are the characters they look like.
std::string FoldName(const std::string& name, bool utf8, bool upperCase = true) {
  std::string folded;
  if (utf8 || !GbkToUtf8(name, &folded)) folded = name;
  for (char& c : folded) {
    if (c == '\\') c = '/';
    if (upperCase && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

// Lengths of the prefixes of a folded name that end in "/", shortest first.
std::set<size_t> SeparatorEnds(const std::string& folded) {
  std::set<size_t> ends;
  for (size_t i = 0; i < folded.size(); ++i) {
    if (folded[i] == '/') ends.insert(i + 1);
  }
  return ends;
}

// The first `length` bytes of a name's folded form as the name spells them,
// in GBK where it can be, for messages.
std::string ShownPrefix(const std::string& name, bool utf8, size_t length) {
  std::string prefix = FoldName(name, utf8, false).substr(0, length);
  std::string gbk;
  return Utf8ToGbk(prefix, &gbk) ? gbk : prefix;
}

// True when an extra field holds a block with the given tag. Blocks running
// past the field end the walk.
bool HasExtraTag(const ByteView& view, size_t at, size_t length, uint16_t tag) {
  size_t offset = 0;
  while (offset + 4 <= length) {
    if (view.U16(at + offset) == tag) return true;
    offset += 4 + view.U16(at + offset + 2);
  }
  return false;
}

// Reads the central record at *at, which must lie inside [*at, end). Moves *at
// past it.
bool ReadCentralRecord(const ByteView& view, size_t* at, size_t end, CentralRecord* r) {
  const size_t p = *at;
  if (p > end || end - p < kCentralRecordSize) return false;
  if (view.U32(p) != kCentralSignature) return false;
  r->flags = view.U16(p + 8);
  r->method = view.U16(p + 10);
  r->crc = view.U32(p + 16);
  r->compressedSize = view.U32(p + 20);
  r->uncompressedSize = view.U32(p + 24);
  r->nameLength = view.U16(p + 28);
  r->extraLength = view.U16(p + 30);
  const size_t commentLength = view.U16(p + 32);
  r->diskStart = view.U16(p + 34);
  r->externalAttributes = view.U32(p + 38);
  r->localOffset = view.U32(p + 42);
  r->nameAt = p + kCentralRecordSize;
  r->extraAt = r->nameAt + r->nameLength;
  const size_t total = kCentralRecordSize + r->nameLength + r->extraLength + commentLength;
  if (end - p < total) return false;
  *at = p + total;
  return true;
}

// Checks the local header of a record: inside the data before the central
// directory, and agreeing with the central record as the unzip library
// requires (an entry failing this would silently end the extraction).
const char* CheckLocalHeader(const ByteView& view, size_t directoryStart, const CentralRecord& r) {
  const size_t p = r.localOffset;
  if (p > directoryStart || directoryStart - p < kLocalHeaderSize) {
    return "local header lies outside the entries' area";
  }
  if (view.U32(p) != kLocalSignature) return "no local header signature at the record's offset";
  const uint32_t flags = view.U16(p + 6);
  if (view.U16(p + 8) != r.method) return "local and central methods differ";
  if ((flags & (kFlagEncrypted | kFlagStrongEncryption)) !=
      (r.flags & (kFlagEncrypted | kFlagStrongEncryption))) {
    return "local and central encryption flags differ";
  }
  if ((flags & kFlagDataDescriptor) == 0 &&
      (view.U32(p + 14) != r.crc || view.U32(p + 18) != r.compressedSize ||
       view.U32(p + 22) != r.uncompressedSize)) {
    return "local CRC or sizes differ from the central record";
  }
  const size_t nameLength = view.U16(p + 26);
  const size_t extraLength = view.U16(p + 28);
  if (nameLength != r.nameLength ||
      std::memcmp(view.At(p + kLocalHeaderSize), view.At(r.nameAt), nameLength) != 0) {
    return "local and central names differ";
  }
  const size_t dataAt = p + kLocalHeaderSize + nameLength + extraLength;
  if (dataAt > directoryStart) return "local name or extra field runs into the central directory";
  if (directoryStart - dataAt < r.compressedSize) {
    return "entry data runs into the central directory";
  }
  return nullptr;
}

// The unzip library looks for its end records reading back from the end of
// the file over the last 64 KiB - 1 bytes. It takes the last signature whose
// four bytes lie in that window, even when the record after it is cut short
// by the end of the file (it then reads made-up values), and never one at
// offset 0. Finds that signature as the library does; false when there is
// none.
bool FindLastSignature(const ByteView& view, size_t size, uint32_t signature, size_t* at) {
  if (size < 4) return false;
  const size_t windowStart = size > kSearchWindow ? size - kSearchWindow : 0;
  const size_t first = windowStart > 0 ? windowStart : 1;
  for (size_t p = size - 4 + 1; p-- > first;) {
    if (view.U32(p) == signature) {
      *at = p;
      return true;
    }
  }
  return false;
}

// Finds the end record the library uses and checks that it is whole and
// that its comment ends exactly at the file's end.
bool FindEndRecord(const ByteView& view, size_t size, size_t* endAt) {
  if (!FindLastSignature(view, size, kEndSignature, endAt)) return false;
  return size - *endAt >= kEndRecordSize && view.U16(*endAt + 20) == size - *endAt - kEndRecordSize;
}

// True when the library would read the archive as ZIP64: the last locator
// signature in its search window names disk 0 of 1 disk and points at a
// ZIP64 end record. A locator cut short by the file's end counts too, as the
// library would fill it with made-up values.
bool LibraryFindsZip64(const ByteView& view, size_t size) {
  size_t p = 0;
  if (!FindLastSignature(view, size, kZip64LocatorSignature, &p)) return false;
  if (size - p < kZip64LocatorSize) return true;
  if (view.U32(p + 4) != 0 || view.U32(p + 16) != 1) return false;
  const uint64_t offset = view.U32(p + 8) | (static_cast<uint64_t>(view.U32(p + 12)) << 32);
  return offset <= size - 4 && view.U32(static_cast<size_t>(offset)) == kZip64EndSignature;
}

}  // namespace

ZipCheckResult CheckPayloadZip(const uint8_t* data, size_t size, const std::string& productGbk) {
  const ByteView view(data, size);
  size_t endAt = 0;
  if (!FindEndRecord(view, size, &endAt)) {
    return Problem(ZipProblem::kNoEndRecord,
                   "no end-of-central-directory record whose comment ends the file");
  }
  const uint32_t diskNumber = view.U16(endAt + 4);
  const uint32_t directoryDisk = view.U16(endAt + 6);
  const uint32_t entriesOnDisk = view.U16(endAt + 8);
  const uint32_t entryCount = view.U16(endAt + 10);
  const uint32_t directorySize = view.U32(endAt + 12);
  const uint32_t directoryStart = view.U32(endAt + 16);
  if (diskNumber != 0 || directoryDisk != 0 || entriesOnDisk != entryCount) {
    return Problem(ZipProblem::kMultiDisk, "the end record names other disks");
  }
  if (entryCount == 0xFFFF || directorySize == 0xFFFFFFFF || directoryStart == 0xFFFFFFFF ||
      (endAt >= kZip64LocatorSize &&
       view.U32(endAt - kZip64LocatorSize) == kZip64LocatorSignature) ||
      LibraryFindsZip64(view, size)) {
    return Problem(ZipProblem::kZip64, "the end record refers to ZIP64 records");
  }
  if (!view.Has(0, kAcceptanceBlockSize) || view.U32(0) != kLocalSignature ||
      static_cast<int32_t>(view.U32(24)) < 1) {
    return Problem(ZipProblem::kNotLocalHeaderFirst,
                   "the file does not begin with a local file header");
  }
  if (static_cast<size_t>(directoryStart) + directorySize != endAt) {
    return Problem(ZipProblem::kBadCentralDirectory,
                   "the central directory does not end where the end record starts");
  }

  std::set<std::string> folders;  // folded folder names ending in "/"
  bool productFound = false;
  const std::string productName = FoldName(productGbk + ".exe", false);
  size_t at = directoryStart;
  for (uint32_t index = 0; index < entryCount; ++index) {
    CentralRecord r;
    ZipCheckResult result;
    result.entryIndex = static_cast<int>(index);
    if (!ReadCentralRecord(view, &at, endAt, &r)) {
      result.problem = ZipProblem::kBadCentralDirectory;
      result.detail = "central record malformed or out of bounds";
      return result;
    }
    result.entryName.assign(reinterpret_cast<const char*>(view.At(r.nameAt)), r.nameLength);
    const std::string& name = result.entryName;
    if (r.diskStart != 0) {
      result.problem = ZipProblem::kMultiDisk;
      result.detail = "entry starts on another disk";
      return result;
    }
    if (r.compressedSize == 0xFFFFFFFF || r.uncompressedSize == 0xFFFFFFFF ||
        r.localOffset == 0xFFFFFFFF || HasExtraTag(view, r.extraAt, r.extraLength, kTagZip64)) {
      result.problem = ZipProblem::kZip64;
      result.detail = "entry uses ZIP64 fields";
      return result;
    }
    if ((r.flags & (kFlagEncrypted | kFlagStrongEncryption)) != 0) {
      result.problem = ZipProblem::kEncrypted;
      return result;
    }
    if (r.method != 0 && r.method != 8) {
      result.problem = ZipProblem::kUnsupportedMethod;
      result.detail = "method " + std::to_string(r.method);
      return result;
    }
    const bool utf8 = (r.flags & kZipFlagUtf8Name) != 0;
    result.utf8Name = utf8;
    result.nameVerdict = CheckEntryName(name.data(), name.size(),
                                        utf8 ? EntryNameEncoding::kUtf8 : EntryNameEncoding::kGbk);
    if (result.nameVerdict != EntryNameVerdict::kSafe) {
      result.problem = ZipProblem::kUnsafeName;
      result.detail = EntryNameVerdictText(result.nameVerdict);
      return result;
    }
    if (const char* localProblem = CheckLocalHeader(view, directoryStart, r)) {
      result.problem = ZipProblem::kBadLocalHeader;
      result.detail = localProblem;
      return result;
    }
    const std::string folded = FoldName(name, utf8);
    const bool isFolder = (DeriveAttributes(r.externalAttributes) & kFileAttributeDirectory) != 0;
    const std::set<size_t> ends = SeparatorEnds(folded);
    const bool endsInSeparator = ends.count(folded.size()) != 0;
    if (isFolder != endsInSeparator) {
      result.problem = ZipProblem::kFolderShape;
      result.detail = isFolder ? "directory attribute on a name not ending in \"/\""
                               : "name ends in \"/\" without the directory attribute";
      return result;
    }
    if (isFolder) {
      for (size_t end : ends) folders.insert(folded.substr(0, end));
      continue;
    }
    if (!ends.empty()) {
      const std::string parent = folded.substr(0, *ends.rbegin());
      if (folders.count(parent) == 0) {
        result.problem = ZipProblem::kMissingFolderEntry;
        result.detail = "folder \"" + ShownPrefix(name, utf8, parent.size()) + "\"";
        return result;
      }
    }
    productFound = productFound || folded == productName;
  }
  if (at != endAt) {
    return Problem(ZipProblem::kBadCentralDirectory,
                   "central directory size does not match its records");
  }
  if (!productGbk.empty() && !productFound) {
    ZipCheckResult r = Problem(ZipProblem::kMissingProduct, "");
    r.entryName = productGbk + ".exe";
    return r;
  }
  return ZipCheckResult{};
}

const char* ZipProblemText(ZipProblem problem) {
  switch (problem) {
    case ZipProblem::kNone: return "installable";
    case ZipProblem::kNoEndRecord: return "not a ZIP archive";
    case ZipProblem::kMultiDisk: return "multi-disk archives are not supported";
    case ZipProblem::kZip64: return "ZIP64 archives are not supported";
    case ZipProblem::kNotLocalHeaderFirst: return "the extractor would refuse the archive";
    case ZipProblem::kBadCentralDirectory: return "corrupt central directory";
    case ZipProblem::kBadLocalHeader: return "corrupt local header";
    case ZipProblem::kEncrypted: return "the entry is encrypted";
    case ZipProblem::kUnsupportedMethod: return "only stored and deflate entries can be extracted";
    case ZipProblem::kUnsafeName: return "unsafe entry name";
    case ZipProblem::kFolderShape: return "folder entries need a name ending in \"/\" and the directory attribute";
    case ZipProblem::kMissingFolderEntry: return "the file's folder has no earlier folder entry";
    case ZipProblem::kMissingProduct: return "the product executable is missing from the archive's root";
  }
  return "unknown problem";
}
