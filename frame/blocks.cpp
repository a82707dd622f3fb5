#include "frame/blocks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

BlockPlatform gPlatform{};

struct ConstantRange {
  const uint8_t* start;
  const uint8_t* end;
};
ConstantRange gRanges[kMaxConstantRanges];
int gRangeCount = 0;

constexpr uint32_t kArrayHeader = 8;  // dimension count + length/count

}  // namespace

void AllocationFailed(size_t n) {
  char text[64];
  std::snprintf(text, sizeof text, "分配 %d 字节内存失败!", static_cast<int>(n));
  RaiseFatal(0, text);
}

void SetBlockPlatform(const BlockPlatform& platform) { gPlatform = platform; }
const BlockPlatform& GetBlockPlatform() { return gPlatform; }

void RaiseFatal(int code, const char* message) {
  if (gPlatform.fatal) gPlatform.fatal(code, message);
  std::abort();  // the platform's report must not return
}

bool AddConstantRange(const void* start, size_t size) {
  if (size == 0 || gRangeCount == kMaxConstantRanges) return false;
  const uint8_t* s = static_cast<const uint8_t*>(start);
  gRanges[gRangeCount++] = {s, s + size};
  return true;
}

void ClearConstantRanges() { gRangeCount = 0; }

bool FindConstantRange(const void* p, const uint8_t** rangeEnd) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  for (int i = 0; i < gRangeCount; ++i) {
    if (b >= gRanges[i].start && b < gRanges[i].end) {
      if (rangeEnd) *rangeEnd = gRanges[i].end;
      return true;
    }
  }
  return false;
}

void* TryAllocateBlock(size_t n) { return gPlatform.alloc(n == 0 ? 1 : n); }

void* AllocateBlock(size_t n) {
  void* p = TryAllocateBlock(n);
  if (!p) AllocationFailed(n);
  return p;
}

void FreeBlock(void* p) {
  if (!p || FindConstantRange(p)) return;
  gPlatform.free(p);
}

void* ReallocateBlock(void* p, size_t n) {
  if (!p) return AllocateBlock(n);
  const uint8_t* end = nullptr;
  if (FindConstantRange(p, &end)) {
    // A constant is never resized: copy what lies inside its range.
    void* copy = AllocateBlock(n);
    size_t available = static_cast<size_t>(end - static_cast<const uint8_t*>(p));
    std::memcpy(copy, p, n < available ? n : available);
    return copy;
  }
  void* q = gPlatform.realloc(p, n == 0 ? 1 : n);
  if (!q) AllocationFailed(n);
  return q;
}

void* AllocateProgramBlock(int32_t n) {
  if (n < 0) AllocationFailed(static_cast<size_t>(n));
  return AllocateBlock(static_cast<size_t>(n));
}

void* ReallocateProgramBlock(void* p, int32_t n) {
  if (n < 0) AllocationFailed(static_cast<size_t>(n));
  return ReallocateBlock(p, static_cast<size_t>(n));
}

size_t BlockExtent(const void* p) {
  if (!p) return 0;
  const uint8_t* end = nullptr;
  if (FindConstantRange(p, &end)) return static_cast<size_t>(end - static_cast<const uint8_t*>(p));
  return gPlatform.size(p);
}

void* NewByteArray(const void* data, uint32_t len) {
  if (len > SIZE_MAX - kArrayHeader) AllocationFailed(SIZE_MAX);
  uint8_t* block = static_cast<uint8_t*>(AllocateBlock(kArrayHeader + size_t{len}));
  const uint32_t header[2] = {1, len};
  std::memcpy(block, header, sizeof header);
  if (len) std::memcpy(block + kArrayHeader, data, len);
  return block;
}

bool ViewByteArray(const void* block, const uint8_t** data, uint32_t* len) {
  size_t extent = BlockExtent(block);
  if (extent < kArrayHeader) return false;
  uint32_t header[2];
  std::memcpy(header, block, sizeof header);
  if (header[0] != 1 || header[1] > extent - kArrayHeader) return false;
  *data = static_cast<const uint8_t*>(block) + kArrayHeader;
  *len = header[1];
  return true;
}

void* NewTextArray(uint32_t count) {
  if (count > (SIZE_MAX - kArrayHeader) / sizeof(char*)) AllocationFailed(SIZE_MAX);
  size_t bytes = kArrayHeader + size_t{count} * sizeof(char*);
  uint8_t* block = static_cast<uint8_t*>(AllocateBlock(bytes));
  const uint32_t header[2] = {1, count};
  std::memcpy(block, header, sizeof header);
  std::memset(block + kArrayHeader, 0, bytes - kArrayHeader);
  return block;
}

bool ViewTextArray(const void* block, char* const** elements, uint32_t* count) {
  size_t extent = BlockExtent(block);
  if (extent < kArrayHeader) return false;
  uint32_t header[2];
  std::memcpy(header, block, sizeof header);
  if (header[0] != 1 || header[1] > (extent - kArrayHeader) / sizeof(char*)) return false;
  *elements = reinterpret_cast<char* const*>(static_cast<const uint8_t*>(block) + kArrayHeader);
  *count = header[1];
  return true;
}

void FreeTextArray(void* block) {
  char* const* elements = nullptr;
  uint32_t count = 0;
  if (ViewTextArray(block, &elements, &count) && !FindConstantRange(block)) {
    for (uint32_t i = 0; i < count; ++i) FreeBlock(elements[i]);
  }
  FreeBlock(block);
}

char* NewTextN(const char* s, size_t n) {
  if (!s || n == 0) return nullptr;
  if (n == SIZE_MAX) AllocationFailed(n);
  char* t = static_cast<char*>(AllocateBlock(n + 1));
  std::memcpy(t, s, n);
  t[n] = '\0';
  return t;
}

char* NewText(const char* s) { return s ? NewTextN(s, std::strlen(s)) : nullptr; }
