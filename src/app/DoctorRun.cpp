#include "DoctorRun.h"
#include "UnattendedRun.h"

#include "doctor/Doctor.h"
#include "environments/Environments.h"
#include "framework/CodePage.h"
#include "framework/Controls.h"
#include "framework/Files.h"
#include "unattended/EnvironmentPatterns.h"
#include "unattended/RunResult.h"

#include <ctime>

#ifndef ZEL_VERSION
#define ZEL_VERSION "unknown"
#endif

namespace {

// The program's texts are in the system code page; the document is UTF-8.
std::string Text(const std::string &text) {
  return JsonString(Utf8FromSystemCodePage(text));
}

struct TDoctorResult {
  std::time_t Started = 0, Ended = 0;
  int ExitCode = 0;
  std::string Error;
  std::vector<std::string> Patterns;
  TDoctorSettings Settings;
  std::vector<TEnvironmentReport> Reports;
};

std::string DoctorJson(const TDoctorResult &result) {
  const std::string environmentIndent = "      ", findingIndent = environmentIndent + "    ";
  std::vector<std::string> environments;
  for (const auto &report : result.Reports) {
    std::vector<std::string> findings;
    for (const auto &finding : report.Findings)
      findings.push_back(JsonObject({{"check", Text(finding.Check)},
                                     {"severity", Text(SeverityName(finding.Severity))},
                                     {"subject", Text(finding.Subject)},
                                     {"detail", Text(finding.Detail)},
                                     {"fix", Text(finding.Fix)}},
                                    findingIndent + "  "));
    environments.push_back(JsonObject({{"name", Text(report.Name)},
                                       {"index", std::to_string(report.Index)},
                                       {"findings", JsonArray(findings, findingIndent)}},
                                      environmentIndent + "  "));
  }
  std::vector<std::string> patterns;
  for (const auto &pattern : result.Patterns)
    patterns.push_back(Text(pattern));
  return JsonObject({{"program", Text("ZelRecompile")},
                     {"version", Text(ZEL_VERSION)},
                     {"started", Text(IsoUtcTime(result.Started))},
                     {"ended", Text(IsoUtcTime(result.Ended))},
                     {"exitCode", std::to_string(result.ExitCode)},
                     {"error", Text(result.Error)},
                     {"options", JsonObject({{"environments", JsonArray(patterns, "    ")},
                                             {"source", Text(result.Settings.SourceFolder)},
                                             {"destination", Text(result.Settings.DestinationBase)}},
                                            "  ")},
                     {"doctor", JsonObject({{"environments", JsonArray(environments, "    ")}}, "  ")}},
                    "") +
         "\n";
}

std::vector<int> NamedRows(const std::vector<std::string> &patterns) {
  std::vector<std::string> names;
  std::vector<int> all;
  for (int i = 0; i < EnvironmentCount; ++i) {
    names.push_back(Environments[std::size_t(i)].CheckBox->Caption());
    all.push_back(i);
  }
  return patterns.empty() ? all : SelectEnvironments(names, patterns);
}

} // namespace

int RunDoctorCommand(TVersionsForm &form, const TUnattendedOptions &options,
                     const std::function<void(const std::string &line)> &output) {
  TDoctorResult result;
  result.Started = std::time(nullptr);
  result.Patterns = options.Patterns;
  const std::string resultFile = options.ResultFile.empty() ? "" : AbsolutePath(options.ResultFile);
  try {
    if (!resultFile.empty() && !Fs::DirectoryExists(ParentFolder(resultFile)))
      throw EUsageError("The folder of /result does not exist: " + ParentFolder(resultFile));
    std::vector<int> rows = NamedRows(options.Patterns);
    if (options.Source) {
      std::string source = AbsolutePath(*options.Source);
      if (!Fs::DirectoryExists(source))
        throw EUsageError("The source folder does not exist: " + source);
      form.Edit1.SetText(source);
    }
    if (options.Destination)
      form.Edit2.SetText(*options.Destination);
    result.Settings.SourceFolder = form.Edit1.Text();
    if (!result.Settings.SourceFolder.empty() && !form.Edit2.Text().empty())
      result.Settings.DestinationBase = form.DestinationFolder(result.Settings.SourceFolder + "\\");
    result.Reports = RunDoctor(rows, result.Settings);
    for (const auto &line : ReportLines(result.Reports))
      output(line);
    result.ExitCode = CountFindings(result.Reports, TSeverity::Error) > 0 ? ExitFailed : ExitOk;
  } catch (const EUsageError &error) {
    result.Error = error.Message();
    output(error.Message());
    for (const char *const *line = UsageLines; *line; ++line)
      output(*line);
    result.ExitCode = ExitUsage;
  }
  result.Ended = std::time(nullptr);
  if (!resultFile.empty() && Fs::DirectoryExists(ParentFolder(resultFile)) &&
      !Fs::WriteWholeFile(resultFile, DoctorJson(result))) {
    output("Error: Cannot create file \"" + resultFile + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
    return result.ExitCode == ExitOk ? ExitFailed : result.ExitCode;
  }
  return result.ExitCode;
}
