// A minimal host for the attach tests: loads the probe library named on its
// command line and exits with the show command the library recorded, or 255
// when the library does not load.
#include <windows.h>

int main(int argc, char **argv) {
  if (argc < 2) return 254;
  HMODULE probe = ::LoadLibraryA(argv[1]);
  if (!probe) return 255;
  auto showCommand =
      reinterpret_cast<int (*)()>(reinterpret_cast<void *>(::GetProcAddress(probe, "ProbeShowCommand")));
  int result = showCommand ? showCommand() : 253;
  ::FreeLibrary(probe);
  return result;
}
