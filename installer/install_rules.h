// The installer's arithmetic and path rules, free of Windows calls so they
// can be tested on their own: the free-space figures and the default drive,
// the folder chooser's result, the paths of the install sequence and the
// shortcut's file name. Texts are GBK byte strings. Portable.
#pragma once

#include <cstdint>
#include <string>

// ---- Free space and the default drive ------------------------------------------

// The sizes of a volume in whole MiB as QueryDiskSpace reports them.
struct DiskSpaceMiB {
  int64_t used;   // total - available to the caller: what the caller cannot use
  int64_t free;   // total free space
  int64_t total;
};

// From the three byte counts of GetDiskFreeSpaceExA (available to the caller,
// total, total free); each step in double precision, truncated toward zero.
DiskSpaceMiB ToWholeMiB(int64_t availableToCaller, int64_t totalBytes, int64_t totalFree);

// Drive D: holds the default installation folder when it has at least this
// much free space.
constexpr int64_t kMinimumFreeMiBOnD = 1000;

// "D:\" when freeMiB >= 1000 (signed comparison), otherwise "C:\".
const char* DefaultDrivePrefix(int64_t freeMiB);

// ---- Folder chooser --------------------------------------------------------------

// The chooser's result from what the browser gave: the display name as the
// dialog left it (a buffer of spaces after a cancel), whether an item came
// back, and, for an item, whether it had a file-system path and that path.
// Empty when cancelled, when the trimmed display name holds "?" (a name the
// ANSI code page cannot show), or when the item has no path. A drive root of
// exactly 3 bytes ("E:\") loses its separator ("E:"), so that appending "\"
// and the product name gives one separator. Other paths (UNC included) are
// kept as they are.
std::string ChosenFolder(const char* displayName, bool gotItem, bool hasPath, const char* path);

// ---- Install sequence paths ---------------------------------------------------------

// The temporary archive: temporary folder (which ends in "\") + "\tool.zip".
// The doubled separator is read as one by the file system.
std::string TempArchivePath(const std::string& tempFolder);

// The drive-root archive of an installation folder: its first byte + ":\" +
// name, with name "tool.zip" for attempt 0 and "tool_N.zip" for attempt N.
// Empty when the folder is empty.
std::string DriveRootArchivePath(const std::string& folder, int attempt);

// folder + "\" + productName + ".exe".
std::string ProductExePath(const std::string& folder, const std::string& productName);

// ---- Command line ------------------------------------------------------------------

// What setup.exe was asked for on its command line (GBK text after the
// program's own name):
//   (nothing)        the window, as always
//   /S [/D=folder]   install silently: no window, no message box; into folder
//                    (the rest of the line, unquoted, spaces included, as
//                    /D= comes last) or the default folder
//   /?               a short usage box
// Switches are case-insensitive and separated by spaces; anything else, /D=
// without /S or with an empty folder, is a usage error.
struct SetupArguments {
  bool silent = false;
  bool usage = false;  // /? given
  bool bad = false;    // not understood: the usage box, exit code kExitUsage
  std::string folder;  // /D=, empty when not given
};
SetupArguments ParseSetupArguments(const std::string& arguments);

// The arguments after the program's name on a command line: the name is
// quoted or ends at the first space; the spaces after it are skipped.
std::string ArgumentsAfterProgramName(const std::string& commandLine);

// Exit codes of a silent install (an install with the window always exits 0).
enum SilentExitCode : int {
  kExitInstalled = 0,
  kExitUsage = 1,          // a command line that is not understood
  kExitNoProduct = 2,      // the brand row or product index names no product
  kExitArchiveNotWritten = 3,  // the archive could not be written out
  kExitExtractionFailed = 4,   // a file could not be written into the folder
  kExitShortcutFailed = 5,     // installed, but the desktop shortcut was not made
  kExitDamaged = 6,            // the embedded archive fails its CRC-32: nothing written
  kExitFolderBusy = 7,         // another setup program is installing into the folder
};

// The name of the named object by which a running setup program marks the
// folder it installs into, so that a second one does not write into it too:
// "Local\SkinSetup.Installing." and 16 hexadecimal digits of a 64-bit FNV-1a
// hash over the folder's UTF-16 code units. The caller passes the full path
// upper-cased; separators at its end do not count, so "D:\A" and "D:\A\"
// give one name.
std::string InstallClaimName(const uint16_t* folder, size_t length);

// The command line that starts a program: the path as it is, or in double
// quotes when it holds a space (an unquoted "D:\My Apps\x.exe" would first
// be tried as "D:\My.exe").
std::string CommandLineFor(const std::string& path);
