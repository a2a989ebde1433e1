// libFuzzer target for the edits of an environment's help files (scripts/fuzz builds and runs it).
// Parts of the input: the contents, index and link files (D7.cnt, D7.ohi, D7.ohl; none when
// empty), then lines, a suffix and a name for RemoveLibraryHelpLines on its own.
// - RemoveLibraryHelpLines drops exactly the lines that name name + 7..4 + suffix, or name + suffix
//   when there is a suffix, ignoring case, and keeps the others in their order; RemoveBlankLines
//   drops exactly the lines with no byte above a blank.
// - MergeIdeHelp leaves each file with its lines that name no library help file and are not blank,
//   in their order, followed by the library's two lines; merging again changes nothing.
#include "FuzzSupport.h"
#include "environments/Environments.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"
#include "ideintegration/HelpIntegration.h"

#include <algorithm>
#include <array>

namespace {

class TFuzzHost : public TBuildHost {
public:
  bool AskYesNo(const std::string &) override { return true; }
  std::string DestinationFolder(const std::string &base) override { return base; }
  bool InstallChecked() const override { return true; }
  std::string SourceFieldText() const override { return {}; }
  TStringList OriginalFileNames() const override { return {}; }
  [[noreturn]] void ReportBuildError(int, const std::exception &) override { throw EAbort(); }
  void FlushBuildLog() override {}
  void CopyInstaller(const std::string &) override {}
  void EnsureEnvironmentClosed(int, const std::string &, const std::string &) override {}
  void BuildEnvironment(int) override {}
  bool StandardEditionBuild() override { return false; }
};

bool NamesLibraryHelp(const std::string &line, const std::string &name, const std::string &suffix) {
  for (char n : {'7', '6', '5', '4'})
    if (FuzzContainsIgnoringCase(line, name + n + suffix))
      return true;
  return !suffix.empty() && FuzzContainsIgnoringCase(line, name + suffix);
}

bool IsBlankLine(const std::string &line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

TStringList Kept(const TStringList &lines, const std::vector<std::string> &suffixes) {
  TStringList kept;
  for (const auto &line : lines)
    if (!IsBlankLine(line) && std::none_of(suffixes.begin(), suffixes.end(), [&](const std::string &suffix) {
          return NamesLibraryHelp(line, "QUIVEX", suffix);
        }))
      kept.push_back(line);
  return kept;
}

struct THelpFile {
  const char *Name;
  std::vector<std::string> Suffixes; // of the help files whose lines the merge replaces
  TStringList Added;                 // the library's lines, at the end
};

const std::array<THelpFile, 3> HelpFiles = {
    THelpFile{"D7.cnt", {".OHC", ".HLP"}, {":Include Quivex7.ohc", ":Index Quivex=Quivex7.hlp"}},
    THelpFile{"D7.ohi",
              {".HLP", "GUIDE.HLP"},
              {":Index Quivex=Quivex7.hlp", ":Index Quivex Pro v7 User Guide=Quivex7Guide.hlp"}},
    THelpFile{"D7.ohl", {".HLP", "GUIDE.HLP"}, {":LINK Quivex7.hlp", ":LINK Quivex7Guide.hlp"}},
};

void CheckLineEdits(const TFuzzParts &parts) {
  TStringList lines = SplitLines(parts[3]);
  std::string suffix = UpperCase(parts[4]);
  std::string name = parts[5].empty() ? "QUIVEX" : UpperCase(parts[5]);
  TStringList expected;
  for (const auto &line : lines)
    if (!NamesLibraryHelp(line, name, suffix))
      expected.push_back(line);
  RemoveLibraryHelpLines(lines, name, suffix);
  FUZZ_CHECK(lines == expected);

  lines = SplitLines(parts[3]);
  expected.clear();
  for (const auto &line : lines)
    if (!IsBlankLine(line))
      expected.push_back(line);
  RemoveBlankLines(lines);
  FUZZ_CHECK(lines == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static TFuzzFolder folder;
  static TFuzzHost host;
  TFuzzParts parts(data, size);
  CheckLineEdits(parts);

  TEnviron &row = Environments[0];
  row = TEnviron{};
  row.RootDir = folder.Path();
  row.IsDelphi = true;
  row.Version = row.ProductVersion = 7;
  EnvironmentCount = 1;
  host.DestinationBase = folder.Path() + "\\Compiled"; // no Docs: nothing to register
  std::string help = folder.Path() + "\\Help\\";
  Fs::ForceFolders(help);
  for (std::size_t i = 0; i < HelpFiles.size(); ++i) {
    Fs::DeleteFile(help + HelpFiles[i].Name);
    if (!parts[i].empty())
      FUZZ_CHECK(Fs::WriteWholeFile(help + HelpFiles[i].Name, parts[i]));
  }

  MergeIdeHelp(host, 0);
  std::array<std::string, 3> merged;
  for (std::size_t i = 0; i < HelpFiles.size(); ++i) {
    const THelpFile &file = HelpFiles[i];
    auto bytes = Fs::ReadWholeFile(help + file.Name);
    FUZZ_CHECK(bytes.has_value() == !parts[i].empty());
    if (!bytes)
      continue;
    TStringList expected = Kept(SplitLines(parts[i]), file.Suffixes);
    expected.insert(expected.end(), file.Added.begin(), file.Added.end());
    FUZZ_CHECK(*bytes == JoinLines(expected));
    merged[i] = *bytes;
  }

  MergeIdeHelp(host, 0);
  for (std::size_t i = 0; i < HelpFiles.size(); ++i)
    FUZZ_CHECK(Fs::ReadWholeFile(help + HelpFiles[i].Name).value_or("") == merged[i]);
  return 0;
}
