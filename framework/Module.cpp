#include "framework/Module.h"

BOOL CModule::Attach(HINSTANCE module) {
  if (!module) return FALSE;
  if (module != hModule) Free();
  hModule = module;
  return TRUE;
}

BOOL CModule::OnAttach() {
  return TRUE;
}

int CModule::OnDetach() {
  return 0;
}

void CModule::Free() {
  if (!hModule) return;
  platform::FreeDynamicLibrary(hModule);
  hModule = nullptr;
}

CText CModule::GetModuleFileName() const {
  if (!hModule) return CText();
  std::string path = platform::GetModuleFilePath(hModule);
  return CText(path.data(), path.size());
}
