// form_compiler: compiles form descriptions (UTF-8 JSON) into the binary form
// data that the program embeds.
//
//   form_compiler --routines ROUTINES.txt --output FORMS.bin FORM.json...
//
// ROUTINES.txt lists the program's handler routines, one per line, in the
// order of its handler table. Each FORM.json describes one window (format in
// form_compile_lib.h). Errors go to stderr as "<file>: unit '<name>': <what>"
// and end the tool with exit code 1; bad usage gives exit code 2.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/form_compile_lib.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: form_compiler --routines ROUTINES.txt --output FORMS.bin FORM.json...\n");
  return 2;
}

// Writes through a temporary file so that a failed run never leaves a
// half-written output behind for the build to pick up.
bool WriteOutput(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string temp = path + ".tmp";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(temp.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string routinesPath, outputPath;
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--routines") == 0 && i + 1 < argc) {
      routinesPath = argv[++i];
    } else if (std::strcmp(argv[i], "--output") == 0 && i + 1 < argc) {
      outputPath = argv[++i];
    } else if (argv[i][0] == '-') {
      return Usage();
    } else {
      inputs.push_back(argv[i]);
    }
  }
  if (routinesPath.empty() || outputPath.empty() || inputs.empty()) return Usage();

  std::string error;
  std::vector<std::string> routines;
  std::vector<uint8_t> blob;
  if (!LoadRoutineList(routinesPath, &routines, &error) || !CompileFormFiles(inputs, routines, &blob, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!WriteOutput(outputPath, blob)) {
    std::fprintf(stderr, "%s: cannot write the form data\n", outputPath.c_str());
    return 1;
  }
  return 0;
}
