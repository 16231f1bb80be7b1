#include "plugin/PeImage.h"

#include <cstdint>
#include <cstdio>

// A plug-in DLL is small; a file beyond this size is not read at all.
static const size_t kLargestFile = 256u << 20;
// Limits on what a damaged header could otherwise make us walk through.
static const unsigned kMostImports = 4096;
static const unsigned kMostExports = 4096;
static const size_t kLongestName = 260;

namespace {

// Little-endian fields at 64-bit offsets, so no sum of offsets wraps on a
// 32-bit build; a field that does not lie wholly inside the file reads as 0.
struct Bytes {
  const unsigned char *data;
  uint64_t size;

  bool Has(uint64_t offset, uint64_t count) const { return offset <= size && count <= size - offset; }
  unsigned U16(uint64_t offset) const {
    return Has(offset, 2) ? unsigned(data[offset]) | unsigned(data[offset + 1]) << 8 : 0;
  }
  uint32_t U32(uint64_t offset) const {
    return Has(offset, 4) ? uint32_t(U16(offset)) | uint32_t(U16(offset + 2)) << 16 : 0;
  }
  // A zero-terminated name, cut at the file's end or at kLongestName.
  std::string Name(uint64_t offset) const {
    std::string text;
    while (Has(offset, 1) && data[offset] != 0 && text.size() < kLongestName) text += char(data[offset++]);
    return text;
  }
};

}  // namespace

bool PeImage::Read(const std::string &filePath) {
  machine = 0;
  imageBase = 0;
  imports.clear();
  exports.clear();
  std::FILE *file = std::fopen(filePath.c_str(), "rb");
  if (!file) return false;
  std::vector<unsigned char> bytes;
  unsigned char chunk[65536];
  size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0 && bytes.size() <= kLargestFile)
    bytes.insert(bytes.end(), chunk, chunk + count);
  std::fclose(file);
  if (bytes.size() > kLargestFile) return false;
  return Parse(bytes.data(), bytes.size());
}

unsigned PeImage::ReadMachine(const std::string &filePath) {
  std::FILE *file = std::fopen(filePath.c_str(), "rb");
  if (!file) return 0;
  unsigned char page[4096];
  const size_t count = std::fread(page, 1, sizeof page, file);
  std::fclose(file);
  PeImage image;
  return image.Parse(page, count) ? image.Machine() : 0;
}

bool PeImage::Parse(const unsigned char *data, size_t size) {
  machine = 0;
  imageBase = 0;
  imports.clear();
  exports.clear();
  const Bytes bytes{data, size};
  if (!bytes.Has(0, 0x40) || data[0] != 'M' || data[1] != 'Z') return false;
  const uint64_t header = bytes.U32(0x3C);
  if (!bytes.Has(header, 24) || data[header] != 'P' || data[header + 1] != 'E' || data[header + 2] != 0 ||
      data[header + 3] != 0)
    return false;
  machine = bytes.U16(header + 4);
  const unsigned sectionCount = bytes.U16(header + 6);
  const unsigned optionalSize = bytes.U16(header + 20);
  const uint64_t optionalHeader = header + 24;
  ParseDirectories(data, size, static_cast<size_t>(optionalHeader), optionalSize,
               static_cast<size_t>(optionalHeader + optionalSize), sectionCount);
  return true;
}

void PeImage::ParseDirectories(const unsigned char *data, size_t size, size_t optionalHeader, size_t optionalSize,
                               size_t sections, unsigned sectionCount) {
  const Bytes bytes{data, size};
  // The data directories follow the PE32 and PE32+ optional headers at
  // different offsets; the export directory is the first, the import
  // directory the second.
  uint64_t countField, directories;
  switch (bytes.U16(optionalHeader)) {
    case 0x10B:
      imageBase = bytes.U32(optionalHeader + 28);
      countField = optionalHeader + 92;
      directories = optionalHeader + 96;
      break;
    case 0x20B:
      imageBase = uint64_t(bytes.U32(optionalHeader + 24)) | uint64_t(bytes.U32(optionalHeader + 28)) << 32;
      countField = optionalHeader + 108;
      directories = optionalHeader + 112;
      break;
    default: return;
  }
  if (bytes.U32(countField) < 2 || directories + 16 > uint64_t(optionalHeader) + optionalSize) return;
  const uint32_t exportRva = bytes.U32(directories), importRva = bytes.U32(directories + 8);

  // The file offset of an address, when it lies in a section's data.
  auto fileOffset = [&](uint32_t rva, uint64_t *offset) {
    for (unsigned i = 0; i < sectionCount; ++i) {
      const uint64_t section = uint64_t(sections) + 40u * i;
      if (!bytes.Has(section, 40)) return false;
      const uint32_t address = bytes.U32(section + 12), rawSize = bytes.U32(section + 16);
      if (rva >= address && rva - address < rawSize) {
        *offset = uint64_t(bytes.U32(section + 20)) + (rva - address);
        return bytes.Has(*offset, 1);
      }
    }
    return false;
  };

  uint64_t descriptor;
  if (importRva != 0 && fileOffset(importRva, &descriptor)) {
    for (unsigned i = 0; i < kMostImports && bytes.Has(descriptor, 20); ++i, descriptor += 20) {
      const uint32_t nameRva = bytes.U32(descriptor + 12);
      if (nameRva == 0) break;  // the directory ends with an empty descriptor
      uint64_t name;
      if (!fileOffset(nameRva, &name)) continue;
      const std::string text = bytes.Name(name);
      if (!text.empty()) imports.push_back(text);
    }
  }

  // The export directory: its name count at 24, the address of its table
  // of name addresses at 32.
  uint64_t directory, table;
  if (exportRva == 0 || !fileOffset(exportRva, &directory) || !bytes.Has(directory, 40)) return;
  const uint32_t nameCount = bytes.U32(directory + 24);
  if (!fileOffset(bytes.U32(directory + 32), &table)) return;
  for (uint32_t i = 0; i < nameCount && i < kMostExports && bytes.Has(table + 4u * i, 4); ++i) {
    uint64_t name;
    if (!fileOffset(bytes.U32(table + 4u * i), &name)) continue;
    const std::string text = bytes.Name(name);
    if (!text.empty()) exports.push_back(text);
  }
}

const char *PeImage::MachineName(unsigned machine) {
  switch (machine) {
    case kMachineX86: return "x86";
    case kMachineX64: return "x64";
    case kMachineArm64: return "ARM64";
    case 0x1C0: case 0x1C4: return "ARM";
    case 0x200: return "Itanium";
    default: return "unknown";
  }
}

bool PeImage::Is64BitMachine(unsigned machine) {
  return machine == kMachineX64 || machine == kMachineArm64 || machine == 0x200;
}

std::string PeImage::Bitness(unsigned machine) {
  const std::string name = MachineName(machine);
  if (name == "unknown") return "unknown-processor";
  return (Is64BitMachine(machine) ? "64-bit " : "32-bit ") + name;
}
