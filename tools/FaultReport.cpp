#include "tools/FaultReport.h"

#include <cstdio>

#include "tools/LoaderFacts.h"
#include "plugin/PeImage.h"

namespace {

// An address as wide as this program's pointers, as Windows prints them.
std::string AddressText(uintptr_t address) {
  char text[2 * sizeof address + 1];
  std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof address),
                static_cast<unsigned long long>(address));
  return text;
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string FileName(const std::string &path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "FAULTY.dll+0x1c80", or the bare address where no module holds it.
std::string ModulePlace(const void *address) {
  uintptr_t offset = 0;
  HMODULE module = platform::GetModuleAt(address, &offset);
  if (!module) return "address " + AddressText(reinterpret_cast<uintptr_t>(address));
  return FileName(platform::GetModuleFilePath(module)) + "+" + Hex(offset);
}

// The length of an indirect call (FF /2) from its ModRM byte on: a register,
// or memory with an index byte (SIB) and an 8- or 32-bit displacement as
// the two bytes ask.
int IndirectCallLength(const unsigned char *call) {
  const unsigned mod = call[1] >> 6, rm = call[1] & 7;
  if (mod == 3) return 2;
  const int sib = rm == 4;
  const bool disp32 = mod == 2 || (mod == 0 && (rm == 5 || (sib && (call[2] & 7) == 5)));
  return 2 + sib + (mod == 1 ? 1 : disp32 ? 4 : 0);
}

// Whether the code just before `address` is a call instruction, so that
// `address` is where that call returns to: a relative call (E8), or an
// indirect one (FF /2) through a register or memory.
bool FollowsCall(const unsigned char *address) {
  if (address[-5] == 0xE8) return true;
  for (int length = 2; length <= 7; ++length) {
    const unsigned char *call = address - length;
    if (call[0] == 0xFF && (call[1] & 0x38) == 0x10 && IndirectCallLength(call) == length) return true;
  }
  return false;
}

// The first word near the top of the faulting stack that is a return address
// into code of `plugin`: where it called into the system that raised the
// exception.
const void *CallerIn(const platform::GuardedFault &fault, HMODULE plugin) {
  for (unsigned i = 0; i < fault.stackCount; ++i) {
    const unsigned char *word = reinterpret_cast<const unsigned char *>(fault.stack[i]);
    uintptr_t offset;
    if (platform::GetModuleAt(word, &offset) != plugin || offset < 8 || !platform::IsCodeAddress(word) ||
        !platform::IsCodeAddress(word - 7))
      continue;
    if (FollowsCall(word)) return word;
  }
  return nullptr;
}

// The address inside `plugin` where the fault happened, or null.
const void *PlaceInPlugin(const platform::GuardedFault &fault, HMODULE plugin) {
  uintptr_t offset;
  if (plugin && platform::GetModuleAt(fault.address, &offset) == plugin) return fault.address;
  return plugin ? CallerIn(fault, plugin) : nullptr;
}

struct KnownException {
  DWORD code;
  const char *words;
};

const KnownException kKnown[] = {
    {0xC0000005, "access violation"},
    {0xC00000FD, "stack overflow"},
    {0xC0000094, "integer divide by zero"},
    {0xC0000095, "integer overflow"},
    {0xC000001D, "illegal instruction"},
    {0xC0000096, "privileged instruction"},
    {0x80000003, "breakpoint"},
    {0x80000004, "single step"},
    {0x80000002, "datatype misalignment"},
    {0xC000008C, "array bounds exceeded"},
    {0xC000008D, "floating-point denormal operand"},
    {0xC000008E, "floating-point divide by zero"},
    {0xC000008F, "floating-point inexact result"},
    {0xC0000090, "floating-point invalid operation"},
    {0xC0000091, "floating-point overflow"},
    {0xC0000092, "floating-point stack check"},
    {0xC0000093, "floating-point underflow"},
    {0xC00002B4, "multiple floating-point faults"},
    {0xC00002B5, "multiple floating-point traps"},
    {0xC0000006, "in-page error"},
    {0xC0000008, "invalid handle"},
    {0xC0000025, "noncontinuable exception"},
    {0xC0000026, "invalid disposition"},
    {0xE06D7363, "C++ exception (thrown by MSVC-built code)"},
    {0x20474343, "C++ exception (thrown by GCC-built code)"},
};

}  // namespace

std::string ExceptionWords(const platform::GuardedFault &fault) {
  char code[16];
  std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(fault.code));
  for (const KnownException &known : kKnown) {
    if (known.code != fault.code) continue;
    std::string words = known.words;
    // An access violation's parameters: 0 read, 1 write, 8 execute, then the address.
    if (fault.code == 0xC0000005 && fault.parameterCount == 2) {
      const char *access = fault.parameters[0] == 1 ? "writing" : fault.parameters[0] == 8 ? "executing" : "reading";
      words += std::string(" ") + access + " address " + AddressText(fault.parameters[1]);
    }
    return words + " (exception " + code + ")";
  }
  return std::string("exception ") + code + " (raised by the plug-in)";
}

std::string FaultPlace(const platform::GuardedFault &fault, HMODULE plugin) {
  std::string place = ModulePlace(fault.address);
  uintptr_t offset;
  if (plugin && platform::GetModuleAt(fault.address, &offset) != plugin) {
    if (const void *caller = CallerIn(fault, plugin)) place += ", raised from " + ModulePlace(caller);
  }
  return place;
}

std::string SourceLineCommand(const platform::GuardedFault &fault, HMODULE plugin) {
  const void *place = PlaceInPlugin(fault, plugin);
  uintptr_t offset = 0;
  if (!place || !platform::GetModuleAt(place, &offset)) return std::string();
  if (place != fault.address) --offset;  // a return address: the call lies just before it
  const std::string file = platform::GetModuleFilePath(plugin);
  PeImage image;
  if (!image.Read(LoaderFileFor(file))) return std::string();  // natively: no PE file and no image base
  return "addr2line -f -C -e " + DisplayPath(file) + " " + Hex(image.ImageBase() + offset);
}
