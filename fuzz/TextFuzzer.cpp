// libFuzzer target for the text layer: every search, split, comparison,
// path function and block reader that the request path uses is run on the
// input and must give exactly what the byte-by-byte model of the Shift_JIS
// rules gives. A disagreement is a failure, not only a crash.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ReplyChecks.h"
#include "ShiftJisModel.h"
#include "plugin/PluginPaths.h"
#include "text/DoubleByte.h"
#include "text/GlobalText.h"
#include "text/HeaderLines.h"
#include "text/Text.h"
#include "text/TextSearch.h"

namespace {

using checks::Require;

long Offset(const char *base, const char *found) { return found ? static_cast<long>(found - base) : model::kNone; }

// A zero-terminated copy with `room` zero bytes behind the text, for the
// functions that edit a buffer in place.
std::vector<char> Buffer(const std::string &text, size_t room) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.resize(text.size() + 1 + room, 0);
  return buffer;
}

void CheckSearches(const std::string &text, const std::string &pattern, char ch, size_t start) {
  const std::string rest = text.substr(start);
  Require(Offset(rest.data(), FindTextN(rest.data(), rest.size(), pattern.data(), pattern.size())) ==
              model::FindText(rest, pattern),
          "FindTextN finds the first match at a character start", rest);
  const std::string terminated = model::Terminated(text), terminatedPattern = model::Terminated(pattern);
  Require(Offset(text.c_str(), FindText(text.c_str(), pattern.c_str())) ==
              model::FindText(terminated, terminatedPattern),
          "FindText works on the texts up to their zero bytes", text);
  for (char c : {ch, ']', '\0', '\\', ',', '\r', '\n'}) {
    Require(Offset(rest.data(), FindChar(rest.data(), rest.size(), c)) == model::FindChar(rest, c),
            "FindChar finds a character of its own", rest);
    Require(Offset(text.c_str(), FindLastChar(text.c_str(), c)) == model::FindLastChar(text, c),
            "FindLastChar finds the last character of its own", text);
  }
}

void CheckCharacters(const std::string &text) {
  const std::vector<size_t> starts = model::CharacterStarts(text);
  const char *p = text.c_str();
  for (size_t i = 1; i < starts.size(); ++i) {
    p = CharNext(p);
    Require(Offset(text.c_str(), p) == static_cast<long>(starts[i]), "CharNext steps one whole character", text);
  }
  Require(CharNext(p) == p, "CharNext stays at the terminator");
  const size_t end = starts.back() + 1;
  const size_t step = end > 128 ? end / 32 : 1;
  for (size_t position = 0; position <= end; position += step)
    Require(IsTrailByteAt(text.c_str(), text.c_str() + position) == model::IsTrailAt(text, position),
            "IsTrailByteAt tells trail bytes", text);
}

void CheckPaths(const std::string &text, const std::string &extension) {
  const std::string path = model::Terminated(text);
  Require(Offset(text.c_str(), GetFileNamePart(text.c_str())) == static_cast<long>(model::FileNameStart(text)),
          "GetFileNamePart starts behind the last real '\\'", text);
  std::vector<char> buffer = Buffer(path, 2);
  RemoveFileName(buffer.data());
  Require(buffer.data() == model::RemoveFileName(path), "RemoveFileName cuts behind the last real '\\'", path);
  buffer = Buffer(path, 2);
  AddTrailingSeparator(buffer.data());
  Require(buffer.data() == model::AddTrailingSeparator(path), "AddTrailingSeparator adds one real '\\'", path);
  Require(GetExtensionPart(path.c_str()) == model::Extension(path), "GetExtensionPart finds the extension", path);
  buffer = Buffer(path, extension.size() + 1);
  ReplaceExtension(buffer.data(), model::Terminated(extension).c_str());
  Require(buffer.data() == model::ReplaceExtension(path, extension), "ReplaceExtension swaps the extension", path);

  // The CText forms work on the first 260 characters, never half of one.
  const std::string cut = text.substr(0, model::CutLength(text, 260));
  CText removed(text.data(), text.size());
  removed.RemoveFileName();
  Require(removed == model::RemoveFileName(cut).c_str(), "CText::RemoveFileName works on 260 whole characters", text);
  CText added(text.data(), text.size());
  added.AddTrailingSeparator();
  Require(added == model::AddTrailingSeparator(cut).c_str(), "CText::AddTrailingSeparator works on 260 whole characters",
          text);
  const CText directory = GetDirectoryPart(CText(path.c_str()));
  Require(directory == model::RemoveFileName(path).c_str(), "GetDirectoryPart is the path behind its last '\\'", path);
  Require(IsNameInsideDirectory(CText(path.c_str())) == model::InsideDirectory(path),
          "IsNameInsideDirectory refuses names that leave the directory", path);
}

void CheckScratch(const std::string &text, size_t capacity) {
  CText scratched(text.data(), text.size());
  const char *buffer = scratched.GetScratch(capacity);
  const size_t kept = model::CutLength(text, capacity);
  Require(std::memcmp(buffer, text.data(), kept) == 0, "the scratch buffer holds the text's start", text);
  for (size_t i = kept; i < capacity + 2; ++i) Require(buffer[i] == 0, "the rest of the scratch buffer is zero", text);
  scratched.CommitScratch();
  Require(scratched == model::Terminated(text.substr(0, kept)).c_str(), "a committed scratch buffer is the text", text);
}

void CheckFields(const std::string &text, const std::string &delimiter, bool skipEmpty) {
  std::vector<std::string> fields;
  ForEachField(text.data(), text.size(), delimiter.data(), delimiter.size(), skipEmpty ? 1 : 0,
               [&](const char *field, size_t length) {
                 fields.emplace_back(field, length);
                 return true;
               });
  Require(fields == model::Fields(text, delimiter, skipEmpty), "ForEachField cuts at real delimiters", text);
  if (delimiter.find('\0') != std::string::npos) return;
  CTextArray split;
  const int count = CText(text.data(), text.size()).Split(delimiter.c_str(), &split, skipEmpty ? 1 : 0);
  Require(count == static_cast<int>(fields.size()) && split.GetCount() == fields.size(), "Split appends every field",
          text);
  for (size_t i = 0; i < fields.size(); ++i)
    Require(std::string(split[i].c_str(), split[i].Length()) == fields[i], "Split appends the fields in order", text);
}

void CheckLettersAndHeaders(const std::string &text, const std::string &name) {
  CText upper(text.data(), text.size());
  upper.ToUpper();
  Require(std::string(upper.c_str(), upper.Length()) == model::Upper(text), "ToUpper folds single-byte letters", text);
  Require(StartsWithNoCase(text.data(), text.size(), name.data(), name.size()) == model::StartsWithNoCase(text, name),
          "StartsWithNoCase folds ASCII letters only", text);
  Require((CompareNoCaseN(text.c_str(), name.c_str(), name.size()) == 0) ==
              model::StartsWithNoCase(model::Terminated(text), name),
          "CompareNoCaseN agrees over the name's length", text);
  const char *value = nullptr;
  size_t valueLength = 0;
  std::string expected;
  const bool found = FindHeader(text.data(), text.size(), name.c_str(), &value, &valueLength);
  Require(found == model::HeaderValue(text, name, &expected), "FindHeader finds the first line with the name", text);
  if (found) Require(std::string(value, valueLength) == expected, "FindHeader's value starts two bytes on", text);
}

void CheckBlocks(const std::string &text, size_t blockSize, long stated) {
  std::string content = text.substr(0, blockSize);
  if (content.empty()) content.assign(1, '\0');
  HGLOBAL block = std::calloc(content.size(), 1);
  std::memcpy(block, content.data(), content.size());
  const std::string expected = model::BlockText(content, stated);
  Require(GlobalTextLength(block, stated) == expected.size(), "GlobalTextLength stops at the block, length and zero",
          text);
  const CText read = ReadGlobalText(block, stated);
  Require(std::string(read.c_str(), read.Length()) == expected, "ReadGlobalText reads what the model reads", text);
  std::free(block);

  BlockLength length = -7;
  HGLOBAL copy = CopyTextToGlobal(text.data(), text.size(), &length);
  const std::string copied = model::Terminated(text);
  Require(copy && length == static_cast<BlockLength>(copied.size()) && std::memcmp(copy, copied.c_str(), copied.size() + 1) == 0,
          "CopyTextToGlobal copies the text up to its zero, and one zero", text);
  platform::FreeGlobalBlock(copy);
}

}  // namespace

// Longer inputs reach no new code, only take longer: the vector searches
// work 32 bytes at a time.
const size_t kLongestInput = 1024;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > kLongestInput) return -1;  // not kept in the corpus
  static const char *const delimiters[] = {",", "\r\n", "]", "\\", "\x83]", "ab", "\n"};
  static const char *const names[] = {"String", "Result", "EXECUTE", "e"};
  FuzzedDataProvider input(data, size);
  const std::string pattern = input.ConsumeRandomLengthString(8);
  const uint8_t choice = input.ConsumeIntegral<uint8_t>();
  const char ch = static_cast<char>(input.ConsumeIntegral<uint8_t>());
  const size_t capacity = input.ConsumeIntegralInRange<size_t>(0, 300);
  const size_t blockSize = input.ConsumeIntegralInRange<size_t>(0, 4096);
  const long stated = input.ConsumeIntegralInRange<long>(-3, 4096);
  const std::string extension = input.ConsumeRandomLengthString(6);
  const std::string text = input.ConsumeRemainingBytesAsString();
  const size_t start = text.empty() ? 0 : choice % (text.size() + 1);

  std::string delimiter = choice % 8 == 7 ? pattern : delimiters[choice % 8 % 7];
  if (delimiter.empty()) delimiter = ",";

  CheckSearches(text, pattern, ch, start);
  CheckCharacters(text);
  CheckPaths(text, extension);
  CheckScratch(text, capacity);
  CheckFields(text, delimiter, (choice & 8) != 0);
  CheckLettersAndHeaders(text, names[(choice >> 4) & 3]);
  CheckBlocks(text, blockSize, stated);
  return 0;
}
