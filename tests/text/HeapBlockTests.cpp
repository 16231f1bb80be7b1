#include "text/HeapBlock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>

namespace {

TEST(HeapBlock, HoldsOneZeroFilledBlockAndFreesItOnce) {
  HeapBlock block;
  EXPECT_EQ(block.Free(), 0) << "nothing held";
  auto *bytes = static_cast<unsigned char *>(block.Allocate(64));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(block.Size(), 64u);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
  block.Allocate(8);  // the first block is freed (the leak checker watches)
  EXPECT_EQ(block.Size(), 8u);
  EXPECT_EQ(block.Free(), 1);
  EXPECT_EQ(block.Get(), nullptr);
  EXPECT_EQ(block.Size(), 0u);
  EXPECT_EQ(block.Free(), 0) << "freed exactly once";
}

TEST(HeapBlock, SizeZeroThrowsAndLeavesNothingHeld) {
  HeapBlock block;
  block.Allocate(16);
  EXPECT_THROW(block.Allocate(0), std::bad_alloc);
  EXPECT_EQ(block.Get(), nullptr);
  EXPECT_EQ(block.Size(), 0u);
}

TEST(HeapBlock, AnOverflowingCountTimesSizeGivesNull) {
  EXPECT_EQ(ProcessHeapAlloc(SIZE_MAX / 2 + 1, 2), nullptr);
  ProcessHeapFree(nullptr);
}

}  // namespace
