// The journal's text: one JSON object per line, so that a record is whole once its line end is on
// disk and a journal cut by a crash loses at most its unfinished last line. Texts are kept byte for
// byte: bytes outside printable ASCII are written as \u00XX and read back as the same byte.
#pragma once
#include "Change.h"

#include <map>
#include <optional>
#include <string>

// The header that starts every journal.
struct TJournalHeader {
  int Format = 1;
  std::string Program;     // the program's version
  std::string Time;        // UTC, "2026-12-08T15:04:05Z"
  std::string Environment; // the row's caption
  std::string Key;         // the environment's registry key
};

// A line that ends a journal's run: "done" (kept), "rolledBack" (undone after a failure) or "undone"
// (uninstalled).
struct TJournalState {
  std::string State;
  std::string Time;
};

std::string JsonText(const std::string &bytes); // the quoted, escaped JSON string
// A registry value as {"type": "REG_SZ", "data": ...}: text for the string types, a number for
// REG_DWORD, hex bytes otherwise; "null" when absent.
std::string ValueStateJson(const TValueState &state);

std::string HeaderLine(const TJournalHeader &header);
std::string ChangeLine(int sequence, const TChange &change);
std::string StateLine(const TJournalState &state);

// When an earlier run of another environment is uninstalled while a later run changed the same value
// or file again, the later run takes over the earlier one's state before ("rebase"), and a key the
// earlier run created ("inherit"): undone, the later run then puts back what was there before both.
std::string RebaseLine(int sequence, const TChange &before);
std::string InheritLine(const TChange &createdKey);

// What one line holds; nothing for a line that is not a whole record (a cut last line).
struct TJournalLine {
  std::optional<TJournalHeader> Header;
  std::optional<TChange> Change;
  std::optional<TJournalState> State;
  int RebaseOf = 0;                 // a rebase: the record's number; Change holds the state before
  std::optional<TChange> Inherited; // an inherited key creation
};
std::optional<TJournalLine> ParseJournalLine(const std::string &line);
