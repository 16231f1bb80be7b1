// CApplication: the one application object of a program or library built on
// the framework, and the process-wide services around it (instance and
// resource handles, temporary wrapper objects, version probes).
//
// A library's static objects are built in an order fixed by init_priority,
// not by link order, and destroyed in the reverse order:
//   900   the temporary-object list (framework)
//   1000  the application object
//   1001  the plug-in registry
//   1002  the window maps
//   1100  natively, the object that runs process attach and detach
// On Windows the loader's process attach follows all static construction and
// process detach precedes all static destruction.
#pragma once

#include "framework/Module.h"
#include "framework/PointerArray.h"
#ifdef _WIN32
#include "framework/Mutex.h"
#endif

class CWnd;

class CApplication : public CModule {
 public:
  // Becomes the current application, bound to the host executable's module
  // until process attach binds it to the library's own. Throws
  // std::logic_error when an application object exists already, and
  // std::bad_alloc when memory runs out; either way it is not current then.
  // A library builds its application in a CStaticObject, so that a throw
  // refuses the load instead of ending the host process.
  CApplication();
  CApplication(const CApplication &) = delete;
  CApplication &operator=(const CApplication &) = delete;
  // Closes the instance mutex if it is held and stops being the current
  // application; frees no library.
  ~CApplication() override;

  // An application takes its handle only from process attach: always FALSE,
  // nothing is stored.
  BOOL Attach(HINSTANCE module) override;
  BOOL OnAttach() override;
  // Returns exitCode.
  int OnDetach() override;
  // Idle work of the message loop; FALSE: nothing more to do.
  virtual BOOL OnIdle(int idleCount);
#ifdef _WIN32
  // A message before dispatch; TRUE consumes it. FALSE here.
  virtual BOOL PreTranslate(MSG *message);
#endif

  // FALSE for null; otherwise the window becomes the main window.
  BOOL SetMainWindow(CWnd *window);

#ifdef _WIN32
  // Windowed programs (WindowedApplication.cpp).
  // Shows and updates the main window, if any; -1 means showCommand.
  void ShowMainWindow(int command);
  // The idle list: FALSE for null and for a window without a bound CWnd.
  BOOL AddWindow(CWnd *window);
  BOOL RemoveWindow(CWnd *window);
  // The message loop with idle processing; returns OnDetach(), whose base
  // gives the WM_QUIT code. Returns at once without a main window.
  int Run();
  // Dispatches what is queued, stopping without a main window or at
  // WM_QUIT, which stays for the loop that runs.
  void PumpPendingMessages();
  // The same for `milliseconds`, polling an empty queue.
  void PumpMessagesFor(DWORD milliseconds);
  // MessageBoxA captioned with the application's name, in front.
  int ShowMessage(const char *text, UINT type);
  // TRUE when the program should not go on: another instance holds the
  // named mutex, or it could not be made (said in a message box).
  BOOL CheckSingleInstance(const char *mutexName);
#endif

  CWnd *mainWindow = nullptr;  // not owned
  CText reservedText;
  CText helpFilePath;  // the host executable's file name with ".hlp"
  CText applicationName;
#ifdef _WIN32
  CMutex instanceMutex;  // the single-instance check's mutex
#endif
  int showCommand = 0;
  int exitCode = 0;
  CPointerArray<CWnd> windowList;  // windows that get idle calls; not owned
  int userValue = 0;

#ifdef _WIN32
 private:
  enum class PumpTurn { Dispatched, Empty, Stop };
  PumpTurn PumpOneMessage();

  BOOL anotherInstance = FALSE;  // the answer of the last single-instance check
#endif
};

// The current application, or null when none exists.
CApplication *GetApplication();
// The current application's main window, name and user value; null, "" and
// 0 when there is no application (setting then does nothing).
CWnd *GetMainWindow();
const char *GetApplicationName();
int GetUserValue();
void SetUserValue(int value);

// The handle windows are created with, and the one resources are loaded
// from. SetInstanceHandle sets both; null stands for the host executable.
void SetInstanceHandle(HINSTANCE instance);
void SetResourceHandle(HINSTANCE instance);
HINSTANCE GetInstanceHandle();
HINSTANCE GetResourceHandle();

// Temporary wrapper objects: owned by the list and deleted at the next idle
// moment of the thread that loaded the library. Use them on that thread.
void AddTemporaryObject(CObject *object);
// Deletes every object on the list and empties it; null entries are skipped.
// Objects that destructors add meanwhile wait for the next purge.
void PurgeTemporaryObjects();

#ifdef _WIN32
// Operating-system probes, asked once and cached (a failed query is not).
BOOL IsWin9x98OrLater();
BOOL IsWin95();
BOOL IsWinNT5OrLater();

// The current application's ShowMessage; 0 without an application.
int ShowMessage(const char *text, UINT type);
// Registers a class whose procedure is CWnd::SharedWindowProcedure, in the
// application's module; TRUE also when the class exists already.
BOOL RegisterWindowClass(const char *className, UINT style, HICON icon, HICON smallIcon, HCURSOR cursor,
                         HBRUSH background);
#endif
