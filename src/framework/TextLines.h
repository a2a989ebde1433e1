// Lists of text lines, as the program reads and writes every text file it edits: bytes in the
// system code page, CR LF, LF or a lone CR end a line, a final line end adds no empty line, no byte
// order mark handling (a UTF-8 mark stays in the first line). Saving writes CR LF after every line.
#pragma once
#include <string>
#include <vector>

using TStringList = std::vector<std::string>;

// Splits text into lines by the rules above.
TStringList SplitLines(const std::string &text);
// Joins lines with CR LF after every line.
std::string JoinLines(const TStringList &lines);

// Raise EFileError ("Cannot open file ..." / "Cannot create file ...") with the system's reason.
TStringList LoadLines(const std::string &path);
void SaveLines(const std::string &path, const TStringList &lines);
