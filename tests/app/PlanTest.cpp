// A dry run against the real one: on the sample machine, the plan of an install and of an uninstall
// lists exactly what the real run then changes in the registry and on the disk, and changes nothing
// itself.
#include "changes/Plan.h"
#include "SampleMachine.h"
#include "TestRows.h"
#include "TestSupport.h"
#include "app/UnattendedRun.h"
#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Files.h"
#include "framework/Text.h"
#include "framework/TextLines.h"
#include "librarybuild/CompileProcs.h"
#include "process/ExecuteCommand.h"
#include "unattended/PlanReport.h"

#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>

namespace {

using TParameters = std::vector<std::string>;

std::string Normal(std::string path) {
  for (char &c : path)
    if (c == '/')
      c = '\\';
  return UpperCase(path);
}

// What changed between two states of the machine, one line per value or file, as a plan says it.
using TDifferences = std::set<std::string>;

struct TMachineState {
  std::map<std::string, std::string> Values; // "HKEY_...\KEY\NAME" -> "type:data"
  std::map<std::string, std::string> Files;  // the path -> "size hash"
};

TDifferences Differences(const TMachineState &before, const TMachineState &after) {
  TDifferences differences;
  auto value = [](const std::map<std::string, std::string> &values, const std::string &subject) {
    auto found = values.find(subject);
    return found == values.end() ? std::string("absent") : found->second;
  };
  for (const auto *side : {&before.Values, &after.Values})
    for (const auto &[subject, data] : *side)
      if (value(before.Values, subject) != value(after.Values, subject))
        differences.insert(subject + ": " + value(before.Values, subject) + " -> " +
                           value(after.Values, subject));
  for (const auto *side : {&before.Files, &after.Files})
    for (const auto &[path, state] : *side) {
      bool was = before.Files.count(path), is = after.Files.count(path);
      if (was && is && before.Files.at(path) != after.Files.at(path))
        differences.insert(path + ": overwrite");
      else if (was != is)
        differences.insert(path + (is ? ": create" : ": delete"));
    }
  return differences;
}

// The plan's entries folded over its environments in order (each says what that environment finds
// and leaves): the machine's difference over the whole run. A listing shows a move as the file gone
// from one place and made in the other.
TDifferences PlannedDifferences(const std::vector<TEnvironmentPlan> &plan) {
  auto state = [](const TValueState &value) {
    return value.Exists ? std::to_string(value.Type) + ":" + value.Data : std::string("absent");
  };
  std::map<std::string, std::pair<std::string, std::string>> values;
  std::map<std::string, std::pair<bool, bool>> files; // existed before the run, exists after it
  auto file = [&](const std::string &path, bool before, bool after) {
    auto [at, added] = files.try_emplace(Normal(path), before, after);
    at->second.second = after;
  };
  for (const auto &environment : plan) {
    for (const auto &value : environment.Registry) {
      auto [at, added] = values.try_emplace(UpperCase(value.Key + "\\" + value.Name), state(value.Before),
                                            state(value.After));
      at->second.second = state(value.After);
    }
    for (const auto &planned : environment.Files) {
      bool existed = planned.Action != TPlannedFileAction::Create;
      file(planned.Path, existed,
           planned.Action == TPlannedFileAction::Create || planned.Action == TPlannedFileAction::Overwrite);
      if (planned.Action == TPlannedFileAction::Move)
        file(planned.To, false, true);
    }
  }
  TDifferences differences;
  for (const auto &[subject, change] : values)
    if (change.first != change.second)
      differences.insert(subject + ": " + change.first + " -> " + change.second);
  for (const auto &[path, change] : files)
    if (change.first || change.second)
      differences.insert(path + (change.first && change.second ? ": overwrite"
                                 : change.second               ? ": create"
                                                               : ": delete"));
  return differences;
}

// A file that a tool writes again may come out with the bytes it had: an overwrite whose bytes the plan
// could not know ("unknown") is no difference then. Takes such entries out of planned where real
// lacks them.
void AllowUnchangedToolProducts(TDifferences &planned, const TDifferences &real,
                                const std::vector<TEnvironmentPlan> &plan) {
  for (const auto &environment : plan)
    for (const auto &file : environment.Files)
      if (!file.Unknown.empty()) {
        std::string entry = Normal(file.Path) + ": overwrite";
        if (!real.count(entry))
          planned.erase(entry);
      }
}

// What only one side holds, for the message of a failed comparison.
std::string Mismatch(const TDifferences &planned, const TDifferences &real) {
  std::string text;
  for (const auto &entry : planned)
    if (!real.count(entry))
      text += "only planned: " + entry + "\n";
  for (const auto &entry : real)
    if (!planned.count(entry))
      text += "only real: " + entry + "\n";
  return text;
}

std::string PlanText(const std::vector<TEnvironmentPlan> &plan) {
  std::string text;
  for (const auto &line : PlanLines(plan))
    text += line + "\n";
  return text;
}

class PlanTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TTempFolder root;
  const std::string startFolder = Fs::CurrentFolder();
  TSampleMachine machine;
  std::vector<std::string> lines;

  PlanTest() {
    for (const auto &name : SystemPackages())
      hadInSystem.insert(name);
    ResetProgramState();
    Application().SetParameters({});
    machine = InstallSampleMachine(SourcePath("sample"), root / "Machine", ProgramPath);
    Fs::SetCurrentFolder(root.Path());
  }
  ~PlanTest() override {
#ifdef _WIN32
    for (const auto &name : SystemPackages()) // what the runs put there
      if (!hadInSystem.count(name))
        Fs::DeleteFile(SystemFolder() + "\\" + name);
#endif
    Fs::SetCurrentFolder(startFolder);
    Application().SetExeName("");
    ResetProgramState();
  }

  std::set<std::string> hadInSystem;

  static std::vector<std::string> SystemPackages() {
    std::vector<std::string> names;
    for (const char *mask : {"\\Zel*.bpl", "\\DclZ*.bpl", "\\dss*.bpl", "\\BackupOf_*.bpl"})
      for (const auto &found : Fs::FindFiles(SystemFolder() + mask))
        names.push_back(found.Name);
    return names;
  }

  std::string Lines() const {
    std::string all;
    for (const auto &line : lines)
      all += line + "\n";
    return all;
  }

  int Build(const std::string &pattern, TParameters more = {}) {
    lines.clear();
    ResetEnvironments();
    // Each run from the same folder, as each program starts: a tool that gets no folder of its
    // own (bpr2mak) starts in the one the run is in.
    Fs::SetCurrentFolder(root.Path());
    TParameters parameters = {"/build", "/env:" + pattern, "/source:" + machine.Sources, "/dest:Compiled",
                              "/yes"};
    parameters.insert(parameters.end(), more.begin(), more.end());
    return RunUnattended(parameters, [this](const std::string &line) { lines.push_back(line); });
  }

  // The installer in the compiled tree, as the user starts it there.
  int Installer(const std::string &tree, TParameters parameters) {
    lines.clear();
    ResetEnvironments();
    Application().SetExeName(machine.Sources + "\\Compiled\\" + tree + "\\ZelInstall.exe");
    EXPECT_TRUE(Fs::SetCurrentFolder(machine.Sources + "\\Compiled\\" + tree));
    int code = RunUnattendedInstall(parameters, [this](const std::string &line) { lines.push_back(line); });
    Fs::SetCurrentFolder(root.Path());
    return code;
  }

  // The same under a plan: its entries.
  std::vector<TEnvironmentPlan> Planned(const std::string &tree, TParameters parameters, int &code) {
    TPlanScope plan;
    code = Installer(tree, parameters);
    return plan.Environments();
  }

  std::string Snapshot() {
    return MachineSnapshot({{TRootKey::CurrentUser, "Software"}, {TRootKey::LocalMachine, "SOFTWARE"}},
                           {root / "Machine"});
  }

  TMachineState State() {
    TMachineState state;
    static const std::regex value("(HKEY_[^=]*) = (.*)"), file("(.*): (.*) ([0-9]+ [0-9]+)( read-only)?");
    std::smatch match;
    for (const auto &line : SplitLines(Snapshot())) {
      if (std::regex_match(line, match, value))
        state.Values[match[1]] = match[2];
      else if (std::regex_match(line, match, file))
        state.Files[Normal(match[1].str() + "\\" + match[2].str())] = match[3];
    }
#ifdef _WIN32
    // The system folder is the prefix's own, outside the machine's folder: its library packages.
    for (const auto &name : SystemPackages())
      if (auto bytes = Fs::ReadWholeFile(SystemFolder() + "\\" + name))
        state.Files[Normal(SystemFolder() + "\\" + name)] = std::to_string(ContentHash(*bytes));
#endif
    return state;
  }

  std::string CacheText() {
    std::string text;
    for (const auto &file : ListTree(root / "Machine"))
      if (UpperCase(file).find("GLOBALASSEMBLYCACHE.TXT") != std::string::npos)
        text += ReadTextFile(root / ("Machine\\" + file));
    return text;
  }

  bool JournalWritten() {
    return !Fs::FindFiles(JournalFolder() + "\\*").empty();
  }
};

// For each kind of environment: the install's plan and then the uninstall's equal, entry for entry,
// the differences the real runs leave, and a plan changes nothing.
TEST_F(PlanTest, TheInstallAndUninstallPlansListWhatTheRealRunsChange) {
  const struct {
    const char *Pattern, *Tree;
  } kinds[] = {{"Delphi 7*(update 1)", "Delphi7"}, {"C++Builder 6*", "BuilderC6"}, {"*(BDS*", "Delphi8"}};
  for (const auto &kind : kinds) {
    SCOPED_TRACE(kind.Pattern);
    ASSERT_EQ(Build(kind.Pattern), ExitOk) << Lines();
    for (const TParameters &parameters : {TParameters{"/yes"}, TParameters{"/uninstall", "/yes"}}) {
      SCOPED_TRACE(parameters.front());
      const std::string snapshot = Snapshot();
      const TMachineState before = State();
      const bool journalBefore = JournalWritten();
      int planCode = -1;
      auto plan = Planned(kind.Tree, parameters, planCode);
      ASSERT_EQ(planCode, ExitOk) << Lines();
      EXPECT_EQ(Snapshot(), snapshot) << "the plan changed the machine";
      EXPECT_EQ(JournalWritten(), journalBefore) << "the plan wrote a journal";
      ASSERT_EQ(Installer(kind.Tree, parameters), ExitOk) << Lines();
      TDifferences planned = PlannedDifferences(plan), real = Differences(before, State());
      EXPECT_FALSE(real.empty());
      // The assembly cache is gacutil's own, beside the stand-in: the plan lists its command lines,
      // and the cache then holds what they name.
      const std::string cache = CacheText();
      std::erase_if(real, [](const std::string &difference) {
        return difference.find("\\GLOBALASSEMBLYCACHE.TXT:") != std::string::npos;
      });
      EXPECT_TRUE(planned == real) << Mismatch(planned, real) << PlanText(plan);
      int commands = 0;
      for (const auto &environment : plan)
        for (const auto &command : environment.Commands) {
          ++commands;
          std::string assembly = command.CommandLine.substr(command.CommandLine.find(" /i \"") + 4);
          EXPECT_NE(cache.find("=" + assembly.substr(1, assembly.size() - 2)), std::string::npos)
              << command.CommandLine << "\n"
              << cache;
        }
      EXPECT_EQ(commands, std::string(kind.Tree) == "Delphi8" && parameters.size() == 1 ? 2 : 0);
    }
  }
}

// A build with install, forms and the Decision Cube, the compiles included: the plan names what the
// compilers would write from the package projects, and the install reads the descriptions the
// projects give.
TEST_F(PlanTest, TheBuildPlanListsWhatTheRealBuildChanges) {
  // Each kind alone, then every row of the machine: the rest (C++Builder 4, whose make reads the
  // package project itself, a Standard edition, the CLX rows) on a machine built for before.
  for (const char *pattern : {"Delphi 7*(update 1)", "C++Builder 6*", "*(BDS*", "all"}) {
    SCOPED_TRACE(pattern);
    const TParameters parameters = {"/install", "/dcube", "/xfm"};
    const std::string snapshot = Snapshot();
    const TMachineState before = State();
    std::vector<TEnvironmentPlan> plan;
    {
      TPlanScope scope;
      ASSERT_EQ(Build(pattern, parameters), ExitOk) << Lines();
      plan = scope.Environments();
    }
    EXPECT_EQ(Snapshot(), snapshot) << "the plan changed the machine";
    std::vector<std::string> started, planned;
    SetCommandStartedHook([&](const std::string &folder, const std::string &commandLine) {
      started.push_back(folder + "> " + commandLine);
    });
    int code = Build(pattern, parameters);
    SetCommandStartedHook(nullptr);
    ASSERT_EQ(code, ExitOk) << Lines();
    for (const auto &environment : plan)
      for (const auto &command : environment.Commands)
        planned.push_back(command.Folder + "> " + command.CommandLine);
    EXPECT_EQ(planned, started);
    TDifferences real = Differences(before, State());
    std::erase_if(real, [](const std::string &difference) {
      return difference.find("\\GLOBALASSEMBLYCACHE.TXT:") != std::string::npos;
    });
    TDifferences changes = PlannedDifferences(plan);
    AllowUnchangedToolProducts(changes, real, plan);
    EXPECT_TRUE(changes == real) << Mismatch(changes, real) << PlanText(plan);
    EXPECT_FALSE(started.empty());
  }
}

// The switch: "ZelInstall.exe /plan" and "ZelRecompile.exe /uninstall /plan" print the plan and
// write it into the result, end with 0 and change nothing.
TEST_F(PlanTest, ThePlanSwitchPrintsThePlanAndWritesItIntoTheResult) {
  ASSERT_EQ(Build("Delphi 7*(update 1)"), ExitOk) << Lines();
  const std::string resultFile = root / "Plan.json";
  for (bool installer : {true, false}) {
    SCOPED_TRACE(installer ? "ZelInstall" : "ZelRecompile /uninstall");
    const std::string snapshot = Snapshot();
    int code =
        installer
            ? Installer("Delphi7", {"/plan", "/result:" + resultFile})
            : RunUnattended({"/uninstall", "/env:Delphi 7*(update 1)", "/plan", "/result:" + resultFile},
                            [this](const std::string &line) { lines.push_back(line); });
    EXPECT_EQ(code, ExitOk) << Lines();
    EXPECT_EQ(Snapshot(), snapshot) << "the plan changed the machine";
    const std::string json = ReadTextFile(resultFile);
    EXPECT_NE(json.find("\"plan\": {\n    \"environments\": [\n      {\n        \"name\": \"Delphi 7 "
                        "Enterprise (update 1)\""),
              std::string::npos)
        << json;
    auto count = [](const std::string &text, const std::string &part) {
      int found = 0;
      for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++found;
      return found;
    };
    int printedValues = 0, printedFiles = 0;
    for (const auto &line : lines) {
      printedValues += line.rfind("    HKEY_", 0) == 0;
      for (const char *action : {"    create ", "    overwrite ", "    delete ", "    move "})
        printedFiles += line.rfind(action, 0) == 0;
    }
    EXPECT_GT(printedValues, 0) << Lines();
    EXPECT_EQ(count(json, "{\"key\": \"HKEY_"), printedValues) << json << Lines();
    EXPECT_EQ(count(json, "\"action\": "), printedFiles) << json << Lines();
    EXPECT_EQ(count(json, "{\"text\": "), 1) << "the install's or the uninstall's question";
    lines.clear();
    if (installer) {
      ASSERT_EQ(Installer("Delphi7", {"/yes"}), ExitOk) << Lines();
    }
  }
}

// A step that cannot be planned (a package project the sources lack) makes the plan incomplete:
// exit code 1, the reason in the result, and still nothing changed.
TEST_F(PlanTest, AStepThatCannotBePlannedEndsThePlanWithItsReason) {
  Fs::DeleteFile(machine.Sources + "\\ZelDB77.dpk");
  const std::string snapshot = Snapshot();
  const std::string resultFile = root / "Plan.json";
  EXPECT_EQ(Build("Delphi 7*(update 1)", {"/install", "/plan", "/result:" + resultFile}), ExitFailed)
      << Lines();
  EXPECT_EQ(Snapshot(), snapshot) << "the plan changed the machine";
  const std::string json = ReadTextFile(resultFile);
  EXPECT_NE(json.find("\"status\": \"error\""), std::string::npos) << json;
  EXPECT_NE(json.find("ZelDB77.dpk"), std::string::npos) << "the reason names the missing project: " << json;
}

} // namespace
