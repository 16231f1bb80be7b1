/* tovra_plugin.h: write a TOVRA/1.0 plug-in as one function.
 *
 * The header implements the plug-in's three entry points (load, unload,
 * request), the global memory blocks on both sides of the exchange, and the
 * TOVRA/1.0 requests and replies. You write tovra_execute, which turns the
 * arguments of a call into a result:
 *
 *     #define TOVRA_PLUGIN_IMPLEMENTATION
 *     #include "tovra_plugin.h"
 *
 *     int tovra_execute(const tovra_call *call, tovra_result *result) {
 *       if (call->argc < 1) return TOVRA_BAD_ARGUMENTS;
 *       return tovra_set_result(result, call->argv[0]);
 *     }
 *
 * The call $tovra[name,a,b] reaches tovra_execute with argc 2 and argv
 * {"a", "b"}: zero-terminated Shift_JIS bytes, unchanged. What arrives:
 *   - spaces belong to the arguments: $tovra[sum, 2 ,3] gives " 2 " and "3";
 *   - empty arguments never arrive: $tovra[rev,] and $tovra[rev] both give
 *     argc 0, and $tovra[echo,a,,b] gives "a" and "b";
 *   - calls do not nest: in $tovra[sum,$tovra[sum,1,2],3] the first "]" ends
 *     the outer call, which gets "$tovra[sum" and "1" and "2"; ",3]" stays
 *     in the text as it is.
 *
 * What tovra_execute returns:
 *   TOVRA_OK             the result replaces the call; without a
 *                        tovra_set_result the result is empty and the call
 *                        is simply removed from the text
 *   TOVRA_NO_RESULT      a "204 No Content" answer: the call is replaced by
 *                        nothing
 *   TOVRA_BAD_ARGUMENTS  a "400 Bad Request" answer: replaced by nothing
 *   TOVRA_FAILED         a "500 Internal Server Error" answer: replaced by
 *                        nothing (so is any other status)
 * The library is silent about calls replaced by nothing; tovra-doctor shows
 * the answer and says what led to it.
 *
 * Optional hooks: define the macro before the #include and the function
 * anywhere in the file (the header declares it from the macro):
 *
 *     #define TOVRA_ON_LOAD my_load
 *     #define TOVRA_ON_UNLOAD my_unload
 *     #define TOVRA_PLUGIN_IMPLEMENTATION
 *     #include "tovra_plugin.h"
 *
 *     int my_load(const char *directory) { ...; return 1; }
 *     void my_unload(void) { ... }
 *
 * my_load runs once when the plug-in is brought up, before any call, with
 * the plug-in's own directory ending in '\' ("C:\\host\\"; natively too, the
 * library writes paths with '\' separators). Its return value becomes the
 * plug-in's load result, which the library does not act on: a plug-in whose
 * my_load returns 0 is still called, so a plug-in that cannot work should
 * remember that and answer TOVRA_FAILED. my_unload runs before the library
 * frees the plug-in (at the host's unload; the next call loads the plug-in
 * again and runs my_load again). Results, arguments and the directory are
 * only valid during the call that hands them over.
 *
 * Works from C and C++. Exactly one source file of the plug-in defines
 * TOVRA_PLUGIN_IMPLEMENTATION. On Windows, build a DLL of the library's
 * bitness: 32-bit x86 for the 32-bit tovracaller.dll (the VORDEL hosts),
 * 64-bit x64 for the 64-bit one; a plug-in of the other bitness never loads.
 * Link it with -static (mingw), so that it needs no runtime DLL
 * (libgcc_s, libstdc++, libwinpthread) that the host's directories lack;
 * -I names the folder of this header (sdk in a release zip):
 *
 *     i686-w64-mingw32-gcc -shared -O2 -static -Isdk my.c -o MY.dll      (32-bit)
 *     x86_64-w64-mingw32-g++ -shared -O2 -static -Isdk my.cpp -o MY.dll  (64-bit)
 *
 * Natively, build a shared object whose blocks come from the C allocator, as
 * the library's do.
 */
#ifndef TOVRA_PLUGIN_H
#define TOVRA_PLUGIN_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses tovra_execute returns. Only TOVRA_OK puts a result in the text. */
enum {
  TOVRA_OK = 200,
  TOVRA_NO_RESULT = 204,
  TOVRA_BAD_ARGUMENTS = 400,
  TOVRA_FAILED = 500
};

typedef struct tovra_call {
  int argc;                /* number of arguments after the plug-in name */
  const char *const *argv; /* argv[0] is the first argument ("Argument0") */
  const char *directory;   /* the plug-in's directory, as load received it */
} tovra_call;

typedef struct tovra_result tovra_result;

/* Sets the result text (copied). CR and LF become spaces: a reply is made of
 * lines. Returns TOVRA_OK, or TOVRA_FAILED when no memory is left. */
int tovra_set_result(tovra_result *result, const char *text);
int tovra_set_result_n(tovra_result *result, const char *text, size_t length);

/* Yours: the plug-in's work. */
int tovra_execute(const tovra_call *call, tovra_result *result);

#ifdef __cplusplus
}
#endif

/* The hooks, when named: declared here so that they may be defined after the
 * #include. In C++ they keep C++ linkage, so they may also be static
 * functions declared before it. */
#ifdef TOVRA_ON_LOAD
int TOVRA_ON_LOAD(const char *directory);
#endif
#ifdef TOVRA_ON_UNLOAD
void TOVRA_ON_UNLOAD(void);
#endif

#ifdef TOVRA_PLUGIN_IMPLEMENTATION

#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#define TOVRA_EXPORT __declspec(dllexport)
#define TOVRA_CALL __cdecl
typedef HGLOBAL tovra_block;
static tovra_block tovra_block_new(size_t size) { return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size); }
static size_t tovra_block_size(tovra_block block) { return GlobalSize(block); }
static void tovra_block_free(tovra_block block) { GlobalFree(block); }
#else
#include <malloc.h>
#define TOVRA_EXPORT __attribute__((visibility("default")))
#define TOVRA_CALL
typedef void *tovra_block;
static tovra_block tovra_block_new(size_t size) { return calloc(size ? size : 1, 1); }
static size_t tovra_block_size(tovra_block block) { return malloc_usable_size(block); }
static void tovra_block_free(tovra_block block) { free(block); }
#endif

#ifdef __cplusplus
extern "C" {
#endif

struct tovra_result {
  char *text;
  size_t length;
};

static char *tovra_directory = NULL;

int tovra_set_result_n(tovra_result *result, const char *text, size_t length) {
  char *copy = (char *)malloc(length + 1);
  size_t i;
  if (!copy) return TOVRA_FAILED;
  for (i = 0; i < length; ++i) copy[i] = (text[i] == '\r' || text[i] == '\n') ? ' ' : text[i];
  copy[length] = 0;
  free(result->text);
  result->text = copy;
  {
    const char *zero = (const char *)memchr(copy, 0, length); /* a zero byte ends it anyway */
    result->length = zero ? (size_t)(zero - copy) : length;
  }
  return TOVRA_OK;
}

int tovra_set_result(tovra_result *result, const char *text) {
  return tovra_set_result_n(result, text, strlen(text));
}

/* The text of a block that was handed over: at most the stated length and
 * the block's real size, cut at a zero byte. The block is freed: it was ours. */
static char *tovra_take_text(tovra_block block, long length, size_t *count) {
  size_t size = block ? tovra_block_size(block) : 0;
  size_t n = length < 0 ? 0 : ((size_t)length < size ? (size_t)length : size);
  char *text = (char *)malloc(n + 1);
  if (text) {
    if (n) memcpy(text, block, n);
    text[n] = 0;
    *count = strlen(text);
  }
  if (block) tovra_block_free(block);
  return text;
}

static tovra_block tovra_reply(const char *head, const char *value, size_t valueLength, const char *tail,
                               long *length) {
  size_t headLength = strlen(head), tailLength = strlen(tail);
  size_t total = headLength + valueLength + tailLength;
  tovra_block block = tovra_block_new(total + 1);
  if (!block) return NULL;
  memcpy((char *)block, head, headLength);
  if (valueLength) memcpy((char *)block + headLength, value, valueLength);
  memcpy((char *)block + headLength + valueLength, tail, tailLength);
  *length = (long)total;
  return block;
}

static int tovra_starts_with(const char *text, const char *prefix) {
  for (; *prefix; ++text, ++prefix) {
    char a = *text, b = *prefix;
    if (a >= 'a' && a <= 'z') a = (char)(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = (char)(b - 'a' + 'A');
    if (a != b) return 0;
  }
  return 1;
}

/* From C++, nothing the plug-in's own code throws leaves its entry points,
 * where it would cross into another module's runtime: a handler that throws
 * answers like one that returns TOVRA_FAILED, a load hook that throws makes
 * load return 0, and an unload hook that throws has simply run. */
#if defined(__cplusplus) && (defined(__cpp_exceptions) || defined(__EXCEPTIONS) || defined(_CPPUNWIND))
#define TOVRA_GUARDED(call, failure) \
  try {                                \
    call;                              \
  } catch (...) {                      \
    failure;                           \
  }
#else
#define TOVRA_GUARDED(call, failure) call;
#endif

static int tovra_guarded_execute(const tovra_call *call, tovra_result *result) {
  int status = TOVRA_FAILED;
  TOVRA_GUARDED(status = tovra_execute(call, result), status = TOVRA_FAILED)
  return status;
}

/* Cuts the request into lines and collects its ArgumentN values by number. */
static int tovra_run(char *text, tovra_result *result) {
  const char **argv = NULL;
  int argc = 0, status;
  char *line = text;
  tovra_call call;
  while (line && *line) {
    char *end = strstr(line, "\r\n");
    if (end) *end = 0;
    if (tovra_starts_with(line, "Argument") && line[8] >= '0' && line[8] <= '9') {
      char *p = line + 8;
      long index = 0;
      while (*p >= '0' && *p <= '9' && index < 100000) index = index * 10 + (*p++ - '0');
      if (p[0] == ':' && p[1] == ' ' && index < 100000) {
        if (index >= argc) {
          const char **grown = (const char **)realloc((void *)argv, (size_t)(index + 1) * sizeof *argv);
          if (!grown) {
            free((void *)argv);
            return TOVRA_FAILED;
          }
          argv = grown;
          while (argc <= index) argv[argc++] = "";
        }
        argv[index] = p + 2;
      }
    }
    line = end ? end + 2 : NULL;
  }
  call.argc = argc;
  call.argv = argv;
  call.directory = tovra_directory ? tovra_directory : "";
  status = tovra_guarded_execute(&call, result);
  free((void *)argv);
  return status;
}

TOVRA_EXPORT int TOVRA_CALL load(tovra_block block, long length) {
  size_t count = 0;
  free(tovra_directory);
  tovra_directory = tovra_take_text(block, length, &count);
#ifdef TOVRA_ON_LOAD
  {
    int accepted = 0;
    TOVRA_GUARDED(accepted = TOVRA_ON_LOAD(tovra_directory ? tovra_directory : ""), accepted = 0)
    return accepted;
  }
#else
  return 1;
#endif
}

TOVRA_EXPORT int TOVRA_CALL unload(void) {
#ifdef TOVRA_ON_UNLOAD
  TOVRA_GUARDED(TOVRA_ON_UNLOAD(), (void)0)
#endif
  free(tovra_directory);
  tovra_directory = NULL;
  return 1;
}

TOVRA_EXPORT tovra_block TOVRA_CALL request(tovra_block block, long *length) {
  size_t count = 0;
  char *text = tovra_take_text(block, *length, &count);
  tovra_block reply = NULL;
  if (!text) return NULL;
  if (tovra_starts_with(text, "GET ")) {
    reply = tovra_reply("TOVRA/1.0 200 OK\r\n\r\n", "", 0, "", length);
  } else if (tovra_starts_with(text, "EXECUTE")) {
    tovra_result result = {NULL, 0};
    int status = tovra_run(text, &result);
    if (status == TOVRA_OK) /* without a result set, an empty one */
      reply = tovra_reply("TOVRA/1.0 200 OK\r\nResult: ", result.text ? result.text : "", result.length,
                          "\r\n\r\n", length);
    else if (status == TOVRA_NO_RESULT)
      reply = tovra_reply("TOVRA/1.0 204 No Content\r\n\r\n", "", 0, "", length);
    else if (status == TOVRA_BAD_ARGUMENTS)
      reply = tovra_reply("TOVRA/1.0 400 Bad Request\r\n\r\n", "", 0, "", length);
    else
      reply = tovra_reply("TOVRA/1.0 500 Internal Server Error\r\n\r\n", "", 0, "", length);
    free(result.text);
  } else {
    reply = tovra_reply("TOVRA/1.0 400 Bad Request\r\n\r\n", "", 0, "", length);
  }
  free(text);
  return reply;
}

#ifdef __cplusplus
}
#endif

#endif /* TOVRA_PLUGIN_IMPLEMENTATION */
#endif /* TOVRA_PLUGIN_H */
