// Heap blocks: allocation, the constant ranges and the readers of byte arrays
// and text arrays. Portable: the platform supplies the heap primitives and the
// fatal-error report through SetBlockPlatform (the process heap on Windows,
// malloc in the native tests).
#pragma once

#include <cstddef>
#include <cstdint>

struct BlockPlatform {
  void* (*alloc)(size_t n);            // null on failure; the block is not cleared
  void* (*realloc)(void* p, size_t n); // null on failure, p then unchanged
  void (*free)(void* p);
  size_t (*size)(const void* p);       // usable size of a block from alloc
  // Reports a fatal runtime error (code 0 = message only). Does not return.
  void (*fatal)(int code, const char* message);
};

void SetBlockPlatform(const BlockPlatform& platform);
const BlockPlatform& GetBlockPlatform();

// Reports through the platform's fatal routine; never returns.
[[noreturn]] void RaiseFatal(int code, const char* message);

// Address ranges [start, end) of constant data. Blocks inside them are never
// freed or resized. At most kMaxConstantRanges ranges; AddConstantRange
// returns false when the list is full or the range is empty.
constexpr int kMaxConstantRanges = 8;
bool AddConstantRange(const void* start, size_t size);
void ClearConstantRanges();
// True when p lies in a constant range; *rangeEnd receives that range's end.
bool FindConstantRange(const void* p, const uint8_t** rangeEnd = nullptr);

// The fatal error "分配 %d 字节内存失败!" with n: what every allocation that
// must not fail reports when it does.
[[noreturn]] void AllocationFailed(size_t n);

// AllocateBlock: a block of n bytes; a failed allocation is the fatal error
// "分配 %d 字节内存失败!" with n.
void* AllocateBlock(size_t n);
// As AllocateBlock, but null on failure.
void* TryAllocateBlock(size_t n);
// FreeBlock: nothing for null or a constant; else the block is freed.
void FreeBlock(void* p);
// ReallocateBlock: null p allocates; a constant block is copied into a new
// block of n bytes (at most up to the end of its range) and stays untouched;
// else the block is resized. Failure is the allocation error.
void* ReallocateBlock(void* p, size_t n);
// The same for a byte count the program gives as a 32-bit integer. A
// negative count is the allocation error with that count: it is 2 GB or more
// as a size, which a 32-bit program's heap never gives, and a 64-bit build
// refuses it alike rather than hand the program a block it cannot address.
void* AllocateProgramBlock(int32_t n);
void* ReallocateProgramBlock(void* p, int32_t n);
// Bytes readable from p: up to the end of its constant range, or the heap
// block's size. 0 for null.
size_t BlockExtent(const void* p);

// Byte arrays: one block of a 32-bit dimension count 1, a 32-bit length and
// the bytes. NewByteArray copies len bytes (data may be null when len is 0).
// A size that overflows is the allocation error.
void* NewByteArray(const void* data, uint32_t len);
// Reads a byte array; false when the block is null, its dimension count is
// not 1 or its length runs past the block. An empty array gives len 0.
bool ViewByteArray(const void* block, const uint8_t** data, uint32_t* len);

// Text arrays: one block of a 32-bit dimension count 1, a 32-bit element
// count and one pointer per element (each its own block or null).
void* NewTextArray(uint32_t count);  // elements null
bool ViewTextArray(const void* block, char* const** elements, uint32_t* count);
// Frees every element and the array itself.
void FreeTextArray(void* block);

// A new text block holding a copy of s (null or empty s gives null).
char* NewText(const char* s);
char* NewTextN(const char* s, size_t n);
