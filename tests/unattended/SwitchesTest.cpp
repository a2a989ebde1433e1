#include "unattended/Switches.h"
#include "unattended/EnvironmentPatterns.h"
#include "unattended/UnattendedDesktop.h"

#include <gtest/gtest.h>

namespace {

using TParameters = std::vector<std::string>;

TEST(Switches, OnlyACommandLineWithASwitchRunsWithoutTheWindow) {
  const struct {
    TParameters Parameters;
    bool Unattended;
  } cases[] = {
      {{}, false},
      {{"STANDARD"}, false},
      {{"INSTALL", "NET"}, false},
      {{"install", "/yes"}, false}, // the automatic install mode's own parameters
      {{"/list"}, true},
      {{"-LIST"}, true},
      {{"standard", "/build"}, true},
      {{"-"}, false},
  };
  for (const auto &c : cases)
    EXPECT_EQ(IsUnattendedCommandLine(c.Parameters), c.Unattended) << ::testing::PrintToString(c.Parameters);
}

TEST(Switches, TheInstallerWithSwitchesRunsWithoutTheWindowAndTakesOnlyItsOwn) {
  EXPECT_TRUE(IsUnattendedInstallCommandLine({"/yes"}, "C:\\Out\\Delphi7\\zelinstall.EXE"));
  EXPECT_TRUE(IsUnattendedInstallCommandLine({"Install", "net", "-result:r.json"}, "ZelRecompile.exe"));
  EXPECT_FALSE(IsUnattendedInstallCommandLine({}, "ZelInstall.exe"));
  EXPECT_FALSE(IsUnattendedInstallCommandLine({"INSTALL", "NET"}, "ZelRecompile.exe"));
  EXPECT_FALSE(IsUnattendedInstallCommandLine({"/build", "/env:all"}, "C:\\ZelInstall\\ZelRecompile.exe"));

  auto switches = ParseInstallSwitches({"INSTALL", "-Yes", "NET", "/RESULT:C:\\r.json", "/Plan"});
  EXPECT_TRUE(switches.Yes);
  EXPECT_TRUE(switches.Plan);
  EXPECT_EQ(switches.ResultFile, "C:\\r.json");
  EXPECT_EQ(switches.Parameters, (TParameters{"INSTALL", "NET"}));
  for (const TParameters &bad :
       {TParameters{"/yes", "/yes"}, TParameters{"/yes:no"}, TParameters{"/result"}, TParameters{"/result:"},
        TParameters{"/result:a", "/result:b"}, TParameters{"/env:all"}, TParameters{"/result:r?.json"},
        TParameters{"/plan", "/plan"}})
    EXPECT_THROW(ParseInstallSwitches(bad), EUsageError) << ::testing::PrintToString(bad);
}

TEST(Switches, EverySwitchSetsItsOption) {
  auto options = ParseSwitches({"STANDARD", "/Build", "-env:Delphi 7*", "/ENV:C++Builder 6*",
                                "/source:C:\\Src", "-dest:Out", "/xfm", "/Install", "/DCUBE", "-yes",
                                "/log:C:\\l.txt", "/result:C:\\r.json", "/jobs:4"});
  EXPECT_FALSE(options.Plan);
  EXPECT_TRUE(ParseSwitches({"/uninstall", "/env:all", "/PLAN"}).Plan);
  EXPECT_EQ(options.Action, TUnattendedOptions::TAction::Build);
  EXPECT_EQ(options.Patterns, (TParameters{"Delphi 7*", "C++Builder 6*"}));
  EXPECT_EQ(options.Source, "C:\\Src"); // the first ":" ends the name: a drive's stays in the value
  EXPECT_EQ(options.Destination, "Out");
  EXPECT_TRUE(options.Xfm && options.Install && options.DecisionCube && options.Yes && options.Standard);
  EXPECT_EQ(options.LogFile, "C:\\l.txt");
  EXPECT_EQ(options.ResultFile, "C:\\r.json");
  EXPECT_EQ(options.Jobs, 4);
  EXPECT_EQ(ParseSwitches({"/build", "/env:all", "/jobs:0"}).Jobs, 0);
  EXPECT_EQ(EnvironmentsAtOnce(3), 3);
  EXPECT_GE(EnvironmentsAtOnce(0), 1); // one per processor

  auto defaults = ParseSwitches({"/build", "/env:all"});
  EXPECT_FALSE(defaults.Source || defaults.Destination);
  EXPECT_FALSE(defaults.Xfm || defaults.Install || defaults.DecisionCube || defaults.Yes ||
               defaults.Standard);
  EXPECT_TRUE(defaults.LogFile.empty() && defaults.ResultFile.empty());
  EXPECT_EQ(defaults.Jobs, 1);
  EXPECT_EQ(ParseSwitches({"-list"}).Action, TUnattendedOptions::TAction::List);

  auto doctor =
      ParseSwitches({"/Doctor", "/env:Delphi 7*", "/source:C:\\Src", "/dest:Out", "/result:r.json"});
  EXPECT_EQ(doctor.Action, TUnattendedOptions::TAction::Doctor);
  EXPECT_EQ(doctor.Patterns, (TParameters{"Delphi 7*"}));
  EXPECT_EQ(doctor.ResultFile, "r.json");
  EXPECT_TRUE(ParseSwitches({"/doctor"}).Patterns.empty()); // every row
}

TEST(Switches, BadCommandLinesNameTheProblem) {
  const struct {
    TParameters Parameters;
    const char *Message;
  } cases[] = {
      {{"/build", "/env:all", "/verbose"}, "Unknown switch: /verbose"},
      {{"/build", "/env:all", "/"}, "Unknown parameter: /"},
      {{"/build", "/env:all", "Delphi"}, "Unknown parameter: Delphi"},
      {{"/build", "STANDARD", "/env:all"}, "Unknown parameter: STANDARD"}, // only first, as for the window
      {{"/build", "/env"}, "The switch /env needs a value: /env:PATTERN"},
      {{"/build", "/env:"}, "The switch /env needs a value: /env:PATTERN"},
      {{"/build", "/env:all", "/source"}, "The switch /source needs a value: /source:FOLDER"},
      {{"/build", "/env:all", "/result:"}, "The switch /result needs a value: /result:FILE"},
      {{"/build", "/env:all", "/yes:no"}, "The switch /yes takes no value: /yes:no"},
      {{"/build", "/env:all", "/dest:A", "-DEST:B"}, "The switch /dest is given twice."},
      {{"/build", "/BUILD", "/env:all"}, "The switch /build is given twice."},
      {{"/list", "/build"}, "/list, /build, /uninstall and /doctor cannot be combined."},
      {{"/yes"}, "Say what to do: /list, /build, /uninstall or /doctor."},
      {{"/doctor", "/build", "/env:all"}, "/list, /build, /uninstall and /doctor cannot be combined."},
      {{"/uninstall", "/build", "/env:all"}, "/list, /build, /uninstall and /doctor cannot be combined."},
      {{"/uninstall", "/yes"}, "/uninstall needs at least one /env:PATTERN."},
      {{"/uninstall", "/env:all", "/install"}, "The switch /install needs /build."},
      {{"/uninstall", "/env:all", "/dest:Out"}, "The switch /dest needs /build."},
      {{"/uninstall", "/env:all", "/jobs:2"}, "The switch /jobs needs /build."},
      {{"/doctor", "/install"}, "The switch /install needs /build."},
      {{"/doctor", "/log:l.txt"}, "The switch /log needs /build."},
      {{"/list", "/env:all"}, "The switch /env needs /build."},
      {{"/list", "/result:r.json"}, "The switch /result needs /build."},
      {{"/build"}, "/build needs at least one /env:PATTERN."},
      {{"/build", "/env:all", "/jobs"}, "The switch /jobs needs a value: /jobs:N"},
      {{"/build", "/env:all", "/jobs:-1"}, "The value of /jobs is a number of environments from 0 to 64: -1"},
      {{"/build", "/env:all", "/jobs:65"}, "The value of /jobs is a number of environments from 0 to 64: 65"},
      {{"/build", "/env:all", "/jobs:two"},
       "The value of /jobs is a number of environments from 0 to 64: two"},
      {{"/list", "/jobs:2"}, "The switch /jobs needs /build."},
      {{"/doctor", "/plan"}, "The switch /plan needs /build."},
      {{"/build", "/env:all", "/plan", "/jobs:2"},
       "/plan lists the run one environment after another: leave out /jobs."},
      {{"/build", "/env:all", "/dest:Out\"x"},
       "The value of /dest holds a character that no path can (\" < > | * ?): Out\"x"},
      {{"/build", "/env:all", "/source:C:\\a|b"},
       "The value of /source holds a character that no path can (\" < > | * ?): C:\\a|b"},
      {{"/build", "/env:all", "/log:<l>"},
       "The value of /log holds a character that no path can (\" < > | * ?): <l>"},
      {{"/build", "/env:all", "/result:r*.json"},
       "The value of /result holds a character that no path can (\" < > | * ?): r*.json"},
  };
  for (const auto &c : cases) {
    try {
      ParseSwitches(c.Parameters);
      ADD_FAILURE() << "no error for " << ::testing::PrintToString(c.Parameters);
    } catch (const EUsageError &error) {
      EXPECT_EQ(error.Message(), c.Message) << ::testing::PrintToString(c.Parameters);
    }
  }
}

TEST(EnvironmentPatterns, MatchRowNamesAsWindowsMatchesFileNames) {
  const struct {
    const char *Name, *Pattern;
    bool Matches;
  } cases[] = {
      {"Delphi 7 Enterprise (update 1)", "Delphi 7*", true},
      {"Delphi 7 Enterprise (update 1) (CLX)", "Delphi 7*", true},
      {"Delphi 7 Enterprise (update 1) (CLX)", "*(CLX)", true},
      {"Delphi 7 Enterprise (update 1)", "*(CLX)", false},
      {"delphi 7 enterprise (update 1)", "DELPHI 7 ENTERPRISE (UPDATE 1)", true},
      {"Delphi 7 Enterprise", "Delphi ? Enterprise", true},
      {"Delphi 10 Enterprise", "Delphi ? Enterprise", false},
      {"Delphi 7", "Delphi 7?", false},
      {"Delphi 7", "Delphi 7", true},
      {"Delphi 7", "Delphi", false}, // a pattern matches the whole name, not a beginning
      {"C++Builder 6 Enterprise (update)", "*Builder*6*", true},
      {"C++Builder 6", "*6*6", false},
      {"abcabcabd", "*abd", true}, // the "*" must give back what it took
      {"", "*", true},
      {"", "?", false},
      {"Delphi 7", "**7", true},
  };
  for (const auto &c : cases)
    EXPECT_EQ(MatchesPattern(c.Name, c.Pattern), c.Matches) << c.Name << " ~ " << c.Pattern;
}

TEST(EnvironmentPatterns, SeveralPatternsTakeRowsInTableOrderOnce) {
  const std::vector<std::string> rows = {"Delphi 5 Professional", "Delphi 7 Enterprise (update 1)",
                                         "Delphi 7 Enterprise (update 1) (CLX)",
                                         "C++Builder 6 Enterprise (update)"};
  EXPECT_EQ(SelectEnvironments(rows, {"C++Builder*", "Delphi 7*", "*(CLX)"}), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(SelectEnvironments(rows, {"ALL"}), (std::vector<int>{0, 1, 2, 3}));
  try {
    SelectEnvironments(rows, {"Delphi 7*", "Delphi 8*"});
    ADD_FAILURE() << "no error";
  } catch (const EUsageError &error) {
    EXPECT_EQ(error.Message(), "No environment matches /env:Delphi 8* (/list shows them).");
  }
  EXPECT_THROW(SelectEnvironments({}, {"all"}), EUsageError); // nothing to build is no success
}

TEST(UnattendedDesktop, QuestionsAreAnsweredByTheRuleAndNeverTwice) {
  std::vector<std::string> lines;
  auto output = [&lines](const std::string &line) { lines.push_back(line); };
  TUnattendedDesktop noRule(false, output);
  try {
    noRule.AskYesNo("Destination folder: \rC:\\Out\rDoes not exist. Create ?");
    ADD_FAILURE() << "answered";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(),
              "Question needs an answer: Destination folder:  C:\\Out Does not exist. Create ?");
  }

  TUnattendedDesktop yes(true, output);
  EXPECT_TRUE(yes.AskYesNo("Move?"));
  EXPECT_TRUE(yes.AskYesNo("Please close Delphi 7 and click Yes to continue."));
  // Asked again right away: the Yes did not help, and a person would be needed.
  EXPECT_THROW(yes.AskYesNo("Please close Delphi 7 and click Yes to continue."), Exception);
  yes.NewEnvironment();
  EXPECT_TRUE(yes.AskYesNo("Please close Delphi 7 and click Yes to continue."));
  // Environments that build at once ask in turns: a question is a repeat only of the same
  // environment's last one.
  yes.QuestionsFrom(5);
  EXPECT_TRUE(yes.AskYesNo("Please close Delphi 7 and click Yes to continue."));
  yes.QuestionsFrom(-1);
  EXPECT_THROW(yes.AskYesNo("Please close Delphi 7 and click Yes to continue."), Exception);
  yes.ShowError("Cannot open\rfile");
  EXPECT_EQ(lines, (std::vector<std::string>{"Answered Yes: Move?",
                                             "Answered Yes: Please close Delphi 7 and click Yes to continue.",
                                             "Answered Yes: Please close Delphi 7 and click Yes to continue.",
                                             "Answered Yes: Please close Delphi 7 and click Yes to continue.",
                                             "Error: Cannot open file"}));
  EXPECT_FALSE(yes.BrowseForFolder("Folder with Quivex Pro Sources", ""));
  EXPECT_FALSE(yes.StartProgram("notepad C:\\Log.txt"));
}

} // namespace
