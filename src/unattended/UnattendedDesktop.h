// The desktop of a run without a person: no box is ever shown. Questions are answered by the
// caller's rule: with /yes every question is answered Yes; without it a question fails the step
// that asked, with "Question needs an answer: <text>". Messages and errors become output lines.
#pragma once
#include "framework/Desktop.h"

#include <functional>
#include <map>
#include <string>

class TUnattendedDesktop : public TDesktop {
public:
  using TOutput = std::function<void(const std::string &line)>;
  TUnattendedDesktop(bool answerYes, TOutput output);

  bool AnswersYes() const { return answerYes_; }
  // A new environment's questions begin: the same question as the last one is no repeat then.
  void NewEnvironment() { lastAnswered_[asker_].clear(); }
  // The questions that follow come from row index, among environments that build at once and ask
  // in turns: a question repeats only that row's last one. -1: the run's one environment at a time.
  void QuestionsFrom(int index) { asker_ = index; }

  bool AskYesNo(const std::string &message) override;
  void ShowMessage(const std::string &message) override;
  void ShowError(const std::string &message) override;
  std::optional<std::string> BrowseForFolder(const std::string &title,
                                             const std::string &initialFolder) override;
  bool StartProgram(const std::string &commandLine) override { return false; }
  void SetWaitCursor(bool wait) override {}

private:
  bool answerYes_;
  TOutput output_;
  int asker_ = -1;
  std::map<int, std::string> lastAnswered_; // by the row that asked
};

// A question or message as one line: its line breaks (CR, as the questions carry them) become
// blanks.
std::string OneLine(const std::string &text);
