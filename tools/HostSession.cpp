#include "tools/HostSession.h"

#include <cstring>

#include "host/Envelope.h"
#include "text/GlobalText.h"
#include "tools/LoaderFacts.h"
#include "plugin/PeImage.h"
#include "tools/ShiftJis.h"

#ifdef _WIN32
static const char kLibraryFileName[] = "tovracaller.dll";
#else
static const char kLibraryFileName[] = "tovracaller.so";
#endif

static HGLOBAL BlockOf(const std::string &text) {
  HGLOBAL block = platform::AllocGlobalBlock(text.size() + 1);
  if (block) std::memcpy(block, text.data(), text.size());
  return block;
}

static std::string DirectoryOf(const std::string &path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The running program's name, as an explanation calls it: "tovra-host".
static std::string ProgramName() {
  std::string name = ProgramPath();
  name.erase(0, name.find_last_of("\\/") + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

HostSession::~HostSession() {
  Close();
}

HostSession::Status HostSession::Open(const std::string &libraryPath, std::string *error) {
  Close();
  library = platform::LoadDynamicLibrary(libraryPath.c_str(), 0);
  if (!library) {
    const LoaderError loaderError = LastLoaderError();
    *error = "cannot load " + DisplayPath(libraryPath);
    const LoadingSide host{ProgramName(), "program", PeImage::kOwnMachine};
    for (const std::string &line : ExplainLoadFailure(libraryPath, loaderError, host)) *error += "\n  " + line;
    return Status::CannotLoad;
  }
  loadEntry = reinterpret_cast<LoadFunction>(platform::GetLibraryProcAddress(library, "load"));
  requestEntry = reinterpret_cast<RequestFunction>(platform::GetLibraryProcAddress(library, "request"));
  unloadEntry = reinterpret_cast<UnloadFunction>(platform::GetLibraryProcAddress(library, "unload"));
  const char *missing = !loadEntry ? "load" : !requestEntry ? "request" : !unloadEntry ? "unload" : nullptr;
  if (missing) {
    *error = DisplayPath(libraryPath) + " does not export \"" + missing + "\"";
    platform::FreeDynamicLibrary(library);
    library = nullptr;
    return Status::MissingExport;
  }
  // A host tells the module its own directory; the block becomes the module's.
  std::string directory = DirectoryOf(platform::GetModuleFilePath(library));
  loadEntry(BlockOf(directory), static_cast<BlockLength>(directory.size()));
  return Status::Ok;
}

bool HostSession::Request(const std::string &requestText, std::string *reply) {
  HGLOBAL block = BlockOf(requestText);
  if (!block) return false;
  BlockLength length = static_cast<BlockLength>(requestText.size());
  HGLOBAL replyBlock = requestEntry(block, &length);
  // Without a reply nothing changed hands: the library makes its reply block
  // before it frees the request block, so the request block is still ours.
  if (!replyBlock) {
    platform::FreeGlobalBlock(block);
    return false;
  }
  // Read as the library reads its plug-ins' replies: no further than the
  // stated length, the block's real size and the first zero byte.
  const CText text = ReadGlobalText(replyBlock, length);
  reply->assign(text.c_str(), text.Length());
  platform::FreeGlobalBlock(replyBlock);
  // Only after exactly the 400 or the 204 reply is the request block still
  // ours; after any other reply the library has freed it.
  if (ReplyLeavesBlockToHost(text.c_str(), text.Length())) platform::FreeGlobalBlock(block);
  return true;
}

void HostSession::Close() {
  if (!library) return;
  unloadEntry();
  platform::FreeDynamicLibrary(library);
  library = nullptr;
}

void HostSession::UnloadPlugins() {
  if (library) unloadEntry();
}

bool HostSession::LibraryPath(const std::string &given, std::string *path, std::string *error) {
  if (AnsiPathFromUtf8(given, path, error)) return true;
  *error = "cannot load the library: " + *error +
           ". The library works with paths in that code page, so it can neither be loaded from there nor find "
           "its plug-ins there: use a folder whose path holds none of them (plain ASCII always works), or a "
           "system whose code page for non-Unicode programs holds them (932 for Japanese)";
  return false;
}

bool HostSession::DefaultLibraryPath(std::string *path, std::string *error) {
  const std::string directory = DirectoryOf(ProgramPath());
  if (!LibraryPath(directory + kLibraryFileName, path, error)) return false;
  if (directory.empty() || IsExistingFile(*path)) return true;
  // A release keeps the tools in a folder of their own beside the library.
  std::string above;
  if (LibraryPath(DirectoryOf(directory.substr(0, directory.size() - 1)) + kLibraryFileName, &above, error) &&
      IsExistingFile(above))
    *path = above;
  return true;
}

std::string HostSession::MakeRequest(const std::string &text) {
  return "EXECUTE VORDEL/2.0\r\nString: " + text + "\r\n\r\n";
}

std::string HostSession::ReplyString(const std::string &reply) {
  static const char kHead[] = "\r\nString: ";
  static const char kCharset[] = "\r\nCharset: ";
  size_t start = reply.find(kHead);
  if (ReplyStatus(reply) != "200" || start == std::string::npos) return std::string();
  start += sizeof kHead - 1;
  // The value ends at the Charset line that follows it; a value that happens
  // to hold a line break stays whole.
  size_t end = reply.rfind(kCharset);
  if (end == std::string::npos || end < start) end = reply.find("\r\n", start);
  return reply.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string HostSession::ReplyStatus(const std::string &reply) {
  // Only a whole status line counts: "VORDEL/2.0 ", three digits, a space, a
  // reason and the line end. A line cut short or damaged anywhere in it says
  // nothing about what the library answered.
  static const char kVersion[] = "VORDEL/2.0 ";
  const size_t code = sizeof kVersion - 1;
  const size_t lineEnd = reply.find("\r\n");
  if (lineEnd == std::string::npos || lineEnd < code + 5 || reply.compare(0, code, kVersion) != 0 ||
      reply[code + 3] != ' ')
    return std::string();
  for (size_t i = code; i < code + 3; ++i)
    if (reply[i] < '0' || reply[i] > '9') return std::string();
  return reply.substr(code, 3);
}
