#include "BuildLog.h"

#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Controls.h"

std::unique_ptr<TStringList> BuildLog;
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

void ShowStatus(int index, const std::string &text) {
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
  if (ToolOutputView)
    ToolOutputView(line);
}
