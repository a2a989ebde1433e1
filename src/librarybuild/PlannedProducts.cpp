#include "PlannedProducts.h"

#include "changes/EnvironmentChanges.h"
#include "changes/Plan.h"
#include "framework/Exception.h"
#include "framework/Text.h"

#include <regex>
#include <sstream>

namespace {

std::string StemOf(const std::string &path) {
  std::string name = path.substr(path.find_last_of("\\/") + 1);
  auto dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

TPlanScope &Plan() {
  TPlanScope *plan = TPlanScope::Current();
  if (!plan)
    throw Exception("Products are planned only in a dry run.");
  return *plan;
}

void PlanProduct(const std::string &path, const std::string &tool,
                 const std::optional<std::string> &description = std::nullopt) {
  Plan().PlanFile(path, true, std::nullopt, "written by " + tool);
  if (description)
    Plan().PlanDescription(path, *description);
}

std::string Text(const TStringList &lines) {
  std::string text;
  for (const auto &line : lines)
    text += line + "\n";
  return text;
}

// A Pascal string's text: '' stands for one quote.
std::string PascalString(const std::string &quoted) {
  return std::regex_replace(quoted, std::regex("''"), "'");
}

std::string XmlText(std::string text) {
  for (const auto &[entity, character] : {std::pair<std::string, std::string>{"&quot;", "\""},
                                          {"&lt;", "<"},
                                          {"&gt;", ">"},
                                          {"&apos;", "'"},
                                          {"&amp;", "&"}})
    for (std::size_t at = 0; (at = text.find(entity, at)) != std::string::npos; at += character.size())
      text.replace(at, entity.size(), character);
  return text;
}

std::vector<std::string> SplitWords(const std::string &text) {
  std::vector<std::string> words;
  std::istringstream stream(text);
  for (std::string word; stream >> word;)
    words.push_back(word);
  return words;
}

} // namespace

TPackageSource ReadPackageSource(const std::string &dpkPath) {
  std::string text = Text(Changes::LoadLines(dpkPath));
  TPackageSource package;
  package.Name = StemOf(dpkPath);
  std::smatch match;
  static const std::regex description(R"(\{\$DESCRIPTION\s+'((?:[^']|'')*)'\})", std::regex::icase),
      suffix(R"(\{\$LIBSUFFIX\s+'((?:[^']|'')*)'\})", std::regex::icase);
  if (std::regex_search(text, match, description))
    package.Description = PascalString(match[1]);
  if (std::regex_search(text, match, suffix))
    package.LibSuffix = PascalString(match[1]);
  // The units of the contains clause: comments and the files they are in aside.
  static const std::regex comments(R"(\{[^$][^}]*\}|\(\*[\s\S]*?\*\)|//[^\n]*)"),
      contains(R"(\bcontains\b([^;]*);)", std::regex::icase), unit(R"(^\s*([A-Za-z_][A-Za-z0-9_.]*))");
  std::string code = std::regex_replace(text, comments, " ");
  if (std::regex_search(code, match, contains)) {
    std::string list = match[1];
    for (std::size_t start = 0; start <= list.size();) {
      std::size_t end = list.find(',', start);
      std::string item = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
      std::smatch name;
      if (std::regex_search(item, name, unit))
        package.Units.push_back(name[1]);
      if (end == std::string::npos)
        break;
      start = end + 1;
    }
  }
  return package;
}

void PlanPascalPackageProducts(const std::string &dpkPath, const std::string &unitFolder,
                               const std::string &packageFolder, bool dotNet) {
  TPackageSource package = ReadPackageSource(dpkPath);
  const std::string tool = dotNet ? "dccil" : "dcc32";
  for (const auto &unit : package.Units)
    PlanProduct(unitFolder + "\\" + unit + (dotNet ? ".dcuil" : ".dcu"), tool);
  PlanProduct(unitFolder + "\\" + package.Name + (dotNet ? ".dcpil" : ".dcp"), tool);
  PlanProduct(packageFolder + "\\" + package.Name + package.LibSuffix + (dotNet ? ".dll" : ".bpl"), tool,
              package.Description.value_or(""));
}

void PlanMakefileConversion(const std::string &bpkPath) {
  PlanProduct(FolderOf(bpkPath) + "\\" + StemOf(bpkPath) + ".mak", "bpr2mak");
}

namespace {

// A macro of a package project: <NAME value="..."/> in the XML form (C++Builder 5 and later), a line
// "NAME = ..." in the makefile form (C++Builder 4, whose make reads the project itself), where a
// final "\" continues the value on the next line.
std::string ProjectMacro(const TStringList &lines, const std::string &text, const std::string &name) {
  std::smatch match;
  std::regex value("<" + name + R"re(\s+value="([^"]*)")re", std::regex::icase);
  if (std::regex_search(text, match, value))
    return XmlText(match[1]);
  std::regex assignment("^\\s*" + name + "\\s*=\\s*(.*?)\\s*$", std::regex::icase);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!std::regex_match(lines[i], match, assignment))
      continue;
    std::string result = match[1];
    while (!result.empty() && result.back() == '\\' && ++i < lines.size())
      result = result.substr(0, result.size() - 1) + " " + lines[i];
    return result;
  }
  return {};
}

} // namespace

void PlanCBuilderPackageProducts(const std::string &bpkPath) {
  const TStringList lines = Changes::LoadLines(bpkPath);
  const std::string text = Text(lines);
  auto macro = [&](const std::string &name) { return ProjectMacro(lines, text, name); };
  const std::string folder = FolderOf(bpkPath);
  for (const auto &object : SplitWords(macro("OBJFILES"))) {
    std::string stem = StemOf(object);
    PlanProduct(folder + "\\" + stem + ".obj", "make");
    if (Changes::FileExists(folder + "\\" + stem + ".pas")) { // the Pascal compiler's unit and header too
      PlanProduct(folder + "\\" + stem + ".dcu", "make");
      PlanProduct(folder + "\\" + stem + ".hpp", "make");
    }
  }
  // The linker's description option: -D"text".
  std::optional<std::string> description;
  std::smatch match;
  std::string flags = macro("LFLAGS");
  if (std::regex_search(flags, match, std::regex(R"re((?:^|\s)-D(?:"([^"]*)"|(\S*)))re")))
    description = match[1].matched ? match[1].str() : match[2].str();
  std::string stem = folder + "\\" + StemOf(macro("PROJECT"));
  PlanProduct(folder + "\\" + macro("PROJECT"), "make", description.value_or(""));
  for (const char *extension : {".bpi", ".lib", ".tds", ".ilc", ".ild", ".ilf", ".ils"})
    PlanProduct(stem + extension, "make");
}
