// Uninstall: every change this program's runs made to one environment, undone newest first back to
// the state before the first, with what a user changed since left as it is.
#pragma once
#include "changes/Undo.h"

#include <string>

struct TUninstallOutcome {
  enum TStatus { Undone, NothingRecorded, Declined, Failed } Status = NothingRecorded;
  TUninstallReport Report;
};

// Undoes the environment's journals and writes what it restored into the log.
TUninstallOutcome UninstallQuivex(int index);
