#include "PascalScanner.h"

#include "StandInError.h"
#include "StandInFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace StandIn {

namespace {

bool IsIdentifierStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentifierChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The code switches as the compilers start: what {$IFOPT} sees unless a -$ option or a switch
// directive changed it.
TSwitches DefaultSwitches() {
  TSwitches switches;
  for (char c : std::string("ACDGHILMNOPVXY")) {
    switches[c] = true;
  }
  for (char c : std::string("BEFJKQRSTUWZ")) {
    switches[c] = false;
  }
  return switches;
}

// The first word of a directive argument, or its quoted text.
std::string FirstArgument(const std::string &argument, std::string *rest = nullptr) {
  std::string text = Trim(argument);
  std::string value;
  std::size_t end;
  if (!text.empty() && text[0] == '\'') {
    end = 1;
    while (end < text.size()) {
      if (text[end] == '\'') {
        if (end + 1 < text.size() && text[end + 1] == '\'') {
          value += '\'';
          end += 2;
          continue;
        }
        ++end;
        break;
      }
      value += text[end++];
    }
  } else {
    end = text.find_first_of(" \t\r\n");
    if (end == std::string::npos) {
      end = text.size();
    }
    value = text.substr(0, end);
  }
  if (rest) {
    *rest = end < text.size() ? text.substr(end) : std::string();
  }
  return value;
}

// Small recursive descent over the expression of {$IF} and {$ELSEIF}.
class TExpression {
public:
  TExpression(const std::string &text, const TDefines &defines, double version)
      : text_(text), defines_(defines), version_(version) {}

  double Evaluate() {
    double value = Or();
    SkipBlanks();
    if (at_ < text_.size()) {
      throw EStandInError("Invalid conditional expression near '" + text_.substr(at_) + "'");
    }
    return value;
  }

private:
  double Or() {
    double value = And();
    while (Keyword("OR")) {
      double right = And();
      value = (value != 0 || right != 0) ? 1 : 0;
    }
    return value;
  }
  double And() {
    double value = Not();
    while (Keyword("AND")) {
      double right = Not();
      value = (value != 0 && right != 0) ? 1 : 0;
    }
    return value;
  }
  double Not() {
    if (Keyword("NOT")) {
      return Not() == 0 ? 1 : 0;
    }
    return Comparison();
  }
  double Comparison() {
    double left = Term();
    SkipBlanks();
    static const char *operators[] = {"<=", ">=", "<>", "=", "<", ">"};
    for (const char *op : operators) {
      std::string symbol(op);
      if (text_.compare(at_, symbol.size(), symbol) == 0) {
        at_ += symbol.size();
        double right = Term();
        if (symbol == "<=")
          return left <= right;
        if (symbol == ">=")
          return left >= right;
        if (symbol == "<>")
          return left != right;
        if (symbol == "=")
          return left == right;
        if (symbol == "<")
          return left < right;
        return left > right;
      }
    }
    return left;
  }
  double Term() {
    SkipBlanks();
    if (at_ < text_.size() && text_[at_] == '(') {
      ++at_;
      double value = Or();
      Expect(')');
      return value;
    }
    if (at_ < text_.size() && (std::isdigit(static_cast<unsigned char>(text_[at_])) || text_[at_] == '-')) {
      char *end = nullptr;
      double value = std::strtod(text_.c_str() + at_, &end);
      at_ = static_cast<std::size_t>(end - text_.c_str());
      return value;
    }
    std::string name = UpperCase(Identifier());
    if (name == "DEFINED" || name == "DECLARED") {
      Expect('(');
      std::string symbol = UpperCase(Identifier());
      Expect(')');
      if (name == "DEFINED") {
        return defines_.count(symbol) ? 1 : 0;
      }
      return symbol == "COMPILERVERSION" || symbol == "RTLVERSION" ? 1 : 0;
    }
    if (name == "COMPILERVERSION" || name == "RTLVERSION") {
      return version_;
    }
    if (name == "TRUE") {
      return 1;
    }
    if (name == "FALSE") {
      return 0;
    }
    throw EStandInError("Undeclared identifier: '" + name + "'");
  }
  std::string Identifier() {
    SkipBlanks();
    std::size_t start = at_;
    while (at_ < text_.size() && IsIdentifierChar(text_[at_])) {
      ++at_;
    }
    if (start == at_) {
      throw EStandInError("Invalid conditional expression near '" + text_.substr(start) + "'");
    }
    return text_.substr(start, at_ - start);
  }
  bool Keyword(const std::string &word) {
    SkipBlanks();
    if (at_ + word.size() <= text_.size() && SameText(text_.substr(at_, word.size()), word) &&
        (at_ + word.size() == text_.size() || !IsIdentifierChar(text_[at_ + word.size()]))) {
      at_ += word.size();
      return true;
    }
    return false;
  }
  void Expect(char c) {
    SkipBlanks();
    if (at_ >= text_.size() || text_[at_] != c) {
      throw EStandInError(std::string("'") + c + "' expected in conditional expression");
    }
    ++at_;
  }
  void SkipBlanks() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) {
      ++at_;
    }
  }

  const std::string &text_;
  const TDefines &defines_;
  double version_;
  std::size_t at_ = 0;
};

} // namespace

struct TPascalScanner::TFileState {
  int File;
  int ModuleFile; // "*" in {$R *.res} stands for this file's name
  const std::string &Text;
  TDefines &Defines;
  TDirectiveResults &Results;
  std::vector<TToken> &Tokens;
  std::vector<TConditional> Conditionals;
  std::size_t Pos = 0;
  int Line = 1;

  bool Active() const { return Conditionals.empty() || Conditionals.back().Active; }
};

TPascalScanner::TPascalScanner(TScanSettings settings, TPrinter print)
    : settings_(std::move(settings)), print_(std::move(print)) {
  TSwitches switches = DefaultSwitches();
  for (const auto &[name, on] : settings_.Switches) {
    switches[name] = on;
  }
  settings_.Switches = switches;
}

std::string TPascalScanner::Location(int file, int line) const {
  return FileName(file) + "(" + std::to_string(line) + ")";
}

void TPascalScanner::Fatal(int file, int line, const std::string &text) const {
  throw EStandInError(Location(file, line) + " Fatal: " + text);
}

std::vector<TToken> TPascalScanner::ScanFile(const std::string &path, TDefines &defines,
                                             TDirectiveResults &results) {
  auto text = ReadFileBytes(path);
  if (!text) {
    throw EStandInError("Fatal: File not found: '" + path + "'");
  }
  files_.push_back(path);
  int file = static_cast<int>(files_.size()) - 1;
  std::vector<TToken> tokens;
  TFileState state{file, file, *text, defines, results, tokens, {}};
  ScanText(state);
  return tokens;
}

void TPascalScanner::ScanText(TFileState &state) {
  const std::string &text = state.Text;
  lines_ += std::count(text.begin(), text.end(), '\n') + (text.empty() || text.back() == '\n' ? 0 : 1);
  auto closeComment = [&](const std::string &closing, std::size_t bodyStart) {
    std::size_t end = text.find(closing, bodyStart);
    if (end == std::string::npos) {
      Fatal(state.File, state.Line,
            "Unexpected end of file in comment started on line " + std::to_string(state.Line));
    }
    std::string body = text.substr(bodyStart, end - bodyStart);
    int startLine = state.Line;
    state.Line += static_cast<int>(std::count(body.begin(), body.end(), '\n'));
    state.Pos = end + closing.size();
    if (!body.empty() && body[0] == '$') {
      Directive(state, body.substr(1), startLine);
    }
  };

  while (state.Pos < text.size()) {
    char c = text[state.Pos];
    char next = state.Pos + 1 < text.size() ? text[state.Pos + 1] : '\0';
    if (c == '\n') {
      ++state.Line;
      ++state.Pos;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++state.Pos;
    } else if (c == '{') {
      closeComment("}", state.Pos + 1);
    } else if (c == '(' && next == '*') {
      closeComment("*)", state.Pos + 2);
    } else if (c == '/' && next == '/') {
      while (state.Pos < text.size() && text[state.Pos] != '\n') {
        ++state.Pos;
      }
    } else if (c == '\'' || (c == '#' && state.Active())) {
      // A string expression: quoted pieces and character codes, one token. Inactive parts are
      // passed over string by string too, so that a brace inside quotes opens no comment.
      std::string value;
      int line = state.Line;
      while (state.Pos < text.size()) {
        if (text[state.Pos] == '\'') {
          ++state.Pos;
          while (true) {
            if (state.Pos >= text.size() || text[state.Pos] == '\n') {
              Fatal(state.File, line, "Unterminated string");
            }
            if (text[state.Pos] == '\'') {
              if (state.Pos + 1 < text.size() && text[state.Pos + 1] == '\'') {
                value += '\'';
                state.Pos += 2;
                continue;
              }
              ++state.Pos;
              break;
            }
            value += text[state.Pos++];
          }
        } else if (text[state.Pos] == '#') {
          std::size_t start = ++state.Pos;
          bool hex = state.Pos < text.size() && text[state.Pos] == '$';
          if (hex) {
            start = ++state.Pos;
          }
          while (state.Pos < text.size() && std::isxdigit(static_cast<unsigned char>(text[state.Pos]))) {
            ++state.Pos;
          }
          value += static_cast<char>(
              std::strtol(text.substr(start, state.Pos - start).c_str(), nullptr, hex ? 16 : 10));
        } else {
          break;
        }
      }
      if (state.Active()) {
        state.Tokens.push_back({TTokenKind::String, value, state.File, line});
      }
    } else if (!state.Active()) {
      ++state.Pos;
    } else if (IsIdentifierStart(c)) {
      std::size_t start = state.Pos;
      while (state.Pos < text.size() && IsIdentifierChar(text[state.Pos])) {
        ++state.Pos;
      }
      state.Tokens.push_back(
          {TTokenKind::Identifier, text.substr(start, state.Pos - start), state.File, state.Line});
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '$' && std::isxdigit(static_cast<unsigned char>(next)))) {
      std::size_t start = state.Pos++;
      while (state.Pos < text.size() &&
             (std::isalnum(static_cast<unsigned char>(text[state.Pos])) || text[state.Pos] == '.') &&
             !(text[state.Pos] == '.' && state.Pos + 1 < text.size() && text[state.Pos + 1] == '.')) {
        ++state.Pos;
      }
      state.Tokens.push_back(
          {TTokenKind::Number, text.substr(start, state.Pos - start), state.File, state.Line});
    } else {
      static const char *pairs[] = {":=", "..", "<=", ">=", "<>"};
      std::string symbol(1, c);
      for (const char *pair : pairs) {
        if (c == pair[0] && next == pair[1]) {
          symbol = pair;
        }
      }
      state.Pos += symbol.size();
      state.Tokens.push_back({TTokenKind::Symbol, symbol, state.File, state.Line});
    }
  }
  if (!state.Conditionals.empty()) {
    Fatal(state.File, state.Line, "Unterminated conditional directive");
  }
}

void TPascalScanner::Directive(TFileState &state, const std::string &body, int line) {
  std::size_t nameEnd = 0;
  while (nameEnd < body.size() && IsIdentifierChar(body[nameEnd])) {
    ++nameEnd;
  }
  std::string name = UpperCase(body.substr(0, nameEnd));
  std::string argument = body.substr(nameEnd);

  static const std::set<std::string> conditionals = {"IFDEF", "IFNDEF", "IFOPT", "IF",
                                                     "ELSE",  "ELSEIF", "ENDIF", "IFEND"};
  if (conditionals.count(name)) {
    ConditionalDirective(state, name, argument, line);
    return;
  }
  if (!state.Active()) {
    return;
  }
  // Switches: {$R-}, {$Q+,R+}. A letter directly followed by + or - is a switch, never a file.
  if (name.size() == 1 && !argument.empty() && (argument[0] == '+' || argument[0] == '-')) {
    std::string list = name + argument;
    for (const std::string &item : SplitList(list, ',')) {
      if (item.size() >= 2 && (item[1] == '+' || item[1] == '-')) {
        settings_.Switches[static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])))] =
            item[1] == '+';
      }
    }
    return;
  }
  if (name == "DEFINE") {
    state.Defines.insert(UpperCase(FirstArgument(argument)));
  } else if (name == "UNDEF") {
    state.Defines.erase(UpperCase(FirstArgument(argument)));
  } else if (name == "I" || name == "INCLUDE") {
    Include(state, argument, line);
  } else if (name == "R" || name == "RESOURCE") {
    std::string resource = FirstArgument(argument);
    if (!resource.empty() && resource[0] == '*') {
      resource = StemOf(FileName(state.ModuleFile)) + resource.substr(1);
    }
    state.Results.Resources.push_back({resource, state.File, line});
  } else if (name == "D" || name == "DESCRIPTION") {
    std::string text = Trim(argument);
    if (!text.empty() && text[0] == '\'') {
      state.Results.Description = PascalStringValue(text);
    }
  } else if (name == "MESSAGE") {
    Message(state, argument, line);
  } else if (name == "DESIGNONLY") {
    state.Results.DesignOnly = true;
  } else if (name == "RUNONLY") {
    state.Results.RunOnly = true;
  } else if (name == "LIBSUFFIX") {
    state.Results.LibSuffix = PascalStringValue(Trim(argument));
  }
  // Every other directive (alignment, warnings, image base, ...) changes nothing a stand-in checks.
}

void TPascalScanner::ConditionalDirective(TFileState &state, const std::string &name,
                                          const std::string &argument, int line) {
  auto &stack = state.Conditionals;
  if (name == "ELSE" || name == "ELSEIF") {
    if (stack.empty()) {
      Fatal(state.File, line, "Misplaced " + name + " directive");
    }
    TConditional &top = stack.back();
    bool condition = false;
    if (name == "ELSE") {
      condition = !top.Taken;
    } else if (!top.Taken && top.ParentActive) {
      condition = Evaluate(state, argument, line);
    }
    top.Active = top.ParentActive && condition;
    top.Taken = top.Taken || condition;
    return;
  }
  if (name == "ENDIF" || name == "IFEND") {
    if (stack.empty()) {
      Fatal(state.File, line, "Misplaced " + name + " directive");
    }
    stack.pop_back();
    return;
  }
  bool parentActive = state.Active();
  bool condition = false;
  if (parentActive) {
    if (name == "IFDEF" || name == "IFNDEF") {
      bool defined = state.Defines.count(UpperCase(FirstArgument(argument))) > 0;
      condition = name == "IFDEF" ? defined : !defined;
    } else if (name == "IFOPT") {
      std::string option = FirstArgument(argument);
      if (option.size() >= 2) {
        auto found =
            settings_.Switches.find(static_cast<char>(std::toupper(static_cast<unsigned char>(option[0]))));
        condition = found != settings_.Switches.end() && found->second == (option[1] == '+');
      }
    } else {
      condition = Evaluate(state, argument, line);
    }
  }
  stack.push_back({parentActive, parentActive && condition, condition});
}

bool TPascalScanner::Evaluate(TFileState &state, const std::string &expression, int line) {
  try {
    return TExpression(expression, state.Defines, settings_.CompilerVersion).Evaluate() != 0;
  } catch (const EStandInError &error) {
    Fatal(state.File, line, error.Message());
  }
}

void TPascalScanner::Include(TFileState &state, const std::string &argument, int line) {
  std::string name = FirstArgument(argument);
  if (ExtensionOf(name).empty()) {
    name += ".pas";
  }
  std::vector<std::string> folders = {FolderOf(FileName(state.File))};
  folders.insert(folders.end(), settings_.IncludePath.begin(), settings_.IncludePath.end());
  auto path = IsAbsolutePath(name) ? (IsFile(name) ? std::optional<std::string>(name) : std::nullopt)
                                   : FindInFolders(name, folders);
  if (!path) {
    Fatal(state.File, line, "File not found: '" + name + "'");
  }
  if (includeDepth_ >= 16) {
    Fatal(state.File, line, "Include files nested too deep");
  }
  auto text = ReadFileBytes(*path);
  if (!text) {
    Fatal(state.File, line, "Could not open include file '" + *path + "'");
  }
  files_.push_back(*path);
  TFileState inner{static_cast<int>(files_.size()) - 1,
                   state.ModuleFile,
                   *text,
                   state.Defines,
                   state.Results,
                   state.Tokens,
                   {}};
  ++includeDepth_;
  ScanText(inner);
  --includeDepth_;
}

void TPascalScanner::Message(TFileState &state, const std::string &argument, int line) {
  std::string text = Trim(argument);
  std::string kind = "HINT";
  if (!text.empty() && text[0] != '\'') {
    std::string rest;
    kind = UpperCase(FirstArgument(text, &rest));
    text = Trim(rest);
  }
  std::string message = PascalStringValue(text);
  std::string where = Location(state.File, line);
  if (kind == "FATAL") {
    throw EStandInError(where + " Fatal: " + message);
  }
  if (kind == "ERROR") {
    ++state.Results.Errors;
    print_(where + " Error: " + message);
  } else if (kind == "WARN") {
    if (settings_.ShowWarnings) {
      print_(where + " Warning: " + message);
    }
  } else if (kind == "HINT") {
    if (settings_.ShowHints) {
      print_(where + " Hint: " + message);
    }
  } else {
    Fatal(state.File, line, "Invalid compiler directive: 'MESSAGE " + kind + "'");
  }
}

std::string PascalStringValue(const std::string &text) {
  std::string value;
  std::size_t at = 0;
  bool any = false;
  while (at < text.size()) {
    char c = text[at];
    if (c == '\'') {
      any = true;
      ++at;
      while (at < text.size()) {
        if (text[at] == '\'') {
          if (at + 1 < text.size() && text[at + 1] == '\'') {
            value += '\'';
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        value += text[at++];
      }
    } else if (c == '#') {
      any = true;
      std::size_t start = ++at;
      bool hex = at < text.size() && text[at] == '$';
      if (hex) {
        start = ++at;
      }
      while (at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at]))) {
        ++at;
      }
      value += static_cast<char>(std::strtol(text.substr(start, at - start).c_str(), nullptr, hex ? 16 : 10));
    } else if (std::isspace(static_cast<unsigned char>(c)) || c == '+') {
      ++at;
    } else if (!any) {
      return FirstArgument(text); // a bare word
    } else {
      break;
    }
  }
  return value;
}

} // namespace StandIn
