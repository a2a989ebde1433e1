#include "TextLines.h"
#include "Exception.h"
#include "Files.h"

TStringList SplitLines(const std::string &text) {
  TStringList lines;
  std::string line;
  bool open = false; // a line has started and not ended yet
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    } else {
      line += c;
      open = true;
    }
  }
  if (open)
    lines.push_back(std::move(line));
  return lines;
}

std::string JoinLines(const TStringList &lines) {
  std::size_t size = 0;
  for (const auto &line : lines)
    size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto &line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

TStringList LoadLines(const std::string &path) {
  auto bytes = Fs::ReadWholeFile(path);
  if (!bytes)
    throw EFileError("Cannot open file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
  return SplitLines(*bytes);
}

void SaveLines(const std::string &path, const TStringList &lines) {
  if (!Fs::WriteWholeFile(path, JoinLines(lines)))
    throw EFileError("Cannot create file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
}
