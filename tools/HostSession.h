// A stand-in for a VORDEL host: loads the tovracaller library the way a real
// host does and drives its three exports, with the host's side of the block
// ownership rules.
#pragma once

#include <string>

#include "platform/Platform.h"

class HostSession {
 public:
  enum class Status { Ok, CannotLoad, MissingExport };

  HostSession() = default;
  HostSession(const HostSession &) = delete;
  HostSession &operator=(const HostSession &) = delete;
  ~HostSession();

  // Loads the library and calls its load export with the library's
  // directory. `error` says in words (UTF-8) what went wrong.
  Status Open(const std::string &libraryPath, std::string *error);

  // Sends one whole request text. False when the library returned no block;
  // the request block is then freed here, as it is still the host's.
  bool Request(const std::string &requestText, std::string *reply);

  // Calls unload and frees the library; done by the destructor too.
  void Close();
  // Calls unload and keeps the library: its plug-ins are freed and load
  // again on their next call.
  void UnloadPlugins();

  // The library's file beside the running program, or, where there is none,
  // in the folder above it (the tools folder of a release), in the form the
  // loader takes. False when that path cannot be had: see LibraryPath.
  static bool DefaultLibraryPath(std::string *path, std::string *error);
  // A library path a person gave (UTF-8) in the form the loader takes: the
  // system's ANSI code page, in which the library also finds its plug-ins.
  // False when the path holds characters that code page cannot hold;
  // `error` then names them and says what to do.
  static bool LibraryPath(const std::string &given, std::string *path, std::string *error);
  // The request that carries `text` as its String value.
  static std::string MakeRequest(const std::string &text);
  // The String value of a 200 reply, or empty.
  static std::string ReplyString(const std::string &reply);
  // The status code of a reply ("200", "400", ...), or empty unless its
  // status line is whole: "VORDEL/2.0 ", three digits, a space, a reason and
  // "\r\n".
  static std::string ReplyStatus(const std::string &reply);

 private:
  typedef BOOL(TOVRA_CDECL *LoadFunction)(HGLOBAL, BlockLength);
  typedef HGLOBAL(TOVRA_CDECL *RequestFunction)(HGLOBAL, BlockLength *);
  typedef BOOL(TOVRA_CDECL *UnloadFunction)();

  HMODULE library = nullptr;
  LoadFunction loadEntry = nullptr;
  RequestFunction requestEntry = nullptr;
  UnloadFunction unloadEntry = nullptr;
};
