// Moving text into and out of global memory blocks, the carriers of every
// text that crosses the library's boundary with the host or a plug-in.
#pragma once

#include "platform/Platform.h"
#include "text/Text.h"

// The first `length` bytes of the block, ending early at a zero byte. Never
// reads past the block: at most its real size is read, and a null block or a
// length below 1 gives the empty text.
CText ReadGlobalText(HGLOBAL block, BlockLength length);
// How many bytes from the block's start ReadGlobalText would take, for a
// reader that reads them in place while the block is still its own.
size_t GlobalTextLength(HGLOBAL block, BlockLength length);

// A new fixed, zero-filled block holding the text and one zero byte; the
// text's length (without the zero) is stored through `length` when it is not
// null. Null, with nothing stored, when no block can be had.
HGLOBAL CopyTextToGlobal(const char *text, BlockLength *length);
HGLOBAL CopyTextToGlobal(const CText &text, BlockLength *length);
// The same for the text in the first `count` bytes, which ends early at a
// zero byte as a zero-terminated text would.
HGLOBAL CopyTextToGlobal(const char *bytes, size_t count, BlockLength *length);
// The same for `count` bytes known to hold no zero byte, copied as they are.
HGLOBAL CopyBytesToGlobal(const char *bytes, size_t count, BlockLength *length);
