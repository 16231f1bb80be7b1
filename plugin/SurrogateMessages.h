// The messages between the library and a surrogate: a program of its own
// that runs one plug-in on the library's behalf (a plug-in of the other
// bitness, or one that faulted in the library's process). Each message is a
// kind and a length, 32 bits each and little-endian, then that many bytes.
//
//   library                          surrogate
//   kBringUp (the plug-in's path) -> kBroughtUp (outcome, loader error,
//                                    version reply) or kFaulted
//   kRequest (a request text)     -> kAnswer (whether a block came, its
//                                    stated length and size, its text) or
//                                    kFaulted
//   kUnload                       -> kUnloaded, then the surrogate ends
//   kPing                         -> kPong at once
//
// A kFaulted message (the step, the exception code, where it happened in
// words and the command that finds its line) is the surrogate's last: it
// ends after it. Every message is checked as untrusted input: a message that
// is short, too long or of an unknown kind is a broken channel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

// The steps at which the library enters a plug-in's code (a fault message
// names the one that faulted).
enum class PluginStep : uint8_t { kLibraryLoad, kLoadCall, kVersion, kRequest, kUnloadCall, kLibraryFree };

enum class SurrogateMessage : uint32_t {
  kBringUp = 1,
  kRequest = 2,
  kUnload = 3,
  kPing = 4,
  kBroughtUp = 101,
  kAnswer = 102,
  kFaulted = 103,
  kUnloaded = 104,
  kPong = 105,
};

// How a bring-up in the surrogate ended.
enum class BringUpOutcome : uint8_t {
  kUp = 0,
  kNotLoaded = 1,        // the loader refused the file (its error follows)
  kNoRequestEntry = 2,   // neither "request" nor "_request"
  kVersionRefused = 3,   // the version reply (which follows) was refused
};

// Builds a message's payload field by field.
class PayloadWriter {
 public:
  PayloadWriter &U8(unsigned value);
  PayloadWriter &U32(uint32_t value);
  PayloadWriter &U64(uint64_t value);
  // `length` bytes as they are, with their length before them.
  PayloadWriter &Bytes(const char *bytes, size_t length);
  const std::string &Payload() const { return payload; }

 private:
  std::string payload;
};

// Reads a payload field by field; a read past its end fails, and so does
// every read after it.
class PayloadReader {
 public:
  explicit PayloadReader(const std::string &payload) : payload(payload) {}
  bool U8(unsigned *value);
  bool U32(uint32_t *value);
  bool U64(uint64_t *value);
  bool Bytes(std::string *bytes);
  // True when every field was there and nothing is left over.
  bool Whole() const { return good && at == payload.size(); }

 private:
  bool Take(size_t count, const char **bytes);
  const std::string &payload;
  size_t at = 0;
  bool good = true;
};

// Messages over a platform channel, each sent in one write and received
// whole.
class MessageChannel {
 public:
  // The longest message either side sends or accepts: far beyond any text a
  // host's request can hold.
  static const uint32_t kLongest = 1u << 28;

  explicit MessageChannel(platform::Channel &channel) : channel(channel) {}
  MessageChannel(const MessageChannel &) = delete;
  MessageChannel &operator=(const MessageChannel &) = delete;

  bool Send(SurrogateMessage kind, const std::string &payload);
  bool Send(SurrogateMessage kind, const char *bytes, size_t length);
  // The next message; false when the channel broke, or brought a message of
  // an unknown kind or longer than kLongest.
  bool Receive(SurrogateMessage *kind, std::string *payload);
  // Whether the last Receive failed on a malformed head, not a broken channel.
  bool Malformed() const { return malformed; }

 private:
  bool Fill(size_t count);
  platform::Channel &channel;
  std::vector<char> buffer;
  size_t start = 0, end = 0;
  bool malformed = false;
};
