// The three exports driven through the real library, with real global
// memory blocks on the host's side.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/LibraryUnderTest.h"

namespace {

class ExportsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { library = new LibraryUnderTest(); }
  static void TearDownTestSuite() {
    delete library;
    library = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(library->IsLoaded()) << LibraryUnderTest::DefaultPath(); }

  struct Answer {
    std::string reply;
    bool hostKeptBlock = false;
  };

  // Sends `requestText` in a block of its own size with the stated length
  // (its size by default) and checks the reply block's shape.
  static Answer Send(const std::string &requestText, BlockLength statedLength = -2) {
    BlocksFreedByLibrary().clear();
    HGLOBAL block = MakeBlock(requestText);
    BlockLength length = statedLength == -2 ? static_cast<BlockLength>(requestText.size()) : statedLength;
    HGLOBAL reply = library->request(block, &length);
    Answer answer;
    EXPECT_NE(reply, nullptr);
    if (!reply) return answer;
    // One byte longer than the stated length, and that byte is zero.
    EXPECT_GE(length, 0);
    EXPECT_EQ(platform::GlobalBlockSize(reply), static_cast<size_t>(length) + 1);
    EXPECT_EQ(static_cast<const char *>(reply)[length], '\0');
    answer.reply.assign(static_cast<const char *>(reply), static_cast<size_t>(length));
    platform::FreeGlobalBlock(reply);
    answer.hostKeptBlock = answer.reply == kBadRequest;
    if (answer.hostKeptBlock) {
      // Still the host's, whole and unchanged.
      EXPECT_EQ(TimesFreedByLibrary(block), 0);
      EXPECT_GE(platform::GlobalBlockSize(block), requestText.size() + 1);
      EXPECT_EQ(std::string(static_cast<const char *>(block), requestText.size()), requestText);
      platform::FreeGlobalBlock(block);
    } else {
      EXPECT_TRUE(FreedOnceByLibrary(block));
    }
    return answer;
  }

  static LibraryUnderTest *library;
};

LibraryUnderTest *ExportsTest::library = nullptr;

struct EnvelopeCase {
  const char *name;
  std::string request;
  std::string reply;
};

TEST_F(ExportsTest, EachRequestGetsItsExactReply) {
  const std::vector<EnvelopeCase> cases = {
      {"a plain request is answered with its text", "EXECUTE VORDEL/2.0\r\nString: hello\r\n\r\n", OkReply("hello")},
      {"the request line in small letters is accepted", "execute VORDEL/2.0\r\nString: a\r\n\r\n", OkReply("a")},
      {"mixed letter case is accepted", "Execute VORDEL/2.0\r\nString: a\r\n\r\n", OkReply("a")},
      {"EXECUTED is accepted", "EXECUTED\r\nString: a\r\n\r\n", OkReply("a")},
      {"no protocol token is accepted", "EXECUTE\r\nString: a\r\n\r\n", OkReply("a")},
      {"any protocol token is accepted", "EXECUTE FOO/9\r\nString: a\r\n\r\n", OkReply("a")},
      {"EXEC is refused", "EXEC\r\nString: a\r\n\r\n", kBadRequest},
      {"a GET request is refused", "GET Version VORDEL/2.0\r\nString: a\r\n\r\n", kBadRequest},
      {"a request line with a lead space is refused", " EXECUTE\r\nString: a\r\n\r\n", kBadRequest},
      {"blank lines before the request line are dropped", "\r\n\r\nEXECUTE VORDEL/2.0\r\nString: a\r\n\r\n",
       OkReply("a")},
      {"no String header is refused", "EXECUTE VORDEL/2.0\r\nCharset: Shift_JIS\r\n\r\n", kBadRequest},
      {"an empty text is refused", "", kBadRequest},
      {"blank lines only are refused", "\r\n\r\n\r\n", kBadRequest},
      {"the header name is matched without letter case", "EXECUTE\r\nstring: abc\r\n\r\n", OkReply("abc")},
      {"the two bytes after the name are skipped unseen", "EXECUTE\r\nString:abc\r\n\r\n", OkReply("bc")},
      {"a longer header name matches as a prefix", "EXECUTE\r\nStrings: x\r\n\r\n", OkReply(" x")},
      {"the first String line counts", "EXECUTE\r\nString: one\r\nString: two\r\n\r\n", OkReply("one")},
      {"a String line after the blank line is found", "EXECUTE\r\nCharset: x\r\n\r\nString: late\r\n",
       OkReply("late")},
      {"an empty value gives an empty text", "EXECUTE\r\nString: \r\n\r\n", OkReply("")},
      {"a bare name gives an empty text", "EXECUTE\r\nString\r\n\r\n", OkReply("")},
      {"the name and colon give an empty text", "EXECUTE\r\nString:\r\n\r\n", OkReply("")},
      {"spaces in the value are kept", "EXECUTE\r\nString:   a  b  \r\n\r\n", OkReply("  a  b  ")},
      {"the request line is not taken for the String header", "EXECUTE String: x\r\n\r\n", kBadRequest},
      {"a lone CR or LF is an ordinary byte", "EXECUTE\r\nString: a\rb\nc\r\n\r\n", OkReply("a\rb\nc")},
      {"Shift_JIS bytes pass unchanged", "EXECUTE\r\nString: \x83\x5D\x95\x5C\x82\xA0\r\n\r\n",
       OkReply("\x83\x5D\x95\x5C\x82\xA0")},
      // CR and LF are never trail bytes: a lead byte before a line end stands
      // alone, and the line end still ends the line.
      {"a lone lead byte before the line end stays in the value alone", "EXECUTE\r\nString: abc\x83\r\n\r\n",
       OkReply("abc\x83")},
      {"a lone lead byte before the request line's end does not hide the String line",
       "EXECUTE\x83\r\nString: a\r\n\r\n", OkReply("a")},
      {"a lone lead byte before a lone LF leaves the LF in the value", "EXECUTE\r\nString: a\x83\nb\r\n\r\n",
       OkReply("a\x83\nb")},
      {"a lead byte ending the text stands alone", "EXECUTE\r\nString: a\x83", OkReply("a\x83")},
      {"text without a call comes back unchanged", "EXECUTE\r\nString: a ] b [ $tovra\r\n\r\n",
       OkReply("a ] b [ $tovra")},
  };
  for (const EnvelopeCase &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Send(c.request).reply, c.reply);
  }
}

TEST_F(ExportsTest, LongTextsComeBackWhole) {
  for (size_t size : {972u, 973u, 997u, 1100u, 5000u, 70000u}) {
    SCOPED_TRACE(size);
    std::string text;
    for (size_t i = 0; i < size; ++i) text += static_cast<char>('a' + i % 26);
    // A double-byte character straddling the old 1,023-byte cut stays whole.
    text.replace(text.size() / 2, 2, "\x83\x5D");
    EXPECT_EQ(Send(RequestFor(text)).reply, OkReply(text));
  }
}

TEST_F(ExportsTest, TheStatedLengthBoundsTheRead) {
  const std::string request = RequestFor("abc");
  // Stops at the first zero byte within the stated length.
  std::string withZero = RequestFor("ab") + std::string(1, '\0') + "String: zz\r\n";
  EXPECT_EQ(Send(withZero).reply, OkReply("ab"));
  // A shorter stated length cuts the text: here before the String line.
  EXPECT_EQ(Send(request, 20).reply, kBadRequest);
  EXPECT_EQ(Send(request, 30).reply, OkReply("ab"));
  // Cut where the next byte would decide: inside the header name, before
  // the value's first byte.
  EXPECT_EQ(Send(request, 25).reply, kBadRequest);
  EXPECT_EQ(Send(request, 28).reply, OkReply(""));
  // Lengths that cannot be read are read as nothing: 400, block kept.
  EXPECT_EQ(Send(request, -1).reply, kBadRequest);
  EXPECT_EQ(Send(request, INT32_MIN).reply, kBadRequest);
  EXPECT_EQ(Send(request, 0).reply, kBadRequest);
}

TEST_F(ExportsTest, ALengthBeyondTheBlockReadsOnlyTheBlock) {
  // The block holds the request and its zero byte; the host claims far more.
  const std::string request = RequestFor("inside");
  EXPECT_EQ(Send(request, 1 << 30).reply, OkReply("inside"));
  // No zero byte inside the block either: the read stops at its end.
  BlocksFreedByLibrary().clear();
  HGLOBAL block = platform::AllocGlobalBlock(request.size());
  std::memcpy(block, request.data(), request.size());
  BlockLength length = 1 << 30;
  HGLOBAL reply = library->request(block, &length);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(std::string(static_cast<const char *>(reply), static_cast<size_t>(length)), OkReply("inside"));
  EXPECT_TRUE(FreedOnceByLibrary(block));
  platform::FreeGlobalBlock(reply);
}

TEST_F(ExportsTest, ANullBlockOrLengthPointerIsHandled) {
  BlockLength length = 10;
  HGLOBAL reply = library->request(nullptr, &length);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(std::string(static_cast<const char *>(reply), static_cast<size_t>(length)), kBadRequest);
  platform::FreeGlobalBlock(reply);

  HGLOBAL block = MakeBlock(RequestFor("x"));
  BlocksFreedByLibrary().clear();
  EXPECT_EQ(library->request(block, nullptr), nullptr);
  EXPECT_EQ(TimesFreedByLibrary(block), 0);
  EXPECT_EQ(std::string(static_cast<const char *>(block)), RequestFor("x"));  // untouched, still ours
  platform::FreeGlobalBlock(block);
}

TEST_F(ExportsTest, LoadFreesItsBlockAndUnloadAlwaysSucceeds) {
  for (const std::string &text : {std::string(), std::string("C:\\host\\"), std::string(5000, 'd')}) {
    BlocksFreedByLibrary().clear();
    HGLOBAL block = MakeBlock(text);
    EXPECT_EQ(library->load(block, static_cast<BlockLength>(text.size())), 1);
    EXPECT_TRUE(FreedOnceByLibrary(block));
  }
  EXPECT_EQ(library->load(nullptr, 0), 1);
  EXPECT_EQ(library->unload(), 1);
  EXPECT_EQ(library->unload(), 1);
  // Requests still work after unload.
  EXPECT_EQ(Send(RequestFor("again")).reply, OkReply("again"));
}

#ifdef _WIN32
TEST_F(ExportsTest, TheLibraryCanBeLoadedAndFreedWithoutLimit) {
  // Nothing the library takes when it is loaded may stay behind when it is
  // freed: a TLS slot above all, of which a process has 1,088. This process
  // holds all of them here but 64, so that a library that keeps one a round
  // runs out by round 65, and does 200 rounds (1,200 rounds of a process
  // with every slot free, each a second and more of a VM without KVM, would
  // show the same). A copy of its own, so that each round really loads and
  // frees it.
  struct HeldSlots {
    std::vector<DWORD> slots;
    ~HeldSlots() {
      for (DWORD slot : slots) ::TlsFree(slot);
    }
  } held;
  for (DWORD slot; (slot = ::TlsAlloc()) != TLS_OUT_OF_INDEXES;) held.slots.push_back(slot);
  for (int free = 0; free < 64 && !held.slots.empty(); ++free) {
    ::TlsFree(held.slots.back());
    held.slots.pop_back();
  }
  const std::string folder = LibraryUnderTest::Directory() + "reloaded\\";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  for (const char *file : {"tovracaller.dll", "calc.dll"})
    ASSERT_TRUE(::CopyFileA((LibraryUnderTest::Directory() + file).c_str(), (folder + file).c_str(), FALSE)) << file;
  for (int round = 1; round <= 200; ++round) {
    LibraryUnderTest reloaded(folder + "tovracaller.dll");
    ASSERT_TRUE(reloaded.IsLoaded()) << "round " << round;
    ASSERT_EQ(reloaded.Expand("$tovra[calc,add,1,2]"), "3") << "round " << round;
    reloaded.unload();
  }
}
#endif

}  // namespace
