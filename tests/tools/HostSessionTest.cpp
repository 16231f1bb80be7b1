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

}  // namespace
