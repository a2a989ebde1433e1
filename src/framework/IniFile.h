// INI files ("name=value" lines in "[Section]"s), read and written one entry at a time as the
// Win32 private-profile functions do. Win32 uses those functions; POSIX a reader and writer with the
// same results: sections and names matched without regard to case, blanks around names and values
// dropped, a new entry placed at the end of its section and a new section at the end of the file.
#pragma once
#include "TextLines.h"

#include <string>

class TIniFile {
public:
  explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  const std::string &FileName() const { return fileName_; }

  // The entries of a section as "name=value" lines (lines without "=" as they stand); none when
  // the section or the file is missing.
  TStringList ReadSectionValues(const std::string &section) const;
  // Writes one entry, replacing an entry of the same name, creating the section and the file when
  // missing. Raises EFileError "Unable to write to <file name>" when the file cannot be written.
  void WriteString(const std::string &section, const std::string &name, const std::string &value);

private:
  std::string fileName_;
};
