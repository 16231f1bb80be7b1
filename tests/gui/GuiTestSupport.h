// Helpers of the graphics tests: liveness checks for each kind of handle,
// images and windows made for a test, and a hook that replaces one platform
// function the test program imports while it is in scope.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/ImportPatch.h"

inline bool GdiObjectExists(HGDIOBJ object) {
  return ::GetObjectType(object) != 0;
}

inline bool IconExists(HICON icon) {
  ICONINFO info = {};
  if (!::GetIconInfo(icon, &info)) return false;
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  return true;
}

// A colour icon of width x height, or a monochrome one (mask only, twice as
// high: AND half above XOR half). The bitmaps it was made from are deleted.
inline HICON NewIcon(int width, int height, bool colour) {
  ICONINFO info = {};
  info.fIcon = TRUE;
  info.hbmMask = ::CreateBitmap(width, colour ? height : height * 2, 1, 1, nullptr);
  info.hbmColor = colour ? ::CreateBitmap(width, height, 1, 32, nullptr) : nullptr;
  HICON icon = ::CreateIconIndirect(&info);
  ::DeleteObject(info.hbmMask);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  return icon;
}

// A top-level window of a plain class, destroyed with the object.
class TestWindow {
 public:
  TestWindow() {
    static ATOM atom = [] {
      WNDCLASSA windowClass = {};
      windowClass.lpfnWndProc = ::DefWindowProcA;
      windowClass.hInstance = ::GetModuleHandleA(nullptr);
      windowClass.lpszClassName = "TovraGuiTestWindow";
      return ::RegisterClassA(&windowClass);
    }();
    (void)atom;
    handle = ::CreateWindowExA(0, "TovraGuiTestWindow", "test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                               nullptr, ::GetModuleHandleA(nullptr), nullptr);
  }
  TestWindow(const TestWindow &) = delete;
  TestWindow &operator=(const TestWindow &) = delete;
  ~TestWindow() {
    if (handle) ::DestroyWindow(handle);
  }
  HWND Get() const { return handle; }

 private:
  HWND handle;
};

// A file in the temporary directory, deleted with the object.
class TemporaryFile {
 public:
  explicit TemporaryFile(const char *name) {
    char directory[MAX_PATH];
    ::GetTempPathA(sizeof directory, directory);
    path = std::string(directory) + name + "-" + std::to_string(::GetCurrentProcessId());
  }
  TemporaryFile(const TemporaryFile &) = delete;
  TemporaryFile &operator=(const TemporaryFile &) = delete;
  ~TemporaryFile() { ::DeleteFileA(path.c_str()); }
  bool Write(const std::vector<unsigned char> &bytes) const {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
  }
  const char *Path() const { return path.c_str(); }

 private:
  std::string path;
};

// The bytes of a 24-bit BMP file, bottom-up (positive height), every pixel
// of the colour `blue`, `green`, `red`.
inline std::vector<unsigned char> BmpFile(int width, int height, unsigned char blue, unsigned char green,
                                         unsigned char red) {
  const int stride = (width * 3 + 3) & ~3;
  const DWORD pixelBytes = static_cast<DWORD>(stride * height);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + pixelBytes;
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  std::vector<unsigned char> bytes(file.bfSize, 0);
  memcpy(bytes.data(), &file, sizeof file);
  memcpy(bytes.data() + sizeof file, &info, sizeof info);
  for (int row = 0; row < height; ++row) {
    unsigned char *pixel = bytes.data() + file.bfOffBits + row * stride;
    for (int column = 0; column < width; ++column, pixel += 3) {
      pixel[0] = blue;
      pixel[1] = green;
      pixel[2] = red;
    }
  }
  return bytes;
}

// Replaces `function` of `dll` in the test program's import table while in
// scope; Original() is the function it replaced. The library's classes are
// linked into the test program, so they call through the same table.
template <typename Function>
class ImportHook {
 public:
  ImportHook(const char *dll, const char *function, Function replacement) : dll(dll), function(function) {
    original = reinterpret_cast<Function>(
        PatchImport(::GetModuleHandleA(nullptr), dll, function, reinterpret_cast<void *>(replacement)));
  }
  ImportHook(const ImportHook &) = delete;
  ImportHook &operator=(const ImportHook &) = delete;
  ~ImportHook() {
    if (original) PatchImport(::GetModuleHandleA(nullptr), dll, function, reinterpret_cast<void *>(original));
  }
  bool Installed() const { return original != nullptr; }
  Function Original() const { return original; }

 private:
  const char *dll;
  const char *function;
  Function original = nullptr;
};
