// libFuzzer target for the INI reader and writer of the POSIX build (scripts/fuzz builds and runs
// it). The first part of the input is a file (none when empty), each three parts after it a write:
// section, name and value. Whatever the file holds, after each write
// - the section reads the value back under the first entry of that name, with the other entries
//   as they were and in their order (a new entry last);
// - every other section reads as it did, and the file's other lines stay as they were: one line is
//   replaced or inserted, or the section's header and the entry are added at the end;
// - writing the last entry again leaves the file as it is.
// Section, name and value are what a caller can mean: no line ends or zero bytes; a section with no
// brackets and no blanks around it (the profile functions trim it when they write and not when they
// read), and not empty; no "=" in the name, and no name that would read as a comment or a section.
#include "FuzzSupport.h"
#include "framework/Files.h"
#include "framework/IniFile.h"

#include <algorithm>
#include <map>

namespace {

using namespace std::literals;

std::string Trim(const std::string &text) {
  std::size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string Without(std::string text, std::string_view bytes) {
  std::erase_if(text, [&](char c) { return bytes.find(c) != std::string_view::npos; });
  return text;
}

std::string SectionOf(const std::string &part) {
  return Trim(Without(part, "\r\n\0[]"sv));
}

// The name part of an entry as the reader gives it ("name=value", or a line without "=").
std::string EntryName(const std::string &entry) {
  return entry.substr(0, entry.find('='));
}

// The sections a file may hold: the text of every "[" line, trimmed, up to "]".
std::vector<std::string> SectionNames(const TStringList &lines) {
  std::vector<std::string> names;
  for (const auto &line : lines)
    if (std::string text = Trim(line); !text.empty() && text[0] == '[')
      names.push_back(Trim(text.substr(1, text.find(']') - 1)));
  return names;
}

std::size_t FirstNamed(const TStringList &entries, const std::string &name) {
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (FuzzSameIgnoringCase(EntryName(entries[i]), name))
      return i;
  return entries.size();
}

TStringList WithoutFirstNamed(TStringList entries, const std::string &name) {
  std::size_t at = FirstNamed(entries, name);
  if (at < entries.size())
    entries.erase(entries.begin() + std::ptrdiff_t(at));
  return entries;
}

// The file's other lines stayed: one replaced, one inserted, or a new section's two at the end.
bool OneLineEdited(const TStringList &before, const TStringList &after, const std::string &section,
                   const std::string &entry) {
  if (after.size() == before.size()) {
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
      changed += before[i] != after[i];
    return changed <= 1;
  }
  if (after.size() == before.size() + 1) {
    std::size_t at = 0;
    while (at < before.size() && before[at] == after[at])
      ++at;
    return after[at] == entry && std::equal(before.begin() + std::ptrdiff_t(at), before.end(),
                                            after.begin() + std::ptrdiff_t(at) + 1);
  }
  return after.size() == before.size() + 2 && std::equal(before.begin(), before.end(), after.begin()) &&
         after[before.size()] == "[" + section + "]" && after.back() == entry;
}

TStringList FileLines(const std::string &path) {
  auto bytes = Fs::ReadWholeFile(path);
  return bytes ? SplitLines(*bytes) : TStringList();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static TFuzzFolder folder;
  static const std::string path = folder.Path() + "\\fuzzed.ini";
  TFuzzParts parts(data, size);
  Fs::DeleteFile(path);
  if (!parts[0].empty())
    FUZZ_CHECK(Fs::WriteWholeFile(path, parts[0]));
  TIniFile file(path);

  // The sections read so far, by the name they were asked with.
  std::vector<std::string> names = SectionNames(FileLines(path));
  if (names.size() > 8)
    names.resize(8);
  for (std::size_t i = 1; i + 2 < parts.Count() && i < 1 + 3 * 6; i += 3)
    names.push_back(SectionOf(parts[i]));
  std::map<std::string, TStringList> reads;
  for (const auto &name : names) {
    reads[name] = file.ReadSectionValues(name);
    for (const auto &entry : reads[name])
      FUZZ_CHECK(!Trim(entry).empty() && entry[0] != ';');
  }

  std::vector<std::string> last; // the last write's section, name and value
  for (std::size_t i = 1; i + 2 < parts.Count() && i < 1 + 3 * 6; i += 3) {
    std::string section = SectionOf(parts[i]);
    std::string name = Trim(Without(parts[i + 1], "\r\n\0="sv));
    name.erase(0, name.find_first_not_of(";[ \t"));
    std::string value = Without(parts[i + 2], "\r\n\0"sv);
    if (section.empty() || name.empty())
      continue;
    std::string entry = name + "=" + Trim(value);

    TStringList linesBefore = FileLines(path);
    // Blanks around the name go, whichever way it is given.
    file.WriteString(section, (value.size() % 2 ? " " : "") + name + (value.size() % 3 ? "\t" : ""), value);
    TStringList linesAfter = FileLines(path);
    FUZZ_CHECK(OneLineEdited(linesBefore, linesAfter, section, entry));

    const TStringList &before = reads[section];
    TStringList after = file.ReadSectionValues(section);
    std::size_t at = FirstNamed(after, name);
    FUZZ_CHECK(at < after.size());
    FUZZ_CHECK(after[at].substr(after[at].find('=') + 1) == Trim(value));
    FUZZ_CHECK(WithoutFirstNamed(before, name) == WithoutFirstNamed(after, name));
    std::size_t was = FirstNamed(before, name);
    FUZZ_CHECK(was < before.size() ? at == was : at == after.size() - 1);
    reads[section] = after;

    for (auto &[other, entries] : reads)
      if (!FuzzSameIgnoringCase(other, section)) {
        FUZZ_CHECK(file.ReadSectionValues(other) == entries);
      } else {
        entries = after;
      }
    last = {section, name, value};
  }

  if (!last.empty()) { // once per input: every write replaces the file
    std::string bytes = Fs::ReadWholeFile(path).value_or("");
    file.WriteString(last[0], last[1], last[2]);
    FUZZ_CHECK(Fs::ReadWholeFile(path).value_or("") == bytes);
  }
  return 0;
}
