// One environment's work under a journal of its own: what it changes outside the run's own folders
// is recorded before it is made, and a failure puts it all back before it is reported.
#pragma once
#include "BuildHost.h"

#include <functional>

// Runs work with a journal for row index, unless a journal is already open on this thread (the
// build run's journal of the same environment then records the work). When work fails its changes
// are undone newest first; then the error is reported through the host (the log, "ERROR" in the
// row, the silent abort) and the log says what was undone. An error already reported (the silent
// abort) leaves after the undo.
void RunWithJournal(TBuildHost &host, int index, const std::function<void()> &work);
