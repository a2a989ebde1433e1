// The images the stand-ins link: loadable by the platform, with resources the platform finds, and
// the stand-ins' own reader of them.
#include "PeImage.h"
#include "Resources.h"
#include "StandInError.h"
#include "ToolRun.h"
#include "framework/Handles.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

using namespace StandIn;

std::string Utf16Z(const std::string &ansi) {
  return Utf16FromAnsi(ansi) + std::string(2, '\0');
}

std::vector<TResource> SampleResources() {
  return {
      {TResourceId::Number(ResourceTypeRcData), TResourceId::Text("PACKAGEINFO"), 0, "info"},
      {TResourceId::Number(ResourceTypeRcData), TResourceId::Text("Description"), 0,
       Utf16Z("Quivex 7 Components")},
      {TResourceId::Number(ResourceTypeBitmap), TResourceId::Text("TZELCHART"), 0x409, std::string(40, 'b')},
      {TResourceId::Number(16), TResourceId::Number(1), 0x409, "version"},
      {TResourceId::Text("CUSTOM"), TResourceId::Number(7), 0, "custom"},
  };
}

TEST(PeImageTest, TheStandInsOwnReaderFindsEveryResource) {
  std::string image = BuildPeImage(TImageKind::Dll, SampleResources());
  ASSERT_TRUE(IsPeImage(image));
  std::vector<TResource> read = ReadPeResources(image);
  ASSERT_EQ(read.size(), 5u);
  auto description =
      FindPeResource(image, TResourceId::Number(ResourceTypeRcData), TResourceId::Text("description"));
  EXPECT_EQ(description, std::optional<std::string>(Utf16Z("Quivex 7 Components")));
  EXPECT_EQ(FindPeResource(image, TResourceId::Text("custom"), TResourceId::Number(7)),
            std::optional<std::string>("custom"));
  EXPECT_EQ(FindPeResource(image, TResourceId::Number(16), TResourceId::Number(1)),
            std::optional<std::string>("version"));
  EXPECT_FALSE(FindPeResource(image, TResourceId::Number(ResourceTypeRcData), TResourceId::Text("MISSING")));
}

TEST(PeImageTest, ThePlatformReadsTheDescriptionOfAWrittenPackage) {
  TTempFolder temp;
  std::string path = temp / "Zel77.bpl";
  WriteTextFile(path, BuildPeImage(TImageKind::Dll, SampleResources()));
  EXPECT_EQ(PackageDescriptionText(path), std::optional<std::string>("Quivex 7 Components"));
  // The size of the resource counts the terminating zero, as the program expects.
  EXPECT_EQ(DescriptionResource(path), std::optional<std::string>(Utf16Z("Quivex 7 Components")));
}

TEST(PeImageTest, AnImageWithoutDescriptionHasNone) {
  TTempFolder temp;
  std::string path = temp / "NoText.bpl";
  WriteTextFile(path, BuildPeImage(TImageKind::Dll, {}));
  EXPECT_FALSE(DescriptionResource(path).has_value());
  EXPECT_TRUE(ReadPeResources(ReadTextFile(path)).empty());
}

#ifdef _WIN32
TEST(PeImageTest, WindowsLoadsThePackageAsALibraryToo) {
  TTempFolder temp;
  std::string path = temp / "Loadable.bpl";
  WriteTextFile(path, BuildPeImage(TImageKind::Dll, SampleResources()));
#if defined(_WIN64)
  // A 64-bit process maps an i386 image only as data, as the 64-bit program reads a package's
  // description; the 32-bit build below checks that it loads as a library.
  UniqueModule module(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module) << "LoadLibraryExA failed: " << ::GetLastError();
#else
  // Loaded for real (not as data), the image is moved away from the program's own base address
  // and its entry point runs: the relocation block and the entry code must be right.
  UniqueModule module(::LoadLibraryA(path.c_str()));
  ASSERT_TRUE(module) << "LoadLibraryA failed: " << ::GetLastError();
#endif
  EXPECT_NE(::FindResourceA(module.Get(), "PACKAGEINFO", MAKEINTRESOURCEA(10)), nullptr);
  EXPECT_NE(::FindResourceA(module.Get(), "TZELCHART", MAKEINTRESOURCEA(2)), nullptr);
}

#if !defined(_WIN64)
// The 64-bit build is for hosts that run no 32-bit code at all: there no i386 program starts.
TEST(PeImageTest, WindowsRunsAProgramImage) {
  TTempFolder temp;
  std::string path = temp / "Program.exe";
  WriteTextFile(path, BuildPeImage(TImageKind::Exe, {}));
  TToolRun run = RunTool(Quoted(path), temp.Path());
  EXPECT_EQ(run.ExitCode, 0);
}
#endif
#endif

TEST(PeImageTest, DamagedImagesAreErrorsNotCrashes) {
  std::string image = BuildPeImage(TImageKind::Dll, SampleResources());
  EXPECT_FALSE(IsPeImage("MZ"));
  EXPECT_FALSE(IsPeImage(std::string(1024, '\0')));
  EXPECT_THROW(ReadPeResources("not an image at all"), EStandInError);
  // Cut inside the resource section: the directory points beyond the end.
  for (std::size_t length : {image.size() / 2, image.size() - 700, image.size() - 100}) {
    std::string cut = image.substr(0, length);
    try {
      ReadPeResources(cut);
    } catch (const EStandInError &) {
    }
  }
  std::string corrupt = image;
  std::size_t resources = 0x400;    // the file offset of the resource section
  corrupt[resources + 12] = '\x7F'; // a named-entry count far beyond the section
  EXPECT_THROW(ReadPeResources(corrupt), EStandInError);
}

TEST(ResourceFileTest, WrittenResourcesReadBack) {
  std::vector<TResource> resources = SampleResources();
  std::vector<TResource> read = ReadResFile(WriteResFile(resources), "Sample.res");
  ASSERT_EQ(read.size(), resources.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_TRUE(read[i].Type == resources[i].Type);
    EXPECT_TRUE(read[i].Name == resources[i].Name);
    EXPECT_EQ(read[i].Language, resources[i].Language);
    EXPECT_EQ(read[i].Data, resources[i].Data);
  }
}

TEST(ResourceFileTest, SixteenBitAndDamagedFilesAreRejectedByName) {
  std::string good = WriteResFile(SampleResources());
  for (const std::string &bad :
       {std::string("\xFF\x0A\x00RCDATA", 9), good.substr(0, 20), good.substr(0, good.size() - 6)}) {
    try {
      ReadResFile(bad, "ZelResou.res");
      FAIL() << "accepted a bad resource file of " << bad.size() << " bytes";
    } catch (const EStandInError &error) {
      EXPECT_NE(error.Message().find("'ZelResou.res'"), std::string::npos) << error.Message();
    }
  }
}

struct TCodePageCase {
  unsigned char Ansi;
  std::uint16_t Unicode;
};

// Test names show the case, not its bytes.
void PrintTo(const TCodePageCase &value, std::ostream *os) {
  *os << "Ansi" << static_cast<int>(value.Ansi);
}

class CodePageTest : public ::testing::TestWithParam<TCodePageCase> {};

TEST_P(CodePageTest, Windows1252ToUtf16AndBack) {
  std::string ansi(1, static_cast<char>(GetParam().Ansi));
  std::string utf16 = Utf16FromAnsi(ansi);
  ASSERT_EQ(utf16.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(utf16[0]) | (static_cast<unsigned char>(utf16[1]) << 8),
            GetParam().Unicode);
  EXPECT_EQ(AnsiFromUtf16(utf16), ansi);
}

INSTANTIATE_TEST_SUITE_P(Characters, CodePageTest,
                         ::testing::Values(TCodePageCase{'A', 0x0041}, TCodePageCase{0x80, 0x20AC},
                                           TCodePageCase{0x92, 0x2019}, TCodePageCase{0x9F, 0x0178},
                                           TCodePageCase{0xA9, 0x00A9}, TCodePageCase{0xE9, 0x00E9},
                                           TCodePageCase{0x81, 0x0081}),
                         [](const auto &info) { return "Ansi" + std::to_string(info.param.Ansi); });

} // namespace
