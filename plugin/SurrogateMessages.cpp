#include "plugin/SurrogateMessages.h"

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
  return channel.Send(message.data(), message.size());
}

// Makes at least `count` bytes wait in the buffer, reading as much as the
// channel has each time.
bool MessageChannel::Fill(size_t count) {
  if (end - start >= count) return true;
  if (start > 0) {
    std::memmove(buffer.data(), buffer.data() + start, end - start);
    end -= start;
    start = 0;
  }
  const size_t wanted = count > 65536 ? count : 65536;
  if (buffer.size() < wanted) buffer.resize(wanted);
  while (end < count) {
    const size_t received = channel.Receive(buffer.data() + end, buffer.size() - end);
    if (received == 0) return false;
    end += received;
  }
  return true;
}

bool MessageChannel::Receive(SurrogateMessage *kind, std::string *payload) {
  malformed = false;
  if (!Fill(8)) return false;
  const std::string head(buffer.data() + start, 8);
  PayloadReader reader(head);
  uint32_t rawKind = 0, length = 0;
  reader.U32(&rawKind);
  reader.U32(&length);
  malformed = !IsKnownKind(rawKind) || length > kLongest;
  if (malformed || !Fill(8 + size_t(length))) return false;
  *kind = static_cast<SurrogateMessage>(rawKind);
  payload->assign(buffer.data() + start + 8, length);
  start += 8 + size_t(length);
  return true;
}
