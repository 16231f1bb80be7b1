#include "tools/LoaderFacts.h"

#include <cstdio>

#include "platform/Platform.h"
#include "plugin/PeImage.h"
#include "tools/ShiftJis.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool LoaderAddsExtension(const std::string &path) {
  size_t slash = path.find_last_of("\\/");
  return path.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos;
}

std::string LoaderFileFor(const std::string &path) {
  return platform::GetLibraryFilePath(path.c_str());
}

#ifdef _WIN32

static std::string DirectoryOfFile(const std::string &filePath) {
  size_t slash = filePath.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : filePath.substr(0, slash + 1);
}

LoaderError LastLoaderError() {
  LoaderError error;
  error.code = ::GetLastError();
  wchar_t text[512] = L"";
  ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error.code, 0, text,
                   sizeof text / sizeof text[0], nullptr);
  error.text = Utf8FromWide(text);
  while (!error.text.empty() && (error.text.back() == '\r' || error.text.back() == '\n' || error.text.back() == ' '))
    error.text.pop_back();
  return error;
}

std::string DescribeLoaderError(const LoaderError &error, const std::string &file) {
  return "error " + std::to_string(error.code) +
         (error.text.empty() ? "" : ": " + FillMessageInserts(error.text, DisplayPath(file)));
}

std::string AbsoluteLibraryPath(const std::string &path) {
  std::string full(MAX_PATH, '\0');
  for (;;) {
    DWORD needed = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (needed == 0) return path;
    if (needed < full.size()) {
      full.resize(needed);
      return full;
    }
    full.resize(needed);
  }
}


const char *DefaultLibraryExtension() {
  return ".dll";
}

bool IsExistingFile(const std::string &filePath) {
  DWORD attributes = ::GetFileAttributesA(filePath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string DisplayPath(const std::string &path) {
  return Utf8FromAnsi(path);
}

// True when the loader finds the DLL by name for the running program: it is
// loaded already, or its search (the program's directory, the system
// directories, PATH) finds a file of that name.
static bool LoaderFinds(const std::string &dllName) {
  if (::GetModuleHandleA(dllName.c_str())) return true;
  HMODULE module = ::LoadLibraryExA(dllName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return false;
  ::FreeLibrary(module);
  return true;
}

// The imports of a DLL that the loader cannot find, in words.
static void ExplainMissingImports(const std::string &file, const PeImage &image, std::vector<std::string> *lines) {
  bool missing = false;
  for (const std::string &name : image.Imports()) {
    if (LoaderFinds(name)) continue;
    missing = true;
    std::string line = "it imports " + name + ", which the loader cannot find";
    if (IsCompilerRuntimeDll(name))
      line += " (a DLL of the compiler's runtime: link the plug-in with -static and it needs none)";
    else if (IsExistingFile(DirectoryOfFile(file) + name))
      line += " (it lies beside " + DisplayPath(file) +
              ", but the loader does not look there: it looks beside the program, in the system directories and "
              "along PATH)";
    lines->push_back(line);
  }
  if (!missing)
    lines->push_back("every DLL it imports can be found; one of them may itself import a DLL that cannot be found");
}

#else

LoaderError LastLoaderError() {
  LoaderError error;
  if (const char *text = ::dlerror()) error.text = text;
  return error;
}

std::string DescribeLoaderError(const LoaderError &error, const std::string &) {
  return error.text.empty() ? "no reason given" : error.text;
}

static std::string WithSlashes(std::string path) {
  for (char &c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string DisplayPath(const std::string &path) {
  return WithSlashes(path);
}

std::string AbsoluteLibraryPath(const std::string &path) {
  std::string absolute = path;
  if (path.empty() || (path[0] != '/' && path[0] != '\\')) {
    char here[4096];
    if (::getcwd(here, sizeof here)) absolute = std::string(here) + "/" + path;
  }
  for (char &c : absolute)
    if (c == '/') c = '\\';
  return absolute;
}

const char *DefaultLibraryExtension() {
  return ".so";
}

bool IsExistingFile(const std::string &filePath) {
  struct stat info;
  return ::stat(filePath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// dlerror names a missing library as "NAME: cannot open shared object
// file"; when NAME is not the file itself, it is a library the file needs.
static void ExplainMissingLibrary(const std::string &file, const LoaderError &error, std::vector<std::string> *lines) {
  static const char kCannotOpen[] = ": cannot open shared object file";
  size_t at = error.text.find(kCannotOpen);
  if (at == std::string::npos) return;
  std::string name = error.text.substr(0, at);
  if (name != file) lines->push_back("it needs " + name + ", which the loader cannot find");
}

#endif

std::string FillMessageInserts(const std::string &message, const std::string &file) {
  std::string filled;
  for (size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (c != '%' || i + 1 == message.size()) {
      filled += c;
    } else if (message[i + 1] == '%') {
      filled += '%';
      ++i;
    } else if (message[i + 1] >= '1' && message[i + 1] <= '9') {
      size_t end = i + 1;
      while (end < message.size() && message[end] >= '0' && message[end] <= '9') ++end;
      if (message.compare(i + 1, end - i - 1, "1") == 0) filled += file;
      // "%1!s!": the printf format between two '!' goes with the insert.
      if (end < message.size() && message[end] == '!') {
        const size_t close = message.find('!', end + 1);
        if (close != std::string::npos) end = close + 1;
      }
      i = end - 1;
    } else {
      filled += c;
    }
  }
  return filled;
}

static std::string Lowered(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool IsCompilerRuntimeDll(const std::string &dll) {
  const std::string name = Lowered(dll);
  for (const char *runtime : {"libgcc_s_", "libstdc++-", "libwinpthread-"})
    if (name.compare(0, std::char_traits<char>::length(runtime), runtime) == 0) return true;
  return false;
}

std::string CompilerRuntimeAdvice(const std::vector<std::string> &imports) {
  std::string names;
  for (const std::string &dll : imports)
    if (IsCompilerRuntimeDll(dll)) names += (names.empty() ? "" : ", ") + dll;
  if (names.empty()) return std::string();
  return "it imports " + names +
         " of the compiler's runtime, which hosts do not carry: link the plug-in with -static and it needs none";
}

// Reads one Itanium <source-name> (a length, then that many bytes).
static bool ReadSourceName(const std::string &text, size_t *at, std::string *name) {
  size_t length = 0, i = *at;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && length < 4096) length = length * 10 + (text[i++] - '0');
  if (i == *at || length == 0 || length > text.size() - i) return false;
  *name = text.substr(i, length);
  *at = i + length;
  return true;
}

std::string CppFunctionName(const std::string &exported) {
  if (exported.size() > 1 && exported[0] == '?') {
    const size_t end = exported.find('@');
    return end == std::string::npos ? std::string() : exported.substr(1, end - 1);
  }
  if (exported.compare(0, 2, "_Z") != 0) return std::string();
  size_t at = 2;
  std::string name;
  if (at < exported.size() && exported[at] == 'N') {
    // A nested name: the function's own name is the last before the 'E'.
    ++at;
    std::string part;
    while (at < exported.size() && exported[at] != 'E' && ReadSourceName(exported, &at, &part)) name = part;
    return at < exported.size() && exported[at] == 'E' ? name : std::string();
  }
  return ReadSourceName(exported, &at, &name) ? name : std::string();
}

std::string MachineMismatch(const std::string &file, unsigned fileMachine, const LoadingSide &side) {
  if (fileMachine == side.machine) return std::string();
  char facts[96];
  std::snprintf(facts, sizeof facts, " DLL (machine 0x%X, %s); ", fileMachine, PeImage::MachineName(fileMachine));
  char wanted[32];
  std::snprintf(wanted, sizeof wanted, " (machine 0x%X)", side.machine);
  const std::string bitness = PeImage::Bitness(side.machine);
  const std::string said = DisplayPath(file) + " is a " + PeImage::Bitness(fileMachine) + facts + side.name +
                           " is a " + bitness + " " + side.kind + " and loads only " + bitness + " DLLs" + wanted;
  // A program meets a library of the other bitness: the other build of the
  // program is what helps, not another build of the library.
  const bool releaseMachines = (fileMachine == PeImage::kMachineX86 || fileMachine == PeImage::kMachineX64) &&
                               (side.machine == PeImage::kMachineX86 || side.machine == PeImage::kMachineX64);
  if (side.kind == "program" && releaseMachines) {
    const char *bits = PeImage::Is64BitMachine(fileMachine) ? "64" : "32";
    return said + ": use the " + bits + "-bit " + side.name + " (from the win" + bits + " zip)";
  }
  return said + ": build it for " + bitness;
}

std::vector<std::string> ExplainLoadFailure(const std::string &path, const LoaderError &error,
                                            const LoadingSide &side) {
  std::vector<std::string> lines;
  const std::string file = LoaderFileFor(path);
  if (!IsExistingFile(file)) {
    lines.push_back("there is no file " + DisplayPath(file) + " (the loader says: " + DescribeLoaderError(error, file) +
                    ")");
    return lines;
  }
  lines.push_back("the loader refuses " + DisplayPath(file) + ": " + DescribeLoaderError(error, file));
  PeImage image;
  if (image.Read(file)) {
    const std::string mismatch = MachineMismatch(file, image.Machine(), side);
    if (!mismatch.empty()) {
      lines.push_back(mismatch);
      const std::string runtime = CompilerRuntimeAdvice(image.Imports());
      if (!runtime.empty()) lines.push_back(runtime);
      return lines;
    }
#ifdef _WIN32
    if (error.code == ERROR_MOD_NOT_FOUND) ExplainMissingImports(file, image, &lines);
#endif
    return lines;
  }
#ifdef _WIN32
  if (error.code == ERROR_BAD_EXE_FORMAT) lines.push_back(DisplayPath(file) + " is not a Windows DLL");
#else
  ExplainMissingLibrary(file, error, &lines);
#endif
  return lines;
}
