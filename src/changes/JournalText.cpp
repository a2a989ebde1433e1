#include "JournalText.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const char *KindName(TChangeKind kind) {
  switch (kind) {
  case TChangeKind::Key:
    return "key";
  case TChangeKind::Value:
    return "value";
  case TChangeKind::File:
    return "file";
  case TChangeKind::Folder:
    return "folder";
  }
  return "value";
}

std::string Hex(const std::string &bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : bytes) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

std::string FromHex(const std::string &text) {
  std::string bytes;
  auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    bytes += char(digit(text[i]) << 4 | digit(text[i + 1]));
  return bytes;
}

std::string FileStateJson(const TFileState &state) {
  if (!state.Exists)
    return "null";
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(state.Hash));
  return "{\"size\": " + std::to_string(state.Size) + ", \"hash\": \"" + hash + "\"}";
}

// A JSON value as far as the journal needs one: objects, strings, numbers, true, false, null.
// An object's members are a type of their own: a std::pair of a type not yet complete is refused
// by clang (the fuzzers' compiler).
struct TJsonMember;
struct TJson {
  enum { Null, Bool, Number, String, Object } Type = Null;
  std::string Text; // a string's bytes, or a number's digits
  bool Flag = false;
  std::vector<TJsonMember> Members;

  const TJson *Find(const std::string &name) const;
  std::string Str(const std::string &name) const {
    const TJson *value = Find(name);
    return value && (value->Type == String || value->Type == Number) ? value->Text : std::string();
  }
};

struct TJsonMember {
  std::string Name;
  TJson Value;
};

const TJson *TJson::Find(const std::string &name) const {
  for (const auto &member : Members)
    if (member.Name == name)
      return &member.Value;
  return nullptr;
}

class TJsonReader {
public:
  explicit TJsonReader(const std::string &text) : text_(text) {}
  std::optional<TJson> ReadDocument() {
    auto value = Read();
    SkipBlanks();
    if (!value || at_ != text_.size())
      return std::nullopt;
    return value;
  }

private:
  const std::string &text_;
  std::size_t at_ = 0;
  int depth_ = 0;

  void SkipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r'))
      ++at_;
  }
  bool Take(char c) {
    SkipBlanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool TakeWord(const char *word) {
    std::size_t n = std::char_traits<char>::length(word);
    if (text_.compare(at_, n, word) != 0)
      return false;
    at_ += n;
    return true;
  }
  std::optional<std::string> ReadString() {
    if (!Take('"'))
      return std::nullopt;
    std::string bytes;
    while (at_ < text_.size()) {
      char c = text_[at_++];
      if (c == '"')
        return bytes;
      if (c != '\\') {
        bytes += c;
        continue;
      }
      if (at_ >= text_.size())
        return std::nullopt;
      char e = text_[at_++];
      switch (e) {
      case 'n':
        bytes += '\n';
        break;
      case 'r':
        bytes += '\r';
        break;
      case 't':
        bytes += '\t';
        break;
      case 'b':
        bytes += '\b';
        break;
      case 'f':
        bytes += '\f';
        break;
      case 'u': {
        if (at_ + 4 > text_.size())
          return std::nullopt;
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
          char h = text_[at_++];
          if (!std::isxdigit(static_cast<unsigned char>(h)))
            return std::nullopt;
          code = code * 16 + unsigned(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
        }
        if (code > 0xFF)
          return std::nullopt; // the journal writes bytes only
        bytes += char(code);
        break;
      }
      default:
        bytes += e;
      }
    }
    return std::nullopt;
  }
  std::optional<TJson> Read() {
    SkipBlanks();
    if (at_ >= text_.size() || ++depth_ > 8)
      return std::nullopt;
    std::optional<TJson> result = ReadInner();
    --depth_;
    return result;
  }
  std::optional<TJson> ReadInner() {
    TJson value;
    char c = text_[at_];
    if (c == '"') {
      auto text = ReadString();
      if (!text)
        return std::nullopt;
      value.Type = TJson::String;
      value.Text = *text;
    } else if (c == '{') {
      ++at_;
      value.Type = TJson::Object;
      if (Take('}'))
        return value;
      do {
        auto name = ReadString();
        if (!name || !Take(':'))
          return std::nullopt;
        auto member = Read();
        if (!member)
          return std::nullopt;
        value.Members.push_back(TJsonMember{*name, std::move(*member)});
      } while (Take(','));
      if (!Take('}'))
        return std::nullopt;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      value.Type = TJson::Number;
      std::size_t start = at_++;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9')
        ++at_;
      value.Text = text_.substr(start, at_ - start);
    } else if (TakeWord("true") || TakeWord("false")) {
      value.Type = TJson::Bool;
      value.Flag = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
    } else if (TakeWord("null")) {
      value.Type = TJson::Null;
    } else {
      return std::nullopt;
    }
    return value;
  }
};

std::uint64_t Number(const std::string &digits, int base) {
  try {
    return digits.empty() ? 0 : std::stoull(digits, nullptr, base);
  } catch (const std::exception &) {
    return 0;
  }
}

TValueState ValueStateFrom(const TJson *json) {
  TValueState state;
  if (!json || json->Type != TJson::Object)
    return state;
  state.Exists = true;
  state.Type = RegistryTypeFromName(json->Str("type"));
  const TJson *data = json->Find("data");
  if (state.Type == rdInteger) {
    std::uint32_t number = std::uint32_t(Number(data ? data->Text : "", 10));
    state.Data.assign(4, '\0');
    for (int i = 0; i < 4; ++i)
      state.Data[std::size_t(i)] = char((number >> (8 * i)) & 0xFF);
  } else if (state.Type == rdString || state.Type == rdExpandString) {
    state.Data = data ? data->Text : "";
  } else {
    state.Data = FromHex(data ? data->Text : "");
  }
  return state;
}

TFileState FileStateFrom(const TJson *json) {
  if (!json || json->Type != TJson::Object)
    return {};
  return TFileState{true, Number(json->Str("size"), 10), Number(json->Str("hash"), 16)};
}

TRootKey RootFromName(const std::string &name) {
  for (TRootKey root : {TRootKey::ClassesRoot, TRootKey::CurrentUser, TRootKey::LocalMachine})
    if (RootKeyName(root) == name)
      return root;
  return TRootKey::CurrentUser;
}

} // namespace

std::string JsonText(const std::string &bytes) {
  std::string text = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += char(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      text += escape;
    } else {
      text += char(c);
    }
  }
  return text + "\"";
}

std::string ValueStateJson(const TValueState &state) {
  if (!state.Exists)
    return "null";
  std::string data;
  if (state.Type == rdString || state.Type == rdExpandString) {
    data = JsonText(state.Data);
  } else if (state.Type == rdInteger && state.Data.size() == 4) {
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
      number = number << 8 | static_cast<unsigned char>(state.Data[std::size_t(i)]);
    data = std::to_string(number);
  } else {
    data = "\"" + Hex(state.Data) + "\"";
  }
  return "{\"type\": \"" + RegistryTypeName(state.Type) + "\", \"data\": " + data + "}";
}

std::string HeaderLine(const TJournalHeader &header) {
  return "{\"journal\": \"ZelRecompile\", \"format\": " + std::to_string(header.Format) +
         ", \"program\": " + JsonText(header.Program) + ", \"time\": " + JsonText(header.Time) +
         ", \"environment\": " + JsonText(header.Environment) + ", \"key\": " + JsonText(header.Key) + "}\n";
}

std::string ChangeLine(int sequence, const TChange &change) {
  std::string line =
      "{\"seq\": " + std::to_string(sequence) + ", \"change\": \"" + KindName(change.Kind) + "\"";
  switch (change.Kind) {
  case TChangeKind::Key:
    line += ", \"root\": \"" + RootKeyName(change.Root) + "\", \"key\": " + JsonText(change.Key);
    break;
  case TChangeKind::Value:
    line += ", \"root\": \"" + RootKeyName(change.Root) + "\", \"key\": " + JsonText(change.Key) +
            ", \"name\": " + JsonText(change.Name) + ", \"before\": " + ValueStateJson(change.Before) +
            ", \"after\": " + ValueStateJson(change.After);
    break;
  case TChangeKind::File:
    line += ", \"path\": " + JsonText(change.Path) + ", \"before\": " + FileStateJson(change.FileBefore) +
            ", \"after\": " + FileStateJson(change.FileAfter) + ", \"copy\": " + JsonText(change.Copy);
    if (!change.AfterCopy.empty())
      line += ", \"afterCopy\": " + JsonText(change.AfterCopy);
    break;
  case TChangeKind::Folder:
    line += ", \"path\": " + JsonText(change.Path);
    break;
  }
  return line + "}\n";
}

std::string StateLine(const TJournalState &state) {
  return "{\"state\": " + JsonText(state.State) + ", \"time\": " + JsonText(state.Time) + "}\n";
}

std::string RebaseLine(int sequence, const TChange &before) {
  std::string line = "{\"rebase\": " + std::to_string(sequence);
  if (before.Kind == TChangeKind::File)
    line += ", \"before\": " + FileStateJson(before.FileBefore) + ", \"copy\": " + JsonText(before.Copy);
  else
    line += ", \"before\": " + ValueStateJson(before.Before);
  return line + "}\n";
}

std::string InheritLine(const TChange &createdKey) {
  return "{\"inherit\": \"key\", \"root\": \"" + RootKeyName(createdKey.Root) +
         "\", \"key\": " + JsonText(createdKey.Key) + "}\n";
}

std::optional<TJournalLine> ParseJournalLine(const std::string &line) {
  auto json = TJsonReader(line).ReadDocument();
  if (!json || json->Type != TJson::Object)
    return std::nullopt;
  TJournalLine result;
  if (json->Find("journal")) {
    TJournalHeader header;
    header.Format = int(Number(json->Str("format"), 10));
    header.Program = json->Str("program");
    header.Time = json->Str("time");
    header.Environment = json->Str("environment");
    header.Key = json->Str("key");
    result.Header = header;
  } else if (json->Find("rebase")) {
    result.RebaseOf = int(Number(json->Str("rebase"), 10));
    TChange before;
    before.Before = ValueStateFrom(json->Find("before"));
    before.FileBefore = FileStateFrom(json->Find("before"));
    before.Copy = json->Str("copy");
    result.Change = before;
  } else if (json->Find("inherit")) {
    TChange key;
    key.Kind = TChangeKind::Key;
    key.Root = RootFromName(json->Str("root"));
    key.Key = json->Str("key");
    result.Inherited = key;
  } else if (json->Find("state")) {
    result.State = TJournalState{json->Str("state"), json->Str("time")};
  } else if (json->Find("change")) {
    TChange change;
    std::string kind = json->Str("change");
    if (kind == "key")
      change.Kind = TChangeKind::Key;
    else if (kind == "value")
      change.Kind = TChangeKind::Value;
    else if (kind == "file")
      change.Kind = TChangeKind::File;
    else if (kind == "folder")
      change.Kind = TChangeKind::Folder;
    else
      return std::nullopt;
    change.Root = RootFromName(json->Str("root"));
    change.Key = json->Str("key");
    change.Name = json->Str("name");
    change.Path = json->Str("path");
    change.Copy = json->Str("copy");
    change.AfterCopy = json->Str("afterCopy");
    if (change.Kind == TChangeKind::Value) {
      change.Before = ValueStateFrom(json->Find("before"));
      change.After = ValueStateFrom(json->Find("after"));
    } else if (change.Kind == TChangeKind::File) {
      change.FileBefore = FileStateFrom(json->Find("before"));
      change.FileAfter = FileStateFrom(json->Find("after"));
    }
    result.Change = change;
  } else {
    return std::nullopt;
  }
  return result;
}
