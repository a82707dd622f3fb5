// Test support for the archive tests run under Wine: a small ZIP writer
// (stored and raw-deflate entries, records that tests may patch afterwards)
// and a scratch folder with file helpers.
#pragma once

#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ziptest {

// Paths are GBK text on the tests' side, as in the program; the system is
// asked in UTF-16 with code page 936 named, so that the tests run alike under
// every system code page.
inline std::wstring Wide(const std::string& gbk) {
  if (gbk.empty()) return std::wstring();
  int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), &wide[0], n);
  return wide;
}

inline std::string Gbk(const wchar_t* wide) {
  int n = WideCharToMultiByte(936, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string gbk(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, wide, -1, &gbk[0], n, nullptr, nullptr);
  gbk.resize(static_cast<size_t>(n - 1));
  return gbk;
}

// The temporary folder, ending in "\\".
inline std::string TempFolder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return Gbk(temp);
}

// 2018-05-01 17:27:02 in MS-DOS form.
constexpr uint16_t kDosDate = ((2018 - 1980) << 9) | (5 << 5) | 1;
constexpr uint16_t kDosTime = (17 << 11) | (27 << 5) | (2 / 2);

constexpr uint32_t kDosArchiveBit = 0x20;           // from an MS-DOS host: comes out READONLY
constexpr uint32_t kUnixRegularFile = 0x81A40000;   // -rw-r--r--
constexpr uint32_t kUnixFolder = 0x41ED0010;        // drwxr-xr-x plus the MS-DOS folder bit

struct Entry {
  std::string name;
  std::string data;
  uint16_t method = 8;  // 0 stored, 8 deflate; anything else stores the data as is
  uint32_t externalAttributes = kDosArchiveBit;
  uint16_t versionMadeBy = 20;
  uint16_t dosDate = kDosDate;
  uint16_t dosTime = kDosTime;
  uint16_t flags = 0;  // general-purpose flags, in both records (bit 11: a UTF-8 name)
  std::string localExtra;
};

inline Entry FileEntry(const std::string& name, const std::string& data, uint16_t method = 8) {
  Entry e;
  e.name = name;
  e.data = data;
  e.method = method;
  return e;
}

inline Entry FolderEntry(const std::string& name) {
  Entry e;
  e.name = name;
  e.method = 0;
  e.externalAttributes = 0x10;
  return e;
}

// The archive and where its records lie, for patching.
struct Archive {
  std::string bytes;
  std::vector<size_t> local;    // offset of each local header
  std::vector<size_t> central;  // offset of each central record
  std::vector<size_t> data;     // offset of each entry's data
};

// Offsets inside the records.
constexpr size_t kLocalMethod = 8, kLocalCrc = 14, kLocalCompressed = 18, kLocalSize = 22,
                 kLocalNameLength = 26, kLocalExtraLength = 28;
constexpr size_t kCentralMethod = 10, kCentralCrc = 16, kCentralCompressed = 20,
                 kCentralSize = 24, kCentralNameLength = 28;

inline void PutLe16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
inline void PutLe32(std::string& s, size_t at, uint32_t v) {
  PutLe16(s, at, static_cast<uint16_t>(v & 0xFFFF));
  PutLe16(s, at + 2, static_cast<uint16_t>(v >> 16));
}
inline uint32_t GetLe32(const std::string& s, size_t at) {
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(s[at + i])); };
  return b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
}
inline void AppendLe16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
inline void AppendLe32(std::string& s, uint32_t v) {
  AppendLe16(s, static_cast<uint16_t>(v & 0xFFFF));
  AppendLe16(s, static_cast<uint16_t>(v >> 16));
}

inline std::string RawDeflate(const std::string& in) {
  z_stream z = {};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(in.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

inline uint32_t Crc32Of(const std::string& s) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

inline Archive BuildArchive(const std::vector<Entry>& entries) {
  Archive a;
  std::vector<std::string> packed;
  for (const Entry& e : entries) {
    std::string body = e.method == 8 ? RawDeflate(e.data) : e.data;
    a.local.push_back(a.bytes.size());
    AppendLe32(a.bytes, 0x04034B50);
    AppendLe16(a.bytes, 20);
    AppendLe16(a.bytes, e.flags);
    AppendLe16(a.bytes, e.method);
    AppendLe16(a.bytes, e.dosTime);
    AppendLe16(a.bytes, e.dosDate);
    AppendLe32(a.bytes, Crc32Of(e.data));
    AppendLe32(a.bytes, static_cast<uint32_t>(body.size()));
    AppendLe32(a.bytes, static_cast<uint32_t>(e.data.size()));
    AppendLe16(a.bytes, static_cast<uint16_t>(e.name.size()));
    AppendLe16(a.bytes, static_cast<uint16_t>(e.localExtra.size()));
    a.bytes += e.name;
    a.bytes += e.localExtra;
    a.data.push_back(a.bytes.size());
    a.bytes += body;
    packed.push_back(body);
  }
  size_t directory = a.bytes.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    a.central.push_back(a.bytes.size());
    AppendLe32(a.bytes, 0x02014B50);
    AppendLe16(a.bytes, e.versionMadeBy);
    AppendLe16(a.bytes, 20);
    AppendLe16(a.bytes, e.flags);
    AppendLe16(a.bytes, e.method);
    AppendLe16(a.bytes, e.dosTime);
    AppendLe16(a.bytes, e.dosDate);
    AppendLe32(a.bytes, Crc32Of(e.data));
    AppendLe32(a.bytes, static_cast<uint32_t>(packed[i].size()));
    AppendLe32(a.bytes, static_cast<uint32_t>(e.data.size()));
    AppendLe16(a.bytes, static_cast<uint16_t>(e.name.size()));
    AppendLe16(a.bytes, 0);  // central extra
    AppendLe16(a.bytes, 0);  // comment
    AppendLe16(a.bytes, 0);  // disk
    AppendLe16(a.bytes, 0);  // internal attributes
    AppendLe32(a.bytes, e.externalAttributes);
    AppendLe32(a.bytes, static_cast<uint32_t>(a.local[i]));
    a.bytes += e.name;
  }
  size_t directorySize = a.bytes.size() - directory;
  AppendLe32(a.bytes, 0x06054B50);
  AppendLe16(a.bytes, 0);
  AppendLe16(a.bytes, 0);
  AppendLe16(a.bytes, static_cast<uint16_t>(entries.size()));
  AppendLe16(a.bytes, static_cast<uint16_t>(entries.size()));
  AppendLe32(a.bytes, static_cast<uint32_t>(directorySize));
  AppendLe32(a.bytes, static_cast<uint32_t>(directory));
  AppendLe16(a.bytes, 0);
  return a;
}

// An extended time-stamp block ("UT") carrying only the last write time.
inline std::string UtBlockWithLastWrite(uint32_t unixTime) {
  std::string b = "UT";
  AppendLe16(b, 5);
  b.push_back(1);
  AppendLe32(b, unixTime);
  return b;
}

// Data that deflates well but spans several 16,384-byte pieces.
inline std::string LargeText(size_t size) {
  std::string s;
  for (size_t i = 0; s.size() < size; ++i) s += "line " + std::to_string(i * 7919 % 1000) + "\r\n";
  s.resize(size);
  return s;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(f);
  return ok && put == bytes.size();
}

// The file's bytes, or "<missing>" when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
  HANDLE f = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "<missing>";
  std::string out;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
  CloseHandle(f);
  return out;
}

inline bool IsFile(const std::string& path) {
  DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool IsFolder(const std::string& path) {
  DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Names in a folder, without "." and "..", in the order the system lists them.
inline std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string n = Gbk(found.cFileName);
    if (n != "." && n != "..") names.push_back(n);
  } while (FindNextFileW(h, &found));
  FindClose(h);
  return names;
}

// Removes a folder and everything in it, read-only files included. Walks in
// UTF-16: a name GBK cannot spell (a UTF-8 entry's Korean name) goes too.
inline void RemoveWideTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveWideTree(child);
      else
        DeleteFileW(child.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

inline void RemoveTree(const std::string& path) { RemoveWideTree(Wide(path)); }

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    static int counter = 0;
    path_ = TempFolder() + "ziptest_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++counter);
    RemoveTree(path_);
    CreateDirectoryW(Wide(path_).c_str(), nullptr);
  }
  ~ScratchFolder() { RemoveTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

inline uint64_t FileTimeValue(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// 2018-05-01 17:27:02 UTC as a FILETIME value, computed by the system.
inline uint64_t ExpectedDosTimeAsUtc() {
  SYSTEMTIME st = {};
  st.wYear = 2018;
  st.wMonth = 5;
  st.wDay = 1;
  st.wHour = 17;
  st.wMinute = 27;
  st.wSecond = 2;
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  return FileTimeValue(ft);
}

}  // namespace ziptest
