#include "text/TextSearch.h"

#include <cstdint>
#include <cstring>

#include "text/DoubleByte.h"

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__i386__) || defined(__x86_64__))
#include <immintrin.h>
#define TOVRA_VECTOR_SCAN 1
#endif

namespace {

const size_t kNone = SIZE_MAX;

// The first position c from `from` to `last` where text[c] is `first` and
// text[c + span] is `final`, or kNone; text[last + span] must be readable.
// Requiring both ends of the pattern leaves few false candidates in any text.
size_t FindEndsPlain(const char *text, size_t from, size_t last, char first, char final, size_t span) {
  while (from <= last) {
    const char *hit = FindByte(text + from, last + 1 - from, first);
    if (!hit) return kNone;
    const size_t c = static_cast<size_t>(hit - text);
    if (text[c + span] == final) return c;
    from = c + 1;
  }
  return kNone;
}

#ifdef TOVRA_VECTOR_SCAN
// The same, 16 or 32 candidates at a time. The last window is moved back to
// end at `last` (its candidates already looked at are masked off), so no
// candidate is left to a loop of its own; fewer candidates than one window
// go to the narrower search.
__attribute__((target("sse2"))) unsigned EndsMask16(const char *at, __m128i firsts, __m128i finals, size_t span) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + span));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, firsts), _mm_cmpeq_epi8(b, finals))));
}

__attribute__((target("sse2"))) size_t FindEndsSse2(const char *text, size_t from, size_t last, char first,
                                                     char final, size_t span) {
  if (last + 1 - from < 16) return FindEndsPlain(text, from, last, first, final, span);
  const __m128i firsts = _mm_set1_epi8(first), finals = _mm_set1_epi8(final);
  for (; from + 16 <= last + 1; from += 16)
    if (const unsigned mask = EndsMask16(text + from, firsts, finals, span))
      return from + static_cast<size_t>(__builtin_ctz(mask));
  if (from > last) return kNone;
  const size_t window = last + 1 - 16;
  const unsigned mask = EndsMask16(text + window, firsts, finals, span) >> (from - window);
  return mask ? from + static_cast<size_t>(__builtin_ctz(mask)) : kNone;
}

__attribute__((target("avx2"))) unsigned EndsMask32(const char *at, __m256i firsts, __m256i finals, size_t span) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + span));
  return static_cast<unsigned>(
      _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, firsts), _mm256_cmpeq_epi8(b, finals))));
}

__attribute__((target("avx2"))) size_t FindEndsAvx2(const char *text, size_t from, size_t last, char first,
                                                     char final, size_t span) {
  if (last + 1 - from < 32) return FindEndsSse2(text, from, last, first, final, span);
  const __m256i firsts = _mm256_set1_epi8(first), finals = _mm256_set1_epi8(final);
  for (; from + 32 <= last + 1; from += 32)
    if (const unsigned mask = EndsMask32(text + from, firsts, finals, span))
      return from + static_cast<size_t>(__builtin_ctz(mask));
  if (from > last) return kNone;
  const size_t window = last + 1 - 32;
  const unsigned mask = EndsMask32(text + window, firsts, finals, span) >> (from - window);
  return mask ? from + static_cast<size_t>(__builtin_ctz(mask)) : kNone;
}
#endif

#if defined(TOVRA_VECTOR_SCAN) && defined(_WIN32)
__attribute__((target("sse2"))) const char *FindByteSse2(const char *text, size_t length, char byte) {
  const __m128i bytes = _mm_set1_epi8(byte);
  size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, bytes)));
    if (mask) return text + i + __builtin_ctz(mask);
  }
  for (; i < length; ++i)
    if (text[i] == byte) return text + i;
  return nullptr;
}

__attribute__((target("avx2"))) const char *FindByteAvx2(const char *text, size_t length, char byte) {
  const __m256i bytes = _mm256_set1_epi8(byte);
  size_t i = 0;
  for (; i + 32 <= length; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(text + i));
    const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, bytes)));
    if (mask) return text + i + __builtin_ctz(mask);
  }
  return FindByteSse2(text + i, length - i, byte);
}

const char *FindByteMemchr(const char *text, size_t length, char byte) {
  return static_cast<const char *>(std::memchr(text, byte, length));
}

typedef const char *(*ByteScanner)(const char *, size_t, char);

ByteScanner ChooseByteScanner() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return FindByteAvx2;
  if (__builtin_cpu_supports("sse2")) return FindByteSse2;
  return FindByteMemchr;
}
#endif

typedef size_t (*EndsScanner)(const char *, size_t, size_t, char, char, size_t);

EndsScanner ChooseEndsScanner() {
#ifdef TOVRA_VECTOR_SCAN
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return FindEndsAvx2;
  if (__builtin_cpu_supports("sse2")) return FindEndsSse2;
#endif
  return FindEndsPlain;
}

// The widest scanner this processor runs, chosen on first use (searches may
// run during static initialisation).
size_t FindEnds(const char *text, size_t from, size_t last, char first, char final, size_t span) {
  static const EndsScanner scanner = ChooseEndsScanner();
  return scanner(text, from, last, first, final, span);
}

}  // namespace

#if defined(_WIN32)
const char *FindByteInLongText(const char *text, size_t length, char byte) {
#ifdef TOVRA_VECTOR_SCAN
  // The C runtime's memchr on Windows compares one byte at a time.
  static const ByteScanner scanner = ChooseByteScanner();
  return scanner(text, length, byte);
#else
  return static_cast<const char *>(std::memchr(text, byte, length));
#endif
}
#endif

const char *FindText(const char *text, const char *pattern) {
  if (!text || !pattern) return nullptr;
  return FindTextN(text, std::strlen(text), pattern, std::strlen(pattern));
}

// Candidates advance a whole character at a time, so a match never starts on
// a trail byte. Only a position holding the pattern's first and last bytes
// can start a match: the search jumps from one such position to the next,
// compares the rest, and only then checks that the match starts a character,
// by the lead bytes right before it.
const char *FindTextFrom(const char *text, size_t textLength, const char *pattern, size_t patternLength,
                         size_t from) {
  const size_t last = textLength - patternLength;
  const char first = pattern[0];
  const size_t span = patternLength - 1;
  size_t boundary = 0;  // a known start of a character, at or before `from`
  while (from <= last) {
    size_t candidate;
    if (span == 0) {
      const char *hit = FindByte(text + from, last + 1 - from, first);
      candidate = hit ? static_cast<size_t>(hit - text) : kNone;
    } else if (last - from < 16) {
      candidate = FindEndsPlain(text, from, last, first, pattern[span], span);  // too short for vectors
    } else {
      candidate = FindEnds(text, from, last, first, pattern[span], span);
    }
    if (candidate == kNone) return nullptr;
    from = candidate + 1;
    if (span > 1 && std::memcmp(text + candidate + 1, pattern + 1, span - 1) != 0) continue;
    // Zero, CR and LF are never a lead byte's partner, so they always start one.
    if (!CanEndPair(static_cast<unsigned char>(first)) || LeadBytesBefore(text, boundary, candidate) % 2 == 0)
      return text + candidate;
    boundary = candidate + 1;  // a trail byte: the next character starts behind it
  }
  return nullptr;
}

int CompareNoCaseN(const char *a, const char *b, size_t n) {
  if (!a) a = "";
  if (!b) b = "";
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) {
      if (a[i] == 0) return 0;
      continue;  // equal bytes fold alike
    }
    signed char x = static_cast<signed char>(a[i]);
    signed char y = static_cast<signed char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<signed char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<signed char>(y - 'a' + 'A');
    if (x != y) return x - y;
  }
  return 0;
}
