// libFuzzer target for what a surrogate writes: the library reads every
// byte that process sends, and a hostile plug-in controls that process. The
// input's first byte sets how many bytes each read of the stream gives at
// most (pipes hand over what they hold, not whole messages); the rest is the
// stream. The library's message reader takes messages from it until it
// fails; each of the reports the library reads (an answer, a bring-up, a
// fault) goes through its reader. A message is taken only when its head is
// whole, of a known kind and within the length cap, and its payload whole;
// a report that is read says again, written out, exactly the bytes it came
// from.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/SurrogateMessages.h"

namespace {

#define CHECK(condition)  \
  do {                    \
    if (!(condition)) std::abort(); \
  } while (0)

// The input as a stream, in reads of at most `chunk` bytes.
class InputStream : public platform::ByteStream {
 public:
  InputStream(const uint8_t *data, size_t size, size_t chunk) : data(data), size(size), chunk(chunk) {}
  bool Send(const void *, size_t) override { return true; }
  size_t Receive(void *buffer, size_t capacity) override {
    const size_t count = std::min(std::min(capacity, chunk), size - at);
    std::copy(data + at, data + at + count, static_cast<uint8_t *>(buffer));
    at += count;
    return count;
  }
  // How far the reader has read, which may be beyond the messages it took.
  size_t At() const { return at; }

 private:
  const uint8_t *data;
  size_t size, chunk, at = 0;
};

uint32_t Little(const uint8_t *bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

bool KnownKind(uint32_t kind) {
  return (kind >= 1 && kind <= 4) || (kind >= 101 && kind <= 105);
}

void CheckReport(SurrogateMessage kind, const std::string &payload) {
  switch (kind) {
    case SurrogateMessage::kAnswer: {
      std::string taken = payload;
      SurrogateAnswer answer;
      if (!ReadAnswer(&taken, &answer)) return;
      CHECK(answer.text.size() <= answer.blockSize);
      CHECK(AnswerPayload(answer) == payload);
      return;
    }
    case SurrogateMessage::kBroughtUp: {
      BringUpReport report;
      if (ReadBroughtUp(payload, &report)) CHECK(BroughtUpPayload(report) == payload);
      return;
    }
    case SurrogateMessage::kFaulted: {
      FaultReport report;
      if (ReadFault(payload, &report)) CHECK(FaultPayload(report) == payload);
      return;
    }
    default:
      return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const size_t chunk = size_t(data[0]) + 1;
  const uint8_t *stream = data + 1;
  const size_t length = size - 1;
  InputStream input(stream, length, chunk);
  MessageChannel messages(input);
  for (size_t start = 0;;) {
    SurrogateMessage kind;
    std::string payload;
    const bool taken = messages.Receive(&kind, &payload);
    const size_t left = length - start;
    const uint32_t announced = left >= 8 ? Little(stream + start + 4) : 0;
    const bool headFits = left >= 8 && KnownKind(Little(stream + start)) && announced <= MessageChannel::kLongest;
    if (!taken) {
      // Refused for its head only when the head is whole and wrong; else the
      // stream ended inside the message.
      CHECK(messages.Malformed() == (left >= 8 && !headFits));
      CHECK(messages.Malformed() || left < 8 || left - 8 < announced);
      return 0;
    }
    CHECK(headFits && left - 8 >= announced && payload.size() == announced);
    CHECK(static_cast<uint32_t>(kind) == Little(stream + start));
    CHECK(std::memcmp(payload.data(), stream + start + 8, payload.size()) == 0);
    CHECK(input.At() >= start + 8 + announced);
    CheckReport(kind, payload);
    start += 8 + announced;
  }
}
