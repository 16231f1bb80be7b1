// CObject: the root of the framework's classes. It has no data; its virtual
// destructor lets any framework object be destroyed through a CObject
// pointer (the temporary-object list relies on that).
#pragma once

class CObject {
 public:
  CObject() = default;
  CObject(const CObject &) = default;
  CObject &operator=(const CObject &) = default;
  virtual ~CObject() = default;
};
