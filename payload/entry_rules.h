// Archive-entry derivations: what an entry of the payload ZIP becomes on a
// Windows disk. Attributes and file times from the ZIP records, the "UT"
// extra block, the safety check of entry names, the target paths built from
// them and the progress percentage of an extraction.
//
// Portable: no Windows header. Texts are GBK byte strings (code page 936). A
// byte from 0x81 to 0xFE followed by a trail byte (0x40 to 0xFE but 0x7F)
// forms one two-byte character, as code page 936 decodes it, so a second
// byte of 0x5C is never taken for "\"; a lead byte followed by anything else
// stands alone, so the byte after it counts as the character it is. Nothing
// here allocates; callers own every buffer.
#pragma once

#include <cstddef>
#include <cstdint>

// Windows file attribute values, defined here so that portable code can use
// them without <windows.h>.
constexpr uint32_t kFileAttributeReadonly = 0x00000001;
constexpr uint32_t kFileAttributeHidden = 0x00000002;
constexpr uint32_t kFileAttributeSystem = 0x00000004;
constexpr uint32_t kFileAttributeDirectory = 0x00000010;
constexpr uint32_t kFileAttributeArchive = 0x00000020;
constexpr uint32_t kFileAttributeNormal = 0x00000080;

// Longest entry name, in bytes, that the extractor accepts: names must fit a
// 260-byte buffer with their terminating NUL.
constexpr size_t kMaxEntryNameLength = 259;

// Windows attribute word of an entry from the 32-bit external attributes of
// its central record. Starts from NORMAL; the directory bit (4) or the Unix
// directory type (bit 30) gives DIRECTORY|NORMAL; bit 5 adds ARCHIVE, bit 1
// HIDDEN, bit 2 SYSTEM; READONLY is added when the Unix owner-write bit (23)
// is clear or bit 0 is set, so every entry from an MS-DOS or Windows host
// comes out READONLY (the extractor resets attributes after writing).
uint32_t DeriveAttributes(uint32_t externalAttributes);

// FILETIME value (100-ns intervals since 1601-01-01) of an MS-DOS date and
// time, the fields taken as UTC, exactly as Windows' DosDateTimeToFileTime
// computes it. Returns false and leaves *out unchanged when a field is out of
// range (month 0 or above 12, day 0 or past the month's end, hour above 23,
// minute above 59, seconds above 58), which Windows rejects as well.
bool DosDateTimeToFileTime64(uint16_t dosDate, uint16_t dosTime, uint64_t* out);

// FILETIME value of a Unix time in seconds since 1970-01-01 UTC. The 32 bits
// are taken as unsigned, so the range is 1970 to 2106.
uint64_t UnixTimeToFileTime64(uint32_t seconds);

// Times carried by an extended time-stamp block ("UT", tag 0x5455), as Unix
// seconds. A flag is false when the block does not supply that time.
struct ExtendedTimestamps {
  bool hasLastWrite;
  bool hasLastAccess;
  bool hasCreation;
  uint32_t lastWrite;
  uint32_t lastAccess;
  uint32_t creation;
};

// Looks for the first "UT" block of an extra field of `length` bytes. Blocks
// are a 2-byte tag, a 2-byte little-endian size and that many data bytes; the
// walk goes on while offset + 4 < length. In the first "UT" block the flags
// byte is data byte 0 and the times follow it, one 32-bit little-endian field
// for each of flag bits 0 (last write), 1 (last access) and 2 (creation), in
// that order. Returns true when a "UT" block was found, false otherwise
// (*out then has every flag false).
// Bounded: nothing past `length` or past the block's declared size is read.
// A block that runs past the end of the field yields only the times that lie
// inside the field, and a flagged time whose four bytes are not all inside
// both the block and the field is reported as absent. `field` may be null
// when `length` is 0.
bool FindExtendedTimestamps(const uint8_t* field, size_t length, ExtendedTimestamps* out);

// The three file times of an entry as FILETIME values. A flag is false when
// the time cannot be derived (an invalid DOS date and no "UT" time for it);
// the caller then leaves that time of the file unchanged.
struct EntryTimes {
  bool hasCreation;
  bool hasLastAccess;
  bool hasLastWrite;
  uint64_t creation;
  uint64_t lastAccess;
  uint64_t lastWrite;
};

// All three times from the central record's DOS date and time (taken as UTC,
// not converted from local time), each replaced by the matching time of the
// first "UT" block of the entry's local extra field when that block carries it.
EntryTimes DeriveEntryTimes(uint16_t dosDate, uint16_t dosTime, const uint8_t* localExtra,
                            size_t localExtraLength);

// Why an entry name is refused. The extractor checks every name before it
// writes anything.
enum class EntryNameVerdict {
  kSafe,
  kEmpty,               // no bytes
  kTooLong,             // longer than kMaxEntryNameLength bytes
  kLeadingSeparator,    // starts with "/" or "\": a rooted path
  kDrivePrefix,         // starts with a letter and ":", e.g. "C:"
  kColon,               // ":" elsewhere (would name an alternate data stream)
  kParentComponent,     // a ".." component, also ".." followed by dots or
                        // spaces, which Windows trims back to ".."
  kInvalidCharacter,    // a control byte (NUL included, also after a lead
                        // byte) or one of < > " | ? *
  kReservedDeviceName,  // a component naming a device: CON, PRN, AUX, NUL,
                        // COM1-COM9, LPT1-LPT9, with or without an extension
  kBadEncoding,         // a name flagged as UTF-8 that is not well-formed
                        // UTF-8 (overlong forms, surrogates and stray bytes
                        // included)
};

// How an entry's name is encoded: GBK, unless the entry's general-purpose
// flag bit 11 marks it as UTF-8.
enum class EntryNameEncoding { kGbk, kUtf8 };
constexpr uint32_t kZipFlagUtf8Name = 0x0800;

// Checks the `length` bytes of an entry name ("/" or "\" separators,
// recognised only at character starts of its encoding). The first problem
// found is returned, in the order of the enumeration, after kBadEncoding,
// which is checked first. The rules see the same characters that Windows
// will be given, so no name passes them by being read another way.
EntryNameVerdict CheckEntryName(const char* name, size_t length,
                                EntryNameEncoding encoding = EntryNameEncoding::kGbk);

// Bytes of the well-formed UTF-8 character at text[0, length), or 0 when
// the bytes there are not one (an overlong form, a surrogate, a value past
// U+10FFFF, a stray or missing continuation byte).
size_t Utf8CharSize(const char* text, size_t length);

// A short English description of a verdict, for the host tools' messages.
// Static text; never null.
const char* EntryNameVerdictText(EntryNameVerdict verdict);

// True when the last character of text[0, length) is "\" (a character start,
// not the second byte of a two-byte character).
bool EndsWithBackslash(const char* text, size_t length);

// Writes the target path of an entry into out: the folder, then "\" unless
// the folder's last character already is "\", then the entry name with every
// "/" at a character start turned into "\". The folder need not end in "\";
// one that ends in a two-byte character whose second byte is 0x5C still gets
// its "\". Returns false (out then holds an empty string when outSize > 0)
// when the path and its NUL do not fit in outSize bytes.
bool BuildEntryPath(const char* folder, const char* entryName, char* out, size_t outSize);

// Writes path into out with "\" appended unless its last character already is
// "\": the form that NextFolderPrefix walks. Returns false (out empty when
// outSize > 0) when the result and its NUL do not fit.
bool BuildFolderPath(const char* path, char* out, size_t outSize);

// The folders to make sure of, from the root down, when creating a folder
// with its parents. Returns the length of the first prefix of folderPath
// longer than `from` bytes that ends with a "\" at a character start, or 0
// when there is none. For "D:\A\B\" the prefixes are "D:\", "D:\A\" and
// "D:\A\B\":
//   for (size_t n = NextFolderPrefix(p, 0); n != 0; n = NextFolderPrefix(p, n))
size_t NextFolderPrefix(const char* folderPath, size_t from);

// Percentage reported after entry `index` of `count` entries: the exact
// integer quotient index * 100 / count, 0 when count is 0 or index is
// negative, and 100 when index has reached count.
int32_t ExtractProgressPercent(int32_t index, int32_t count);
