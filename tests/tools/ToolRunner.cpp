#include "ToolRunner.h"

#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>

#include "support/WideText.h"
#else
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char **environ;
#endif

static std::string ReadFile(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

static void WriteFile(const std::string &path, const std::string &bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

#ifdef _WIN32

// One argument as the C runtime's command-line parser reads it back.
static std::string Quote(const std::string &argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < argument.size() && argument[i] == '\\') ++i, ++backslashes;
    if (i == argument.size()) {
      quoted.append(backslashes * 2, '\\');
      break;
    }
    if (argument[i] == '"')
      quoted.append(backslashes * 2 + 1, '\\');
    else
      quoted.append(backslashes, '\\');
    quoted += argument[i];
  }
  return quoted + "\"";
}

static HANDLE OpenInheritable(const std::string &path, bool write) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

ToolRun RunTool(const std::string &program, const std::vector<std::string> &arguments, const std::string &input,
                const std::string &workDirectory) {
  const std::string inPath = workDirectory + "\\stdin", outPath = workDirectory + "\\stdout",
                    errPath = workDirectory + "\\stderr";
  WriteFile(inPath, input);
  std::string commandLine = Quote(program);
  for (const std::string &argument : arguments) commandLine += " " + Quote(argument);

  // The arguments are UTF-8: the tool gets them as its Unicode command line.
  std::wstring wideCommandLine = WideFromUtf8(commandLine);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = OpenInheritable(inPath, false);
  startup.hStdOutput = OpenInheritable(outPath, true);
  startup.hStdError = OpenInheritable(errPath, true);
  PROCESS_INFORMATION process = {};
  ToolRun run;
  if (CreateProcessW(WideFromUtf8(program).c_str(), &wideCommandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                     nullptr, &startup, &process)) {
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    run.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(startup.hStdInput);
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  return run;
}

#else

ToolRun RunTool(const std::string &program, const std::vector<std::string> &arguments, const std::string &input,
                const std::string &workDirectory) {
  const std::string inPath = workDirectory + "/stdin", outPath = workDirectory + "/stdout",
                    errPath = workDirectory + "/stderr";
  WriteFile(inPath, input);
  std::vector<char *> argv{const_cast<char *>(program.c_str())};
  for (const std::string &argument : arguments) argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ToolRun run;
  pid_t child;
  if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited == child) run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  return run;
}

#endif
