#include "text/HeapBlock.h"

#include <cstdint>
#include <new>

#include "platform/Platform.h"

void *ProcessHeapAlloc(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return platform::ProcessHeapAllocate(count * size);
}

void ProcessHeapFree(void *block) {
  if (block) platform::ProcessHeapRelease(block);
}

void *HeapBlock::Allocate(uint32_t bytes) {
  Free();
  if (bytes == 0) throw std::bad_alloc();
  void *block = ProcessHeapAlloc(1, bytes);
  if (!block) throw std::bad_alloc();
  pointer = block;
  size = bytes;
  return pointer;
}

int HeapBlock::Free() {
  if (!pointer) return 0;
  const int result = platform::ProcessHeapRelease(pointer) ? 1 : 0;
  pointer = nullptr;
  size = 0;
  return result;
}
