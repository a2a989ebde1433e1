// Every change a run makes to an environment outside its own output tree and the source folder goes
// through the functions below: the registry values of the environments and of the install record,
// the environments' files and the system folder. Inside a TChangeScope each change is written to
// the scope's journal (its prior state, and a copy of a file's bytes) before it is made, so that
// it can be put back exactly: by the scope when a step fails, or later by an uninstall. Outside a
// scope, and inside the scope's own folders, the functions just make the change.
//
// The functions return and raise as the framework calls they stand for.
#pragma once
#include "Change.h"
#include "JournalText.h"
#include "framework/Files.h"
#include "framework/Registry.h"
#include "framework/TextLines.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The journals' folder: LocalAppDataFolder() + "\ZelRecompile\Journal" unless set (tests).
std::string JournalFolder();
void SetJournalFolder(const std::string &folder);

// One journal file: a header, then one line per change, written and flushed before the change.
// The file is made with the first change, so that a run that changes nothing leaves none.
//
// In a group (TChangeBatch) the records and copies are held until the group commits, and then
// written with one flush for all of them; the group's changes are made after that.
class TJournal {
public:
  TJournal(std::string folder, TJournalHeader header);
  const std::string &Folder() const { return folder_; }
  const std::string &Path() const { return path_; }
  const std::vector<TChange> &Changes() const { return changes_; }
  // Writes the record ahead of its change; raises EFileError when the journal cannot be written,
  // so that no change is made that could not be undone.
  void Record(const TChange &change);
  // Saves bytes beside the journal and returns the copy's file name; the bytes of one content are
  // saved once per journal.
  std::string SaveCopy(const std::string &bytes);
  void MarkState(const std::string &state);

  void BeginGroup();
  // The held copies and records on disk (the records in one write and one flush); the group goes on.
  // Raises EFileError as Record does.
  void CommitGroup();
  // The held records' changes will not be made: they are dropped, and the group ends.
  void DiscardGroup();

  // Tests only: called after each record is on disk and before its change is made, with the
  // record's number, so that a test can stop a run there as a crash would.
  static void SetRecordedHook(std::function<void(int record)> hook);

private:
  std::string folder_, stem_, path_;
  Fs::TDurableFile file_; // open from the first record on
  TJournalHeader header_;
  std::vector<TChange> changes_;
  std::vector<std::pair<std::uint64_t, std::string>> copies_;
  // The group: held since changes_[heldFrom_], and the copies still to write (name, bytes).
  bool grouping_ = false;
  std::size_t heldFrom_ = 0;
  std::string heldText_;
  std::vector<std::pair<std::string, std::string>> heldCopies_;
  bool folderMade_ = false;
  int copiesNamed_ = 0;
  void EnsureFolder();
  void WriteCopy(const std::string &name, const std::string &bytes);
};

// What undoing a set of changes did.
struct TUndoReport {
  int Undone = 0;                        // changes put back
  std::vector<std::string> ChangedSince; // left as they are: changed by someone since the run
  std::vector<std::string> Failed;       // could not be put back, with the reason
};

// The journal of this thread's environment work for as long as the object lives. Scopes do not
// nest: an inner one would split one run's changes over two journals.
class TChangeScope {
public:
  // environment: the row's caption; key: its registry key; ownFolders: the run's output tree and
  // the source folder, whose changes are not journalled.
  TChangeScope(const std::string &environment, const std::string &key, std::vector<std::string> ownFolders);
  ~TChangeScope();
  TChangeScope(const TChangeScope &) = delete;
  TChangeScope &operator=(const TChangeScope &) = delete;

  TJournal &Journal() { return journal_; }
  bool IsOwnPath(const std::string &path) const;
  // The run succeeded: the journal stays as the record an uninstall replays.
  void Commit();
  // The run failed: every change is undone, newest first, and the journal is marked so.
  TUndoReport Rollback();

  static TChangeScope *Current();

private:
  TJournal journal_;
  std::vector<std::string> ownFolders_;
  TChangeScope *outer_;
};

// Environments that build at once change what lies outside their own folders one at a time, in
// row order: each in its turn, which comes when every environment before it has made all its
// changes. Positions count the environments of a run from 0, in row order.
class TChangeTurns {
public:
  explicit TChangeTurns(int count);
  // Blocks until every position before position is done; calls waiting first when it must block.
  void Await(int position, const std::function<void()> &waiting = {});
  // position makes no further change; the next may begin.
  void Done(int position);

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<bool> done_;
};

// The place of this thread's environment among environments that build at once, for as long as
// the object lives on the thread; its end hands the turn on. Until the turn has come, the changes
// below wait for it, except deletions: a deletion is noted and made when the turn comes, so that a
// build may clear out earlier products (in the system folder, in the environment's lib) and go on
// compiling meanwhile. Nothing of the build reads what it deletes so.
class TChangeTurn {
public:
  // waiting: called on the thread when it starts to wait for its turn.
  TChangeTurn(TChangeTurns &turns, int position, std::function<void()> waiting = {});
  ~TChangeTurn();
  TChangeTurn(const TChangeTurn &) = delete;
  TChangeTurn &operator=(const TChangeTurn &) = delete;

  bool Held() const { return held_; }
  // Waits for the turn, then makes the deletions noted meanwhile, in order ("Error deleting file: "
  // and the path when one fails). At once when the turn is held.
  void Await();
  // Notes a deletion for the turn.
  void Defer(const std::string &path) { deferred_.push_back(path); }

  static TChangeTurn *Current();

private:
  TChangeTurns &turns_;
  int position_;
  std::function<void()> waiting_;
  bool held_ = false;
  std::vector<std::string> deferred_;
};

// The log lines that say what an undo did ("3 changes undone.", and one line per change left).
TStringList UndoReportLines(const TUndoReport &report, const std::string &verb);

namespace Changes {

// Waits for this thread's turn among environments that build at once (returns at once without
// one): for a step that decides on a change by what it reads first.
void AwaitTurn();

// Files.
bool CopyFile(const std::string &source, const std::string &target, bool failIfExists);
bool MoveFile(const std::string &source, const std::string &target);
bool RenameOver(const std::string &source, const std::string &target);
// A name for the copy an edit writes of path before it renames the copy over path (RenameOver):
// beside path, so that the rename stays on one volume; under a plan, in the temporary folder, so
// that a dry run writes nothing into the environments' folders even for a moment.
std::string ScratchCopyName(const std::string &path);
bool DeleteFile(const std::string &path);
bool CreateFolder(const std::string &path);
// SaveLines through the journal (raises EFileError as SaveLines does).
void SaveLines(const std::string &path, const TStringList &lines);

// Registry values of the key open on registry.
bool OpenKey(TRegistry &registry, const std::string &key, bool canCreate);
void WriteValue(TRegistry &registry, const TRegValue &value);
void WriteString(TRegistry &registry, const std::string &name, const std::string &text);
bool DeleteValue(TRegistry &registry, const std::string &name);

// Reads that a later step decides by, as the earlier steps left the machine: under a plan
// (Plan.h) what the plan would have written, else the disk and the registry as they are. They
// return and raise as the framework calls they stand for; the registry reads are of the key open on
// registry (or opened by Changes::OpenKey).
bool FileExists(const std::string &path);
bool DirectoryExists(const std::string &path);
TStringList LoadLines(const std::string &path);
std::optional<TRegValue> ReadValue(TRegistry &registry, const std::string &name);
bool ValueExists(TRegistry &registry, const std::string &name);
std::string ReadString(TRegistry &registry, const std::string &name);
std::vector<std::string> GetValueNames(TRegistry &registry,
                                       std::vector<std::string> *unrepresentable = nullptr);

} // namespace Changes
