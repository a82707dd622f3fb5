// bench_payload_gen: writes the large payload of the installer benchmark, a
// host program run by the build.
//
// Usage: bench_payload_gen OUT_DIR PRODUCT_EXE PRODUCT_NAME
//
// Writes OUT_DIR/files/ with PRODUCT_EXE copied as PRODUCT_NAME.exe at the
// root and 2,000 generated files of 10 KB to 90 KB (about 100 MB) in 20
// folders data/d00 .. data/d19, and OUT_DIR/payload.manifest, the manifest
// that payload_pack turns into the payload ZIP. The same arguments give the
// same bytes on every run. The content is compressible but not trivial:
// words from a small vocabulary mixed with runs of noise, about 3:1 under
// deflate, so extraction does real inflate work.
//
// Exit status 0 on success; 1 with a message on stderr otherwise.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include "bench_content.h"

namespace {

constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 100;
constexpr const char* kEntryTime = "2018-05-01 17:27:02";

bool MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
  std::fprintf(stderr, "bench_payload_gen: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
  return false;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "bench_payload_gen: cannot write %s\n", path.c_str());
  return ok;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "bench_payload_gen: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_payload_gen OUT_DIR PRODUCT_EXE PRODUCT_NAME\n");
    return 1;
  }
  const std::string out = argv[1];
  const std::string files = out + "/files";
  const std::string productName = argv[3];
  if (!MakeFolder(out) || !MakeFolder(files) || !MakeFolder(files + "/data")) return 1;

  std::string product;
  if (!ReadFile(argv[2], &product)) return 1;
  std::string manifest;
  // The product first, as the shipped archive has it near the front.
  if (!WriteFile(files + "/" + productName + ".exe", product)) return 1;
  manifest += "file\t" + productName + ".exe\tfiles/" + productName + ".exe\t" + kEntryTime + "\t0x20\n";
  manifest += std::string("folder\tdata/\t") + kEntryTime + "\t0x10\n";

  for (int d = 0; d < kFolders; ++d) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "data/d%02d", d);
    if (!MakeFolder(files + "/" + folder)) return 1;
    manifest += std::string("folder\t") + folder + "/\t" + kEntryTime + "\t0x10\n";
    for (int f = 0; f < kFilesPerFolder; ++f) {
      uint32_t seed = static_cast<uint32_t>(d * kFilesPerFolder + f);
      size_t size = 10000 + (seed * 7919u) % 80000;
      char name[64];
      std::snprintf(name, sizeof name, "%s/f%04d.dat", folder, f);
      if (!WriteFile(files + "/" + name, MakeBenchContent(seed, size))) return 1;
      manifest += std::string("file\t") + name + "\tfiles/" + name + "\t" + kEntryTime + "\t0x20\n";
    }
  }
  // The manifest last: the build takes it as the sign that the tree is complete.
  return WriteFile(out + "/payload.manifest", manifest) ? 0 : 1;
}
