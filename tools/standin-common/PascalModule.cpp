#include "PascalModule.h"

#include "StandInError.h"
#include "StandInFiles.h"

namespace StandIn {

namespace {

class TParser {
public:
  TParser(const TPascalScanner &scanner, const std::vector<TToken> &tokens, int file)
      : scanner_(scanner), tokens_(tokens), file_(file) {}

  bool AtEnd() const { return at_ >= tokens_.size(); }
  const TToken *Peek() const { return AtEnd() ? nullptr : &tokens_[at_]; }
  bool PeekWord(const std::string &word) const {
    const TToken *token = Peek();
    return token && token->Kind == TTokenKind::Identifier && SameText(token->Text, word);
  }
  bool PeekSymbol(const std::string &symbol) const {
    const TToken *token = Peek();
    return token && token->Kind == TTokenKind::Symbol && token->Text == symbol;
  }
  const TToken &Next(const std::string &expected) {
    if (AtEnd()) {
      Fail(expected + " expected but end of file found");
    }
    return tokens_[at_++];
  }
  void ExpectSymbol(const std::string &symbol) {
    if (!PeekSymbol(symbol)) {
      FailExpected("'" + symbol + "'");
    }
    ++at_;
  }
  void ExpectWord(const std::string &word) {
    if (!PeekWord(word)) {
      FailExpected("'" + UpperCase(word) + "'");
    }
    ++at_;
  }
  // A name with optional dotted parts: Velmora.Quivex.VCL.
  TModuleReference Name() {
    const TToken *first = Peek();
    if (!first || first->Kind != TTokenKind::Identifier) {
      FailExpected("Identifier");
    }
    TModuleReference reference{first->Text, {}, first->File, first->Line};
    ++at_;
    while (PeekSymbol(".") && at_ + 1 < tokens_.size() && tokens_[at_ + 1].Kind == TTokenKind::Identifier) {
      reference.Name += "." + tokens_[at_ + 1].Text;
      at_ += 2;
    }
    return reference;
  }
  // "a, b in 'b.pas', c;"
  std::vector<TModuleReference> List(bool allowIn) {
    std::vector<TModuleReference> items;
    while (true) {
      TModuleReference item = Name();
      if (allowIn && PeekWord("in")) {
        ++at_;
        const TToken &file = Next("String constant");
        if (file.Kind != TTokenKind::String) {
          Fail("String constant expected but '" + file.Text + "' found", &file);
        }
        item.InFile = file.Text;
      }
      items.push_back(item);
      if (PeekSymbol(",")) {
        ++at_;
        continue;
      }
      ExpectSymbol(";");
      return items;
    }
  }
  // Moves to the first identifier token equal to the word; false at the end.
  bool SkipTo(const std::string &word) {
    while (!AtEnd() && !PeekWord(word)) {
      ++at_;
    }
    return !AtEnd();
  }
  void Skip() { ++at_; }
  const std::vector<TToken> &Tokens() const { return tokens_; }

  [[noreturn]] void FailExpected(const std::string &what) {
    const TToken *token = Peek();
    Fail(what + " expected but " + (token ? "'" + token->Text + "'" : std::string("end of file")) + " found",
         token);
  }
  [[noreturn]] void Fail(const std::string &text, const TToken *token = nullptr) {
    if (!token && !tokens_.empty()) {
      token = AtEnd() ? &tokens_.back() : &tokens_[at_];
    }
    int file = token ? token->File : file_;
    int line = token ? token->Line : 1;
    throw EStandInError(scanner_.Location(file, line) + " Fatal: " + text);
  }

private:
  const TPascalScanner &scanner_;
  const std::vector<TToken> &tokens_;
  int file_;
  std::size_t at_ = 0;
};

void ReadUnitSections(TParser &parser, TPascalModule &module) {
  // Hint directives may follow the unit name: unit X platform;
  while (!parser.PeekSymbol(";")) {
    parser.Next("';'");
  }
  parser.ExpectSymbol(";");
  parser.ExpectWord("interface");
  if (parser.PeekWord("uses")) {
    parser.Skip();
    module.InterfaceUses = parser.List(false);
  }
  // The keyword "interface" also opens interface types; "implementation" only the section.
  if (!parser.SkipTo("implementation")) {
    parser.FailExpected("'IMPLEMENTATION'");
  }
  parser.Skip();
  if (parser.PeekWord("uses")) {
    parser.Skip();
    module.ImplementationUses = parser.List(false);
  }
}

void ReadKeyFiles(const std::vector<TToken> &tokens, TPascalModule &module) {
  for (std::size_t i = 0; i + 3 < tokens.size(); ++i) {
    const TToken &token = tokens[i];
    if (token.Kind == TTokenKind::Identifier &&
        (SameText(token.Text, "AssemblyKeyFile") || SameText(token.Text, "AssemblyKeyFileAttribute")) &&
        tokens[i + 1].Text == "(" && tokens[i + 2].Kind == TTokenKind::String) {
      module.KeyFiles.push_back({tokens[i + 2].Text, {}, tokens[i + 2].File, tokens[i + 2].Line});
    }
  }
}

} // namespace

std::string ModuleKindName(TModuleKind kind) {
  switch (kind) {
  case TModuleKind::Package:
    return "package";
  case TModuleKind::Program:
    return "program";
  case TModuleKind::Library:
    return "library";
  case TModuleKind::Unit:
    break;
  }
  return "unit";
}

TPascalModule ReadPascalModule(TPascalScanner &scanner, const std::string &path, TDefines defines) {
  TPascalModule module;
  module.Path = path;
  std::vector<TToken> tokens = scanner.ScanFile(path, defines, module.Directives);
  module.File = tokens.empty() ? 0 : tokens.front().File;
  TParser parser(scanner, tokens, module.File);
  const TToken *head = parser.Peek();
  if (!head) {
    parser.Fail("Unexpected end of file");
  }
  static const std::pair<const char *, TModuleKind> kinds[] = {{"package", TModuleKind::Package},
                                                               {"program", TModuleKind::Program},
                                                               {"library", TModuleKind::Library},
                                                               {"unit", TModuleKind::Unit}};
  bool known = false;
  for (const auto &[word, kind] : kinds) {
    if (parser.PeekWord(word)) {
      module.Kind = kind;
      known = true;
    }
  }
  if (!known) {
    parser.FailExpected("'UNIT'");
  }
  module.HeaderLine = head->Line;
  parser.Skip();
  module.Name = parser.Name().Name;

  switch (module.Kind) {
  case TModuleKind::Unit:
    ReadUnitSections(parser, module);
    break;
  case TModuleKind::Package:
    parser.ExpectSymbol(";");
    if (parser.PeekWord("requires")) {
      parser.Skip();
      module.Requires = parser.List(false);
    }
    if (parser.PeekWord("contains")) {
      parser.Skip();
      module.Contains = parser.List(true);
    }
    break;
  case TModuleKind::Program:
  case TModuleKind::Library:
    if (parser.PeekSymbol("(")) { // program X(Input, Output);
      while (!parser.PeekSymbol(")")) {
        parser.Next("')'");
      }
      parser.Skip();
    }
    parser.ExpectSymbol(";");
    if (parser.PeekWord("uses")) {
      parser.Skip();
      module.Contains = parser.List(true);
    }
    break;
  }
  ReadKeyFiles(tokens, module);
  return module;
}

} // namespace StandIn
