// A tiny library for the module tests: two exports that tell which build of
// it answered. "Load" is spelled with a capital L on purpose.
#ifdef _WIN32
#define TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

TEST_EXPORT int Load() {
  return TEST_LIBRARY_ID;
}

TEST_EXPORT int TestLibraryId() {
  return TEST_LIBRARY_ID;
}
