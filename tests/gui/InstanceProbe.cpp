// Runs the single-instance check on the mutex name it is given, as a second
// process of a program would: exit code 1 when another instance holds the
// mutex (or it cannot be made), 0 when this is the only one, 2 for no name.
#include "framework/Application.h"

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  CApplication application;
  return application.CheckSingleInstance(argv[1]) ? 1 : 0;
}
