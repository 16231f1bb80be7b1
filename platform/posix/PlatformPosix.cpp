// POSIX side of the platform seam, so the request path builds and is tested
// natively: calloc/free stand in for global memory and the process heap, and
// dlopen and its kin for the loader. Paths cross this seam with '\' as their
// separator, as they do on Windows.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include "platform/Platform.h"

#include "platform/FloatingPointState.h"
#include "platform/LeadBytes.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <malloc.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#ifdef TOVRA_OBSERVE_BLOCKS
// Test builds only: a test that loads the library sets these variables in the
// library's own copy of the seam (found by name). The first sees every global
// block the library frees; the second is asked before every global block
// (kind 0) and process-heap block (kind 1) the library allocates, and a 0
// from it makes that allocation fail. The Windows tests do the same by
// redirecting the library's imports.
extern "C" __attribute__((visibility("default"))) void (*tovra_global_free_observer)(void *block) = nullptr;
extern "C" __attribute__((visibility("default"))) int (*tovra_allocation_gate)(int kind) = nullptr;
#endif

namespace platform {

// False when a test build's gate refuses this allocation.
static bool MayAllocate(int kind) {
#ifdef TOVRA_OBSERVE_BLOCKS
  return !tovra_allocation_gate || tovra_allocation_gate(kind);
#else
  return true;
#endif
}

HGLOBAL AllocGlobalBlock(size_t bytes) {
  if (!MayAllocate(0)) return nullptr;
  return std::calloc(bytes ? bytes : 1, 1);
}

void FreeGlobalBlock(HGLOBAL block) {
#ifdef TOVRA_OBSERVE_BLOCKS
  if (tovra_global_free_observer) tovra_global_free_observer(block);
#endif
  std::free(block);
}

size_t GlobalBlockSize(HGLOBAL block) {
  return block ? malloc_usable_size(block) : 0;
}

void *ProcessHeapAllocate(size_t bytes) {
  if (!MayAllocate(1)) return nullptr;
  return std::calloc(bytes ? bytes : 1, 1);
}

BOOL ProcessHeapRelease(void *block) {
  if (!block) return FALSE;
  std::free(block);
  return TRUE;
}

// Every '\\' that is a character of its own becomes '/'; a Shift_JIS trail
// byte 0x5C stays, as the Windows loader reads it under code page 932.
static std::string WithSlashes(std::string path) {
  for (size_t i = 0; i < path.size(); ++i) {
    if (StartsPair(&path[i]))
      ++i;
    else if (path[i] == '\\')
      path[i] = '/';
  }
  return path;
}

static std::string WithBackslashes(std::string path) {
  for (char &c : path)
    if (c == '/') c = '\\';
  return path;
}

static bool Exists(const std::string &path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// The entry of `directory` whose name equals `name` without regard to ASCII
// letter case, or `name` itself when there is none.
static std::string MatchEntry(const std::string &directory, const std::string &name) {
  DIR *dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return name;
  std::string found = name;
  while (dirent *entry = ::readdir(dir)) {
    if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// The Windows loader's rules, as the request path expects them.
std::string GetLibraryFilePath(const char *windowsPath) {
  std::string path = WithSlashes(windowsPath);
  size_t slash = path.rfind('/');
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (!name.empty() && name.back() == '.')
    path.pop_back();
  else if (name.find('.') == std::string::npos)
    path += ".so";
  if (slash == std::string::npos || Exists(path)) return path;

  std::string resolved;
  size_t start = 0;
  if (path[0] == '/') {
    resolved = "/";
    start = 1;
  }
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string segment = path.substr(start, end - start);
    if (!segment.empty()) {
      std::string candidate = resolved + segment;
      if (!Exists(candidate)) candidate = resolved + MatchEntry(resolved, segment);
      resolved = candidate;
      if (end < path.size()) resolved += '/';
    }
    start = end + 1;
  }
  return resolved;
}

HMODULE LoadDynamicLibrary(const char *path, DWORD flags) {
  if (!path || !*path) return nullptr;
  return ::dlopen(GetLibraryFilePath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
}

BOOL FreeDynamicLibrary(HMODULE module) {
  return module && ::dlclose(module) == 0;
}

uint32_t GetLoaderError() {
  return 0;
}

uint64_t GetFileStamp(const std::string &path) {
  struct stat about;
  if (::stat(path.c_str(), &about) != 0) return 0;
  return FileStampOf({static_cast<uint64_t>(about.st_dev), static_cast<uint64_t>(about.st_ino),
                      static_cast<uint64_t>(about.st_size), static_cast<uint64_t>(about.st_mtim.tv_sec),
                      static_cast<uint64_t>(about.st_mtim.tv_nsec)});
}

void *GetLibraryProcAddress(HMODULE module, const char *name) {
  return ::dlsym(module, name);
}

static std::string ExecutablePath() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", &path[0], path.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string GetModuleFilePath(HMODULE module) {
  if (!module) return std::string();
  link_map *map = nullptr;
  if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map) return std::string();
  std::string path = map->l_name && *map->l_name ? std::string(map->l_name) : ExecutablePath();
  return WithBackslashes(path);
}

HMODULE GetExecutableModule() {
  return ::dlopen(nullptr, RTLD_NOW);
}

HMODULE GetCurrentModule() {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void *>(&GetCurrentModule), &info) && info.dli_fname) {
    // The library stays loaded while its code runs, so the handle stays
    // valid after the extra reference is dropped again.
    if (HMODULE module = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD)) {
      ::dlclose(module);
      return module;
    }
  }
  return GetExecutableModule();
}

HMODULE GetModuleAt(const void *address, uintptr_t *offset) {
  Dl_info info;
  if (!::dladdr(address, &info) || !info.dli_fname) return nullptr;
  HMODULE module = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  if (!module) return nullptr;
  ::dlclose(module);  // loaded still: the address lies in it
  *offset = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(info.dli_fbase);
  return module;
}

bool IsCodeAddress(const void *address) {
  Dl_info info;
  return ::dladdr(address, &info) && info.dli_sname;
}

// Natively a plug-in is never run in a child: every one is of the library's
// own kind, and no guard marks one as faulted.
bool Channel::StartChild(const char *) { return false; }
bool Channel::ConnectToParent(const char *) { return false; }
bool Channel::Send(const void *, size_t) { return false; }
size_t Channel::Receive(void *, size_t) { return 0; }
void Channel::Close(unsigned long) {}
unsigned long Channel::ChildId() const { return 0; }
bool Channel::ChildExitCode(unsigned long *) const { return false; }
void AllowForeground(unsigned long) {}

// Natively the call runs unguarded: AddressSanitizer and UBSan own the
// signals here, and a fault must reach them to be reported where it is. The
// caller's floating-point control state is still its own afterwards.
bool CallGuarded(void (*call)(void *context), void *context, GuardedFault *) {
  const FloatingPointState saved;
  call(context);
  saved.Restore();
  return true;
}

}  // namespace platform
