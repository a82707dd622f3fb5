#include "tools/pe_image.h"

#include <algorithm>
#include <cstring>

#include "tools/le_bytes.h"

namespace {

constexpr uint16_t kMz = 0x5A4D;
constexpr uint32_t kPeSignature = 0x00004550;
constexpr uint16_t kMagicPe32 = 0x010B;
constexpr uint16_t kMagicPe32Plus = 0x020B;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kMinimumDirectories = 6;  // up to the base relocations

const char* const kTailNames[] = {".rsrc", ".reloc", ".payload"};

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

bool IsTailName(const std::string& name) {
  for (const char* tailName : kTailNames)
    if (name == tailName) return true;
  return false;
}

uint64_t End(uint32_t start, uint32_t size) { return uint64_t(start) + size; }

}  // namespace

const char* PeErrorText(PeError error) {
  switch (error) {
    case PeError::kNone: return "no error";
    case PeError::kNotPe: return "not a Windows program (no MZ or PE header)";
    case PeError::kTruncated: return "the headers run past the end of the file";
    case PeError::kBadOptionalHeader: return "unsupported optional header";
    case PeError::kSectionOutOfFile: return "a section's data runs past the end of the file";
    case PeError::kNotStripped: return "the program carries a symbol table; link it stripped (-s)";
    case PeError::kTailNotLast:
      return "its resources must be among its last sections, followed only by .reloc";
    case PeError::kOverlappingLayout: return "a section overlaps the resources or relocations";
    case PeError::kDirectoryInTail:
      return "a data directory points into the resources or relocations";
    case PeError::kNoRoomForSection: return "the headers have no room for another section";
    case PeError::kTooLarge: return "the program would be larger than 4 GiB";
  }
  return "unknown error";
}

int PeImage::SectionAt(uint32_t rva) const {
  for (size_t i = 0; i < sections.size(); ++i) {
    const PeSection& s = sections[i];
    const uint32_t extent = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva < End(s.virtualAddress, extent)) return static_cast<int>(i);
  }
  return -1;
}

int PeImage::FindSection(const std::string& name) const {
  for (size_t i = 0; i < sections.size(); ++i)
    if (sections[i].name == name) return static_cast<int>(i);
  return -1;
}

PeError ReadPeImage(const uint8_t* file, size_t size, PeImage* image, CursorFailure* where) {
  *image = PeImage{};
  ByteCursor dos(file, size);
  uint16_t mz = 0;
  uint32_t lfanew = 0;
  dos.ReadU16(&mz, "MZ signature");
  dos.Skip(0x3A, "DOS header");
  dos.ReadU32(&lfanew, "e_lfanew");
  if (!dos.Ok()) {
    *where = dos.Failure();
    return PeError::kNotPe;
  }
  if (mz != kMz || lfanew > size) return PeError::kNotPe;

  ByteCursor c(file + lfanew, size - lfanew, lfanew);
  uint32_t signature = 0;
  uint16_t sectionCount = 0, optionalSize = 0;
  if (!c.ReadU32(&signature, "PE signature") || signature != kPeSignature) {
    *where = c.Failure();
    return PeError::kNotPe;
  }
  image->fileHeaderOffset = c.Offset();
  c.ReadU16(&image->machine, "machine");
  c.ReadU16(&sectionCount, "number of sections");
  c.Skip(4, "time stamp");
  c.ReadU32(&image->symbolTablePointer, "symbol table pointer");
  c.Skip(4, "number of symbols");
  c.ReadU16(&optionalSize, "size of optional header");
  c.Skip(2, "characteristics");
  image->optionalHeaderOffset = c.Offset();

  uint16_t magic = 0;
  c.ReadU16(&magic, "optional header magic");
  if (c.Ok() && magic != kMagicPe32 && magic != kMagicPe32Plus) return PeError::kBadOptionalHeader;
  image->pe32Plus = magic == kMagicPe32Plus;
  c.Skip(6, "linker version, size of code");
  c.ReadU32(&image->sizeOfInitializedData, "size of initialized data");
  c.Skip(20, "entry point, bases");  // the same length in PE32 and PE32+
  c.ReadU32(&image->sectionAlignment, "section alignment");
  c.ReadU32(&image->fileAlignment, "file alignment");
  c.Skip(16, "versions, Win32 version");
  c.ReadU32(&image->sizeOfImage, "size of image");
  c.ReadU32(&image->sizeOfHeaders, "size of headers");
  c.ReadU32(&image->checksum, "checksum");
  c.Skip(2, "subsystem");
  c.ReadU16(&image->dllCharacteristics, "DLL characteristics");
  c.Skip(image->pe32Plus ? 36 : 20, "stack and heap sizes, loader flags");
  uint32_t directoryCount = 0;
  c.ReadU32(&directoryCount, "number of data directories");
  if (c.Ok() && (directoryCount < kMinimumDirectories || directoryCount > 16)) {
    return PeError::kBadOptionalHeader;
  }
  for (uint32_t i = 0; i < directoryCount && c.Ok(); ++i) {
    PeDirectory d;
    c.ReadU32(&d.address, "data directory address");
    c.ReadU32(&d.size, "data directory size");
    image->directories.push_back(d);
  }
  if (!c.Ok()) {
    *where = c.Failure();
    return PeError::kTruncated;
  }
  if (c.Offset() - image->optionalHeaderOffset > optionalSize) return PeError::kBadOptionalHeader;
  if (!IsPowerOfTwo(image->sectionAlignment) || !IsPowerOfTwo(image->fileAlignment) ||
      image->fileAlignment > image->sectionAlignment) {
    return PeError::kBadOptionalHeader;
  }

  image->sectionTableOffset = image->optionalHeaderOffset + optionalSize;
  if (image->sectionTableOffset > size) return PeError::kTruncated;
  ByteCursor t(file + image->sectionTableOffset, size - image->sectionTableOffset,
               image->sectionTableOffset);
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint8_t* name = nullptr;
    PeSection s;
    t.ReadView(8, &name, "section name");
    t.ReadU32(&s.virtualSize, "section virtual size");
    t.ReadU32(&s.virtualAddress, "section virtual address");
    t.ReadU32(&s.rawSize, "section raw size");
    t.ReadU32(&s.rawPointer, "section raw pointer");
    t.Skip(12, "section relocations and line numbers");
    t.ReadU32(&s.characteristics, "section characteristics");
    if (!t.Ok()) {
      *where = t.Failure();
      return PeError::kTruncated;
    }
    s.name.assign(reinterpret_cast<const char*>(name), strnlen(reinterpret_cast<const char*>(name), 8));
    if (s.rawSize > 0 && End(s.rawPointer, s.rawSize) > size) return PeError::kSectionOutOfFile;
    image->sections.push_back(s);
  }
  return PeError::kNone;
}

uint32_t PeChecksum(const uint8_t* file, size_t size, size_t checksumOffset) {
  uint64_t sum = 0;
  for (size_t i = 0; i < size; i += 2) {
    if (i == checksumOffset || i == checksumOffset + 2) continue;
    uint32_t word = file[i];
    if (i + 1 < size) word |= uint32_t(file[i + 1]) << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + size);
}

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
  return static_cast<uint32_t>((uint64_t(value) + alignment - 1) / alignment * alignment);
}

PeError FindPeTail(const PeImage& image, PeTail* tail, std::string* detail) {
  *tail = PeTail{};
  if (image.symbolTablePointer != 0) return PeError::kNotStripped;
  const size_t count = image.sections.size();
  size_t first = count;
  while (first > 0 && IsTailName(image.sections[first - 1].name)) --first;
  for (size_t i = 0; i < first; ++i) {
    const std::string& name = image.sections[i].name;
    if (name == ".rsrc" || name == ".payload") {
      *detail = "section " + image.sections[i + 1].name + " follows " + name;
      return PeError::kTailNotLast;
    }
  }
  tail->first = first;

  uint64_t rawEnd = image.sizeOfHeaders;
  uint64_t rvaEnd = AlignUp(image.sizeOfHeaders, image.sectionAlignment);
  for (size_t i = 0; i < first; ++i) {
    const PeSection& s = image.sections[i];
    if (s.rawSize > 0) rawEnd = std::max(rawEnd, End(s.rawPointer, s.rawSize));
    rvaEnd = std::max(rvaEnd, End(s.virtualAddress, std::max(s.virtualSize, s.rawSize)));
  }
  tail->rawStart = AlignUp(static_cast<uint32_t>(rawEnd), image.fileAlignment);
  tail->rvaStart = first < count ? image.sections[first].virtualAddress
                                 : AlignUp(static_cast<uint32_t>(rvaEnd), image.sectionAlignment);
  for (size_t i = first; i < count; ++i) {
    const PeSection& s = image.sections[i];
    if (s.virtualAddress < rvaEnd || (s.rawSize > 0 && s.rawPointer < rawEnd)) {
      *detail = "section " + s.name;
      return PeError::kOverlappingLayout;
    }
    tail->rvaStart = std::min(tail->rvaStart, s.virtualAddress);
    if (s.name == ".rsrc") tail->resource = static_cast<int>(i);
    if (s.name == ".reloc") tail->relocation = static_cast<int>(i);
    if (s.name == ".payload") tail->product = static_cast<int>(i);
  }

  for (size_t d = 0; d < image.directories.size(); ++d) {
    const PeDirectory& dir = image.directories[d];
    if (d == kDirectorySecurity || dir.size == 0) continue;
    const int owner = d == kDirectoryResource         ? tail->resource
                      : d == kDirectoryBaseRelocation ? tail->relocation
                                                      : -1;
    if (owner >= 0) {
      const PeSection& s = image.sections[owner];
      if (dir.address >= s.virtualAddress &&
          End(dir.address, dir.size) <= End(s.virtualAddress, std::max(s.virtualSize, s.rawSize))) {
        continue;
      }
    } else if (End(dir.address, dir.size) <= tail->rvaStart) {
      continue;
    }
    *detail = "data directory " + std::to_string(d);
    return PeError::kDirectoryInTail;
  }
  return PeError::kNone;
}

uint32_t NewSectionAddress(const PeImage& image, const PeTail& tail,
                           const std::vector<PeNewSection>& sections, size_t index) {
  uint64_t rva = tail.rvaStart;
  for (size_t i = 0; i < index; ++i) {
    rva += AlignUp(static_cast<uint32_t>(sections[i].data.size()), image.sectionAlignment);
  }
  return static_cast<uint32_t>(rva);
}

PeError WritePeWithTail(const uint8_t* file, const PeImage& image, const PeTail& tail,
                        const std::vector<PeNewSection>& sections, std::vector<uint8_t>* out) {
  const size_t newCount = tail.first + sections.size();
  size_t firstRaw = tail.rawStart;
  for (const PeSection& s : image.sections)
    if (s.rawSize > 0) firstRaw = std::min<size_t>(firstRaw, s.rawPointer);
  if (newCount > 0xFFFF || image.sectionTableOffset + newCount * kSectionHeaderSize >
                               std::min<size_t>(image.sizeOfHeaders, firstRaw)) {
    return PeError::kNoRoomForSection;
  }
  uint64_t rawTotal = tail.rawStart;
  uint64_t rvaTotal = tail.rvaStart;
  for (const PeNewSection& s : sections) {
    rawTotal += AlignUp(static_cast<uint32_t>(std::min<size_t>(s.data.size(), 0xFFFFFFFF)),
                        image.fileAlignment);
    rvaTotal += AlignUp(static_cast<uint32_t>(std::min<size_t>(s.data.size(), 0xFFFFFFFF)),
                        image.sectionAlignment);
    if (s.data.size() >= 0xFFFFFFFFu || rawTotal >= 0xFFFFFFFFu || rvaTotal >= 0xFFFFFFFFu) {
      return PeError::kTooLarge;
    }
  }

  out->assign(file, file + tail.rawStart);
  uint32_t initializedData = image.sizeOfInitializedData;
  for (size_t i = tail.first; i < image.sections.size(); ++i) {
    if (image.sections[i].characteristics & kSectionInitializedData) {
      initializedData -= image.sections[i].rawSize;
    }
  }
  // The section entries past the kept ones: the new ones, then zeros where
  // an old entry is no longer used.
  const size_t tableEnd = std::min(
      out->size(), image.sectionTableOffset + std::max(newCount, image.sections.size()) * kSectionHeaderSize);
  std::fill(out->begin() + image.sectionTableOffset + tail.first * kSectionHeaderSize,
            out->begin() + tableEnd, 0);

  std::vector<PeDirectory> directories = image.directories;
  directories[kDirectorySecurity] = PeDirectory{};
  directories[kDirectoryResource] = PeDirectory{};
  if (tail.relocation >= 0) directories[kDirectoryBaseRelocation] = PeDirectory{};

  uint32_t rva = tail.rvaStart;
  for (size_t i = 0; i < sections.size(); ++i) {
    const PeNewSection& s = sections[i];
    const uint32_t size = static_cast<uint32_t>(s.data.size());
    const uint32_t rawSize = AlignUp(size, image.fileAlignment);
    const uint32_t rawPointer = static_cast<uint32_t>(out->size());
    const size_t entry = image.sectionTableOffset + (tail.first + i) * kSectionHeaderSize;
    std::memcpy(out->data() + entry, s.name.data(), std::min<size_t>(s.name.size(), 8));
    Put32(out, entry + 8, size);
    Put32(out, entry + 12, rva);
    Put32(out, entry + 16, rawSize);
    Put32(out, entry + 20, rawSize > 0 ? rawPointer : 0);
    Put32(out, entry + 36, s.characteristics);
    out->insert(out->end(), s.data.begin(), s.data.end());
    out->resize(rawPointer + size_t(rawSize), 0);
    if (s.characteristics & kSectionInitializedData) initializedData += rawSize;
    if (s.directory >= 0) directories[s.directory] = PeDirectory{rva, s.directorySize ? s.directorySize : size};
    rva += AlignUp(size, image.sectionAlignment);
  }

  Put16(out, image.fileHeaderOffset + 2, static_cast<uint32_t>(newCount));
  Put32(out, image.optionalHeaderOffset + 8, initializedData);
  Put32(out, image.optionalHeaderOffset + 56, rva);  // SizeOfImage: the last section's aligned end
  for (size_t d = 0; d < directories.size(); ++d) {
    Put32(out, image.DirectoryOffset(static_cast<int>(d)), directories[d].address);
    Put32(out, image.DirectoryOffset(static_cast<int>(d)) + 4, directories[d].size);
  }
  Put32(out, image.ChecksumOffset(), 0);
  Put32(out, image.ChecksumOffset(), PeChecksum(out->data(), out->size(), image.ChecksumOffset()));
  return PeError::kNone;
}
