#include "UnattendedRun.h"
#include "DoctorRun.h"

#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Files.h"
#include "framework/InstanceLock.h"
#include "framework/Text.h"
#include "session/BuildLog.h"
#include "unattended/EnvironmentPatterns.h"
#include "unattended/UnattendedDesktop.h"

#ifndef ZEL_VERSION
#define ZEL_VERSION "unknown"
#endif

void TUnattendedForm::BuildEnvironment(int index) {
  TRowRecord &record = Records[index];
  record.Started = true;
  record.Start = record.End = std::chrono::steady_clock::now();
  if (Desktop)
    Desktop->NewEnvironment();
  Output(Environments[std::size_t(index)].CheckBox->Caption());
  try {
    TVersionsForm::BuildEnvironment(index);
  } catch (...) {
    record.OutputFolder = EnvironmentFolder;
    throw;
  }
  record.OutputFolder = EnvironmentFolder;
}

void TUnattendedForm::ReportBuildError(int index, const std::exception &error) {
  TRowRecord &record = Records[index];
  record.Error = error.what();
  record.End = std::chrono::steady_clock::now();
  Output("  ERROR: " + OneLine(record.Error));
  TVersionsForm::ReportBuildError(index, error);
}

void TUnattendedForm::FlushBuildLog() {
  if (BuildLog)
    WholeLog.insert(WholeLog.end(), BuildLog->begin(), BuildLog->end());
  TVersionsForm::FlushBuildLog();
}

void TUnattendedForm::StatusShown(int index, const std::string &text) {
  static const std::string compiling = "Compiling... ";
  TRowRecord &record = Records[index];
  // A failing compile goes straight to "ERROR": every other status after a compile means it built.
  if (!record.Compiling.empty() && text != "ERROR")
    record.Packages.push_back(record.Compiling);
  record.Compiling = text.rfind(compiling, 0) == 0 ? text.substr(compiling.size()) : std::string();
  if (text.rfind("OK", 0) == 0)
    record.End = std::chrono::steady_clock::now();
  if (text != "ERROR")
    Output("  " + text);
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
  }
  ~TRunScope() {
    StatusView = nullptr;
    Application().SetDesktop(nullptr);
  }
  TRunScope(const TRunScope &) = delete;
  TRunScope &operator=(const TRunScope &) = delete;

private:
  TUnattendedForm *&form_;
};

std::string ParentFolder(const std::string &path) {
  auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".")
         : slash == 0               ? path.substr(0, 1)
                                    : path.substr(0, slash);
}

// A relative path is taken from the current folder at the start: the run changes folders, and the
// destination's lock must name one folder however it was spelt.
std::string AbsolutePath(const std::string &path) {
  if (TVersionsForm::IsAbsolutePath(path) || path[0] == '/') // "/" as "\": the root of this drive
    return path;
  return Fs::CurrentFolder() + "\\" + path;
}

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

class TUnattendedRun {
public:
  TUnattendedRun(const TOutput &output, const TUnattendedFormFactory &makeForm)
      : output_(output), makeForm_(makeForm) {}

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
    int code = Build();
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
  void Prepare() {
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
    form_->CBMakeXFM.SetChecked(options.Xfm);
    form_->CBInstall.SetChecked(options.Install);
    form_->CBDCube.SetChecked(options.DecisionCube);
    for (int i = 0; i < EnvironmentCount; ++i)
      Environments[std::size_t(i)].CheckBox->SetChecked(false);
    for (int i : selected_)
      Environments[std::size_t(i)].CheckBox->SetChecked(true);
  }

  int BuildPrepared() {
    TInstanceLock lock(DestinationLockName(result_.DestinationFolder));
    if (!lock.Held()) {
      result_.Error = "Another run builds into " + result_.DestinationFolder + ".";
      output_(result_.Error);
      return ExitDestinationBusy;
    }
    try {
      form_->Button2Click(form_->Button2);
    } catch (const EAbort &) {
      // an environment failed: its row has the report
    } catch (const std::exception &error) {
      result_.Error = error.what();
      output_("Error: " + OneLine(result_.Error));
    }
    Collect();
    bool allOk = result_.Error.empty();
    for (const auto &environment : result_.Environments)
      allOk = allOk && environment.Status == "ok";
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
    int built = 0;
    for (const auto &environment : result_.Environments) {
      output_(environment.Status + ": " + environment.Name);
      built += environment.Status == "ok";
    }
    if (code == ExitOk || code == ExitFailed)
      output_(std::to_string(built) + " of " + std::to_string(result_.Environments.size()) +
              " environments built.");
    try {
      if (!options.LogFile.empty() && (code == ExitOk || code == ExitFailed))
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

  const TOutput &output_;
  const TUnattendedFormFactory &makeForm_;
  THeadlessWindow window_;
  std::unique_ptr<TUnattendedForm> &form_ = window_.Form();
  TRunResult result_;
  std::vector<int> selected_;
};

} // namespace

namespace {

// The reason an install failed, as its report in the log says it ("EXCEPTION:" and the message).
std::string LoggedError(const TStringList &log) {
  for (std::size_t i = 0; i + 1 < log.size(); ++i)
    if (log[i] == "EXCEPTION:")
      return log[i + 1];
  return "The install failed.";
}

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
    result_.Options.Install = true;
    result_.Options.Yes = switches.Yes;
    result_.Options.ResultFile = resultFile;
    Application().SetParameters(switches.Parameters);
    TUnattendedDesktop desktop(switches.Yes, output_);
    TUnattendedForm *watched = nullptr;
    TRunScope scope(desktop, watched);
    form_ = std::make_unique<TUnattendedForm>();
    form_->Output = output_;
    form_->Desktop = &desktop;
    int code = Install(switches.Parameters);
    result_.ExitCode = code;
    result_.Ended = std::time(nullptr);
    if (!resultFile.empty()) {
      try {
        RequireFolderOf(resultFile, "result");
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
    bool netOnly = parameters.size() >= 2 && UpperCase(parameters[0]) == "INSTALL" && UpperCase(parameters[1]) == "NET";
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
    auto start = std::chrono::steady_clock::now();
    try {
      Fs::SetCurrentFolder(startFolder); // the search again, as the window's install mode makes it
      if (!form_->StartAutomaticInstall())
        throw Exception("Not started as the installer: ZelInstall.exe, or INSTALL first.");
      environment.Status = "ok";
    } catch (const EAbort &) {
      environment.Status = "error";
      environment.Error = LoggedError(form_->WholeLog);
    } catch (const std::exception &error) {
      environment.Status = "error";
      environment.Error = error.what();
    }
    if (!environment.Error.empty())
      output_("  ERROR: " + OneLine(environment.Error));
    environment.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result_.Environments.push_back(environment);
    return environment.Status == "ok" ? ExitOk : ExitFailed;
  }

  const TOutput &output_;
  THeadlessWindow window_;
  std::unique_ptr<TUnattendedForm> &form_ = window_.Form();
  TRunResult result_;
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
