// libFuzzer target over the whole request path: the exports, the envelope,
// the call expansion and real plug-ins loaded from beside this program. The
// first input byte picks how the rest is sent; whatever arrives must get a
// reply block, and no block may be read past, leaked or freed twice.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "Recorder.h"
#include "platform/Platform.h"

extern "C" {
BOOL load(HGLOBAL block, BlockLength length);
HGLOBAL request(HGLOBAL block, BlockLength *length);
BOOL unload();
}

namespace {

HGLOBAL BlockOf(const std::string &text) {
  HGLOBAL block = platform::AllocGlobalBlock(text.size() + 1);
  std::memcpy(block, text.data(), text.size());
  return block;
}

bool IsKeptReply(const std::string &reply) {
  return reply == "VORDEL/2.0 400 Bad Request\r\n\r\n" || reply == "VORDEL/2.0 204 No Content\r\n\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  std::string body(reinterpret_cast<const char *>(data + 1), size - 1);

  // Modes: 0-1 the bytes are the String value of a good request; 2 the bytes
  // are the whole request; 3 the stated length is cut short or made negative.
  std::string text = (mode & 3) <= 1 ? "EXECUTE VORDEL/2.0\r\nString: " + body + "\r\n\r\n" : body;
  HGLOBAL block = BlockOf(text);
  BlockLength length = static_cast<BlockLength>(text.size());
  if ((mode & 3) == 3) length = (mode & 4) ? -static_cast<BlockLength>(mode) : length / 2;

  HGLOBAL reply = request(block, &length);
  if (!reply) __builtin_trap();  // only an exhausted allocator may give no reply
  std::string replyText(static_cast<const char *>(reply), static_cast<size_t>(length));
  if (static_cast<const char *>(reply)[length] != 0) __builtin_trap();
  platform::FreeGlobalBlock(reply);
  if (IsKeptReply(replyText)) platform::FreeGlobalBlock(block);

  if (mode & 8) unload();
  ClearRecording();
  return 0;
}
