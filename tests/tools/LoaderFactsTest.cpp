// The words the tools build from loader facts: system messages with their
// inserts filled in, the compiler runtime DLLs, and C++ names of entry points.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/LoaderFacts.h"

namespace {

TEST(LoaderFactsTest, SystemMessagesShowNoRawInserts) {
  const struct {
    const char *sentence;
    const char *message;
    const char *filled;
  } table[] = {
      {"the first insert is the file", "Bad EXE format for %1.", "Bad EXE format for C:\\p\\x.dll."},
      {"the file may come first", "%1 is not a valid Win32 application.", "C:\\p\\x.dll is not a valid Win32 application."},
      {"an insert with a printf format is filled whole", "%1!s! failed", "C:\\p\\x.dll failed"},
      {"other numbered inserts are left out", "The file %1 needs %2 and %10.", "The file C:\\p\\x.dll needs  and ."},
      {"a doubled percent sign is one", "100%% of %1", "100% of C:\\p\\x.dll"},
      {"a lone percent sign at the end stays", "odd %", "odd %"},
      {"a percent sign before a letter stays", "%s and %n", "%s and %n"},
      {"an unclosed printf format leaves the rest", "%1!s", "C:\\p\\x.dll!s"},
      {"a message without inserts is kept", "The specified module could not be found.",
       "The specified module could not be found."},
  };
  for (const auto &c : table) {
    SCOPED_TRACE(c.sentence);
    EXPECT_EQ(FillMessageInserts(c.message, "C:\\p\\x.dll"), c.filled);
  }
}

TEST(LoaderFactsTest, NamesTheCompilerRuntimeDllsAPlugInShouldNotNeed) {
  const struct {
    const char *sentence;
    std::vector<std::string> imports;
    std::string advice;
  } table[] = {
      {"system DLLs only need no advice", {"KERNEL32.dll", "msvcrt.dll"}, ""},
      {"a C++ plug-in linked with -static-libgcc only",
       {"KERNEL32.dll", "libstdc++-6.dll", "libwinpthread-1.dll"},
       "it imports libstdc++-6.dll, libwinpthread-1.dll of the compiler's runtime, which hosts do not carry: link "
       "the plug-in with -static and it needs none"},
      {"the 32-bit libgcc DLL, in capitals", {"LIBGCC_S_DW2-1.DLL"},
       "it imports LIBGCC_S_DW2-1.DLL of the compiler's runtime, which hosts do not carry: link the plug-in with "
       "-static and it needs none"},
      {"a DLL that merely begins like one is not", {"libstdc.dll", "libgcc.dll"}, ""},
  };
  for (const auto &c : table) {
    SCOPED_TRACE(c.sentence);
    EXPECT_EQ(CompilerRuntimeAdvice(c.imports), c.advice);
  }
}

TEST(LoaderFactsTest, FindsTheFunctionNameInsideAMangledCppName) {
  const struct {
    const char *sentence;
    const char *exported;
    const char *name;
  } table[] = {
      {"a plain C name is no C++ name", "request", ""},
      {"an underscore C name is no C++ name", "_request", ""},
      {"a GCC name of a free function", "_Z7requestPvPl", "request"},
      {"a GCC name of a function without parameters", "_Z6unloadv", "unload"},
      {"a GCC name inside a namespace", "_ZN6plugin4loadEPvl", "load"},
      {"an MSVC name", "?request@@YAPAXPAXPAJ@Z", "request"},
      {"a GCC name whose length runs past its end", "_Z99request", ""},
      {"a GCC nested name without its end", "_ZN6plugin4load", ""},
      {"a bare prefix", "_Z", ""},
      {"an MSVC name without its '@'", "?request", ""},
  };
  for (const auto &c : table) {
    SCOPED_TRACE(c.sentence);
    EXPECT_EQ(CppFunctionName(c.exported), c.name);
  }
}

}  // namespace
