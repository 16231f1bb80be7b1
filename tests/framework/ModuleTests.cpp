#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <vector>


#include "support/TestLibraries.h"
#include "framework/LibraryModule.h"

namespace {

const std::string kLibraryA = TestLibraryPath("framework_testlib_a");
const std::string kLibraryB = TestLibraryPath("framework_testlib_b");
const std::string kMissing = TestDirectory() + "no_such_library_here.dll";

// Counts its hooks; OnAttach refuses while `refuse` is set and throws while
// `fail` is.
class CountingLibrary : public CLibraryModule {
 public:
  BOOL OnAttach() override {
    ++attachCalls;
    if (fail) throw std::bad_alloc();
    return refuse ? FALSE : TRUE;
  }
  int OnDetach() override {
    ++detachCalls;
    return 0;
  }

  bool refuse = false;
  bool fail = false;
  int attachCalls = 0;
  int detachCalls = 0;
};

// A reference of the test's own, so a library stays observable (and is
// freed) independently of the module objects under test.
class LibraryReference {
 public:
  explicit LibraryReference(const std::string &path) : handle(platform::LoadDynamicLibrary(path.c_str(), 0)) {}
  ~LibraryReference() {
    if (handle) platform::FreeDynamicLibrary(handle);
  }
  HMODULE Release() {
    HMODULE released = handle;
    handle = nullptr;
    return released;
  }
  HMODULE handle;
};

int CallId(CLibraryModule &module) {
  auto id = reinterpret_cast<int (*)()>(module.GetProcAddress("TestLibraryId"));
  return id ? id() : 0;
}

TEST(LibraryModule, LoadOfAMissingFileRunsNoHookAndLeavesTheModuleDetached) {
  CountingLibrary library;
  EXPECT_FALSE(library.Load(kMissing.c_str(), 0));
  EXPECT_EQ(library.hModule, nullptr);
  EXPECT_EQ(library.attachCalls, 0);
  EXPECT_EQ(library.detachCalls, 0);
}

TEST(LibraryModule, LoadBringsTheLibraryUpAndUnloadTakesItDown) {
  ASSERT_FALSE(IsLibraryLoaded(kLibraryA));
  CountingLibrary library;
  ASSERT_TRUE(library.Load(kLibraryA.c_str(), 0));
  EXPECT_NE(library.hModule, nullptr);
  EXPECT_EQ(library.attachCalls, 1);
  EXPECT_EQ(library.detachCalls, 0);
  EXPECT_EQ(CallId(library), 'A');
  EXPECT_TRUE(IsLibraryLoaded(kLibraryA));

  EXPECT_TRUE(library.Unload());
  EXPECT_EQ(library.hModule, nullptr);
  EXPECT_EQ(library.detachCalls, 1);
  EXPECT_FALSE(IsLibraryLoaded(kLibraryA));
}

TEST(LibraryModule, ARefusingOnAttachRunsOnDetachOnceFreesTheLibraryAndALaterLoadStartsAfresh) {
  CountingLibrary library;
  library.refuse = true;
  EXPECT_FALSE(library.Load(kLibraryA.c_str(), 0));
  EXPECT_EQ(library.hModule, nullptr);
  EXPECT_EQ(library.attachCalls, 1);
  EXPECT_EQ(library.detachCalls, 1);
  EXPECT_FALSE(IsLibraryLoaded(kLibraryA));

  library.refuse = false;
  ASSERT_TRUE(library.Load(kLibraryA.c_str(), 0));
  EXPECT_EQ(library.attachCalls, 2);
  EXPECT_EQ(library.detachCalls, 1);
  EXPECT_EQ(CallId(library), 'A');
  EXPECT_TRUE(library.Unload());
  EXPECT_FALSE(IsLibraryLoaded(kLibraryA));
}

// Out of memory half way through a bring-up: nothing half-attached stays to be
// called by the next user of the module.
TEST(LibraryModule, AnOnAttachThatThrowsIsTakenBackLikeARefusal) {
  CountingLibrary library;
  library.fail = true;
  EXPECT_THROW(library.Load(kLibraryA.c_str(), 0), std::bad_alloc);
  EXPECT_EQ(library.hModule, nullptr);
  EXPECT_EQ(library.detachCalls, 1);
  EXPECT_FALSE(IsLibraryLoaded(kLibraryA));

  library.fail = false;
  ASSERT_TRUE(library.Load(kLibraryA.c_str(), 0));
  EXPECT_EQ(CallId(library), 'A');
  EXPECT_TRUE(library.Unload());
}

TEST(LibraryModule, ASecondUnloadReturnsFalseAndFreesNothing) {
  LibraryReference extra(kLibraryA);
  CountingLibrary library;
  ASSERT_TRUE(library.Load(kLibraryA.c_str(), 0));
  EXPECT_TRUE(library.Unload());
  EXPECT_FALSE(library.Unload());
  EXPECT_EQ(library.detachCalls, 1);
  // Only the module's own reference was dropped.
  EXPECT_TRUE(IsLibraryLoaded(kLibraryA));
}

TEST(LibraryModule, GetModuleFileNameNamesTheLoadedFileAndIsEmptyAfterUnload) {
  CLibraryModule library;
  EXPECT_STREQ(library.GetModuleFileName().c_str(), "");
  ASSERT_TRUE(library.Load(kLibraryA.c_str(), 0));
  EXPECT_STREQ(library.GetModuleFileName().c_str(), kLibraryA.c_str());
  library.Unload();
  EXPECT_STREQ(library.GetModuleFileName().c_str(), "");
}

TEST(LibraryModule, DestroyingOrCopyingAnAttachedModuleLeavesItsLibraryLoaded) {
  HMODULE handle = nullptr;
  {
    CLibraryModule library;
    ASSERT_TRUE(library.Load(kLibraryA.c_str(), 0));
    handle = library.hModule;
    {
      CLibraryModule copy = library;
      EXPECT_EQ(copy.hModule, handle);
      EXPECT_EQ(CallId(copy), 'A');
    }
    EXPECT_TRUE(IsLibraryLoaded(kLibraryA));
  }
  EXPECT_TRUE(IsLibraryLoaded(kLibraryA));
  platform::FreeDynamicLibrary(handle);
  EXPECT_FALSE(IsLibraryLoaded(kLibraryA));
}

TEST(LibraryModule, GetProcAddressMatchesExportNamesWithCase) {
  CLibraryModule library;
  EXPECT_EQ(library.GetProcAddress("Load"), nullptr) << "a detached module finds nothing";
  ASSERT_TRUE(library.Load(kLibraryA.c_str(), 0));
  EXPECT_NE(library.GetProcAddress("Load"), nullptr);
  EXPECT_EQ(library.GetProcAddress("load"), nullptr);
  EXPECT_EQ(library.GetProcAddress("LOAD"), nullptr);
  EXPECT_EQ(library.GetProcAddress("NoSuchExport"), nullptr);
  library.Unload();
}

// Copies library A to a path of more than 300 bytes and returns that path.
std::string CopyToLongPath() {
  std::string path = TestDirectory() + "long_module_path";
  std::vector<std::string> directories{path};
  for (int level = 0; level < 5; ++level) {
    path += "\\" + std::string(60, static_cast<char>('a' + level));
    directories.push_back(path);
  }
  path += "\\" + LibraryFileName("framework_testlib_a");
  for (const std::string &directory : directories) MakeDirectory(directory);
  if (!CopyFileTo(kLibraryA, path)) return std::string();
  return path;
}

TEST(LibraryModule, GetModuleFileNameGivesAPathLongerThan260BytesWhole) {
  std::string path = CopyToLongPath();
  ASSERT_GT(path.size(), 300u);
#ifdef _WIN32
  // LoadLibraryExA is limited to 260 bytes as well: load through the wide
  // call and hand the module over.
  HMODULE handle = ::LoadLibraryW(LongPath(path).c_str());
  ASSERT_NE(handle, nullptr);
  CLibraryModule library;
  ASSERT_TRUE(library.Attach(handle));
#else
  CLibraryModule library;
  ASSERT_TRUE(library.Load(path.c_str(), 0));
#endif
  std::string name = library.GetModuleFileName().c_str();
  EXPECT_EQ(name.size(), path.size());
  EXPECT_EQ(name.substr(name.size() - 40), path.substr(path.size() - 40));
  library.Unload();
}

struct ModuleKind {
  const char *name;
  std::function<std::unique_ptr<CModule>()> make;
  bool attachFreesOldLibrary;
};

const ModuleKind kModuleKinds[] = {
    {"CModule", [] { return std::make_unique<CModule>(); }, true},
    {"CLibraryModule", [] { return std::make_unique<CLibraryModule>(); }, false},
};

TEST(ModuleAttach, AttachOfNullReturnsFalseAndKeepsTheHandleInBothClasses) {
  for (const ModuleKind &kind : kModuleKinds) {
    SCOPED_TRACE(kind.name);
    LibraryReference a(kLibraryA);
    std::unique_ptr<CModule> module = kind.make();
    ASSERT_TRUE(module->Attach(a.handle));
    EXPECT_FALSE(module->Attach(nullptr));
    EXPECT_EQ(module->hModule, a.handle);
    EXPECT_TRUE(IsLibraryLoaded(kLibraryA));
  }
  EXPECT_FALSE(IsLibraryLoaded(kLibraryA));
}

TEST(ModuleAttach, CModuleAttachFreesTheOldLibraryAndCLibraryModuleAttachDoesNot) {
  for (const ModuleKind &kind : kModuleKinds) {
    SCOPED_TRACE(kind.name);
    LibraryReference a(kLibraryA);
    LibraryReference b(kLibraryB);
    std::unique_ptr<CModule> module = kind.make();
    ASSERT_TRUE(module->Attach(a.handle));
    ASSERT_TRUE(module->Attach(b.handle));
    EXPECT_EQ(module->hModule, b.handle);
    EXPECT_EQ(IsLibraryLoaded(kLibraryA), !kind.attachFreesOldLibrary);
    if (kind.attachFreesOldLibrary) a.Release();
  }
  EXPECT_FALSE(IsLibraryLoaded(kLibraryA));
  EXPECT_FALSE(IsLibraryLoaded(kLibraryB));
}

TEST(ModuleAttach, CModuleAttachOfTheHandleItHoldsKeepsItAndFreesNothing) {
  LibraryReference a(kLibraryA);
  CModule module;
  ASSERT_TRUE(module.Attach(a.handle));
  EXPECT_TRUE(module.Attach(a.handle));
  EXPECT_EQ(module.hModule, a.handle);
  EXPECT_TRUE(IsLibraryLoaded(kLibraryA));
  EXPECT_STREQ(module.GetModuleFileName().c_str(), kLibraryA.c_str());
}

TEST(ModuleAttach, FreeReleasesTheLibraryWithoutOnDetachAndOnlyOnce) {
  LibraryReference extra(kLibraryA);
  CountingLibrary library;
  ASSERT_TRUE(library.Load(kLibraryA.c_str(), 0));
  library.Free();
  EXPECT_EQ(library.hModule, nullptr);
  EXPECT_EQ(library.detachCalls, 0);
  library.Free();
  EXPECT_TRUE(IsLibraryLoaded(kLibraryA)) << "the second Free dropped a reference it did not hold";
}

}  // namespace
