#include "plugin/SurrogateMessages.h"

#include <algorithm>
#include <cstring>

PayloadWriter &PayloadWriter::U8(unsigned value) {
  payload += static_cast<char>(value & 0xFF);
  return *this;
}

PayloadWriter &PayloadWriter::U32(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) payload += static_cast<char>((value >> shift) & 0xFF);
  return *this;
}

PayloadWriter &PayloadWriter::U64(uint64_t value) {
  return U32(static_cast<uint32_t>(value)).U32(static_cast<uint32_t>(value >> 32));
}

PayloadWriter &PayloadWriter::Bytes(const char *bytes, size_t length) {
  U32(static_cast<uint32_t>(length));
  payload.append(bytes, length);
  return *this;
}

bool PayloadReader::Take(size_t count, const char **bytes) {
  if (!good || count > payload.size() - at) return good = false;
  *bytes = payload.data() + at;
  at += count;
  return true;
}

bool PayloadReader::U8(unsigned *value) {
  const char *bytes;
  if (!Take(1, &bytes)) return false;
  *value = static_cast<unsigned char>(bytes[0]);
  return true;
}

bool PayloadReader::U32(uint32_t *value) {
  const char *bytes;
  if (!Take(4, &bytes)) return false;
  *value = 0;
  for (int i = 3; i >= 0; --i) *value = *value << 8 | static_cast<unsigned char>(bytes[i]);
  return true;
}

bool PayloadReader::U64(uint64_t *value) {
  uint32_t low, high;
  if (!U32(&low) || !U32(&high)) return false;
  *value = uint64_t(high) << 32 | low;
  return true;
}

bool PayloadReader::Bytes(std::string *bytes) {
  uint32_t length;
  const char *start;
  if (!U32(&length) || !Take(length, &start)) return false;
  bytes->assign(start, length);
  return true;
}

static bool IsKnownKind(uint32_t kind) {
  switch (static_cast<SurrogateMessage>(kind)) {
    case SurrogateMessage::kBringUp:
    case SurrogateMessage::kRequest:
    case SurrogateMessage::kUnload:
    case SurrogateMessage::kPing:
    case SurrogateMessage::kBroughtUp:
    case SurrogateMessage::kAnswer:
    case SurrogateMessage::kFaulted:
    case SurrogateMessage::kUnloaded:
    case SurrogateMessage::kPong:
      return true;
  }
  return false;
}

bool MessageChannel::Send(SurrogateMessage kind, const std::string &payload) {
  return Send(kind, payload.data(), payload.size());
}

bool MessageChannel::Send(SurrogateMessage kind, const char *bytes, size_t length) {
  if (length > kLongest) return false;
  // Head and payload in one write: one pass through the system per message.
  std::string message = PayloadWriter().U32(static_cast<uint32_t>(kind)).U32(static_cast<uint32_t>(length)).Payload();
  message.append(bytes, length);
  return stream.Send(message.data(), message.size());
}

bool MessageChannel::ReceiveExactly(char *bytes, size_t count) {
  while (count > 0) {
    if (aheadStart == aheadEnd) {
      aheadStart = aheadEnd = 0;
      const bool direct = count >= sizeof ahead;
      char *into = direct ? bytes : ahead;
      const size_t capacity = direct ? count : sizeof ahead;
      const size_t received = stream.Receive(into, capacity);
      if (received == 0 || received > capacity) return false;
      if (direct) {
        bytes += received;
        count -= received;
        continue;
      }
      aheadEnd = received;
    }
    const size_t taken = std::min(count, aheadEnd - aheadStart);
    std::memcpy(bytes, ahead + aheadStart, taken);
    aheadStart += taken;
    bytes += taken;
    count -= taken;
  }
  return true;
}

bool MessageChannel::Receive(SurrogateMessage *kind, std::string *payload) {
  malformed = false;
  char headBytes[8];
  if (!ReceiveExactly(headBytes, sizeof headBytes)) return false;
  const std::string head(headBytes, sizeof headBytes);
  PayloadReader reader(head);
  uint32_t rawKind = 0, length = 0;
  reader.U32(&rawKind);
  reader.U32(&length);
  malformed = !IsKnownKind(rawKind) || length > kLongest;
  if (malformed) return false;
  // Read straight into the payload, which grows as bytes come: a head that
  // announces more than ever arrives costs no more than what did.
  payload->clear();
  for (size_t have = 0; have < length;) {
    const size_t step = std::min<size_t>(length - have, std::max<size_t>(have, 65536));
    payload->resize(have + step);
    if (!ReceiveExactly(&(*payload)[have], step)) return false;
    have += step;
  }
  *kind = static_cast<SurrogateMessage>(rawKind);
  return true;
}

std::string AnswerPayload(const SurrogateAnswer &answer) {
  return PayloadWriter()
      .U8(answer.answered ? 1 : 0)
      .U32(static_cast<uint32_t>(answer.stated))
      .U64(answer.blockSize)
      .Bytes(answer.text.data(), answer.text.size())
      .Payload();
}

bool ReadAnswer(std::string *payload, SurrogateAnswer *answer) {
  PayloadReader reader(*payload);
  unsigned answered = 0;
  uint32_t stated = 0, length = 0;
  if (!reader.U8(&answered) || !reader.U32(&stated) || !reader.U64(&answer->blockSize) || !reader.U32(&length) ||
      answered > 1 || length != payload->size() - reader.Position() || length > answer->blockSize)
    return false;
  answer->answered = answered == 1;
  answer->stated = static_cast<int32_t>(stated);
  // The text is the payload's end: the head goes, the same bytes stay.
  payload->erase(0, reader.Position());
  answer->text.swap(*payload);
  return true;
}

std::string BroughtUpPayload(const BringUpReport &report) {
  return PayloadWriter()
      .U8(static_cast<unsigned>(report.outcome))
      .U32(report.loaderError)
      .Bytes(report.versionReply.data(), report.versionReply.size())
      .Payload();
}

bool ReadBroughtUp(const std::string &payload, BringUpReport *report) {
  PayloadReader reader(payload);
  unsigned outcome = 0;
  if (!reader.U8(&outcome) || !reader.U32(&report->loaderError) || !reader.Bytes(&report->versionReply) ||
      !reader.Whole() || outcome > static_cast<unsigned>(BringUpOutcome::kVersionRefused))
    return false;
  report->outcome = static_cast<BringUpOutcome>(outcome);
  return true;
}

std::string FaultPayload(const FaultReport &report) {
  return PayloadWriter()
      .U8(static_cast<unsigned>(report.step))
      .U32(report.code)
      .Bytes(report.exception.data(), report.exception.size())
      .Bytes(report.place.data(), report.place.size())
      .Bytes(report.sourceCommand.data(), report.sourceCommand.size())
      .Payload();
}

bool ReadFault(const std::string &payload, FaultReport *report) {
  PayloadReader reader(payload);
  unsigned step = 0;
  if (!reader.U8(&step) || !reader.U32(&report->code) || !reader.Bytes(&report->exception) ||
      !reader.Bytes(&report->place) || !reader.Bytes(&report->sourceCommand) || !reader.Whole() ||
      step > static_cast<unsigned>(PluginStep::kLibraryFree))
    return false;
  report->step = static_cast<PluginStep>(step);
  return true;
}
