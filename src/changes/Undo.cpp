#include "Undo.h"

#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"

#include <algorithm>

namespace {

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

void WriteValueState(const TChange &change, const TValueState &state) {
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
    TValueState now = CurrentValueState(change.Root, change.Key, change.Name);
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
    if (!registry.GetValueNames().empty() || !registry.GetKeyNames().empty())
      return false; // someone keeps something there
    registry.CloseKey();
    if (!registry.DeleteKey("\\" + change.Key))
      throw ERegistryException("Cannot delete registry key: " + change.Key);
    return true;
  }
  case TChangeKind::File: {
    TFileState now = CurrentFileState(change.Path);
    if (now == change.FileBefore)
      return true;
    if (now != change.FileAfter)
      return false;
    if (!change.FileBefore.Exists) {
      if (!Fs::DeleteFile(change.Path))
        throw EFileError("Cannot delete file \"" + change.Path + "\". " +
                         SystemErrorMessage(Fs::LastErrorCode()));
      return true;
    }
    auto bytes = Fs::ReadWholeFile(journalFolder + "\\" + change.Copy);
    if (!bytes || FileStateOf(*bytes) != change.FileBefore)
      throw EFileError("The journal's copy of \"" + change.Path + "\" is missing or damaged");
    if (!Fs::WriteWholeFile(change.Path, *bytes))
      throw EFileError("Cannot create file \"" + change.Path + "\". " +
                       SystemErrorMessage(Fs::LastErrorCode()));
    return true;
  }
  case TChangeKind::Folder:
    if (!Fs::DirectoryExists(change.Path))
      return true;
    if (!Fs::FindFiles(change.Path + "\\*").empty())
      return false;
    Fs::RemoveFolder(change.Path);
    return true;
  }
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
  for (const auto &change : changes)
    if (!change.Copy.empty())
      Fs::DeleteFile(journalFolder + "\\" + change.Copy);
}

std::vector<TStoredJournal> ReadJournals(const std::string &folder) {
  std::vector<TStoredJournal> journals;
  for (const auto &found : Fs::FindFiles(folder + "\\*.journal")) {
    if (found.IsDirectory)
      continue;
    auto bytes = Fs::ReadWholeFile(folder + "\\" + found.Name);
    if (!bytes)
      continue;
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
      } else if (line->Change) {
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

TUninstallReport UninstallEnvironment(const std::string &key, const std::string &journalFolder) {
  TUninstallReport report;
  auto journals = ReadJournals(journalFolder);
  for (auto journal = journals.rbegin(); journal != journals.rend(); ++journal) {
    if (!IsToUndo(*journal, key))
      continue;
    TUndoReport undone = UndoChanges(journal->Changes, journalFolder);
    report.Undone += undone.Undone;
    report.ChangedSince.insert(report.ChangedSince.end(), undone.ChangedSince.begin(),
                               undone.ChangedSince.end());
    report.Failed.insert(report.Failed.end(), undone.Failed.begin(), undone.Failed.end());
    ++report.Journals;
    if (undone.Failed.empty()) {
      // A journal cut by a crash ends inside its last line: the state starts a line of its own.
      auto text = Fs::ReadWholeFile(journal->Path);
      bool cut = text && !text->empty() && text->back() != '\n';
      Fs::AppendToFileDurably(journal->Path, (cut ? "\n" : "") + StateLine(TJournalState{"undone", ""}));
      RemoveJournalCopies(journalFolder, journal->Changes);
    }
  }
  return report;
}
