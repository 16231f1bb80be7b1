// PeImage: the header facts of a Windows DLL or program file that explain
// why a loader refuses it, or binds nothing in it: the machine it was built
// for, the DLLs it imports and the names it exports. Every offset in the file is checked against the file's size, so
// a damaged or hostile file gives fewer facts, never a bad read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PeImage {
 public:
  static constexpr unsigned kMachineX86 = 0x14C;
  static constexpr unsigned kMachineX64 = 0x8664;
  static constexpr unsigned kMachineArm64 = 0xAA64;
  // The machine this program itself was built for.
#if defined(__x86_64__) || defined(_M_X64)
  static constexpr unsigned kOwnMachine = kMachineX64;
#elif defined(__aarch64__) || defined(_M_ARM64)
  static constexpr unsigned kOwnMachine = kMachineArm64;
#else
  static constexpr unsigned kOwnMachine = kMachineX86;
#endif

  // Reads the file; false when it cannot be read or has no PE header.
  bool Read(const std::string &filePath);
  // The machine of the file, from its first page only (what the library asks
  // of a plug-in before it loads it); 0 when the file cannot be read or has
  // no PE header.
  static unsigned ReadMachine(const std::string &filePath);
  // The same for a file already in memory.
  bool Parse(const unsigned char *bytes, size_t size);

  // The header's Machine field (0x14C for 32-bit x86).
  unsigned Machine() const { return machine; }
  // The address the image prefers to be loaded at: where its debug
  // information places its code.
  uint64_t ImageBase() const { return imageBase; }
  // The DLL names of the import directory, in its order; empty when the
  // file imports nothing or its import directory cannot be read.
  const std::vector<std::string> &Imports() const { return imports; }
  // The names of the export directory, in its (sorted) order; empty when
  // the file exports nothing by name or its export directory cannot be read.
  const std::vector<std::string> &Exports() const { return exports; }

  // "x86", "x64", "ARM64", ... or "unknown".
  static const char *MachineName(unsigned machine);
  static bool Is64BitMachine(unsigned machine);
  // "64-bit x64", "32-bit x86": the words a user builds for;
  // "unknown-processor" for a machine without a name here.
  static std::string Bitness(unsigned machine);

 private:
  void ParseDirectories(const unsigned char *bytes, size_t size, size_t optionalHeader, size_t optionalSize,
                        size_t sections, unsigned sectionCount);

  unsigned machine = 0;
  uint64_t imageBase = 0;
  std::vector<std::string> imports;
  std::vector<std::string> exports;
};
