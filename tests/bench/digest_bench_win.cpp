// The installer's integrity check on a payload: the CRC-32 of the whole
// archive, as setup.exe computes it after the notice and before it writes
// anything. Prints the best and median of five passes over the archive held
// in memory, so that the figure can be set against the install's own time.
//
//   digest_bench ARCHIVE.zip
#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: digest_bench ARCHIVE.zip\n");
    return 2;
  }
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER size{};
  if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size) || size.QuadPart > 0xFFFFFFFFll) {
    std::fprintf(stderr, "digest_bench: cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  for (size_t done = 0; done < bytes.size(); done += got) {
    DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
    if (!ReadFile(file, bytes.data() + done, piece, &got, nullptr) || got == 0) return 1;
  }
  CloseHandle(file);

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> ms;
  uLong crc = 0;
  for (int pass = 0; pass < 5; ++pass) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    crc = crc32(0, bytes.data(), static_cast<uInt>(bytes.size()));
    QueryPerformanceCounter(&end);
    ms.push_back(1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
  }
  std::sort(ms.begin(), ms.end());
  const double mb = bytes.size() / 1e6;
  std::printf("payload check, CRC-32 of %.1f MB: best %.1f ms, median %.1f ms (%.0f MB/s), crc %08lx\n", mb, ms[0],
              ms[2], mb / (ms[2] / 1000.0), static_cast<unsigned long>(crc));
  return 0;
}
