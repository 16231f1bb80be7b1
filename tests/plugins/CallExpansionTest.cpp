// Plug-in calls expanded end to end: the real library, loaded like a host
// loads it, calling the test plug-ins built beside it. The recorder shows
// what each plug-in received.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <cstdio>
#include <fstream>

#include "Recorder.h"
#include "support/LibraryUnderTest.h"
#include "support/TestLibraries.h"

namespace {

#ifdef _WIN32
const char kExtension[] = ".dll";
#else
const char kExtension[] = ".so";
#endif

const char kExecuteHead[] =
    "EXECUTE TOVRA/1.0\r\nSecurityLevel: Local\r\nCharset: Shift_JIS\r\nSender: Tovra Caller Vordel\r\n";
const char kVersionRequest[] = "GET Version TOVRA/1.0\r\n\r\n";

struct Event {
  std::string plugin, kind, bytes;
  long statedLength, blockSize;
};

std::vector<Event> Recorded(const std::string &plugin = std::string()) {
  std::vector<Event> events;
  for (int i = 0; i < RecordedEventCount(); ++i) {
    const RecordedEvent *e = RecordedEventAt(i);
    if (!plugin.empty() && plugin != e->plugin) continue;
    events.push_back({e->plugin, e->kind, std::string(e->bytes, static_cast<size_t>(e->bytesLength)),
                      e->statedLength, e->blockSize});
  }
  return events;
}

// The kinds of events, in order: "load request request unload".
std::string Kinds(const std::string &plugin) {
  std::string kinds;
  for (const Event &e : Recorded(plugin)) kinds += (kinds.empty() ? "" : " ") + e.kind;
  return kinds;
}

class CallExpansionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    library = new LibraryUnderTest();
    FreeObserver() = &RecordFreedBlock;
    AllocationObserver() = &RecordOtherBlock;
  }
  static void TearDownTestSuite() {
    delete library;
    library = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(library->IsLoaded()) << LibraryUnderTest::DefaultPath();
    library->unload();  // every test starts with no plug-in loaded
    ClearRecording();
  }
  void TearDown() override { CheckReplyBlocksFreedOnce(); }

  static std::string Expand(const std::string &text) { return library->Expand(text); }

  // Every reply block a plug-in handed out was freed by the library exactly
  // once.
  static void CheckReplyBlocksFreedOnce() {
    int handedOut = 0;
    EXPECT_TRUE(ReplyBlockFreedOnce(&handedOut)) << "of " << handedOut << " reply blocks";
  }

  static LibraryUnderTest *library;
};

LibraryUnderTest *CallExpansionTest::library = nullptr;

struct ExpansionCase {
  const char *name;
  std::string text;
  std::string expanded;
};

TEST_F(CallExpansionTest, CallsAreReplacedByTheirResults) {
  const std::vector<ExpansionCase> cases = {
      {"text around calls is kept byte for byte", "before $tovra[ok,1] between $tovra[ok,2] after",
       "before {1} between {2} after"},
      {"a call at the start and at the end", "$tovra[ok,a]x$tovra[ok,b]", "{a}x{b}"},
      {"calls side by side", "$tovra[ok,a]$tovra[ok,b]", "{a}{b}"},
      {"a call without arguments", "<$tovra[ok]>", "<{}>"},
      {"empty fields close up", "$tovra[ok,a,,b]", "{a|b}"},
      {"a leading comma makes the next field the name", "$tovra[,ok]", "{}"},
      {"spaces belong to the fields", "$tovra[ok, a ,b ]", "{ a |b }"},
      {"names are upper-cased", "$tovra[Ok,x]$tovra[oK,y]", "{x}{y}"},
      {"a name with a leading space names another file", "$tovra[ ok,bar]", ""},
      {"an unterminated call and the rest are dropped", "abc $tovra[ok,1", "abc "},
      {"a nested call is an argument up to the first ]", "$tovra[ok,$tovra[ok,b]]", "{$tovra[ok|b}]"},
      {"the marker is case-sensitive", "$TOVRA[ok]", "$TOVRA[ok]"},
      {"a ] before any call is text", "a]b $tovra[ok,1]", "a]b {1}"},
      {"a 0x5D trail byte does not close a call", "$tovra[ok,\x83\x5Dx]", "{\x83\x5Dx}"},
      {"a marker hidden behind a lead byte is text", "\x83$tovra[ok]", "\x83$tovra[ok]"},
      {"a call with no name yields nothing", "a$tovra[]b$tovra[,,]c", "abc"},
      {"a missing plug-in yields nothing", "a$tovra[nosuchplugin,1]b", "ab"},
      {"a relative sub-path works", "$tovra[sub\\nested,x]", "{x}"},
      {"climbing out is refused", "$tovra[sub\\..\\ok]", ""},
      {"climbing out with dots and spaces is refused", "$tovra[sub\\. .\\ok]", ""},
      {"a UNC path is refused", "$tovra[\\\\server\\share\\ok]", ""},
      {"calls that alternate between plug-ins each reach their own",
       "$tovra[ok,1]$tovra[x204,2]$tovra[ok,3]$tovra[OK,4]$tovra[x204,5]$tovra[ok,6]", "{1}{3}{4}{6}"},
      {"a refused name right after an accepted one stays refused", "$tovra[ok,1]$tovra[sub\\..\\ok,2]$tovra[ok,3]",
       "{1}{3}"},
      {"a missing plug-in called twice in a row stays missing", "$tovra[nosuchplugin]$tovra[nosuchplugin]x", "x"},
      // The expansion goes into one String line: no CR LF pair may form in it.
      {"a lone CR or LF in a result becomes a space", "<$tovra[ok,a\rb\nc\r]>", "<{a b c }>"},
      {"an LF after an empty call does not complete the CR before it", "a\r$tovra[nosuchplugin]\nb", "a\r b"},
      {"nor across several empty calls", "a\r$tovra[]$tovra[x204]$tovra[nosuchplugin]\nb", "a\r b"},
      {"lone CR and LF of the host's text stay", "\ra\n$tovra[ok]\r\r$tovra[ok]\n", "\ra\n{}\r\r{}\n"},
  };
  for (const ExpansionCase &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Expand(c.text), c.expanded);
  }
}

TEST_F(CallExpansionTest, PlugInsLoadOnlyFromInsideTheLibraryDirectory) {
  // Each of these names the real plug-in file, and each is refused.
  const std::string directory = LibraryUnderTest::Directory();  // "X:\\...\\bin\\"
  const std::string withoutDrive = directory.substr(directory.find('\\'));
  std::string withSlashes = withoutDrive;
  for (char &c : withSlashes)
    if (c == '\\') c = '/';
  for (const std::string &name : {directory + "ok", withoutDrive + "ok", withSlashes + "ok"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Expand("<$tovra[" + name + ",1]>"), "<>");
  }
  EXPECT_EQ(Kinds("ok"), "");
}

TEST_F(CallExpansionTest, AResultIsNeverScannedAgain) {
  EXPECT_EQ(Expand("$tovra[ok,$tovra[ok]"), "{$tovra[ok}");
}

TEST_F(CallExpansionTest, RepliesAreAcceptedOrRefusedByTheirStatusLine) {
  const std::vector<ExpansionCase> cases = {
      {"a reply in small letters is accepted", "$tovra[xlower,v]", "{v}"},
      {"status 204 is refused", "$tovra[x204,v]", ""},
      {"a status line without its line end is refused", "$tovra[xnoeol,v]", ""},
      {"a longer reason phrase is refused", "$tovra[xreason,v]", ""},
      {"no Result header yields nothing", "$tovra[xnoresult,v]", ""},
      {"the first of two Results after an empty line", "$tovra[xtwo,v]", "a"},
      {"no reply block yields nothing", "$tovra[xnull,v]", ""},
      {"a zero byte inside the stated length ends the reply", "$tovra[xzero,v]", "abc"},
      {"a reply without terminating zero is read to its length", "$tovra[xnoterm,v]", "{v}"},
      {"a negative reply length reads nothing", "$tovra[xneg,v]", ""},
      {"a reply length beyond the block reads the block", "$tovra[xbeyond,v]", "{v}"},
      {"a Result ending in a lone lead byte ends at its line end", "$tovra[xlonelead,v]", "x\x83"},
  };
  for (const ExpansionCase &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Expand("<" + c.text + ">"), "<" + c.expanded + ">");
  }
}

// Each reply goes on in its block past the length its plug-in stated, with
// bytes that would change the answer if they were read ('|' marks the stated
// end, '~' and '`' stand for CR and LF).
TEST_F(CallExpansionTest, NothingPastAReplysStatedLengthCounts) {
  const std::vector<ExpansionCase> cases = {
      {"a status line cut inside its line end", "$tovra[xscript,TOVRA/1.0 200 OK~|`Result: x~`]", ""},
      {"a version reply cut inside its token", "$tovra[vcut,v]", ""},
      {"a header name cut short", "$tovra[xscript,TOVRA/1.0 200 OK~`Resul|t: x~`]", ""},
      {"a value cut before its first byte", "$tovra[xscript,TOVRA/1.0 200 OK~`Result: |x~`]", ""},
      {"a value cut after one byte", "$tovra[xscript,TOVRA/1.0 200 OK~`Result: a|bc~`]", "a"},
      {"a value cut inside its line end", "$tovra[xscript,TOVRA/1.0 200 OK~`Result: ab~|`]", "ab "},
      {"a value cut after a lead byte", "$tovra[xscript,TOVRA/1.0 200 OK~`Result: a\x83|\x40~`]", "a\x83"},
      {"the whole reply stated", "$tovra[xscript,TOVRA/1.0 200 OK~`Result: abc~`|]", "abc"},
  };
  for (const ExpansionCase &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Expand("<" + c.text + ">"), "<" + c.expanded + ">");
  }
}

TEST_F(CallExpansionTest, ThePlugInReceivesExactBytes) {
  ASSERT_EQ(Expand("$tovra[ok,a,\x83\x5D\\ b]"), "{a|\x83\x5D\\ b}");
  std::vector<Event> events = Recorded("ok");
  ASSERT_EQ(events.size(), 3u);

  EXPECT_EQ(events[0].kind, "load");
  const std::string directory = LibraryUnderTest::Directory();
  EXPECT_EQ(events[0].bytes, directory);
  EXPECT_EQ(events[0].statedLength, static_cast<long>(directory.size()));
  EXPECT_EQ(events[0].blockSize, static_cast<long>(directory.size() + 1));

  EXPECT_EQ(events[1].kind, "request");
  EXPECT_EQ(events[1].bytes, kVersionRequest);
  EXPECT_EQ(events[1].statedLength, 25);
  EXPECT_EQ(events[1].blockSize, 26);

  const std::string execute = std::string(kExecuteHead) + "Argument0: a\r\nArgument1: \x83\x5D\\ b\r\n\r\n";
  EXPECT_EQ(std::string(kExecuteHead).size(), 90u);
  EXPECT_EQ(events[2].bytes, execute);
  EXPECT_EQ(events[2].statedLength, static_cast<long>(execute.size()));
  EXPECT_EQ(events[2].blockSize, static_cast<long>(execute.size() + 1));

  ClearRecording();
  Expand("$tovra[ok]");
  events = Recorded("ok");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].bytes, std::string(kExecuteHead) + "\r\n");
}

TEST_F(CallExpansionTest, LongArgumentsTravelWhole) {
  std::string argument(5000, 'x');
  argument[2500] = '\x83';
  argument[2501] = '\x5D';
  std::string many;
  for (int i = 0; i < 12; ++i) many += "," + std::to_string(i);
  EXPECT_EQ(Expand("$tovra[ok," + argument + ",tail]"), "{" + argument + "|tail}");
  EXPECT_EQ(Expand("$tovra[ok" + many + "]"), "{0|1|2|3|4|5|6|7|8|9|10|11}");
  std::vector<Event> events = Recorded("ok");
  ASSERT_FALSE(events.empty());
  EXPECT_NE(events.back().bytes.find("Argument10: 10\r\nArgument11: 11\r\n\r\n"), std::string::npos);
}

TEST_F(CallExpansionTest, ArgumentsAreNumberedFromZeroInEveryCall) {
  EXPECT_EQ(Expand("$tovra[ok,a,b]$tovra[ok,c]"), "{a|b}{c}");
  const std::vector<Event> events = Recorded("ok");
  ASSERT_EQ(Kinds("ok"), "load request request request");
  EXPECT_EQ(events[3].bytes, std::string(kExecuteHead) + "Argument0: c\r\n\r\n");
}

// Copies a file; both paths as the C library opens files.
void CopyBytes(const std::string &from, const std::string &to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
}

TEST_F(CallExpansionTest, AFailedBringUpIsTriedAgainByTheNextCall) {
  // A plug-in put in place between two requests is found by the second.
  const std::string late = NativePath(TestLibraryPath("late"));
  std::remove(late.c_str());
  EXPECT_EQ(Expand("<$tovra[late,1]>"), "<>");
  CopyBytes(NativePath(TestLibraryPath("ok")), late);
  EXPECT_EQ(Expand("<$tovra[late,2]>"), "<{2}>");
  library->unload();
  std::remove(late.c_str());

  // A plug-in without a request entry is freed at once, and loaded anew by
  // every later call; one that a surrogate refused (the bridged run's) only
  // once its file has changed, or after the host's unload.
  const std::string noreq = TestLibraryPath("noreq");
  EXPECT_EQ(Expand("<$tovra[noreq,1]>"), "<>");
  EXPECT_FALSE(IsLibraryLoaded(noreq));
  EXPECT_EQ(Expand("<$tovra[noreq,2]>"), "<>");
  EXPECT_FALSE(IsLibraryLoaded(noreq));
  EXPECT_EQ(Kinds("noreq"), Bridged() ? "attached" : "attached attached");
}

#ifndef _WIN32
// Natively only: Windows' ANSI file calls read the trail byte 0x5C as '\'
// unless the process's code page is 932, and the test programs run under
// code page 1252.
TEST_F(CallExpansionTest, APlugInWhoseNameHasA5CTrailByteIsFoundAndGivenItsDirectory) {
  const std::string name = "\x95\x5C";  // a character whose trail byte is 0x5C
  const std::string file = NativePath(TestDirectory()) + LibraryFileName(name);
  CopyBytes(NativePath(TestLibraryPath("ok")), file);
  EXPECT_EQ(Expand("<$tovra[" + name + ",x]>"), "<{x}>");
  const std::vector<Event> events = Recorded("ok");
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].kind, "load");
  EXPECT_EQ(events[0].bytes, LibraryUnderTest::Directory());
  library->unload();
  std::remove(file.c_str());
}
#endif

TEST_F(CallExpansionTest, APlugInIsBroughtUpOnceForManyCalls) {
  EXPECT_EQ(Expand("$tovra[ok,1]$tovra[OK,2]$tovra[Ok,3]"), "{1}{2}{3}");
  EXPECT_EQ(Expand("$tovra[ok,4]"), "{4}");
  EXPECT_EQ(Kinds("ok"), "load request request request request request");
}

TEST_F(CallExpansionTest, EntryPointsAreBoundByPlainThenUnderscoreName) {
  EXPECT_EQ(Expand("$tovra[both,1]"), "{1}");
  EXPECT_EQ(Kinds("both"), "load request request");
  EXPECT_EQ(Expand("$tovra[under,1]"), "{1}");
  EXPECT_EQ(Kinds("under"), "_request _request");
  EXPECT_EQ(Expand("$tovra[underall,1]"), "{1}");
  EXPECT_EQ(Kinds("underall"), "_load _request _request");
  EXPECT_EQ(Expand("$tovra[mixed,1]"), "{1}");
  EXPECT_EQ(Kinds("mixed"), "load _request _request");
  // No request entry: loaded and freed again without any call, every time
  // (in a surrogate, once until the host's unload).
  EXPECT_EQ(Expand("$tovra[noreq,1]$tovra[noreq,2]"), "");
  EXPECT_EQ(Kinds("noreq"), Bridged() ? "attached" : "attached attached");
}

TEST_F(CallExpansionTest, TheVersionReplyDecidesTheBringUp) {
  const std::vector<ExpansionCase> cases = {
      {"a load entry that returns 0 is ignored", "$tovra[load0,v]", "{v}"},
      {"a version reply in small letters is accepted", "$tovra[vlower,v]", "{v}"},
      {"a 400 status after the token is accepted", "$tovra[v400,v]", "{v}"},
      {"version 1.1 is refused", "$tovra[v11,v]", ""},
      {"a reply that stops inside the token is refused", "$tovra[vshort,v]", ""},
      {"no version reply block is refused", "$tovra[vnull,v]", ""},
  };
  for (const ExpansionCase &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Expand(c.text), c.expanded);
  }
  // A refused plug-in whose load entry ran is told to unload, and every later
  // call brings it up again from the start (in a surrogate, only after the
  // host's unload).
  EXPECT_EQ(Kinds("v11"), "load request unload");
  EXPECT_EQ(Expand("$tovra[v11,v]"), "");
  EXPECT_EQ(Kinds("v11"), Bridged() ? "load request unload" : "load request unload load request unload");
  library->unload();
  EXPECT_EQ(Expand("$tovra[v11,v]"), "");
  EXPECT_EQ(Kinds("v11"), Bridged() ? "load request unload load request unload"
                                    : "load request unload load request unload load request unload");
}

TEST_F(CallExpansionTest, UnloadUnloadsInNameOrderAndTheNextCallLoadsAgain) {
  EXPECT_EQ(Expand("$tovra[ok]$tovra[underall]$tovra[both]$tovra[under]"), "{}{}{}{}");
  ClearRecording();
  EXPECT_EQ(library->unload(), 1);
  std::string order;
  for (const Event &e : Recorded()) order += e.plugin + ":" + e.kind + " ";
  EXPECT_EQ(order, "both:unload ok:unload underall:_unload ");
  ClearRecording();
  EXPECT_EQ(library->unload(), 1);
  EXPECT_TRUE(Recorded().empty());
  EXPECT_EQ(Expand("$tovra[ok,again]"), "{again}");
  EXPECT_EQ(Kinds("ok"), "load request request");
}

TEST_F(CallExpansionTest, NamesWithAndWithoutExtensionAreTwoEntries) {
  const std::string withExtension = "twice" + std::string(kExtension);
  for (const std::string &text : {"$tovra[twice,1]$tovra[" + withExtension + ",2]",
                                  "$tovra[" + withExtension + ",1]$tovra[twice,2]"}) {
    SCOPED_TRACE(text);
    ClearRecording();
    EXPECT_EQ(Expand(text + "$tovra[twice,3]$tovra[" + withExtension + ",4]"), "{1}{2}{3}{4}");
    EXPECT_EQ(Kinds("twice"), "load request request load request request request request");
    ClearRecording();
    library->unload();
    EXPECT_EQ(Kinds("twice"), "unload unload");
  }
}

// Names that are prefixes of one another are different plug-ins, each loaded
// once, and unloaded in byte order: a shorter name before a longer one.
TEST_F(CallExpansionTest, NamesThatArePrefixesOfEachOtherReachTheirOwnPlugIns) {
  EXPECT_EQ(Expand("$tovra[okay,1]$tovra[ok,2]$tovra[o,3]$tovra[okay,4]$tovra[o,5]$tovra[ok,6]"),
            "{1}{2}{3}{4}{5}{6}");
  for (const char *name : {"o", "ok", "okay"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Kinds(name), "load request request request");
  }
  ClearRecording();
  library->unload();
  std::string order;
  for (const Event &e : Recorded()) order += e.plugin + ":" + e.kind + " ";
  EXPECT_EQ(order, "o:unload ok:unload okay:unload ");
  // Each shorter name is followed by ']', which sorts after the longer names'
  // next bytes ('K', 'A'): an order that read past a name would flip.
  EXPECT_EQ(Expand("$tovra[okay]$tovra[ok]$tovra[o]"), "{}{}{}");
  ClearRecording();
  library->unload();
  order.clear();
  for (const Event &e : Recorded()) order += e.plugin + ":" + e.kind + " ";
  EXPECT_EQ(order, "o:unload ok:unload okay:unload ");
}

#ifdef _WIN32
// The library's GlobalAlloc fails for its `failAt`-th call from now on (1 is
// the next one), and only for that one.
int allocationsUntilFailure = 0;
HGLOBAL WINAPI FailingGlobalAlloc(UINT flags, SIZE_T bytes) {
  if (allocationsUntilFailure > 0 && --allocationsUntilFailure == 0) return nullptr;
  return ::GlobalAlloc(flags, bytes);
}

TEST_F(CallExpansionTest, ABlockThatCannotBeHadSkipsOnlyItsOwnStep) {
  ASSERT_NE(PatchImport(library->Module(), "kernel32.dll", "GlobalAlloc", reinterpret_cast<void *>(&FailingGlobalAlloc)),
            nullptr);
  // The library's blocks for one first call, in order: the directory for the
  // load call, the version request, the EXECUTE request, the host's reply.
  struct Case {
    const char *name;
    int failAt;
    const char *expanded;
    const char *kinds;
  } cases[] = {
      {"no directory block: brought up without its load call", 1, "{x}", "request request unload"},
      {"no version block: refused, and told to unload", 2, "", "load unload"},
      {"no request block: the call yields nothing", 3, "", "load request unload"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    library->unload();
    ClearRecording();
    allocationsUntilFailure = c.failAt;
    EXPECT_EQ(Expand("$tovra[ok,x]"), c.expanded);
    library->unload();
    EXPECT_EQ(Kinds("ok"), c.kinds);
  }

  // No block for the reply: request returns null and the host keeps its
  // block and its length variable.
  const std::string requestText = RequestFor("no calls");
  HGLOBAL block = MakeBlock(requestText);
  BlockLength length = static_cast<BlockLength>(requestText.size());
  BlocksFreedByLibrary().clear();
  allocationsUntilFailure = 1;
  EXPECT_EQ(library->request(block, &length), nullptr);
  EXPECT_EQ(length, static_cast<BlockLength>(requestText.size()));
  EXPECT_EQ(TimesFreedByLibrary(block), 0);
  EXPECT_EQ(std::string(static_cast<const char *>(block)), requestText);
  platform::FreeGlobalBlock(block);
  allocationsUntilFailure = 0;
}

TEST_F(CallExpansionTest, APlugInInCHostReceivesItsEightByteDirectory) {
  CreateDirectoryA("C:\\host", nullptr);
  const std::string directory = LibraryUnderTest::Directory();
  // The surrogates and the recorder too, for a plug-in of the other bitness.
  for (const char *file :
       {"tovracaller.dll", "ok.dll", "tovra_recorder.dll", "tovra-surrogate32.exe", "tovra-surrogate64.exe"})
    ASSERT_TRUE(CopyFileA((directory + file).c_str(), (std::string("C:\\host\\") + file).c_str(), FALSE)) << file;
  {
    LibraryUnderTest hosted("C:\\host\\tovracaller.dll");
    ASSERT_TRUE(hosted.IsLoaded());
    const std::string requestText = RequestFor("$tovra[ok,1]");
    BlockLength length = static_cast<BlockLength>(requestText.size());
    HGLOBAL reply = hosted.request(MakeBlock(requestText), &length);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(std::string(static_cast<const char *>(reply), static_cast<size_t>(length)), OkReply("{1}"));
    platform::FreeGlobalBlock(reply);
    std::vector<Event> events = Recorded("ok");
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].kind, "load");
    EXPECT_EQ(events[0].bytes, "C:\\host\\");
    EXPECT_EQ(events[0].statedLength, 8);
    hosted.unload();
  }
  ClearRecording();
}
#endif

}  // namespace
