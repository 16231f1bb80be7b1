// Win32 side of the platform seam: kernel32 global memory, the process heap
// and LoadLibraryExA and its kin, called as they are.
#include "platform/Platform.h"

namespace platform {

HGLOBAL AllocGlobalBlock(size_t bytes) {
  return ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes);
}

void FreeGlobalBlock(HGLOBAL block) {
  if (block) ::GlobalFree(block);
}

size_t GlobalBlockSize(HGLOBAL block) {
  return block ? ::GlobalSize(block) : 0;
}

// The process heap is asked for once and kept for the life of the process.
static HANDLE ProcessHeap() {
  static HANDLE heap = ::GetProcessHeap();
  return heap;
}

void *ProcessHeapAllocate(size_t bytes) {
  return ::HeapAlloc(ProcessHeap(), HEAP_ZERO_MEMORY, bytes);
}

BOOL ProcessHeapRelease(void *block) {
  return block ? ::HeapFree(ProcessHeap(), 0, block) : FALSE;
}

HMODULE LoadDynamicLibrary(const char *path, DWORD flags) {
  return ::LoadLibraryExA(path, nullptr, flags);
}

std::string GetLibraryFilePath(const char *path) {
  std::string file = path ? path : "";
  size_t slash = file.find_last_of("\\/");
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (!file.empty() && file.back() == '.')
    file.pop_back();
  else if (file.find('.', nameStart) == std::string::npos)
    file += ".dll";
  return file;
}

BOOL FreeDynamicLibrary(HMODULE module) {
  return ::FreeLibrary(module);
}

uint32_t GetLoaderError() {
  return ::GetLastError();
}

uint64_t GetFileStamp(const std::string &path) {
  HANDLE file = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION about;
  const BOOL known = ::GetFileInformationByHandle(file, &about);
  ::CloseHandle(file);
  if (!known) return 0;
  return FileStampOf({about.dwVolumeSerialNumber, about.nFileIndexHigh, about.nFileIndexLow, about.nFileSizeHigh,
                      about.nFileSizeLow, about.ftLastWriteTime.dwHighDateTime, about.ftLastWriteTime.dwLowDateTime});
}

void *GetLibraryProcAddress(HMODULE module, const char *name) {
  return reinterpret_cast<void *>(::GetProcAddress(module, name));
}

std::string GetModuleFilePath(HMODULE module) {
  // GetModuleFileNameA cuts a path that does not fit and then returns the
  // buffer's size; grow until the whole path and its terminator fit.
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD written = ::GetModuleFileNameA(module, &path[0], static_cast<DWORD>(path.size()));
    if (written == 0) return std::string();
    if (written < path.size()) {
      path.resize(written);
      return path;
    }
    if (path.size() >= 0x100000) return std::string();
    path.resize(path.size() * 2);
  }
}

HMODULE GetExecutableModule() {
  return ::GetModuleHandleA(nullptr);
}

HMODULE GetCurrentModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&GetCurrentModule), &module);
  return module;
}

HMODULE GetModuleAt(const void *address, uintptr_t *offset) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
    return nullptr;
  *offset = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(module);
  return module;
}

bool IsCodeAddress(const void *address) {
  MEMORY_BASIC_INFORMATION memory;
  if (!::VirtualQuery(address, &memory, sizeof memory) || memory.State != MEM_COMMIT) return false;
  return (memory.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

}  // namespace platform
