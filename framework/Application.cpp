#include "framework/Application.h"

#include <stdexcept>
#include <utility>
#include <vector>

#include "text/DoubleByte.h"

namespace {

CApplication *currentApplication = nullptr;
HINSTANCE instanceHandle = nullptr;
HINSTANCE resourceHandle = nullptr;

// Built before and destroyed after every other static object of the library
// (see Application.h), so wrappers can be added at any time.
__attribute__((init_priority(900))) std::vector<CObject *> temporaryObjects;

}  // namespace

CApplication::CApplication() {
  if (currentApplication) throw std::logic_error("second application object");
  currentApplication = this;
  try {
    hModule = platform::GetExecutableModule();
    SetInstanceHandle(hModule);
    SetResourceHandle(hModule);
    applicationName = "Application";

    // The help file is named after the host executable: host.exe gives
    // host.hlp. The scratch buffer has room for the new extension whatever
    // the name's length.
    CText path = GetModuleFileName();
    helpFilePath = GetFileNamePart(path.c_str());
    char *buffer = helpFilePath.GetScratch(helpFilePath.Length() + sizeof ".hlp");
    ReplaceExtension(buffer, ".hlp");
    helpFilePath.CommitScratch();
  } catch (...) {
    // No destructor runs for an object whose constructor throws (out of
    // memory): it must not stay the current application.
    currentApplication = nullptr;
    throw;
  }
}

CApplication::~CApplication() {
#ifdef _WIN32
  if (instanceMutex.GetHandle()) instanceMutex.Close();
#endif
  windowList.RemoveAll();
  if (currentApplication == this) currentApplication = nullptr;
}

BOOL CApplication::Attach(HINSTANCE) {
  return FALSE;
}

BOOL CApplication::OnAttach() {
  return TRUE;
}

int CApplication::OnDetach() {
  return exitCode;
}

BOOL CApplication::OnIdle(int) {
  return FALSE;
}

#ifdef _WIN32
BOOL CApplication::PreTranslate(MSG *) {
  return FALSE;
}
#endif

BOOL CApplication::SetMainWindow(CWnd *window) {
  if (!window) return FALSE;
  mainWindow = window;
  return TRUE;
}

CApplication *GetApplication() {
  return currentApplication;
}

CWnd *GetMainWindow() {
  return currentApplication ? currentApplication->mainWindow : nullptr;
}

const char *GetApplicationName() {
  return currentApplication ? currentApplication->applicationName.c_str() : "";
}

int GetUserValue() {
  return currentApplication ? currentApplication->userValue : 0;
}

void SetUserValue(int value) {
  if (currentApplication) currentApplication->userValue = value;
}

void SetInstanceHandle(HINSTANCE instance) {
  if (!instance) instance = platform::GetExecutableModule();
  instanceHandle = instance;
  resourceHandle = instance;
}

void SetResourceHandle(HINSTANCE instance) {
  resourceHandle = instance;
}

HINSTANCE GetInstanceHandle() {
  return instanceHandle;
}

HINSTANCE GetResourceHandle() {
  return resourceHandle;
}

void AddTemporaryObject(CObject *object) {
  temporaryObjects.push_back(object);
}

void PurgeTemporaryObjects() {
  // The list is taken over whole before anything is deleted, so a destructor
  // that adds a wrapper (or purges again) finds a fresh list.
  std::vector<CObject *> batch;
  batch.swap(temporaryObjects);
  for (CObject *object : batch) delete object;
  batch.clear();
  if (temporaryObjects.empty()) temporaryObjects.swap(batch);  // keep the storage
}

#ifdef _WIN32
namespace {

// One cached answer per probe: -1 until GetVersionExA has answered once.
BOOL ProbeVersion(int *cache, bool (*holds)(const OSVERSIONINFOA &)) {
  if (*cache < 0) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) return FALSE;
    *cache = holds(info) ? TRUE : FALSE;
  }
  return *cache;
}

// The minor version of a Windows 9x system sits in bits 16-23 of the build
// number field.
unsigned Win9xMinorVersion(const OSVERSIONINFOA &info) {
  return (info.dwBuildNumber >> 16) & 0xFF;
}

}  // namespace

BOOL IsWin9x98OrLater() {
  static int cache = -1;
  return ProbeVersion(&cache, [](const OSVERSIONINFOA &info) {
    return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && Win9xMinorVersion(info) >= 10;
  });
}

BOOL IsWin95() {
  static int cache = -1;
  return ProbeVersion(&cache, [](const OSVERSIONINFOA &info) {
    return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && Win9xMinorVersion(info) == 0;
  });
}

BOOL IsWinNT5OrLater() {
  static int cache = -1;
  return ProbeVersion(&cache, [](const OSVERSIONINFOA &info) {
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
  });
}
#endif
