// CHandleObject<T> (Windows): holds one operating-system handle and, when it
// owns it, releases it at destruction. Ownership follows the ownsHandle flag:
// a handle set up as someone else's (SetOwnership(FALSE)) is left alone.
// Close releases at once whatever the flag says. Not copyable: two copies
// that own the handle would release it twice.
//
//   CHandleObject<HANDLE> event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
//   event.SetOwnership(FALSE);   // now the destructor leaves the event open
#pragma once

#include "framework/Object.h"
#include "platform/Platform.h"

template <typename T>
class CHandleObject : public CObject {
 public:
  explicit CHandleObject(T handle = nullptr) : handle(handle) {}
  CHandleObject(const CHandleObject &) = delete;
  CHandleObject &operator=(const CHandleObject &) = delete;
  ~CHandleObject() override {
    if (ownsHandle) CHandleObject::Close();
  }

  // Releases a held handle with CloseHandle and forgets it; 1 also when none
  // is held.
  virtual BOOL Close() {
    if (handle) {
      ::CloseHandle(reinterpret_cast<HANDLE>(handle));
      handle = nullptr;
    }
    return TRUE;
  }

  // Stores a non-null handle (0 and no change for null). A handle held before
  // is not released, and ownership is not changed.
  BOOL SetHandle(T newHandle) {
    if (!newHandle) return FALSE;
    handle = newHandle;
    return TRUE;
  }
  void SetOwnership(bool owns) { ownsHandle = owns; }
  bool OwnsHandle() const { return ownsHandle; }
  T GetHandle() const { return handle; }

 protected:
  T handle;
  bool ownsHandle = true;
};
