// The record-only mode of the changes layer: a dry run. While a TPlanScope lives on a thread, every
// change of the layer's functions (Changes::CopyFile ... Changes::DeleteValue) is noted in the plan
// and nothing is changed, in the environments' folders and registry as in the output tree and the
// source folder; the tools a run would start are noted with their folder, and the questions with
// the answer /yes gives. Reads through the layer (Changes::FileExists, Changes::ReadValue, ...) see
// what the plan has written so far, so that a later step decides as it would after the real
// change.
//
// The plan keeps one entry per file and per registry value and environment: its state when the
// environment's steps first touched it, and the state they leave. A value written back to what it
// held before, or a file created and deleted again, is no entry: the machine shows no difference.
#pragma once
#include "Change.h"
#include "framework/Registry.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

struct TPlannedCommand {
  std::string Folder;
  std::string CommandLine;
};

struct TPlannedQuestion {
  std::string Text;
  bool Answer = true;
};

enum class TPlannedFileAction { Create, Overwrite, Move, Delete };
// "create", "overwrite", "move", "delete".
std::string PlannedFileActionName(TPlannedFileAction action);

struct TPlannedFile {
  std::string Path;
  TPlannedFileAction Action = TPlannedFileAction::Create;
  std::string To;      // a move's target
  std::string Unknown; // why the bytes the run would leave cannot be known before it
};

struct TPlannedValue {
  std::string Key; // in full: "HKEY_CURRENT_USER\Software\..."
  std::string Name;
  TValueState Before, After;
};

struct TEnvironmentPlan {
  std::string Name;
  int Index = -1; // -1: the run's own steps outside any environment (its saved settings)
  std::vector<TPlannedCommand> Commands;
  std::vector<TPlannedFile> Files;
  std::vector<TPlannedValue> Registry;
  std::vector<TPlannedQuestion> Questions;
};

class TPlanScope {
public:
  TPlanScope();
  // Notes without being the thread's plan: a batch's overlay (ChangeBatch.h).
  struct TOverlayOnly {};
  explicit TPlanScope(TOverlayOnly);
  ~TPlanScope();
  TPlanScope(const TPlanScope &) = delete;
  TPlanScope &operator=(const TPlanScope &) = delete;

  static TPlanScope *Current();

  // What follows belongs to this environment (until the next). Before the first, entries belong to
  // the run itself (index -1).
  void BeginEnvironment(const std::string &name, int index);
  // Every environment with its entries, in the order they began; the run's own entries first.
  std::vector<TEnvironmentPlan> Environments() const;

  // Whether the plan has noted the file (made, changed or removed it).
  bool NotesFile(const std::string &path) const { return files_.count(ComparableName(path)) != 0; }
  // Files as the plan leaves them; a path the plan has not touched is read from the disk.
  bool FileExists(const std::string &path) const;
  bool DirectoryExists(const std::string &path) const;
  TFileState FileState(const std::string &path) const;
  // The bytes the file would hold: nothing when it would not exist or its bytes cannot be known.
  std::optional<std::string> FileBytes(const std::string &path) const;
  // The file would hold bytes (or, without them, bytes that cannot be known before the run:
  // unknown says why), or would be gone (exists false).
  void PlanFile(const std::string &path, bool exists, const std::optional<std::string> &bytes,
                const std::string &unknown = {});
  void PlanMove(const std::string &source, const std::string &target);
  // The names found by a mask ("C:\Src\*.dcu") as the plan leaves the folder: found, the names on
  // the disk, without those the plan deletes and with those it makes.
  std::vector<std::string> FilesMatching(const std::string &mask, std::vector<std::string> found) const;
  // What a package the plan's compiles would write says of itself (its "DESCRIPTION", which the
  // install reads), as its sources say it.
  void PlanDescription(const std::string &path, const std::string &description);
  std::optional<std::string> Description(const std::string &path) const;
  void PlanFolder(const std::string &path);

  // Registry values as the plan leaves them: nothing when the plan has not touched the value.
  std::optional<TValueState> PlannedValue(TRootKey root, const std::string &key,
                                          const std::string &name) const;
  TValueState ValueState(TRootKey root, const std::string &key, const std::string &name) const;
  // The names of the values the plan writes (present) or deletes (absent) in a key.
  std::map<std::string, bool> PlannedValueNames(TRootKey root, const std::string &key) const;
  void PlanValue(TRootKey root, const std::string &key, const std::string &name, const TValueState &after);
  bool KeyExists(TRootKey root, const std::string &key) const;
  void PlanKey(TRootKey root, const std::string &key);

  // The key a registry object has open: its own, or one that the plan creates (which the registry
  // cannot open), for as long as the object opens no other.
  std::string OpenKeyPath(const TRegistry &registry) const;
  void OpenPlannedKey(TRegistry &registry, const std::string &path);
  void ForgetPlannedKey(const TRegistry &registry) { plannedOpenKeys_.erase(&registry); }

  // Why the bytes a planned file would hold cannot be known ("" when they can, or it is untouched).
  std::string FileUnknown(const std::string &path) const;

  void PlanCommand(const std::string &folder, const std::string &commandLine);
  void PlanQuestion(const std::string &text, bool answer);

  // Journal lines an uninstall would append (the journals are the program's own record, not part of
  // the plan), so that a later uninstall in the same plan reads them as the real run would.
  void AppendJournalText(const std::string &path, const std::string &text);
  std::string JournalText(const std::string &path) const;

private:
  struct TFileNow {
    std::string Path;
    TFileState State;
    std::optional<std::string> Bytes;
    std::string Unknown;
  };
  struct TFileEntry {
    std::string Path;
    TFileState Before, After;
    bool AfterUnknown = false;
    std::string Unknown, MovedTo;
  };
  struct TValueEntry {
    TRootKey Root = TRootKey::CurrentUser;
    std::string Key, Name;
    TValueState Before, After; // Before unused in values_: the state now is After
  };
  struct TEnvironmentEntries {
    std::string Name;
    int Index = -1;
    std::vector<TPlannedCommand> Commands;
    std::vector<TPlannedQuestion> Questions;
    std::vector<TFileEntry> Files;
    std::vector<TValueEntry> Values;
  };
  TEnvironmentEntries &Entries() { return environments_.back(); }
  TFileEntry &FileEntry(const std::string &path);
  static std::string ValueSubject(TRootKey root, const std::string &key, const std::string &name);

  std::map<std::string, TFileNow> files_; // by the path in capitals
  std::map<std::string, bool> folders_;   // by the path in capitals: planned to exist
  std::map<std::string, std::string> descriptions_;
  std::map<std::string, TValueEntry> values_; // the values now, by subject in capitals
  std::map<std::string, bool> keys_;          // keys the plan creates, by "ROOT\KEY"
  std::map<std::string, std::string> journalText_;
  std::map<const TRegistry *, std::string> plannedOpenKeys_;
  std::vector<TEnvironmentEntries> environments_;
  TPlanScope *outer_;
  bool current_ = true;
};

// The layer's changes and reads in the record-only mode: what EnvironmentChanges.cpp calls while a
// plan is on the thread. They fail as the framework calls would on the machine as the plan leaves it.
namespace PlannedChanges {
bool CopyFile(TPlanScope &plan, const std::string &source, const std::string &target, bool failIfExists);
bool MoveFile(TPlanScope &plan, const std::string &source, const std::string &target);
bool RenameOver(TPlanScope &plan, const std::string &source, const std::string &target);
bool DeleteFile(TPlanScope &plan, const std::string &path);
bool CreateFolder(TPlanScope &plan, const std::string &path);
void SaveLines(TPlanScope &plan, const std::string &path, const std::string &bytes);
bool OpenKey(TPlanScope &plan, TRegistry &registry, const std::string &key, bool canCreate);
void WriteValue(TPlanScope &plan, TRegistry &registry, const TRegValue &value);
bool DeleteValue(TPlanScope &plan, TRegistry &registry, const std::string &name);
} // namespace PlannedChanges
