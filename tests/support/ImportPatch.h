// Windows only: replaces one imported function of a loaded module by
// rewriting its import address table, so a test can see every call that
// module makes to it (here: each GlobalFree of the library under test).
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <cstring>

// Returns the function that was imported before, or null when the module
// does not import `function` from `dllName`.
inline void *PatchImport(HMODULE module, const char *dllName, const char *function, void *replacement) {
  BYTE *base = reinterpret_cast<BYTE *>(module);
  IMAGE_DOS_HEADER *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
  IMAGE_NT_HEADERS *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!directory.VirtualAddress) return nullptr;
  for (IMAGE_IMPORT_DESCRIPTOR *import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + directory.VirtualAddress);
       import->Name; ++import) {
    if (lstrcmpiA(reinterpret_cast<const char *>(base + import->Name), dllName) != 0) continue;
    IMAGE_THUNK_DATA *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + import->OriginalFirstThunk);
    IMAGE_THUNK_DATA *addresses = reinterpret_cast<IMAGE_THUNK_DATA *>(base + import->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      IMAGE_IMPORT_BY_NAME *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char *>(byName->Name), function) != 0) continue;
      DWORD oldProtection;
      VirtualProtect(&addresses->u1.Function, sizeof(void *), PAGE_READWRITE, &oldProtection);
      void *previous = reinterpret_cast<void *>(addresses->u1.Function);
      addresses->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&addresses->u1.Function, sizeof(void *), oldProtection, &oldProtection);
      return previous;
    }
  }
  return nullptr;
}

#endif
