// Runs a tool of the build as a child process, with a given stdin, and
// collects its stdout, stderr and exit status. The three streams go through
// files in a work directory, so a tool that writes much to both outputs can
// never block on a full pipe.
#pragma once

#include <string>
#include <vector>

struct ToolRun {
  int exitCode = -1;  // natively 128 + the signal for a tool killed by one
  std::string out;
  std::string err;
};

// `program` is a path in the platform's own form; the arguments are UTF-8
// (on Windows the tool gets them as its Unicode command line); the work
// directory holds the stream files.
ToolRun RunTool(const std::string &program, const std::vector<std::string> &arguments, const std::string &input,
                const std::string &workDirectory);
