// Blocks from the process heap, and a single-owner holder for one of them.
#pragma once

#include <cstddef>
#include <cstdint>

// A zero-filled block of count * size bytes, or null (also on overflow).
void *ProcessHeapAlloc(size_t count, size_t size);
// Returns a block to the process heap; null is ignored.
void ProcessHeapFree(void *block);

// Owns at most one process-heap block and frees it on destruction.
class HeapBlock {
 public:
  HeapBlock() = default;
  HeapBlock(const HeapBlock &) = delete;
  HeapBlock &operator=(const HeapBlock &) = delete;
  ~HeapBlock() { Free(); }

  // Frees the block held, then allocates `size` zero bytes. Throws
  // std::bad_alloc for a size of 0 or when no block can be had.
  void *Allocate(uint32_t size);
  // Frees the block held; returns the platform's result, 0 when none was held.
  int Free();

  void *Get() const { return pointer; }
  uint32_t Size() const { return size; }

 private:
  void *pointer = nullptr;
  uint32_t size = 0;
};
