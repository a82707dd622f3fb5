// What the probe programs share (the programs on the frame that the Wine
// tests start, see probe_run.h): the command line "<program> <mode> [<log
// path>]" and the log, to which a probe appends one line per observation
// (GBK, "\n"-separated). Windows only.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstring>

// The scenario word and the log path (empty when the command line has none),
// filled by ParseProbeCommandLine.
inline char gMode[64];
inline char gLogPath[MAX_PATH];

// Splits the command line: the program (quoted or not), the mode word, and
// the log path (which may be quoted).
inline void ParseProbeCommandLine() {
  const char* line = GetCommandLineA();
  if (*line == '"') {
    line = strchr(line + 1, '"');
    line = line ? line + 1 : "";
  } else {
    while (*line && *line != ' ') ++line;
  }
  while (*line == ' ') ++line;
  size_t n = 0;
  while (*line && *line != ' ' && n + 1 < sizeof gMode) gMode[n++] = *line++;
  gMode[n] = '\0';
  while (*line == ' ') ++line;
  if (*line == '"') ++line;
  lstrcpynA(gLogPath, line, sizeof gLogPath);
  if (char* quote = strchr(gLogPath, '"')) *quote = '\0';
}

// Appends one formatted line (wsprintf format; wsprintf writes at most 1024
// bytes) to the log file; nothing when the file cannot be opened.
inline void ProbeLog(const char* format, ...) {
  char line[1026];
  va_list args;
  va_start(args, format);
  int n = wvsprintfA(line, format, args);
  va_end(args);
  line[n++] = '\n';
  HANDLE h = CreateFileA(gLogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(h, line, static_cast<DWORD>(n), &written, nullptr);
  CloseHandle(h);
}
