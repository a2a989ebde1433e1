// The front of the stand-in compilers: reads an Object Pascal source file into tokens and carries
// out its compiler directives as the Borland compilers do: conditional compilation ($IFDEF,
// $IFNDEF, $IFOPT, $IF with Defined() and CompilerVersion, $ELSE, $ELSEIF, $ENDIF, $IFEND),
// $DEFINE and $UNDEF, include files, code switches, resources ($R), the package description, and
// $MESSAGE, whose FATAL form ends the compile. Only the active parts of the source yield tokens.
#pragma once
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace StandIn {

enum class TTokenKind { Identifier, String, Number, Symbol };

struct TToken {
  TTokenKind Kind;
  std::string Text; // a string token holds its value, quotes and #n codes resolved
  int File;         // index into TPascalScanner::FileName
  int Line;
};

// A {$R ...} directive: the file it names ("*" already replaced) and where it stands.
struct TResourceDirective {
  std::string Name;
  int File;
  int Line;
};

// What the directives of one module decided.
struct TDirectiveResults {
  std::vector<TResourceDirective> Resources;
  std::optional<std::string> Description;
  bool DesignOnly = false;
  bool RunOnly = false;
  std::string LibSuffix;
  int Errors = 0; // {$MESSAGE ERROR ...} seen
};

// Conditional symbols are kept in upper case: Pascal compares them without regard to case.
using TDefines = std::set<std::string>;
using TSwitches = std::map<char, bool>;

struct TScanSettings {
  std::vector<std::string> IncludePath;
  double CompilerVersion = 15.0;
  TSwitches Switches;
  bool ShowHints = true;
  bool ShowWarnings = true;
};

// Receives every line the compiler prints (hints, warnings, errors).
using TPrinter = std::function<void(const std::string &line)>;

class TPascalScanner {
public:
  TPascalScanner(TScanSettings settings, TPrinter print);

  // Tokens of the active parts of the file and the files it includes. The defines are the
  // module's own copy: a $DEFINE in a unit does not reach the next one. Raises EStandInError for
  // a fatal message, a missing include file or a conditional left open.
  std::vector<TToken> ScanFile(const std::string &path, TDefines &defines, TDirectiveResults &results);

  const std::string &FileName(int file) const { return files_.at(static_cast<std::size_t>(file)); }
  // "ZeEngine.pas(12)": how the compiler names a place in a source file.
  std::string Location(int file, int line) const;
  // Lines read so far, over all files.
  long Lines() const { return lines_; }
  const TScanSettings &Settings() const { return settings_; }

private:
  struct TConditional {
    bool ParentActive;
    bool Active;
    bool Taken;
  };
  struct TFileState;

  void ScanText(TFileState &state);
  void Directive(TFileState &state, const std::string &body, int line);
  void ConditionalDirective(TFileState &state, const std::string &name, const std::string &argument,
                            int line);
  bool Evaluate(TFileState &state, const std::string &expression, int line);
  void Include(TFileState &state, const std::string &argument, int line);
  void Message(TFileState &state, const std::string &argument, int line);
  [[noreturn]] void Fatal(int file, int line, const std::string &text) const;

  TScanSettings settings_;
  TPrinter print_;
  std::vector<std::string> files_;
  long lines_ = 0;
  int includeDepth_ = 0;
};

// Reads a Pascal string expression as directives write it: 'text' pieces with '' for a quote and
// #n or #$hex character codes between them. Also accepts a bare word (as in {$R Zel.res}).
std::string PascalStringValue(const std::string &text);

} // namespace StandIn
