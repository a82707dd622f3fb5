// Extraction benchmark, run under Wine by the `bench` target: extracts the
// demo payload, any further archives named on the command line and a
// generated archive of about 100 MB in about 2,000 files with the ZIP unit's
// engine (ExtractArchive) and, in the same process, with two single-threaded
// loops of zlib inflate and WriteFile over the same entries (a plain one, and
// one doing the same work per file as Extract), and prints the throughput of
// each and the ratios. Not a test: it prints
// figures and always exits 0 unless something fails outright.
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "payload/archive_reader_win.h"
#include "payload/zip_extract_win.h"
#include "tests/win32/zip_test_support.h"
#include "tests/bench/bench_content.h"

namespace {

double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct EntrySpan {
  std::string name;   // archive name, "/" separated
  bool folder;
  uint32_t offset;    // of the data
  uint32_t packed;
  uint32_t size;
  uint16_t method;
  uint32_t crc;
};

uint16_t Le16(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}

// The entries of an archive read from its central directory (no extras,
// no comment handling beyond what the end record says).
bool ReadEntries(const std::string& zip, std::vector<EntrySpan>* out) {
  size_t end = zip.rfind(std::string("PK\x05\x06", 4));
  if (end == std::string::npos || end + 22 > zip.size()) return false;
  size_t count = Le16(zip, end + 10);
  size_t at = ziptest::GetLe32(zip, end + 16);
  for (size_t i = 0; i < count; ++i) {
    if (at + 46 > zip.size() || ziptest::GetLe32(zip, at) != 0x02014B50) return false;
    EntrySpan e;
    e.method = Le16(zip, at + 10);
    e.crc = ziptest::GetLe32(zip, at + 16);
    e.packed = ziptest::GetLe32(zip, at + 20);
    e.size = ziptest::GetLe32(zip, at + 24);
    size_t nameLength = Le16(zip, at + 28), extra = Le16(zip, at + 30), comment = Le16(zip, at + 32);
    size_t local = ziptest::GetLe32(zip, at + 42);
    e.name = zip.substr(at + 46, nameLength);
    e.folder = !e.name.empty() && e.name.back() == '/';
    if (local + 30 > zip.size()) return false;
    e.offset = static_cast<uint32_t>(local + 30 + Le16(zip, local + 26) + Le16(zip, local + 28));
    out->push_back(e);
    at += 46 + nameLength + extra + comment;
  }
  return true;
}

std::string WindowsPath(const std::string& folder, const std::string& name) {
  std::string path = folder + "\\" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// The references: every entry read with ReadFile, inflated with zlib, checked
// against its CRC and written with WriteFile, in 16 KiB pieces, one file after
// another on one thread. The plain loop creates and writes each file; the
// same-work loop also does what Extract must do to each file besides: it
// creates it with its attributes, sets its times, makes its attributes
// normal and closes it.
bool PlainExtract(const char* archivePath, const std::string& folder, bool sameWork) {
  std::string zip = ziptest::ReadBytes(archivePath);
  std::vector<EntrySpan> entries;
  if (!ReadEntries(zip, &entries)) return false;
  HANDLE archive = CreateFileA(archivePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (archive == INVALID_HANDLE_VALUE) return false;
  CreateDirectoryA(folder.c_str(), nullptr);
  std::vector<unsigned char> in(16384), out(16384);
  FILETIME stamp;
  GetSystemTimeAsFileTime(&stamp);
  bool ok = true;
  for (const EntrySpan& e : entries) {
    std::string path = WindowsPath(folder, e.name);
    if (e.folder) {
      path.pop_back();
      CreateDirectoryA(path.c_str(), nullptr);
      continue;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              sameWork ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) { ok = false; break; }
    SetFilePointer(archive, static_cast<LONG>(e.offset), nullptr, FILE_BEGIN);
    z_stream z = {};
    inflateInit2(&z, -15);
    uint32_t left = e.packed;
    uLong crc = crc32(0, nullptr, 0);
    int status = Z_OK;
    while (status != Z_STREAM_END && ok) {
      if (z.avail_in == 0 && left > 0) {
        DWORD want = left < in.size() ? left : static_cast<DWORD>(in.size()), got = 0;
        if (!ReadFile(archive, in.data(), want, &got, nullptr) || got == 0) { ok = false; break; }
        left -= got;
        z.next_in = in.data();
        z.avail_in = got;
      }
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      if (e.method == 0) {  // stored: copy through
        size_t n = z.avail_in;
        memcpy(out.data(), z.next_in, n);
        z.avail_in = 0;
        z.avail_out -= static_cast<uInt>(n);
        status = left == 0 ? Z_STREAM_END : Z_OK;
      } else {
        status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) { ok = false; break; }
      }
      DWORD produced = static_cast<DWORD>(out.size() - z.avail_out), written = 0;
      crc = crc32(crc, out.data(), produced);
      if (produced && !WriteFile(file, out.data(), produced, &written, nullptr)) ok = false;
    }
    inflateEnd(&z);
    if (sameWork) {
      SetFileTime(file, &stamp, &stamp, &stamp);
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    CloseHandle(file);
    if (crc != e.crc) ok = false;
    if (!ok) break;
  }
  CloseHandle(archive);
  return ok;
}

// Best of `rounds` runs of each way, in turn, into fresh folders.
void Measure(const char* label, const std::string& archive, const std::string& work, double megabytes,
             int rounds) {
  double bestUnit = 1e9, bestPlain = 1e9, bestSame = 1e9;
  const std::string unitFolder = work + "\\unit", plainFolder = work + "\\plain", sameFolder = work + "\\same";
  for (int round = 0; round < rounds; ++round) {
    ziptest::RemoveTree(unitFolder);
    ziptest::RemoveTree(plainFolder);
    ziptest::RemoveTree(sameFolder);
    double t0 = Seconds();
    int result = ExtractArchive(archive.c_str(), unitFolder.c_str(), nullptr, nullptr);
    double t1 = Seconds();
    bool plain = PlainExtract(archive.c_str(), plainFolder, false);
    double t2 = Seconds();
    bool same = PlainExtract(archive.c_str(), sameFolder, true);
    double t3 = Seconds();
    if (result != kExtractSucceeded || !plain || !same) {
      std::printf("%s: extraction failed (Extract %d, plain %d, same-work %d)\n", label, result, plain ? 1 : 0,
                  same ? 1 : 0);
      return;
    }
    if (t1 - t0 < bestUnit) bestUnit = t1 - t0;
    if (t2 - t1 < bestPlain) bestPlain = t2 - t1;
    if (t3 - t2 < bestSame) bestSame = t3 - t2;
  }
  // The share of the count pass: every entry's information read once.
  double t0 = Seconds();
  int entries = 0;
  if (auto reader = ArchiveReader::Open(archive.c_str())) {
    ZipEntryInfo info;
    while (reader->EntryInfo(entries, &info) == kReaderOk) ++entries;
    reader->Close();
  }
  double countPass = Seconds() - t0;
  std::printf("%-24s count pass over %d entries: %.3f s\n", label, entries, countPass);
  ziptest::RemoveTree(unitFolder);
  ziptest::RemoveTree(plainFolder);
  ziptest::RemoveTree(sameFolder);
  std::printf("%-24s %7.1f MB  Extract %6.1f MB/s (%6.3f s)  same-work loop %6.1f MB/s (%6.3f s)"
              "  plain loop %6.1f MB/s (%6.3f s)\n",
              label, megabytes, megabytes / bestUnit, bestUnit, megabytes / bestSame, bestSame,
              megabytes / bestPlain, bestPlain);
  std::printf("%-24s Extract / same-work %.3f   Extract / plain %.3f\n", label, bestUnit / bestSame,
              bestUnit / bestPlain);
}

double DataMegabytes(const std::string& archivePath) {
  std::string bytes = ziptest::ReadBytes(archivePath);
  std::vector<EntrySpan> entries;
  ReadEntries(bytes, &entries);
  double total = 0;
  for (const EntrySpan& e : entries) total += e.size;
  return total / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string work = std::string(temp) + "extract_bench";
  ziptest::RemoveTree(work);
  CreateDirectoryA(work.c_str(), nullptr);

  // The demo payload first, then any further archives named (real files,
  // for instance), three rounds each.
  for (int a = 1; a < argc; ++a) {
    if (GetFileAttributesA(argv[a]) == INVALID_FILE_ATTRIBUTES) continue;
    std::string label = a == 1 ? std::string("demo payload") : std::string(argv[a]);
    if (label.size() > 24) label = "..." + label.substr(label.size() - 21);
    Measure(label.c_str(), argv[a], work, DataMegabytes(argv[a]), a == 1 ? 20 : 3);
  }

  // ~100 MB in 2,000 files spread over 20 folders, sizes 10 KB .. 90 KB.
  std::vector<ziptest::Entry> entries;
  double total = 0;
  for (int d = 0; d < 20; ++d) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "d%02d/", d);
    entries.push_back(ziptest::FolderEntry(folder));
    for (int f = 0; f < 100; ++f) {
      uint32_t seed = static_cast<uint32_t>(d * 100 + f);
      size_t size = 10000 + (seed * 7919u) % 80000;
      char name[48];
      std::snprintf(name, sizeof name, "%sf%04d.dat", folder, f);
      entries.push_back(ziptest::FileEntry(name, MakeBenchContent(seed, size)));
      total += static_cast<double>(size);
    }
  }
  std::string bigPath = work + "\\big.zip";
  double t0 = Seconds();
  ziptest::Archive big = ziptest::BuildArchive(entries);
  entries.clear();
  if (!ziptest::WriteBytes(bigPath, big.bytes)) {
    std::printf("cannot write %s\n", bigPath.c_str());
    return 1;
  }
  std::printf("generated archive: %zu entries, %.1f MB of data, %.1f MB packed, in %.1f s\n",
              big.local.size(), total / 1e6, big.bytes.size() / 1e6, Seconds() - t0);
  Measure("generated 2,000 files", bigPath, work, total / 1e6, 3);
  std::printf("goal: Extract within 1.0 x the same-work loop's time\n");
  ziptest::RemoveTree(work);
  return 0;
}
