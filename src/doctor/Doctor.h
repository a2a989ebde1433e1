// The check of an environment's library set-up: independent checks over one read-only snapshot of
// each environment, each finding with its severity, what was found where, and what to do about it.
// A new check is one function and one row of DoctorChecks.
#pragma once
#include "doctor/Snapshot.h"
#include "framework/TextLines.h"

#include <optional>
#include <string>
#include <vector>

enum class TSeverity { Error, Warning, Note };
const char *SeverityName(TSeverity severity); // "error", "warning", "note"

struct TFinding {
  std::string Check; // the name of the check that found it
  TSeverity Severity = TSeverity::Note;
  std::string Subject; // where: the key and value, or the file
  std::string Detail;  // what was found
  std::string Fix;     // one line: what to do
};
using TFindings = std::vector<TFinding>;

// A check adds what it finds; the runner fills in the check's name.
using TCheckFunction = void (*)(const TEnvironmentSnapshot &snapshot, TFindings &findings);
struct TDoctorCheck {
  const char *Name;
  TCheckFunction Run;
};
// Every check, in the order the findings of one severity are reported.
extern const std::vector<TDoctorCheck> DoctorChecks;

void AddFinding(TFindings &findings, TSeverity severity, const std::string &subject,
                const std::string &detail, const std::string &fix);

// The checks, each on its own.
void CheckCommandLineTools(const TEnvironmentSnapshot &snapshot, TFindings &findings);
void CheckKnownPackageFiles(const TEnvironmentSnapshot &snapshot, TFindings &findings);
void CheckPackageVersions(const TEnvironmentSnapshot &snapshot, TFindings &findings);
void CheckRuntimePackages(const TEnvironmentSnapshot &snapshot, TFindings &findings);
void CheckSearchPaths(const TEnvironmentSnapshot &snapshot, TFindings &findings);
void CheckIdeRunning(const TEnvironmentSnapshot &snapshot, TFindings &findings);
void CheckCompiledTree(const TEnvironmentSnapshot &snapshot, TFindings &findings);
void CheckInstallRecord(const TEnvironmentSnapshot &snapshot, TFindings &findings);
void CheckJournalledValues(const TEnvironmentSnapshot &snapshot, TFindings &findings);

// The library version a design package's file name belongs to in this environment: 7 for
// "DclZel77.bpl" on Delphi 7, 6 for "DclZelPro67.bpl", 0 for the environment's own chart package
// ("dclzel70.bpl"); nothing for a file that is no design package of the library.
std::optional<int> DesignPackageVersion(const TEnviron &row, const std::string &fileName);
// A folder of a search path as the environment reads it: "$(DELPHI)", "$(BCB)" and "$(BDS)" stand
// for its folder, quotes go. Empty for a folder that cannot be told (another macro, a relative one).
std::string ExpandFolder(const TEnviron &row, const std::string &entry);

struct TEnvironmentReport {
  int Index = 0;
  std::string Name;
  TFindings Findings; // errors first, then warnings, then notes; in check order within each
};

// Every check on one snapshot.
TFindings CheckEnvironment(const TEnvironmentSnapshot &snapshot);
// The rows of Environments named by indexes, in that order; one reader for all of them.
std::vector<TEnvironmentReport> RunDoctor(const std::vector<int> &indexes, const TDoctorSettings &settings);

int CountFindings(const std::vector<TEnvironmentReport> &reports, TSeverity severity);
// Per environment its name and its findings, each with its fix on the next line, and at the end
// "N errors, M warnings".
TStringList ReportLines(const std::vector<TEnvironmentReport> &reports);
