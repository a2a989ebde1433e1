// The program's texts are in the system code page (ANSI) as the Win32 "A" functions give them;
// documents meant for other programs, such as JSON, are UTF-8.
#pragma once
#include <string>

// Win32: converted through UTF-16. POSIX: unchanged, Linux names are UTF-8 already.
std::string Utf8FromSystemCodePage(const std::string &text);
