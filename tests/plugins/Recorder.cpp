#include "Recorder.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <deque>
#include <vector>

namespace {

struct StoredEvent {
  std::string plugin, kind, bytes;
  RecordedEvent view;
};

// A deque keeps each event where it is as more arrive.
std::deque<StoredEvent> &Events() {
  static std::deque<StoredEvent> events;
  return events;
}

struct BlockEvent {
  void *block;
  bool freed;
  bool checked;  // a reply block handed out by a plug-in
};

std::vector<BlockEvent> &BlockEvents() {
  static std::vector<BlockEvent> events;
  return events;
}

}  // namespace

extern "C" {

void RecordEvent(const char *plugin, const char *kind, const char *bytes, long bytesLength, long statedLength,
                 long blockSize) {
  Events().emplace_back();
  StoredEvent *event = &Events().back();
  event->plugin = plugin;
  event->kind = kind;
  if (bytes && bytesLength > 0) event->bytes.assign(bytes, static_cast<size_t>(bytesLength));
  event->view = RecordedEvent{event->plugin.c_str(), event->kind.c_str(), event->bytes.data(),
                              static_cast<long>(event->bytes.size()), statedLength, blockSize};
}

void RecordReplyBlock(void *block) {
  BlockEvents().push_back({block, false, true});
}

void RecordFreedBlock(void *block) {
  BlockEvents().push_back({block, true, false});
}

void RecordOtherBlock(void *block) {
  BlockEvents().push_back({block, false, false});
}

int ReplyBlockFreedOnce(int *handedOut) {
  const std::vector<BlockEvent> &events = BlockEvents();
  int ok = 1;
  *handedOut = 0;
  for (size_t i = 0; i < events.size(); ++i) {
    if (!events[i].checked) continue;
    ++*handedOut;
    int frees = 0;
    for (size_t j = i + 1; j < events.size(); ++j) {
      if (events[j].block != events[i].block) continue;
      if (!events[j].freed) break;  // handed out again
      ++frees;
    }
    if (frees != 1) ok = 0;
  }
  return ok;
}

int RecordedEventCount(void) {
  return static_cast<int>(Events().size());
}

const RecordedEvent *RecordedEventAt(int index) {
  return index >= 0 && index < RecordedEventCount() ? &Events()[static_cast<size_t>(index)].view : nullptr;
}

void ClearRecording(void) {
  Events().clear();
  BlockEvents().clear();
}

}  // extern "C"
