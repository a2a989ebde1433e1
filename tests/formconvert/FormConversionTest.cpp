// The conversion of form files in real temporary folders: detection, blanking, writing, listing.
#include "formconvert/FormConversion.h"
#include "TestSupport.h"
#include "formconvert/ObjectText.h"
#include "framework/Exception.h"
#include "framework/Files.h"

#ifdef _WIN32
#include "framework/WinApi.h"
#endif

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

std::string DataPath(const std::string &name) {
  return SourcePath("tests\\formconvert\\data\\" + name);
}

// The message of the Exception that action raises, or "" when it raises none.
template <class TError = Exception, class TAction> std::string ErrorOf(TAction action) {
  try {
    action();
  } catch (const TError &error) {
    return error.Message();
  }
  return "";
}

class ConvertDfmToXfmTest : public ::testing::Test {
protected:
  std::string Write(const std::string &name, const std::string &bytes) {
    WriteTextFile(folder / name, bytes);
    return folder / name;
  }
  std::string Xfm(const std::string &baseName) { return ReadTextFile(folder / (baseName + ".xfm")); }
  bool XfmExists(const std::string &baseName) { return Fs::FileExists(folder / (baseName + ".xfm")); }

  TTempFolder folder;
};

TEST_F(ConvertDfmToXfmTest, OnlyTheFormsOwnAlignClientIsBlanked) {
  ConvertDfmToXfm(Write("Form1.dfm", "object Form1: TForm1\r\n"
                                     "  Align = alClient\r\n"
                                     "  object Panel1: TPanel\r\n"
                                     "    Align = alClient\r\n"
                                     "  end\r\n"
                                     "end\r\n"));
  EXPECT_EQ(Xfm("Form1"), "object Form1: TForm1\r\n"
                          "\r\n"
                          "  object Panel1: TPanel\r\n"
                          "    Align = alClient\r\n"
                          "  end\r\n"
                          "end\r\n");
}

TEST_F(ConvertDfmToXfmTest, NestedCtl3DAndParentCtl3DAreBlanked) {
  ConvertDfmToXfm(Write("Form1.dfm", "object Form1: TForm1\r\n"
                                     "  object Panel1: TPanel\r\n"
                                     "    Ctl3D = False\r\n"
                                     "    ParentCtl3D = False\r\n"
                                     "    TabOrder = 0\r\n"
                                     "  end\r\n"
                                     "end\r\n"));
  EXPECT_EQ(Xfm("Form1"), "object Form1: TForm1\r\n"
                          "  object Panel1: TPanel\r\n"
                          "\r\n"
                          "\r\n"
                          "    TabOrder = 0\r\n"
                          "  end\r\n"
                          "end\r\n");
}

TEST_F(ConvertDfmToXfmTest, LineEndsBecomeCrLfAndTheLineCountStays) {
  ConvertDfmToXfm(Write("Form1.dfm", "object Form1: TForm1\n  SelStart = 2\n\n  Left = 1\rend"));
  EXPECT_EQ(Xfm("Form1"), "object Form1: TForm1\r\n\r\n\r\n  Left = 1\r\nend\r\n");
}

TEST_F(ConvertDfmToXfmTest, BinaryFormGivesTextForm) {
  // The realistic main form, with the lines CLX cannot load emptied and every other line kept.
  std::string original = ReadTextFile(DataPath("MainForm.txt"));
  ConvertDfmToXfm(Write("MainForm.dfm", ReadTextFile(DataPath("MainForm.dfm"))));
  TStringList expected = SplitLines(original);
  for (const char *line :
       {"    HideSelection = False", "    ShowRoot = False", "    TabIndex = 0", "    TabPosition = tpBottom",
        "        Ctl3D = False", "        ParentCtl3D = False"}) {
    ASSERT_EQ(std::count(expected.begin(), expected.end(), line), 1) << line;
    *std::find(expected.begin(), expected.end(), line) = "";
  }
  EXPECT_EQ(Xfm("MainForm"), JoinLines(expected));
}

TEST_F(ConvertDfmToXfmTest, ExistingXfmIsOverwrittenEvenWithNothingBlanked) {
  Write("Form1.xfm", "old contents");
  ConvertDfmToXfm(Write("Form1.dfm", "object Form1: TForm1\r\n  Left = 1\r\nend\r\n"));
  EXPECT_EQ(Xfm("Form1"), "object Form1: TForm1\r\n  Left = 1\r\nend\r\n");
}

TEST_F(ConvertDfmToXfmTest, EmptyFileIsOfUnknownFormat) {
  std::string path = Write("Empty.dfm", "");
  EXPECT_EQ(ErrorOf([&] { ConvertDfmToXfm(path); }), "Unknown format: " + path);
  EXPECT_FALSE(XfmExists("Empty"));
}

TEST_F(ConvertDfmToXfmTest, UnknownFormat) {
  for (const char *bytes : {"xobject", "\xEF\xBB\xBFobject Form1: TForm1\r\nend\r\n", "\nobject"}) {
    std::string path = Write("Odd.dfm", bytes);
    EXPECT_EQ(ErrorOf([&] { ConvertDfmToXfm(path); }), "Unknown format: " + path) << bytes;
    EXPECT_FALSE(XfmExists("Odd"));
  }
}

TEST_F(ConvertDfmToXfmTest, ComponentStreamWithoutResourceHeaderFails) {
  std::string binary = ReadTextFile(DataPath("AboutBox.dfm"));
  std::string path = Write("AboutBox.dfm", binary.substr(binary.find("TPF0")));
  EXPECT_EQ(ErrorOf<EReadError>([&] { ConvertDfmToXfm(path); }), path + ": Invalid stream format");
  EXPECT_FALSE(XfmExists("AboutBox"));
}

TEST_F(ConvertDfmToXfmTest, TruncatedAndCorruptedBinaryFormsNameTheFile) {
  std::string binary = ReadTextFile(DataPath("MainForm.dfm"));
  std::string truncated = Write("Truncated.dfm", binary.substr(0, binary.size() / 2));
  EXPECT_EQ(ErrorOf<EReadError>([&] { ConvertDfmToXfm(truncated); }), truncated + ": Stream read error");
  std::string corrupted = binary;
  corrupted[corrupted.find("Caption") + 7] = char(0xEE); // the value type of the form's caption
  std::string path = Write("Corrupted.dfm", corrupted);
  EXPECT_EQ(ErrorOf<EReadError>([&] { ConvertDfmToXfm(path); }),
            path + ": Error reading MainForm.Caption: Invalid property value");
  EXPECT_FALSE(XfmExists("Truncated"));
  EXPECT_FALSE(XfmExists("Corrupted"));
}

TEST_F(ConvertDfmToXfmTest, MissingFileRaisesTheFileError) {
  std::string path = folder / "Missing.dfm";
  std::string message = ErrorOf<EFileError>([&] { ConvertDfmToXfm(path); });
  EXPECT_EQ(message.rfind("Cannot open file \"" + path + "\". ", 0), 0u) << message;
}

#ifdef _WIN32
// A named pipe that hands its bytes to the one reader that opens it and then breaks, so that the
// reader's next ReadFile fails (ERROR_BROKEN_PIPE): a read error after part of the file, which a
// plain file under Wine cannot be made to give (Wine ignores locked ranges when reading).
class TBreakingPipe {
public:
  TBreakingPipe(const std::string &name, std::string bytes) : path_("\\\\.\\pipe\\" + name) {
    pipe_ = ::CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536,
                               65536, 0, nullptr);
    server_ = std::thread([this, bytes = std::move(bytes)] {
      if (::ConnectNamedPipe(pipe_, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED) {
        DWORD written = 0;
        if (!bytes.empty())
          ::WriteFile(pipe_, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        ::FlushFileBuffers(pipe_); // returns once the reader has taken every byte
      }
      ::CloseHandle(pipe_);
    });
  }
  ~TBreakingPipe() {
    // A reader that never came would leave the server waiting: come as one, then go.
    HANDLE late = ::CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (late != INVALID_HANDLE_VALUE)
      ::CloseHandle(late);
    server_.join();
  }
  const std::string &Path() const { return path_; }

private:
  std::string path_;
  HANDLE pipe_;
  std::thread server_;
};

TEST(FormReadErrorTest, AFailingReadIsTheFileErrorNotAShortForm) {
  const std::string half = "object Form1: TForm1\r\n  Caption = 'Half of a fo";
  struct TCase {
    const char *Name;
    std::string Bytes;
  } cases[] = {{"zel-read-error-middle.dfm", half}, {"zel-read-error-first.dfm", ""}};
  for (const auto &c : cases) {
    TBreakingPipe pipe(c.Name, c.Bytes);
    EXPECT_FALSE(Fs::ReadWholeFile(pipe.Path()).has_value()) << c.Name;
    EXPECT_EQ(Fs::LastErrorCode(), Fs::ErrorBrokenPipe) << c.Name;
  }
  for (const auto &c : cases) {
    TBreakingPipe pipe(c.Name, c.Bytes);
    std::string message = ErrorOf<EFileError>([&] { ConvertDfmToXfm(pipe.Path()); });
    EXPECT_EQ(message, "Cannot open file \"" + pipe.Path() + "\". " + SystemErrorMessage(Fs::ErrorBrokenPipe))
        << c.Name;
  }
}
#endif

TEST_F(ConvertDfmToXfmTest, ReadOnlyXfmRaisesTheFileError) {
  std::string xfm = Write("Form1.xfm", "old");
  ASSERT_TRUE(Fs::SetReadOnly(xfm, true));
  std::string message =
      ErrorOf<EFileError>([&] { ConvertDfmToXfm(Write("Form1.dfm", "object Form1: TForm1\r\nend\r\n")); });
  EXPECT_EQ(message.rfind("Cannot create file \"" + xfm + "\". ", 0), 0u) << message;
  Fs::SetReadOnly(xfm, false);
  EXPECT_EQ(Xfm("Form1"), "old");
}

struct TBlankCase {
  const char *Line;
  bool Blanked;
};

class BlankClxPropertiesTest : public ::testing::TestWithParam<TBlankCase> {};

TEST_P(BlankClxPropertiesTest, BlanksByExactTextAnywhereInTheLine) {
  TStringList lines = {"object Form1: TForm1", GetParam().Line, "end"};
  BlankClxProperties(lines);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], GetParam().Blanked ? "" : GetParam().Line);
  EXPECT_EQ(lines[0], "object Form1: TForm1");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BlankClxPropertiesTest,
    ::testing::Values(TBlankCase{"  Align = alClient", true}, TBlankCase{"    Align = alClient", false},
                      TBlankCase{"Align = alClient", false}, TBlankCase{"  Align = alClient ", false},
                      TBlankCase{"  Align = alLeft", false}, TBlankCase{"  SelEnd = 80", true},
                      TBlankCase{"      SelStart = 20", true}, TBlankCase{"  Ctl3D = False", true},
                      TBlankCase{"    ParentCtl3D = False", true},
                      TBlankCase{"  HideSelection = False", true}, TBlankCase{"  ThumbLength = 18", true},
                      TBlankCase{"  ShowRoot = False", true}, TBlankCase{"  PageSize = 10", true},
                      TBlankCase{"  TabPosition = tpBottom", true}, TBlankCase{"  TabIndex = 0", true},
                      // Property names that end in one of the texts, and values that hold one.
                      TBlankCase{"  MySelEnd = 3", true}, TBlankCase{"  Caption = 'Ctl3D = off'", true},
                      // Case and spacing count.
                      TBlankCase{"  ctl3d = False", false}, TBlankCase{"  Ctl3D=False", false},
                      TBlankCase{"  TabOrder = 0", false}, TBlankCase{"  PageSizes: 1", false},
                      TBlankCase{"", false}));

struct TFormatCase {
  std::string Bytes;
  TFormFormat Format;
};

class DetectFormFormatTest : public ::testing::TestWithParam<TFormatCase> {};

TEST_P(DetectFormFormatTest, DecidesFromTheFirstFourBytes) {
  EXPECT_EQ(DetectFormFormat(GetParam().Bytes), GetParam().Format);
}

INSTANTIATE_TEST_SUITE_P(
    Heads, DetectFormFormatTest,
    ::testing::Values(TFormatCase{"\xFF", TFormFormat::Binary}, TFormatCase{"\xFF\x0A", TFormFormat::Binary},
                      TFormatCase{"TPF0", TFormFormat::Binary}, TFormatCase{"TPF0\x06", TFormFormat::Binary},
                      TFormatCase{"TPF", TFormFormat::Unknown}, TFormatCase{"TPF1", TFormFormat::Unknown},
                      TFormatCase{"object", TFormFormat::Text}, TFormatCase{"Object", TFormFormat::Text},
                      TFormatCase{"inherited", TFormFormat::Text}, TFormatCase{"Inline", TFormFormat::Text},
                      TFormatCase{"o", TFormFormat::Text}, TFormatCase{" ", TFormFormat::Text},
                      TFormatCase{"\t", TFormFormat::Text}, TFormatCase{"\v", TFormFormat::Text},
                      TFormatCase{"\r\n", TFormFormat::Text}, TFormatCase{"\n", TFormFormat::Unknown},
                      TFormatCase{"", TFormFormat::Unknown},
                      TFormatCase{std::string(4, '\0'), TFormFormat::Unknown},
                      TFormatCase{"end", TFormFormat::Unknown},
                      TFormatCase{"\xEF\xBB\xBF", TFormFormat::Unknown}));

TEST(XfmFileNameTest, ReplacesTheExtension) {
  EXPECT_EQ(XfmFileName("C:\\Src\\Form1.dfm"), "C:\\Src\\Form1.xfm");
  EXPECT_EQ(XfmFileName("C:\\Src\\Form.Main.DFM"), "C:\\Src\\Form.Main.xfm");
  EXPECT_EQ(XfmFileName("C:\\Src.7\\Form1"), "C:\\Src.7\\Form1.xfm");
  EXPECT_EQ(XfmFileName("/tmp/a.b/Form1"), "/tmp/a.b/Form1.xfm");
}

class FolderConversionTest : public ::testing::Test {
protected:
  std::string Write(const std::string &name, const std::string &bytes) {
    WriteTextFile(folder / name, bytes);
    return folder / name;
  }
  std::string Form(const std::string &name) {
    return "object " + name + ": TForm\r\n  Ctl3D = True\r\nend\r\n";
  }
  std::string BlankedForm(const std::string &name) { return "object " + name + ": TForm\r\n\r\nend\r\n"; }

  TTempFolder folder;
};

TEST_F(FolderConversionTest, ListsTheDfmFilesDirectlyInTheFolder) {
  Write("A.dfm", Form("A"));
  Write("B.DFM", Form("B"));
  Write("C.pas", "unit C;");
  Write("D.xfm", "");
  Write("E.dfm.bak", "");
  Write("Sub.dfm\\Inner.dfm", Form("Inner"));
  Write("Sub\\F.dfm", Form("F"));
  TStringList files = {"stale entry"};
  ListDfmFiles(folder.Path(), files);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (TStringList{folder.Path() + "\\A.dfm", folder.Path() + "\\B.DFM"}));
}

TEST_F(FolderConversionTest, ConvertsEveryFormAndTouchesNothingElse) {
  Write("A.dfm", Form("A"));
  Write("B.dfm", ReadTextFile(DataPath("OptionsDlg.dfm")));
  Write("A.pas", "unit A;\r\n");
  Write("Other.xfm", "object Other: TForm\r\n  Ctl3D = True\r\nend\r\n");
  MakeXfmFiles(folder.Path());
  EXPECT_EQ(ReadTextFile(folder / "A.xfm"), BlankedForm("A"));
  EXPECT_EQ(ReadTextFile(folder / "B.xfm").rfind("object OptionsDlg: TOptionsDlg\r\n", 0), 0u);
  EXPECT_EQ(ReadTextFile(folder / "A.dfm"), Form("A"));
  EXPECT_EQ(ReadTextFile(folder / "A.pas"), "unit A;\r\n");
  EXPECT_EQ(ReadTextFile(folder / "Other.xfm"), "object Other: TForm\r\n  Ctl3D = True\r\nend\r\n");
}

TEST_F(FolderConversionTest, FolderWithoutFormsIsNoError) {
  Write("A.pas", "unit A;");
  EXPECT_NO_THROW(MakeXfmFiles(folder.Path()));
  EXPECT_EQ(Fs::FindFiles(folder / "*").size(), 1u);
}

TEST_F(FolderConversionTest, FirstErrorStopsTheConversion) {
  for (const char *name : {"A", "B", "C", "D", "E"})
    Write(std::string(name) + ".dfm", Form(name));
  std::string bad = Write("C.dfm", "junk");
  TStringList order;
  ListDfmFiles(folder.Path(), order);
  EXPECT_EQ(ErrorOf([&] { MakeXfmFiles(folder.Path()); }), "Unknown format: " + bad);
  bool beforeError = true;
  for (const auto &path : order) {
    if (path == bad) {
      beforeError = false;
      continue;
    }
    EXPECT_EQ(Fs::FileExists(XfmFileName(path)), beforeError) << path;
  }
}

#ifdef _WIN32
TEST_F(FolderConversionTest, HiddenAndSystemFormsAreSkipped) {
  std::string hidden = Write("Hidden.dfm", Form("Hidden"));
  std::string system = Write("System.dfm", Form("System"));
  std::string readOnly = Write("ReadOnly.dfm", Form("ReadOnly"));
  std::string archive = Write("Archive.dfm", Form("Archive"));
  ASSERT_TRUE(::SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(::SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(::SetFileAttributesA(archive.c_str(), FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(Fs::SetReadOnly(readOnly, true));
  TStringList files;
  ListDfmFiles(folder.Path(), files);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (TStringList{archive, readOnly}));
  ::SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_NORMAL);
  Fs::SetReadOnly(readOnly, false);
}
#endif

} // namespace
