// The test plug-ins' flight recorder: a library that the plug-ins and the
// test programs share, so what a plug-in received (its directory block, each
// request's exact bytes and lengths, its unload, the reply blocks it handed
// out) outlives the plug-in's own library.
//
// Under Windows the events live in shared memory that the test program's
// child processes (surrogates, of either bitness) write to as well: a
// plug-in in a surrogate is recorded as one in the test program is, with the
// id of the process it ran in. The reply blocks are followed in each process
// on its own.
#pragma once

#ifdef _WIN32
#ifdef TOVRA_RECORDER_BUILD
#define RECORDER_API __declspec(dllexport)
#else
#define RECORDER_API __declspec(dllimport)
#endif
#else
#define RECORDER_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct RecordedEvent {
  const char *plugin;  // the plug-in's own name, as it was built
  const char *kind;    // "load", "_load", "unload", "_unload", "request", "_request"
  const char *bytes;   // what the block held, up to the stated length
  long bytesLength;
  long statedLength;   // the length passed with the block
  long blockSize;      // the block's real size when it arrived
  unsigned long process;  // the id of the process it was recorded in
} RecordedEvent;

RECORDER_API void RecordEvent(const char *plugin, const char *kind, const char *bytes, long bytesLength,
                              long statedLength, long blockSize);
RECORDER_API int RecordedEventCount(void);
RECORDER_API const RecordedEvent *RecordedEventAt(int index);
// The life of reply blocks, in order: each one a plug-in handed out, and
// each one the library freed. A test checks that every block handed out is
// freed exactly once before its address is handed out again.
RECORDER_API void RecordReplyBlock(void *block);
RECORDER_API void RecordFreedBlock(void *block);
// A block made by someone else (the test's own request blocks): it ends the
// life of an earlier reply block at the same address but is not checked.
RECORDER_API void RecordOtherBlock(void *block);
RECORDER_API int ReplyBlockFreedOnce(int *handedOut);
RECORDER_API void ClearRecording(void);

#ifdef __cplusplus
}
#endif
