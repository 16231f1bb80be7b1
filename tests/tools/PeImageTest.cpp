#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "PeBuilder.h"
#include "platform/Platform.h"
#include "plugin/PeImage.h"

namespace {

// Parses exactly `size` bytes from a buffer of that size, so that a read
// past the end is caught by the sanitizer natively.
bool ParseExactly(const std::string &bytes, size_t size, PeImage *image) {
  std::vector<unsigned char> exact(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
  return image->Parse(exact.data(), exact.size());
}

void Put32(std::string *file, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*file)[at + i] = char(value >> (8 * i) & 0xFF);
}

TEST(PeImageTest, ReadsTheMachineAndTheImportedDllNames) {
  const std::string file = BuildPe(0x14C, {"KERNEL32.dll", "dep.dll"});
  PeImage image;
  ASSERT_TRUE(ParseExactly(file, file.size(), &image));
  EXPECT_EQ(image.Machine(), PeImage::kMachineX86);
  EXPECT_EQ(image.Imports(), (std::vector<std::string>{"KERNEL32.dll", "dep.dll"}));
}

TEST(PeImageTest, ReadsTheExportedNamesAndSurvivesADamagedExportDirectory) {
  const std::vector<std::string> names{"_Z4loadPvl", "_Z7requestPvPl", "unload"};
  const struct {
    const char *sentence;
    std::function<void(std::string *)> damage;
    std::vector<std::string> exports;
  } table[] = {
      {"every name is read in its order", [](std::string *) {}, names},
      {"a name count beyond the file stops at the file's end", [](std::string *f) { Put32(f, 0x280 + 24, 0x7FFFFFFFu); },
       names},
      {"a name table outside every section gives no names", [](std::string *f) { Put32(f, 0x280 + 32, 0x9000); }, {}},
      {"a name outside every section is skipped", [](std::string *f) { Put32(f, 0x2B0 + 4, 0x9000); },
       {"_Z4loadPvl", "unload"}},
      {"an export directory outside every section gives no names", [](std::string *f) { Put32(f, 0x58 + 96, 0x9000); },
       {}},
  };
  for (const auto &c : table) {
    SCOPED_TRACE(c.sentence);
    std::string file = BuildPe(0x8664, {"KERNEL32.dll"}, names);
    c.damage(&file);
    PeImage image;
    ASSERT_TRUE(ParseExactly(file, file.size(), &image));
    EXPECT_EQ(image.Exports(), c.exports);
    EXPECT_EQ(image.Imports(), (std::vector<std::string>{"KERNEL32.dll"})) << "the imports are read all the same";
  }
}

TEST(PeImageTest, AFileCutAnywhereGivesFewerFactsAndNoBadRead) {
  const std::string file = BuildPe(0x8664, {"KERNEL32.dll", "dep.dll"});
  for (size_t size = 0; size <= file.size(); ++size) {
    SCOPED_TRACE("cut after " + std::to_string(size) + " bytes");
    PeImage image;
    // The header ends 24 bytes after its start at 0x40.
    ASSERT_EQ(ParseExactly(file, size, &image), size >= 0x58);
    if (size >= 0x58) {
      EXPECT_EQ(image.Machine(), PeImage::kMachineX64);
    }
    for (size_t i = 0; i < image.Imports().size(); ++i)
      EXPECT_EQ(std::string(i ? "dep.dll" : "KERNEL32.dll").find(image.Imports()[i]), 0u);
  }
}

TEST(PeImageTest, DamagedHeadersAreRefusedOrGiveNoImports) {
  const struct {
    const char *sentence;
    std::function<void(std::string *)> damage;
    bool parsed;
    size_t imports;
  } table[] = {
      {"no MZ signature", [](std::string *f) { (*f)[0] = 'X'; }, false, 0},
      {"the PE header offset lies far beyond the file", [](std::string *f) { Put32(f, 0x3C, 0xFFFFFFF0u); }, false, 0},
      {"no PE signature", [](std::string *f) { (*f)[0x41] = 'X'; }, false, 0},
      {"an optional header of unknown kind", [](std::string *f) { (*f)[0x58] = 0; }, true, 0},
      {"only one data directory", [](std::string *f) { Put32(f, 0x58 + 92, 1); }, true, 0},
      {"section data far beyond the file", [](std::string *f) { Put32(f, 0x138 + 20, 0xFFFFFF00u); }, true, 0},
      {"a section count beyond the header table", [](std::string *f) { (*f)[0x46] = '\x7F'; }, true, 1},
      {"a DLL name outside every section is skipped",
       [](std::string *f) { Put32(f, 0x200 + 12, 0x9000); }, true, 0},
      {"a name without its zero byte ends at the file's end",
       [](std::string *f) { f->replace(0x300, 0x100, std::string(0x100, 'n')); }, true, 1},
  };
  for (const auto &c : table) {
    SCOPED_TRACE(c.sentence);
    std::string file = BuildPe(0x14C, {"KERNEL32.dll"});
    c.damage(&file);
    PeImage image;
    EXPECT_EQ(ParseExactly(file, file.size(), &image), c.parsed);
    EXPECT_EQ(image.Imports().size(), c.imports);
  }
}

TEST(PeImageTest, ReadsABuiltPluginOnWindowsAndRefusesOtherFiles) {
  std::string bin = platform::GetModuleFilePath(platform::GetExecutableModule());
#ifndef _WIN32
  for (char &c : bin)
    if (c == '\\') c = '/';
#endif
  bin = bin.substr(0, bin.find_last_of("\\/") + 1);
  PeImage image;
#ifdef _WIN32
  ASSERT_TRUE(image.Read(bin + "ok.dll"));
  EXPECT_EQ(image.Machine(), PeImage::kOwnMachine);
  EXPECT_NE(std::find(image.Imports().begin(), image.Imports().end(), "tovra_recorder.dll"), image.Imports().end());
#else
  EXPECT_FALSE(image.Read(bin + "ok.so"));  // an ELF file
#endif
  EXPECT_FALSE(image.Read(bin + "no-such-file"));
}

}  // namespace
