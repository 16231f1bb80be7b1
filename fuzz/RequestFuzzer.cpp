// libFuzzer target over the whole request path: the exports, the envelope,
// the call expansion and real plug-ins loaded from beside this program. The
// first input byte picks how the rest is sent. Whatever arrives must get a
// reply block: the exact 400 reply with the host's block left alone exactly
// when the request cannot be used, else a 200 reply of the exact shape whose
// String value is one line and is the host's value unchanged when it holds
// no call. The host's block is freed once after a 200 reply, and every reply
// block a plug-in hands out is freed once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "LinkedLibrary.h"
#include "Recorder.h"
#include "ReplyChecks.h"
#include "ShiftJisModel.h"
#include "platform/Platform.h"

namespace {

std::vector<void *> &FreedBlocks() {
  static std::vector<void *> freed;
  return freed;
}

void ObserveFree(void *block) {
  FreedBlocks().push_back(block);
  RecordFreedBlock(block);
}

int TimesFreed(void *block) {
  int times = 0;
  for (void *freed : FreedBlocks()) times += freed == block;
  return times;
}

HGLOBAL BlockOf(const std::string &text) {
  HGLOBAL block = platform::AllocGlobalBlock(text.size() + 1);
  std::memcpy(block, text.data(), text.size());
  RecordOtherBlock(block);
  return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  tovra_global_free_observer = &ObserveFree;
  const uint8_t mode = data[0];
  std::string body(reinterpret_cast<const char *>(data + 1), size - 1);

  // Modes: 0-1 the bytes are the String value of a good request; 2 the bytes
  // are the whole request; 3 the stated length is cut short or made negative.
  std::string text = (mode & 3) <= 1 ? "EXECUTE VORDEL/2.0\r\nString: " + body + "\r\n\r\n" : body;
  HGLOBAL block = BlockOf(text);
  const BlockLength sent = static_cast<BlockLength>(text.size());
  BlockLength length = sent;
  if ((mode & 3) == 3) length = (mode & 4) ? -static_cast<BlockLength>(mode) : length / 2;

  // What the library must make of it.
  const std::string read = model::BlockText(text + '\0', length);
  const std::vector<std::string> lines = model::Fields(read, "\r\n", true);
  std::string hostValue;
  const bool usable = !lines.empty() && model::StartsWithNoCase(lines[0], "EXECUTE") &&
                      model::HeaderValue(read, "String", &hostValue);

  FreedBlocks().clear();
  HGLOBAL reply = request(block, &length);
  checks::Require(reply != nullptr, "a request always gets a reply block");
  const std::string replyText = checks::ReplyText(reply, length);
  std::free(reply);  // not through the library's seam, which reports its frees
  if (!usable) {
    checks::Require(replyText == checks::kBadRequest, "an unusable request gets exactly the 400 reply", replyText);
    checks::Require(TimesFreed(block) == 0, "the host keeps its block after the 400 reply");
    std::free(block);
  } else {
    const std::string value = checks::OkReplyValue(replyText, hostValue);
    if (model::FindText(hostValue, "$tovra[") == model::kNone)
      checks::Require(value == hostValue, "a value without calls comes back unchanged", value);
    checks::Require(TimesFreed(block) == 1, "the host's block is freed once after a 200 reply");
  }
  int handedOut = 0;
  checks::Require(ReplyBlockFreedOnce(&handedOut) != 0, "every reply block a plug-in hands out is freed once");

  if (mode & 8) unload();
  ClearRecording();
  return 0;
}
