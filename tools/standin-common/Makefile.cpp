#include "Makefile.h"

#include "StandInError.h"
#include "StandInFiles.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace StandIn {

namespace {

bool IsMacroNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

// "NAME = value": the name and value, or false for any other line.
bool SplitDefinition(const std::string &line, std::string &name, std::string &value) {
  std::size_t at = 0;
  if (line.empty() || !(std::isalpha(static_cast<unsigned char>(line[0])) || line[0] == '_')) {
    return false;
  }
  while (at < line.size() && IsMacroNameChar(line[at])) {
    ++at;
  }
  std::size_t equals = at;
  while (equals < line.size() && (line[equals] == ' ' || line[equals] == '\t')) {
    ++equals;
  }
  if (equals >= line.size() || line[equals] != '=') {
    return false;
  }
  name = line.substr(0, at);
  value = Trim(line.substr(equals + 1));
  return true;
}

// The colon that ends a rule's targets: not the one of a drive letter ("C:\x.obj").
std::size_t RuleColon(const std::string &line) {
  for (std::size_t at = 0; at < line.size(); ++at) {
    if (line[at] == ':' && !(at + 1 < line.size() && (line[at + 1] == '\\' || line[at + 1] == '/'))) {
      return at;
    }
  }
  return std::string::npos;
}

// Values of !if expressions: numbers where both sides are numbers, texts otherwise.
class TMakeExpression {
public:
  TMakeExpression(const std::string &text, const TMakefile &makefile) : text_(text), makefile_(makefile) {}

  long Evaluate() {
    long value = Or();
    Blanks();
    if (at_ < text_.size()) {
      throw EStandInError("Illegal character in constant expression '" + text_.substr(at_) + "'");
    }
    return value;
  }

private:
  struct TValue {
    bool IsNumber;
    long Number;
    std::string Text;
  };

  long Or() {
    long value = And();
    while (Take("||")) {
      long right = And();
      value = value || right;
    }
    return value;
  }
  long And() {
    long value = Compare();
    while (Take("&&")) {
      long right = Compare();
      value = value && right;
    }
    return value;
  }
  long Compare() {
    TValue left = Unary();
    static const char *operators[] = {"==", "!=", "<=", ">=", "<", ">"};
    for (const char *op : operators) {
      if (Take(op)) {
        TValue right = Unary();
        std::string symbol(op);
        if (left.IsNumber && right.IsNumber) {
          long a = left.Number, b = right.Number;
          return symbol == "=="   ? a == b
                 : symbol == "!=" ? a != b
                 : symbol == "<=" ? a <= b
                 : symbol == ">=" ? a >= b
                 : symbol == "<"  ? a < b
                                  : a > b;
        }
        int order = left.Text.compare(right.Text);
        return symbol == "=="   ? order == 0
               : symbol == "!=" ? order != 0
               : symbol == "<=" ? order <= 0
               : symbol == ">=" ? order >= 0
               : symbol == "<"  ? order < 0
                                : order > 0;
      }
    }
    return left.IsNumber ? left.Number : !left.Text.empty();
  }
  TValue Unary() {
    Blanks();
    if (at_ < text_.size() && text_[at_] == '!' && !(at_ + 1 < text_.size() && text_[at_ + 1] == '=')) {
      ++at_;
      TValue inner = Unary();
      long truth = inner.IsNumber ? inner.Number : !inner.Text.empty();
      return {true, !truth, {}};
    }
    if (at_ < text_.size() && text_[at_] == '(') {
      ++at_;
      long value = Or();
      Blanks();
      if (at_ >= text_.size() || text_[at_] != ')') {
        throw EStandInError("Missing ')' in constant expression");
      }
      ++at_;
      return {true, value, {}};
    }
    if (text_.compare(at_, 3, "$d(") == 0 || text_.compare(at_, 3, "$D(") == 0) {
      std::size_t close = text_.find(')', at_);
      if (close == std::string::npos) {
        throw EStandInError("Missing ')' in $d()");
      }
      std::string name = Trim(text_.substr(at_ + 3, close - at_ - 3));
      at_ = close + 1;
      return {true, makefile_.Defined(name) ? 1L : 0L, {}};
    }
    if (at_ < text_.size() && text_[at_] == '"') {
      std::size_t close = text_.find('"', at_ + 1);
      if (close == std::string::npos) {
        throw EStandInError("Unterminated string in constant expression");
      }
      std::string value = text_.substr(at_ + 1, close - at_ - 1);
      at_ = close + 1;
      return {false, 0, value};
    }
    std::size_t start = at_;
    while (at_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[at_])) &&
           std::string("!=<>()&|").find(text_[at_]) == std::string::npos) {
      ++at_;
    }
    std::string word = text_.substr(start, at_ - start);
    char *end = nullptr;
    long number = std::strtol(word.c_str(), &end, 0);
    if (!word.empty() && end && *end == '\0') {
      return {true, number, word};
    }
    return {false, 0, word};
  }
  bool Take(const std::string &symbol) {
    Blanks();
    if (text_.compare(at_, symbol.size(), symbol) == 0) {
      at_ += symbol.size();
      return true;
    }
    return false;
  }
  void Blanks() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) {
      ++at_;
    }
  }

  const std::string &text_;
  const TMakefile &makefile_;
  std::size_t at_ = 0;
};

} // namespace

TMakefile::TMakefile(std::map<std::string, std::string> macros, TPrinter print) : print_(std::move(print)) {
  for (auto &[name, value] : macros) {
    macros_[UpperCase(name)] = value;
  }
}

void TMakefile::Fatal(int line, const std::string &text) const {
  throw EStandInError("Fatal " + file_ + " " + std::to_string(line) + ": " + text);
}

bool TMakefile::Defined(const std::string &name) const {
  return macros_.count(UpperCase(name)) > 0;
}

std::string TMakefile::Macro(const std::string &name) const {
  auto found = macros_.find(UpperCase(name));
  return found == macros_.end() ? std::string() : Expand(found->second, 0);
}

std::string TMakefile::Expand(const std::string &text) const {
  return Expand(text, 0);
}

std::string TMakefile::Expand(const std::string &text, int depth) const {
  if (depth > 32) {
    throw EStandInError("Macro expansion too deep in '" + text + "'");
  }
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '$' || at + 1 >= text.size()) {
      out += text[at];
      continue;
    }
    char next = text[at + 1];
    if (next == '$') {
      out += '$';
      ++at;
      continue;
    }
    if (next != '(') {
      out += text[at]; // $< $@ $* and $d(): for commands and conditions, not for here
      continue;
    }
    std::size_t close = text.find(')', at + 2);
    if (close == std::string::npos) {
      out += text.substr(at);
      break;
    }
    std::string reference = text.substr(at + 2, close - at - 2);
    std::string name = reference;
    std::string from, to;
    bool substitute = false;
    if (auto colon = reference.find(':'); colon != std::string::npos) {
      auto equals = reference.find('=', colon);
      if (equals != std::string::npos) {
        name = reference.substr(0, colon);
        from = reference.substr(colon + 1, equals - colon - 1);
        to = reference.substr(equals + 1);
        substitute = !from.empty();
      }
    }
    auto found = macros_.find(UpperCase(name));
    std::string value = found == macros_.end() ? std::string() : Expand(found->second, depth + 1);
    if (substitute) {
      for (std::size_t hit = value.find(from); hit != std::string::npos;
           hit = value.find(from, hit + to.size())) {
        value.replace(hit, from.size(), to);
      }
    }
    out += value;
    at = close;
  }
  return out;
}

bool TMakefile::Condition(const std::string &expression, int line) const {
  try {
    return TMakeExpression(Expand(expression), *this).Evaluate() != 0;
  } catch (const EStandInError &error) {
    Fatal(line, error.Message());
  }
}

std::string TMakefile::DefaultTarget() const {
  for (const TMakeRule &rule : rules_) {
    if (!rule.Implicit && !rule.Targets.empty()) {
      return Expand(rule.Targets.front());
    }
  }
  return std::string();
}

void TMakefile::Read(const std::string &path) {
  file_ = path;
  ReadLines(path, 0);
}

void TMakefile::ReadLines(const std::string &path, int depth) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) {
    throw EStandInError(depth == 0 ? "Fatal: Unable to open makefile"
                                   : "Fatal: Unable to open include file '" + path + "'");
  }
  std::string previousFile = file_;
  file_ = path;
  std::vector<std::string> lines;
  {
    std::istringstream in(*bytes);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      lines.push_back(line);
    }
  }
  struct TBranch {
    bool ParentActive;
    bool Active;
    bool Taken;
  };
  std::vector<TBranch> branches;
  auto active = [&] { return branches.empty() || branches.back().Active; };
  bool inRule = false;
  char responseEnd = '\0';

  for (std::size_t index = 0; index < lines.size(); ++index) {
    int lineNumber = static_cast<int>(index) + 1;
    std::string line = lines[index];
    if (responseEnd) { // inside an inline response file: its text belongs to the command
      if (!line.empty() && line[0] == responseEnd) {
        responseEnd = '\0';
      }
      continue;
    }
    bool command = inRule && !line.empty() && (line[0] == ' ' || line[0] == '\t');
    while (!line.empty() && line.back() == '\\' && index + 1 < lines.size()) {
      line.pop_back();
      line += " " + lines[++index];
    }
    if (command) {
      if (active()) {
        if (auto at = line.find("&&"); at != std::string::npos && at + 2 < line.size()) {
          responseEnd = line[at + 2];
        }
      }
      continue;
    }
    if (auto hash = line.find('#'); hash != std::string::npos) {
      line = line.substr(0, hash);
    }
    std::string text = Trim(line);
    if (text.empty()) {
      continue;
    }
    if (text[0] == '!') {
      std::size_t nameEnd = 1;
      while (nameEnd < text.size() && std::isalpha(static_cast<unsigned char>(text[nameEnd]))) {
        ++nameEnd;
      }
      std::string directive = LowerCase(text.substr(1, nameEnd - 1));
      std::string argument = Trim(text.substr(nameEnd));
      if (directive == "if" || directive == "ifdef" || directive == "ifndef") {
        bool parent = active();
        bool condition = false;
        if (parent) {
          condition = directive == "if" ? Condition(argument, lineNumber)
                                        : (Defined(argument) == (directive == "ifdef"));
        }
        branches.push_back({parent, parent && condition, condition});
      } else if (directive == "elif" || directive == "else") {
        if (branches.empty()) {
          Fatal(lineNumber, "Misplaced " + directive + " statement");
        }
        TBranch &branch = branches.back();
        bool condition =
            !branch.Taken && branch.ParentActive && (directive == "else" || Condition(argument, lineNumber));
        branch.Active = condition;
        branch.Taken = branch.Taken || condition;
      } else if (directive == "endif") {
        if (branches.empty()) {
          Fatal(lineNumber, "Misplaced endif statement");
        }
        branches.pop_back();
      } else if (!active()) {
        continue;
      } else if (directive == "include") {
        std::string name = Expand(argument);
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '<')) {
          name = name.substr(1, name.size() - 2);
        }
        if (!IsAbsolutePath(name) && !IsFile(name)) {
          name = JoinPath(FolderOf(path), name);
        }
        if (depth >= 16) {
          Fatal(lineNumber, "Include files nested too deep");
        }
        ReadLines(name, depth + 1);
        file_ = path;
      } else if (directive == "message") {
        print_(Expand(argument));
      } else if (directive == "error") {
        Fatal(lineNumber, "Error directive: " + Expand(argument));
      } else if (directive == "undef") {
        macros_.erase(UpperCase(argument));
      } else {
        Fatal(lineNumber, "Unknown preprocessor statement");
      }
      continue;
    }
    if (!active()) {
      continue;
    }
    std::string name, value;
    if (SplitDefinition(text, name, value)) {
      macros_[UpperCase(name)] = value;
      inRule = false;
      continue;
    }
    std::size_t colon = RuleColon(text);
    if (colon != std::string::npos) {
      TMakeRule rule;
      rule.Targets = SplitWords(text.substr(0, colon));
      std::size_t dependencies = colon + 1;
      if (dependencies < text.size() && text[dependencies] == ':') {
        ++dependencies; // "target::" rules
      }
      rule.Dependencies = Trim(text.substr(dependencies));
      rule.Implicit = !rule.Targets.empty() && rule.Targets.front()[0] == '.';
      rule.Line = lineNumber;
      rules_.push_back(rule);
      inRule = true;
      continue;
    }
    if (text[0] == '.') {
      continue; // dot directives such as .autodepend
    }
    Fatal(lineNumber, "Command syntax error");
  }
  if (!branches.empty()) {
    Fatal(static_cast<int>(lines.size()), "No terminating !endif");
  }
  file_ = previousFile.empty() ? path : previousFile;
}

} // namespace StandIn
