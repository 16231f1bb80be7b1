#include "framework/Mutex.h"

BOOL CMutex::Create(const char *name, BOOL initialOwner, SECURITY_ATTRIBUTES *attributes) {
  if (handle) return FALSE;
  HANDLE mutex = ::CreateMutexA(attributes, initialOwner, name);
  if (!mutex) return FALSE;
  handle = mutex;
  return TRUE;
}
