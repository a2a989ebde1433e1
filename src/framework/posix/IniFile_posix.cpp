#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/IniFile.h"
#include "framework/Text.h"

#include <optional>

namespace {

std::string Trimmed(const std::string &text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The section a line opens, if it is a "[name]" line.
std::optional<std::string> SectionName(const std::string &line) {
  std::string text = Trimmed(line);
  if (text.empty() || text[0] != '[')
    return std::nullopt;
  std::size_t close = text.find(']');
  return Trimmed(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// An entry line as the private-profile functions hand it out: blanks around name and value dropped.
std::string EntryText(const std::string &line) {
  std::size_t equals = line.find('=');
  if (equals == std::string::npos)
    return Trimmed(line);
  return Trimmed(line.substr(0, equals)) + "=" + Trimmed(line.substr(equals + 1));
}

std::string EntryName(const std::string &line) {
  return Trimmed(line.substr(0, line.find('=')));
}

// The lines [begin, end) of the first section of that name; begin is its header line.
struct TSectionRange {
  std::size_t Begin, End;
};
std::optional<TSectionRange> FindSection(const TStringList &lines, const std::string &section) {
  std::string wanted = UpperCase(section);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionName(lines[i]);
    if (!name || UpperCase(*name) != wanted)
      continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end]))
      ++end;
    return TSectionRange{i, end};
  }
  return std::nullopt;
}

} // namespace

TStringList TIniFile::ReadSectionValues(const std::string &section) const {
  auto bytes = Fs::ReadWholeFile(fileName_);
  if (!bytes)
    return {};
  TStringList lines = SplitLines(*bytes);
  auto range = FindSection(lines, section);
  TStringList entries;
  if (range)
    for (std::size_t i = range->Begin + 1; i < range->End; ++i)
      if (std::string text = Trimmed(lines[i]); !text.empty() && text[0] != ';') // comments are not entries
        entries.push_back(EntryText(lines[i]));
  return entries;
}

void TIniFile::WriteString(const std::string &section, const std::string &name, const std::string &value) {
  TStringList lines;
  if (auto bytes = Fs::ReadWholeFile(fileName_))
    lines = SplitLines(*bytes);
  std::string entry = Trimmed(name) + "=" + Trimmed(value);
  if (auto range = FindSection(lines, section)) {
    std::size_t insertAt = range->Begin + 1;
    bool replaced = false;
    for (std::size_t i = range->Begin + 1; i < range->End && !replaced; ++i) {
      if (Trimmed(lines[i]).empty())
        continue;
      if (UpperCase(EntryName(lines[i])) == UpperCase(Trimmed(name))) {
        lines[i] = EntryName(lines[i]) + "=" + Trimmed(value); // the name keeps its own spelling
        replaced = true;
      }
      insertAt = i + 1; // after the section's last entry, before the blank lines that end it
    }
    if (!replaced)
      lines.insert(lines.begin() + std::ptrdiff_t(insertAt), entry);
  } else {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  }
  if (!Fs::WriteWholeFile(fileName_, JoinLines(lines)))
    throw EFileError("Unable to write to " + fileName_);
}
