// The library's exports and its seam's free observer, linked into the
// fuzzers that drive whole requests.
#pragma once

#include "platform/Platform.h"

extern "C" {
BOOL load(HGLOBAL block, BlockLength length);
HGLOBAL request(HGLOBAL block, BlockLength *length);
BOOL unload();
// Called with every global block the library frees.
extern void (*tovra_global_free_observer)(void *block);
}
