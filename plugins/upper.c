#define TOVRA_PLUGIN_IMPLEMENTATION
#include "tovra_plugin.h"

#include <string.h>

/* $tovra[upper,text] gives TEXT: a-z folded, double-byte characters kept. */
int tovra_execute(const tovra_call *call, tovra_result *result) {
  char text[256];
  size_t i, n;
  if (call->argc != 1) return TOVRA_BAD_ARGUMENTS;
  n = strlen(call->argv[0]);
  if (n >= sizeof text) return TOVRA_BAD_ARGUMENTS;
  for (i = 0; i <= n; ++i) {
    unsigned char c = (unsigned char)call->argv[0][i];
    text[i] = (char)((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
    if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i < n) {
      ++i; /* a Shift_JIS lead byte: its trail byte is copied as it is */
      text[i] = call->argv[0][i];
    }
  }
  return tovra_set_result(result, text);
}
