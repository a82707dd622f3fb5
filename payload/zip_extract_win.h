// The extraction engine behind the ZIP unit's Extract command: unpacks every
// entry of a ZIP file into a folder, in archive order, replacing existing
// files, and reports progress per entry. Needs no window; the unit wraps it
// and turns the progress reports into ExtractProgress events.
//
// Windows only. Paths are GBK texts. Entries are inflated and reports made on
// the calling thread; finishing written files (times, close, move into place)
// runs on a few worker threads of its own, all ended before ExtractArchive
// returns.
#pragma once

#include <cstdint>

// Progress routine: called with the percentage (0..100) after each entry and
// once at the end. Returning false asks the extraction to stop after the entry
// just handled; the value returned for the closing report is not used.
using ExtractProgressFn = bool (*)(void* context, int32_t percent);

// Results of ExtractArchive.
constexpr int kExtractSucceeded = 1;  // every entry extracted, or a stop was asked for
constexpr int kExtractFailed = 0;
constexpr int kExtractMissing = -1;   // an argument is null, or nothing exists at archivePath

// Extracts archivePath into folder (an absolute path; it need not exist and
// need not end in "\"). progress may be null.
//
// Before anything is extracted the archive must pass three checks: its first
// 32 bytes begin with a local header that names its entry, its directory can
// be read, and every entry name is safe (CheckEntryName: no rooted, drive,
// "..", device or stream names, none longer than 259 bytes). A refused name
// fails the whole archive and nothing is written into the folder.
//
// Entries whose local header is corrupt end the archive before them (entries
// after it are not extracted, the result is still 1). Folder entries are
// created with their parents; file entries are written with extractToFile and
// end with normal attributes (a read-only file left at the path is replaced).
// A file entry whose folder does not exist fails.
//
// Progress: one report per entry (index * 100 / count), made once the entry
// is in place, in archive order, and then a closing report of 100, made
// when every file is in place and while the archive is still open (it cannot
// be deleted from inside that report). A failure before the count of entries is known
// reports 0 once; a later failure reports 100 once. A null argument reports
// nothing. After a stop request there is no closing report.
//
// Returns kExtractSucceeded, kExtractFailed or kExtractMissing. Files written
// before a failure stay on disk; a failed file entry leaves its target as it
// was and no staging file; entries after a failed one, or after the one whose
// report asked to stop, are not extracted. A run that extracts every entry
// also removes, before its closing report, the staging files (kStagingSuffix)
// a killed run left in the folders it writes files into.
int ExtractArchive(const char* archivePath, const char* folder, ExtractProgressFn progress,
                   void* context);

// Creates path and every missing parent, walking its characters from the
// root: each prefix ending in "\" (a character start: the second byte of a
// two-byte GBK character is never a separator) that does not exist is
// created with CreateDirectoryA. Returns false at the first failure; the
// folders created before it stay.
bool CreateFolderWithParents(const char* path);
