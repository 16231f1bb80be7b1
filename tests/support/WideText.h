// Windows only: UTF-8 test text as the UTF-16 that Unicode calls take.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

inline std::wstring WideFromUtf8(const std::string &utf8) {
  std::wstring wide(utf8.size() + 1, L'\0');
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<size_t>(length) - 1 : 0);  // without the terminator
  return wide;
}

#endif
