#include "unattended/RunResult.h"

#include "framework/CodePage.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "unattended/PlanReport.h"

#include <cstdio>

std::string IsoUtcTime(std::time_t time) {
  std::tm *utc = std::gmtime(&time);
  char text[32] = {};
  if (utc)
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
  return text;
}

std::string JsonString(const std::string &text) {
  std::string json = "\"";
  for (char c : text) {
    switch (c) {
    case '"':
      json += "\\\"";
      break;
    case '\\':
      json += "\\\\";
      break;
    case '\n':
      json += "\\n";
      break;
    case '\r':
      json += "\\r";
      break;
    case '\t':
      json += "\\t";
      break;
    default:
      if (static_cast<unsigned char>(c) < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
        json += escape;
      } else {
        json += c;
      }
    }
  }
  return json + "\"";
}

std::string JsonObject(const TJsonMembers &members, const std::string &indent) {
  std::string json = "{\n";
  for (std::size_t i = 0; i < members.size(); ++i)
    json += indent + "  " + JsonString(members[i].first) + ": " + members[i].second +
            (i + 1 < members.size() ? ",\n" : "\n");
  return json + indent + "}";
}

std::string JsonArray(const std::vector<std::string> &items, const std::string &indent) {
  if (items.empty())
    return "[]";
  std::string json = "[";
  for (std::size_t i = 0; i < items.size(); ++i)
    json += (i ? ",\n" : "\n") + indent + "  " + items[i];
  return json + "\n" + indent + "]";
}

namespace {

// The program's texts are in the system code page; the document is UTF-8.
std::string Text(const std::string &text) {
  return JsonString(Utf8FromSystemCodePage(text));
}
std::string Bool(bool value) {
  return value ? "true" : "false";
}

std::string TextArray(const std::vector<std::string> &items) {
  std::string json = "[";
  for (std::size_t i = 0; i < items.size(); ++i)
    json += (i ? ", " : "") + Text(items[i]);
  return json + "]";
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

std::string EnvironmentJson(const TEnvironmentResult &environment, bool uninstall) {
  TJsonMembers members = {{"index", std::to_string(environment.Index)},
                          {"name", Text(environment.Name)},
                          {"folder", Text(environment.Folder)},
                          {"status", Text(environment.Status)},
                          {"seconds", Seconds(environment.Seconds)},
                          {"error", Text(environment.Error)},
                          {"warnings", TextArray(environment.Warnings)},
                          {"packages", TextArray(environment.Packages)},
                          {"outputFolder", Text(environment.OutputFolder)}};
  if (uninstall)
    members.push_back({"changedSinceInstall", TextArray(environment.ChangedSinceInstall)});
  return JsonObject(members, "    ");
}

} // namespace

std::string ResultJson(const TRunResult &result) {
  const TUnattendedOptions &options = result.Options;
  std::vector<std::string> environments;
  for (const auto &environment : result.Environments)
    environments.push_back(
        EnvironmentJson(environment, options.Action == TUnattendedOptions::TAction::Uninstall));
  TJsonMembers optionMembers = {{"environments", TextArray(options.Patterns)},
                                {"source", Text(result.SourceFolder)},
                                {"destination", Text(result.DestinationFolder)},
                                {"xfm", Bool(options.Xfm)},
                                {"install", Bool(options.Install)},
                                {"dcube", Bool(options.DecisionCube)},
                                {"yes", Bool(options.Yes)},
                                {"standard", Bool(options.Standard)},
                                {"jobs", std::to_string(options.Jobs)},
                                {"log", Text(options.LogFile)}};
  if (options.Plan) // a dry run says so; the documents of other runs stay as they were
    optionMembers.push_back({"plan", Bool(true)});
  TJsonMembers members = {{"program", Text("ZelRecompile")},
                          {"version", Text(result.Version)},
                          {"started", Text(IsoUtcTime(result.Started))},
                          {"ended", Text(IsoUtcTime(result.Ended))},
                          {"exitCode", std::to_string(result.ExitCode)},
                          {"error", Text(result.Error)},
                          {"options", JsonObject(optionMembers, "  ")},
                          {"environments", JsonArray(environments, "  ")}};
  if (options.Plan)
    members.push_back({"plan", PlanJson(result.Plan, "  ")});
  return JsonObject(members, "") + "\n";
}

void WriteResultFile(const std::string &path, const TRunResult &result) {
  if (!Fs::WriteWholeFile(path, ResultJson(result)))
    throw EFileError("Cannot create file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
}
