#include "text/Text.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "text/DoubleByte.h"
#include "text/TextSearch.h"

namespace {

// The longest path the path operations work on, in characters.
const size_t kMaxPath = 260;

bool PairStartsAt(const char *bytes, size_t length, size_t at) {
  return at + 1 < length && StartsPair(bytes + at);
}

// How many of the text's bytes fit into `capacity` characters without
// leaving the lead byte of a two-byte character behind without its trail.
size_t CutLength(const std::string &text, size_t capacity) {
  if (text.size() <= capacity) return text.size();
  size_t keep = 0;
  while (keep < capacity) {
    const size_t step = PairStartsAt(text.data(), text.size(), keep) ? 2 : 1;
    if (keep + step > capacity) break;
    keep += step;
  }
  return keep;
}

}  // namespace

CText::CText(const char *value) : text(value ? value : "") {}

CText::CText(const char *bytes, size_t length) {
  if (bytes) text.assign(bytes, length);
}

CText &CText::operator=(const CText &other) {
  text = other.text;
  return *this;
}

CText &CText::operator=(CText &&other) noexcept {
  text = std::move(other.text);
  return *this;
}

CText &CText::operator=(const char *value) {
  text = value ? value : "";
  return *this;
}

CText::~CText() { delete[] scratch; }

CText &CText::Append(const char *bytes, size_t length) {
  if (bytes) text.append(bytes, length);
  return *this;
}

CText &CText::Append(const char *value) {
  if (value) text.append(value);
  return *this;
}

char *CText::GetScratch(size_t capacity) {
  if (scratch) return scratch;
  if (capacity > SIZE_MAX - 2) throw std::bad_alloc();
  scratch = new char[capacity + 2]();
  scratchSize = capacity + 2;
  std::memcpy(scratch, text.data(), CutLength(text, capacity));
  return scratch;
}

void CText::CommitScratch() {
  if (!scratch) return;
  // Bounded by the allocation, in case the caller overwrote every zero.
  const void *end = std::memchr(scratch, 0, scratchSize);
  text.assign(scratch, end ? static_cast<const char *>(end) - scratch : scratchSize);
  delete[] scratch;
  scratch = nullptr;
  scratchSize = 0;
}

int CText::Split(const char *delimiter, CTextArray *destination, int skipEmpty) const {
  if (!delimiter || !destination) return 0;
  return ForEachField(text.data(), text.size(), delimiter, std::strlen(delimiter), skipEmpty,
                      [destination](const char *field, size_t length) {
                        destination->Add(CText(field, length));
                        return true;
                      });
}

CText &CText::ToUpper() {
  for (size_t i = 0; i < text.size(); ++i) {
    if (PairStartsAt(text.data(), text.size(), i)) {
      ++i;
    } else if (text[i] >= 'a' && text[i] <= 'z') {
      text[i] = static_cast<char>(text[i] - 'a' + 'A');
    }
  }
  return *this;
}

void CText::RemoveFileName() {
  ::RemoveFileName(GetScratch(kMaxPath));
  CommitScratch();
}

void CText::AddTrailingSeparator() {
  ::AddTrailingSeparator(GetScratch(kMaxPath));
  CommitScratch();
}

CText &Format(CText &target, const char *format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list measure;
  va_copy(measure, arguments);
  const int length = format ? vsnprintf(nullptr, 0, format, measure) : -1;
  va_end(measure);
  if (length < 0) {
    target.Empty();
  } else {
    // Formatted in full before the target changes: an argument may be the
    // target's own text.
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    vsnprintf(buffer.data(), buffer.size(), format, arguments);
    target = CText(buffer.data(), static_cast<size_t>(length));
  }
  va_end(arguments);
  return target;
}
