// tovra-host's session, in this process, against a library stand-in whose
// request returns no block: the request block is then still the host's, and
// the session must free it exactly once.
#include <gtest/gtest.h>

#include <string>

#include "support/LibraryUnderTest.h"
#include "tools/HostSession.h"

#ifndef _WIN32
#if defined(__SANITIZE_ADDRESS__)
#define HOST_SESSION_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOST_SESSION_TEST_ASAN 1
#endif
#endif
#endif
#ifdef HOST_SESSION_TEST_ASAN
#include <sanitizer/allocator_interface.h>
#endif

namespace {

#ifdef _WIN32
// This program's own GlobalFree import, through which the session frees,
// logs into the block counter of the library tests and calls on.
HGLOBAL(WINAPI *originalGlobalFree)(HGLOBAL) = nullptr;
HGLOBAL WINAPI CountingGlobalFree(HGLOBAL block) {
  BlocksFreedByLibrary().push_back(block);
  return originalGlobalFree(block);
}
#endif

// How often this program freed `block` while `send` ran. Natively a block
// AddressSanitizer still owns was not freed, and a second free would end the
// program.
template <typename Send>
int TimesFreedWhile(Send send, HGLOBAL (*block)()) {
#ifdef _WIN32
  HMODULE self = platform::GetExecutableModule();
  void *original = PatchImport(self, "kernel32.dll", "GlobalFree", reinterpret_cast<void *>(&CountingGlobalFree));
  if (!original) ADD_FAILURE() << "this program does not import GlobalFree";
  originalGlobalFree = reinterpret_cast<HGLOBAL(WINAPI *)(HGLOBAL)>(original);
  BlocksFreedByLibrary().clear();
  send();
  if (original) PatchImport(self, "kernel32.dll", "GlobalFree", original);
  return TimesFreedByLibrary(block());
#elif defined(HOST_SESSION_TEST_ASAN)
  send();
  return __sanitizer_get_ownership(block()) ? 0 : 1;
#else
  send();
  (void)block;
  return -1;
#endif
}

TEST(HostSession, WithoutAReplyBlockTheSessionFreesItsRequestBlockOnce) {
  HostSession session;
  std::string error;
  const std::string path = LibraryUnderTest::Directory() + "noreply";
  ASSERT_EQ(session.Open(path, &error), HostSession::Status::Ok) << error;
  HMODULE library = platform::LoadDynamicLibrary(path.c_str(), 0);
  ASSERT_NE(library, nullptr);
  auto lastBlock = reinterpret_cast<HGLOBAL (*)()>(platform::GetLibraryProcAddress(library, "NoReplyLastRequestBlock"));
  ASSERT_NE(lastBlock, nullptr);

  std::string reply = "untouched";
  bool answered = true;
  const int timesFreed =
      TimesFreedWhile([&] { answered = session.Request(HostSession::MakeRequest("x"), &reply); }, lastBlock);
  EXPECT_FALSE(answered);
  EXPECT_EQ(reply, "untouched");
  ASSERT_NE(lastBlock(), nullptr) << "the stand-in was never asked";
  if (timesFreed < 0) GTEST_SKIP() << "no way to count frees in this build";
  EXPECT_EQ(timesFreed, 1);
  platform::FreeDynamicLibrary(library);
}

// What the tools tell people the library answered: only a whole status line
// has a status, and only a 200 reply has a String value.
TEST(HostSession, OnlyAWholeStatusLineGivesAStatus) {
  struct Case {
    const char *name, *reply, *status;
  } cases[] = {
      {"a 200 reply", "VORDEL/2.0 200 OK\r\nString: x\r\nCharset: Shift_JIS\r\n\r\n", "200"},
      {"the 400 reply", "VORDEL/2.0 400 Bad Request\r\n\r\n", "400"},
      {"cut inside the code", "VORDEL/2.0 20", ""},
      {"cut inside the code, then a line end", "VORDEL/2.0 20\r\n\r\n", ""},
      {"cut after the code", "VORDEL/2.0 200", ""},
      {"cut before the reason", "VORDEL/2.0 200 \r\n", ""},
      {"cut before the line end", "VORDEL/2.0 200 OK", ""},
      {"cut inside the line end", "VORDEL/2.0 200 OK\r", ""},
      {"a four-digit code", "VORDEL/2.0 2000 OK\r\n\r\n", ""},
      {"a letter in the code", "VORDEL/2.0 2x0 OK\r\n\r\n", ""},
      {"another protocol", "TOVRA/1.0 200 OK\r\n\r\n", ""},
      {"a damaged version", "VORDEL/2.1 200 OK\r\n\r\n", ""},
      {"nothing", "", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HostSession::ReplyStatus(c.reply), c.status);
    EXPECT_EQ(HostSession::ReplyString(c.reply), std::string(c.status) == "200" ? "x" : "");
  }
}

// Each of the three code positions on its own: '0' and '9' are digits there,
// and the bytes beside them ('/', ':'), a letter, a space, a zero and a high
// byte are not.
TEST(HostSession, EveryPositionOfTheCodeMustHoldADigit) {
  const std::string whole = "VORDEL/2.0 555 OK\r\n\r\n";
  const size_t code = 11;
  const std::string bytes("09/:x \0\x83", 8);
  for (size_t position = code; position < code + 3; ++position) {
    for (char byte : bytes) {
      std::string reply = whole;
      reply[position] = byte;
      const bool digit = byte >= '0' && byte <= '9';
      SCOPED_TRACE("byte " + std::to_string(static_cast<unsigned char>(byte)) + " at code position " +
                   std::to_string(position - code));
      EXPECT_EQ(HostSession::ReplyStatus(reply), digit ? reply.substr(code, 3) : "");
    }
  }
}

}  // namespace
