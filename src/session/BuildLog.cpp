#include "BuildLog.h"

#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Controls.h"

thread_local TThreadLog BuildLog;
bool StandardMode = false;
std::function<void(const std::string &line)> ToolOutputView;
std::function<void(int index, const std::string &text)> StatusView;

void EnsureBuildLog() {
  if (!BuildLog)
    BuildLog = std::make_unique<TStringList>();
}

void AppendToBuildLog(const std::string &line) {
  EnsureBuildLog();
  BuildLog->push_back(line);
}

namespace {
thread_local TEnvironmentThread *environmentThread = nullptr;
} // namespace

TEnvironmentThread::TEnvironmentThread(TStatusRelay relay) : relay_(std::move(relay)) {
  environmentThread = this;
  BuildLog.reset();
}

TEnvironmentThread::~TEnvironmentThread() {
  environmentThread = nullptr;
  BuildLog.reset();
}

TStringList TEnvironmentThread::TakeLog() {
  TStringList lines = BuildLog ? std::move(*BuildLog) : TStringList{};
  BuildLog.reset();
  return lines;
}

TEnvironmentThread *TEnvironmentThread::Current() {
  return environmentThread;
}

void ShowStatus(int index, const std::string &text) {
  if (environmentThread) {
    environmentThread->relay_(index, text);
    return;
  }
  if (index != -1) {
    TLabel *label = Environments[std::size_t(index)].StatusLabel;
    label->SetCaption(text);
    label->Repaint();
    if (StatusView)
      StatusView(index, text);
  }
  Application().ProcessMessages();
}

void ShowToolOutput(const std::string &line) {
  if (!environmentThread && ToolOutputView)
    ToolOutputView(line);
}
