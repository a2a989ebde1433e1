#include "UnattendedRun.h"
#include "DoctorRun.h"

#include "changes/Plan.h"

#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Files.h"
#include "framework/Text.h"
#include "ideintegration/AssemblyRegistration.h"
#include "session/BuildLog.h"
#include "unattended/EnvironmentPatterns.h"
#include "unattended/PlanReport.h"
#include "unattended/RunLocks.h"
#include "unattended/UnattendedDesktop.h"

#include <cstdio>
#include <optional>

#ifndef ZEL_VERSION
#define ZEL_VERSION "unknown"
#endif

TUnattendedForm::TRowRecord &TUnattendedForm::Record(int index) {
  std::lock_guard lock(recordsMutex_);
  return Records[index]; // a map's elements stay where they are while others are added
}

void TUnattendedForm::BuildEnvironment(int index) {
  TRowRecord &record = Record(index);
  if (TPlanScope *plan = TPlanScope::Current())
    plan->BeginEnvironment(Environments[std::size_t(index)].CheckBox->Caption(), index);
  if (!BuildsAtOnce()) { // else the start was told on the window's thread
    record.Started = true;
    record.Start = record.End = std::chrono::steady_clock::now();
    if (Desktop)
      Desktop->NewEnvironment();
    Output(Environments[std::size_t(index)].CheckBox->Caption());
  }
  try {
    TVersionsForm::BuildEnvironment(index);
  } catch (...) {
    record.OutputFolder = Host().EnvironmentFolder;
    throw;
  }
  record.OutputFolder = Host().EnvironmentFolder;
}

void TUnattendedForm::ShowBuildError(int index, const std::exception &error) {
  TRowRecord &record = Record(index);
  record.Error = error.what();
  record.AnotherRun = dynamic_cast<const EAnotherRun *>(&error) != nullptr;
  record.End = std::chrono::steady_clock::now();
  if (!BuildsAtOnce())
    Output("  ERROR: " + OneLine(record.Error));
  TVersionsForm::ShowBuildError(index, error);
}

void TUnattendedForm::EnvironmentStarted(int index) {
  TRowRecord &record = Record(index);
  record.Started = true;
  record.Start = record.End = std::chrono::steady_clock::now();
  if (Desktop) {
    Desktop->QuestionsFrom(index);
    Desktop->NewEnvironment();
  }
  Output(Environments[std::size_t(index)].CheckBox->Caption() + ": started");
}

void TUnattendedForm::QuestionsFrom(int index) {
  if (Desktop)
    Desktop->QuestionsFrom(index);
}

void TUnattendedForm::EnvironmentEnded(int index) {
  const TRowRecord &record = Record(index);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f s",
                std::chrono::duration<double>(record.End - record.Start).count());
  const std::string name = Environments[std::size_t(index)].CheckBox->Caption();
  if (record.Error.empty())
    Output(name + ": ok, " + seconds);
  else
    Output(name + ": error, " + seconds + ": " + OneLine(record.Error));
}

void TUnattendedForm::FlushBuildLog() {
  if (BuildLog)
    WholeLog.insert(WholeLog.end(), BuildLog->begin(), BuildLog->end());
  TVersionsForm::FlushBuildLog();
}

void TUnattendedForm::StatusShown(int index, const std::string &text) {
  static const std::string compiling = "Compiling... ";
  TRowRecord &record = Record(index);
  // A failing compile goes straight to "ERROR": every other status after a compile means it built.
  if (!record.Compiling.empty() && text != "ERROR")
    record.Packages.push_back(record.Compiling);
  record.Compiling = text.rfind(compiling, 0) == 0 ? text.substr(compiling.size()) : std::string();
  if (text.rfind("OK", 0) == 0)
    record.End = std::chrono::steady_clock::now();
  if (text != "ERROR" && !BuildsAtOnce())
    Output("  " + text);
}

void TUnattendedForm::CacheStepSkipped(int index, const std::string &reason) {
  if (!Desktop || !Desktop->AnswersYes())
    throw Exception(reason + " Going on without the assembly cache needs /yes.");
  std::string warning = reason + " No assembly was installed to the global assembly cache.";
  Record(index).Warnings.push_back(warning);
  Output((BuildsAtOnce() ? Environments[std::size_t(index)].CheckBox->Caption() + ": " : std::string("  ")) +
         "Warning: " + warning);
}

std::string ParentFolder(const std::string &path) {
  auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".")
         : slash == 0               ? path.substr(0, 1)
                                    : path.substr(0, slash);
}

std::string AbsolutePath(const std::string &path) {
  if (TVersionsForm::IsAbsolutePath(path) || path[0] == '/') // "/" as "\": the root of this drive
    return path;
  return Fs::CurrentFolder() + "\\" + path;
}

namespace {

using TOutput = std::function<void(const std::string &line)>;

// Restores what the run changed in the program's shared state, whichever way it ends.
class TRunScope {
public:
  TRunScope(TDesktop &desktop, TUnattendedForm *&form) : form_(form) {
    Application().SetDesktop(&desktop);
    StatusView = [this](int index, const std::string &text) {
      if (form_)
        form_->StatusShown(index, text);
    };
    CacheStepSkipped = [this](int index, const std::string &reason) {
      if (form_)
        form_->CacheStepSkipped(index, reason);
    };
  }
  ~TRunScope() {
    CacheStepSkipped = nullptr;
    StatusView = nullptr;
    Application().SetDesktop(nullptr);
  }
  TRunScope(const TRunScope &) = delete;
  TRunScope &operator=(const TRunScope &) = delete;

private:
  TUnattendedForm *&form_;
};

void RequireFolderOf(const std::string &file, const char *switchName) {
  if (!file.empty() && !Fs::DirectoryExists(ParentFolder(file)))
    throw EUsageError(std::string("The folder of /") + switchName + " does not exist: " + ParentFolder(file));
}

// The headless window of a run without a person. The rows point into its controls: the table of
// environments goes with it.
class THeadlessWindow {
public:
  THeadlessWindow() = default;
  ~THeadlessWindow() {
    form_.reset();
    ResetEnvironments();
  }
  THeadlessWindow(const THeadlessWindow &) = delete;
  THeadlessWindow &operator=(const THeadlessWindow &) = delete;
  std::unique_ptr<TUnattendedForm> &Form() { return form_; }

private:
  std::unique_ptr<TUnattendedForm> form_;
};

int PrintUsage(const TOutput &output, const std::string &message, const char *const *lines) {
  output(message);
  for (; *lines; ++lines)
    output(*lines);
  return ExitUsage;
}

// One environment's uninstall for a run without a person: "ok" when something was undone,
// "skipped" when nothing was recorded (or the question was declined), "error" when a change could
// not be put back or another run holds the environment (anotherRun).
TEnvironmentResult UninstallForResult(TUnattendedForm &form, int index, const TOutput &output,
                                      bool &anotherRun) {
  const TEnviron &row = Environments[std::size_t(index)];
  TEnvironmentResult environment;
  environment.Index = index;
  environment.Name = row.CheckBox->Caption();
  environment.Folder = row.RootDir;
  output(environment.Name);
  if (TPlanScope *plan = TPlanScope::Current())
    plan->BeginEnvironment(environment.Name, index);
  if (form.Desktop)
    form.Desktop->NewEnvironment();
  auto start = std::chrono::steady_clock::now();
  anotherRun = false;
  try {
    TUninstallOutcome outcome = form.UninstallQuivexFrom(index);
    environment.Status = outcome.Status == TUninstallOutcome::Undone   ? "ok"
                         : outcome.Status == TUninstallOutcome::Failed ? "error"
                                                                       : "skipped";
    for (const auto &failure : outcome.Report.Failed)
      environment.Error += (environment.Error.empty() ? "" : "; ") + failure;
    environment.ChangedSinceInstall = outcome.Report.ChangedSince;
    if (outcome.Report.Journals > 0)
      for (const auto &line : UndoReportLines(outcome.Report, "undone"))
        output("  " + line);
  } catch (const std::exception &error) {
    anotherRun = dynamic_cast<const EAnotherRun *>(&error) != nullptr;
    environment.Status = "error";
    environment.Error = error.what();
    AppendToBuildLog("EXCEPTION:");
    AppendToBuildLog(environment.Error);
    output("  ERROR: " + OneLine(environment.Error));
  }
  form.FlushBuildLog();
  environment.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return environment;
}

class TUnattendedRun {
public:
  // Environments that build at once print from their own threads: one line at a time.
  TUnattendedRun(const TOutput &output, const TUnattendedFormFactory &makeForm)
      : output_([this, &output](const std::string &line) {
          std::lock_guard lock(outputMutex_);
          output(line);
        }),
        makeForm_(makeForm) {}

  int Run(const std::vector<std::string> &parameters) {
    result_.Version = ZEL_VERSION;
    result_.Started = std::time(nullptr);
    try {
      result_.Options = ParseSwitches(parameters);
    } catch (const EUsageError &error) {
      return Usage(error.Message());
    }
    const TUnattendedOptions &options = result_.Options;
    TUnattendedDesktop desktop(options.Yes, output_);
    TUnattendedForm *watched = nullptr;
    TRunScope scope(desktop, watched);
    form_ = makeForm_ ? makeForm_() : std::make_unique<TUnattendedForm>();
    form_->Output = output_;
    form_->Desktop = &desktop;
    watched = form_.get();
    if (options.Action == TUnattendedOptions::TAction::List)
      return List();
    if (options.Action == TUnattendedOptions::TAction::Doctor)
      return RunDoctorCommand(*form_, options, output_);
    // A dry run goes through the same steps against the record-only layer.
    std::optional<TPlanScope> plan;
    if (options.Plan) {
      plan.emplace();
      plan_ = &*plan;
      doneWord_ = "planned";
    }
    int code = options.Action == TUnattendedOptions::TAction::Uninstall ? Uninstall() : Build();
    plan_ = nullptr;
    watched = nullptr;
    return code;
  }

private:
  int Usage(const std::string &message) { return PrintUsage(output_, message, UsageLines); }

  int List() {
    for (int i = 0; i < EnvironmentCount; ++i) {
      const TEnviron &row = Environments[std::size_t(i)];
      output_(std::to_string(i) + "\t" + row.CheckBox->Caption() + "\t" + row.RootDir);
    }
    return ExitOk;
  }

  int Uninstall() {
    if (!plan_)
      doneWord_ = "uninstalled";
    try {
      PrepareFilesAndRows();
    } catch (const EUsageError &error) {
      result_.Error = error.Message();
      return Finish(Usage(error.Message()));
    }
    ran_ = true;
    int code = ExitOk;
    for (int i : selected_) {
      bool anotherRun = false;
      result_.Environments.push_back(UninstallForResult(*form_, i, output_, anotherRun));
      if (anotherRun)
        code = ExitAnotherRun;
      else if (result_.Environments.back().Status == "error" && code == ExitOk)
        code = ExitFailed;
    }
    return Finish(code);
  }

  int Build() {
    int code;
    try {
      Prepare();
      code = BuildPrepared();
    } catch (const EUsageError &error) {
      result_.Error = error.Message();
      code = Usage(error.Message());
    }
    return Finish(code);
  }

  // The window's fields as the switches set them, and every check the run cannot ask about.
  // The log and result files from the folder at the start, and the rows the patterns name.
  void PrepareFilesAndRows() {
    TUnattendedOptions &options = result_.Options;
    // The builds change the current folder: a relative file would land in the sources.
    if (!options.LogFile.empty())
      options.LogFile = AbsolutePath(options.LogFile);
    if (!options.ResultFile.empty())
      options.ResultFile = AbsolutePath(options.ResultFile);
    RequireFolderOf(options.ResultFile, "result");
    RequireFolderOf(options.LogFile, "log");
    std::vector<std::string> names;
    for (int i = 0; i < EnvironmentCount; ++i)
      names.push_back(Environments[std::size_t(i)].CheckBox->Caption());
    selected_ = SelectEnvironments(names, options.Patterns);
  }

  void Prepare() {
    TUnattendedOptions &options = result_.Options;
    PrepareFilesAndRows();
    if (options.Source)
      form_->Edit1.SetText(AbsolutePath(*options.Source));
    if (options.Destination)
      form_->Edit2.SetText(*options.Destination);
    const std::string source = form_->Edit1.Text();
    if (source.empty())
      throw EUsageError("No source folder is saved: give /source:FOLDER.");
    if (!Fs::DirectoryExists(source))
      throw EUsageError("The source folder does not exist: " + source);
    if (form_->Edit2.Text().empty())
      throw EUsageError("No destination folder is saved: give /dest:FOLDER.");
    result_.SourceFolder = source;
    result_.DestinationFolder = form_->DestinationFolder(source + "\\");
    options.Jobs = EnvironmentsAtOnce(options.Jobs);
    form_->Jobs = options.Jobs; // the window's saved setting is no switch: without /jobs, one at a time
    form_->CBMakeXFM.SetChecked(options.Xfm);
    form_->CBInstall.SetChecked(options.Install);
    form_->CBDCube.SetChecked(options.DecisionCube);
    for (int i = 0; i < EnvironmentCount; ++i)
      Environments[std::size_t(i)].CheckBox->SetChecked(false);
    for (int i : selected_)
      Environments[std::size_t(i)].CheckBox->SetChecked(true);
  }

  int BuildPrepared() {
    try {
      form_->Button2Click(form_->Button2); // takes the destination's lock, as every run does
    } catch (const EAnotherRun &error) {
      result_.Error = error.Message(); // refused before it began: nothing to report per row
      output_(result_.Error);
      return ExitAnotherRun;
    } catch (const EAbort &) {
      // an environment failed: its row has the report
    } catch (const std::exception &error) {
      result_.Error = error.what();
      output_("Error: " + OneLine(result_.Error));
    }
    ran_ = true;
    Collect();
    bool allOk = result_.Error.empty();
    for (const auto &environment : result_.Environments)
      allOk = allOk && environment.Status == "ok";
    // The first failure ends the run: when another run's install refused it, a later try may pass.
    for (const auto &[index, record] : form_->Records)
      if (record.AnotherRun)
        return ExitAnotherRun;
    return allOk ? ExitOk : ExitFailed;
  }

  void Collect() {
    for (int i : selected_) {
      const TEnviron &row = Environments[std::size_t(i)];
      TEnvironmentResult environment;
      environment.Index = i;
      environment.Name = row.CheckBox->Caption();
      environment.Folder = row.RootDir;
      auto found = form_->Records.find(i);
      if (found != form_->Records.end() && found->second.Started) {
        const auto &record = found->second;
        // The run unticks a row exactly when it finished it.
        environment.Status = !record.Error.empty() ? "error" : !row.CheckBox->Checked() ? "ok" : "skipped";
        environment.Error = record.Error;
        environment.Warnings = record.Warnings;
        environment.Packages = record.Packages;
        environment.OutputFolder = record.OutputFolder;
        environment.Seconds = std::chrono::duration<double>(record.End - record.Start).count();
      } else {
        environment.Status = "skipped";
      }
      result_.Environments.push_back(environment);
    }
  }

  int Finish(int code) {
    const TUnattendedOptions &options = result_.Options;
    if (plan_ && ran_) {
      result_.Plan = plan_->Environments();
      for (const auto &line : PlanLines(result_.Plan))
        output_(line);
    }
    int built = 0;
    for (const auto &environment : result_.Environments) {
      output_(environment.Status + (environment.Warnings.empty() ? "" : " with warnings") + ": " +
              environment.Name);
      built += environment.Status == "ok";
    }
    if (ran_)
      output_(std::to_string(built) + " of " + std::to_string(result_.Environments.size()) +
              " environments " + doneWord_ + ".");
    try {
      if (!options.LogFile.empty() && ran_)
        SaveLines(options.LogFile, form_->WholeLog);
    } catch (const std::exception &error) {
      output_("Error: " + std::string(error.what()));
      code = code == ExitOk ? ExitFailed : code;
    }
    result_.ExitCode = code;
    result_.Ended = std::time(nullptr);
    try {
      // Without its folder (a usage error already said so) there is no result to write.
      if (!options.ResultFile.empty() && Fs::DirectoryExists(ParentFolder(options.ResultFile)))
        WriteResultFile(options.ResultFile, result_);
    } catch (const std::exception &error) {
      output_("Error: " + std::string(error.what()));
      code = code == ExitOk ? ExitFailed : code;
    }
    return code;
  }

  std::mutex outputMutex_;
  const TOutput output_;
  const TUnattendedFormFactory &makeForm_;
  THeadlessWindow window_;
  std::unique_ptr<TUnattendedForm> &form_ = window_.Form();
  TRunResult result_;
  std::vector<int> selected_;
  bool ran_ = false; // the window's run went past its checks and locks
  std::string doneWord_ = "built";
  TPlanScope *plan_ = nullptr; // a dry run's, for as long as the run lasts
};

} // namespace

namespace {

class TUnattendedInstall {
public:
  explicit TUnattendedInstall(const TOutput &output) : output_(output) {}

  int Run(const std::vector<std::string> &parameters) {
    result_.Version = ZEL_VERSION;
    result_.Started = std::time(nullptr);
    TInstallSwitches switches;
    try {
      switches = ParseInstallSwitches(parameters);
    } catch (const EUsageError &error) {
      return PrintUsage(output_, error.Message(), InstallUsageLines);
    }
    // The install changes the current folder: the result file is placed from where we started.
    std::string resultFile = switches.ResultFile.empty() ? "" : AbsolutePath(switches.ResultFile);
    try {
      RequireFolderOf(resultFile, "result"); // before the install: a result nobody can read is no success
    } catch (const EUsageError &error) {
      return PrintUsage(output_, error.Message(), InstallUsageLines);
    }
    uninstall_ = switches.Uninstall;
    result_.Options.Action =
        uninstall_ ? TUnattendedOptions::TAction::Uninstall : TUnattendedOptions::TAction::Build;
    result_.Options.Install = !uninstall_;
    result_.Options.Yes = switches.Yes;
    result_.Options.Plan = switches.Plan;
    result_.Options.ResultFile = resultFile;
    Application().SetParameters(switches.Parameters);
    TUnattendedDesktop desktop(switches.Yes, output_);
    TUnattendedForm *watched = nullptr;
    TRunScope scope(desktop, watched);
    form_ = std::make_unique<TUnattendedForm>();
    form_->Output = output_;
    form_->Desktop = &desktop;
    watched = form_.get();
    std::optional<TPlanScope> plan;
    if (switches.Plan)
      plan.emplace();
    int code = Install(switches.Parameters);
    watched = nullptr;
    if (plan) {
      result_.Plan = plan->Environments();
      for (const auto &line : PlanLines(result_.Plan))
        output_(line);
    }
    result_.ExitCode = code;
    result_.Ended = std::time(nullptr);
    if (!resultFile.empty()) {
      try {
        WriteResultFile(resultFile, result_);
      } catch (const std::exception &error) {
        output_("Error: " + std::string(error.what()));
        code = code == ExitOk ? ExitFailed : code;
      }
    }
    return code;
  }

private:
  int Install(const std::vector<std::string> &parameters) {
    const std::string startFolder = Fs::CurrentFolder();
    bool netOnly =
        parameters.size() >= 2 && UpperCase(parameters[0]) == "INSTALL" && UpperCase(parameters[1]) == "NET";
    if (uninstall_)
      return UninstallFound();
    int index = form_->FindInstallableEnvironment(netOnly);
    if (index < 0) {
      result_.Error = "Quivex files cannot be found under current folder structure.";
      output_(result_.Error);
      return ExitFailed;
    }
    result_.DestinationFolder = form_->DestinationBase;
    const TEnviron &row = Environments[std::size_t(index)];
    TEnvironmentResult environment;
    environment.Index = index;
    environment.Name = row.CheckBox->Caption();
    environment.Folder = row.RootDir;
    environment.OutputFolder = form_->DestinationBase + "\\" + form_->KindName + form_->PackageSuffix;
    output_(environment.Name);
    if (TPlanScope *plan = TPlanScope::Current())
      plan->BeginEnvironment(environment.Name, index);
    auto start = std::chrono::steady_clock::now();
    const TUnattendedForm::TRowRecord &record = form_->Records[index];
    try {
      Fs::SetCurrentFolder(startFolder); // the search again, as the window's install mode makes it
      if (!form_->StartAutomaticInstall())
        throw Exception("Not started as the installer: ZelInstall.exe, or INSTALL first.");
      environment.Status = "ok";
    } catch (const EAbort &) {
      // Reported (and printed) through the window's report of the environment's error.
      environment.Status = "error";
      environment.Error = record.Error.empty() ? "The install failed." : record.Error;
    } catch (const std::exception &error) {
      environment.Status = "error";
      environment.Error = error.what();
      output_("  ERROR: " + OneLine(environment.Error));
    }
    environment.Warnings = record.Warnings;
    environment.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result_.Environments.push_back(environment);
    if (record.AnotherRun)
      return ExitAnotherRun;
    return environment.Status == "ok" ? ExitOk : ExitFailed;
  }

  int UninstallFound() {
    int index = form_->FindInstallableEnvironment(false);
    if (index < 0) {
      result_.Error = "Quivex files cannot be found under current folder structure.";
      output_(result_.Error);
      return ExitFailed;
    }
    result_.DestinationFolder = form_->DestinationBase;
    bool anotherRun = false;
    result_.Environments.push_back(UninstallForResult(*form_, index, output_, anotherRun));
    const TEnvironmentResult &environment = result_.Environments.back();
    output_(environment.Status + ": " + environment.Name);
    if (anotherRun)
      return ExitAnotherRun;
    return environment.Status == "error" ? ExitFailed : ExitOk;
  }

  const TOutput &output_;
  THeadlessWindow window_;
  std::unique_ptr<TUnattendedForm> &form_ = window_.Form();
  TRunResult result_;
  bool uninstall_ = false;
};

} // namespace

int RunUnattendedInstall(const std::vector<std::string> &parameters, const TOutput &output) {
  try {
    return TUnattendedInstall(output).Run(parameters);
  } catch (const std::exception &error) {
    output("Error: " + std::string(error.what()));
    return ExitFailed;
  }
}

int RunUnattended(const std::vector<std::string> &parameters, const TOutput &output,
                  const TUnattendedFormFactory &makeForm) {
  try {
    return TUnattendedRun(output, makeForm).Run(parameters);
  } catch (const std::exception &error) {
    output("Error: " + std::string(error.what()));
    return ExitFailed;
  }
}
