#include "Desktop.h"

void TScriptedDesktop::ExpectQuestion(std::string message, bool yes) {
  steps_.push_back({TScriptedStep::TKind::Question, std::move(message), yes, std::nullopt});
}
void TScriptedDesktop::ExpectMessage(std::string message) {
  steps_.push_back({TScriptedStep::TKind::Message, std::move(message), false, std::nullopt});
}
void TScriptedDesktop::ExpectError(std::string message) {
  steps_.push_back({TScriptedStep::TKind::Error, std::move(message), false, std::nullopt});
}
void TScriptedDesktop::ExpectBrowse(std::string title, std::optional<std::string> folder) {
  steps_.push_back({TScriptedStep::TKind::BrowseFolder, std::move(title), false, std::move(folder)});
}
void TScriptedDesktop::AnswerRepeatedly(std::string message, std::function<bool()> answer) {
  repeatedMessage_ = std::move(message);
  repeatedAnswer_ = std::move(answer);
}

std::optional<TScriptedStep> TScriptedDesktop::Next(TScriptedStep::TKind kind, const std::string &text) {
  static const char *kindNames[] = {"question", "message", "error", "folder browser"};
  Shown.push_back(text);
  if (steps_.empty()) {
    Failures.push_back(std::string("unexpected ") + kindNames[int(kind)] + ": " + text);
    return std::nullopt;
  }
  TScriptedStep step = steps_.front();
  steps_.pop_front();
  if (step.Kind != kind || step.Expected != text) {
    Failures.push_back(std::string("expected ") + kindNames[int(step.Kind)] + " \"" + step.Expected + "\", got " +
                       kindNames[int(kind)] + " \"" + text + "\"");
    return std::nullopt;
  }
  return step;
}

bool TScriptedDesktop::AskYesNo(const std::string &message) {
  if (repeatedAnswer_ && message == repeatedMessage_) {
    Shown.push_back(message);
    return repeatedAnswer_();
  }
  auto step = Next(TScriptedStep::TKind::Question, message);
  return step && step->Yes;
}

void TScriptedDesktop::ShowMessage(const std::string &message) { Next(TScriptedStep::TKind::Message, message); }

void TScriptedDesktop::ShowError(const std::string &message) { Next(TScriptedStep::TKind::Error, message); }

std::optional<std::string> TScriptedDesktop::BrowseForFolder(const std::string &title,
                                                             const std::string &initialFolder) {
  BrowseInitialFolders.push_back(initialFolder);
  auto step = Next(TScriptedStep::TKind::BrowseFolder, title);
  return step ? step->Folder : std::nullopt;
}

bool TScriptedDesktop::StartProgram(const std::string &commandLine) {
  StartedPrograms.push_back(commandLine);
  return true;
}
