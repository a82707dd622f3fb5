// zip_check: tells the build whether a payload ZIP can be installed by the
// installer's extractor.
//
// Usage: zip_check ARCHIVE [PRODUCT_NAME]
//
// PRODUCT_NAME is given in UTF-8 and compared, in GBK, with the archive's
// root entry PRODUCT_NAME + ".exe"; without it that entry is not looked for. Exit status 0 when the archive is
// installable (nothing printed); 1 with one message on stderr naming the
// entry at fault otherwise; 2 on a usage or read error.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/gbk_display.h"
#include "tools/gbk_text.h"
#include "tools/payload_zip_check.h"

namespace {

bool ReadArchive(const char* path, std::vector<uint8_t>* bytes) {
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    bytes->insert(bytes->end(), buffer, buffer + n);
  }
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: zip_check ARCHIVE [PRODUCT_NAME]\n");
    return 2;
  }
  const char* archive = argv[1];
  std::string productGbk;
  if (argc == 3 && (!Utf8ToGbk(argv[2], &productGbk) || productGbk.empty())) {
    std::fprintf(stderr, "zip_check: product name \"%s\" is not UTF-8 text that GBK can express\n",
                 argv[2]);
    return 2;
  }
  std::vector<uint8_t> bytes;
  if (!ReadArchive(archive, &bytes)) {
    std::fprintf(stderr, "zip_check: %s: cannot read: %s\n", archive, std::strerror(errno));
    return 2;
  }
  const ZipCheckResult r = CheckPayloadZip(bytes.data(), bytes.size(), productGbk);
  if (r.problem == ZipProblem::kNone) return 0;

  std::string message = std::string("zip_check: ") + archive + ": ";
  if (r.entryIndex >= 0) {
    message += "entry " + std::to_string(r.entryIndex) + " \"" + GbkForDisplay(r.entryName) + "\": ";
  } else if (r.problem == ZipProblem::kMissingProduct) {
    message += "no file entry \"" + GbkForDisplay(r.entryName) + "\": ";
  }
  message += ZipProblemText(r.problem);
  if (!r.detail.empty()) message += " (" + GbkForDisplay(r.detail) + ")";
  std::fprintf(stderr, "%s\n", message.c_str());
  return 1;
}
