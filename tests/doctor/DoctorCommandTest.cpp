// The check as a person starts it: "/doctor" from the command line, and "Check Quivex in ..." from
// the menu of a row of the window.
#include "TestRows.h"
#include "TestSupport.h"
#include "app/UnattendedRun.h"
#include "app/VersionsForm.h"
#include "doctor/Doctor.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Files.h"
#include "framework/RegFile.h"

#include <gtest/gtest.h>

namespace {

std::string RegPath(const std::string &path) {
  std::string escaped;
  for (char c : path)
    escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return escaped;
}

// Delphi 7 with a design package registered from a folder that is gone, and saved settings.
class DoctorCommandTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TTempFolder root;
  const std::string src = root / "Src", delphi7 = root / "Borland\\Delphi7",
                    gone = root / "Gone\\DclZQR77.bpl";
  std::vector<std::string> lines;

  DoctorCommandTest() {
    ResetProgramState();
    Application().SetParameters({});
    WriteTextFile(src + "\\ZelDefs.inc", "{ defines }");
    WriteTextFile(delphi7 + "\\bin\\dcc32.exe", "tool");
#ifndef _WIN32
    Fs::SetSystemFolder(root / "System32");
    Fs::CreateFolder(root / "System32");
#endif
    ImportRegText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
                  "\"ProgramFilesDir\"=\"C:\\\\Nowhere\"\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\7.0]\r\n\"RootDir\"=\"" +
                  RegPath(delphi7) + "\"\r\n\"Version\"=\"CSS\"\r\n\r\n" +
                  "[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages]\r\n\"" +
                  RegPath(gone) +
                  "\"=\"Quivex 7 Components\"\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Velmora Software\\Quivex Recompile]\r\n\"Sources\"=\"" +
                  RegPath(src) + "\"\r\n\"Destination\"=\"Out\"\r\n");
  }
  ~DoctorCommandTest() override {
    ResetProgramState();
  }

  int Run(const std::vector<std::string> &parameters) {
    lines.clear();
    return RunUnattended(parameters, [this](const std::string &line) { lines.push_back(line); });
  }
  static std::string Registry() {
    return FormatRegText(ExportRegistryKey(TRootKey::CurrentUser, "Software")) +
           FormatRegText(ExportRegistryKey(TRootKey::LocalMachine, "Software"));
  }
};

TEST_F(DoctorCommandTest, TheCommandPrintsAndRecordsTheFindingsAndSavesNothing) {
  const std::string registry = Registry();
  const auto files = ListTree(root.Path());
  ASSERT_EQ(Run({"/doctor", "/dest:Compiled", "/result:" + root / "r.json"}), ExitFailed);

  ASSERT_EQ(lines.size(), 9u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[0], "Delphi 7 Enterprise");
  EXPECT_EQ(lines[1],
            "  error [known-packages] HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\7.0\\Known Packages \"" +
                gone + "\": names a file that does not exist: " + gone +
                " (the IDE says \"Can't load package\" at every start)");
  EXPECT_EQ(lines[2],
            "    what to do: Install Quivex 7 into Delphi 7 Enterprise again, or remove the entry.");
  EXPECT_EQ(lines[3].rfind("  note [compiled-tree] " + src + "\\Compiled\\Delphi7: not compiled into", 0),
            0u);
  EXPECT_EQ(lines[5], "Delphi 7 Enterprise (CLX)"); // its twin's keys are reported once
  EXPECT_EQ(lines[6].rfind("  note [compiled-tree] " + src + "\\Compiled\\Delphi7CLX:", 0), 0u);
  EXPECT_EQ(lines.back(), "1 errors, 0 warnings");

  std::string json = ReadTextFile(root / "r.json");
  for (const char *member : {"\"doctor\": {", "\"name\": \"Delphi 7 Enterprise\"", "\"index\": 1",
                             "\"check\": \"known-packages\"", "\"severity\": \"error\"",
                             "\"severity\": \"note\"", "\"exitCode\": 1", "\"fix\": \"Install Quivex 7"})
    EXPECT_NE(json.find(member), std::string::npos) << member << " in " << json;
  EXPECT_EQ(Registry(), registry); // not even the settings are saved
  auto after = ListTree(root.Path());
  after.erase(std::find(after.begin(), after.end(), "r.json"));
  EXPECT_EQ(after, files);

  EXPECT_EQ(Run({"/doctor", "/env:Delphi 7*(CLX)", "/source:" + src}), ExitOk);
  EXPECT_EQ(lines.front(), "Delphi 7 Enterprise (CLX)");
  EXPECT_EQ(lines.back(), "0 errors, 0 warnings");
  EXPECT_EQ(Run({"/doctor", "/env:Delphi 9*"}), ExitUsage);
  EXPECT_EQ(lines.front(), "No environment matches /env:Delphi 9* (/list shows them).");
}

TEST_F(DoctorCommandTest, TheRowMenuChecksItsEnvironmentIntoTheLog) {
  TVersionsForm form;
  ASSERT_EQ(EnvironmentCount, 2);
  EXPECT_TRUE(form.GroupBox1.ContextMenuItems().empty()); // not on a row
  TMenuItems items = Environments[1].StatusLabel->ContextMenuItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Caption, "Check Quivex in Delphi 7 Enterprise (CLX)");
  EXPECT_EQ(items[1].Caption, "Uninstall Quivex from Delphi 7 Enterprise (CLX)\x85");
  items[1].OnClick(); // nothing recorded: nothing asked, and the log says so
  EXPECT_EQ(form.Memo1.Lines().back(),
            "Nothing to uninstall: no change of this program is recorded for Delphi 7 Enterprise (CLX).");
  items = Environments[0].CheckBox->ContextMenuItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Caption, "Check Quivex in Delphi 7 Enterprise");

  const std::string registry = Registry();
  items[0].OnClick();
  EXPECT_EQ(form.PageControl1.ActivePage(), &form.TabSheet2);
  EXPECT_EQ(form.Memo1.Lines(), ReportLines(RunDoctor({0}, {src, src + "\\Out"})));
  EXPECT_EQ(form.Memo1.Lines().back(), "1 errors, 0 warnings");
  EXPECT_EQ(Registry(), registry);
}

} // namespace
