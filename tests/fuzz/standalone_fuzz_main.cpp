// A plain driver for libFuzzer-style targets, for builds without libFuzzer
// (g++, the test suite): runs every corpus file once, then a bounded number
// of random mutations of them, and stops at the first crash (the target or
// the sanitizers abort).
//
//   target [-runs=N] [-seed=S] FILE_OR_FOLDER...
//
// N defaults to 2000 and S to 1, so that a run is repeatable. Link exactly
// one target that defines LLVMFuzzerTestOneInput with this file.
#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

constexpr size_t kMaxInputSize = 1 << 20;

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes->clear();
  uint8_t buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && bytes->size() < kMaxInputSize) {
    bytes->insert(bytes->end(), buffer, buffer + n);
  }
  std::fclose(f);
  return true;
}

// Adds path, or the regular files directly inside it when it is a folder.
void Collect(const std::string& path, std::vector<std::vector<uint8_t>>* inputs) {
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::vector<uint8_t> bytes;
      if (ReadFile(path + "/" + entry->d_name, &bytes)) inputs->push_back(std::move(bytes));
    }
    closedir(dir);
    return;
  }
  std::vector<uint8_t> bytes;
  if (ReadFile(path, &bytes)) {
    inputs->push_back(std::move(bytes));
  } else {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
  }
}

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return uint32_t(state_ >> 16);
  }
  size_t Below(size_t n) { return n == 0 ? 0 : Next() % n; }

 private:
  uint64_t state_;
};

// Values that tend to sit on boundaries of lengths, counts and versions.
const uint32_t kInteresting[] = {0, 1, 2, 3, 4, 6, 7, 8, 0x7F, 0x80, 0xFF, 0x100, 0xFFFF, 0x10000,
                                 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};

void Mutate(std::vector<uint8_t>& b, Random& random) {
  switch (random.Below(7)) {
    case 0:  // flip one bit
      if (!b.empty()) b[random.Below(b.size())] ^= uint8_t(1u << random.Below(8));
      break;
    case 1:  // a random byte
      if (!b.empty()) b[random.Below(b.size())] = uint8_t(random.Next());
      break;
    case 2:  // an interesting or nearby word
      if (b.size() >= 4) {
        size_t at = random.Below(b.size() - 3);
        uint32_t v = kInteresting[random.Below(sizeof kInteresting / sizeof kInteresting[0])];
        if (random.Below(2)) v = uint32_t(b.size()) + uint32_t(random.Below(9)) - 4;
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
      }
      break;
    case 3:  // insert a byte
      if (b.size() < kMaxInputSize) b.insert(b.begin() + random.Below(b.size() + 1), uint8_t(random.Next()));
      break;
    case 4:  // erase a short range
      if (!b.empty()) {
        size_t at = random.Below(b.size());
        size_t count = 1 + random.Below(std::min<size_t>(16, b.size() - at));
        b.erase(b.begin() + at, b.begin() + at + count);
      }
      break;
    case 5:  // truncate
      b.resize(random.Below(b.size() + 1));
      break;
    case 6:  // duplicate a chunk in place
      if (!b.empty() && b.size() < kMaxInputSize) {
        size_t at = random.Below(b.size());
        size_t count = 1 + random.Below(std::min<size_t>(32, b.size() - at));
        std::vector<uint8_t> chunk(b.begin() + at, b.begin() + at + count);
        b.insert(b.begin() + random.Below(b.size() + 1), chunk.begin(), chunk.end());
      }
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  long runs = 2000;
  unsigned long seed = 1;
  std::vector<std::vector<uint8_t>> corpus;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-runs=", 6) == 0) {
      runs = std::strtol(argv[i] + 6, nullptr, 10);
    } else if (std::strncmp(argv[i], "-seed=", 6) == 0) {
      seed = std::strtoul(argv[i] + 6, nullptr, 10);
    } else {
      Collect(argv[i], &corpus);
    }
  }
  if (corpus.empty()) corpus.emplace_back();

  for (const std::vector<uint8_t>& input : corpus) LLVMFuzzerTestOneInput(input.data(), input.size());
  Random random(seed);
  for (long run = 0; run < runs; ++run) {
    std::vector<uint8_t> input = corpus[random.Below(corpus.size())];
    for (size_t m = 1 + random.Below(4); m > 0; --m) Mutate(input, random);
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("%zu corpus inputs and %ld mutations ran without failure (seed %lu)\n", corpus.size(), runs, seed);
  return 0;
}
