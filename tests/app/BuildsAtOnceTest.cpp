#include "SampleMachine.h"
#include "TestRows.h"
#include "TestSupport.h"
#include "app/UnattendedRun.h"
#include "app/VersionsForm.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Desktop.h"
#include "framework/Files.h"
#include "framework/Registry.h"
#include "framework/Text.h"
#include "framework/TextLines.h"
#include "librarybuild/CompileProcs.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

namespace {

using TParameters = std::vector<std::string>;

const TParameters DelphiRows = {"/env:Delphi 5*", "/env:Delphi 6*", "/env:Delphi 7*"};

// What the run's window saw: where each environment's compiles were given their sources, and the
// rows as the run left them (the headless window and its rows go with the run).
struct TSeen {
  std::mutex Mutex;
  std::map<int, std::set<std::string>> SourceFolders;
  std::vector<std::pair<std::string, bool>> Rows; // status, ticked
};

class TStagedForm : public TUnattendedForm {
public:
  explicit TStagedForm(TSeen &seen) : seen_(seen) {}
  ~TStagedForm() override {
    for (int i = 0; i < EnvironmentCount; ++i)
      seen_.Rows.emplace_back(Environments[std::size_t(i)].StatusLabel->Caption(),
                              Environments[std::size_t(i)].CheckBox->Checked());
  }
  void BeforeCompile(int index, const std::string &, const std::string &sourceFolder) override {
    std::lock_guard lock(seen_.Mutex);
    seen_.SourceFolders[index].insert(sourceFolder);
  }

private:
  TSeen &seen_;
};

// The sample machine's nine environments, installed below a folder of the test's own.
class BuildsAtOnceTest : public ::testing::Test {
protected:
  std::unique_ptr<TRegistrySandbox> sandbox = std::make_unique<TRegistrySandbox>();
  TTempFolder root;
  const std::string startFolder = Fs::CurrentFolder();
  TSampleMachine machine;
  std::vector<std::string> lines;
  TSeen seen;

  std::set<std::string> hadInSystem; // of the Decision Cube's files that the runs write there

  BuildsAtOnceTest() {
    ResetProgramState();
    Application().SetParameters({});
    for (const char *name : {"dss70.bpl", "BackupOf_dss70.bpl"})
      if (Fs::FileExists(SystemFolder() + "\\" + name))
        hadInSystem.insert(name);
  }
  ~BuildsAtOnceTest() override {
    Fs::SetCurrentFolder(startFolder);
#ifdef _WIN32
    // The system folder is the prefix's own: take back what the runs put there.
    for (const auto &file : ListTree(machine.Sources + "\\Compiled"))
      if (file.find("\\System\\") != std::string::npos)
        Fs::DeleteFile(SystemFolder() + "\\" + file.substr(file.find_last_of('\\') + 1));
    for (const char *name : {"dss70.bpl", "BackupOf_dss70.bpl"})
      if (!hadInSystem.count(name))
        Fs::DeleteFile(SystemFolder() + "\\" + name);
#endif
    ResetProgramState();
  }

  // The machine afresh in the same place, registry and all; the system folder keeps what earlier
  // runs left there, as a machine's does.
  void Install(const std::string &standInSettings = "") {
    Fs::SetCurrentFolder(startFolder);
    RemoveTree(root / "Machine\\Program Files");
    RemoveTree(root / "Machine\\Quivex");
    sandbox.reset();
    sandbox = std::make_unique<TRegistrySandbox>();
    ResetProgramState();
    machine = InstallSampleMachine(SourcePath("sample"), root / "Machine", ProgramPath, standInSettings);
    Fs::SetCurrentFolder(root.Path()); // the tools must not depend on where the program started
  }

  int Run(TParameters parameters) {
    lines.clear();
    parameters.insert(parameters.begin(), {"/build", "/source:" + machine.Sources, "/dest:Compiled", "/yes"});
    return RunUnattended(
        parameters, [this](const std::string &line) { lines.push_back(line); },
        [this] { return std::make_unique<TStagedForm>(seen); });
  }
  std::string Lines() const {
    std::string all;
    for (const auto &line : lines)
      all += line + "\n";
    return all;
  }

  // The machine as a run leaves it: its folders and registry, time stamps aside (natively the
  // system folder lies in the machine's folder).
  std::string Snapshot() {
    return MachineSnapshot({{TRootKey::CurrentUser, "Software"}, {TRootKey::LocalMachine, "SOFTWARE"}},
                           {root / "Machine"});
  }
  // Under Windows the files of the system folder that the runs write. Other tests that run beside
  // this one write some of them too, and take them away: a file gone is left out.
  std::map<std::string, std::string> SystemFiles() {
    std::map<std::string, std::string> files;
#ifdef _WIN32
    std::vector<std::string> names = {"dss70.bpl"};
    for (const auto &file : ListTree(machine.Sources + "\\Compiled"))
      if (file.find("\\System\\") != std::string::npos)
        names.push_back(file.substr(file.find_last_of('\\') + 1));
    for (const auto &name : names)
      if (auto bytes = Fs::ReadWholeFile(SystemFolder() + "\\" + name))
        files[name] = *bytes;
#endif
    return files;
  }
  // The run's log with its times taken out.
  static std::string WithoutTimes(const std::string &log) {
    static const std::regex started("Compilation started: [^\r\n]*"), seconds("[0-9]+\\.[0-9]+ seconds");
    return std::regex_replace(std::regex_replace(log, started, "Compilation started:"), seconds, "- seconds");
  }
  std::vector<std::string> Statuses(const std::string &json) {
    std::vector<std::string> statuses;
    static const std::regex status("\"status\": \"([a-z]+)\"");
    for (std::sregex_iterator at(json.begin(), json.end(), status), end; at != end; ++at)
      statuses.push_back((*at)[1]);
    return statuses;
  }
};

// Four at once leave the machine, the sources and the log as one after another does. The second
// run finds the runtime packages of the first in the system folder, as a run on a machine that
// was built for before does.
TEST_F(BuildsAtOnceTest, FourAtOnceLeaveWhatOneAfterAnotherLeaves) {
  const TParameters options = {"/env:all", "/xfm", "/install", "/dcube", "/log:" + root / "Log.txt"};
  std::string snapshot[2], log[2];
  std::map<std::string, std::string> system[2];
  for (int run = 0; run < 2; ++run) {
    Install();
    TParameters parameters = options;
    parameters.push_back(run == 0 ? "/jobs:1" : "/jobs:4");
    ASSERT_EQ(Run(parameters), ExitOk) << Lines() << ReadTextFile(root / "Log.txt");
    snapshot[run] = Snapshot();
    system[run] = SystemFiles();
    log[run] = WithoutTimes(ReadTextFile(root / "Log.txt"));
  }
  EXPECT_EQ(snapshot[0], snapshot[1]);
  EXPECT_EQ(log[0], log[1]);
  for (const auto &[name, bytes] : system[1])
    if (system[0].count(name))
      EXPECT_TRUE(system[0][name] == bytes) << name;
  EXPECT_NE(snapshot[0].find("Zel7C6CLX.mak"), std::string::npos)
      << "a C++Builder build leaves its makefiles";
  EXPECT_FALSE(Fs::DirectoryExists(machine.Sources + "\\Compiled\\Staging"));
  // Each environment says when it starts and when it ends, with its time.
  EXPECT_NE(std::find(lines.begin(), lines.end(), "C++Builder 4 Professional: started"), lines.end())
      << Lines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string &line) {
    return std::regex_match(line, std::regex("C\\+\\+Builder 4 Professional: ok, [0-9]+\\.[0-9] s"));
  })) << Lines();
}

// One of four at once fails: those already building finish, the next is never started, and each
// environment compiled in a copy of the sources of its own below the destination, which the
// failing one keeps.
TEST_F(BuildsAtOnceTest, AFailureLetsTheOthersFinishAndSkipsTheRest) {
  // The Delphi 5 build fails at its first package while Delphi 6 and 7 (and their CLX rows) take
  // their time, so that none of the others can finish and free its place before it fails.
  Install();
  WriteTextFile(machine.Sources + "\\ZelFail.inc",
                "{$IFDEF VER130}{$MESSAGE FATAL 'Broken on Delphi 5'}{$ENDIF}\r\n");
  std::string engine = ReadTextFile(machine.Sources + "\\ZeEngine.pas");
  engine.insert(engine.find("interface"), "{$I ZelFail.inc}\r\n");
  WriteTextFile(machine.Sources + "\\ZeEngine.pas", engine);
  for (const char *slow : {"Delphi6", "Delphi7"}) {
    std::string ini = machine.ProgramFiles + "\\Borland\\" + slow + "\\bin\\StandIn.ini";
    WriteTextFile(ini, ReadTextFile(ini) + "[StandIn]\r\nPauseMilliseconds=300\r\n");
  }
  // The sources, the destination below them left out.
  auto sources = [this] {
    std::string text;
    for (const auto &line : SplitLines(MachineSnapshot({}, {machine.Sources})))
      if (line.find(": Compiled\\") == std::string::npos)
        text += line + "\n";
    return text;
  };
  const std::string before = sources();
  TParameters parameters = DelphiRows;
  parameters.insert(parameters.end(),
                    {"/jobs:4", "/log:" + root / "Log.txt", "/result:" + root / "Result.json"});
  EXPECT_EQ(Run(parameters), ExitFailed) << Lines();

  EXPECT_EQ(Statuses(ReadTextFile(root / "Result.json")),
            (std::vector<std::string>{"error", "ok", "ok", "ok", "skipped"}));
  const std::string staging = machine.Sources + "\\Compiled\\Staging";
  TStringList log = SplitLines(ReadTextFile(root / "Log.txt"));
  const std::set<std::string> boundaries = {"Delphi 5 Professional",
                                            "Delphi 6 Standard",
                                            "Delphi 6 Standard (CLX)",
                                            "Delphi 7 Enterprise (update 1)",
                                            "Delphi 7 Enterprise (update 1) (CLX)",
                                            "EXCEPTION:",
                                            std::string(80, '=')};
  std::vector<std::string> blocks; // where each environment's block begins and ends
  for (const auto &line : log)
    if (boundaries.count(line) || line.rfind("The sources as", 0) == 0)
      blocks.push_back(line);
  EXPECT_EQ(blocks,
            (std::vector<std::string>{"Delphi 5 Professional", "EXCEPTION:",
                                      "The sources as this environment compiled them are kept in " + staging +
                                          "\\Delphi5.",
                                      "Delphi 6 Standard", std::string(80, '='), "Delphi 6 Standard (CLX)",
                                      std::string(80, '='), "Delphi 7 Enterprise (update 1)",
                                      std::string(80, '=')}));
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string &line) {
    return line.find("Fatal: Broken on Delphi 5") != line.npos;
  }));
  EXPECT_TRUE(Fs::FileExists(staging + "\\Delphi5\\ZeEngine.pas"));
  EXPECT_EQ(ListTree(staging).size(), ListTree(staging + "\\Delphi5").size()) << "the others are removed";
  EXPECT_EQ(sources(), before) << "the sources are as they were";
  std::set<std::string> folders;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(seen.SourceFolders[i].size(), 1u) << i;
    folders.insert(*seen.SourceFolders[i].begin());
    EXPECT_EQ(seen.SourceFolders[i].begin()->rfind(staging + "\\", 0), 0u) << *seen.SourceFolders[i].begin();
  }
  EXPECT_EQ(folders.size(), 4u);
  EXPECT_FALSE(seen.SourceFolders.count(4)) << "Delphi 7 CLX never started";
  // Rows: "OK" and unticked, "ERROR" and ticked, untouched.
  ASSERT_GE(seen.Rows.size(), 5u);
  EXPECT_EQ(seen.Rows[0], std::make_pair(std::string("ERROR"), true));
  for (int row = 1; row < 4; ++row) {
    EXPECT_EQ(seen.Rows[row].first.rfind("OK", 0), 0u) << row;
    EXPECT_FALSE(seen.Rows[row].second) << row;
  }
  EXPECT_EQ(seen.Rows[4], std::make_pair(std::string(""), true));
}

// Questions of environments that build at once come one at a time, on the window's thread, in
// row order: an environment looks at old files in its turn, so that of two rows sharing a folder
// only the first asks.
class TWatchingDesktop : public TScriptedDesktop {
public:
  std::thread::id WindowThread = std::this_thread::get_id();
  std::atomic<int> Showing{0};
  bool Overlapped = false, OffTheWindowThread = false;
  bool AskYesNo(const std::string &message) override {
    Overlapped = Overlapped || ++Showing > 1;
    OffTheWindowThread = OffTheWindowThread || std::this_thread::get_id() != WindowThread;
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // a person reads it
    bool yes = TScriptedDesktop::AskYesNo(message);
    --Showing;
    return yes;
  }
};

TEST_F(BuildsAtOnceTest, TheWindowAsksOneQuestionAtATimeInRowOrder) {
  Install();
  TWatchingDesktop desktop;
  Application().SetDesktop(&desktop);
  const std::string borland = machine.ProgramFiles + "\\Borland";
  for (const char *lib : {"Delphi5\\lib", "Delphi6\\lib", "Delphi7\\lib", "CBuilder6\\lib\\obj"}) {
    WriteTextFile(borland + "\\" + lib + "\\ZelChart.dcu", "old");
    desktop.ExpectQuestion("Old Quivex Standard files found at: " + borland + "\\" + lib +
                               "\rThose files should be moved to a backup folder. Continue?",
                           true);
  }
  TRegistry settings(TRootKey::CurrentUser);
  ASSERT_TRUE(settings.OpenKey("\\Software\\Velmora Software\\Quivex Recompile", true));
  settings.WriteValue({"Jobs", rdInteger, std::string("\x04\0\0\0", 4)}); // the window's setting
  {
    TVersionsForm window;
    EXPECT_EQ(window.Jobs, 4);
    window.Edit1.SetText(machine.Sources);
    window.Edit2.SetText("Compiled");
    Fs::CreateFolder(machine.Sources + "\\Compiled");
    window.CBMakeXFM.SetChecked(false);
    window.CBInstall.SetChecked(false);
    for (int i = 0; i < EnvironmentCount; ++i)
      Environments[std::size_t(i)].CheckBox->SetChecked(i < 8);
    window.Button2Click(window.Button2);
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(Environments[std::size_t(i)].StatusLabel->Caption().rfind("OK", 0), 0u) << i;
    EXPECT_FALSE(window.Memo1.Lines().empty());
  }
  Application().SetDesktop(nullptr);
  ExpectScriptFollowed(desktop);
  EXPECT_FALSE(desktop.Overlapped);
  EXPECT_FALSE(desktop.OffTheWindowThread);
}

} // namespace
