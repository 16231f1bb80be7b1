// CText: the framework's text string, a counted string of Shift_JIS bytes.
//
// Code that needs a plain character buffer works in the string's scratch
// buffer and commits it before it returns:
//
//   char *buffer = path.GetScratch(MAX_PATH);   // the text, cut to 260 chars
//   ::RemoveFileName(buffer);                   // edit in place
//   path.CommitScratch();                       // the buffer becomes the text
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "text/TextSearch.h"

class CTextArray;

class CText {
 public:
  CText() = default;
  CText(const char *text);  // NOLINT: texts are built from literals everywhere
  CText(const char *bytes, size_t length);
  CText(const CText &other) : text(other.text) {}
  CText(CText &&other) noexcept : text(std::move(other.text)) {}
  CText &operator=(const CText &other);
  CText &operator=(CText &&other) noexcept;
  CText &operator=(const char *text);
  ~CText();

  // The characters, zero-terminated; "" for an empty text, never null.
  const char *c_str() const { return text.c_str(); }
  size_t Length() const { return text.size(); }
  bool IsEmpty() const { return text.empty(); }
  void Empty() { text.clear(); }
  void Reserve(size_t capacity) { text.reserve(capacity); }

  CText &Append(const char *bytes, size_t length);
  CText &Append(const char *text);
  CText &Append(const CText &other) { return Append(other.c_str(), other.Length()); }
  CText &operator+=(const CText &other) { return Append(other); }
  CText &operator+=(const char *other) { return Append(other); }
  bool operator==(const CText &other) const { return text == other.text; }
  bool operator!=(const CText &other) const { return text != other.text; }
  // A null text compares like the empty one.
  bool operator==(const char *other) const { return text == (other ? other : ""); }
  bool operator!=(const char *other) const { return !(*this == other); }
  // The byte at `index`, or 0 at and beyond the end.
  char operator[](size_t index) const { return index < text.size() ? text[index] : 0; }

  // Opens the scratch buffer with room for `capacity` characters and two
  // more bytes, all zero, holding the text cut to its first `capacity`
  // characters. An open buffer is returned as it is.
  char *GetScratch(size_t capacity);
  // The text becomes the scratch buffer's content up to its first zero byte;
  // the buffer is freed. Does nothing when no buffer is open.
  void CommitScratch();

  // Appends the fields between occurrences of `delimiter` (never found at a
  // Shift_JIS trail byte) to `destination`, which is not cleared. With
  // `skipEmpty` non-zero, fields of zero length are dropped. Returns the
  // number of fields appended. The delimiter must not be empty.
  int Split(const char *delimiter, CTextArray *destination, int skipEmpty) const;

  // Folds a-z onto A-Z in single-byte characters; double-byte characters
  // keep their bytes.
  CText &ToUpper();

  // Path operations through the scratch buffer: both work on the text's first
  // 260 characters only.
  void RemoveFileName();
  void AddTrailingSeparator();

 private:
  std::string text;
  char *scratch = nullptr;
  size_t scratchSize = 0;  // bytes allocated for `scratch`
};

// An ordered, indexable list of texts.
class CTextArray {
 public:
  size_t GetCount() const { return items.size(); }
  bool IsEmpty() const { return items.empty(); }
  // Throws std::out_of_range for an index outside the list.
  const CText &GetAt(size_t index) const { return items.at(index); }
  const CText &operator[](size_t index) const { return items.at(index); }
  void Add(const CText &text) { items.push_back(text); }
  void Add(CText &&text) { items.push_back(std::move(text)); }
  void RemoveAll() { items.clear(); }

 private:
  std::vector<CText> items;
};

// Calls `visit(bytes, length)` for each field of the counted text between
// occurrences of `delimiter` (never found at a Shift_JIS trail byte), the
// fields that CText::Split appends, without copying them; with `skipEmpty`
// non-zero, fields of zero length are passed over. Stops early when `visit`
// returns false. Returns the number of fields visited. The delimiter must not
// be empty. Always inline: the request path cuts lines and call fields with
// literal delimiters, whose search then needs no call.
template <typename Visit>
__attribute__((always_inline)) inline int ForEachField(const char *text, size_t length, const char *delimiter, size_t delimiterLength, int skipEmpty,
                 Visit visit) {
  if (!text || length == 0 || !delimiter || delimiterLength == 0) return 0;
  const char *cursor = text;
  const char *end = text + length;
  int count = 0;
  for (;;) {
    const char *found = FindTextN(cursor, static_cast<size_t>(end - cursor), delimiter, delimiterLength);
    const char *fieldEnd = found ? found : end;
    if (!skipEmpty || fieldEnd > cursor) {
      ++count;
      if (!visit(cursor, static_cast<size_t>(fieldEnd - cursor))) return count;
    }
    if (!found) return count;
    cursor = found + delimiterLength;
  }
}

// printf-style formatting into `target`, replacing its old text. The result
// is never cut, however long; a format the C formatter refuses (or a null
// one) empties the target.
CText &Format(CText &target, const char *format, ...);
