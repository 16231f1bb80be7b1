/* calc: integer arithmetic on its arguments.
 *
 *   $tovra[calc,add,3,4]     7        add and mul take any number of values
 *   $tovra[calc,sub,10,2,3]  5        sub, div and mod fold from the left
 *   $tovra[calc,div,7,2]     3        division truncates toward zero
 *   $tovra[calc,neg,5]       -5
 *
 * Bad input gives a result that says what is wrong, starting with
 * "calc error:", so it shows up in the text where the call stood.
 */
#define TOVRA_PLUGIN_IMPLEMENTATION
#include "tovra_plugin.h"

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* How many bytes of `text`, at most `limit`, hold whole characters: a
 * Shift_JIS lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it are kept
 * together or dropped together. A lead byte before a zero, CR or LF is a
 * byte of its own: CR and LF are never trail bytes. */
static size_t whole_characters(const char *text, size_t limit) {
  size_t kept = 0;
  while (kept < limit && text[kept]) {
    unsigned char c = (unsigned char)text[kept], next = (unsigned char)text[kept + 1];
    int lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    size_t step = lead && next && next != '\r' && next != '\n' ? 2 : 1;
    if (kept + step > limit) break;
    kept += step;
  }
  return kept;
}

/* The message names at most the first 100 bytes of `detail`, never half a
 * double-byte character. */
static int fail(tovra_result *result, const char *what, const char *detail) {
  char message[160];
  snprintf(message, sizeof message, "calc error: %s%.*s", what, (int)whole_characters(detail, 100), detail);
  return tovra_set_result(result, message);
}

/* A whole decimal integer with optional sign and surrounding spaces. */
static int parse(const char *text, long long *value) {
  char *end;
  errno = 0;
  *value = strtoll(text, &end, 10);
  if (end == text || errno == ERANGE) return 0;
  while (*end == ' ') ++end;
  return *end == 0;
}

static int apply(const char *op, long long a, long long b, long long *out) {
  if (!strcmp(op, "add")) return !__builtin_add_overflow(a, b, out);
  if (!strcmp(op, "sub")) return !__builtin_sub_overflow(a, b, out);
  if (!strcmp(op, "mul")) return !__builtin_mul_overflow(a, b, out);
  if (b == 0 || (a == INT64_MIN && b == -1)) return 0;
  *out = !strcmp(op, "div") ? a / b : a % b;
  return 1;
}

int tovra_execute(const tovra_call *call, tovra_result *result) {
  const char *op = call->argc > 0 ? call->argv[0] : "";
  int binary = !strcmp(op, "add") || !strcmp(op, "sub") || !strcmp(op, "mul") || !strcmp(op, "div") ||
               !strcmp(op, "mod");
  long long value, next;
  char text[32];
  int i;
  if (!binary && strcmp(op, "neg")) return fail(result, "unknown operation: ", op);
  if (call->argc < 2 || (!binary && call->argc != 2)) return fail(result, "wrong number of values for ", op);
  if (!parse(call->argv[1], &value)) return fail(result, "not an integer: ", call->argv[1]);
  if (!binary) {
    if (value == INT64_MIN) return fail(result, "out of range", "");
    value = -value;
  }
  for (i = 2; binary && i < call->argc; ++i) {
    if (!parse(call->argv[i], &next)) return fail(result, "not an integer: ", call->argv[i]);
    if (!apply(op, value, next, &value))
      return fail(result, next == 0 && (op[0] == 'd' || op[0] == 'm') ? "division by zero" : "out of range", "");
  }
  snprintf(text, sizeof text, "%lld", value);
  return tovra_set_result(result, text);
}
