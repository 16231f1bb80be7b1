// A small PE32 file for the tests: the DOS header, the PE header with the
// given machine, one section, an import directory naming `imports` and an
// export directory naming `exports`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Layout: PE header at 0x40, optional header at 0x58 (224 bytes), the one
// section's header at 0x138; the section (address 0x1000) lies at file
// offset 0x200: import descriptors first, the export directory at 0x280 and
// its name table at 0x2B0, the names from 0x300 on.
inline std::string BuildPe(unsigned machine, const std::vector<std::string> &imports,
                           const std::vector<std::string> &exports = {}) {
  std::string file(0x400, '\0');
  auto put16 = [&](size_t at, unsigned value) {
    file[at] = char(value & 0xFF);
    file[at + 1] = char(value >> 8 & 0xFF);
  };
  auto put32 = [&](size_t at, uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
  };
  file[0] = 'M';
  file[1] = 'Z';
  put32(0x3C, 0x40);
  file.replace(0x40, 4, std::string("PE\0\0", 4));
  put16(0x44, machine);
  put16(0x46, 1);     // one section
  put16(0x54, 0xE0);  // size of the optional header
  put16(0x58, 0x10B);
  put32(0x58 + 92, 16);              // number of data directories
  put32(0x58 + 96 + 8, 0x1000);      // import directory address
  put32(0x58 + 96 + 12, 0x100);      // and size
  put32(0x138 + 8, 0x200);           // section: virtual size
  put32(0x138 + 12, 0x1000);         // virtual address
  put32(0x138 + 16, 0x200);          // size of raw data
  put32(0x138 + 20, 0x200);          // pointer to raw data
  size_t name = 0x300;
  for (size_t i = 0; i < imports.size(); ++i) {
    put32(0x200 + 20 * i + 12, static_cast<uint32_t>(0x1000 + name - 0x200));
    file.replace(name, imports[i].size(), imports[i]);
    name += imports[i].size() + 1;
  }
  if (!exports.empty()) {
    put32(0x58 + 96, 0x1080);      // export directory address
    put32(0x58 + 96 + 4, 0x80);    // and size
    put32(0x280 + 24, static_cast<uint32_t>(exports.size()));
    put32(0x280 + 32, 0x10B0);     // the table of name addresses
    for (size_t i = 0; i < exports.size(); ++i) {
      put32(0x2B0 + 4 * i, static_cast<uint32_t>(0x1000 + name - 0x200));
      file.replace(name, exports[i].size(), exports[i]);
      name += exports[i].size() + 1;
    }
  }
  return file;
}
