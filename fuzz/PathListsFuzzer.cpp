// libFuzzer target for the edits of folder lists: the environments' "Search Path" values and the
// "SearchPath" line of defproj.dof, and the merge that puts a list back when the user changed it
// after an install (scripts/fuzz builds and runs it). Parts of the input: a list (byte 1 stands for
// a folder that holds ZeEngine.dcu, byte 2 for one that does not), a folder, then the before, after
// and current lists of a merge, and bytes that choose which entries an install removed.
// - SplitFolderList: every entry stands in the list as it is, between separators (";" outside
//   quotes, line ends, and the blanks before an entry), and none is empty; a line end inside
//   quotes closes them, the entry getting its closing quote.
// - RemoveFolderEntry and RemoveFoldersContaining: read again, the result holds exactly the other
//   entries, in their order; none names the folder.
// - SameFolderEntry ignores case, blanks, quotes and a final "\", either way round.
// - MergePathListBack drops the install's own entries, keeps the user's in their order and brings
//   back the ones the install removed; with nothing changed since the install it gives the list
//   as it was before.
#include "FuzzSupport.h"
#include "changes/Undo.h"
#include "framework/Files.h"
#include "ideintegration/LibraryPaths.h"

#include <algorithm>

namespace {

bool IsSeparator(char c) {
  return c == ';' || c == ' ' || c == '\r' || c == '\n';
}

void CheckSplit(const std::string &list, const TStringList &entries) {
  std::size_t at = 0;
  for (const auto &entry : entries) {
    FUZZ_CHECK(!entry.empty() && entry.find_first_of("\r\n") == std::string::npos);
    while (at < list.size() && IsSeparator(list[at]))
      ++at;
    // An entry that a line end ended inside quotes has its closing quote added.
    std::string_view text = entry;
    bool closed = list.compare(at, entry.size(), entry) != 0;
    if (closed)
      text.remove_suffix(1);
    FUZZ_CHECK(list.compare(at, text.size(), text) == 0);
    // A ";" in the entry stands inside quotes, and the one that ends it outside them.
    char quote = 0;
    for (char c : text) {
      FUZZ_CHECK(c != ';' || quote != 0);
      if (quote == 0 && (c == '"' || c == '\''))
        quote = c;
      else if (c == quote)
        quote = 0;
    }
    at += text.size();
    bool lineEnd = at < list.size() && (list[at] == '\r' || list[at] == '\n');
    if (closed)
      FUZZ_CHECK(lineEnd && quote != 0 && entry.back() == quote);
    else
      FUZZ_CHECK(at == list.size() || (quote == 0 && (lineEnd || list[at] == ';')));
  }
  FUZZ_CHECK(std::all_of(list.begin() + std::ptrdiff_t(at), list.end(), IsSeparator));
}

template <typename TKeep> TStringList Filtered(const TStringList &entries, TKeep keep) {
  TStringList kept;
  std::copy_if(entries.begin(), entries.end(), std::back_inserter(kept), keep);
  return kept;
}

std::string Decorated(const std::string &folder) {
  std::string lower = folder;
  for (auto &c : lower)
    if (c >= 'A' && c <= 'Z')
      c = char(c - 'A' + 'a');
  return " \t\"" + lower + "\\\" ";
}

// The entries of a registry path list as the merge reads them: ";" separates, the blanks before
// an entry go, empty entries too.
TStringList RegistryEntries(const std::string &list) {
  TStringList entries;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = std::min(list.find(';', start), list.size());
    std::size_t first = list.find_first_not_of(' ', start);
    if (first < end)
      entries.push_back(list.substr(first, end - first));
    if (end == list.size())
      return entries;
    start = end + 1;
  }
}

bool Holds(const TStringList &entries, const std::string &entry) {
  return std::any_of(entries.begin(), entries.end(),
                     [&](const std::string &e) { return FuzzSameIgnoringCase(e, entry); });
}

std::string Joined(const TStringList &entries) {
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i)
    text += (i ? ";" : "") + entries[i];
  return text;
}

bool IsSubsequence(const TStringList &part, const TStringList &whole) {
  auto at = whole.begin();
  for (const auto &entry : part) {
    at = std::find(at, whole.end(), entry);
    if (at == whole.end())
      return false;
    ++at;
  }
  return true;
}

void CheckMerge(const std::string &before, const std::string &after, const std::string &current) {
  TStringList was = RegistryEntries(before), left = RegistryEntries(after);
  TStringList result = RegistryEntries(MergePathListBack(before, after, current));
  TStringList users = Filtered(RegistryEntries(current), [&](const std::string &entry) {
    return Holds(was, entry) || !Holds(left, entry);
  });
  FUZZ_CHECK(IsSubsequence(users, result));
  TStringList back; // the entries the install removed that the user does not have
  for (const auto &entry : was)
    if (!Holds(left, entry) && !Holds(users, entry) && !Holds(back, entry))
      back.push_back(entry);
  FUZZ_CHECK(result.size() == users.size() + back.size());
  for (const auto &entry : back)
    FUZZ_CHECK(Holds(result, entry));
}

// An install as AddFolderToPathValue makes one: some entries removed, its own added.
void CheckUnchangedMerge(const std::string &before, const std::string &added, const std::string &choices) {
  TStringList was;
  for (const auto &entry : RegistryEntries(before))
    if (!Holds(was, entry))
      was.push_back(entry);
  TStringList own =
      Filtered(RegistryEntries(added), [&](const std::string &entry) { return !Holds(was, entry); });
  TStringList left;
  std::size_t next = 0;
  for (std::size_t i = 0; i < was.size(); ++i) {
    unsigned char choice = i < choices.size() ? static_cast<unsigned char>(choices[i]) : 0;
    if (choice & 1)
      left.push_back(was[i]);
    if ((choice & 2) && next < own.size())
      left.push_back(own[next++]);
  }
  left.insert(left.end(), own.begin() + std::ptrdiff_t(next), own.end());
  FUZZ_CHECK(MergePathListBack(Joined(was), Joined(left), Joined(left)) == Joined(was));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static TFuzzFolder root;
  static const std::string library = root.Path() + "\\Lib", other = root.Path() + "\\Other";
  static const bool made = Fs::ForceFolders(library) && Fs::ForceFolders(other) &&
                           Fs::WriteWholeFile(library + "\\ZeEngine.dcu", "unit");
  FUZZ_CHECK(made);
  TFuzzParts parts(data, size);
  std::string list;
  for (char c : parts[0])
    list += c == '\x01' ? library : c == '\x02' ? other : std::string(1, c);
  const std::string &folder = parts[1];

  TStringList entries = SplitFolderList(list);
  CheckSplit(list, entries);

  TStringList kept = SplitFolderList(RemoveFolderEntry(list, folder));
  FUZZ_CHECK(kept == Filtered(entries, [&](const std::string &e) { return !SameFolderEntry(e, folder); }));
  kept = SplitFolderList(RemoveFoldersContaining(list, "zeengine.DCU"));
  FUZZ_CHECK(kept ==
             Filtered(entries, [](const std::string &e) { return !Fs::FileExists(e + "\\ZeEngine.dcu"); }));

  FUZZ_CHECK(SameFolderEntry(folder, folder));
  FUZZ_CHECK(SameFolderEntry(folder, Decorated(folder)) && SameFolderEntry(Decorated(folder), folder));
  for (const auto &entry : entries)
    FUZZ_CHECK(SameFolderEntry(entry, folder) == SameFolderEntry(folder, entry));

  CheckMerge(parts[2], parts[3], parts[4]);
  CheckUnchangedMerge(parts[2], parts[3], parts[5]);
  return 0;
}
