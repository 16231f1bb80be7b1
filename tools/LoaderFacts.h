// What the tools find out about library files and the platform's loader, to
// tell a user in words why a library did not load: which file a path really
// names, the loader's own error, and what is wrong with a file that exists.
//
// Paths are in the library's form, '\' separated, as they go to
// platform::LoadDynamicLibrary; natively they are mapped to '/' files.
#pragma once

#include <string>
#include <vector>

struct LoaderError {
  unsigned long code = 0;  // GetLastError's number; 0 natively
  std::string text;        // FormatMessageA's text, or dlerror's
};

// The loader's error for the load that just failed: call it at once.
LoaderError LastLoaderError();
// "error 126: The specified module could not be found." or dlerror's text;
// the message's inserts are filled in for the loaded `file`.
std::string DescribeLoaderError(const LoaderError &error, const std::string &file);
// A system message as FormatMessage gives it with its inserts left in
// ("Bad EXE format for %1."), with "%1" replaced by `file`, every other
// numbered insert (with its "!printf format!", if any) left out and "%%"
// turned into "%".
std::string FillMessageInserts(const std::string &message, const std::string &file);

// `path` made absolute, in the library's form.
std::string AbsoluteLibraryPath(const std::string &path);

// The file the loader opens for `path`, as the C library opens files: the
// default extension (".dll", natively ".so") added to a file name without
// one, a trailing dot removed, and natively every segment matched without
// regard to ASCII letter case, as the platform seam does.
std::string LoaderFileFor(const std::string &path);
// The default extension the loader adds, with its dot, and whether it adds
// it to `path` (a file name without a dot and without a trailing dot).
const char *DefaultLibraryExtension();
bool LoaderAddsExtension(const std::string &path);

bool IsExistingFile(const std::string &filePath);
// A library-form path as a user reads it on this platform ('/' natively).
std::string DisplayPath(const std::string &path);

// Who loads a library, in the words of an explanation: "the library is a
// 32-bit x86 DLL", "tovra-host is a 64-bit x64 program".
struct LoadingSide {
  std::string name;  // "the library", "tovra-host"
  std::string kind;  // "DLL", "program"
  unsigned machine;  // the PE machine it is built for
};

// The sentence for a DLL `file` built for `fileMachine` that `side` cannot
// load because it is built for another machine; empty when they match.
std::string MachineMismatch(const std::string &file, unsigned fileMachine, const LoadingSide &side);

// Whether `dll` is a DLL of the mingw compilers' runtime (libgcc_s_*,
// libstdc++-*, libwinpthread-*), which a plug-in linked without -static
// imports and which hosts do not carry.
bool IsCompilerRuntimeDll(const std::string &dll);
// The sentence that names the compiler runtime DLLs among `imports`, and how
// to need none; empty when there are none.
std::string CompilerRuntimeAdvice(const std::vector<std::string> &imports);

// The function name a C++ compiler mangled into `exported` ("request" for
// "_Z7requestPvPl" or "?request@@YAPAXPAXPAJ@Z"); empty for a plain name.
std::string CppFunctionName(const std::string &exported);

// Sentences that say why `side` could not load `path`: there is no such
// file, or the loader's error and what is wrong with the file (built for
// another bitness or processor, a DLL it imports cannot be found).
std::vector<std::string> ExplainLoadFailure(const std::string &path, const LoaderError &error,
                                            const LoadingSide &side);
