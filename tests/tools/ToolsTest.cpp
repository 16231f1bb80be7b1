// The two tools run as child processes on good and bad input: tovra-host
// with the library and its plug-ins, tovra-doctor on plug-ins that work and
// on each way a plug-in fails to come up. Files that no build here makes (a
// DLL of the other bitness, a plug-in whose DLL is missing) are made by
// patching copies of built ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PeBuilder.h"
#include "ToolRunner.h"
#include "support/WideText.h"
#include "platform/Platform.h"
#include "plugin/PeImage.h"
#include "tools/PluginDoctor.h"

namespace fs = std::filesystem;

namespace {

// 日本語 in Shift_JIS, as a plug-in must receive it.
const char kNihongo[] = "\x93\xFA\x96\x7B\x8C\xEA";
// 語 in Shift_JIS; its UTF-8 form ends in 0x9E, a Shift_JIS lead byte.
[[maybe_unused]] const char kGo[] = "\x8C\xEA";

#ifdef _WIN32
const char kExt[] = ".dll";
const char kExe[] = ".exe";
const char kSeparator = '\\';
#else
const char kExt[] = ".so";
const char kExe[] = "";
const char kSeparator = '/';
#endif

std::string BinDirectory() {
  std::string path = platform::GetModuleFilePath(platform::GetExecutableModule());
#ifndef _WIN32
  for (char &c : path)
    if (c == '\\') c = '/';
#endif
  return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string ReadBytes(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string &path, const std::string &bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct ToolCase {
  const char *sentence;
  const char *tool;
  std::vector<std::string> arguments;
  std::string input;
  int exitCode;
  std::vector<std::string> out;  // each must appear in stdout
  std::vector<std::string> err;  // each must appear in stderr
  std::vector<std::string> notOut;
};

// A plug-in or library of the other bitness than these tools.
const unsigned kOtherMachine = PeImage::Is64BitMachine(PeImage::kOwnMachine) ? PeImage::kMachineX86
                                                                              : PeImage::kMachineX64;

// A built DLL with its header's Machine field set to `machine`. Natively,
// where no PE file is built, a bare PE header with `imports` stands in.
std::string WithMachine(const std::string &builtPath, unsigned machine,
                        const std::vector<std::string> &imports = {}) {
#ifdef _WIN32
  std::string image = ReadBytes(builtPath);
  const uint32_t header = static_cast<unsigned char>(image[0x3C]) | static_cast<unsigned char>(image[0x3D]) << 8;
  image[header + 4] = static_cast<char>(machine & 0xFF);
  image[header + 5] = static_cast<char>(machine >> 8);
  return image;
#else
  return BuildPe(machine, imports);
#endif
}

// `image` with every `name` in it replaced by `replacement` and zero bytes
// after it, to the same length.
std::string Renamed(std::string image, const std::string &name, const std::string &replacement) {
  std::string padded = replacement;
  padded.resize(name.size(), '\0');
  for (size_t at = image.find(name); at != std::string::npos; at = image.find(name, at))
    image.replace(at, name.size(), padded);
  return image;
}

class ToolsTest : public ::testing::Test {
 protected:
  // A directory of its own beside the tools: a copy of the library, a
  // plug-in of the other bitness and a plug-in that imports a DLL that is
  // nowhere; in "other" a library of the other bitness with a plug-in of the
  // other bitness and one of the tools' own.
  static void SetUpTestSuite() {
    bin = BinDirectory();
    // Of its own for each code page: the suite runs under two at once.
    cases = bin + "tools-cases" + CodePageSuffix();
    fs::remove_all(cases);
    fs::create_directories(cases + kSeparator + "other");
    cases += kSeparator;
    fs::copy_file(bin + "tovracaller" + kExt, cases + "tovracaller" + kExt);
    const std::string ok = ReadBytes(bin + "ok" + kExt);
    WriteBytes(cases + "OTHER" + kExt, WithMachine(bin + "ok" + kExt, kOtherMachine));
    const std::string other = cases + "other" + kSeparator;
    WriteBytes(other + "tovracaller" + kExt, WithMachine(bin + "tovracaller" + kExt, kOtherMachine));
    WriteBytes(other + "OTHER" + kExt, WithMachine(bin + "ok" + kExt, kOtherMachine));
    WriteBytes(other + "OWN" + kExt, WithMachine(bin + "ok" + kExt, PeImage::kOwnMachine));
    const std::string recorder = std::string("tovra_recorder") + kExt;
    WriteBytes(cases + "NODEP" + kExt, Renamed(ok, recorder, std::string("tovra_departed") + kExt));
    // As a C++ plug-in linked without -static imports its runtime.
    WriteBytes(cases + "NORUNTIME" + kExt, Renamed(ok, recorder, std::string("libstdc++-6") + kExt));
    WriteBytes(cases + "OTHERRT" + kExt, WithMachine(cases + "NORUNTIME" + kExt, kOtherMachine, {"libstdc++-6.dll"}));
    WriteBytes(cases + "TEXT" + kExt, "not a library\n");
#ifdef _WIN32
    // Beside the plug-in, where the Windows loader does not look for it.
    fs::copy_file(bin + "tovra_recorder.dll", cases + "tovra_departed.dll");
    // A folder named in Japanese with a tovra-host, its library and calc.
    // (The wide calls: the C++ library's own narrow paths are in the ANSI
    // code page, which need not hold the name.)
    const std::wstring japanese = WideFromUtf8(cases + "日本語 フォルダ\\");
    ::CreateDirectoryW(japanese.c_str(), nullptr);
    for (const char *file : {"tovra-host.exe", "tovracaller.dll", "calc.dll"})
      ::CopyFileW(WideFromUtf8(bin + file).c_str(), (japanese + WideFromUtf8(file)).c_str(), FALSE);
#endif
  }
  static std::string CodePageSuffix() {
#ifdef _WIN32
    return "-" + std::to_string(::GetACP());
#else
    return std::string();
#endif
  }
  static void TearDownTestSuite() { fs::remove_all(cases.substr(0, cases.size() - 1)); }

  static void Check(const std::vector<ToolCase> &table) {
    for (const ToolCase &c : table) {
      SCOPED_TRACE(c.sentence);
      const ToolRun run = RunTool(bin + c.tool + kExe, c.arguments, c.input, cases.substr(0, cases.size() - 1));
      EXPECT_EQ(run.exitCode, c.exitCode) << "stdout:\n" << run.out << "\nstderr:\n" << run.err;
      for (const std::string &part : c.out)
        EXPECT_NE(run.out.find(part), std::string::npos) << "stdout lacks: " << part << "\nstdout:\n" << run.out;
      for (const std::string &part : c.err)
        EXPECT_NE(run.err.find(part), std::string::npos) << "stderr lacks: " << part << "\nstderr:\n" << run.err;
      for (const std::string &part : c.notOut)
        EXPECT_EQ(run.out.find(part), std::string::npos) << "stdout holds: " << part << "\nstdout:\n" << run.out;
    }
  }

  static std::string OwnBitness() { return PeImage::Bitness(PeImage::kOwnMachine); }
  static std::string OtherBitnessFacts() {
    char facts[64];
    std::snprintf(facts, sizeof facts, " DLL (machine 0x%X, %s)", kOtherMachine, PeImage::MachineName(kOtherMachine));
    return "OTHER" + std::string(kExt) + " is a " + PeImage::Bitness(kOtherMachine) + facts;
  }

  static std::string bin, cases;
};

std::string ToolsTest::bin, ToolsTest::cases;

TEST_F(ToolsTest, HostAnswersGoodAndBadInputWithItsExitCodes) {
  const std::string head = "VORDEL/2.0 200 OK\r\nString: ";
  Check({
      {"help prints the usage and the exit codes", "tovra-host", {"--help"}, "", 0,
       {"usage: tovra-host", "--lines", "Exit status"}, {}, {}},
      {"no text at all is bad usage", "tovra-host", {}, "", 2, {}, {"usage: tovra-host"}, {}},
      {"an unknown option is bad usage", "tovra-host", {"--nope", "x"}, "", 2, {}, {"unknown option --nope"}, {}},
      {"calls in the text are replaced by their Results", "tovra-host",
       {"3 + 4 = $tovra[calc,add,3,4], $tovra[Ok,a,b]."}, "", 0,
       {head + "3 + 4 = 7, {a|b}.\r\nCharset: Shift_JIS\r\n\r\n"}, {}, {}},
      {"the call of a missing plug-in vanishes", "tovra-host", {"[$tovra[nosuch,1]]"}, "", 0,
       {head + "[]\r\n"}, {}, {}},
      {"a library that is not there cannot be loaded", "tovra-host",
       {"--dll", cases + "absent" + kExt, "x"}, "", 3, {}, {"cannot load", "there is no file"}, {}},
      {"a library of the other bitness is named as such, with the tovra-host that loads it", "tovra-host",
       {"--dll", cases + "OTHER" + kExt, "x"}, "", 3, {},
       {OtherBitnessFacts() + "; tovra-host is a " + OwnBitness() + " program and loads only " + OwnBitness() +
            " DLLs",
        PeImage::Is64BitMachine(kOtherMachine) ? ": use the 64-bit tovra-host (from the win64 zip)"
                                               : ": use the 32-bit tovra-host (from the win32 zip)"}, {}},
      {"a library without the load export is refused", "tovra-host",
       {"--dll", bin + "tovra_recorder" + kExt, "x"}, "", 4, {}, {"does not export \"load\""}, {}},
      {"a library that returns no block", "tovra-host", {"--dll", bin + "noreply" + kExt, "x"}, "", 5, {},
       {"returned no reply block"}, {}},
      {"--raw sends stdin whole and reports the status", "tovra-host", {"--raw"},
       "EXECUTE VORDEL/2.0\r\nString: $tovra[calc,mul,6,7]\r\n\r\n", 0, {head + "42\r\n"}, {"status 200"}, {}},
      {"--raw with a request that is not EXECUTE gets the 400 reply", "tovra-host", {"--raw"},
       "GET VORDEL/2.0\r\nString: x\r\n\r\n", 1, {"VORDEL/2.0 400 Bad Request\r\n\r\n"}, {"status 400"}, {}},
      {"--lines writes a line break inside an expanded text as a space", "tovra-host", {"--lines"},
       "x\ry $tovra[ok,1]\n", 0, {"x y {1}\n"}, {"line 1: line breaks"}, {"\r"}},
#ifdef _WIN32
      {"Japanese on the command line reaches the plug-in and comes back as UTF-8 in a file", "tovra-host",
       {"$tovra[ok,日本語]"}, "", 0, {head + "{日本語}\r\n"}, {}, {}},
      {"a character that Shift_JIS cannot hold is named, not sent as '?'", "tovra-host", {"caf\xC3\xA9"}, "", 2,
       {}, {"argument 1 holds é (U+00E9), a character that Shift_JIS (code page 932) cannot hold"}, {}},
#endif
  });
}

// Each tool's command line as its --help gives it: options (before or after
// the host's TEXT, before the doctor's PLUGIN), "--" that ends them, one
// TEXT, and a clear word for whatever else stands there.
TEST_F(ToolsTest, CommandLinesAreReadAsTheHelpGivesThem) {
  const std::string head = "VORDEL/2.0 200 OK\r\nString: ";
  Check({
      {"a second TEXT is refused, not dropped", "tovra-host", {"a", "b"}, "", 2, {},
       {"tovra-host: a second TEXT, b: the text is one argument (in quotes when it holds spaces)"}, {}},
      {"-- as the last argument leaves no TEXT, which is bad usage", "tovra-host", {"--"}, "", 2, {},
       {"usage: tovra-host"}, {}},
      {"-- after the TEXT ends the options and the TEXT is sent", "tovra-host", {"a", "--"}, "", 0,
       {head + "a\r\n"}, {}, {}},
      {"a TEXT that begins with -- goes after --", "tovra-host", {"--", "--x"}, "", 0, {head + "--x\r\n"}, {}, {}},
      {"after -- an option's name is a second TEXT", "tovra-host", {"--", "a", "--raw"}, "", 2, {},
       {"tovra-host: a second TEXT, --raw:"}, {}},
      {"an unknown option is named, with where a TEXT that looks like one goes", "tovra-host", {"--nope"}, "", 2, {},
       {"tovra-host: unknown option --nope (a TEXT that begins with \"--\" goes after \"--\")"}, {}},
      {"--dll as the last argument needs a PATH", "tovra-host", {"x", "--dll"}, "", 2, {},
       {"tovra-host: --dll needs a PATH after it"}, {}},
      {"a TEXT with --lines is refused", "tovra-host", {"x", "--lines"}, "", 2, {},
       {"tovra-host: --lines reads the texts from stdin: give no TEXT with it"}, {}},
      {"-- as the doctor's last argument leaves no PLUGIN, which is bad usage", "tovra-doctor", {"--"}, "", 2, {},
       {"usage: tovra-doctor"}, {}},
      {"-- before the plug-in name ends the options", "tovra-doctor", {"--", "ok", "x"}, "", 0,
       {"call:          $tovra[ok,x]\n", "Result:        \"{x}\""}, {}, {}},
      {"a PLUGIN that begins with -- goes after -- and is looked for", "tovra-doctor", {"--", "--x"}, "", 5,
       {"plug-in name:  \"--X\""}, {}, {}},
      {"after PLUGIN, -- and option names are ARGs", "tovra-doctor", {"ok", "--", "--dll"}, "", 0,
       {"Result:        \"{--|--dll}\""}, {}, {}},
      {"an unknown option before PLUGIN is named", "tovra-doctor", {"--nope", "ok"}, "", 2, {},
       {"tovra-doctor: unknown option --nope (a PLUGIN that begins with \"--\" goes after \"--\")"}, {}},
      {"--dll as the doctor's last argument needs a PATH", "tovra-doctor", {"--dll"}, "", 2, {},
       {"tovra-doctor: --dll needs a PATH after it"}, {}},
      {"--stdin with a PLUGIN after -- is refused", "tovra-doctor", {"--stdin", "--", "ok"}, "", 2, {},
       {"tovra-doctor: --stdin reads the call from stdin: give no PLUGIN with it"}, {}},
  });
}

#ifdef _WIN32
// What a person types and reads, under the code page the suite runs in
// (C.UTF-8 gives 1252, ja_JP gives 932): lines and output in UTF-8 and
// --raw in Shift_JIS bytes, both ways, and a folder named in Japanese
// that works under 932 and elsewhere is named for what it is.
TEST_F(ToolsTest, TextsAreTheReadersAndPathsTheCodePages) {
  const char *lang = std::getenv("LANG");
  const bool japanese = ::GetACP() == 932;
  if (lang && std::string(lang).compare(0, 5, "ja_JP") == 0) {
    EXPECT_TRUE(japanese) << "LANG " << lang;
  }
  Check({
      {"--lines reads UTF-8 lines: the ']' after a character ending in 0x9E still ends the call", "tovra-host",
       {"--lines"}, "$tovra[echo,語] Z\n", 0, {"語 Z\n"}, {}, {}},
      {"a UTF-8 byte order mark before the first line is no text", "tovra-host", {"--lines"},
       "\xEF\xBB\xBF$tovra[echo,a]\n", 0, {"a\n"}, {}, {"\xEF"}},
      {"--lines --raw reads and writes Shift_JIS bytes", "tovra-host", {"--lines", "--raw"},
       std::string("$tovra[echo,") + kGo + "] Z\n", 0, {std::string(kGo) + " Z\n"}, {}, {}},
      {"a line that is not UTF-8 is not sent, and its output line stays empty", "tovra-host", {"--lines"},
       std::string(kNihongo) + "\nb\n", 1, {"\nb\n"}, {"line 1 is not UTF-8 text; it was not sent"}, {}},
      {"the doctor shows the call and a Result beyond ASCII as text", "tovra-doctor", {"ok", "日本語"}, "", 0,
       {"call:          $tovra[ok,日本語]", "  read as text: {日本語}"}, {}, {}},
  });
  const std::string folder = cases + "日本語 フォルダ" + kSeparator;
  const ToolRun run = RunTool(folder + "tovra-host.exe", {"3 + 4 = $tovra[calc,add,3,4]"}, "",
                              cases.substr(0, cases.size() - 1));
  if (japanese) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("String: 3 + 4 = 7\r\n"), std::string::npos) << run.out;
  } else {
    EXPECT_EQ(run.exitCode, 3) << run.out;
    EXPECT_NE(run.err.find(folder + "tovracaller.dll holds characters that the system's ANSI code page (" +
                           std::to_string(::GetACP()) + ") cannot hold: 日 (U+65E5), 本 (U+672C), 語 (U+8A9E), " +
                           "フ (U+30D5), ォ (U+30A9), ル (U+30EB), ダ (U+30C0)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("there is no file"), std::string::npos) << run.err;
  }
}
#endif

TEST_F(ToolsTest, HostLinesKeepPluginsLoadedUntilTheEndOfInput) {
  const ToolRun run = RunTool(bin + "tovra-host" + kExe, {"--lines"},
                              "$tovra[counter]\n#$tovra[counter]#\r\n\n$tovra[Counter]", cases.substr(0, cases.size() - 1));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // One output line per input line, the blank one included; a plug-in
  // loaded anew for each line would count 1 every time.
  EXPECT_EQ(run.out, "1\n#2#\n\n3\n");
  EXPECT_EQ(run.err, "counter: load\ncounter: unload after 3 calls\n");
}

TEST_F(ToolsTest, DoctorSaysWhatHappensAtEachStepAndWhyAPluginFails) {
  const std::string dll = cases + "tovracaller" + kExt;
  Check({
      {"help lists every exit code", "tovra-doctor", {"--help"}, "", 0,
       {"usage: tovra-doctor", "--stdin", "  10  the EXECUTE reply has no Result header"}, {}, {}},
      {"--stdin takes the call's bytes up to the line end, a trail byte 0x5D as a trail byte", "tovra-doctor",
       {"--stdin"},
       std::string("ok,") + kNihongo + ",\x83]\r\nignored", 0,
       {"    \"Argument0: \\x93\\xFA\\x96{\\x8C\\xEA\\r\\n\"\n", "    \"Argument1: \\x83]\\r\\n\"\n"}, {},
       {"ignored"}},
      {"--stdin with a plug-in on the command line is bad usage", "tovra-doctor", {"--stdin", "ok"}, "", 2, {},
       {"usage: tovra-doctor"}, {}},
#ifdef _WIN32
      {"Japanese arguments reach the plug-in in Shift_JIS", "tovra-doctor", {"ok", "日本語"}, "", 0,
       {"    \"Argument0: \\x93\\xFA\\x96{\\x8C\\xEA\\r\\n\"\n"}, {}, {}},
#endif
      {"no plug-in is bad usage", "tovra-doctor", {}, "", 2, {}, {"usage: tovra-doctor"}, {}},
      {"a good plug-in is brought up, called and unloaded", "tovra-doctor", {"calc", "add", "3", "4"}, "", 0,
       {"plug-in name:  \"CALC\"", std::string("the loader adds \"") + kExt + "\"", "load entry:    found as \"load\"",
        "unload entry:  found as \"unload\"", "request entry: found as \"request\"", "load call:     load(\"",
        "  returned 1\n", "version request (25 bytes):\n    \"GET Version TOVRA/1.0\\r\\n\"\n    \"\\r\\n\"\n",
        "    \"Argument0: add\\r\\n\"\n    \"Argument1: 3\\r\\n\"\n    \"Argument2: 4\\r\\n\"\n    \"\\r\\n\"\n",
        "    \"Result: 7\\r\\n\"", "Result:        \"7\"", "unload call:   unload()", "freed:", "(exit 0)"},
       {}, {}},
      {"the arguments are those of the call: commas split, empty ones dropped", "tovra-doctor",
       {"Ok", "a,b", "", "c"}, "", 0,
       {"plug-in name:  \"OK\"", "the arguments are: \"a\", \"b\", \"c\"", "Result:        \"{a|b|c}\""}, {}, {}},
      {"a \"]\" in an argument ends the call there", "tovra-doctor", {"ok", "a]b"}, "", 0,
       {"the library sees only $tovra[ok,a]", "Result:        \"{a}\""}, {}, {}},
      {"a plug-in with only \"_request\" works without a load call", "tovra-doctor", {"under"}, "", 0,
       {"load entry:    not exported", "request entry: found as \"_request\" (there is no \"request\")",
        "load call:     none"}, {}, {"unload call:"}},
      {"the plain names win over the underscore names", "tovra-doctor", {"both"}, "", 0,
       {"load entry:    found as \"load\" (its \"_load\" is not used)"}, {}, {}},
      {"a name that climbs out of the directory is refused", "tovra-doctor", {"..\\ok"}, "", 4,
       {"climbs out of it"}, {}, {"looked for:"}},
      {"a library path where there is none", "tovra-doctor", {"--dll", cases + "none" + kSeparator + "x" + kExt, "ok"},
       "", 3, {"there is no file"}, {}, {"looked for:"}},
      {"a missing plug-in is looked for under its upper-case name", "tovra-doctor", {"--dll", dll, "nosuch"}, "", 5,
       {"looked for:", "NOSUCH", std::string("there is no file ") , "the loader says"}, {}, {"entry"}},
      {"a plug-in without a request entry is freed unused", "tovra-doctor", {"noreq"}, "", 7,
       {"load entry:    found as \"load\"", "request entry: not exported", "freed:"}, {},
       {"load call:", "unload call:"}},
      {"a version reply of TOVRA/1.1 is refused after the load call", "tovra-doctor", {"v11"}, "", 8,
       {"load call:", "    \"TOVRA/1.1 200 OK\\r\\n\"", "refused: the reply does not begin with \"TOVRA/1.0\"",
        "unload call:   unload()"}, {}, {"EXECUTE"}},
      {"an EXECUTE reply with status 204 is said to be no content", "tovra-doctor", {"x204", "a"}, "", 9,
       {"    \"TOVRA/1.0 204 No Content\\r\\n\"",
        "refused: the plug-in answered \"no content\": it has no value for this call, and the call is replaced by "
        "nothing",
        "in a plug-in built on tovra_plugin.h: tovra_execute returned TOVRA_NO_RESULT"}, {}, {}},
      {"an SDK plug-in's TOVRA_NO_RESULT is said to be no content", "tovra-doctor", {"hookedc", "none"}, "", 9,
       {"answered \"no content\"", "tovra_execute returned TOVRA_NO_RESULT"}, {}, {}},
      {"an SDK plug-in's TOVRA_BAD_ARGUMENTS is said to be a bad request", "tovra-doctor", {"hookedc", "bad"}, "",
       9, {"answered \"bad request\"", "tovra_execute returned TOVRA_BAD_ARGUMENTS"}, {}, {}},
      {"a reply with another status is refused for its status line", "tovra-doctor", {"xreason", "a"}, "", 9,
       {"refused: the reply does not begin with the status line"}, {}, {"tovra_plugin.h"}},
      {"an SDK plug-in returning TOVRA_OK without a result splices an empty Result", "tovra-doctor",
       {"hookedc", "empty"}, "", 0,
       {"    \"Result: \\r\\n\"", "Result:        \"\" is what the library puts in the call's place",
        "an empty Result: the call is removed from the text", "(exit 0)"}, {}, {}},
      {"the C++ sample with both hooks works", "tovra-doctor", {"tally", "a", "b", "a"}, "", 0,
       {"load entry:    found as \"load\"", "unload entry:  found as \"unload\"", "Result:        \"1 1 2\"",
        "unload call:   unload()"}, {}, {}},
      {"the echo sample works", "tovra-doctor", {"echo", "a", "b"}, "", 0, {"Result:        \"a,b\""}, {}, {}},
      {"the upper sample works", "tovra-doctor", {"upper", "abc"}, "", 0, {"Result:        \"ABC\""}, {}, {}},
      {"C++ entry points without extern \"C\" are named as such", "tovra-doctor", {"mangled"}, "", 7,
       {"request entry: not exported",
#ifdef _WIN32
        "\"load\" is exported under the C++ name \"_Z4loadPvl\": declare it extern \"C\" so that it is exported as "
        "\"load\"",
        "\"unload\" is exported under the C++ name \"_Z6unloadv\"",
        "\"request\" is exported under the C++ name \"_Z7requestPvPl\"",
        "the plug-in exports \"_Z4loadPvl\", \"_Z6unloadv\", \"_Z7requestPvPl\""
#endif
       }, {}, {"load call:"}},
      {"an accepted reply without Result splices nothing", "tovra-doctor", {"xnoresult", "a"}, "", 10,
       {"    \"Value: {a}\\r\\n\"", "no Result header"}, {}, {}},
      {"a stated length beyond the reply block is read no further than the block", "tovra-doctor", {"xbeyond", "a"},
       "", 0, {"the stated length 1073741824 is larger than the block", "Result:        \"{a}\""}, {}, {}},
#ifdef _WIN32
      // The folder holds no surrogate, so none can be started.
      {"a plug-in of the other bitness goes to a surrogate of its bitness beside the library", "tovra-doctor",
       {"--dll", dll, "other"}, "", 12,
       {"where:         in a " + PeImage::Bitness(kOtherMachine) + " surrogate, ",
        "could not be started: it is missing, or this system cannot run its programs"}, {}, {"freed:"}},
      {"a plug-in of the doctor's bitness beside a library of the other needs the other doctor", "tovra-doctor",
       {"--dll", cases + "other" + kSeparator + "tovracaller" + kExt, "own"}, "", 2,
       {"loading:       not tried: this tovra-doctor is a " + OwnBitness() + " program"}, {}, {}},
#else
      {"a plug-in of the other bitness is refused from its header", "tovra-doctor", {"--dll", dll, "other"}, "", 6,
       {"loading:       refused", OtherBitnessFacts() + "; the library is a " + OwnBitness() +
        " DLL and loads only " + OwnBitness() + " DLLs", ": build it for " + OwnBitness()}, {}, {"freed:"}},
      {"a plug-in of the doctor's bitness is refused beside a library of the other", "tovra-doctor",
       {"--dll", cases + "other" + kSeparator + "tovracaller" + kExt, "own"}, "", 6,
       {"loading:       refused", "the library is a " + PeImage::Bitness(kOtherMachine) + " DLL and loads only " +
        PeImage::Bitness(kOtherMachine) + " DLLs", ": build it for " + PeImage::Bitness(kOtherMachine)}, {}, {}},
#endif
      {"a library of the other bitness needs the doctor built beside it", "tovra-doctor",
       {"--dll", cases + "other" + kSeparator + "tovracaller" + kExt, "other"}, "", 2,
       {"loading:       not tried: this tovra-doctor is a " + OwnBitness() + " program",
        "run the tovra-doctor built beside that library"}, {}, {"freed:"}},
      {"a plug-in whose DLL is missing names that DLL", "tovra-doctor", {"--dll", dll, "nodep"}, "", 6,
       {"loading:       failed", std::string("tovra_departed") + kExt + ", which the loader cannot find",
#ifdef _WIN32
        "tovra_departed.dll, which the loader cannot find (it lies beside", "but the loader does not look there"
#endif
       },
       {}, {}},
      {"a plug-in whose C++ runtime DLL is missing names it and says how to need none", "tovra-doctor",
       {"--dll", dll, "noruntime"}, "", 6,
       {"loading:       failed",
#ifdef _WIN32
        "it imports libstdc++-6.dll, which the loader cannot find (a DLL of the compiler's runtime: link the plug-in "
        "with -static and it needs none)"
#else
        "it needs libstdc++-6.so, which the loader cannot find"
#endif
       }, {}, {"%1"}},
#ifdef _WIN32
      {"a plug-in of the other bitness that imports the C++ runtime is told so before its surrogate",
       "tovra-doctor", {"--dll", dll, "otherrt"}, "", 12,
       {"it imports libstdc++-6.dll of the compiler's runtime, which hosts do not carry: link the plug-in with "
        "-static", "where:         in a " + PeImage::Bitness(kOtherMachine) + " surrogate, "}, {}, {}},
#else
      {"a plug-in of the other bitness that imports the C++ runtime is told both", "tovra-doctor",
       {"--dll", dll, "otherrt"}, "", 6,
       {"loading:       refused", "is a " + PeImage::Bitness(kOtherMachine) + " DLL",
        ": build it for " + OwnBitness(),
        "it imports libstdc++-6.dll of the compiler's runtime, which hosts do not carry: link the plug-in with "
        "-static"}, {}, {}},
#endif
      {"a file that is no library is refused with the loader's words, inserts filled in", "tovra-doctor",
       {"--dll", dll, "text"}, "", 6,
       {"loading:       failed", "the loader refuses " + cases + "TEXT" + kExt
#ifdef _WIN32
        , "TEXT.dll is not a Windows DLL"
#endif
       }, {}, {"%1"}},
      {"the doctor calls unload once, after the one call", "tovra-doctor", {"counter"}, "", 0,
       {"Result:        \"1\""}, {"counter: load\ncounter: unload after 1 calls\n"}, {}},
#ifdef _WIN32
      {"a fault in a request is named, with its module and offset and the line's command", "tovra-doctor",
       {"faulty", "write"}, "", 11,
       {"fault:         access violation writing address 0", " answering the EXECUTE request", "  at FAULTY.dll+0x",
        "addr2line -f -C -e ", "unload call:", "verdict:       the plug-in faulted"}, {}, {"Result:"}},
      {"an exception raised through the system is traced to the plug-in's call", "tovra-doctor", {"faulty", "msvc"},
       "", 11, {"C++ exception (thrown by MSVC-built code) (exception E06D7363)", ", raised from FAULTY.dll+0x"}, {},
       {}},
      {"a fault in the load entry ends the bring-up", "tovra-doctor", {"faultload"}, "", 11,
       {"fault:         access violation writing address 0", " in its load entry", "unload call:"}, {},
       {"version request"}},
#endif
  });
}

TEST(PluginDoctorVisibleTest, ShowsEveryByteUnambiguously) {
  const struct {
    const char *sentence;
    std::string bytes;
    const char *shown;
  } table[] = {
      {"printable ASCII stays as it is", "Result: 7", "\"Result: 7\""},
      {"line ends and tabs are named", "a\r\nb\tc", "\"a\\r\\nb\\tc\""},
      {"quotes and backslashes are escaped", "C:\\x \"y\"", "\"C:\\\\x \\\"y\\\"\""},
      {"a zero byte inside is shown, not an end", std::string("a\0b", 3), "\"a\\x00b\""},
      {"Shift_JIS and other high bytes are shown in hex", "\x83\x5C\x7F\xFF", "\"\\x83\\\\\\x7F\\xFF\""},
  };
  for (const auto &c : table) {
    SCOPED_TRACE(c.sentence);
    EXPECT_EQ(PluginDoctor::Visible(c.bytes.data(), c.bytes.size()), c.shown);
  }
}

}  // namespace
