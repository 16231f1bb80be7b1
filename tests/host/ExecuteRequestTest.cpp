// The EXECUTE request as it is sent: built in a buffer while short, in a
// CText beyond, and ending at an argument's first zero byte, where a text in
// a block ends (the request is copied into its block without a search).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/PluginRequests.h"

namespace {

const std::string kHead =
    "EXECUTE TOVRA/1.0\r\nSecurityLevel: Local\r\nCharset: Shift_JIS\r\nSender: Tovra Caller Vordel\r\n";

TEST(ExecuteRequest, IsSentUpToItsFirstZeroByte) {
  const std::string longValue(400, 'a');
  struct Case {
    const char *name;
    std::vector<std::string> arguments;
    std::string sent;
  };
  const Case cases[] = {
      {"no arguments", {}, kHead + "\r\n"},
      {"two short ones", {"a", "\x83\x5D"}, kHead + "Argument0: a\r\nArgument1: \x83\x5D\r\n\r\n"},
      {"past the buffer", {"b", longValue}, kHead + "Argument0: b\r\nArgument1: " + longValue + "\r\n\r\n"},
      {"a zero in a short one", {"x", std::string("y\0z", 3), "w"}, kHead + "Argument0: x\r\nArgument1: y"},
      {"a zero past the buffer", {longValue + std::string("\0z", 2)}, kHead + "Argument0: " + longValue},
      {"a zero only in a later one", {"p", std::string("\0", 1), std::string("q\0", 2)}, kHead + "Argument0: p\r\nArgument1: "},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ExecuteRequest request;
    for (const std::string &argument : c.arguments) request.AddArgument(argument.data(), argument.size());
    request.Finish();
    EXPECT_EQ(std::string(request.Text(), request.Length()), c.sent);
  }
}

}  // namespace
