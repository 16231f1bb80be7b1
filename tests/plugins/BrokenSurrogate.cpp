// A surrogate that breaks the protocol on request, for the tests of what the
// library takes from a surrogate: installed in a test folder under the name
// of the real one. It brings every plug-in up without loading anything, and
// answers each request as the call's first argument says:
//   good         a well-formed answer with "Result: fine"
//   short        an answer whose payload is cut short
//   trailing     a well-formed answer with a byte too many
//   textlonger   an answer whose text is longer than the block it names
//   flag         an answer whose answered-flag is neither 0 nor 1
//   unknownkind  a message of a kind that does not exist
//   wrongkind    a message of a kind that answers something else
//   hugelength   a head announcing more than any message may hold, then its end
//   cuthead      half a head, then its end
//   cutpayload   a head and part of its payload, then its end
//   badfault     a fault report that is garbage
//   silent       its end, without a word
#include <windows.h>

#include <cstdlib>
#include <string>

#include "plugin/SurrogateMessages.h"

namespace {

std::string FirstArgument(const std::string &request) {
  const std::string head = "\r\nArgument0: ";
  const size_t start = request.find(head);
  if (start == std::string::npos) return std::string();
  const size_t from = start + head.size();
  return request.substr(from, request.find("\r\n", from) - from);
}

std::string Answer(unsigned answered, uint32_t blockSize, const std::string &text) {
  return PayloadWriter().U8(answered).U32(static_cast<uint32_t>(text.size())).U64(blockSize)
      .Bytes(text.data(), text.size()).Payload();
}

void Raw(platform::Channel &channel, const std::string &bytes) {
  channel.Send(bytes.data(), bytes.size());
  std::exit(0);
}

std::string Head(uint32_t kind, uint32_t length) {
  return PayloadWriter().U32(kind).U32(length).Payload();
}

}  // namespace

int main() {
  platform::Channel channel;
  if (!channel.ConnectToParent(::GetCommandLineA())) return 2;
  MessageChannel messages(channel);
  const std::string good = "TOVRA/1.0 200 OK\r\nResult: fine\r\n\r\n";
  for (;;) {
    SurrogateMessage kind;
    std::string payload;
    if (!messages.Receive(&kind, &payload)) return 0;
    if (kind == SurrogateMessage::kBringUp) {
      messages.Send(SurrogateMessage::kBroughtUp, PayloadWriter().U8(0).U32(0).Bytes("", 0).Payload());
      continue;
    }
    if (kind == SurrogateMessage::kUnload) {
      messages.Send(SurrogateMessage::kUnloaded, "", 0);
      return 0;
    }
    if (kind != SurrogateMessage::kRequest) return 2;
    const std::string mode = FirstArgument(payload);
    const std::string whole = Answer(1, 64, good);
    if (mode == "good") messages.Send(SurrogateMessage::kAnswer, whole);
    else if (mode == "short") messages.Send(SurrogateMessage::kAnswer, whole.substr(0, 6));
    else if (mode == "trailing") messages.Send(SurrogateMessage::kAnswer, whole + "x");
    else if (mode == "textlonger") messages.Send(SurrogateMessage::kAnswer, Answer(1, 3, good));
    else if (mode == "flag") messages.Send(SurrogateMessage::kAnswer, Answer(2, 64, good));
    else if (mode == "unknownkind") Raw(channel, Head(999, 0));
    else if (mode == "wrongkind") messages.Send(SurrogateMessage::kPong, "", 0);
    else if (mode == "hugelength") Raw(channel, Head(static_cast<uint32_t>(SurrogateMessage::kAnswer), 0xFFFFFFF0u));
    else if (mode == "cuthead") Raw(channel, Head(static_cast<uint32_t>(SurrogateMessage::kAnswer), 100).substr(0, 5));
    else if (mode == "cutpayload") Raw(channel, Head(static_cast<uint32_t>(SurrogateMessage::kAnswer), 100) + "0123");
    else if (mode == "badfault") messages.Send(SurrogateMessage::kFaulted, "\x09garbage");
    else return 0;  // silent
  }
}
