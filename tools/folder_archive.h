// The payload ZIP of a product folder, made the same way every time from
// the same names, bytes and file times:
//   - entries sorted by their UTF-8 path ("/" separators, a folder's name
//     ending in "/"), which puts every folder before what it holds;
//   - names in GBK where every character has a GBK form, otherwise in UTF-8
//     with general-purpose flag bit 11;
//   - each entry's DOS date and time from the item's last write time in UTC
//     (odd seconds rounded down; times before 1980 or after 2107 clamped), as
//     the installer sets the installed file's time from them;
//   - external attributes 0x10 for folders and 0x20 for files, version made
//     by 2.0 on MS-DOS, no extra fields, no comment;
//   - files deflated at level 6, or stored when that does not make them
//     smaller; folders stored and empty; sizes and CRC in the local header.
// Items whose names differ only in ASCII case are refused: on Windows they
// would be one file. An empty folder, and archives that would need ZIP64, are
// refused as well.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/host_files.h"

// Called after each file with the bytes read so far and in all.
using ArchiveProgress = std::function<void(uint64_t done, uint64_t total)>;

// Builds the archive of `items` (as ListFolderTree gives them) into *zip.
// On failure *error names the item at fault.
bool MakeFolderArchive(const std::vector<FolderItem>& items, std::vector<uint8_t>* zip,
                       std::string* error, const ArchiveProgress& progress = nullptr);

// The DOS date (high 16 bits) and time (low 16 bits) of a time in seconds
// since 1970-01-01 UTC, clamped to 1980-01-01 00:00:00 .. 2107-12-31 23:59:58.
uint32_t DosDateTimeOfUnixTime(int64_t seconds);
