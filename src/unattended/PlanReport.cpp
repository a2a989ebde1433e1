#include "unattended/PlanReport.h"

#include "framework/CodePage.h"
#include "unattended/RunResult.h"

#include <cstdint>
#include <cstdio>

namespace {

std::string Text(const std::string &text) {
  return JsonString(Utf8FromSystemCodePage(text));
}

std::uint32_t DwordOf(const std::string &data) {
  std::uint32_t value = 0;
  for (std::size_t i = std::min<std::size_t>(data.size(), 4); i-- > 0;)
    value = value << 8 | std::uint8_t(data[i]);
  return value;
}

// Bytes as an export writes them: two hex digits each, separated by commas.
std::string HexBytes(const std::string &data) {
  std::string text;
  for (std::size_t i = 0; i < data.size(); ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02x", unsigned(std::uint8_t(data[i])));
    text += (i ? "," : "") + std::string(pair);
  }
  return text;
}

bool IsText(std::uint32_t type) {
  return type == rdString || type == rdExpandString;
}

bool IsNumber(const TValueState &state) {
  return state.Type == rdInteger && state.Data.size() == 4;
}

std::string StateJson(const TValueState &state) {
  if (!state.Exists)
    return "null";
  std::string data = IsText(state.Type) ? Text(state.Data)
                     : IsNumber(state)  ? std::to_string(DwordOf(state.Data))
                                        : Text(HexBytes(state.Data));
  return "{\"type\": " + Text(RegistryTypeName(state.Type)) + ", \"data\": " + data + "}";
}

template <typename T, typename F>
std::string Array(const std::vector<T> &items, const std::string &indent, F itemJson) {
  std::vector<std::string> json;
  for (const auto &item : items)
    json.push_back(itemJson(item));
  return JsonArray(json, indent);
}

} // namespace

std::string PlannedValueText(const TValueState &state) {
  if (!state.Exists)
    return "(absent)";
  std::string data = IsText(state.Type) ? "\"" + state.Data + "\""
                     : IsNumber(state)  ? std::to_string(DwordOf(state.Data))
                                        : HexBytes(state.Data);
  return RegistryTypeName(state.Type) + " " + data;
}

std::vector<std::string> PlanLines(const std::vector<TEnvironmentPlan> &plan) {
  std::vector<std::string> lines;
  for (const auto &environment : plan) {
    lines.push_back(environment.Index < 0 ? "Plan of the run itself:" : "Plan of " + environment.Name + ":");
    if (environment.Commands.empty() && environment.Files.empty() && environment.Registry.empty())
      lines.push_back("  nothing to change");
    if (!environment.Commands.empty())
      lines.push_back("  Commands:");
    for (const auto &command : environment.Commands)
      lines.push_back("    " + command.Folder + "> " + command.CommandLine);
    if (!environment.Files.empty())
      lines.push_back("  Files:");
    for (const auto &file : environment.Files)
      lines.push_back("    " + PlannedFileActionName(file.Action) + " " + file.Path +
                      (file.To.empty() ? "" : " -> " + file.To) +
                      (file.Unknown.empty() ? "" : " (unknown: " + file.Unknown + ")"));
    if (!environment.Registry.empty())
      lines.push_back("  Registry:");
    for (const auto &value : environment.Registry)
      lines.push_back("    " + value.Key + "\\" + value.Name + ": " + PlannedValueText(value.Before) +
                      " -> " + PlannedValueText(value.After));
    if (!environment.Questions.empty())
      lines.push_back("  Questions:");
    for (const auto &question : environment.Questions)
      lines.push_back("    " + question.Text + " " + (question.Answer ? "Yes" : "No"));
  }
  return lines;
}

std::string PlanJson(const std::vector<TEnvironmentPlan> &plan, const std::string &indent) {
  const std::string in = indent + "  ", item = in + "  ";
  std::string environments = Array(plan, in, [&](const TEnvironmentPlan &environment) {
    const std::string members = item + "  ";
    auto commands = Array(environment.Commands, members, [](const TPlannedCommand &command) {
      return "{\"folder\": " + Text(command.Folder) + ", \"commandLine\": " + Text(command.CommandLine) + "}";
    });
    auto files = Array(environment.Files, members, [](const TPlannedFile &file) {
      return "{\"path\": " + Text(file.Path) + ", \"action\": " + Text(PlannedFileActionName(file.Action)) +
             (file.To.empty() ? "" : ", \"to\": " + Text(file.To)) +
             (file.Unknown.empty() ? "" : ", \"unknown\": " + Text(file.Unknown)) + "}";
    });
    auto registry = Array(environment.Registry, members, [](const TPlannedValue &value) {
      return "{\"key\": " + Text(value.Key) + ", \"value\": " + Text(value.Name) +
             ", \"before\": " + StateJson(value.Before) + ", \"after\": " + StateJson(value.After) + "}";
    });
    auto questions = Array(environment.Questions, members, [](const TPlannedQuestion &question) {
      return "{\"text\": " + Text(question.Text) + ", \"answer\": " + Text(question.Answer ? "yes" : "no") +
             "}";
    });
    return "{\n" + members + "\"name\": " + Text(environment.Name) + ",\n" + members +
           "\"index\": " + std::to_string(environment.Index) + ",\n" + members + "\"commands\": " + commands +
           ",\n" + members + "\"files\": " + files + ",\n" + members + "\"registry\": " + registry + ",\n" +
           members + "\"questions\": " + questions + "\n" + item + "}";
  });
  return "{\n" + in + "\"environments\": " + environments + "\n" + indent + "}";
}
