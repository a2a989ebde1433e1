#include "app/UnattendedRun.h"
#include "TestRows.h"
#include "TestSupport.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Files.h"
#include "framework/InstanceLock.h"
#include "framework/Process.h"
#include "framework/RegFile.h"
#include "framework/Text.h"
#include "librarybuild/CompileProcs.h"
#include "session/BuildLog.h"
#include "unattended/RunLocks.h"
#include "unattended/RunResult.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>

namespace {

using TParameters = std::vector<std::string>;

// The install and Decision Cube steps belong to other parts of the program: here they only show
// that the run reached them.
class TWatchedForm : public TUnattendedForm {
public:
  std::vector<std::string> *Steps = nullptr;
  bool RealInstall = false;
  void InstallEnvironment(int index, bool silent) override {
    Steps->push_back("install " + Environments[std::size_t(index)].CheckBox->Caption() +
                     (silent ? " silent" : ""));
    if (RealInstall)
      TUnattendedForm::InstallEnvironment(index, silent);
  }
  void RebuildDecisionCube(int index) override {
    Steps->push_back("dcube " + Environments[std::size_t(index)].CheckBox->Caption());
  }
};

std::string RegPath(std::string path) {
  std::string escaped;
  for (char c : path)
    escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return escaped;
}

// The values of every "key": "text" pair of a result document, in document order.
std::vector<std::string> JsonTexts(const std::string &json, const std::string &key) {
  std::vector<std::string> values;
  const std::string opening = "\"" + key + "\": \"";
  for (auto at = json.find(opening); at != std::string::npos; at = json.find(opening, at)) {
    at += opening.size();
    std::string value;
    for (; at < json.size() && json[at] != '"'; ++at)
      value += json[at] == '\\' ? json[++at] : json[at];
    values.push_back(value);
  }
  return values;
}

// The sample machine's Delphi 7 and C++Builder 6 with the stand-ins, in folders with blanks, and a
// copy of the sample sources.
class UnattendedRunTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TTempFolder root;
  const std::string src = root / "Quivex Src";
  const std::string delphi7 = root / "Borland Env\\Delphi7";
  const std::string builder6 = root / "Borland Env\\CBuilder6";
  const std::string startFolder = Fs::CurrentFolder();
  std::string systemFolder;
  std::vector<std::string> lines, steps;
  bool realInstall = false;

  UnattendedRunTest() {
    ResetProgramState();
    Application().SetParameters({});
    CopyTree(SourcePath("sample\\Quivex"), src);
    Environment("Delphi7", delphi7, {"dcc32"});
    Environment("CBuilder6", builder6, {"dcc32", "make", "bpr2mak"});
    ImportRegText("REGEDIT4\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
                  "\"ProgramFilesDir\"=\"C:\\\\Nowhere\"\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\7.0]\r\n\"RootDir\"=\"" +
                  RegPath(delphi7) +
                  "\"\r\n\"Version\"=\"CSS\"\r\n\"Update #1\"=\"1\"\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\C++Builder\\6.0]\r\n\"RootDir\"=\"" +
                  RegPath(builder6) + "\"\r\n\"Version\"=\"CSS\"\r\n\"Update #4 Installed\"=\"yes\"\r\n");
#ifndef _WIN32
    Fs::SetSystemFolder(root / "System32");
    Fs::CreateFolder(root / "System32");
#endif
    systemFolder = SystemFolder();
    Fs::SetCurrentFolder(root.Path()); // the tools must not depend on where the program started
  }
  ~UnattendedRunTest() override {
    Fs::SetCurrentFolder(startFolder);
    // Under Wine the system folder is the prefix's own: take back the runtime packages.
    for (const auto &output : ListTree(root.Path()))
      if (output.find("\\System\\") != std::string::npos && output.size() > 4 &&
          output.substr(output.size() - 4) == ".bpl")
        Fs::DeleteFile(systemFolder + "\\" + output.substr(output.find_last_of('\\') + 1));
    ResetProgramState();
  }

  void Environment(const std::string &name, const std::string &folder,
                   std::initializer_list<const char *> tools) {
    CopyTree(SourcePath("sample\\Environments\\Borland\\" + name), folder);
    for (const char *tool : tools)
      ASSERT_TRUE(Fs::CopyFile(ProgramPath(tool), folder + "\\bin\\" + tool + ".exe", false)) << tool;
  }

  int Run(const TParameters &parameters) {
    lines.clear();
    steps.clear();
    return RunUnattended(
        parameters, [this](const std::string &line) { lines.push_back(line); },
        [this] {
          auto form = std::make_unique<TWatchedForm>();
          form->Steps = &steps;
          form->RealInstall = realInstall;
          return form;
        });
  }
  bool Printed(const std::string &line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::string Lines() const {
    std::string all;
    for (const auto &line : lines)
      all += line + "\n";
    return all;
  }
};

TEST_F(UnattendedRunTest, TheListAndTheUsageErrors) {
  ASSERT_EQ(Run({"/list"}), ExitOk);
  EXPECT_EQ(lines, (std::vector<std::string>{"0\tDelphi 7 Enterprise (update 1)\t" + delphi7,
                                             "1\tDelphi 7 Enterprise (update 1) (CLX)\t" + delphi7,
                                             "2\tC++Builder 6 Enterprise\t" + builder6,
                                             "3\tC++Builder 6 Enterprise (CLX)\t" + builder6}))
      << Lines();

  const struct {
    TParameters Parameters;
    std::string Message;
  } cases[] = {
      {{"/bild"}, "Unknown switch: /bild"},
      {{"/build", "/env:all"}, "No source folder is saved: give /source:FOLDER."},
      {{"/build", "/env:Delphi 9*", "/source:" + src},
       "No environment matches /env:Delphi 9* (/list shows them)."},
      {{"/build", "/env:all", "/source:" + root / "missing"},
       "The source folder does not exist: " + root / "missing"},
      {{"/build", "/env:all", "/source:" + src, "/result:" + root / "missing\\r.json"},
       "The folder of /result does not exist: " + root / "missing"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(Run(c.Parameters), ExitUsage) << c.Message;
    ASSERT_GE(lines.size(), 2u) << c.Message;
    EXPECT_EQ(lines[0], c.Message);
    EXPECT_EQ(lines[1].rfind("Usage: ", 0), 0u) << lines[1];
  }
  EXPECT_FALSE(Fs::DirectoryExists(src + "\\Compiled\\Delphi7"));
}

TEST_F(UnattendedRunTest, BuildsTheNamedRowsThroughTheWindowsRunAndReportsThem) {
  // The log relative to the current folder at the start, which the builds change.
  const std::string result = root / "result.json", log = root / "Log.txt";
  int code =
      Run({"/build", "/env:delphi 7 enterprise (update 1)", "-ENV:c++builder 6 enterprise", "/source:" + src,
           "/dest:Compiled Out", "/install", "/dcube", "/yes", "/log:Log.txt", "/result:" + result});
  ASSERT_EQ(code, ExitOk) << Lines();

  const std::string out = src + "\\Compiled Out";
  EXPECT_TRUE(Printed("Answered Yes: Destination folder:  " + out + " Does not exist. Create ?")) << Lines();
  EXPECT_TRUE(Printed("Delphi 7 Enterprise (update 1)"));
  EXPECT_TRUE(Printed("  Compiling... Zel77"));
  EXPECT_TRUE(Printed("  Compiling... Zel7C6"));
  EXPECT_EQ(lines.back(), "2 of 2 environments built.");
  EXPECT_EQ(steps, (std::vector<std::string>{"install Delphi 7 Enterprise (update 1) silent",
                                             "dcube Delphi 7 Enterprise (update 1)",
                                             "install C++Builder 6 Enterprise silent",
                                             "dcube C++Builder 6 Enterprise"}));
  for (const char *file : {"Delphi7\\System\\Zel77.bpl", "Delphi7\\ZelInstall.exe",
                           "BuilderC6\\System\\Zel7C6.bpl", "BuilderC6\\Include\\ZelChart.hpp"})
    EXPECT_TRUE(Fs::FileExists(out + "\\" + file)) << file;
  EXPECT_FALSE(Fs::DirectoryExists(out + "\\Delphi7CLX")); // the CLX rows were not named

  std::string json = ReadTextFile(result);
  EXPECT_EQ(JsonTexts(json, "name"),
            (std::vector<std::string>{"Delphi 7 Enterprise (update 1)", "C++Builder 6 Enterprise"}));
  EXPECT_EQ(JsonTexts(json, "status"), (std::vector<std::string>{"ok", "ok"}));
  EXPECT_EQ(JsonTexts(json, "outputFolder"),
            (std::vector<std::string>{out + "\\Delphi7", out + "\\BuilderC6"}));
  EXPECT_EQ(JsonTexts(json, "folder"), (std::vector<std::string>{delphi7, builder6}));
  EXPECT_EQ(JsonTexts(json, "destination"), (std::vector<std::string>{out}));
  EXPECT_NE(json.find("\"packages\": [\"Zel77\", \"ZelUI77\", \"ZelDB77\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"DclZelStd7C6\", \"DclZelProStd7C6\"],"), std::string::npos);
  EXPECT_NE(json.find("\"install\": true"), std::string::npos);
  EXPECT_NE(json.find("\"exitCode\": 0"), std::string::npos);

  // The whole log, as the log view would hold it without the install's own flushes.
  TStringList logLines = SplitLines(ReadTextFile(log));
  ASSERT_GE(logLines.size(), 4u);
  EXPECT_EQ(logLines[0].rfind("Compilation started: ", 0), 0u);
  EXPECT_EQ(logLines[2], "Delphi 7 Enterprise (update 1)");
  EXPECT_EQ(std::count(logLines.begin(), logLines.end(), std::string(80, '=')), 2);
  EXPECT_EQ(logLines.back(), std::string(80, '='));
}

TEST_F(UnattendedRunTest, WithoutYesAQuestionFailsTheRunOrTheEnvironmentThatAsks) {
  const std::string result = root / "result.json";
  const TParameters build = {
      "/build",    "/env:Delphi 7*(update 1)", "/env:C++Builder 6 Enterprise", "/source:" + src,
      "/dest:Out", "/result:" + result};
  EXPECT_EQ(Run(build), ExitFailed) << Lines();
  std::string json = ReadTextFile(result);
  EXPECT_EQ(JsonTexts(json, "error"),
            (std::vector<std::string>{"Question needs an answer: Destination folder:  " + src +
                                          "\\Out Does not exist. Create ?",
                                      "", ""}))
      << json;
  EXPECT_EQ(JsonTexts(json, "status"), (std::vector<std::string>{"skipped", "skipped"}));
  EXPECT_FALSE(Fs::DirectoryExists(src + "\\Out"));

  // An older copy of a library unit in the environment: moving it aside needs a Yes.
  Fs::CreateFolder(src + "\\Out");
  WriteTextFile(delphi7 + "\\lib\\ZelChart.dcu", "old");
  EXPECT_EQ(Run(build), ExitFailed) << Lines();
  json = ReadTextFile(result);
  const std::string question = "Question needs an answer: Old Quivex Standard files found at: " + delphi7 +
                               "\\lib Those files should be moved to a backup folder. Continue?";
  EXPECT_EQ(JsonTexts(json, "status"), (std::vector<std::string>{"error", "skipped"}));
  EXPECT_EQ(JsonTexts(json, "error"), (std::vector<std::string>{"", question, ""}));
  EXPECT_NE(json.find("\"exitCode\": 1"), std::string::npos);
  EXPECT_TRUE(Printed("  ERROR: " + question)) << Lines();
  EXPECT_TRUE(Fs::FileExists(delphi7 + "\\lib\\ZelChart.dcu"));
}

// Yes to "close the IDE" while it keeps running would ask for ever: the repeated question fails the
// environment instead, and the run ends.
TEST_F(UnattendedRunTest, AnIdeThatStaysOpenFailsItsEnvironmentEvenWithYes) {
  const std::string result = root / "result.json", stopFile = root / "stop";
  ASSERT_TRUE(Fs::CopyFile(ProgramPath("Delphi32"), delphi7 + "\\bin\\Delphi32.exe", false));
  TPipe input, output;
  std::uint32_t error = 0;
  ASSERT_TRUE(CreateChildPipe(input, TChildEnd::Read, error) &&
              CreateChildPipe(output, TChildEnd::Write, error));
  TChildProcess ide;
  ASSERT_TRUE(ide.Start(Quoted(delphi7 + "\\bin\\Delphi32.exe") + " " + Quoted(ChildPath(stopFile)) + " 300",
                        input.ReadEnd, output.WriteEnd));
  Fs::CreateFolder(src + "\\Out");
  int code = Run({"/build", "/env:Delphi 7*(update 1)", "/source:" + src, "/dest:Out", "/install", "/yes",
                  "/result:" + result});
  WriteTextFile(stopFile, "stop");
  EXPECT_TRUE(ide.WaitForExit(30000));

  EXPECT_EQ(code, ExitFailed) << Lines();
  const std::string question = "Please close Delphi 7 and click Yes to continue.";
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Answered Yes: " + question), 1) << Lines();
  std::string json = ReadTextFile(result);
  EXPECT_EQ(JsonTexts(json, "status"), (std::vector<std::string>{"error"}));
  EXPECT_EQ(JsonTexts(json, "error"),
            (std::vector<std::string>{"", "Question needs an answer: " + question}));
  EXPECT_TRUE(steps.empty()); // no install after a failed build
}

TEST_F(UnattendedRunTest, ASecondRunIntoTheSameDestinationIsRefused) {
  const std::string result = root / "result.json";
  Fs::CreateFolder(src + "\\Out");
  TInstanceLock first(DestinationLockName(src + "\\.\\OUT\\")); // the folder, however the first run spelt it
  ASSERT_TRUE(first.Held());
  EXPECT_EQ(Run({"/build", "/env:all", "/source:" + src, "/dest:Out", "/yes", "/result:" + result}),
            ExitAnotherRun);
  EXPECT_EQ(lines, (std::vector<std::string>{"Another run builds into " + src + "\\Out."}));
  std::string json = ReadTextFile(result);
  EXPECT_NE(json.find("\"exitCode\": 3"), std::string::npos);
  EXPECT_EQ(ListTree(src + "\\Out"), std::vector<std::string>{}); // nothing was built
}

// The install refused because another run installs into the same environment (exit 3, as for the
// destination), and the .NET install without the cache tool: failed unless /yes said to go on, and
// then "ok" with the warning.
TEST_F(UnattendedRunTest, TheInstallFailsWhileAnotherRunInstallsAndWarnsWithoutTheCacheTool) {
  const std::string bds = root / "Borland Env\\BDS";
  Environment("BDS\\2.0", bds, {"dccil"});
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\BDS\\2.0]\r\n\"RootDir\"=\"" +
                RegPath(bds) + "\"\r\n\"Edition\"=\"CSS\"\r\n");
  Fs::CreateFolder(src + "\\Out");
  realInstall = true;
  const std::string result = root / "result.json", dotNet = "D8.NET*";
  const std::string missing = "Cannot find .Net GACUTIL.EXE tool in current search path.";
  const struct {
    std::string Pattern;
    bool Yes, Locked;
    int Code;
    std::string Status, Error, Warnings;
  } cases[] = {
      {dotNet, false, false, ExitFailed, "error",
       missing + " Going on without the assembly cache needs /yes.", "[]"},
      {dotNet, true, false, ExitOk, "ok", "",
       "[\"" + missing + " No assembly was installed to the global assembly cache.\"]"},
      {"Delphi 7*(update 1)", true, true, ExitAnotherRun, "error",
       "Another run installs into Delphi 7 Enterprise (update 1).", "[]"},
  };
  for (const auto &c : cases) {
    TParameters parameters = {"/build",    "/env:" + c.Pattern, "/source:" + src,
                              "/dest:Out", "/install",          "/result:" + result};
    if (c.Yes)
      parameters.push_back("/yes");
    std::optional<TInstanceLock> other;
    if (c.Locked)
      other.emplace(InstallLockName("Software\\Borland\\Delphi\\7.0", delphi7));
    EXPECT_EQ(Run(parameters), c.Code) << Lines();
    std::string json = ReadTextFile(result);
    EXPECT_EQ(JsonTexts(json, "status"), std::vector<std::string>{c.Status}) << json;
    EXPECT_EQ(JsonTexts(json, "error"), (std::vector<std::string>{"", c.Error})) << json;
    EXPECT_NE(json.find("\"warnings\": " + c.Warnings + ",\n"), std::string::npos) << json;
    EXPECT_TRUE(Printed(c.Error.empty() ? "  Warning: " + c.Warnings.substr(2, c.Warnings.size() - 4)
                                        : "  ERROR: " + c.Error))
        << Lines();
    EXPECT_EQ(steps.size(), 1u) << Lines(); // the run reached the install
  }
}

#ifdef _WIN32
// The program's own command line is split as every Windows program splits its own: the escaped
// quote stays inside /dest, whose value no folder can have, and /yes and /result after it stay
// switches of their own instead of being swallowed into the destination.
TEST(UnattendedCommandLine, AQuoteEscapedInAFolderIsAUsageErrorOfItsSwitch) {
  TTempFolder temp;
  TPipe input, output;
  std::uint32_t error = 0;
  ASSERT_TRUE(CreateChildPipe(input, TChildEnd::Read, error) &&
              CreateChildPipe(output, TChildEnd::Write, error));
  TChildProcess program;
  ASSERT_TRUE(program.Start(
      Quoted(BinaryPath("bin\\ZelRecompile.exe")) +
          " /build \"/env:Delphi 7 Enterprise\" \"/dest:Out\\\"x\" /yes /result:" + (temp / "r.json"),
      input.ReadEnd, output.WriteEnd));
  ASSERT_TRUE(program.WaitForExit(60000));
  EXPECT_EQ(program.ExitCode(), std::uint32_t(ExitUsage));
  output.WriteEnd.Close();
  std::string printed;
  char buffer[4096];
  while (std::uint32_t n = output.ReadEnd.Read(buffer, sizeof buffer))
    printed.append(buffer, n);
  EXPECT_EQ(printed.substr(0, printed.find('\r')),
            "The value of /dest holds a character that no path can (\" < > | * ?): Out\"x");
  EXPECT_FALSE(Fs::FileExists(temp / "r.json"));
}
#endif

} // namespace

namespace {

// The install's places on the sample's three kinds of environment: the environments' keys, the
// help and assembly folders, the install record, the environments' folders and the runtime packages
// in the system folder.
class UninstallRoundTripTest : public UnattendedRunTest {
protected:
  const std::string bds = root / "Borland Env\\BDS";
  UninstallRoundTripTest() {
    Environment("BDS\\2.0", bds, {"dccil"});
    ImportRegText(
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\BDS\\2.0]\r\n\"RootDir\"=\"" + RegPath(bds) +
        "\"\r\n\"Edition\"=\"CSS\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n"
        "\"C:\\\\Old\\\\DclZel67.bpl\"=\"Quivex 6\"\r\n\"$(DELPHI)\\\\Bin\\\\dclzel70.bpl\"=\"Chart\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Disabled Packages]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Library]\r\n"
        "\"Search Path\"=\"$(DELPHI)\\\\Lib;C:\\\\Mine\"\r\n\"Browsing Path\"=\"$(DELPHI)\\\\Source\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Borland\\C++Builder\\6.0\\Known Packages]\r\n"
        "\"$(BCB)\\\\Bin\\\\DCLZEL60.BPL\"=\"Chart\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Borland\\C++Builder\\6.0\\Environment Variables]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Borland\\BDS\\2.0\\Known Assemblies]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Borland\\BDS\\2.0\\Library]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Help]\r\n");
    WriteTextFile(delphi7 + "\\bin\\defproj.dof", "[Directories]\r\nSearchPath=$(DELPHI)\\Lib\r\n");
    WriteTextFile(systemFolder + "\\Zel77.bpl", "an older runtime package the IDE loads today");
  }
  std::string Snapshot() {
    std::string text =
        MachineSnapshot({{TRootKey::CurrentUser, "Software\\Borland"},
                         {TRootKey::CurrentUser, "Software\\Velmora Software\\Quivex Pro v7 VCL"},
                         {TRootKey::LocalMachine, "Software\\Microsoft\\Windows\\Help"},
                         {TRootKey::LocalMachine, "Software\\Microsoft\\.NETFramework"}},
                        {delphi7, builder6, bds});
    for (const auto &name : ListFiles(systemFolder + "\\*.bpl"))
      text += name + " " + ReadTextFile(systemFolder + "\\" + name) + "\n";
    return text;
  }
  std::string Value(const std::string &key, const std::string &name) {
    TRegistry registry(TRootKey::CurrentUser);
    return registry.OpenKeyReadOnly(key) ? registry.ReadString(name) : "<no key>";
  }
  const std::vector<std::string> environments = {"/env:Delphi 7*(update 1)", "/env:C++Builder 6 Enterprise",
                                                 "/env:D8.NET*"};
  int BuildAndInstall() {
    TParameters parameters = environments;
    for (std::string extra : {std::string("/build"), "/source:" + src, std::string("/dest:Out"),
                              std::string("/install"), std::string("/yes")})
      parameters.push_back(extra);
    return Run(parameters);
  }
  int Uninstall(const std::string &result) {
    TParameters parameters = environments;
    for (std::string extra : {std::string("/uninstall"), std::string("/yes"), "/result:" + result})
      parameters.push_back(extra);
    return Run(parameters);
  }
};

TEST_F(UninstallRoundTripTest, EachEnvironmentIsBackAsBeforeItsInstallAndTheUsersChangesStay) {
  realInstall = true;
  const std::string result = root / "uninstall.json", before = Snapshot();
  ASSERT_EQ(BuildAndInstall(), ExitOk) << Lines();
  ASSERT_NE(Snapshot(), before);
  EXPECT_EQ(Uninstall(result), ExitOk) << Lines();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(JsonTexts(ReadTextFile(result), "status"), (std::vector<std::string>{"ok", "ok", "ok"}));
  EXPECT_EQ(lines.back(), "3 of 3 environments uninstalled.");

  // Nothing left to do: said so, and nothing changes.
  EXPECT_EQ(Uninstall(result), ExitOk) << Lines();
  EXPECT_EQ(JsonTexts(ReadTextFile(result), "status"),
            (std::vector<std::string>{"skipped", "skipped", "skipped"}));
  EXPECT_EQ(Snapshot(), before);

  // Installed again (twice: an uninstall goes back before the first), then changed by hand.
  ASSERT_EQ(BuildAndInstall(), ExitOk) << Lines();
  ASSERT_EQ(BuildAndInstall(), ExitOk) << Lines();
  const std::string library = "\\Software\\Borland\\Delphi\\7.0\\Library";
  const std::string searchPath = Value(library, "Search Path");
  {
    TRegistry registry(TRootKey::CurrentUser);
    ASSERT_TRUE(registry.OpenKey(library, false));
    registry.WriteString("Search Path", "C:\\Added;" + searchPath);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Velmora Software\\Quivex Pro v7 VCL", false));
    registry.WriteString("BinPath", "C:\\Elsewhere");
  }
  const std::string options = delphi7 + "\\bin\\defproj.dof";
  std::string edited = ReadTextFile(options);
  edited.replace(edited.find("SearchPath="), 11, "SearchPath=C:\\Added;");
  WriteTextFile(options, edited + "Comment=mine\r\n");
  EXPECT_EQ(Uninstall(result), ExitOk) << Lines();
  // The path list loses only the install's entry and gets back the one it removed.
  EXPECT_EQ(Value(library, "Search Path"), "C:\\Added;$(DELPHI)\\Lib;C:\\Mine");
  EXPECT_EQ(Value("\\Software\\Velmora Software\\Quivex Pro v7 VCL", "BinPath"), "C:\\Elsewhere");
  // The options file keeps the user's entry and line; the install's own lines and entries go.
  EXPECT_EQ(ReadTextFile(options), "[Directories]\r\nSearchPath=C:\\Added;$(DELPHI)\\Lib\r\nComment=mine\r\n");
  std::string json = ReadTextFile(result);
  EXPECT_NE(
      json.find(
          "\"changedSinceInstall\": [\"HKEY_CURRENT_USER\\\\Software\\\\Velmora Software\\\\Quivex Pro v7 "
          "VCL\\\\BinPath\""),
      std::string::npos)
      << json;
  EXPECT_TRUE(Printed(
      "  changed since install: HKEY_CURRENT_USER\\Software\\Velmora Software\\Quivex Pro v7 VCL\\BinPath"))
      << Lines();
}

} // namespace
