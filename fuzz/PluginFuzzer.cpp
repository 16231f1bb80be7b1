// libFuzzer target for the plug-in side: the input is a host text built of
// plain text and calls of one plug-in, and a script of that plug-in's
// replies (any bytes, version replies and EXECUTE replies alike, null
// replies, a stated length that may be short, long, zero or negative, and a
// block that may be shorter than the text or lack its zero byte). The
// request goes through the library's real exports, registry, bring-up,
// version check and exchange. A model of the exchange, written from the
// rules, says what the plug-in must be sent (its load call, each request
// byte for byte, its unload) and what the reply's String value must be; the
// two must agree. Every reply block is freed once and no request block is
// freed by the library.
#include <fuzzer/FuzzedDataProvider.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "LinkedLibrary.h"
#include "ReplyChecks.h"
#include "ShiftJisModel.h"
#include "platform/Platform.h"

namespace {

const char kExecuteHead[] =
    "EXECUTE TOVRA/1.0\r\nSecurityLevel: Local\r\nCharset: Shift_JIS\r\nSender: Tovra Caller Vordel\r\n";
const char kVersionRequest[] = "GET Version TOVRA/1.0\r\n\r\n";
const char kAcceptedStatus[] = "TOVRA/1.0 200 OK\r\n";

// One reply of the script.
struct Reply {
  bool none = false;    // the plug-in returns a null handle
  std::string block;    // the block's whole content, its real size included
  long stated = 0;      // the length the plug-in states
};

// What the plug-in saw and gave, in order.
struct Session {
  std::vector<Reply> script;
  size_t next = 0;
  std::vector<std::string> events;  // "load <dir>", "request <text>", "unload"
  std::vector<void *> handedOut;    // reply blocks given to the library
  std::vector<void *> freed;        // blocks the library freed
};

Session &Current() {
  static Session session;
  return session;
}

// What arrived in a block the library handed over: exactly the stated text,
// with its zero byte, in a block of just that size. The block is the
// plug-in's now and is freed here.
std::string Take(HGLOBAL block, long length) {
  checks::Require(block != nullptr && length >= 0, "the library sends a block with its length");
  const size_t size = platform::GlobalBlockSize(block);
  const char *bytes = static_cast<const char *>(block);
  checks::Require(size == static_cast<size_t>(length) + 1 && bytes[length] == 0,
                  "a sent block holds the text and one zero byte");
  std::string text(bytes, static_cast<size_t>(length));
  std::free(block);
  return text;
}

int OnLoad(HGLOBAL block, long length) {
  Current().events.push_back("load " + Take(block, length));
  return 1;
}

int OnUnload() {
  Current().events.push_back("unload");
  return 1;
}

HGLOBAL OnRequest(HGLOBAL block, long *length) {
  Session &session = Current();
  session.events.push_back("request " + Take(block, *length));
  if (session.next >= session.script.size()) return nullptr;
  const Reply &reply = session.script[session.next++];
  if (reply.none) return nullptr;
  void *answer = std::calloc(reply.block.size(), 1);
  std::memcpy(answer, reply.block.data(), reply.block.size());
  *length = reply.stated;
  session.handedOut.push_back(answer);
  return answer;
}

void ObserveFree(void *block) {
  Current().freed.push_back(block);
}

// The directory of this program (and of the plug-in beside it) as the
// library writes it: '\' separators and a trailing '\'.
std::string ProgramDirectory() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  std::string directory(path, n > 0 ? static_cast<size_t>(n) : 0);
  directory = directory.substr(0, directory.rfind('/') + 1);
  std::replace(directory.begin(), directory.end(), '/', '\\');
  return directory;
}

// Loads the plug-in once and keeps it loaded, so the handlers it holds stay
// set whatever the library loads and frees.
void SetUpPlugin() {
  static bool done = false;
  if (done) return;
  done = true;
  std::string path = ProgramDirectory() + "scripted.so";
  std::replace(path.begin(), path.end(), '\\', '/');
  void *plugin = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  checks::Require(plugin != nullptr, "the scripted plug-in lies beside the fuzzer", path);
  typedef void (*SetHandlers)(int (*)(HGLOBAL, long), int (*)(), HGLOBAL (*)(HGLOBAL, long *));
  auto set = reinterpret_cast<SetHandlers>(::dlsym(plugin, "SetScriptedHandlers"));
  checks::Require(set != nullptr, "the scripted plug-in takes handlers");
  set(&OnLoad, &OnUnload, &OnRequest);
}

// The host text, built from the input one whole character at a time, and
// never with a CR LF pair in it (that would end the String line).
class HostText {
 public:
  std::string text;

  // Appends a character chosen by `byte` from `singles`, or a double-byte
  // character whose trail byte may look like ASCII; returns what was added.
  std::string AddCharacter(uint8_t byte, const char *singles) {
    static const unsigned char leads[] = {0x81, 0x83, 0x9F, 0xE0, 0xFC};
    static const unsigned char trails[] = {0x5D, 0x5C, 0x2C, 0x24, 0x40, 0x61, 0x83, 0xFC, 0x7F, 0xA0};
    std::string added;
    if (byte & 0x80) {
      added += static_cast<char>(leads[byte % sizeof leads]);
      added += static_cast<char>(trails[(byte >> 3) % sizeof trails]);
    } else {
      added = singles[byte % std::strlen(singles)];
      if (added == "\n" && !text.empty() && text.back() == '\r') added = "x";
    }
    text += added;
    return added;
  }
  std::string AddRun(const std::string &bytes, const char *singles) {
    std::string added;
    for (unsigned char byte : bytes) added += AddCharacter(byte, singles);
    return added;
  }
  void AddLiteral(const char *literal) { text += literal; }
};

// One call in the host text: its arguments (empty ones already dropped) when
// it calls the scripted plug-in.
struct Call {
  bool scripted = false;  // else it names no plug-in, or one that is absent
  std::vector<std::string> arguments;
};

struct Element {
  bool isCall = false;
  std::string text;  // the text piece, for an element that is no call
  Call call;
};

std::string ExecuteRequestFor(const Call &call) {
  std::string text = kExecuteHead;
  for (size_t i = 0; i < call.arguments.size(); ++i)
    text += "Argument" + std::to_string(i) + ": " + call.arguments[i] + "\r\n";
  return text + "\r\n";
}

// The model of one request: the events the plug-in must see and the String
// value the host must get back.
struct Expected {
  std::vector<std::string> events;
  std::string value;
  bool loadedAfter = false;
};

Expected Model(const std::vector<Element> &elements, const std::vector<Reply> &script, const std::string &directory) {
  Expected expected;
  size_t next = 0;
  auto answer = [&](bool *none) -> std::string {
    if (next >= script.size()) {
      *none = true;
      return std::string();
    }
    const Reply &reply = script[next++];
    *none = reply.none;
    return reply.none ? std::string() : model::BlockText(reply.block, reply.stated);
  };
  bool loaded = false;
  for (const Element &element : elements) {
    if (!element.isCall) {
      // An LF that would complete a CR left before an empty call becomes a space.
      std::string piece = element.text;
      if (!piece.empty() && piece[0] == '\n' && !expected.value.empty() && expected.value.back() == '\r')
        piece[0] = ' ';
      expected.value += piece;
      continue;
    }
    if (!element.call.scripted) continue;
    bool none = false;
    if (!loaded) {
      expected.events.push_back("load " + directory);
      expected.events.push_back(std::string("request ") + kVersionRequest);
      const std::string version = answer(&none);
      if (none || !model::StartsWithNoCase(version, "TOVRA/1.0")) {
        expected.events.push_back("unload");
        continue;
      }
      loaded = true;
    }
    expected.events.push_back("request " + ExecuteRequestFor(element.call));
    const std::string reply = answer(&none);
    std::string result;
    if (none || !model::StartsWithNoCase(reply, kAcceptedStatus) ||
        !model::HeaderValue(reply.substr(sizeof kAcceptedStatus - 1), "Result", &result))
      continue;
    // The value goes into one line: its lone CR and LF bytes become spaces.
    for (char &c : result)
      if (c == '\r' || c == '\n') c = ' ';
    expected.value += result;
  }
  expected.loadedAfter = loaded;
  return expected;
}

Reply ReadReply(FuzzedDataProvider &input) {
  static const char *const prefixes[] = {"", kAcceptedStatus, "TOVRA/1.0 200 OK\r\nResult: ", "TOVRA/1.0"};
  const uint8_t flags = input.ConsumeIntegral<uint8_t>();
  Reply reply;
  reply.none = (flags & 0x03) == 0x03 && (flags & 0x04);
  const std::string text = prefixes[flags & 3] + input.ConsumeRandomLengthString(96);
  const long size = static_cast<long>(text.size());
  switch ((flags >> 3) & 7) {
    case 0: case 1: reply.stated = size; break;
    case 2: reply.stated = size / 2; break;
    case 3: reply.stated = size + 7; break;
    case 4: reply.stated = 0; break;
    case 5: reply.stated = -1 - (flags & 4); break;
    case 6: reply.stated = 1L << 30; break;
    default: reply.stated = input.ConsumeIntegralInRange<long>(-2, size + 2); break;
  }
  switch (flags >> 6) {
    case 0: case 1: reply.block = text + '\0'; break;  // the usual block
    case 2: reply.block = text; break;                 // no zero byte behind the text
    default: reply.block = text.substr(0, text.size() / 2); break;  // smaller than the text
  }
  if (reply.block.empty()) reply.block = std::string(1, '\0');
  return reply;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  SetUpPlugin();
  tovra_global_free_observer = &ObserveFree;
  static const std::string directory = ProgramDirectory();
  static const char *const names[] = {"scripted", "Scripted", "SCRIPTED"};
  FuzzedDataProvider input(data, size);

  HostText host;
  std::vector<Element> elements;
  const int count = input.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < count; ++i) {
    Element element;
    switch (input.ConsumeIntegralInRange(0, 5)) {
      case 0: case 1:
        element.text = host.AddRun(input.ConsumeRandomLengthString(16), "ab ]\r\n[,.x");
        break;
      case 2: case 3: {
        element.isCall = true;
        element.call.scripted = true;
        host.AddLiteral("$tovra[");
        host.AddLiteral(names[input.ConsumeIntegralInRange(0, 2)]);
        const int arguments = input.ConsumeIntegralInRange(0, 3);
        for (int a = 0; a < arguments; ++a) {
          host.AddLiteral(",");
          std::string argument = host.AddRun(input.ConsumeRandomLengthString(12), "ab $[\r\n.\\");
          if (!argument.empty()) element.call.arguments.push_back(argument);
        }
        host.AddLiteral("]");
        break;
      }
      case 4:
        element.isCall = true;
        host.AddLiteral(input.ConsumeBool() ? "$tovra[]" : "$tovra[,,]");
        break;
      default:
        element.isCall = true;
        host.AddLiteral("$tovra[absent,1]");
        break;
    }
    elements.push_back(element);
  }
  if (input.ConsumeBool()) host.AddLiteral("$tovra[scripted,never sent");  // no "]": dropped with all after it

  Session &session = Current();
  session = Session();
  while (input.remaining_bytes() > 0 && session.script.size() < 16) session.script.push_back(ReadReply(input));
  const Expected expected = Model(elements, session.script, directory);

  const std::string requestText = "EXECUTE VORDEL/2.0\r\nString: " + host.text + "\r\n\r\n";
  HGLOBAL block = platform::AllocGlobalBlock(requestText.size() + 1);
  std::memcpy(block, requestText.data(), requestText.size());
  BlockLength length = static_cast<BlockLength>(requestText.size());
  HGLOBAL reply = request(block, &length);
  checks::Require(reply != nullptr, "a request always gets a reply block");
  const std::string replyText = checks::ReplyText(reply, length);
  std::free(reply);  // not through the library's seam, which reports its frees

  const std::string value = checks::OkReplyValue(replyText, host.text);
  checks::Require(value == expected.value, "the String value is what the model expands", value + " | model: " + expected.value);
  checks::Require(session.events == expected.events, "the plug-in is sent what the model sends");

  std::vector<void *> freed = session.freed, owed = session.handedOut;
  owed.push_back(block);
  std::sort(freed.begin(), freed.end());
  std::sort(owed.begin(), owed.end());
  checks::Require(freed == owed, "every reply block and the host's block are freed once, and nothing else");

  session.events.clear();
  unload();
  checks::Require(session.events == std::vector<std::string>(expected.loadedAfter ? 1 : 0, "unload"),
                  "unload tells a loaded plug-in once");
  return 0;
}
