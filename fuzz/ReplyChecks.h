// What every reply of the library must be, whatever it was sent, checked by
// each fuzzer. A failed check prints what broke and aborts, so libFuzzer
// keeps the input that did it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Platform.h"

// Not what is fuzzed: no coverage is gathered from it.
#pragma clang attribute push(__attribute__((no_sanitize("coverage"))), apply_to = function)

namespace checks {

const char kOkHead[] = "VORDEL/2.0 200 OK\r\nString: ";
const char kOkTail[] = "\r\nCharset: Shift_JIS\r\n\r\n";
const char kBadRequest[] = "VORDEL/2.0 400 Bad Request\r\n\r\n";

inline std::string Printable(const std::string &text) {
  std::string shown;
  for (unsigned char c : text.substr(0, 400)) {
    char escaped[8];
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    }
  }
  return text.size() > 400 ? shown + "..." : shown;
}

[[noreturn]] inline void Fail(const char *property, const std::string &detail) {
  std::fprintf(stderr, "\n*** property broken: %s\n*** %s\n", property, Printable(detail).c_str());
  std::abort();
}

inline void Require(bool holds, const char *property, const std::string &detail = std::string()) {
  if (!holds) Fail(property, detail);
}

// The text of a reply block the library returned, checked as a block: its
// length is not negative, it lies inside the block, and a zero byte follows.
inline std::string ReplyText(HGLOBAL reply, BlockLength length) {
  Require(length >= 0, "a reply length is never negative");
  Require(platform::GlobalBlockSize(reply) >= static_cast<size_t>(length) + 1, "a reply block holds its text and a zero");
  const char *bytes = static_cast<const char *>(reply);
  Require(bytes[length] == 0, "a zero byte ends the reply");
  return std::string(bytes, static_cast<size_t>(length));
}

inline bool IsOkReply(const std::string &reply) {
  const size_t head = sizeof kOkHead - 1, tail = sizeof kOkTail - 1;
  return reply.size() >= head + tail && reply.compare(0, head, kOkHead) == 0 &&
         reply.compare(reply.size() - tail, tail, kOkTail) == 0;
}

// The String value of a 200 reply, which must be exactly the head, the value
// and the tail, the value one line: no CR LF pair inside it, and no more CR
// or LF bytes than the host's own value brought.
inline std::string OkReplyValue(const std::string &reply, const std::string &hostValue) {
  Require(IsOkReply(reply), "a 200 reply has the exact shape", reply);
  const size_t head = sizeof kOkHead - 1, tail = sizeof kOkTail - 1;
  const std::string value = reply.substr(head, reply.size() - head - tail);
  Require(value.find("\r\n") == std::string::npos, "no CR LF pair inside the String value", value);
  for (char c : {'\r', '\n'}) {
    size_t inValue = 0, inHost = 0;
    for (char v : value) inValue += v == c;
    for (char h : hostValue) inHost += h == c;
    Require(inValue <= inHost, "every CR and LF in the String value comes from the host's value", value);
  }
  return value;
}

}  // namespace checks

#pragma clang attribute pop
