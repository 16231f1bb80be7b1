// The registry's order and stable entries, and where plug-ins may come from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Recorder.h"
#include "plugin/ModuleRegistry.h"
#include "plugin/PluginPaths.h"
#include "support/LibraryUnderTest.h"

namespace {

TEST(ModuleRegistry, LookupMakesOneStableEntryPerExactName) {
  ModuleRegistry registry;
  PluginModule &calc = registry.Lookup(CText("CALC"));
  EXPECT_EQ(calc.hModule, nullptr);
  EXPECT_EQ(calc.pfnRequest, nullptr);
  EXPECT_EQ(&registry.Lookup(CText("CALC")), &calc);
  // Many inserts later the first reference still names the same entry.
  for (int i = 0; i < 1000; ++i) registry.Lookup(CText(("N" + std::to_string(i)).c_str()));
  EXPECT_EQ(&registry.Lookup(CText("CALC")), &calc);
  // No folding, trimming or extension handling: every byte counts.
  registry.Lookup(CText("CALC.DLL"));
  registry.Lookup(CText(" CALC"));
  registry.Lookup(CText("calc"));
  EXPECT_EQ(registry.GetCount(), 1004u);
  EXPECT_EQ(registry.UnloadAll(), 1);
  EXPECT_EQ(registry.UnloadAll(), 1);
}

// Keys ordered by unsigned bytes, a shorter key first: a comparison of
// signed bytes would put "A\x83" before "AB", and one that also read the
// zero byte after "A" would put "A\x83" before "A".
TEST(ModuleRegistry, UnloadAllGoesInUnsignedByteOrderWithAShorterKeyFirst) {
#ifdef _WIN32
  const std::string extension = ".dll";
#else
  const std::string extension = ".so";
#endif
  ModuleRegistry registry;
  PluginModule::SetSurrogateDirectory(LibraryUnderTest::Directory());  // for plug-ins of the other bitness
  const struct {
    const char *key, *plugin;
  } entries[] = {{"A\x83", "o"}, {"AB", "ok"}, {"A", "okay"}};
  for (const auto &entry : entries) {
    SCOPED_TRACE(entry.plugin);
    const std::string path = LibraryUnderTest::Directory() + entry.plugin + extension;
    ASSERT_TRUE(registry.Lookup(CText(entry.key)).Load(path.c_str(), 0));
  }
  ClearRecording();
  registry.UnloadAll();
  std::string order;
  for (int i = 0; i < RecordedEventCount(); ++i) order += std::string(RecordedEventAt(i)->plugin) + " ";
  EXPECT_EQ(order, "okay ok o ");
}

// Keys too long for the string's inline buffer live on the heap in blocks
// of their own length: a comparison that reads as far as the longer key runs
// past the end of the shorter one, which AddressSanitizer reports (inside
// the inline buffer the bytes beyond the end are zeros it cannot flag).
// Lengths differ by two or more, so that such a read leaves the block.
TEST(ModuleRegistry, LongKeysSharingAPrefixAreComparedWithinTheShorterKey) {
#ifdef _WIN32
  const std::string extension = ".dll";
#else
  const std::string extension = ".so";
#endif
  const std::string prefix(40, 'P');
  // In the order UnloadAll must walk them.
  const struct {
    std::string key;
    const char *plugin;
  } entries[] = {{prefix, "okay"},
                 {prefix + "AB", "ok"},
                 {prefix + "ABCD", "o"},
                 {prefix + "\x83\x40\x83\x40\x83\x40", "twice"}};
  ModuleRegistry registry;
  PluginModule::SetSurrogateDirectory(LibraryUnderTest::Directory());
  std::string expected;
  for (const auto &entry : entries) expected += std::string(entry.plugin) + " ";
  for (size_t i : {2, 0, 3, 1}) {
    SCOPED_TRACE(entries[i].plugin);
    const std::string path = LibraryUnderTest::Directory() + entries[i].plugin + extension;
    ASSERT_TRUE(registry.Lookup(CText(entries[i].key.c_str())).Load(path.c_str(), 0));
  }
  for (const auto &entry : entries) EXPECT_TRUE(registry.Lookup(CText(entry.key.c_str())).IsUp());
  EXPECT_EQ(registry.GetCount(), 4u);
  ClearRecording();
  registry.UnloadAll();
  std::string order;
  for (int i = 0; i < RecordedEventCount(); ++i) order += std::string(RecordedEventAt(i)->plugin) + " ";
  EXPECT_EQ(order, expected);
}

TEST(PluginPaths, TheDirectoryIsCutAfterTheLastRealBackslash) {
  struct Case {
    const char *name;
    std::string path, directory;
  } cases[] = {
      {"a plain path", "C:\\host\\calc.dll", "C:\\host\\"},
      {"no backslash at all", "calc.dll", ""},
      {"a 0x5C trail byte in the file name is no separator", "C:\\dir\\\x95\x5C" "calc.dll", "C:\\dir\\"},
      {"a 0x5C trail byte in a directory name", "C:\\\x95\x5C\\calc.dll", "C:\\\x95\x5C\\"},
      {"a path far beyond 260 bytes is not cut", "C:\\" + std::string(400, 'd') + "\\calc.dll",
       "C:\\" + std::string(400, 'd') + "\\"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::string(GetDirectoryPart(CText(c.path.c_str())).c_str()), c.directory);
  }
}

TEST(PluginPaths, OnlyNamesInsideTheDirectoryAreAllowed) {
  struct Case {
    const char *name;
    bool inside;
  } cases[] = {
      {"CALC", true},
      {"CALC.DLL", true},
      {"TOOLS\\CALC", true},
      {"TOOLS/CALC", true},
      {"A..B", true},
      {".\\CALC", true},
      {"..CALC", true},
      {"\x95\x5C..", true},  // the 0x5C is a trail byte, so ".." is no segment
      {"C:\\CALC", false},
      {"C:CALC", false},
      {"\\CALC", false},
      {"/CALC", false},
      {"\\\\SERVER\\SHARE\\CALC", false},
      {"..\\CALC", false},
      {"TOOLS\\..\\..\\CALC", false},
      {"TOOLS/../CALC", false},
      {"TOOLS\\...\\CALC", false},
      {"TOOLS\\. .\\CALC", false},
      {"TOOLS\\..", false},
      {"..", false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsNameInsideDirectory(CText(c.name)), c.inside);
  }
}

}  // namespace
