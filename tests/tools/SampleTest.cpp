// The sample source distribution: complete for every simulated environment, and built with the
// stand-ins by the command lines the library build forms, package by package in the table's order.
#include "BpkProject.h"
#include "PeImage.h"
#include "Resources.h"
#include "StandInError.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

namespace {

using namespace StandIn;

const char *const ReleaseOptions = " -Q -B -$D- -$L- -$O+ -$A+ -$C- -$Y- -$C- -$R- -$Q-    ";

std::string SampleFile(const std::string &name) {
  return SourcePath("sample\\Quivex\\" + name);
}

// The packages a row builds, in order, with the output folder of each: the library's package table.
struct TRow {
  std::string Suffix;
  bool Standard = false; // a Standard edition environment
  bool Clx = false;
  bool StandardBuild = false; // the program's STANDARD parameter
};

struct TPackage {
  std::string Name;
  std::string Folder; // "\\System" or "\\Bin"
  bool NoBde;         // built after " -DNOUSE_BDE" was appended
};

std::vector<TPackage> PackageTable(const TRow &row) {
  std::string std = row.Standard ? "Std" : "";
  bool stdWanted = !row.Standard && !row.Clx;
  std::vector<TPackage> packages;
  auto add = [&](bool when, const std::string &stem, const char *folder) {
    if (when) {
      packages.push_back({stem + row.Suffix, folder, false});
    }
  };
  add(true, "Zel7", "\\System");
  add(true, "ZelUI7", "\\System");
  add(!row.Standard, "ZelDB7", "\\System");
  add(!row.StandardBuild, "ZelPro7", "\\System");
  add(!row.StandardBuild, "ZelGL7", "\\System");
  add(!row.StandardBuild, "ZelImage7", "\\System");
  add(!row.StandardBuild, "ZelLanguage7", "\\System");
  add(true, "DclZel" + std + "7", "\\Bin");
  add(!row.StandardBuild, "DclZelPro" + std + "7", "\\Bin");
  add(!row.StandardBuild, "DclZGL7", "\\Bin");
  add(!row.Standard && !row.Clx, "ZelQR7", "\\System");
  add(!row.Standard && !row.Clx, "DclZQR7", "\\Bin");
  add(stdWanted, "DclZelStd7", "\\Bin");
  add(stdWanted && !row.StandardBuild, "DclZelProStd7", "\\Bin");
  bool noBde = false;
  for (TPackage &package : packages) {
    noBde = noBde || package.Name == "DclZelStd7" + row.Suffix;
    package.NoBde = noBde;
  }
  return packages;
}

const std::vector<TRow> &AllRows() {
  static const std::vector<TRow> rows = {{"5"},
                                         {"6"},
                                         {"6", true},
                                         {"6CLX", false, true},
                                         {"6CLX", true, true},
                                         {"7"},
                                         {"7CLX", false, true},
                                         {"C4"},
                                         {"C6"},
                                         {"C6CLX", false, true}};
  return rows;
}

bool IsCBuilder(const TRow &row) {
  return row.Suffix[0] == 'C';
}

// ---------------------------------------------------------------------------------------------
// The distribution as it lies in the source tree.

TEST(SampleDistributionTest, EveryPackageOfEverySimulatedEnvironmentHasItsProjectAndResource) {
  for (const TRow &row : AllRows()) {
    for (const TPackage &package : PackageTable(row)) {
      std::string project = SampleFile(package.Name + (IsCBuilder(row) ? ".bpk" : ".dpk"));
      EXPECT_TRUE(FileExists(project)) << project;
      std::string resource = SampleFile(package.Name + ".res");
      EXPECT_NO_THROW(ReadResFile(ReadTextFile(resource), resource)) << resource;
      if (IsCBuilder(row)) {
        EXPECT_TRUE(FileExists(SampleFile(package.Name + ".cpp"))) << package.Name;
      }
    }
  }
  for (const char *assembly :
       {"Velmora.Quivex.VCL", "Velmora.Quivex.VCL.Languages", "Velmora.Quivex.VCL.Design"}) {
    EXPECT_TRUE(FileExists(SampleFile(std::string(assembly) + ".dpk"))) << assembly;
  }
}

TEST(SampleDistributionTest, TheLibrarysResourceFilesAreRealResourceFiles) {
  for (const char *name :
       {"ZelResou.res", "Quivex.res", "ZelChaEx.res", "ZelBrushes.res", "ZelBmps.res", "ZelProBm.res",
        "ZelTools.res", "ZelNavig.res", "ZelImaPo.res", "ZelImaBa.res", "ZelGLIcon.res", "ZelFunne.res",
        "ZelComma.res", "ZelQRIcon.res", "QuivexReg.dcr", "ZelProReg.dcr", "ZelGLReg.dcr", "ZelQRReg.dcr"}) {
    std::vector<TResource> resources;
    ASSERT_NO_THROW(resources = ReadResFile(ReadTextFile(SampleFile(name)), name)) << name;
    ASSERT_FALSE(resources.empty()) << name;
    for (const TResource &resource : resources) {
      EXPECT_EQ(resource.Type.Id, ResourceTypeBitmap) << name;
      // A bitmap resource is a BITMAPINFOHEADER (40 bytes), 16 palette entries and the pixels.
      ASSERT_GE(resource.Data.size(), 40u + 64u) << name;
      EXPECT_EQ(resource.Data[0], 40) << name;
    }
  }
}

TEST(SampleDistributionTest, BitmapsFormsIncludeFileAndEngine) {
  for (const char *name : {"ZeEngine.pas", "ZelDefs.inc"}) {
    EXPECT_TRUE(FileExists(SampleFile(name))) << name;
  }
  std::vector<std::string> bitmaps = FileNames(SourcePath("sample\\Quivex"), "*.bmp");
  EXPECT_FALSE(bitmaps.empty());
  for (const std::string &bitmap : bitmaps) {
    EXPECT_EQ(ReadTextFile(SampleFile(bitmap)).substr(0, 2), "BM") << bitmap;
  }
  std::vector<std::string> forms = FileNames(SourcePath("sample\\Quivex"), "*.dfm");
  EXPECT_GE(forms.size(), 3u);
  int binaryForms = 0;
  for (const std::string &form : forms) {
    std::string text = ReadTextFile(SampleFile(form));
    std::string clx = ReadTextFile(SampleFile(form.substr(0, form.size() - 4) + ".xfm"));
    EXPECT_EQ(clx.rfind("object ", 0), 0u) << form << ": its CLX form is text";
    EXPECT_EQ(clx.find("Ctl3D ="), std::string::npos) << form;
    if (!text.empty() && static_cast<unsigned char>(text[0]) == 0xFF) { // a binary form with its resource header
      EXPECT_NE(text.find("TPF0"), std::string::npos) << form;
      ++binaryForms;
      continue;
    }
    EXPECT_EQ(text.rfind("object ", 0), 0u) << form << " is a text form";
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(clx.begin(), clx.end(), '\n')) << form;
  }
  EXPECT_GE(binaryForms, 1); // the conversion meets both kinds
}

TEST(SampleDistributionTest, OneCBuilder6ProjectCarriesAByteOrderMark) {
  std::vector<std::string> marked;
  for (const std::string &project : FileNames(SourcePath("sample\\Quivex"), "*.bpk")) {
    std::string text = ReadTextFile(SampleFile(project));
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
      marked.push_back(project);
      EXPECT_NO_THROW(ReadBpkProject(text.substr(3), project)) << project;
    } else if (project.find("C4") != std::string::npos) {
      EXPECT_NE(text.find("\r\nPROJECT = " + project.substr(0, project.size() - 4) + ".bpl\r\n"),
                std::string::npos)
          << project << " is a makefile";
    } else {
      EXPECT_NO_THROW(ReadBpkProject(text, project)) << project;
    }
  }
  EXPECT_EQ(marked, std::vector<std::string>{"Zel7C6.bpk"});
}

// The strong-name key is a real RSA key pair: the modulus is the product of the two primes.
TEST(SampleDistributionTest, TheStrongNameKeyIsAnRsaKeyPair) {
  std::string key = ReadTextFile(SampleFile("Keys\\Quivex.snk"));
  ASSERT_EQ(key.size(), 596u);
  EXPECT_EQ(key.substr(0, 8), std::string("\x07\x02\x00\x00\x00\x24\x00\x00", 8));
  EXPECT_EQ(key.substr(8, 4), "RSA2");
  auto number = [&](std::size_t at, std::size_t bytes) {
    std::vector<std::uint64_t> digits(bytes / 4);
    for (std::size_t i = 0; i < digits.size(); ++i) {
      for (int b = 3; b >= 0; --b) {
        digits[i] = (digits[i] << 8) | static_cast<unsigned char>(key[at + 4 * i + b]);
      }
    }
    return digits;
  };
  std::vector<std::uint64_t> modulus = number(20, 128), p = number(148, 64), q = number(212, 64);
  std::vector<std::uint64_t> product(32, 0);
  for (std::size_t i = 0; i < 16; ++i) {
    std::uint64_t carry = 0;
    for (std::size_t j = 0; j < 16; ++j) {
      std::uint64_t value = product[i + j] + p[i] * q[j] + carry;
      product[i + j] = value & 0xFFFFFFFFu;
      carry = value >> 32;
    }
    product[i + 16] += carry;
  }
  EXPECT_EQ(product, modulus);
}

TEST(SampleDistributionTest, TheHelpFilesLieWhereTheInstallLooksForThem) {
  for (const char *name : {"Quivex7.hlp", "Quivex7.ohc", "Quivex7.cnt", "Quivex7Lib.toc", "ZelUser7.hlp",
                           "Quivex7Guide.hlp", "Quivex7Guide.toc"}) {
    EXPECT_TRUE(FileExists(SampleFile(std::string("Compiled\\Docs\\") + name))) << name;
  }
}

// ---------------------------------------------------------------------------------------------
// Builds of the sample with the stand-ins.

class SampleBuildTest : public ::testing::Test {
protected:
  SampleBuildTest() {
    CopyFolder(SourcePath("sample\\Quivex"), Src());
    CopyFolder(SourcePath("sample\\Quivex\\Keys"), Src() + "\\Keys");
  }

  static void CopyFolder(const std::string &from, const std::string &to) {
    Fs::ForceFolders(to);
    for (const auto &file : Fs::FindFiles(from + "\\*")) {
      if (!file.IsDirectory) {
        ASSERT_TRUE(Fs::CopyFile(from + "\\" + file.Name, to + "\\" + file.Name, false)) << file.Name;
      }
    }
  }

  std::string Src() const { return temp_ / "Quivex"; }
  std::string OutFolder(const std::string &name) const { return temp_ / ("Compiled\\" + name); }

  // Builds a Delphi row as the build driver does and returns the output folder.
  std::string BuildDelphi(const TRow &row, const std::vector<std::string> &libraries,
                          const std::string &version, const std::string &defines) {
    TSimulatedEnvironment environment(temp_ / ("Delphi" + row.Suffix), {"dcc32"}, libraries);
    environment.SetCompilerVersion(version);
    std::string out = OutFolder("Delphi" + row.Suffix);
    for (const char *folder : {"\\Lib", "\\Bin", "\\System"}) {
      Fs::ForceFolders(out + folder);
    }
    std::string lib = out + "\\lib";
    std::string base = Quoted(environment.Tool("dcc32")) + " " + ReleaseOptions + " -LN" + Quoted(lib) + " -E" +
                       Quoted(out + "\\bin") + " -N" + Quoted(lib) + " -U" + Quoted(lib) + ";" + Quoted(Src()) +
                       " -I" + Quoted(Src()) + " -R" + Quoted(Src()) + defines;
    for (const TPackage &package : PackageTable(row)) {
      std::string command = base + (package.NoBde ? " -DNOUSE_BDE" : "") + " " +
                            Quoted(Src() + "\\" + package.Name + ".dpk") + " -LE" +
                            Quoted(out + package.Folder);
      TToolRun run = RunTool(command, Src());
      EXPECT_EQ(run.ExitCode, 0) << package.Name << "\n" << run.Output;
      if (run.ExitCode != 0) {
        break;
      }
      EXPECT_EQ(run.Output.find("Warning"), std::string::npos) << package.Name << "\n" << run.Output;
    }
    return out;
  }

  void ExpectPackages(const TRow &row, const std::string &out) {
    std::vector<std::string> system, bin;
    for (const TPackage &package : PackageTable(row)) {
      (package.Folder == "\\System" ? system : bin).push_back(package.Name + ".bpl");
      EXPECT_FALSE(
          PackageDescriptionText(out + package.Folder + "\\" + package.Name + ".bpl").value_or("").empty())
          << package.Name;
    }
    std::sort(system.begin(), system.end());
    std::sort(bin.begin(), bin.end());
    EXPECT_EQ(FileNames(out + "\\System", "*"), system);
    EXPECT_EQ(FileNames(out + "\\Bin", "*"), bin);
  }

  // Builds a C++Builder row: the converter (after the byte order mark is removed, as the program
  // does) for version 5 and later, then make in the source folder.
  void BuildCBuilder(const TRow &row, const std::vector<std::string> &libraries, const std::string &version,
                     const std::string &defines) {
    bool convert = row.Suffix.rfind("C4", 0) != 0;
    TSimulatedEnvironment environment(temp_ / ("CBuilder" + row.Suffix), {"make", "bpr2mak"}, libraries);
    environment.SetCompilerVersion(version);
    std::string base = Quoted(environment.Tool("make")) + " -B" + defines;
    for (const TPackage &package : PackageTable(row)) {
      std::string makefile = package.Name + ".bpk";
      if (convert) {
        std::string project = Src() + "\\" + makefile;
        std::string text = ReadTextFile(project);
        if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
          WriteTextFile(project, text.substr(3));
        }
        TToolRun converted = RunTool(Quoted(environment.Tool("bpr2mak")) + " " + Quoted(project), Src());
        ASSERT_EQ(converted.ExitCode, 0) << package.Name << "\n" << converted.Output;
        makefile = package.Name + ".mak";
      }
      TToolRun run = RunTool(
          base + (package.NoBde ? " -DNOUSE_BDE" : "") + " -f" + Quoted(Src() + "\\" + makefile), Src());
      ASSERT_EQ(run.ExitCode, 0) << package.Name << "\n" << run.Output;
      for (const char *mask : {"*.il?", "*.tds"}) {
        for (const std::string &name : FileNames(Src(), mask)) {
          Fs::DeleteFile(Src() + "\\" + name);
        }
      }
    }
    for (const TPackage &package : PackageTable(row)) {
      EXPECT_FALSE(PackageDescriptionText(Src() + "\\" + package.Name + ".bpl").value_or("").empty())
          << package.Name;
      EXPECT_TRUE(FileExists(Src() + "\\" + package.Name + ".bpi")) << package.Name;
      EXPECT_TRUE(FileExists(Src() + "\\" + package.Name + ".lib")) << package.Name;
    }
    EXPECT_EQ(FileNames(Src(), "*.bpl").size(), PackageTable(row).size());
    EXPECT_EQ(FileNames(Src(), "*.hpp").size(), FileNames(Src(), "*.dcu").size());
  }

  TTempFolder temp_;
};

const std::vector<std::string> Delphi7Libraries = {"rtl.dcp",       "vcl.dcp",        "dbrtl.dcp",
                                                   "vcldb.dcp",     "designide.dcp",  "qrpt.dcp",
                                                   "visualclx.dcp", "visualdbclx.dcp"};

TEST_F(SampleBuildTest, Delphi7Enterprise) {
  TRow row{"7"};
  std::string out = BuildDelphi(row, Delphi7Libraries, "15.0", " -DZELENTERPRISE");
  ExpectPackages(row, out);
  EXPECT_EQ(PackageDescriptionText(out + "\\System\\Zel77.bpl"),
            std::optional<std::string>("Quivex 7 Components"));
  EXPECT_TRUE(FileExists(out + "\\Lib\\ZeEngine.dcu"));
  EXPECT_TRUE(FileExists(out + "\\Lib\\DclZelProStd77.dcp"));
}

TEST_F(SampleBuildTest, Delphi7ClxRow) {
  TRow row{"7CLX", false, true};
  ExpectPackages(row, BuildDelphi(row, Delphi7Libraries, "15.0", " -DCLX -DZELENTERPRISE"));
}

TEST_F(SampleBuildTest, Delphi6StandardEditionAndItsClxRow) {
  std::vector<std::string> libraries = {"rtl.dcp", "vcl.dcp", "designide.dcp", "visualclx.dcp"};
  TRow row{"6", true};
  std::string out = BuildDelphi(row, libraries, "14.0", " -DNOUSE_BDE");
  ExpectPackages(row, out);
  EXPECT_TRUE(FileExists(out + "\\Bin\\DclZelStd76.bpl"));
  TRow clx{"6CLX", true, true};
  ExpectPackages(clx, BuildDelphi(clx, libraries, "14.0", " -DCLX -DNOUSE_BDE"));
}

TEST_F(SampleBuildTest, Delphi5Professional) {
  TRow row{"5"};
  ExpectPackages(row, BuildDelphi(row, {"vcl50.dcp", "vcldb50.dcp", "qrpt50.dcp"}, "13.0", ""));
}

TEST_F(SampleBuildTest, StandardEditionBuildOfDelphi7Enterprise) {
  TRow row{"7", false, false, true};
  std::string out = BuildDelphi(row, Delphi7Libraries, "15.0", " -DZELENTERPRISE -DZELLITE");
  ExpectPackages(row, out);
  EXPECT_EQ(FileNames(out + "\\System", "*").size() + FileNames(out + "\\Bin", "*").size(), 7u);
}

TEST_F(SampleBuildTest, TheWrongOrderFailsAsWithTheRealCompiler) {
  TSimulatedEnvironment environment(temp_ / "Delphi7", {"dcc32"}, Delphi7Libraries);
  std::string out = OutFolder("Delphi7");
  Fs::ForceFolders(out + "\\System");
  Fs::ForceFolders(out + "\\Lib");
  std::string command = Quoted(environment.Tool("dcc32")) + " " + ReleaseOptions + " -LN" +
                        Quoted(out + "\\lib") + " -N" + Quoted(out + "\\lib") + " -U" + Quoted(out + "\\lib") +
                        ";" + Quoted(Src()) + " -I" + Quoted(Src()) + " -R" + Quoted(Src()) + " " +
                        Quoted(Src() + "\\ZelUI77.dpk") + " -LE" + Quoted(out + "\\System");
  TToolRun run = RunTool(command, Src());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: Required package 'Zel77' not found"), std::string::npos) << run.Output;
}

TEST_F(SampleBuildTest, TheLibraryRefusesClxOnDelphi5) {
  TSimulatedEnvironment environment(temp_ / "Delphi5", {"dcc32"}, {"vcl50.dcp"});
  environment.SetCompilerVersion("13.0");
  TToolRun run =
      RunTool(Quoted(environment.Tool("dcc32")) + " -Q -DCLX " + Quoted(Src() + "\\Zel75.dpk"), Src());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(
      run.Output.find("ZelDefs.inc(22) Fatal: Quivex 7 for CLX needs Delphi 6 or C++Builder 6 or later."),
      std::string::npos)
      << run.Output;
}

TEST_F(SampleBuildTest, CBuilder6Enterprise) {
  BuildCBuilder({"C6"}, {"rtl.bpi", "vcl.bpi", "dbrtl.bpi", "vcldb.bpi", "designide.bpi", "qrpt.bpi"}, "14.0",
                " -DZELENTERPRISE");
}

TEST_F(SampleBuildTest, CBuilder6ClxRow) {
  BuildCBuilder({"C6CLX", false, true},
                {"rtl.bpi", "visualclx.bpi", "dbrtl.bpi", "visualdbclx.bpi", "designide.bpi"}, "14.0",
                " -DCLX -DZELENTERPRISE");
}

TEST_F(SampleBuildTest, CBuilder4Professional) {
  BuildCBuilder({"C4"}, {"vcl40.bpi", "vcldb40.bpi", "qrpt40.bpi"}, "12.0", " -DZELNOSERIESDESIGN");
}

TEST_F(SampleBuildTest, TheDotNetAssemblies) {
  TSimulatedEnvironment environment(temp_ / "BDS\\2.0", {"dccil"}, {});
  for (const char *unit : {"Borland.Delphi.dcpil", "Borland.VclRtl.dcpil", "Borland.Vcl.dcpil",
                           "designide.dcpil", "System.Drawing.dll"}) {
    WriteTextFile(environment.Root() + "\\units\\" + unit, "");
  }
  std::string out = OutFolder("Delphi8");
  Fs::ForceFolders(out + "\\Lib");
  Fs::ForceFolders(out + "\\Assemblies");
  std::string lib = out + "\\lib";
  std::string base = Quoted(environment.Tool("dccil")) + " " + ReleaseOptions + " -LN" + Quoted(lib) + " -E" +
                     Quoted(out + "\\bin") + " -N" + Quoted(lib) + " -U" + Quoted(lib) + ";" + Quoted(Src()) +
                     " -I" + Quoted(Src()) + " -R" + Quoted(Src()) + " -U" +
                     Quoted(environment.Root() + "\\units") + " -NSBorland.VCL";
  for (const char *assembly :
       {"Velmora.Quivex.VCL", "Velmora.Quivex.VCL.Languages", "Velmora.Quivex.VCL.Design"}) {
    std::string command = base + " " + Quoted(Src() + "\\" + assembly + ".dpk") + " -LE" +
                          Quoted(out + "\\Assemblies") +
                          " -LUSystem.Drawing  -W-UNIT_PLATFORM -W-SYMBOL_PLATFORM  -DZELKEYS";
    TToolRun run = RunTool(command, Src());
    ASSERT_EQ(run.ExitCode, 0) << assembly << "\n" << run.Output;
    EXPECT_EQ(run.Output.find("Warning"), std::string::npos) << run.Output;
  }
  EXPECT_EQ(FileNames(out + "\\Assemblies", "*"),
            (std::vector<std::string>{"Velmora.Quivex.VCL.Design.dll", "Velmora.Quivex.VCL.Languages.dll",
                                      "Velmora.Quivex.VCL.dll"}));
}

} // namespace
