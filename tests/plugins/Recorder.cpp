#include "Recorder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// The shared recording's layout, the same in 32- and 64-bit processes:
// fixed-size fields only. An event's slot and the room for its bytes are
// taken with atomic additions, and the event counts once `complete` is set.
struct SharedEvent {
  int32_t complete;
  uint32_t process;
  char plugin[32];
  char kind[16];
  int32_t bytesLength, statedLength, blockSize;
  uint32_t bytesAt;  // where its bytes begin in the arena
};
static_assert(sizeof(SharedEvent) == 72, "one layout for both bitnesses");

const int32_t kMaxEvents = 4096;
const uint32_t kArenaBytes = 4u << 20;

struct SharedRecording {
  int32_t events;     // slots taken
  uint32_t arenaUsed;
  SharedEvent event[kMaxEvents];
  char arena[kArenaBytes];
};

#ifdef _WIN32
// The test program makes the recording and names it in its environment,
// which the processes it starts inherit; they open the same memory by name.
SharedRecording *OpenRecording() {
  const char kVariable[] = "TOVRA_RECORDING";
  char name[64];
  const DWORD length = ::GetEnvironmentVariableA(kVariable, name, sizeof name);
  if (length == 0 || length >= sizeof name) {
    std::snprintf(name, sizeof name, "tovra-recording-%lu", ::GetCurrentProcessId());
    ::SetEnvironmentVariableA(kVariable, name);
  }
  // Opens the recording when it exists; its handle stays open for the
  // process's life.
  HANDLE mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedRecording), name);
  void *view = mapping ? ::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedRecording)) : nullptr;
  if (!view) {
    std::fprintf(stderr, "recorder: the recording %s cannot be had (error %lu)\n", name, ::GetLastError());
    std::abort();
  }
  return static_cast<SharedRecording *>(view);
}

uint32_t ThisProcess() {
  return ::GetCurrentProcessId();
}
#else
// Natively no other process records: the recording is this process's own.
SharedRecording *OpenRecording() {
  static SharedRecording recording;
  return &recording;
}

uint32_t ThisProcess() {
  return static_cast<uint32_t>(::getpid());
}
#endif

// Made as the library is loaded, before any plug-in or surrogate starts.
SharedRecording *const recording = OpenRecording();

template <size_t size>
void CopyText(char (&to)[size], const char *from) {
  std::snprintf(to, size, "%s", from ? from : "");
}

// This process's copies of the events read so far: a deque keeps each one
// where it is as more arrive, so that views handed out stay valid.
struct StoredEvent {
  std::string plugin, kind, bytes;
  RecordedEvent view;
};

std::deque<StoredEvent> &Events() {
  static std::deque<StoredEvent> events;
  return events;
}
int32_t &SlotsRead() {
  static int32_t read = 0;
  return read;
}

// Copies the events recorded since the last look, by any process.
void ReadNewEvents() {
  int32_t taken = __atomic_load_n(&recording->events, __ATOMIC_ACQUIRE);
  if (taken > kMaxEvents) taken = kMaxEvents;
  for (int32_t &slot = SlotsRead(); slot < taken; ++slot) {
    const SharedEvent &shared = recording->event[slot];
    if (!__atomic_load_n(&shared.complete, __ATOMIC_ACQUIRE)) continue;  // its process ended while writing it
    Events().emplace_back();
    StoredEvent &event = Events().back();
    event.plugin.assign(shared.plugin, strnlen(shared.plugin, sizeof shared.plugin));
    event.kind.assign(shared.kind, strnlen(shared.kind, sizeof shared.kind));
    event.bytes.assign(recording->arena + shared.bytesAt, static_cast<size_t>(shared.bytesLength));
    event.view = RecordedEvent{event.plugin.c_str(), event.kind.c_str(), event.bytes.data(),
                               static_cast<long>(event.bytes.size()), shared.statedLength, shared.blockSize,
                               shared.process};
  }
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
  const uint32_t length = bytes && bytesLength > 0 ? static_cast<uint32_t>(bytesLength) : 0;
  const int32_t slot = __atomic_fetch_add(&recording->events, 1, __ATOMIC_ACQ_REL);
  const uint32_t at = __atomic_fetch_add(&recording->arenaUsed, length, __ATOMIC_ACQ_REL);
  if (slot >= kMaxEvents || at > kArenaBytes - length || length > kArenaBytes) {
    std::fprintf(stderr, "recorder: full, an event of %s is lost: clear the recording more often\n", plugin);
    return;
  }
  SharedEvent &event = recording->event[slot];
  __atomic_store_n(&event.complete, 0, __ATOMIC_RELEASE);
  event.process = ThisProcess();
  CopyText(event.plugin, plugin);
  CopyText(event.kind, kind);
  if (length > 0) std::memcpy(recording->arena + at, bytes, length);
  event.bytesAt = at;
  event.bytesLength = static_cast<int32_t>(length);
  event.statedLength = static_cast<int32_t>(statedLength);
  event.blockSize = static_cast<int32_t>(blockSize);
  __atomic_store_n(&event.complete, 1, __ATOMIC_RELEASE);
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
  ReadNewEvents();
  return static_cast<int>(Events().size());
}

const RecordedEvent *RecordedEventAt(int index) {
  ReadNewEvents();
  return index >= 0 && index < static_cast<int>(Events().size()) ? &Events()[static_cast<size_t>(index)].view
                                                                   : nullptr;
}

void ClearRecording(void) {
  int32_t taken = __atomic_load_n(&recording->events, __ATOMIC_ACQUIRE);
  if (taken > kMaxEvents) taken = kMaxEvents;
  for (int32_t slot = 0; slot < taken; ++slot) __atomic_store_n(&recording->event[slot].complete, 0, __ATOMIC_RELEASE);
  __atomic_store_n(&recording->arenaUsed, 0u, __ATOMIC_RELEASE);
  __atomic_store_n(&recording->events, 0, __ATOMIC_RELEASE);
  Events().clear();
  SlotsRead() = 0;
  BlockEvents().clear();
}

}  // extern "C"
