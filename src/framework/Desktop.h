// What the program asks of the user's desktop: questions, messages, the folder browser, starting a
// program, the mouse cursor. The Win32 desktop shows the real boxes; the scripted desktop answers
// from a script in tests and fails the test on a question nobody expected.
#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TDesktop {
public:
  virtual ~TDesktop() = default;
  // A modal Yes/No box with a question icon; true for Yes.
  virtual bool AskYesNo(const std::string &message) = 0;
  // A modal box with an OK button.
  virtual void ShowMessage(const std::string &message) = 0;
  // The standard error box of the application's top-level handler.
  virtual void ShowError(const std::string &message) = 0;
  // The system's folder browser; the chosen folder, or nothing on cancel.
  virtual std::optional<std::string> BrowseForFolder(const std::string &title,
                                                     const std::string &initialFolder) = 0;
  // Starts a command line in a normal window without waiting; false when it could not start.
  virtual bool StartProgram(const std::string &commandLine) = 0;
  virtual void SetWaitCursor(bool wait) = 0;
};

// One expected interaction of a scripted desktop, in the order the program must ask for it.
struct TScriptedStep {
  enum class TKind { Question, Message, Error, BrowseFolder } Kind;
  std::string Expected; // the message text (or browser title) the program must show
  bool Yes = false;     // the answer to a question
  std::optional<std::string> Folder; // the browser's answer
};

// Answers from a script. An unexpected interaction is recorded in Failures (and answered No /
// cancelled) so that the test reports it instead of hanging or guessing.
class TScriptedDesktop : public TDesktop {
public:
  void ExpectQuestion(std::string message, bool yes);
  void ExpectMessage(std::string message);
  void ExpectError(std::string message);
  void ExpectBrowse(std::string title, std::optional<std::string> folder);
  // A question answered the same way however often it is asked (for "ask until" loops).
  void AnswerRepeatedly(std::string message, std::function<bool()> answer);

  bool AskYesNo(const std::string &message) override;
  void ShowMessage(const std::string &message) override;
  void ShowError(const std::string &message) override;
  std::optional<std::string> BrowseForFolder(const std::string &title,
                                             const std::string &initialFolder) override;
  bool StartProgram(const std::string &commandLine) override;
  void SetWaitCursor(bool wait) override { WaitCursor = wait; }

  std::vector<std::string> Failures;       // unexpected or mismatched interactions
  std::vector<std::string> Shown;          // every text shown, in order
  std::vector<std::string> StartedPrograms;
  std::vector<std::string> BrowseInitialFolders;
  bool WaitCursor = false;
  bool AllStepsUsed() const { return steps_.empty(); }

private:
  std::optional<TScriptedStep> Next(TScriptedStep::TKind kind, const std::string &text);
  std::deque<TScriptedStep> steps_;
  std::string repeatedMessage_;
  std::function<bool()> repeatedAnswer_;
};

#ifdef _WIN32
// The real boxes, owned by the application's main window when there is one.
class TWin32Desktop : public TDesktop {
public:
  bool AskYesNo(const std::string &message) override;
  void ShowMessage(const std::string &message) override;
  void ShowError(const std::string &message) override;
  std::optional<std::string> BrowseForFolder(const std::string &title,
                                             const std::string &initialFolder) override;
  bool StartProgram(const std::string &commandLine) override;
  void SetWaitCursor(bool wait) override;
};
#endif
