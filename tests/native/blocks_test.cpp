#include "frame/blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "tests/native/native_platform.h"

namespace {

// A constant byte array as the program stores it: dimension count, length, bytes.
alignas(4) const uint8_t kConstantBlock[] = {1, 0, 0, 0, 4, 0, 0, 0, 'a', 'b', 'c', 'd'};

class BlocksTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(AddConstantRange(kConstantBlock, sizeof kConstantBlock)); }
  void TearDown() override { ClearConstantRanges(); }
};

TEST_F(BlocksTest, FreeIgnoresNullAndConstants) {
  FreeBlock(nullptr);
  FreeBlock(const_cast<uint8_t*>(kConstantBlock));
  FreeBlock(const_cast<uint8_t*>(kConstantBlock + 9));
  EXPECT_EQ(kConstantBlock[8], 'a');
}

TEST_F(BlocksTest, ReallocateCopiesConstantsWithoutReadingPastTheirRange) {
  uint8_t* inner = const_cast<uint8_t*>(kConstantBlock + 8);
  // Asking for more than the range holds copies only the 4 bytes that exist
  // (ASan would flag a read past the array).
  auto* copy = static_cast<uint8_t*>(ReallocateBlock(inner, 64));
  ASSERT_NE(copy, inner);
  EXPECT_EQ(std::memcmp(copy, "abcd", 4), 0);
  copy[0] = 'z';
  EXPECT_EQ(kConstantBlock[8], 'a');
  FreeBlock(copy);

  auto* shorter = static_cast<uint8_t*>(ReallocateBlock(inner, 2));
  EXPECT_EQ(std::memcmp(shorter, "ab", 2), 0);
  FreeBlock(shorter);
}

TEST_F(BlocksTest, ReallocateNullAllocatesAndHeapBlocksGrow) {
  auto* p = static_cast<char*>(ReallocateBlock(nullptr, 3));
  std::memcpy(p, "xy", 3);
  p = static_cast<char*>(ReallocateBlock(p, 4096));
  EXPECT_STREQ(p, "xy");
  FreeBlock(p);
}

TEST_F(BlocksTest, AllocationFailureIsTheFatalErrorWithTheCount) {
  BlockPlatform saved = GetBlockPlatform();
  BlockPlatform failing = saved;
  failing.alloc = [](size_t) -> void* { return nullptr; };
  SetBlockPlatform(failing);
  try {
    AllocateBlock(1234);
    ADD_FAILURE() << "allocation failure returned";
  } catch (const FatalError& e) {
    EXPECT_STREQ(e.what(), "分配 1234 字节内存失败!");
  }
  EXPECT_EQ(TryAllocateBlock(16), nullptr);
  SetBlockPlatform(saved);
}

TEST_F(BlocksTest, ByteArraysAreCheckedAgainstTheirBlock) {
  const uint8_t* data = nullptr;
  uint32_t len = 0;
  ASSERT_TRUE(ViewByteArray(kConstantBlock, &data, &len));
  EXPECT_EQ(len, 4u);
  EXPECT_EQ(data, kConstantBlock + 8);

  void* made = NewByteArray("hello", 5);
  ASSERT_TRUE(ViewByteArray(made, &data, &len));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), len), "hello");

  // A length that claims more than the block holds is refused, not read.
  uint32_t lie = 1000;
  std::memcpy(static_cast<uint8_t*>(made) + 4, &lie, 4);
  EXPECT_FALSE(ViewByteArray(made, &data, &len));
  uint32_t twoDims = 2;
  std::memcpy(made, &twoDims, 4);
  EXPECT_FALSE(ViewByteArray(made, &data, &len));
  FreeBlock(made);

  EXPECT_FALSE(ViewByteArray(nullptr, &data, &len));
  void* empty = NewByteArray(nullptr, 0);
  ASSERT_TRUE(ViewByteArray(empty, &data, &len));
  EXPECT_EQ(len, 0u);
  FreeBlock(empty);
}

// Only a 32-bit size_t can overflow here; the win32 test run covers it.
TEST_F(BlocksTest, OverflowingSizesAreTheAllocationError) {
  if (sizeof(size_t) != 4) GTEST_SKIP() << "sizes cannot overflow with a 64-bit size_t";
  EXPECT_THROW(NewByteArray(nullptr, UINT32_MAX), FatalError);
  EXPECT_THROW(NewTextArray(UINT32_MAX / 2), FatalError);
}

TEST_F(BlocksTest, NegativeProgramCountsAreTheAllocationErrorOnEveryBuild) {
  for (auto call : {+[] { AllocateProgramBlock(-16); }, +[] { ReallocateProgramBlock(nullptr, -16); }}) {
    try {
      call();
      ADD_FAILURE() << "a negative count gave a block";
    } catch (const FatalError& e) {
      EXPECT_STREQ(e.what(), "分配 -16 字节内存失败!");
    }
  }
  void* block = AllocateProgramBlock(0);
  EXPECT_NE(block, nullptr);
  FreeBlock(block);
}

TEST_F(BlocksTest, TextArraysOwnTheirElements) {
  void* array = NewTextArray(3);
  char* const* elements = nullptr;
  uint32_t count = 0;
  ASSERT_TRUE(ViewTextArray(array, &elements, &count));
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(elements[1], nullptr);
  const_cast<char**>(elements)[0] = NewText("one");
  const_cast<char**>(elements)[2] = NewText("three");
  FreeTextArray(array);  // ASan reports a leak if an element stays behind

  uint32_t lie[2] = {1, 1000};
  void* small = AllocateBlock(16);
  std::memcpy(small, lie, sizeof lie);
  EXPECT_FALSE(ViewTextArray(small, &elements, &count));
  FreeBlock(small);
}

TEST_F(BlocksTest, NewTextTreatsEmptyAsNull) {
  EXPECT_EQ(NewText(nullptr), nullptr);
  EXPECT_EQ(NewText(""), nullptr);
  char* t = NewTextN("abcdef", 3);
  EXPECT_STREQ(t, "abc");
  FreeBlock(t);
}

}  // namespace
