#include "framework/Exception.h"
#include "framework/IniFile.h"
#include "framework/WinApi.h"

#include <vector>

TStringList TIniFile::ReadSectionValues(const std::string &section) const {
  std::vector<char> buffer(4096);
  DWORD length = 0;
  for (;;) {
    length =
        ::GetPrivateProfileSectionA(section.c_str(), buffer.data(), DWORD(buffer.size()), fileName_.c_str());
    if (length + 2 < buffer.size())
      break;
    buffer.resize(buffer.size() * 2); // the section was cut to fit: ask again with more room
  }
  // The entries come as zero-terminated texts, one after the other.
  TStringList lines;
  for (const char *entry = buffer.data(); entry < buffer.data() + length && *entry;
       entry += lines.back().size() + 1)
    lines.emplace_back(entry);
  return lines;
}

void TIniFile::WriteString(const std::string &section, const std::string &name, const std::string &value) {
  // Windows refuses to write a read-only file; Wine's profile functions do not, so ask first.
  DWORD attributes = ::GetFileAttributesA(fileName_.c_str());
  if ((attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) ||
      !::WritePrivateProfileStringA(section.c_str(), name.c_str(), value.c_str(), fileName_.c_str()))
    throw EFileError("Unable to write to " + fileName_);
}
