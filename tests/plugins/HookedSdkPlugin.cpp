// The hooked SDK plug-in's source, compiled as C++.
#include "HookedSdkPlugin.c"
