#include "StandInFiles.h"

#include "framework/WinApi.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace StandIn {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

#ifndef _WIN32
bool Exists(const std::string &nativePath) {
  struct stat info;
  return ::lstat(nativePath.c_str(), &info) == 0;
}

// The entry of a folder whose name equals the wanted one without regard to case.
std::optional<std::string> FindEntryIgnoringCase(const std::string &folder, const std::string &wanted) {
  DIR *dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) {
    return std::nullopt;
  }
  std::optional<std::string> found;
  while (dirent *entry = ::readdir(dir)) {
    if (SameText(entry->d_name, wanted)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

std::string DriveRoot(char drive) {
  drive = static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
  std::string variable = std::string("ZEL_DRIVE_") + drive;
  if (const char *value = std::getenv(variable.c_str()); value && *value) {
    return value;
  }
  return drive == 'Z' ? "/" : std::string();
}
#endif

} // namespace

std::string NativePath(const std::string &path) {
#ifdef _WIN32
  return path;
#else
  std::string rest = path;
  std::string current;
  if (rest.size() >= 2 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':') {
    std::string root = DriveRoot(rest[0]);
    if (root.empty()) {
      return path; // an unknown drive: nothing there can be found
    }
    current = root;
    rest = rest.substr(2);
  } else if (!rest.empty() && IsSeparator(rest[0])) {
    current = "/";
  }
  std::vector<std::string> parts;
  std::string part;
  for (char c : rest) {
    if (IsSeparator(c)) {
      if (!part.empty()) {
        parts.push_back(part);
      }
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) {
    parts.push_back(part);
  }
  bool resolving = true;
  for (const std::string &name : parts) {
    std::string next = name;
    if (resolving && name != "." && name != "..") {
      std::string candidate =
          current.empty() ? name : (current.back() == '/' ? current + name : current + "/" + name);
      if (!Exists(candidate)) {
        if (auto match = FindEntryIgnoringCase(current, name)) {
          next = *match;
        } else {
          resolving = false; // the rest does not exist yet: keep it as written
        }
      }
    }
    if (current.empty()) {
      current = next;
    } else if (current.back() == '/') {
      current += next;
    } else {
      current += "/" + next;
    }
  }
  if (current.empty()) {
    current = ".";
  }
  return current;
#endif
}

bool IsFile(const std::string &path) {
  std::error_code error;
  return std::filesystem::is_regular_file(NativePath(path), error);
}

bool IsFolder(const std::string &path) {
  std::error_code error;
  return std::filesystem::is_directory(NativePath(path), error);
}

std::optional<std::string> ReadFileBytes(const std::string &path) {
  if (!IsFile(path)) {
    return std::nullopt;
  }
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool WriteFileBytes(const std::string &path, const std::string &bytes) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  if (!out) {
    return false;
  }
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

bool RemoveFile(const std::string &path) {
  std::error_code error;
  return std::filesystem::remove(NativePath(path), error);
}

char PathSeparator() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

std::string JoinPath(const std::string &folder, const std::string &name) {
  if (folder.empty() || IsAbsolutePath(name)) {
    return name;
  }
  if (IsSeparator(folder.back())) {
    return folder + name;
  }
  return folder + PathSeparator() + name;
}

std::string FolderOf(const std::string &path) {
  auto at = path.find_last_of("\\/");
  if (at == std::string::npos) {
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
  }
  if (at == 0) {
    return path.substr(0, 1);
  }
  if (at == 2 && path[1] == ':') {
    return path.substr(0, 3); // "C:\"
  }
  return path.substr(0, at);
}

std::string NameOf(const std::string &path) {
  auto at = path.find_last_of("\\/:");
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string StemOf(const std::string &path) {
  std::string name = NameOf(path);
  auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ExtensionOf(const std::string &path) {
  std::string name = NameOf(path);
  auto dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeExtension(const std::string &path, const std::string &extension) {
  std::string name = NameOf(path);
  auto dot = name.rfind('.');
  std::string base = dot == std::string::npos ? path : path.substr(0, path.size() - (name.size() - dot));
  return base + extension;
}

bool IsAbsolutePath(const std::string &path) {
  if (path.empty()) {
    return false;
  }
  return IsSeparator(path[0]) || (path.size() >= 2 && path[1] == ':');
}

std::string ProgramFileName() {
#ifdef _WIN32
  char buffer[MAX_PATH + 1] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, length);
#else
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.string();
#endif
}

std::string ProgramFolder() {
  return FolderOf(ProgramFileName());
}

std::string CurrentFolder() {
  std::error_code error;
  auto current = std::filesystem::current_path(error);
  return error ? std::string(".") : current.string();
}

std::optional<std::string> FindInFolders(const std::string &name, const std::vector<std::string> &folders) {
  for (const std::string &folder : folders) {
    std::string candidate = JoinPath(folder, name);
    if (IsFile(candidate)) {
      return candidate;
    }
  }
  return std::nullopt;
}

bool SameText(const std::string &a, const std::string &b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

std::string UpperCase(std::string text) {
  for (char &c : text) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return text;
}

std::string LowerCase(std::string text) {
  for (char &c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

std::string Trim(const std::string &text) {
  auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return std::string();
  }
  auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool StartsWithText(const std::string &text, const std::string &prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

std::vector<std::string> SplitList(const std::string &text, char separator) {
  std::vector<std::string> pieces;
  std::string piece;
  std::istringstream in(text);
  while (std::getline(in, piece, separator)) {
    piece = Trim(piece);
    if (!piece.empty()) {
      pieces.push_back(piece);
    }
  }
  return pieces;
}

std::vector<std::string> SplitWords(const std::string &text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    words.push_back(word);
  }
  return words;
}

std::vector<std::pair<std::string, std::string>> KeyValueLines(const std::string &text) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line);
    auto equals = line.find('=');
    if (equals != std::string::npos) {
      pairs.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
  }
  return pairs;
}

std::optional<std::string> IniValue(const std::string &path, const std::string &section,
                                    const std::string &key) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) {
    return std::nullopt;
  }
  std::istringstream in(*bytes);
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') {
      continue;
    }
    if (line.front() == '[' && line.back() == ']') {
      inSection = SameText(line.substr(1, line.size() - 2), section);
    } else if (inSection) {
      auto equals = line.find('=');
      if (equals != std::string::npos && SameText(Trim(line.substr(0, equals)), key)) {
        return Trim(line.substr(equals + 1));
      }
    }
  }
  return std::nullopt;
}

} // namespace StandIn
