#include "FormConversion.h"
#include "ObjectText.h"
#include "changes/EnvironmentChanges.h"
#include "framework/Exception.h"
#include "framework/Files.h"

namespace {

// Property lines that the CLX classes do not know. They are searched anywhere in the line, so
// "ParentCtl3D =" goes with "Ctl3D =", whatever the object's nesting.
constexpr std::string_view ClxMissingProperties[] = {
    "SelEnd =",   "SelStart =", "Ctl3D =",       "HideSelection =", "ThumbLength =",
    "ShowRoot =", "PageSize =", "TabPosition =", "TabIndex =",
};

// Only the form's own alignment goes: a nested control's line has more indentation.
constexpr std::string_view FormAlignClient = "  Align = alClient";

std::string ReadFormFile(const std::string &path) {
  auto bytes = Fs::ReadWholeFile(path);
  if (!bytes)
    throw EFileError("Cannot open file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
  return std::move(*bytes);
}

TStringList FormLines(const std::string &path, const std::string &bytes) {
  switch (DetectFormFormat(bytes)) {
  case TFormFormat::Binary:
    try {
      return SplitLines(ObjectResourceToText(bytes));
    } catch (const EReadError &error) {
      throw EReadError(path + ": " + error.Message());
    }
  case TFormFormat::Text:
    return SplitLines(bytes);
  case TFormFormat::Unknown:
    break;
  }
  throw Exception("Unknown format: " + path);
}

} // namespace

TFormFormat DetectFormFormat(std::string_view bytes) {
  unsigned char head[4] = {};
  for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i)
    head[i] = static_cast<unsigned char>(bytes[i]);
  if (head[0] == 255 || (head[0] == 'T' && head[1] == 'P' && head[2] == 'F' && head[3] == '0'))
    return TFormFormat::Binary;
  switch (head[0]) {
  case 9:
  case 11:
  case 13:
  case ' ':
  case 'o':
  case 'O':
  case 'i':
  case 'I':
    return TFormFormat::Text;
  default:
    return TFormFormat::Unknown;
  }
}

void BlankClxProperties(TStringList &lines) {
  for (auto &line : lines) {
    bool blank = line == FormAlignClient;
    for (std::string_view text : ClxMissingProperties)
      blank = blank || line.find(text) != std::string::npos;
    if (blank)
      line.clear();
  }
}

std::string XfmFileName(const std::string &path) {
  std::size_t dot = path.find_last_of(".\\/:");
  if (dot == std::string::npos || path[dot] != '.')
    return path + ".xfm";
  return path.substr(0, dot) + ".xfm";
}

void ConvertDfmToXfm(const std::string &path) {
  TStringList lines = FormLines(path, ReadFormFile(path));
  if (lines.empty())
    throw Exception(path + " is empty !!!");
  BlankClxProperties(lines);
  Changes::SaveLines(XfmFileName(path), lines);
}

void ListDfmFiles(const std::string &folder, TStringList &into) {
  into.clear();
  for (const auto &file : Fs::FindFiles(folder + "\\*.dfm")) {
    if (!file.IsDirectory && !file.IsHidden && !file.IsSystem)
      into.push_back(folder + "\\" + file.Name);
  }
}

void MakeXfmFiles(const std::string &folder) {
  TStringList files;
  ListDfmFiles(folder, files);
  for (const auto &path : files)
    ConvertDfmToXfm(path);
}
