// The shared log of a build or install, the row status, and the common report of an
// environment's failure. Every step appends lines; the main window shows them at each flush.
#pragma once
#include "framework/TextLines.h"
#include <functional>
#include <memory>
#include <string>

// The one log of the run: absent until EnsureBuildLog, released by each flush.
extern std::unique_ptr<TStringList> BuildLog;
// The run's Standard edition flag, set by the build run from StandardEditionBuild.
extern bool StandardMode;

void EnsureBuildLog();
// EnsureBuildLog, then appends one line.
void AppendToBuildLog(const std::string &line);

// Shows text in the status label of row index (unless index is -1), then lets the window handle
// pending messages so that it repaints and reacts between steps.
void ShowStatus(int index, const std::string &text);
// Where a row's status is reported besides its label (a run without a person prints it); unset,
// nowhere else.
extern std::function<void(int index, const std::string &text)> StatusView;

// Where the running tool's last output line is shown while it runs (the main window sets it for
// the time of a build run); unset, the line is shown nowhere. The log is not touched.
extern std::function<void(const std::string &line)> ToolOutputView;
// Shows line through ToolOutputView; an empty line clears what was shown.
void ShowToolOutput(const std::string &line);
