// Start-up that runs out of memory. This program replaces the allocator, so
// that every allocation fails while a test says so, and builds application
// objects and loads the library meanwhile: nothing may end the process, and a
// library whose application cannot be built must not come up. A Windows DLL
// carries its own allocator, so loading the library with failing allocations
// is tested natively only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "support/TestLibraries.h"
#include "framework/Application.h"
#include "framework/ProcessAttach.h"
#include "framework/StaticObject.h"
#include "support/LibraryUnderTest.h"

namespace {

bool allocationsFail = false;

void *Allocate(std::size_t size) {
  return allocationsFail ? nullptr : std::malloc(size ? size : 1);
}

void *AllocateOrThrow(std::size_t size) {
  if (void *block = Allocate(size)) return block;
  throw std::bad_alloc();
}

}  // namespace

void *operator new(std::size_t size) { return AllocateOrThrow(size); }
void *operator new[](std::size_t size) { return AllocateOrThrow(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return Allocate(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return Allocate(size); }
void operator delete(void *block) noexcept { std::free(block); }
void operator delete[](void *block) noexcept { std::free(block); }
void operator delete(void *block, std::size_t) noexcept { std::free(block); }
void operator delete[](void *block, std::size_t) noexcept { std::free(block); }
void operator delete(void *block, const std::nothrow_t &) noexcept { std::free(block); }
void operator delete[](void *block, const std::nothrow_t &) noexcept { std::free(block); }

namespace {

TEST(StartupFailure, AnApplicationThatRunsOutOfMemoryIsAbsentAndAttachRefusesTheLoad) {
  ASSERT_EQ(GetApplication(), nullptr);
  {
    allocationsFail = true;
    CStaticObject<CApplication> starved;
    allocationsFail = false;
    EXPECT_EQ(starved.Get(), nullptr);
    EXPECT_EQ(GetApplication(), nullptr) << "the half-built application stayed current";
    EXPECT_FALSE(ProcessAttach(platform::GetExecutableModule()));
    EXPECT_FALSE(IsProcessAttached());
  }
  // With memory the same object comes up, and stays the only one.
  CStaticObject<CApplication> fed;
  ASSERT_NE(fed.Get(), nullptr);
  EXPECT_EQ(GetApplication(), fed.Get());
  CStaticObject<CApplication> second;
  EXPECT_EQ(second.Get(), nullptr) << "a second application object was built";
  EXPECT_EQ(GetApplication(), fed.Get());
}

#ifndef _WIN32
TEST(StartupFailure, TheLibraryWhoseStartUpRanOutOfMemoryAnswersNoRequestAndKeepsNoBlock) {
  // A fresh copy in a directory of its own, so its start-up runs again; the
  // path is made before allocations fail.
  const std::string directory = TestDirectory() + "starved\\";
  MakeDirectory(directory);
  ASSERT_TRUE(CopyFileTo(LibraryUnderTest::DefaultPath(), directory + LibraryFileName("tovracaller")));
  const std::string path = NativePath(directory + LibraryFileName("tovracaller"));
  allocationsFail = true;
  HMODULE library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  allocationsFail = false;
  ASSERT_NE(library, nullptr) << ::dlerror();
  auto load = reinterpret_cast<LibraryUnderTest::LoadFunction>(platform::GetLibraryProcAddress(library, "load"));
  auto request = reinterpret_cast<LibraryUnderTest::RequestFunction>(platform::GetLibraryProcAddress(library, "request"));
  auto unload = reinterpret_cast<LibraryUnderTest::UnloadFunction>(platform::GetLibraryProcAddress(library, "unload"));
  ASSERT_TRUE(load && request && unload);

  EXPECT_EQ(load(MakeBlock(directory), static_cast<BlockLength>(directory.size())), TRUE);
  const std::string text = RequestFor("$tovra[calc,add,3,4]");
  HGLOBAL block = MakeBlock(text);
  BlockLength length = static_cast<BlockLength>(text.size());
  EXPECT_EQ(request(block, &length), nullptr);
  EXPECT_EQ(length, static_cast<BlockLength>(text.size())) << "the host's length variable changed";
  platform::FreeGlobalBlock(block);  // still the host's: had the library freed it, this frees twice
  EXPECT_EQ(unload(), TRUE);
  platform::FreeDynamicLibrary(library);
}
#endif

}  // namespace
