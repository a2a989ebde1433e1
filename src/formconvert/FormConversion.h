// Regeneration of the CLX form files: an ".xfm" in text form beside every ".dfm" of a folder, with
// the property lines that the CLX form classes do not have emptied.
#pragma once
#include "framework/TextLines.h"
#include <string>
#include <string_view>

// Converts every ".dfm" file directly in the folder, in the order the file system lists them. The
// first error stops the conversion; files converted before it stay written.
void MakeXfmFiles(const std::string &folder);

// Empties the list, then adds folder + "\" + name for every plain or archive ".dfm" file directly
// in the folder; hidden and system files are left out.
void ListDfmFiles(const std::string &folder, TStringList &into);

// Writes path with its extension changed to ".xfm". Raises the framework's file errors, EReadError
// for a binary form that cannot be read (its message starts with the path), and Exception for an
// unknown form ("Unknown format: " + path) or a form without lines (path + " is empty !!!").
void ConvertDfmToXfm(const std::string &path);

// The parts of the conversion, for the tests.
enum class TFormFormat { Binary, Text, Unknown };
// Decided from the first 4 bytes (missing ones count as 0).
TFormFormat DetectFormFormat(std::string_view bytes);
// Replaces by an empty line every line that CLX cannot load; the line count stays.
void BlankClxProperties(TStringList &lines);
// path with its extension replaced by ".xfm" (or ".xfm" appended when it has none).
std::string XfmFileName(const std::string &path);
