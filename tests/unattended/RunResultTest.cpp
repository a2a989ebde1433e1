#include "unattended/RunResult.h"
#include "TestSupport.h"
#include "framework/Files.h"
#include "framework/InstanceLock.h"
#include "unattended/RunLocks.h"

#include <gtest/gtest.h>

namespace {

TEST(RunResult, TextsAreEscapedForJson) {
  const struct {
    std::string Text, Json;
  } cases[] = {
      {"", "\"\""},
      {"C:\\Quivex\\Out", "\"C:\\\\Quivex\\\\Out\""},
      {"say \"no\"", "\"say \\\"no\\\"\""},
      {"a\rb\nc\td", "\"a\\rb\\nc\\td\""},
      {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      {"caf\xc3\xa9 /", "\"caf\xc3\xa9 /\""}, // UTF-8 stays as it is
  };
  for (const auto &c : cases)
    EXPECT_EQ(JsonString(c.Text), c.Json);
}

// The program's texts are in the system code page, Windows-1252 here as on a Western Windows; the
// document is UTF-8 on both builds.
TEST(RunResult, TextsAreConvertedFromTheSystemCodePage) {
  TRunResult result;
  TEnvironmentResult environment;
  environment.Name = "Caf\xe9 \x80 \x9c";
  environment.Error = "\xc0 \xff";
  result.Environments = {environment};
  std::string json = ResultJson(result);
  EXPECT_NE(json.find("\"name\": \"Caf\xc3\xa9 \xe2\x82\xac \xc5\x93\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"error\": \"\xc3\x80 \xc3\xbf\""), std::string::npos) << json;
}

TEST(RunResult, TimesAreIsoUtc) {
  EXPECT_EQ(IsoUtcTime(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(IsoUtcTime(1796083200 + 3600 * 9 + 62), "2026-12-01T09:01:02Z");
}

TEST(RunResult, TheDocumentHoldsTheRunAndEveryEnvironment) {
  TRunResult result;
  result.Version = "7.0.0";
  result.Started = 1796083200;
  result.Ended = 1796083265;
  result.ExitCode = 1;
  result.Options.Patterns = {"Delphi 7*"};
  result.Options.Install = true;
  result.Options.LogFile = "C:\\log.txt";
  result.SourceFolder = "C:\\Quivex";
  result.DestinationFolder = "C:\\Quivex\\Out";
  TEnvironmentResult ok;
  ok.Index = 3;
  ok.Name = "Delphi 7 Enterprise (update 1)";
  ok.Folder = "C:\\D7";
  ok.Status = "ok";
  ok.Seconds = 12.3456;
  ok.Warnings = {"No \"cache\"."};
  ok.Packages = {"Zel77", "ZelDB77"};
  ok.OutputFolder = "C:\\Quivex\\Out\\Delphi7";
  TEnvironmentResult skipped;
  skipped.Index = 4;
  skipped.Name = "Delphi 7 Enterprise (update 1) (CLX)";
  skipped.Status = "skipped";
  result.Environments = {ok, skipped};
  const std::string expected = R"json({
  "program": "ZelRecompile",
  "version": "7.0.0",
  "started": "2026-12-01T00:00:00Z",
  "ended": "2026-12-01T00:01:05Z",
  "exitCode": 1,
  "error": "",
  "options": {
    "environments": ["Delphi 7*"],
    "source": "C:\\Quivex",
    "destination": "C:\\Quivex\\Out",
    "xfm": false,
    "install": true,
    "dcube": false,
    "yes": false,
    "standard": false,
    "jobs": 1,
    "log": "C:\\log.txt"
  },
  "environments": [
    {
      "index": 3,
      "name": "Delphi 7 Enterprise (update 1)",
      "folder": "C:\\D7",
      "status": "ok",
      "seconds": 12.346,
      "error": "",
      "warnings": ["No \"cache\"."],
      "packages": ["Zel77", "ZelDB77"],
      "outputFolder": "C:\\Quivex\\Out\\Delphi7"
    },
    {
      "index": 4,
      "name": "Delphi 7 Enterprise (update 1) (CLX)",
      "folder": "",
      "status": "skipped",
      "seconds": 0.000,
      "error": "",
      "warnings": [],
      "packages": [],
      "outputFolder": ""
    }
  ]
}
)json";
  EXPECT_EQ(ResultJson(result), expected);
  result.Environments.clear();
  EXPECT_NE(ResultJson(result).find("\"environments\": []\n}"), std::string::npos);
}

TEST(RunResult, TheFileIsReplacedWholeOrNotAtAll) {
  TTempFolder temp;
  TRunResult result;
  result.ExitCode = 3;
  WriteTextFile(temp / "r.json", "an older result, longer than the new one will be ...............");
  WriteResultFile(temp / "r.json", result);
  EXPECT_EQ(ReadTextFile(temp / "r.json"), ResultJson(result));
  EXPECT_EQ(ListTree(temp.Path()), (std::vector<std::string>{"r.json"})); // no temporary file is left
  EXPECT_THROW(WriteResultFile(temp / "missing\\r.json", result), EFileError);
}

// The folder's spellings themselves are the file layer's to tell apart (ComparablePath).
TEST(RunLocks, OneFolderOrEnvironmentHasOneLockWhateverItsSpelling) {
  TTempFolder temp;
  const std::string out = temp / "Quivex\\Out";
  const std::string name = DestinationLockName(out);
  EXPECT_EQ(name.rfind("ZelRecompile.Destination.", 0), 0u);
  EXPECT_EQ(name.find('\\'), std::string::npos);
  for (const std::string &same : {temp / "quivex\\OUT", temp / "Quivex/Out", out + "\\",
                                  temp / "Quivex\\.\\Out", temp / "Quivex\\..\\Quivex\\Out"})
    EXPECT_EQ(DestinationLockName(same), name) << same;
  for (const std::string &other : {temp / "Quivex\\Out2", temp / "Quivex", temp / "Out"})
    EXPECT_NE(DestinationLockName(other), name) << other;

  const std::string folder = temp / "Borland\\Delphi7";
  const std::string delphi7 = InstallLockName("Software\\Borland\\Delphi\\7.0", folder);
  EXPECT_EQ(delphi7.rfind("ZelRecompile.Install.", 0), 0u);
  EXPECT_EQ(InstallLockName("\\SOFTWARE\\borland\\delphi\\7.0", temp / "BORLAND\\.\\Delphi7\\"), delphi7);
  EXPECT_NE(InstallLockName("Software\\Borland\\Delphi\\6.0", folder), delphi7);
  EXPECT_NE(InstallLockName("Software\\Borland\\Delphi\\7.0", temp / "Borland\\Delphi7 Copy"), delphi7);
}

TEST(InstanceLock, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  const std::string name = DestinationLockName(ZEL_BINARY_DIR "\\InstanceLockTest");
  {
    TInstanceLock first(name);
    ASSERT_TRUE(first.Held());
    TInstanceLock second(name);
    EXPECT_FALSE(second.Held());
    TInstanceLock other(name + "x");
    EXPECT_TRUE(other.Held());
  }
  TInstanceLock again(name);
  EXPECT_TRUE(again.Held());
}

} // namespace
