// Paths of the libraries the tests load beside themselves, and whether a library is
// still mapped into the process.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/Platform.h"

#ifndef _WIN32
#include <dlfcn.h>
#include <sys/stat.h>

#include <fstream>
#endif

// The test program's directory with its trailing '\'.
inline std::string ProgramDirectory() {
  std::string path = platform::GetModuleFilePath(platform::GetExecutableModule());
  return path.substr(0, path.rfind('\\') + 1);
}

// bridge\ beside the test program: this build's library and both surrogates,
// with the plug-ins of the other bitness's build (the plugin_bridge test
// puts them there).
inline std::string BridgeDirectory() {
  return ProgramDirectory() + "bridge\\";
}

// Whether this run calls plug-ins of the other bitness, each through a
// surrogate: TOVRA_BRIDGED is set and not empty (the plugin_tests_bridged
// test).
inline bool Bridged() {
  const char *bridged = std::getenv("TOVRA_BRIDGED");
  return bridged && *bridged;
}

// Where the library under test and the plug-ins it calls are, with its
// trailing '\': the test program's directory, or the bridge's in a bridged run.
inline std::string TestDirectory() {
  return Bridged() ? BridgeDirectory() : ProgramDirectory();
}

inline std::string LibraryFileName(const std::string &name) {
#ifdef _WIN32
  return name + ".dll";
#else
  return name + ".so";
#endif
}

// The '\' path of a library built beside the test program.
inline std::string TestLibraryPath(const std::string &name) {
  return TestDirectory() + LibraryFileName(name);
}

inline std::string NativePath(std::string path) {
#ifndef _WIN32
  for (char &c : path)
    if (c == '\\') c = '/';
#endif
  return path;
}

// Whether the library at `path` is loaded, without loading it.
inline bool IsLibraryLoaded(const std::string &path) {
#ifdef _WIN32
  return ::GetModuleHandleA(path.c_str()) != nullptr;
#else
  void *module = ::dlopen(NativePath(path).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (module) ::dlclose(module);
  return module != nullptr;
#endif
}

#ifdef _WIN32
// The wide form of a full '\' path, prefixed so that it may pass 260 bytes
// (the ANSI file calls stop there).
inline std::wstring LongPath(const std::string &path) {
  return L"\\\\?\\" + std::wstring(path.begin(), path.end());
}
#endif

// Creates a directory; one that exists already is fine.
inline void MakeDirectory(const std::string &path) {
#ifdef _WIN32
  ::CreateDirectoryW(LongPath(path).c_str(), nullptr);
#else
  ::mkdir(NativePath(path).c_str(), 0755);
#endif
}

inline bool CopyFileTo(const std::string &source, const std::string &target) {
#ifdef _WIN32
  return ::CopyFileW(LongPath(source).c_str(), LongPath(target).c_str(), FALSE) != 0;
#else
  std::ifstream in(NativePath(source), std::ios::binary);
  std::ofstream out(NativePath(target), std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  return in && out;
#endif
}
