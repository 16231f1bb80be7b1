// FaultReport: a fault that the library's guard contained in a plug-in, in
// the words an author needs to find it: the exception by name and code, the
// address it concerns, and where in which module it happened, as
// FAULTY.dll+0x1c80 and as the command that finds the source line.
#pragma once

#include <string>

#include "platform/Platform.h"

// "access violation writing address 00000000", "stack overflow",
// "C++ exception (thrown by GCC-built code)", "exception E0000001"; each
// with its code in hexadecimal.
std::string ExceptionWords(const platform::GuardedFault &fault);

// Where the fault happened: "FAULTY.dll+0x1c80", or, for an exception that
// the plug-in raised through the system, "KERNELBASE.dll+0x13d7e, raised
// from FAULTY.dll+0x1c80". `plugin` is the plug-in's module, whose return
// address is looked for on the stack; "address 0000000000000010" where no
// module holds the address.
std::string FaultPlace(const platform::GuardedFault &fault, HMODULE plugin);

// The command that finds the line of the fault in the plug-in's source
// ("addr2line -f -C -e C:\dir\FAULTY.dll 0x6d441c80"), for a plug-in built
// with debug information; empty when the fault lies outside the plug-in.
std::string SourceLineCommand(const platform::GuardedFault &fault, HMODULE plugin);
