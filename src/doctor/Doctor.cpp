#include "doctor/Doctor.h"

#include <algorithm>

const char *SeverityName(TSeverity severity) {
  switch (severity) {
  case TSeverity::Error:
    return "error";
  case TSeverity::Warning:
    return "warning";
  case TSeverity::Note:
    return "note";
  }
  return "";
}

void AddFinding(TFindings &findings, TSeverity severity, const std::string &subject,
                const std::string &detail, const std::string &fix) {
  findings.push_back(TFinding{"", severity, subject, detail, fix});
}

TFindings CheckEnvironment(const TEnvironmentSnapshot &snapshot) {
  TFindings findings;
  for (const TDoctorCheck &check : DoctorChecks) {
    std::size_t first = findings.size();
    check.Run(snapshot, findings);
    for (std::size_t i = first; i < findings.size(); ++i)
      findings[i].Check = check.Name;
  }
  std::stable_sort(findings.begin(), findings.end(),
                   [](const TFinding &a, const TFinding &b) { return a.Severity < b.Severity; });
  return findings;
}

std::vector<TEnvironmentReport> RunDoctor(const std::vector<int> &indexes, const TDoctorSettings &settings) {
  TMachineReader machine;
  std::vector<TEnvironmentReport> reports;
  for (int index : indexes) {
    TEnvironmentSnapshot snapshot = TakeSnapshot(index, settings, machine);
    reports.push_back(TEnvironmentReport{index, snapshot.Name, CheckEnvironment(snapshot)});
  }
  return reports;
}

int CountFindings(const std::vector<TEnvironmentReport> &reports, TSeverity severity) {
  int count = 0;
  for (const auto &report : reports)
    count += int(std::count_if(report.Findings.begin(), report.Findings.end(),
                               [severity](const TFinding &finding) { return finding.Severity == severity; }));
  return count;
}

TStringList ReportLines(const std::vector<TEnvironmentReport> &reports) {
  TStringList lines;
  for (const auto &report : reports) {
    lines.push_back(report.Name);
    for (const auto &finding : report.Findings) {
      lines.push_back("  " + std::string(SeverityName(finding.Severity)) + " [" + finding.Check + "] " +
                      finding.Subject + ": " + finding.Detail);
      lines.push_back("    what to do: " + finding.Fix);
    }
    if (report.Findings.empty())
      lines.push_back("  nothing found");
  }
  lines.push_back(std::to_string(CountFindings(reports, TSeverity::Error)) + " errors, " +
                  std::to_string(CountFindings(reports, TSeverity::Warning)) + " warnings");
  return lines;
}
