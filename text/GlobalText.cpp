#include "text/GlobalText.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "text/TextSearch.h"

size_t GlobalTextLength(HGLOBAL block, BlockLength length) {
  if (!block || length <= 0) return 0;
  size_t count = std::min(static_cast<size_t>(length), platform::GlobalBlockSize(block));
  const char *bytes = static_cast<const char *>(block);
  if (const char *zero = FindByte(bytes, count, 0)) count = static_cast<size_t>(zero - bytes);
  return count;
}

CText ReadGlobalText(HGLOBAL block, BlockLength length) {
  const size_t count = GlobalTextLength(block, length);
  return count ? CText(static_cast<const char *>(block), count) : CText();
}

HGLOBAL CopyBytesToGlobal(const char *bytes, size_t count, BlockLength *length) {
  // The length travels as a 32-bit signed value; a longer text cannot be sent.
  if (count >= static_cast<size_t>(INT32_MAX)) return nullptr;
  HGLOBAL block = platform::AllocGlobalBlock(count + 1);
  if (!block) return nullptr;
  std::memcpy(block, bytes, count);  // the zero byte is already there
  if (length) *length = static_cast<BlockLength>(count);
  return block;
}

HGLOBAL CopyTextToGlobal(const char *bytes, size_t count, BlockLength *length) {
  if (const char *zero = FindByte(bytes, count, 0)) count = static_cast<size_t>(zero - bytes);
  return CopyBytesToGlobal(bytes, count, length);
}

HGLOBAL CopyTextToGlobal(const char *text, BlockLength *length) {
  return CopyBytesToGlobal(text, std::strlen(text), length);
}

HGLOBAL CopyTextToGlobal(const CText &text, BlockLength *length) {
  return CopyBytesToGlobal(text.c_str(), text.Length(), length);
}
