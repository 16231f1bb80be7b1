// The sample plug-ins, built on the SDK header, called through the library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Recorder.h"
#include "support/LibraryUnderTest.h"
#include "support/TestLibraries.h"

namespace {

class SdkPluginTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { library = new LibraryUnderTest(); }
  static void TearDownTestSuite() {
    library->unload();
    delete library;
    library = nullptr;
  }

  static std::string Expand(const std::string &text) { return library->Send(RequestFor(text)); }

  static LibraryUnderTest *library;
};

LibraryUnderTest *SdkPluginTest::library = nullptr;

TEST_F(SdkPluginTest, SamplePlugInsAnswerThroughTheLibrary) {
  ASSERT_TRUE(library->IsLoaded());
  const std::string x98(98, 'x');
  struct Case {
    const char *name;
    std::string text, expanded;
  } cases[] = {
      {"calc adds", "$tovra[calc,add,3,4]", "7"},
      {"calc folds from the left", "$tovra[calc,sub,10,2,3]", "5"},
      {"calc multiplies negatives", "$tovra[calc,mul,-6,7]", "-42"},
      {"calc works past 32 bits", "$tovra[calc,mul,4000000000,3]", "12000000000"},
      {"calc truncates division", "$tovra[calc,div,-7,2]", "-3"},
      {"calc negates", "$tovra[calc,neg,5]", "-5"},
      {"calc says what is wrong with a value", "$tovra[calc,add,1,x]", "calc error: not an integer: x"},
      {"calc refuses division by zero", "$tovra[calc,mod,1,0]", "calc error: division by zero"},
      {"calc refuses overflow", "$tovra[calc,mul,9223372036854775807,2]", "calc error: out of range"},
      {"calc names an unknown operation", "$tovra[calc,pow,2,3]", "calc error: unknown operation: pow"},
      {"calc needs values", "$tovra[calc,add]", "calc error: wrong number of values for add"},
      {"calc names 100 bytes of a long value when they end in a whole double-byte character",
       "$tovra[calc,add,1," + x98 + "\x95\x5C" + "yz]", "calc error: not an integer: " + x98 + "\x95\x5C"},
      {"calc leaves out a double-byte character that the 100th byte would cut",
       "$tovra[calc,add,1,x" + x98 + "\x83\x41" + "yz]", "calc error: not an integer: x" + x98},
      {"calc cuts a long operation name at a whole character too", "$tovra[calc,x" + x98 + "\xE0\x40]",
       "calc error: unknown operation: x" + x98},
      {"echo joins its arguments", "$tovra[echo,a,,b]", "a,b"},
      {"echo with no argument gives nothing", "<$tovra[echo]>", "<>"},
      {"echo keeps Shift_JIS bytes", "$tovra[echo,\x83\x5D\x95\x5C]", "\x83\x5D\x95\x5C"},
      {"upper folds letters only", "$tovra[upper,abc-\x83\x61z]", "ABC-\x83\x61Z"},
      {"a refused call gives nothing", "<$tovra[upper,a,b]>", "<>"},
      {"tally counts each word since its load", "$tovra[tally,apple] $tovra[tally,apple,pear]", "1 2 1"},
      {"tally without arguments counts the words", "$tovra[tally]", "2"},
      {"tally tells the directory its load hook got", "$tovra[tally,where]", LibraryUnderTest::Directory()},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Expand(c.text), OkReply(c.expanded));
  }
}

// The events of the hooked plug-in `name` in the recording, one per line.
static std::string HookEvents(const std::string &name) {
  std::string events;
  for (int i = 0; i < RecordedEventCount(); ++i) {
    const RecordedEvent *e = RecordedEventAt(i);
    if (name == e->plugin) events += std::string(e->kind) + " " + std::string(e->bytes, e->bytesLength) + "\n";
  }
  return events;
}

// The hooks as the header documents them, in C and in C++: they run at the
// library's bring-up and unload, and what each status gives.
TEST_F(SdkPluginTest, HooksWrittenAsDocumentedRunFromCAndCpp) {
  ASSERT_TRUE(library->IsLoaded());
  const std::string directory = LibraryUnderTest::Directory();
  for (const std::string name : {"hookedc", "hookedcpp"}) {
    SCOPED_TRACE(name);
    ClearRecording();
    const std::string call = "$tovra[" + name + ",";
    EXPECT_EQ(Expand("<" + call + "fine]|" + call + "empty]|" + call + "none]|" + call + "bad]>"),
              OkReply("<fine|||>"))
        << "a load hook that returns 0 does not stop the calls";
    library->unload();
    EXPECT_EQ(Expand(call + "again]"), OkReply("again")) << "after the host's unload the next call loads it again";
    EXPECT_EQ(HookEvents(name), "load hook " + directory + "\nunload hook \nload hook " + directory + "\n");
  }
}

// What each status of the hooked plug-ins' handler answers, asked of the
// plug-in's request entry directly.
TEST_F(SdkPluginTest, EachStatusOfAHandlerAnswersAsDocumented) {
  for (const std::string name : {"hookedc", "hookedcpp"}) {
    SCOPED_TRACE(name);
    HMODULE plugin = platform::LoadDynamicLibrary((LibraryUnderTest::Directory() + name).c_str(), 0);
    ASSERT_NE(plugin, nullptr);
    auto request =
        reinterpret_cast<LibraryUnderTest::RequestFunction>(platform::GetLibraryProcAddress(plugin, "request"));
    ASSERT_NE(request, nullptr);
    const struct {
      const char *sentence;
      const char *argument;
      std::string reply;
    } statuses[] = {
        {"TOVRA_OK without a result set answers an empty Result", "empty", "TOVRA/1.0 200 OK\r\nResult: \r\n\r\n"},
        {"TOVRA_NO_RESULT answers no content", "none", "TOVRA/1.0 204 No Content\r\n\r\n"},
        {"TOVRA_BAD_ARGUMENTS answers a bad request", "bad", "TOVRA/1.0 400 Bad Request\r\n\r\n"},
    };
    for (const auto &c : statuses) {
      SCOPED_TRACE(c.sentence);
      const std::string text = std::string("EXECUTE TOVRA/1.0\r\nArgument0: ") + c.argument + "\r\n\r\n";
      BlockLength length = static_cast<BlockLength>(text.size());
      HGLOBAL reply = request(MakeBlock(text), &length);
      ASSERT_NE(reply, nullptr);
      EXPECT_EQ(std::string(static_cast<const char *>(reply), static_cast<size_t>(length)), c.reply);
      platform::FreeGlobalBlock(reply);
    }
    platform::FreeDynamicLibrary(plugin);
  }
}

TEST_F(SdkPluginTest, ACallWhoseHandlerThrowsGivesNothing) {
  ASSERT_TRUE(library->IsLoaded());
  EXPECT_EQ(Expand("<$tovra[sdkthrow,throw]|$tovra[sdkthrow,int]|$tovra[sdkthrow,fine]>"), OkReply("<||fine>"))
      << "through the library, a call whose handler throws gives nothing and the plug-in keeps working";
}

// Calls the SDK plug-in whose code throws through its own entry points, as
// the library does; an exception that left them would reach this test.
TEST_F(SdkPluginTest, NothingACppPlugInThrowsLeavesItsEntryPoints) {
  HMODULE plugin = platform::LoadDynamicLibrary((LibraryUnderTest::Directory() + "sdkthrow").c_str(), 0);
  ASSERT_NE(plugin, nullptr);
  auto load = reinterpret_cast<LibraryUnderTest::LoadFunction>(platform::GetLibraryProcAddress(plugin, "load"));
  auto request = reinterpret_cast<LibraryUnderTest::RequestFunction>(platform::GetLibraryProcAddress(plugin, "request"));
  auto unload = reinterpret_cast<LibraryUnderTest::UnloadFunction>(platform::GetLibraryProcAddress(plugin, "unload"));
  ASSERT_TRUE(load && request && unload);

  struct Case {
    const char *name;
    std::string argument, reply;
  } cases[] = {
      {"a handler that throws a standard exception answers like a failed call", "throw",
       "TOVRA/1.0 500 Internal Server Error\r\n\r\n"},
      {"a handler that throws anything else answers like a failed call", "int",
       "TOVRA/1.0 500 Internal Server Error\r\n\r\n"},
      {"a handler that returns answers with its Result", "fine", "TOVRA/1.0 200 OK\r\nResult: fine\r\n\r\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = "EXECUTE TOVRA/1.0\r\nArgument0: " + c.argument + "\r\n\r\n";
    BlockLength length = static_cast<BlockLength>(text.size());
    HGLOBAL reply = request(MakeBlock(text), &length);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(std::string(static_cast<const char *>(reply), static_cast<size_t>(length)), c.reply);
    platform::FreeGlobalBlock(reply);
  }
  const std::string directory = "C:\\plugins\\throw\\";
  EXPECT_EQ(load(MakeBlock(directory), static_cast<BlockLength>(directory.size())), 0)
      << "a load hook that throws makes load return 0";
  EXPECT_EQ(unload(), 1) << "an unload hook that throws has simply run";
  platform::FreeDynamicLibrary(plugin);
}

}  // namespace
