#include "unattended/UnattendedDesktop.h"

#include "changes/Plan.h"
#include "framework/Exception.h"

std::string OneLine(const std::string &text) {
  std::string line = text;
  for (auto &c : line)
    if (c == '\r' || c == '\n')
      c = ' ';
  return line;
}

TUnattendedDesktop::TUnattendedDesktop(bool answerYes, TOutput output)
    : answerYes_(answerYes), output_(std::move(output)) {}

bool TUnattendedDesktop::AskYesNo(const std::string &message) {
  // The same question right after a Yes means the Yes changed nothing (an IDE that is still
  // running is asked about until it closes): answering it again would wait for ever.
  std::string &last = lastAnswered_[asker_];
  // A dry run answers as /yes would, and lists the question with its answer.
  TPlanScope *plan = TPlanScope::Current();
  if (!(answerYes_ || plan) || message == last)
    throw Exception("Question needs an answer: " + OneLine(message));
  last = message;
  if (plan)
    plan->PlanQuestion(OneLine(message), true);
  output_("Answered Yes: " + OneLine(message));
  return true;
}

void TUnattendedDesktop::ShowMessage(const std::string &message) {
  output_(OneLine(message));
}

void TUnattendedDesktop::ShowError(const std::string &message) {
  output_("Error: " + OneLine(message));
}

std::optional<std::string> TUnattendedDesktop::BrowseForFolder(const std::string &, const std::string &) {
  return std::nullopt; // the folders come from the switches or the saved settings
}
