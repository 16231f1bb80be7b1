// Every allocation the library makes on its way through a request, made to
// fail in turn: for each representative request and each kind of allocation
// (global blocks, the C++ heap, the process heap), the 1st, the 2nd, ... the
// Nth fails, until a run completes with none failed. Each time the export
// must give a well-formed reply (the whole one, or one where only the call
// whose allocation failed gives nothing) or null with the host's block and
// length untouched; nothing may leak; the next request must get the whole
// reply.
//
// Natively the library's seam asks this program's gate before each global
// and process-heap block, and the library's C++ heap is this program's
// operator new. Under Windows the library's imports of GlobalAlloc,
// HeapAlloc and the C runtime's malloc (under operator new) are redirected;
// calloc is left alone, because the threads runtime linked into the library
// writes through its result unchecked in its once-only set-up.
// The plug-ins used are written in C, so none of their own allocations is
// counted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "support/LibraryUnderTest.h"
#include "support/TestLibraries.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define TOVRA_LEAK_CHECK 1
#endif
#endif

namespace {

enum Kind { kGlobalBlock, kCppHeap, kProcessHeap, kKinds };
const char *const kKindNames[kKinds] = {"global block", "C++ heap", "process heap"};

// While armed: counts the library's allocations of each kind and fails the
// `failAt`-th one of `kind`.
struct Injection {
  bool armed = false;
  int kind = kGlobalBlock;
  int failAt = 0;
  int seen[kKinds] = {};
  bool injected = false;

  void Arm(int newKind, int newFailAt) {
    *this = Injection();
    kind = newKind;
    failAt = newFailAt;
    armed = true;
  }
};

Injection injection;

bool MayAllocate(int kind) {
  if (!injection.armed) return true;
  if (++injection.seen[kind] != injection.failAt || kind != injection.kind) return true;
  injection.injected = true;
  return false;
}

#ifdef _WIN32
// The live global blocks of the library, the plug-ins and this program, and
// the live C runtime blocks of the library.
std::set<void *> &LiveBlocks() {
  static std::set<void *> blocks;
  return blocks;
}
std::set<void *> &LiveHeapBlocks() {
  static std::set<void *> blocks;
  return blocks;
}

void NoteBlock(void *block) {
  if (block) LiveBlocks().insert(block);
}
void ForgetBlock(void *block) { LiveBlocks().erase(block); }

HGLOBAL WINAPI LibraryGlobalAlloc(UINT flags, SIZE_T bytes) {
  if (!MayAllocate(kGlobalBlock)) return nullptr;
  HGLOBAL block = ::GlobalAlloc(flags, bytes);
  NoteBlock(block);
  return block;
}
LPVOID WINAPI LibraryHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  return MayAllocate(kProcessHeap) ? ::HeapAlloc(heap, flags, bytes) : nullptr;
}
void *__cdecl LibraryMalloc(size_t bytes) {
  if (!MayAllocate(kCppHeap)) return nullptr;
  void *block = std::malloc(bytes);
  if (block) LiveHeapBlocks().insert(block);
  return block;
}
void __cdecl LibraryFree(void *block) {
  LiveHeapBlocks().erase(block);
  std::free(block);
}

// The plug-ins' own blocks are only written down, never refused.
HGLOBAL WINAPI PluginGlobalAlloc(UINT flags, SIZE_T bytes) {
  HGLOBAL block = ::GlobalAlloc(flags, bytes);
  NoteBlock(block);
  return block;
}
HGLOBAL WINAPI PluginGlobalFree(HGLOBAL block) {
  ForgetBlock(block);
  return ::GlobalFree(block);
}
#else
int LibraryGate(int kind) {
  return MayAllocate(kind == 0 ? kGlobalBlock : kProcessHeap) ? 1 : 0;
}
#endif

// Frees a block this program got from the library or made itself.
void Release(HGLOBAL block) {
#ifdef _WIN32
  ForgetBlock(block);
#endif
  platform::FreeGlobalBlock(block);
}

// A request and its whole expansion: text pieces and calls with their
// results. An injected failure may leave out the result of one call.
struct Piece {
  std::string text;
  bool isCall;
};

struct RequestCase {
  const char *name;
  std::string request;
  std::vector<Piece> expansion;  // empty: the 400 reply
  // Its plug-ins stay up from one run to the next, rather than coming up
  // afresh in each.
  bool keepsPlugins = false;
  // The request after a failure, and its reply, when it is not the same
  // request again: a plug-in that answered the earlier one again would pass.
  std::string nextRequest = std::string();
  std::string nextReply = std::string();
};

std::string Joined(const std::vector<Piece> &pieces, size_t without) {
  std::string text;
  for (size_t i = 0; i < pieces.size(); ++i)
    if (i != without) text += pieces[i].text;
  return text;
}

std::string WholeReply(const RequestCase &c) {
  return c.expansion.empty() ? std::string(kBadRequest) : OkReply(Joined(c.expansion, c.expansion.size()));
}

bool IsAcceptableReply(const RequestCase &c, const std::string &reply) {
  if (reply == WholeReply(c)) return true;
  for (size_t i = 0; i < c.expansion.size(); ++i)
    if (c.expansion[i].isCall && reply == OkReply(Joined(c.expansion, i))) return true;
  return false;
}

std::vector<RequestCase> Cases() {
  std::string bulk;
  while (bulk.size() < (1u << 20)) bulk += "Shift_JIS \x83\x5D\x95\x5C text, ] and [ and $tovra without its bracket; ";
  std::vector<RequestCase> cases = {
      {"no call", RequestFor("plain text \x83\x5D, no call"), {{"plain text \x83\x5D, no call", false}}},
      {"several calls",
       RequestFor("a $tovra[echo,x,y] b $tovra[calc,add,3,4] c $tovra[upper,abc] d $tovra[echo,z]"),
       {{"a ", false}, {"x,y", true}, {" b ", false}, {"7", true}, {" c ", false}, {"ABC", true}, {" d ", false},
        {"z", true}}},
      {"failing plug-ins",
       RequestFor("[$tovra[nosuchplugin,1]][$tovra[upper,a,b]][$tovra[]][$tovra[oldversion,1]][$tovra[echo,ok]]"),
       {{"[][][][][", false}, {"ok", true}, {"]", false}}},
      {"a 1 MB text",
       RequestFor("$tovra[echo,start]" + bulk + "$tovra[calc,mul,6,7]" + bulk + "$tovra[echo,end]"),
       {{"start", true}, {bulk, false}, {"42", true}, {bulk, false}, {"end", true}}},
      {"an unusable request", "GET Version VORDEL/2.0\r\nString: $tovra[echo,x]\r\n\r\n", {}},
  };
#ifdef _WIN32
  // Made to fault once, so that it runs in a surrogate: an allocation that
  // fails while its answer is read must leave no answer behind for the next
  // call to take for its own.
  RequestCase isolated{"a plug-in in a surrogate", RequestFor("<$tovra[faultyalloc,x]>"),
                       {{"<", false}, {"ok:x", true}, {">", false}}};
  isolated.keepsPlugins = true;
  isolated.nextRequest = RequestFor("$tovra[faultyalloc,y]");
  isolated.nextReply = OkReply("ok:y");
  cases.push_back(isolated);
#endif
  return cases;
}

class AllocationFailureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    library = new LibraryUnderTest();
    if (!library->IsLoaded()) return;
#ifdef _WIN32
    HMODULE module = library->Module();
    PatchImport(module, "kernel32.dll", "GlobalAlloc", reinterpret_cast<void *>(&LibraryGlobalAlloc));
    PatchImport(module, "kernel32.dll", "HeapAlloc", reinterpret_cast<void *>(&LibraryHeapAlloc));
    PatchImport(module, "msvcrt.dll", "malloc", reinterpret_cast<void *>(&LibraryMalloc));
    PatchImport(module, "msvcrt.dll", "free", reinterpret_cast<void *>(&LibraryFree));
    FreeObserver() = &ForgetBlock;
    AllocationObserver() = &NoteBlock;
    // Held here for the whole suite, so the library loads these very copies.
    ::CopyFileA(TestLibraryPath("faulty").c_str(), TestLibraryPath("faultyalloc").c_str(), FALSE);
    for (const char *name : {"echo", "calc", "upper", "oldversion", "faultyalloc"}) {
      HMODULE plugin = platform::LoadDynamicLibrary(TestLibraryPath(name).c_str(), 0);
      PatchImport(plugin, "kernel32.dll", "GlobalAlloc", reinterpret_cast<void *>(&PluginGlobalAlloc));
      PatchImport(plugin, "kernel32.dll", "GlobalFree", reinterpret_cast<void *>(&PluginGlobalFree));
    }
#else
    typedef int (*Gate)(int);
    if (auto gate = static_cast<Gate *>(platform::GetLibraryProcAddress(library->Module(), "tovra_allocation_gate")))
      *gate = &LibraryGate;
#endif
  }
  static void TearDownTestSuite() {
    library->unload();
    delete library;
    library = nullptr;
  }

  // Nothing leaked: natively by LeakSanitizer, under Windows by the block
  // ledger and, when `countHeap` is set, by the library's count of C runtime
  // blocks, which a request that is answered whole leaves as it found it.
  static void ExpectNoLeak(size_t heapBlocksBefore, bool countHeap) {
#if defined(TOVRA_LEAK_CHECK)
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#elif defined(_WIN32)
    EXPECT_TRUE(LiveBlocks().empty()) << LiveBlocks().size() << " global blocks live";
    if (countHeap) {
      EXPECT_EQ(LiveHeapBlocks().size(), heapBlocksBefore);
    }
#endif
  }

  // One whole request and its reply's text, every block freed through Release.
  static std::string Send(const std::string &requestText) {
    HGLOBAL block = MakeBlock(requestText);
    BlockLength length = static_cast<BlockLength>(requestText.size());
    HGLOBAL reply = library->request(block, &length);
    if (!reply) {
      Release(block);  // still the host's
      return "<no reply>";
    }
    const std::string replyText(static_cast<const char *>(reply), static_cast<size_t>(length));
    Release(reply);
    if (replyText == kBadRequest) Release(block);
    return replyText;
  }

  static size_t HeapBlocks() {
#ifdef _WIN32
    return LiveHeapBlocks().size();
#else
    return 0;
#endif
  }

  // One request with the `failAt`-th allocation of `kind` failed; false when
  // the request made fewer allocations of that kind.
  static bool RunWithFailure(const RequestCase &c, int kind, int failAt, bool countHeap) {
    if (!c.keepsPlugins) library->unload();  // every plug-in comes up afresh, so its bring-up is injected too
    const size_t heapBlocksBefore = HeapBlocks();
    HGLOBAL block = MakeBlock(c.request);
    const BlockLength sent = static_cast<BlockLength>(c.request.size());
    BlockLength length = sent;
    BlocksFreedByLibrary().clear();
    injection.Arm(kind, failAt);
    HGLOBAL reply = library->request(block, &length);
    injection.armed = false;

    if (!reply) {
      EXPECT_TRUE(injection.injected) << "null without a failed allocation";
      EXPECT_EQ(length, sent) << "the host's length is untouched";
      EXPECT_EQ(TimesFreedByLibrary(block), 0) << "the host keeps its block";
      EXPECT_EQ(std::memcmp(block, c.request.data(), c.request.size()), 0) << "the host's block is untouched";
      Release(block);
    } else {
      const std::string replyText(static_cast<const char *>(reply), static_cast<size_t>(length));
      EXPECT_EQ(static_cast<const char *>(reply)[length], 0);
      EXPECT_TRUE(IsAcceptableReply(c, replyText)) << replyText.substr(0, 200);
      Release(reply);
      if (c.expansion.empty()) {
        EXPECT_EQ(TimesFreedByLibrary(block), 0);
        Release(block);
      } else {
        EXPECT_EQ(TimesFreedByLibrary(block), 1) << "the host's block is freed once after a 200 reply";
      }
    }
    if (c.nextRequest.empty())
      EXPECT_EQ(Send(c.request), WholeReply(c)) << "the next request after the failure";
    else
      EXPECT_EQ(Send(c.nextRequest), c.nextReply) << "the next request after the failure";
    ExpectNoLeak(heapBlocksBefore, countHeap);
    return injection.injected;
  }

  static LibraryUnderTest *library;
};

LibraryUnderTest *AllocationFailureTest::library = nullptr;

TEST_F(AllocationFailureTest, EveryAllocationOfARequestMayFail) {
  ASSERT_TRUE(library->IsLoaded()) << LibraryUnderTest::DefaultPath();
  const std::vector<RequestCase> cases = Cases();
  // The first exception thrown in the library sets up the thread's exception
  // state, kept for the thread's life: it is thrown here, before anything is
  // counted.
  injection.Arm(kCppHeap, 1);
  Send(cases[1].request);
  injection.armed = false;
#ifdef _WIN32
  Send(RequestFor("$tovra[faultyalloc,write]"));
#endif
  for (const RequestCase &c : cases) {
    // Twice whole first: what the library keeps from one request to the next
    // (its registry, its last call's name) is then in place.
    ASSERT_EQ(Send(c.request), WholeReply(c)) << c.name;
    ASSERT_EQ(Send(c.request), WholeReply(c)) << c.name;
    std::string counts;
    for (int kind = 0; kind < kKinds; ++kind) {
      int failAt = 1;
      for (; failAt < 10000; ++failAt) {
        SCOPED_TRACE(std::string(c.name) + ", " + kKindNames[kind] + " allocation " + std::to_string(failAt));
#ifdef _WIN32
        // The runtime linked into the library sets some things up once, the
        // first time an exception takes a new way out: a leak shows again in
        // a second run of the same point, a set-up does not.
        RunWithFailure(c, kind, failAt, false);
#endif
        if (!RunWithFailure(c, kind, failAt, true)) break;
        if (HasFailure()) return;  // one broken point says enough
      }
      counts += (counts.empty() ? "" : ", ") + std::to_string(failAt - 1) + " " + kKindNames[kind];
    }
    std::printf("[ points   ] %s: %s\n", c.name, counts.c_str());
  }
}

}  // namespace

#ifndef _WIN32
// The library's C++ heap natively: its operator new resolves to this one.
void *operator new(size_t size) {
  if (!MayAllocate(kCppHeap)) throw std::bad_alloc();
  if (void *block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}
void *operator new[](size_t size) { return operator new(size); }
void *operator new(size_t size, const std::nothrow_t &) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void *operator new[](size_t size, const std::nothrow_t &) noexcept { return operator new(size, std::nothrow); }
void operator delete(void *block) noexcept { std::free(block); }
void operator delete[](void *block) noexcept { std::free(block); }
void operator delete(void *block, size_t) noexcept { std::free(block); }
void operator delete[](void *block, size_t) noexcept { std::free(block); }
void operator delete(void *block, const std::nothrow_t &) noexcept { std::free(block); }
void operator delete[](void *block, const std::nothrow_t &) noexcept { std::free(block); }
#endif
