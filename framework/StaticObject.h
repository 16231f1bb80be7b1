// CStaticObject<T>: one of a library's static objects, built in place during
// static initialisation without letting an exception out. Nothing catches an
// exception there: one that escaped (std::bad_alloc from the constructor)
// would end the host process that is loading the library.
//
//   __attribute__((init_priority(1000))) static CStaticObject<MyApplication> theApplication;
//   ...
//   if (MyApplication *application = theApplication.Get()) ...
//
// When the constructor throws, the object is absent and Get returns null.
// For the application object that refuses the load: process attach finds no
// current application and returns FALSE.
#pragma once

#include <new>

template <typename T>
class CStaticObject {
 public:
  CStaticObject() noexcept {
    try {
      object = new (storage) T();
    } catch (...) {
      // Absent: Get answers null.
    }
  }
  CStaticObject(const CStaticObject &) = delete;
  CStaticObject &operator=(const CStaticObject &) = delete;
  // Destroys the object if it was built.
  ~CStaticObject() {
    if (object) object->~T();
  }

  // The object, or null when its constructor threw.
  T *Get() const { return object; }

 private:
  alignas(T) unsigned char storage[sizeof(T)];
  T *object = nullptr;
};
