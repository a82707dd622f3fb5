// PE files (PE32 and PE32+) as setup-pack reads and rewrites them: the
// headers whose values follow from the sections, the section table, the data
// directories and the checksum, and the rebuilding of the image's last
// sections (resources, base relocations, the product section) while every
// section before them stays byte for byte where it was. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/byte_cursor.h"

enum class PeError {
  kNone,
  kNotPe,               // no "MZ" header or no "PE\0\0" signature
  kTruncated,           // headers or the section table run past the file
  kBadOptionalHeader,   // neither PE32 nor PE32+, alignments that are not
                        // powers of two, too few data directories
  kSectionOutOfFile,    // a section's raw data runs past the file
  kNotStripped,         // a COFF symbol table (link the stub with -s)
  kTailNotLast,         // .rsrc or .payload followed by a section that the
                        // packer does not rebuild (detail names it)
  kOverlappingLayout,   // a kept section's data or addresses reach into
                        // the rebuilt sections
  kDirectoryInTail,     // a data directory other than the resources and the
                        // base relocations points into the rebuilt sections
  kNoRoomForSection,    // the headers have no room for another section entry
  kTooLarge,            // the image would pass 4 GiB
};

// A short English description of an error. Static text; never null.
const char* PeErrorText(PeError error);

constexpr int kDirectoryResource = 2;
constexpr int kDirectorySecurity = 4;  // file offset and size, not an RVA
constexpr int kDirectoryBaseRelocation = 5;

constexpr uint32_t kSectionInitializedData = 0x00000040;
constexpr uint32_t kSectionRead = 0x40000000;

struct PeSection {
  std::string name;  // up to 8 bytes, NULs removed
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawPointer = 0;
  uint32_t characteristics = 0;
};

struct PeDirectory {
  uint32_t address = 0;  // an RVA, except for the security directory
  uint32_t size = 0;
};

struct PeImage {
  bool pe32Plus = false;
  uint16_t machine = 0;
  size_t fileHeaderOffset = 0;      // the COFF file header, after "PE\0\0"
  size_t optionalHeaderOffset = 0;
  size_t sectionTableOffset = 0;
  uint32_t symbolTablePointer = 0;
  uint32_t sizeOfInitializedData = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfImage = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t checksum = 0;
  uint16_t dllCharacteristics = 0;
  std::vector<PeDirectory> directories;
  std::vector<PeSection> sections;

  size_t ChecksumOffset() const { return optionalHeaderOffset + 64; }
  size_t DirectoryOffset(int index) const {
    return optionalHeaderOffset + (pe32Plus ? 112 : 96) + 8 * static_cast<size_t>(index);
  }
  PeDirectory Directory(int index) const {
    return index < static_cast<int>(directories.size()) ? directories[index] : PeDirectory{};
  }
  // The section holding an RVA, or -1.
  int SectionAt(uint32_t rva) const;
  // The first section of that name, or -1.
  int FindSection(const std::string& name) const;
};

// Reads the headers and section table of file[0, size). On failure returns
// the error and, for errors found by a read, the field and offset in *where.
PeError ReadPeImage(const uint8_t* file, size_t size, PeImage* image, CursorFailure* where);

// The image checksum as Windows computes it (CheckSumMappedFile): the sum of
// the file's 16-bit little-endian words with end-around carry, the 4 bytes of
// the checksum field taken as zero and an odd last byte as a word of its
// own, plus the file's length.
uint32_t PeChecksum(const uint8_t* file, size_t size, size_t checksumOffset);

uint32_t AlignUp(uint32_t value, uint32_t alignment);

// The last sections of an image that the packer rebuilds: a suffix of the
// section table made only of ".rsrc", ".reloc" and ".payload" sections.
struct PeTail {
  size_t first = 0;        // index of the first rebuilt section (== count when none)
  uint32_t rvaStart = 0;   // where the rebuilt sections' addresses start
  uint32_t rawStart = 0;   // where their data starts in the file
  int resource = -1;       // indexes of the old sections, -1 when absent
  int relocation = -1;
  int product = -1;
};

// Finds the rebuildable tail and checks that the kept sections and the data
// directories leave it free to change. `detail` names what is in the way.
PeError FindPeTail(const PeImage& image, PeTail* tail, std::string* detail);

// A section the packer writes after the kept ones. Its virtual size is the
// size of `data`; the file holds data padded to the file alignment. When
// `directory` is not -1 that data directory is set to the section's address
// and `directorySize` (0: the data's size).
struct PeNewSection {
  std::string name;
  uint32_t characteristics = kSectionInitializedData | kSectionRead;
  std::vector<uint8_t> data;
  int directory = -1;
  uint32_t directorySize = 0;
};

// The RVA at which the i-th of the given new sections will start.
uint32_t NewSectionAddress(const PeImage& image, const PeTail& tail,
                           const std::vector<PeNewSection>& sections, size_t index);

// Writes the image with its tail replaced by `sections`, in that order: the
// file up to the tail's data, then the new sections' data. Sets the number of
// sections, SizeOfImage, SizeOfInitializedData (the old value less the old
// tail's initialized data, plus the new sections'), the directories named by
// the new sections, clears the security directory (the appended certificate
// table is not copied: the change invalidates any signature) and the
// resource and base relocation directories that no new section takes over,
// and finally the checksum. Nothing past the old tail's start is kept.
PeError WritePeWithTail(const uint8_t* file, const PeImage& image, const PeTail& tail,
                        const std::vector<PeNewSection>& sections, std::vector<uint8_t>* out);
