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
// is short, too long or of an unknown kind is a broken channel. A message's
// length is checked against MessageChannel::kLongest before anything is
// allocated for it, and its payload is read straight into the one string
// that holds it from then on.
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

// The plug-in's answer to one request, as the surrogate read it.
struct SurrogateAnswer {
  bool answered = false;   // the request entry returned a block
  int32_t stated = 0;      // the length it stated
  uint64_t blockSize = 0;  // the block's real size
  std::string text;        // the text read within both, up to a zero byte
};

// How a bring-up ended, with the loader's error for kNotLoaded and the
// version reply for kVersionRefused.
struct BringUpReport {
  BringUpOutcome outcome = BringUpOutcome::kUp;
  uint32_t loaderError = 0;
  std::string versionReply;
};

// A fault of the plug-in that the surrogate's guard contained: at which
// step, its exception code, the exception and its place in words, and the
// command that finds its source line.
struct FaultReport {
  PluginStep step = PluginStep::kRequest;
  uint32_t code = 0;
  std::string exception;
  std::string place;
  std::string sourceCommand;
};

// The payloads of the surrogate's three reports, and their readers, which
// take nothing that is short, long or out of range. ReadAnswer takes the
// text over from `payload` without copying it.
std::string AnswerPayload(const SurrogateAnswer &answer);
bool ReadAnswer(std::string *payload, SurrogateAnswer *answer);
std::string BroughtUpPayload(const BringUpReport &report);
bool ReadBroughtUp(const std::string &payload, BringUpReport *report);
std::string FaultPayload(const FaultReport &report);
bool ReadFault(const std::string &payload, FaultReport *report);

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
  // How many bytes have been read.
  size_t Position() const { return at; }

 private:
  bool Take(size_t count, const char **bytes);
  const std::string &payload;
  size_t at = 0;
  bool good = true;
};

// Messages over a byte stream (a platform channel), each sent in one write
// and, when it is small, received in one read.
class MessageChannel {
 public:
  // The longest payload either side sends or accepts: 64 MiB, far beyond any
  // text a host's request can hold or a plug-in's answer is meant to carry.
  // A surrogate that announces a longer one is taken for a broken one.
  static const uint32_t kLongest = 64u << 20;

  explicit MessageChannel(platform::ByteStream &stream) : stream(stream) {}
  MessageChannel(const MessageChannel &) = delete;
  MessageChannel &operator=(const MessageChannel &) = delete;

  bool Send(SurrogateMessage kind, const std::string &payload);
  bool Send(SurrogateMessage kind, const char *bytes, size_t length);
  // The next message, its payload read into `payload`; false when the
  // stream broke, or brought a head of an unknown kind or announcing more
  // than kLongest bytes (then nothing was allocated for it).
  bool Receive(SurrogateMessage *kind, std::string *payload);
  // Whether the last Receive failed on a malformed head, not a broken stream.
  bool Malformed() const { return malformed; }

 private:
  bool ReceiveExactly(char *bytes, size_t count);
  platform::ByteStream &stream;
  bool malformed = false;
  // What a read brought beyond what was asked: small messages come through
  // here, larger payloads are read straight into their place.
  char ahead[4096];
  size_t aheadStart = 0, aheadEnd = 0;
};
