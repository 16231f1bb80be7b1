// CPointerArray<T>: object pointers in insertion order. It never owns or
// deletes the objects; RemoveAll frees only its own storage.
#pragma once

#include <stdexcept>
#include <vector>

template <typename T>
class CPointerArray {
 public:
  int GetCount() const { return static_cast<int>(items.size()); }
  void Add(T *item) { items.push_back(item); }
  // The index of the first entry equal to `item`, or -1.
  int Find(const T *item) const {
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i] == item) return static_cast<int>(i);
    return -1;
  }
  // Removes one entry; the later entries move up. Throws std::out_of_range
  // for an index outside 0 to count - 1.
  void RemoveAt(int index) {
    CheckIndex(index);
    items.erase(items.begin() + index);
  }
  // Throws std::out_of_range for an index outside 0 to count - 1.
  T *GetAt(int index) const {
    CheckIndex(index);
    return items[index];
  }
  T *operator[](int index) const { return GetAt(index); }
  void RemoveAll() { std::vector<T *>().swap(items); }

 private:
  void CheckIndex(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= items.size())
      throw std::out_of_range("pointer array index");
  }

  std::vector<T *> items;
};
