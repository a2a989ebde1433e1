#include "Undo.h"
#include "Plan.h"

#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"

#include <algorithm>
#include <optional>

namespace {

bool MergePathListFileBack(const TChange &change, const std::string &journalFolder);

std::vector<std::string> SplitList(const std::string &list) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = list.find(';', start);
    std::string entry = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::size_t first = entry.find_first_not_of(' ');
    if (first != std::string::npos)
      entries.push_back(entry.substr(first));
    if (end == std::string::npos)
      return entries;
    start = end + 1;
  }
}

bool Holds(const std::vector<std::string> &entries, const std::string &entry) {
  return std::any_of(entries.begin(), entries.end(),
                     [&](const std::string &e) { return UpperCase(e) == UpperCase(entry); });
}

std::string Join(const std::vector<std::string> &entries) {
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i)
    text += (i ? ";" : "") + entries[i];
  return text;
}

// Under a plan the undo changes nothing: it notes what it would write, and reads the machine as the
// plan leaves it, so that an older journal's records meet the state the newer ones put back.
TValueState ValueNow(const TChange &change) {
  TPlanScope *plan = TPlanScope::Current();
  return plan ? plan->ValueState(change.Root, change.Key, change.Name)
              : CurrentValueState(change.Root, change.Key, change.Name);
}

TFileState FileNow(const std::string &path) {
  TPlanScope *plan = TPlanScope::Current();
  return plan ? plan->FileState(path) : CurrentFileState(path);
}

std::optional<std::string> BytesNow(const std::string &path) {
  TPlanScope *plan = TPlanScope::Current();
  return plan ? plan->FileBytes(path) : Fs::ReadWholeFile(path);
}

void WriteFileBack(const std::string &path, const std::string &bytes) {
  if (TPlanScope *plan = TPlanScope::Current())
    return plan->PlanFile(path, true, bytes);
  if (!Fs::WriteWholeFile(path, bytes))
    throw EFileError("Cannot create file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
}

void WriteValueState(const TChange &change, const TValueState &state) {
  if (TPlanScope *plan = TPlanScope::Current()) {
    if (!plan->KeyExists(change.Root, change.Key) && !state.Exists)
      return;
    if (state.Exists || plan->ValueState(change.Root, change.Key, change.Name).Exists)
      plan->PlanValue(change.Root, change.Key, change.Name, state);
    return;
  }
  TRegistry registry(change.Root);
  if (!registry.OpenKey("\\" + change.Key, state.Exists))
    return; // the key is gone, and with it the value
  if (state.Exists)
    registry.WriteValue(TRegValue{change.Name, state.Type, state.Data});
  else if (registry.ValueExists(change.Name) && !registry.DeleteValue(change.Name))
    throw ERegistryException("Cannot delete registry: " + change.Name);
}

// Puts one change back; false when its subject changed since the run (left as it is).
bool UndoOne(const TChange &change, const std::string &journalFolder) {
  switch (change.Kind) {
  case TChangeKind::Value: {
    TValueState now = ValueNow(change);
    if (now == change.Before)
      return true;
    if (now == change.After) {
      WriteValueState(change, change.Before);
      return true;
    }
    if (IsPathListValue(change.Name) && now.Exists && change.After.Exists &&
        (now.Type == rdString || now.Type == rdExpandString)) {
      TValueState merged = now;
      merged.Data =
          MergePathListBack(change.Before.Exists ? change.Before.Data : "", change.After.Data, now.Data);
      if (!change.Before.Exists && merged.Data.empty())
        merged.Exists = false;
      WriteValueState(change, merged);
      return true;
    }
    return false;
  }
  case TChangeKind::Key: {
    TRegistry registry(change.Root);
    if (!registry.OpenKeyReadOnly("\\" + change.Key))
      return true;
    if (!Changes::GetValueNames(registry).empty() || !registry.GetKeyNames().empty())
      return false; // someone keeps something there
    if (TPlanScope::Current())
      return true; // the plan lists values and files: an empty key's end is no entry of it
    registry.CloseKey();
    if (!registry.DeleteKey("\\" + change.Key))
      throw ERegistryException("Cannot delete registry key: " + change.Key);
    return true;
  }
  case TChangeKind::File: {
    TFileState now = FileNow(change.Path);
    if (now == change.FileBefore)
      return true;
    if (now != change.FileAfter)
      return !change.AfterCopy.empty() && change.FileBefore.Exists && now.Exists &&
             MergePathListFileBack(change, journalFolder);
    if (!change.FileBefore.Exists) {
      if (TPlanScope *plan = TPlanScope::Current()) {
        plan->PlanFile(change.Path, false, std::nullopt);
        return true;
      }
      if (!Fs::DeleteFile(change.Path))
        throw EFileError("Cannot delete file \"" + change.Path + "\". " +
                         SystemErrorMessage(Fs::LastErrorCode()));
      return true;
    }
    auto bytes = Fs::ReadWholeFile(journalFolder + "\\" + change.Copy);
    if (!bytes || FileStateOf(*bytes) != change.FileBefore)
      throw EFileError("The journal's copy of \"" + change.Path + "\" is missing or damaged");
    WriteFileBack(change.Path, *bytes);
    return true;
  }
  case TChangeKind::Folder:
    if (!Fs::DirectoryExists(change.Path) || TPlanScope::Current())
      return true;
    if (!Fs::FindFiles(change.Path + "\\*").empty())
      return false;
    Fs::RemoveFolder(change.Path);
    return true;
  }
  return true;
}

std::string NamePart(const std::string &line) {
  return UpperCase(line.substr(0, line.find('=')));
}

bool IsListLine(const std::string &line) {
  std::string name = NamePart(line);
  return line.find('=') != std::string::npos && (name == "SEARCHPATH" || name == "PACKAGES");
}

// The first line of lines named as line, or nothing.
const std::string *LineNamed(const TStringList &lines, const std::string &line) {
  for (const auto &candidate : lines)
    if (IsListLine(candidate) && NamePart(candidate) == NamePart(line))
      return &candidate;
  return nullptr;
}

// A default project options file someone edited since the run: its list lines lose the run's own
// entries and get back the ones it removed; the lines the run added and nobody touched go; the
// rest is the user's.
bool MergePathListFileBack(const TChange &change, const std::string &journalFolder) {
  auto before = Fs::ReadWholeFile(journalFolder + "\\" + change.Copy);
  auto after = Fs::ReadWholeFile(journalFolder + "\\" + change.AfterCopy);
  auto now = BytesNow(change.Path);
  if (!before || !after || !now || FileStateOf(*before) != change.FileBefore)
    return false;
  TStringList was = SplitLines(*before), left = SplitLines(*after), merged;
  for (const auto &line : SplitLines(*now)) {
    const std::string *old = IsListLine(line) ? LineNamed(was, line) : nullptr;
    const std::string *installed = IsListLine(line) ? LineNamed(left, line) : nullptr;
    if (old && installed) {
      std::size_t at = line.find('=') + 1;
      merged.push_back(line.substr(0, at) + MergePathListBack(old->substr(old->find('=') + 1),
                                                              installed->substr(installed->find('=') + 1),
                                                              line.substr(at)));
    } else if (std::find(left.begin(), left.end(), line) != left.end() &&
               std::find(was.begin(), was.end(), line) == was.end()) {
      continue; // a line the run added, as it left it
    } else {
      merged.push_back(line);
    }
  }
  WriteFileBack(change.Path, JoinLines(merged));
  return true;
}

} // namespace

bool IsPathListValue(const std::string &valueName) {
  std::string name = UpperCase(valueName);
  return name == "SEARCH PATH" || name == "BROWSING PATH" || name == "DEBUG DCU PATH" ||
         name == "PACKAGE SEARCH PATH";
}

std::string MergePathListBack(const std::string &before, const std::string &after,
                              const std::string &current) {
  std::vector<std::string> was = SplitList(before), left = SplitList(after), result;
  for (const auto &entry : SplitList(current))
    if (Holds(was, entry) || !Holds(left, entry))
      result.push_back(entry); // the install's own entries go, the user's stay
  for (std::size_t i = 0; i < was.size(); ++i) {
    if (Holds(left, was[i]) || Holds(result, was[i]))
      continue;
    // Back after the nearest entry that preceded it before and is still there.
    auto at = result.begin();
    for (std::size_t j = i; j-- > 0;) {
      auto found = std::find_if(result.begin(), result.end(),
                                [&](const std::string &e) { return UpperCase(e) == UpperCase(was[j]); });
      if (found != result.end()) {
        at = found + 1;
        break;
      }
    }
    result.insert(at, was[i]);
  }
  return Join(result);
}

TUndoReport UndoChanges(const std::vector<TChange> &changes, const std::string &journalFolder) {
  TUndoReport report;
  for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
    try {
      if (UndoOne(*change, journalFolder))
        ++report.Undone;
      else
        report.ChangedSince.push_back(ChangeSubject(*change));
    } catch (const Exception &error) {
      report.Failed.push_back(ChangeSubject(*change) + ": " + error.Message());
    }
  }
  return report;
}

void RemoveJournalCopies(const std::string &journalFolder, const std::vector<TChange> &changes) {
  if (TPlanScope::Current())
    return;
  for (const auto &change : changes)
    for (const std::string *copy : {&change.Copy, &change.AfterCopy})
      if (!copy->empty())
        Fs::DeleteFile(journalFolder + "\\" + *copy);
}

std::vector<TStoredJournal> ReadJournals(const std::string &folder) {
  std::vector<TStoredJournal> journals;
  for (const auto &found : Fs::FindFiles(folder + "\\*.journal")) {
    if (found.IsDirectory)
      continue;
    auto bytes = Fs::ReadWholeFile(folder + "\\" + found.Name);
    if (!bytes)
      continue;
    if (TPlanScope *plan = TPlanScope::Current())
      *bytes += plan->JournalText(folder + "\\" + found.Name);
    TStoredJournal journal;
    journal.Path = folder + "\\" + found.Name;
    bool hasHeader = false;
    for (const auto &text : SplitLines(*bytes)) {
      auto line = ParseJournalLine(text);
      if (!line)
        continue; // a line cut by a crash: the records before it are whole
      if (line->Header) {
        journal.Header = *line->Header;
        hasHeader = true;
      } else if (line->RebaseOf > 0 && std::size_t(line->RebaseOf) <= journal.Changes.size()) {
        TChange &change = journal.Changes[std::size_t(line->RebaseOf) - 1];
        change.Before = line->Change->Before;
        change.FileBefore = line->Change->FileBefore;
        change.Copy = line->Change->Copy;
      } else if (line->Inherited) {
        journal.InheritedKeys.push_back(*line->Inherited);
      } else if (line->Change && line->RebaseOf == 0) {
        journal.Changes.push_back(*line->Change);
      } else if (line->State) {
        journal.State = line->State->State;
      }
    }
    if (hasHeader)
      journals.push_back(std::move(journal));
  }
  std::sort(journals.begin(), journals.end(),
            [](const TStoredJournal &a, const TStoredJournal &b) { return a.Path < b.Path; });
  return journals;
}

namespace {
bool IsToUndo(const TStoredJournal &journal, const std::string &key) {
  return UpperCase(journal.Header.Key) == UpperCase(key) && journal.State != "undone" &&
         journal.State != "rolledBack";
}
} // namespace

bool HasJournalsToUndo(const std::string &key, const std::string &journalFolder) {
  for (const auto &journal : ReadJournals(journalFolder))
    if (IsToUndo(journal, key))
      return true;
  return false;
}

namespace {

void AppendLine(const std::string &path, const std::string &line) {
  // A journal cut by a crash ends inside its last line: a new line starts a line of its own.
  auto text = Fs::ReadWholeFile(path);
  TPlanScope *plan = TPlanScope::Current();
  if (plan && text)
    *text += plan->JournalText(path);
  bool cut = text && !text->empty() && text->back() != '\n';
  if (plan)
    return plan->AppendJournalText(path, (cut ? "\n" : "") + line);
  if (!Fs::AppendToFileDurably(path, (cut ? "\n" : "") + line))
    throw EFileError("Cannot write the journal \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
}

bool UnderKey(const TChange &change, const TChange &key) {
  if ((change.Kind != TChangeKind::Value && change.Kind != TChangeKind::Key) || change.Root != key.Root)
    return false;
  std::string path = UpperCase(change.Key) + "\\", top = UpperCase(key.Key) + "\\";
  return path.compare(0, top.size(), top) == 0;
}

// The journals the uninstall walks, and where an earlier run's change was changed again by a later
// run that is still in place (of another environment: the program's record and the help
// registrations are shared).
class TJournalChain {
public:
  TJournalChain(std::vector<TStoredJournal> journals, std::string folder)
      : journals_(std::move(journals)), folder_(std::move(folder)) {}
  std::vector<TStoredJournal> &Journals() { return journals_; }

  // The first record after journal `after` in a journal still in place that changes what change
  // does; the journal's place and the record's number.
  std::optional<std::pair<std::size_t, std::size_t>> LaterChangeOf(std::size_t after, const TChange &change) {
    std::string subject = UpperCase(ChangeSubject(change));
    for (std::size_t j = after + 1; j < journals_.size(); ++j) {
      if (!InPlace(journals_[j]))
        continue;
      const auto &changes = journals_[j].Changes;
      for (std::size_t n = 0; n < changes.size(); ++n) {
        bool same = change.Kind == TChangeKind::Key
                        ? UnderKey(changes[n], change)
                        : changes[n].Kind == change.Kind && UpperCase(ChangeSubject(changes[n])) == subject;
        if (same)
          return std::pair{j, n};
      }
    }
    return std::nullopt;
  }

  // The later record takes over the earlier state before (and the saved bytes, copied for it).
  void Rebase(std::size_t journal, std::size_t record, const TChange &earlier) {
    TStoredJournal &later = journals_[journal];
    TChange before = earlier;
    before.Kind = later.Changes[record].Kind;
    const TChange &own = later.Changes[record];
    if (own.Kind == TChangeKind::File && earlier.FileBefore == own.FileBefore) {
      before.Copy = own.Copy; // the earlier run left the bytes it found: the later record's copy holds them
    } else if (!earlier.Copy.empty() && TPlanScope::Current()) {
      before.Copy = earlier.Copy; // a plan removes no copy: the earlier one serves
    } else if (!earlier.Copy.empty()) {
      std::string stem = later.Path.substr(later.Path.find_last_of('\\') + 1);
      stem = stem.substr(0, stem.rfind('.'));
      before.Copy = stem + "-r" + std::to_string(record + 1) + ".copy";
      auto bytes = Fs::ReadWholeFile(folder_ + "\\" + earlier.Copy);
      if (!bytes || !Fs::WriteWholeFile(folder_ + "\\" + before.Copy, *bytes))
        throw EFileError("Cannot keep the journal's copy of \"" + earlier.Path + "\"");
    }
    AppendLine(later.Path, RebaseLine(int(record) + 1, before));
    TChange &change = later.Changes[record];
    change.Before = before.Before;
    change.FileBefore = before.FileBefore;
    change.Copy = before.Copy;
  }

  void Inherit(std::size_t journal, const TChange &key) {
    AppendLine(journals_[journal].Path, InheritLine(key));
    journals_[journal].InheritedKeys.push_back(key);
  }

  static bool InPlace(const TStoredJournal &journal) {
    return journal.State != "undone" && journal.State != "rolledBack";
  }

private:
  std::vector<TStoredJournal> journals_;
  std::string folder_;
};

} // namespace

TUninstallReport UninstallEnvironment(const std::string &key, const std::string &journalFolder) {
  TUninstallReport report;
  TJournalChain chain(ReadJournals(journalFolder), journalFolder);
  auto &journals = chain.Journals();
  for (std::size_t j = journals.size(); j-- > 0;) {
    TStoredJournal &journal = journals[j];
    if (!IsToUndo(journal, key))
      continue;
    TUndoReport undone;
    std::vector<TChange> own, all = journal.InheritedKeys; // the keys earlier runs created come first:
    all.insert(all.end(), journal.Changes.begin(),
               journal.Changes.end()); // undone newest first, they go last
    for (const TChange &change : all) {
      auto later = change.Kind == TChangeKind::Folder ? std::nullopt : chain.LaterChangeOf(j, change);
      if (!later) {
        own.push_back(change);
        continue;
      }
      try {
        if (change.Kind == TChangeKind::Key)
          chain.Inherit(later->first, change);
        else
          chain.Rebase(later->first, later->second, change);
        ++undone.Undone;
      } catch (const Exception &error) {
        undone.Failed.push_back(ChangeSubject(change) + ": " + error.Message());
      }
    }
    TUndoReport ownUndone = UndoChanges(own, journalFolder);
    undone.Undone += ownUndone.Undone;
    undone.ChangedSince = ownUndone.ChangedSince;
    undone.Failed.insert(undone.Failed.end(), ownUndone.Failed.begin(), ownUndone.Failed.end());
    report.Undone += undone.Undone;
    for (const auto &subject : undone.ChangedSince) // each once, though several runs wrote it
      if (std::find(report.ChangedSince.begin(), report.ChangedSince.end(), subject) ==
          report.ChangedSince.end())
        report.ChangedSince.push_back(subject);
    report.Failed.insert(report.Failed.end(), undone.Failed.begin(), undone.Failed.end());
    ++report.Journals;
    if (undone.Failed.empty()) {
      AppendLine(journal.Path, StateLine(TJournalState{"undone", ""}));
      journal.State = "undone";
      RemoveJournalCopies(journalFolder, journal.Changes);
    }
  }
  return report;
}
