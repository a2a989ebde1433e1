#include "unattended/Switches.h"

#include "framework/Text.h"

#include <algorithm>
#include <set>
#include <thread>

const char *const UsageLines[] = {
    "Usage: ZelRecompile [/list | /build /env:PATTERN... [options] | /uninstall /env:PATTERN... [/yes]",
    "  [/plan] [/log:FILE] [/result:FILE] | /doctor [/env:PATTERN...] [options]]",
    "  /list              prints the detected environments: index, name, folder",
    "  /build             builds the environments that the /env patterns name",
    "  /uninstall         undoes every change this program made to the named environments",
    "  /doctor            checks each environment's set-up and says what to fix (every row without /env);",
    "                     takes /env, /source, /dest and /result, and changes nothing",
    "  /env:PATTERN       a row name with * and ?; may be repeated; /env:all takes every row",
    "  /source:FOLDER     the Quivex sources (default: the saved setting)",
    "  /dest:FOLDER       the destination, relative to the sources or absolute (default: the saved setting)",
    "  /xfm /install /dcube  the window's three options (default: off)",
    "  /yes               answers every question Yes; without it a question fails the environment",
    "  /jobs:N            builds up to N environments at once (0: one per processor; default 1)",
    "  /plan              with /build or /uninstall: changes nothing, lists every command, file and",
    "                     registry value the run would change, and the questions /yes would answer",
    "  /log:FILE          writes the whole log",
    "  /result:FILE       writes the result as JSON when the run ends",
    "Exit codes: 0 all built, 1 a failure, 2 a usage error, 3 another run builds into the same destination",
    "  or installs into the same environment; /doctor: 0 no error found, 1 errors found, 2 a usage error",
    nullptr};

const char *const InstallUsageLines[] = {
    "Usage: ZelInstall [/uninstall] [/plan] [/yes] [/result:FILE], or ZelRecompile INSTALL [NET] [/plan]",
    "  [/yes] [/result:FILE]",
    "  /uninstall         undoes every change this program made to the environment of the tree found",
    "  /plan              changes nothing: lists what the install or uninstall would change",
    "  /yes               answers every question Yes; without it a question fails the install",
    "  /result:FILE       writes the result as JSON when the install ends",
    "Exit codes: 0 installed, 1 not found or failed, 2 a usage error, 3 another run installs into the",
    "  same environment",
    nullptr};

namespace {

bool IsSwitch(const std::string &parameter) {
  return parameter.size() > 1 && (parameter[0] == '/' || parameter[0] == '-');
}

std::string LowerCase(std::string text) {
  for (auto &c : text)
    if (c >= 'A' && c <= 'Z')
      c = char(c - 'A' + 'a');
  return text;
}

// The switches that name a folder or a file. A value that no path can hold is most often a quoting
// slip ("/dest:Out\" with a quote escaped), which would otherwise ask to create a strange folder.
const std::set<std::string> PathSwitches = {"source", "dest", "log", "result"};

// More environments at once than any machine has would only queue up on its processors.
constexpr int MostJobs = 64;

int JobsValue(const std::string &value) {
  if (value.empty() || value.size() > 2 || value.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(value) > MostJobs)
    throw EUsageError("The value of /jobs is a number of environments from 0 to " + std::to_string(MostJobs) +
                      ": " + value);
  return std::stoi(value);
}

void CheckPathValue(const std::string &name, const std::string &value) {
  if (value.find_first_of("\"<>|*?") != std::string::npos)
    throw EUsageError("The value of /" + name +
                      " holds a character that no path can (\" < > | * ?): " + value);
}

const std::set<std::string> FlagSwitches = {"list",    "build", "uninstall", "doctor", "xfm",
                                            "install", "dcube", "yes",       "plan"};
const std::set<std::string> ValueSwitches = {"env", "source", "dest", "log", "result", "jobs"};
// The switches that only a build reads; /list refuses them rather than ignore them silently.
const std::set<std::string> BuildSwitches = {"env", "source", "dest",   "xfm",  "install", "dcube",
                                             "yes", "log",    "result", "jobs", "plan"};
// The check reads only: the switches that change things are the build's.
const std::set<std::string> ChangingSwitches = {"xfm", "install", "dcube", "yes", "log", "jobs", "plan"};

class TSwitchParser {
public:
  TUnattendedOptions Parse(const std::vector<std::string> &parameters) {
    for (std::size_t i = 0; i < parameters.size(); ++i) {
      const std::string &parameter = parameters[i];
      if (IsSwitch(parameter))
        Take(parameter);
      else if (i == 0 && UpperCase(parameter) == "STANDARD")
        options_.Standard = true;
      else
        throw EUsageError("Unknown parameter: " + parameter);
    }
    Check();
    return options_;
  }

private:
  void Take(const std::string &parameter) {
    std::size_t colon = parameter.find(':');
    std::string name =
        LowerCase(parameter.substr(1, colon == std::string::npos ? std::string::npos : colon - 1));
    std::optional<std::string> value;
    if (colon != std::string::npos)
      value = parameter.substr(colon + 1);
    if (FlagSwitches.count(name)) {
      if (value)
        throw EUsageError("The switch /" + name + " takes no value: " + parameter);
    } else if (ValueSwitches.count(name)) {
      if (!value || value->empty())
        throw EUsageError("The switch /" + name + " needs a value: /" + name + ":" +
                          (name == "env"                       ? "PATTERN"
                           : name == "log" || name == "result" ? "FILE"
                           : name == "jobs"                    ? "N"
                                                               : "FOLDER"));
    } else {
      throw EUsageError("Unknown switch: " + parameter);
    }
    if (name != "env" && !seen_.insert(name).second)
      throw EUsageError("The switch /" + name + " is given twice.");
    seen_.insert(name);
    if (PathSwitches.count(name))
      CheckPathValue(name, *value);
    Set(name, value.value_or(""));
  }

  void Set(const std::string &name, const std::string &value) {
    if (name == "list")
      list_ = true;
    else if (name == "build")
      build_ = true;
    else if (name == "uninstall")
      uninstall_ = true;
    else if (name == "doctor")
      doctor_ = true;
    else if (name == "xfm")
      options_.Xfm = true;
    else if (name == "install")
      options_.Install = true;
    else if (name == "dcube")
      options_.DecisionCube = true;
    else if (name == "yes")
      options_.Yes = true;
    else if (name == "plan")
      options_.Plan = true;
    else if (name == "env")
      options_.Patterns.push_back(value);
    else if (name == "source")
      options_.Source = value;
    else if (name == "dest")
      options_.Destination = value;
    else if (name == "log")
      options_.LogFile = value;
    else if (name == "result")
      options_.ResultFile = value;
    else if (name == "jobs")
      options_.Jobs = JobsValue(value);
  }

  void Check() {
    if (int(list_) + int(build_) + int(uninstall_) + int(doctor_) > 1)
      throw EUsageError("/list, /build, /uninstall and /doctor cannot be combined.");
    if (!list_ && !build_ && !uninstall_ && !doctor_)
      throw EUsageError("Say what to do: /list, /build, /uninstall or /doctor.");
    // A plan lists one environment after another, as their changes outside the output tree come.
    if (options_.Plan && seen_.count("jobs"))
      throw EUsageError("/plan lists the run one environment after another: leave out /jobs.");
    if (uninstall_) {
      options_.Action = TUnattendedOptions::TAction::Uninstall;
      for (const char *name : {"source", "dest", "xfm", "install", "dcube", "jobs"})
        if (seen_.count(name))
          throw EUsageError(std::string("The switch /") + name + " needs /build.");
      if (options_.Patterns.empty())
        throw EUsageError("/uninstall needs at least one /env:PATTERN.");
      return;
    }
    if (doctor_) {
      options_.Action = TUnattendedOptions::TAction::Doctor;
      for (const auto &name : ChangingSwitches)
        if (seen_.count(name))
          throw EUsageError("The switch /" + name + " needs /build.");
    } else if (list_) {
      options_.Action = TUnattendedOptions::TAction::List;
      for (const auto &name : BuildSwitches)
        if (seen_.count(name))
          throw EUsageError("The switch /" + name + " needs /build.");
    } else if (options_.Patterns.empty()) {
      throw EUsageError("/build needs at least one /env:PATTERN.");
    }
  }

  TUnattendedOptions options_;
  std::set<std::string> seen_;
  bool list_ = false, build_ = false, uninstall_ = false, doctor_ = false;
};

} // namespace

int EnvironmentsAtOnce(int jobs) {
  if (jobs > 0)
    return jobs;
  unsigned processors = std::thread::hardware_concurrency();
  return processors == 0 ? 1 : int(std::min<unsigned>(processors, MostJobs));
}

bool IsUnattendedCommandLine(const std::vector<std::string> &parameters) {
  if (!parameters.empty() && UpperCase(parameters[0]) == "INSTALL")
    return false;
  return std::any_of(parameters.begin(), parameters.end(), IsSwitch);
}

TUnattendedOptions ParseSwitches(const std::vector<std::string> &parameters) {
  return TSwitchParser().Parse(parameters);
}

bool IsInstallerName(const std::string &exeName) {
  std::size_t slash = exeName.find_last_of("\\/");
  return UpperCase(slash == std::string::npos ? exeName : exeName.substr(slash + 1)) == "ZELINSTALL.EXE";
}

bool IsUninstallParameter(const std::string &parameter) {
  return IsSwitch(parameter) && LowerCase(parameter.substr(1)) == "uninstall";
}

bool IsUnattendedInstallCommandLine(const std::vector<std::string> &parameters, const std::string &exeName) {
  bool installer = IsInstallerName(exeName) || (!parameters.empty() && UpperCase(parameters[0]) == "INSTALL");
  // "/uninstall" alone keeps the window's questions: the installer's own mode with a person.
  return installer && std::any_of(parameters.begin(), parameters.end(), [](const std::string &parameter) {
           return IsSwitch(parameter) && LowerCase(parameter.substr(1)) != "uninstall";
         });
}

TInstallSwitches ParseInstallSwitches(const std::vector<std::string> &parameters) {
  TInstallSwitches switches;
  bool resultSeen = false;
  for (const std::string &parameter : parameters) {
    if (!IsSwitch(parameter)) {
      switches.Parameters.push_back(parameter);
      continue;
    }
    std::size_t colon = parameter.find(':');
    std::string name =
        LowerCase(parameter.substr(1, colon == std::string::npos ? std::string::npos : colon - 1));
    if (name == "yes" && colon == std::string::npos && !switches.Yes) {
      switches.Yes = true;
    } else if (name == "uninstall" && colon == std::string::npos && !switches.Uninstall) {
      switches.Uninstall = true;
    } else if (name == "plan" && colon == std::string::npos && !switches.Plan) {
      switches.Plan = true;
    } else if (name == "result" && colon != std::string::npos && colon + 1 < parameter.size() &&
               !resultSeen) {
      switches.ResultFile = parameter.substr(colon + 1);
      CheckPathValue("result", switches.ResultFile);
      resultSeen = true;
    } else if (name == "yes" || name == "result" || name == "uninstall" || name == "plan") {
      throw EUsageError("The installer takes /uninstall, /plan, /yes and /result:FILE once each: " +
                        parameter);
    } else {
      throw EUsageError("Unknown switch for the installer: " + parameter);
    }
  }
  return switches;
}
