#include "bench/Workload.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/FloatingPointState.h"

namespace bench {

const char kPluginName[] = "nop";
const char kPluginResult[] = "1";

namespace {

const char kRequestHead[] = "EXECUTE VORDEL/2.0\r\nString: ";
const char kRequestTail[] = "\r\n\r\n";
const char kReplyHead[] = "VORDEL/2.0 200 OK\r\nString: ";
const char kReplyTail[] = "\r\nCharset: Shift_JIS\r\n\r\n";
const char kCall[] = "$tovra[nop,1]";
const char kExecuteHead[] =
    "EXECUTE TOVRA/1.0\r\n"
    "SecurityLevel: Local\r\n"
    "Charset: Shift_JIS\r\n"
    "Sender: Tovra Caller Vordel\r\n";

// Words of the filler text: plain ASCII, bytes that the expansion looks for
// ('$', ']', ','), and Shift_JIS double-byte words, one of them with ']' and
// '\' as trail bytes, so that the scanning has the characters to step over
// that real texts bring.
const char *const kWords[] = {
    "alpha ", "beta, ", "gamma ", "\x83\x65\x83\x58\x83\x67 ", "delta ", "cost $5 ",
    "epsilon ", "[zeta] ", "\x83\x5D\x95\x5C ", "eta ", "theta ", "iota ",
};
const size_t kWordCount = sizeof kWords / sizeof kWords[0];

// Exactly `size` bytes of filler that ends on a character boundary.
std::string Filler(size_t size, size_t *next) {
  std::string text;
  text.reserve(size);
  while (text.size() < size) {
    const char *word = kWords[(*next)++ % kWordCount];
    const size_t length = std::strlen(word);
    if (text.size() + length <= size)
      text.append(word, length);
    else
      text.append(size - text.size(), ' ');
  }
  return text;
}

std::string WholeRequest(const std::string &value) {
  return kRequestHead + value + kRequestTail;
}

std::string WholeReply(const std::string &value) {
  return kReplyHead + value + kReplyTail;
}

Workload Make(const std::string &value, const std::string &expanded, size_t calls) {
  Workload workload;
  workload.request = WholeRequest(value);
  workload.valueOffset = sizeof kRequestHead - 1;
  workload.valueLength = value.size();
  workload.reply = WholeReply(expanded);
  workload.calls = calls;
  return workload;
}

std::string ProgramDirectory() {
  std::string path = platform::GetModuleFilePath(platform::GetExecutableModule());
  return path.substr(0, path.rfind('\\') + 1);
}

#ifdef _WIN32
const char kLibraryExtension[] = ".dll";
#else
const char kLibraryExtension[] = ".so";
#endif

HGLOBAL BlockOf(const char *bytes, size_t count) {
  HGLOBAL block = platform::AllocGlobalBlock(count + 1);
  if (block) std::memcpy(block, bytes, count);
  return block;
}

}  // namespace

Workload MakeWorkload(size_t size, size_t callEvery) {
  const size_t callLength = sizeof kCall - 1;
  std::string value, expanded;
  value.reserve(size);
  expanded.reserve(size);
  size_t next = 0, calls = 0;
  if (callEvery > callLength) {
    while (value.size() + callEvery <= size) {
      const std::string filler = Filler(callEvery - callLength, &next);
      value += filler;
      value += kCall;
      expanded += filler;
      expanded += kPluginResult;
      ++calls;
    }
  }
  const std::string rest = Filler(size - value.size(), &next);
  value += rest;
  expanded += rest;
  return Make(value, expanded, calls);
}

Workload MakeCallsWorkload(size_t calls) {
  std::string value, expanded;
  for (size_t i = 0; i < calls; ++i) {
    value += kCall;
    expanded += kPluginResult;
  }
  return Make(value, expanded, calls);
}

HostLibrary::HostLibrary() : path(ProgramDirectory() + "tovracaller" + kLibraryExtension) {
  module = platform::LoadDynamicLibrary(path.c_str(), 0);
  if (!module) return;
  LoadFunction load = reinterpret_cast<LoadFunction>(platform::GetLibraryProcAddress(module, "load"));
  request = reinterpret_cast<RequestFunction>(platform::GetLibraryProcAddress(module, "request"));
  unload = reinterpret_cast<UnloadFunction>(platform::GetLibraryProcAddress(module, "unload"));
  if (load) load(BlockOf("", 0), 0);
}

HostLibrary::~HostLibrary() {
  if (unload) unload();
  if (module) platform::FreeDynamicLibrary(module);
}

DirectPlugin::DirectPlugin() {
  module = platform::LoadDynamicLibrary((ProgramDirectory() + kPluginName + kLibraryExtension).c_str(), 0);
  if (module) request = reinterpret_cast<RequestFunction>(platform::GetLibraryProcAddress(module, "request"));
}

DirectPlugin::~DirectPlugin() {
  if (module) platform::FreeDynamicLibrary(module);
}

size_t DirectPlugin::Exchange(size_t count, Around around) const {
  size_t answered = 0;
  for (size_t i = 0; i < count; ++i) {
    std::string text(kExecuteHead);
    text += "Argument0: ";
    text += kPluginResult;
    text += "\r\n\r\n";
    BlockLength length = static_cast<BlockLength>(text.size());
    HGLOBAL block = BlockOf(text.data(), text.size());
    HGLOBAL reply = nullptr;
    platform::GuardedFault fault;
    if (around == Around::kFaultGuard) {
      platform::CallGuarded([&] { reply = request(block, &length); }, &fault);
    } else if (around == Around::kFloatingPointState) {
      const platform::FloatingPointState saved;
      reply = request(block, &length);
      saved.Restore();
    } else {
      reply = request(block, &length);
    }
    if (!reply) continue;
    std::string replyText(static_cast<const char *>(reply), static_cast<size_t>(length));
    Escape(replyText.data());
    platform::FreeGlobalBlock(reply);
    ++answered;
  }
  return answered;
}

RequestBatch::RequestBatch(const Workload &workload, size_t count)
    : workload(workload), requests(count, nullptr), lengths(count, 0), replies(count, nullptr) {}

RequestBatch::~RequestBatch() { Finish(); }

void RequestBatch::Prepare() {
  throughLibrary = false;
  for (size_t i = 0; i < requests.size(); ++i) {
    if (requests[i]) platform::FreeGlobalBlock(requests[i]);
    requests[i] = BlockOf(workload.request.data(), workload.request.size());
    lengths[i] = static_cast<BlockLength>(workload.request.size());
  }
}

void RequestBatch::RunThroughLibrary(const HostLibrary &library) {
  for (size_t i = 0; i < requests.size(); ++i) replies[i] = library.request(requests[i], &lengths[i]);
  throughLibrary = true;
}

void RequestBatch::RunLowerBound() {
  const size_t headLength = sizeof kReplyHead - 1, tailLength = sizeof kReplyTail - 1;
  for (size_t i = 0; i < requests.size(); ++i) {
    const size_t count = static_cast<size_t>(lengths[i]);
    char *text = static_cast<char *>(std::malloc(count));
    std::memcpy(text, requests[i], count);
    Escape(text);
    platform::FreeGlobalBlock(requests[i]);
    requests[i] = nullptr;

    const size_t valueLength = workload.valueLength;
    const size_t replyLength = headLength + valueLength + tailLength;
    char *reply = static_cast<char *>(platform::AllocGlobalBlock(replyLength + 1));
    std::memcpy(reply, kReplyHead, headLength);
    std::memcpy(reply + headLength, text + workload.valueOffset, valueLength);
    std::memcpy(reply + headLength + valueLength, kReplyTail, tailLength);
    std::free(text);
    replies[i] = reply;
    lengths[i] = static_cast<BlockLength>(replyLength);
  }
}

bool RequestBatch::Finish() {
  bool right = true;
  for (size_t i = 0; i < requests.size(); ++i) {
    // A 200 reply from the library took the request block over; any other
    // left it here.
    if (throughLibrary && replies[i] && std::memcmp(replies[i], kReplyHead, 15) == 0) requests[i] = nullptr;
    if (replies[i]) {
      right = right && static_cast<size_t>(lengths[i]) == workload.reply.size() &&
              std::memcmp(replies[i], workload.reply.data(), workload.reply.size()) == 0;
      platform::FreeGlobalBlock(replies[i]);
      replies[i] = nullptr;
    } else {
      right = false;
    }
    if (requests[i]) {
      platform::FreeGlobalBlock(requests[i]);
      requests[i] = nullptr;
    }
  }
  return right;
}

bool ReportLoaded(const char *program, const HostLibrary &library, const DirectPlugin &plugin) {
  if (library.IsLoaded() && plugin.IsLoaded()) return true;
  std::fprintf(stderr, "%s: cannot load %s or the nop plug-in beside it\n", program, library.Path().c_str());
  return false;
}

}  // namespace bench
