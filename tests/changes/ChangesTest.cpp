// The one layer that changes environments: every kind of change is journalled ahead and put back
// exactly, also from a journal cut short by a crash; what a user changed since stays theirs.
#include "TestSupport.h"
#include "changes/ChangeBatch.h"
#include "changes/EnvironmentChanges.h"
#include "changes/Plan.h"
#include "changes/Undo.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/RegFile.h"
#include "framework/Text.h"
#include "framework/TextLines.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace {

const std::string EnvKey = "Software\\ZelTest\\Env";

class ChangesTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TTempFolder root;
  const std::string env = root / "Env Folder", out = root / "Out", journals = root / "Journal";

  ChangesTest() {
    SetJournalFolder(journals);
    ImportRegText(
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\ZelTest\\Env\\Library]\r\n"
        "\"Search "
        "Path\"=\"C:\\\\A;$(DELPHI)\\\\Lib;C:\\\\B\"\r\n\"Keep\"=\"k\"\r\n\"Flags\"=dword:00000005\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\ZelTest\\Help]\r\n\"Old.hlp\"=\"C:\\\\Help\"\r\n");
    WriteTextFile(env + "\\defproj.dof", "[Directories]\r\nSearchPath=C:\\A\r\n");
    WriteTextFile(env + "\\Lib\\Old.dcu", std::string("\x01\x02\0\xFF", 4));
    WriteTextFile(env + "\\Lib\\Other.dcu", "other unit");
    WriteTextFile(env + "\\Help\\d7.ohl", "old help");
    WriteTextFile(out + "\\New.bpl", "package");
  }
  ~ChangesTest() override { TJournal::SetRecordedHook(nullptr); }

  std::string Snapshot() {
    return MachineSnapshot(
        {{TRootKey::CurrentUser, "Software\\ZelTest"}, {TRootKey::LocalMachine, "Software\\ZelTest"}},
        {env, out});
  }
};

std::string WithoutLinesNaming(const std::string &text, const std::string &name) {
  std::string kept;
  for (const auto &line : SplitLines(text))
    if (UpperCase(line).find(UpperCase(name)) == std::string::npos)
      kept += line + "\n";
  return kept;
}

// One step of each kind that the install, the build and the Decision Cube rebuild make.
struct TStep {
  const char *Name;
  std::function<void(const std::string &env, const std::string &out)> Do;
};

const TStep steps[] = {
    {"value overwritten",
     [](auto &, auto &) {
       TRegistry r(TRootKey::CurrentUser);
       ASSERT_TRUE(r.OpenKey("\\Software\\ZelTest\\Env\\Library", false));
       Changes::WriteString(r, "Search Path", "C:\\A;C:\\B;C:\\Out\\Lib");
     }},
    {"value created",
     [](auto &, auto &) {
       TRegistry r(TRootKey::LocalMachine);
       ASSERT_TRUE(r.OpenKey("\\Software\\ZelTest\\Help", false));
       Changes::WriteString(r, "Zel.hlp", "C:\\Out\\Help");
     }},
    {"value of another type overwritten",
     [](auto &, auto &) {
       TRegistry r(TRootKey::CurrentUser);
       ASSERT_TRUE(r.OpenKey("\\Software\\ZelTest\\Env\\Library", false));
       Changes::WriteString(r, "Flags", "text now");
     }},
    {"value deleted",
     [](auto &, auto &) {
       TRegistry r(TRootKey::CurrentUser);
       ASSERT_TRUE(r.OpenKey("\\Software\\ZelTest\\Env\\Library", false));
       ASSERT_TRUE(Changes::DeleteValue(r, "Keep"));
     }},
    {"keys created with a value",
     [](auto &, auto &) {
       TRegistry r(TRootKey::CurrentUser);
       ASSERT_TRUE(Changes::OpenKey(r, "\\Software\\ZelTest\\Record\\Quivex", true));
       Changes::WriteString(r, "BinPath", "C:\\Out\\Bin");
     }},
    {"file created",
     [](auto &env, auto &out) {
       ASSERT_TRUE(Changes::CopyFile(out + "\\New.bpl", env + "\\New.bpl", false));
     }},
    {"file overwritten", [](auto &env, auto &) { Changes::SaveLines(env + "\\Help\\d7.ohl", {"new help"}); }},
    {"file renamed over",
     [](auto &env, auto &) {
       WriteTextFile(env + "\\defproj.dof.tmp", "SearchPath=C:\\A;C:\\Out\\Lib\r\n");
       ASSERT_TRUE(Changes::RenameOver(env + "\\defproj.dof.tmp", env + "\\defproj.dof"));
     }},
    {"file deleted", [](auto &env, auto &) { ASSERT_TRUE(Changes::DeleteFile(env + "\\Lib\\Other.dcu")); }},
    {"file moved into a new folder",
     [](auto &env, auto &) {
       ASSERT_TRUE(Changes::CreateFolder(env + "\\Lib\\Backup_Quivex"));
       ASSERT_TRUE(Changes::MoveFile(env + "\\Lib\\Old.dcu", env + "\\Lib\\Backup_Quivex\\Old.dcu"));
     }},
};

TEST_F(ChangesTest, EveryKindOfChangeIsJournalledAndUndoneExactly) {
  const std::string before = Snapshot();
  for (bool batched : {false, true})
    for (const TStep &step : steps) {
      SCOPED_TRACE(std::string(step.Name) + (batched ? ", in a batch" : ""));
      TChangeScope scope("Test Env", EnvKey, {out});
      {
        std::optional<TChangeBatch> batch;
        if (batched)
          batch.emplace();
        step.Do(env, out);
        if (batched) { // noted and recorded, but neither made nor written until the commit
          EXPECT_FALSE(scope.Journal().Changes().empty());
          EXPECT_FALSE(Fs::FileExists(scope.Journal().Path()));
          EXPECT_EQ(WithoutLinesNaming(Snapshot(), "defproj.dof.tmp"), before); // the rename's source
          batch->Commit();
        }
      }
      EXPECT_NE(Snapshot(), before);
      EXPECT_FALSE(scope.Journal().Changes().empty());
      TUndoReport report = scope.Rollback();
      EXPECT_TRUE(report.Failed.empty()) << report.Failed.front();
      EXPECT_TRUE(report.ChangedSince.empty()) << report.ChangedSince.front();
      EXPECT_EQ(Snapshot(), before);
    }
  // The output tree is the run's own: nothing of it is journalled, nothing of it undone.
  TChangeScope scope("Test Env", EnvKey, {out});
  WriteTextFile(out + "\\Lib.dcu", "unit");
  ASSERT_TRUE(Changes::CopyFile(out + "\\Lib.dcu", out + "\\Copy.dcu", false));
  EXPECT_TRUE(scope.Journal().Changes().empty());
  scope.Rollback();
  EXPECT_TRUE(Fs::FileExists(out + "\\Copy.dcu"));
}

// A crash can stop a run after any record: with the change made or not, and with the next record
// half written. Replaying the journal then puts back exactly what was there before the run.
TEST_F(ChangesTest, AJournalCutAfterAnyRecordReplaysToTheStateBefore) {
  const std::string before = Snapshot();
  auto runAll = [&] {
    TChangeScope scope("Test Env", EnvKey, {out});
    for (const TStep &step : steps)
      step.Do(env, out);
    return scope.Journal().Changes().size();
  };
  const std::size_t records = runAll();
  ASSERT_GE(records, std::size(steps));
  UninstallEnvironment(EnvKey, journals);
  ASSERT_EQ(Snapshot(), before);

  struct TCrash {};
  for (std::size_t k = 1; k <= records; ++k)
    for (bool cutLastRecord : {false, true}) {
      SCOPED_TRACE("crash at record " + std::to_string(k) + (cutLastRecord ? ", record half written" : ""));
      TJournal::SetRecordedHook([k](int record) {
        if (std::size_t(record) == k)
          throw TCrash{};
      });
      std::string journal;
      try {
        TChangeScope scope("Test Env", EnvKey, {out});
        try {
          for (const TStep &step : steps)
            step.Do(env, out);
        } catch (const TCrash &) {
        }
        journal = scope.Journal().Path();
      } catch (...) {
        FAIL() << "the crash escaped";
      }
      TJournal::SetRecordedHook(nullptr);
      Fs::DeleteFile(env + "\\defproj.dof.tmp"); // the edit's own copy, which it removes on failure
      if (cutLastRecord) { // the last record's line end never reached the disk: half of it did
        std::string text = *Fs::ReadWholeFile(journal);
        std::size_t lastLine = text.rfind('\n', text.size() - 2);
        text.resize(lastLine + 1 + (text.size() - lastLine) / 2);
        ASSERT_TRUE(Fs::WriteWholeFile(journal, text));
      }
      TUninstallReport report = UninstallEnvironment(EnvKey, journals);
      EXPECT_TRUE(report.Failed.empty()) << report.Failed.front();
      EXPECT_EQ(Snapshot(), before);
      EXPECT_EQ(UninstallEnvironment(EnvKey, journals).Journals, 0); // done once, and marked so
    }
}

// A batch writes all its records before it makes the first change: a crash after any of its
// changes, or before the first, leaves a journal that replays to the state before; a rename the
// batch never made leaves no copy behind.
TEST_F(ChangesTest, ABatchCutAfterAnyOfItsChangesReplaysToTheStateBefore) {
  const std::string before = Snapshot();
  struct TCrash {};
  for (std::size_t made = 0; made <= std::size(steps); ++made) {
    SCOPED_TRACE("crash after " + std::to_string(made) + " steps made");
    {
      TChangeScope scope("Test Env", EnvKey, {out});
      TChangeBatch batch;
      for (std::size_t i = 0; i < std::size(steps); ++i) {
        if (i == made)
          batch.Note([] { throw TCrash{}; });
        steps[i].Do(env, out);
      }
      if (made == std::size(steps))
        batch.Note([] { throw TCrash{}; });
      // What the steps noted reads as made, through the layer only.
      EXPECT_TRUE(Changes::FileExists(env + "\\New.bpl"));
      EXPECT_FALSE(Fs::FileExists(env + "\\New.bpl"));
      EXPECT_THROW(batch.Commit(), TCrash);
      EXPECT_EQ(Fs::FileExists(env + "\\New.bpl"), made > 5); // the sixth step copies it
    }
    EXPECT_FALSE(Fs::FileExists(env + "\\defproj.dof.tmp"));
    TUninstallReport report = UninstallEnvironment(EnvKey, journals);
    EXPECT_TRUE(report.Failed.empty()) << report.Failed.front();
    EXPECT_EQ(Snapshot(), before);
  }
}

// The layer reads what a batch noted before it is made. A change that fails only when the batch
// makes it (its source gone meanwhile) raises from the commit; the scope then undoes the changes
// made before it, and the renames never made leave no copy behind.
TEST_F(ChangesTest, AChangeThatFailsWhenTheBatchMakesItLeavesTheOthersUndoable) {
  const std::string before = Snapshot();
  TChangeScope scope("Test Env", EnvKey, {out});
  {
    TChangeBatch batch;
    for (const TStep &step : steps)
      step.Do(env, out);
    TRegistry r(TRootKey::CurrentUser);
    ASSERT_TRUE(r.OpenKey("\\Software\\ZelTest\\Env\\Library", false));
    EXPECT_FALSE(Changes::ValueExists(r, "Keep"));
    EXPECT_TRUE(r.ValueExists("Keep"));
    EXPECT_EQ(Changes::ReadString(r, "Flags"), "text now");
    EXPECT_EQ(Changes::LoadLines(env + "\\Help\\d7.ohl"), TStringList{"new help"});
    EXPECT_FALSE(Changes::FileExists(env + "\\Lib\\Other.dcu"));
    ASSERT_TRUE(Fs::DeleteFile(out + "\\New.bpl"));
    try {
      batch.Commit();
      ADD_FAILURE() << "no error";
    } catch (const EFileError &error) {
      EXPECT_EQ(error.Message().rfind("Cannot copy file \"" + out + "\\New.bpl\"", 0), 0u) << error.Message();
    }
    EXPECT_EQ(CurrentValueState(TRootKey::CurrentUser, "Software\\ZelTest\\Record\\Quivex", "BinPath").Data,
              "C:\\Out\\Bin"); // made before the copy
  }
  EXPECT_FALSE(Fs::FileExists(env + "\\defproj.dof.tmp"));
  WriteTextFile(out + "\\New.bpl", "package");
  TUndoReport report = scope.Rollback();
  EXPECT_TRUE(report.Failed.empty()) << report.Failed.front();
  EXPECT_TRUE(report.ChangedSince.empty()) << report.ChangedSince.front();
  EXPECT_EQ(Snapshot(), before);
}

// In a batch a change the system would refuse is refused at once, as without a batch, and neither
// recorded nor noted: a read-only file, or a folder in the file's place.
TEST_F(ChangesTest, ABatchRefusesAtOnceWhatTheSystemWouldRefuse) {
  const std::string folderInPlace = env + "\\Lib\\New.bpl";
  ASSERT_TRUE(Fs::CreateFolder(folderInPlace));
  ASSERT_TRUE(Fs::SetReadOnly(env + "\\Help\\d7.ohl", true));
  WriteTextFile(env + "\\defproj.dof.tmp", "SearchPath=C:\\Out\r\n");
  const std::string before = Snapshot();
  // Each change gives the system's reason for its refusal ("" when it went through).
  auto reason = [](bool made) { return made ? std::string() : SystemErrorMessage(Fs::LastErrorCode()); };
  const struct {
    const char *Name;
    std::function<std::string()> Change;
  } refusals[] = {
      {"a copy over a read-only file",
       [&] { return reason(Changes::CopyFile(out + "\\New.bpl", env + "\\Help\\d7.ohl", false)); }},
      {"a copy onto a folder",
       [&] { return reason(Changes::CopyFile(out + "\\New.bpl", folderInPlace, false)); }},
      {"a rename over a read-only file",
       [&] { return reason(Changes::RenameOver(env + "\\defproj.dof.tmp", env + "\\Help\\d7.ohl")); }},
      {"a read-only file deleted", [&] { return reason(Changes::DeleteFile(env + "\\Help\\d7.ohl")); }},
      {"a read-only file saved",
       [&] {
         try {
           Changes::SaveLines(env + "\\Help\\d7.ohl", {"new help"});
         } catch (const EFileError &error) {
           return error.Message();
         }
         return std::string();
       }},
  };
  for (const auto &refusal : refusals) {
    SCOPED_TRACE(refusal.Name);
    TChangeScope scope("Test Env", EnvKey, {out});
    TChangeBatch batch;
    std::string why = refusal.Change();
    EXPECT_NE(why.find(SystemErrorMessage(Fs::ErrorAccessDenied)), std::string::npos) << why;
    EXPECT_TRUE(scope.Journal().Changes().empty());
    batch.Commit();
    EXPECT_EQ(Snapshot(), before);
  }
  Fs::SetReadOnly(env + "\\Help\\d7.ohl", false);
}

TEST_F(ChangesTest, WhatAUserChangedSinceStaysAndPathListsKeepTheUsersEntries) {
  {
    TChangeScope scope("Test Env", EnvKey, {out});
    steps[0].Do(env, out); // "Search Path" gets C:\Out\Lib and loses $(DELPHI)\Lib
    steps[1].Do(env, out); // "Zel.hlp" created
    steps[6].Do(env, out); // the help file overwritten
    scope.Commit();
  }
  {
    TRegistry r(TRootKey::CurrentUser);
    ASSERT_TRUE(r.OpenKey("\\Software\\ZelTest\\Env\\Library", false));
    r.WriteString("Search Path", "C:\\User;C:\\A;C:\\B;C:\\Out\\Lib;C:\\Later");
    TRegistry machine(TRootKey::LocalMachine);
    ASSERT_TRUE(machine.OpenKey("\\Software\\ZelTest\\Help", false));
    machine.WriteString("Zel.hlp", "D:\\Moved");
  }
  WriteTextFile(env + "\\Help\\d7.ohl", "edited by hand");
  TUninstallReport report = UninstallEnvironment(EnvKey, journals);
  EXPECT_EQ(report.Journals, 1);
  EXPECT_EQ(report.ChangedSince,
            (std::vector<std::string>{env + "\\Help\\d7.ohl",
                                      "HKEY_LOCAL_MACHINE\\Software\\ZelTest\\Help\\Zel.hlp"}));
  EXPECT_EQ(CurrentValueState(TRootKey::CurrentUser, "Software\\ZelTest\\Env\\Library", "Search Path").Data,
            "C:\\User;C:\\A;$(DELPHI)\\Lib;C:\\B;C:\\Later");
  EXPECT_EQ(CurrentValueState(TRootKey::LocalMachine, "Software\\ZelTest\\Help", "Zel.hlp").Data,
            "D:\\Moved");
  EXPECT_EQ(*Fs::ReadWholeFile(env + "\\Help\\d7.ohl"), "edited by hand");
  EXPECT_EQ(UninstallEnvironment(EnvKey, journals).Journals, 0);
  EXPECT_TRUE(Fs::FindFiles(journals + "\\*.copy").empty()); // the copies went with the uninstall
}

// Two environments' runs write the same shared value and key (the program's record): whichever is
// uninstalled first, the other keeps its own state, and after both everything is as before.
// Two environments' runs change the same value and file; either may be uninstalled first. The
// first run may also write the file with the bytes it holds, which it saves no copy of: the later
// run's copy of those bytes then serves both.
TEST_F(ChangesTest, RunsOfTwoEnvironmentsOnASharedValueUndoInEitherOrder) {
  const std::string help = env + "\\Help\\d7.ohl";
  WriteTextFile(out + "\\Same.ohl", *Fs::ReadWholeFile(help));
  const std::string before = Snapshot();
  auto install = [&](const std::string &key, const std::string &binPath, bool sameBytes) {
    TChangeScope scope(key, key, {out});
    TRegistry r(TRootKey::CurrentUser);
    ASSERT_TRUE(Changes::OpenKey(r, "\\Software\\ZelTest\\Record\\Quivex", true));
    Changes::WriteString(r, "BinPath", binPath);
    if (sameBytes)
      ASSERT_TRUE(Changes::CopyFile(out + "\\Same.ohl", help, false));
    else
      Changes::SaveLines(help, {binPath});
    EXPECT_EQ(scope.Journal().Changes().back().Copy.empty(), sameBytes);
    scope.Commit();
  };
  auto binPath = [] {
    return CurrentValueState(TRootKey::CurrentUser, "Software\\ZelTest\\Record\\Quivex", "BinPath");
  };
  for (bool sameBytes : {false, true})
    for (bool firstGoesFirst : {true, false}) {
      SCOPED_TRACE(
          std::string(firstGoesFirst ? "the first run uninstalled first" : "the last run uninstalled first") +
          (sameBytes ? ", the first run writing the bytes the file holds" : ""));
      install("Software\\ZelTest\\A", "C:\\Out\\A", sameBytes);
      install("Software\\ZelTest\\B", "C:\\Out\\B", false);
      const std::string first = firstGoesFirst ? "Software\\ZelTest\\A" : "Software\\ZelTest\\B";
      const std::string second = firstGoesFirst ? "Software\\ZelTest\\B" : "Software\\ZelTest\\A";
      TUninstallReport report = UninstallEnvironment(first, journals);
      EXPECT_TRUE(report.ChangedSince.empty()) << report.ChangedSince.front();
      // The run still in place keeps what it wrote.
      const std::string kept = firstGoesFirst ? "C:\\Out\\B" : "C:\\Out\\A";
      EXPECT_EQ(binPath().Data, kept);
      EXPECT_EQ(*Fs::ReadWholeFile(help),
                sameBytes && !firstGoesFirst ? *Fs::ReadWholeFile(out + "\\Same.ohl") : kept + "\r\n");
      report = UninstallEnvironment(second, journals);
      EXPECT_TRUE(report.ChangedSince.empty()) << report.ChangedSince.front();
      EXPECT_TRUE(report.Failed.empty()) << report.Failed.front();
      EXPECT_EQ(Snapshot(), before);
    }
}

TEST(PathListMerge, TheInstallsEntriesGoAndTheOnesItRemovedComeBackInPlace) {
  const struct {
    const char *before, *after, *current, *expected;
  } cases[] = {
      {"A;B;C", "A;C;Q", "A;C;Q", "A;B;C"},
      {"A;B;C", "A;C;Q", "U;A;C;Q;V", "U;A;B;C;V"},
      {"A;B;C", "A;C;Q", "C;Q;A", "C;A;B"}, // the user's order stays; B after A, as before
      {"B;C", "C;Q", "U;C;Q", "B;U;C"},     // nothing preceded B: it goes first
      {"", "Q", "Q;U", "U"},
      {"A;b", "A;Q", "a;Q", "a;b"}, // compared without regard to case
      {"A;B", "A;B;Q", "A;Q", "A"}, // an entry the user removed stays removed
  };
  for (const auto &c : cases)
    EXPECT_EQ(MergePathListBack(c.before, c.after, c.current), c.expected) << c.current;
}

TEST(JournalText, EveryRecordReadsBackAsWritten) {
  TChange value;
  value.Kind = TChangeKind::Value;
  value.Root = TRootKey::LocalMachine;
  value.Key = "Software\\Q\"uote";
  value.Name = std::string("N\xE9\x01\\", 4);
  value.Before = TValueState{true, rdInteger, std::string("\x05\0\0\x80", 4)};
  value.After = TValueState{true, rdBinary, std::string("\0\xFF", 2)};
  TChange file;
  file.Kind = TChangeKind::File;
  file.Path = "C:\\Env\\x.bpl";
  file.FileBefore = TFileState{true, 12, 0xFFFFFFFFFFFFFFFFull};
  file.Copy = "a.copy";
  for (const TChange &change : {value, file}) {
    std::string line = ChangeLine(7, change);
    ASSERT_EQ(line.back(), '\n');
    auto read = ParseJournalLine(line.substr(0, line.size() - 1));
    ASSERT_TRUE(read && read->Change) << line;
    EXPECT_EQ(ChangeLine(7, *read->Change), line);
    EXPECT_FALSE(ParseJournalLine(line.substr(0, line.size() / 2))); // a cut record is no record
  }
}

} // namespace

// The record-only mode: steps under a plan change nothing, each value and file is one entry from
// its state before to its last, what returns to its state is none, and later reads see the plan.
TEST_F(ChangesTest, APlanRecordsOneEntryPerSubjectAndChangesNothing) {
  const std::string snapshot = Snapshot();
  std::vector<TEnvironmentPlan> plan;
  {
    TPlanScope scope;
    scope.BeginEnvironment("Env", 0);
    TRegistry r(TRootKey::CurrentUser);
    ASSERT_TRUE(Changes::OpenKey(r, "\\Software\\ZelTest\\Env\\Library", false));
    Changes::WriteString(r, "Search Path", "first");
    Changes::WriteString(r, "Search Path", "second"); // twice: one entry
    Changes::WriteString(r, "Keep", "changed");
    Changes::WriteString(r, "Keep", "k"); // back as it was: no entry
    EXPECT_TRUE(Changes::DeleteValue(r, "Flags"));
    EXPECT_FALSE(Changes::DeleteValue(r, "Flags")); // gone in the plan already
    EXPECT_EQ(Changes::ReadString(r, "Search Path"), "second");
    auto names = Changes::GetValueNames(r);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Flags"), 0);
    TRegistry created(TRootKey::CurrentUser);
    ASSERT_TRUE(
        Changes::OpenKey(created, "\\Software\\ZelTest\\New\\Deeper", true)); // a key only the plan has
    Changes::WriteString(created, "Made", "m");
    EXPECT_EQ(Changes::GetValueNames(created), std::vector<std::string>{"Made"});
    EXPECT_TRUE(Changes::MoveFile(env + "\\Lib\\Old.dcu", env + "\\Lib\\Moved.dcu"));
    EXPECT_FALSE(Changes::FileExists(env + "\\Lib\\Old.dcu"));
    EXPECT_TRUE(Changes::CopyFile(env + "\\Lib\\Moved.dcu", out + "\\Copy.dcu", true)); // the moved bytes
    EXPECT_TRUE(Changes::DeleteFile(env + "\\Lib\\Other.dcu"));
    Changes::SaveLines(env + "\\Lib\\Other.dcu", {"other unit"}); // made again with other bytes
    Changes::SaveLines(env + "\\Temp.txt", {"t"});
    EXPECT_TRUE(Changes::DeleteFile(env + "\\Temp.txt")); // made and gone: no entry
    EXPECT_EQ(Changes::LoadLines(env + "\\Lib\\Other.dcu"), TStringList{"other unit"});
    // An edit's scratch copy goes to the temporary folder, never into the environment's folders.
    EXPECT_EQ(Changes::ScratchCopyName(env + "\\bin\\defproj.dof")
                  .rfind(Fs::TemporaryFolder() + "\\defproj.dof.", 0),
              0u);
    plan = scope.Environments();
  }
  EXPECT_EQ(Changes::ScratchCopyName(env + "\\bin\\defproj.dof").rfind(env + "\\bin\\defproj.dof.", 0), 0u)
      << "a real edit's copy lies beside the file, on its volume";
  EXPECT_EQ(Snapshot(), snapshot);
  EXPECT_FALSE(Fs::DirectoryExists(journals)) << "a plan writes no journal";
  ASSERT_EQ(plan.size(), 1u);
  auto text = [](const TValueState &value) {
    return !value.Exists             ? std::string("(absent)")
           : value.Type == rdInteger ? RegistryTypeName(value.Type) + " " + std::to_string(int(value.Data[0]))
                                     : RegistryTypeName(value.Type) + " \"" + value.Data + "\"";
  };
  std::vector<std::string> entries;
  for (const auto &value : plan[0].Registry)
    entries.push_back(value.Key + "\\" + value.Name + ": " + text(value.Before) + " -> " + text(value.After));
  for (const auto &file : plan[0].Files)
    entries.push_back(PlannedFileActionName(file.Action) + " " + file.Path +
                      (file.To.empty() ? "" : " " + file.To));
  EXPECT_EQ(entries, (std::vector<std::string>{
                         "HKEY_CURRENT_USER\\Software\\ZelTest\\Env\\Library\\Search Path: REG_SZ "
                         "\"C:\\A;$(DELPHI)\\Lib;C:\\B\" -> "
                         "REG_SZ \"second\"",
                         "HKEY_CURRENT_USER\\Software\\ZelTest\\Env\\Library\\Flags: REG_DWORD 5 -> (absent)",
                         "HKEY_CURRENT_USER\\Software\\ZelTest\\New\\Deeper\\Made: (absent) -> REG_SZ \"m\"",
                         "move " + env + "\\Lib\\Old.dcu " + env + "\\Lib\\Moved.dcu",
                         "create " + env + "\\Lib\\Moved.dcu", "create " + out + "\\Copy.dcu",
                         "overwrite " + env + "\\Lib\\Other.dcu"}));
}
