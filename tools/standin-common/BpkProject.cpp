#include "BpkProject.h"

#include "StandInError.h"
#include "StandInFiles.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace StandIn {

const TXmlElement *TXmlElement::Child(const std::string &name) const {
  for (const TXmlElement &child : Children) {
    if (child.Name == name) {
      return &child;
    }
  }
  return nullptr;
}

std::string TXmlElement::Attribute(const std::string &name) const {
  for (const auto &[key, value] : Attributes) {
    if (key == name) {
      return value;
    }
  }
  return std::string();
}

namespace {

class TXmlParser {
public:
  TXmlParser(const std::string &text, const std::string &fileName) : text_(text), fileName_(fileName) {}

  TXmlElement Document() {
    Prolog();
    if (!Peek("<")) {
      Fail("expected '<'");
    }
    TXmlElement root = Element(0);
    Prolog();
    if (at_ < text_.size()) {
      Fail("content after the root element");
    }
    return root;
  }

private:
  // Blanks, the declaration and comments between elements.
  void Prolog() {
    while (true) {
      Blanks();
      if (Peek("<?")) {
        SkipPast("?>");
      } else if (Peek("<!--")) {
        SkipPast("-->");
      } else {
        return;
      }
    }
  }

  TXmlElement Element(int depth) {
    if (depth > 64) {
      Fail("elements nested too deep");
    }
    TXmlElement element;
    element.Line = line_;
    Expect('<');
    element.Name = Name();
    while (true) {
      Blanks();
      if (Peek("/>")) {
        Advance(2);
        return element;
      }
      if (Peek(">")) {
        Advance(1);
        break;
      }
      std::string key = Name();
      Blanks();
      Expect('=');
      Blanks();
      element.Attributes.emplace_back(key, QuotedValue());
    }
    while (true) {
      if (at_ >= text_.size()) {
        Fail("missing </" + element.Name + ">");
      }
      if (Peek("</")) {
        Advance(2);
        std::string name = Name();
        if (name != element.Name) {
          Fail("</" + element.Name + "> expected but </" + name + "> found");
        }
        Blanks();
        Expect('>');
        return element;
      }
      if (Peek("<!--")) {
        SkipPast("-->");
      } else if (Peek("<![CDATA[")) {
        SkipPast("]]>");
      } else if (Peek("<")) {
        element.Children.push_back(Element(depth + 1));
      } else {
        Advance(1); // text: the IDE's option sections are plain text the converter does not need
      }
    }
  }

  std::string Name() {
    std::size_t start = at_;
    while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) ||
                                  std::string("_-.:").find(text_[at_]) != std::string::npos)) {
      ++at_;
    }
    if (start == at_) {
      Fail("expected a name");
    }
    return text_.substr(start, at_ - start);
  }

  std::string QuotedValue() {
    if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) {
      Fail("expected a quoted value");
    }
    char quote = text_[at_];
    Advance(1);
    std::string value;
    while (at_ < text_.size() && text_[at_] != quote) {
      if (text_[at_] == '&') {
        value += Entity();
      } else {
        Advance(1);
        value += text_[at_ - 1];
      }
    }
    Expect(quote);
    return value;
  }

  std::string Entity() {
    std::size_t end = text_.find(';', at_);
    if (end == std::string::npos || end - at_ > 10) {
      Fail("bad entity");
    }
    std::string name = text_.substr(at_ + 1, end - at_ - 1);
    at_ = end + 1;
    if (name == "quot")
      return "\"";
    if (name == "amp")
      return "&";
    if (name == "lt")
      return "<";
    if (name == "gt")
      return ">";
    if (name == "apos")
      return "'";
    if (name.size() > 1 && name[0] == '#') {
      long code = name[1] == 'x' ? std::strtol(name.c_str() + 2, nullptr, 16)
                                 : std::strtol(name.c_str() + 1, nullptr, 10);
      if (code > 0 && code < 256) {
        return std::string(1, static_cast<char>(code));
      }
    }
    Fail("unknown entity '&" + name + ";'");
  }

  void Blanks() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) {
      Advance(1);
    }
  }
  bool Peek(const std::string &what) const { return text_.compare(at_, what.size(), what) == 0; }
  void Expect(char c) {
    if (at_ >= text_.size() || text_[at_] != c) {
      Fail(std::string("expected '") + c + "'");
    }
    Advance(1);
  }
  void SkipPast(const std::string &end) {
    std::size_t found = text_.find(end, at_);
    if (found == std::string::npos) {
      Fail("missing '" + end + "'");
    }
    Advance(found + end.size() - at_);
  }
  void Advance(std::size_t count) {
    for (std::size_t i = 0; i < count && at_ < text_.size(); ++i, ++at_) {
      if (text_[at_] == '\n') {
        ++line_;
        column_ = 1;
      } else {
        ++column_;
      }
    }
  }
  [[noreturn]] void Fail(const std::string &what) const {
    throw EStandInError("Error: Invalid project file '" + fileName_ + "' (line " + std::to_string(line_) +
                        ", column " + std::to_string(column_) + "): " + what);
  }

  const std::string &text_;
  const std::string &fileName_;
  std::size_t at_ = 0;
  int line_ = 1;
  int column_ = 1;
};

std::vector<std::pair<std::string, std::string>> ValuesOf(const TXmlElement *section) {
  std::vector<std::pair<std::string, std::string>> values;
  if (section) {
    for (const TXmlElement &child : section->Children) {
      values.emplace_back(child.Name, child.Attribute("value"));
    }
  }
  return values;
}

} // namespace

TXmlElement ParseXml(const std::string &bytes, const std::string &fileName) {
  return TXmlParser(bytes, fileName).Document();
}

TBpkProject ReadBpkProject(const std::string &bytes, const std::string &fileName) {
  TXmlElement root = ParseXml(bytes, fileName);
  if (root.Name != "PROJECT") {
    throw EStandInError("Error: '" + fileName + "' is not a C++Builder project file");
  }
  TBpkProject project;
  project.Macros = ValuesOf(root.Child("MACROS"));
  project.Options = ValuesOf(root.Child("OPTIONS"));
  project.Linker = ValuesOf(root.Child("LINKER"));
  bool hasProject = false;
  for (const auto &[name, value] : project.Macros) {
    hasProject = hasProject || (name == "PROJECT" && !value.empty());
  }
  if (!hasProject) {
    throw EStandInError("Error: '" + fileName + "' names no PROJECT in its <MACROS> section");
  }
  return project;
}

std::string WriteProjectMakefile(const TBpkProject &project, const std::string &projectFile) {
  const std::string rule =
      "# ---------------------------------------------------------------------------\r\n";
  std::ostringstream out;
  out << rule << "# Makefile of " << NameOf(projectFile) << ", made by bpr2mak\r\n"
      << rule << "!if !$d(BCB)\r\nBCB = $(MAKEDIR)\\..\r\n!endif\r\n\r\n"
      << rule << "# IDE SECTION\r\n"
      << rule;
  auto section = [&](const std::vector<std::pair<std::string, std::string>> &values) {
    for (const auto &[name, value] : values) {
      out << name << " = " << value << "\r\n";
    }
    out << rule;
  };
  section(project.Macros);
  out << "# OPTIONS\r\n";
  section(project.Options);
  out << "# LINKER\r\n";
  section(project.Linker);
  out << "# MAKE SECTION\r\n"
      << rule << ".autodepend\r\n\r\n"
      << "!if !$d(BCC32)\r\nBCC32 = bcc32\r\n!endif\r\n"
      << "!if !$d(DCC32)\r\nDCC32 = dcc32\r\n!endif\r\n"
      << "!if !$d(LINKER)\r\nLINKER = ilink32\r\n!endif\r\n"
      << "!if !$d(BRCC32)\r\nBRCC32 = brcc32\r\n!endif\r\n\r\n"
      << "!if $d(PATHCPP)\r\n.PATH.CPP = $(PATHCPP)\r\n.PATH.C   = $(PATHCPP)\r\n!endif\r\n"
      << "!if $d(PATHPAS)\r\n.PATH.PAS = $(PATHPAS)\r\n!endif\r\n\r\n"
      << "$(PROJECT): $(OTHERFILES) $(OBJFILES) $(RESDEPEN) $(DEFFILE)\r\n"
      << "    $(BCB)\\BIN\\$(LINKER) @&&!\r\n"
      << "    $(LFLAGS) -L$(LIBPATH) +\r\n"
      << "    $(ALLOBJ), +\r\n"
      << "    $(PROJECT),, +\r\n"
      << "    $(ALLLIB), +\r\n"
      << "    $(DEFFILE), +\r\n"
      << "    $(ALLRES)\r\n"
      << "!\r\n\r\n"
      << ".pas.hpp:\r\n    $(BCB)\\BIN\\$(DCC32) $(PFLAGS) -U$(INCLUDEPATH) -D$(USERDEFINES);$(SYSDEFINES) "
         "-O$(INCLUDEPATH) --BCB {$< }\r\n\r\n"
      << ".pas.obj:\r\n    $(BCB)\\BIN\\$(DCC32) $(PFLAGS) -U$(INCLUDEPATH) -D$(USERDEFINES);$(SYSDEFINES) "
         "-O$(INCLUDEPATH) --BCB {$< }\r\n\r\n"
      << ".cpp.obj:\r\n    $(BCB)\\BIN\\$(BCC32) $(CFLAG1) $(WARNINGS) -I$(INCLUDEPATH) "
         "-D$(USERDEFINES);$(SYSDEFINES) -n$(@D) {$< }\r\n\r\n"
      << ".rc.res:\r\n    $(BCB)\\BIN\\$(BRCC32) $(RFLAGS) -I$(INCLUDEPATH) -D$(USERDEFINES);$(SYSDEFINES) "
         "-fo$@ $<\r\n\r\n"
      << rule;
  return out.str();
}

} // namespace StandIn
