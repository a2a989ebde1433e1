// Undoing recorded changes, newest first, and the uninstall that undoes every journal of an
// environment. A change is put back only while its subject still holds what the run left: what
// someone changed since is theirs and stays, except in path lists, where only the run's own
// entries go and the entries it removed come back.
#pragma once
#include "EnvironmentChanges.h"

#include <string>
#include <vector>

TUndoReport UndoChanges(const std::vector<TChange> &changes, const std::string &journalFolder);
// Removes the journal's saved copies of files.
void RemoveJournalCopies(const std::string &journalFolder, const std::vector<TChange> &changes);

// The path list a user changed since an install: current without the entries the install added
// (in after, not in before), with the entries it removed (in before, not in after) back after the
// entry that preceded them before.
std::string MergePathListBack(const std::string &before, const std::string &after,
                              const std::string &current);
bool IsPathListValue(const std::string &valueName);

// A journal as read back from its file.
struct TStoredJournal {
  std::string Path;
  TJournalHeader Header;
  std::vector<TChange> Changes;
  std::vector<TChange> InheritedKeys; // keys created by earlier runs that were uninstalled since
  std::string State;                  // the last state line: "", "done", "rolledBack" or "undone"
};
std::vector<TStoredJournal> ReadJournals(const std::string &folder);

// Whether the environment with registry key key has a journal that an uninstall would undo.
bool HasJournalsToUndo(const std::string &key, const std::string &journalFolder);

struct TUninstallReport : TUndoReport {
  int Journals = 0; // journals undone
};
// Undoes every journal of the environment with registry key key that is not undone yet, newest
// first, marks each "undone" and removes their copies.
TUninstallReport UninstallEnvironment(const std::string &key, const std::string &journalFolder);
