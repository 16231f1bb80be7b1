// CMutex: an owned mutex handle; destruction closes a handle still held. The
// application object keeps one for its single-instance check.
#pragma once

#include "framework/HandleObject.h"

class CMutex : public CHandleObject<HANDLE> {
 public:
  CMutex() = default;

  // Creates the mutex; FALSE when a handle is held already (nothing is
  // created) or CreateMutexA fails (the caller reads GetLastError).
  BOOL Create(const char *name, BOOL initialOwner, SECURITY_ATTRIBUTES *attributes);
};
