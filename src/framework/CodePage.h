// The program's texts are in the system code page (ANSI) as the Win32 "A" functions give them;
// documents meant for other programs, such as JSON, are UTF-8. On POSIX the system code page is
// Windows-1252, the one a Western Windows uses, so that both builds read the same bytes alike.
#pragma once
#include <string>

// Win32: converted through UTF-16. POSIX: from Windows-1252 (its five unassigned bytes stand for
// the control characters of the same numbers, as Windows converts them).
std::string Utf8FromSystemCodePage(const std::string &text);

// The text with every letter of the system code page in upper case ("caf\xE9" gives "CAF\xC9"),
// as Windows compares file names.
std::string UpperCaseSystemCodePage(const std::string &text);
