// The platform-free part of the child-process layer: reading a command line the way Windows does.
#include "Process.h"

#include <chrono>

namespace {
bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The program: up to the closing quote when it starts with one, else up to the next blank.
// Backslashes are path separators here, never escapes.
std::string ReadProgram(const std::string &line, std::size_t &pos) {
  std::size_t end;
  std::string program;
  if (line[pos] == '"') {
    end = line.find('"', pos + 1);
    program = line.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
    pos = end == std::string::npos ? line.size() : end + 1;
    return program;
  }
  end = pos;
  while (end < line.size() && !IsBlank(line[end]))
    ++end;
  program = line.substr(pos, end - pos);
  pos = end;
  return program;
}

std::string ReadArgument(const std::string &line, std::size_t &pos) {
  std::string argument;
  int quotes = 0;          // 1 while inside quotes
  std::size_t slashes = 0; // backslashes just before the current character
  while (pos < line.size()) {
    char c = line[pos];
    if (IsBlank(c) && quotes == 0)
      break;
    if (c == '\\') {
      argument += c;
      ++slashes;
      ++pos;
      continue;
    }
    if (c != '"') {
      argument += c;
      slashes = 0;
      ++pos;
      continue;
    }
    if (slashes % 2 == 0) {
      argument.resize(argument.size() - slashes / 2);
      ++quotes;
    } else {
      argument.resize(argument.size() - slashes / 2 - 1);
      argument += '"';
    }
    slashes = 0;
    ++pos;
    // A run of quotes: counted together with the one before it, every third is a literal quote.
    while (pos < line.size() && line[pos] == '"') {
      if (++quotes == 3) {
        argument += '"';
        quotes = 0;
      }
      ++pos;
    }
    if (quotes == 2)
      quotes = 0;
  }
  return argument;
}

void SkipBlanks(const std::string &line, std::size_t &pos) {
  while (pos < line.size() && IsBlank(line[pos]))
    ++pos;
}
} // namespace

std::vector<std::string> SplitCommandLine(const std::string &commandLine) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  // Leading blanks are skipped, as process creation does when it looks for the program.
  SkipBlanks(commandLine, pos);
  if (pos == commandLine.size())
    return parts;
  parts.push_back(ReadProgram(commandLine, pos));
  for (SkipBlanks(commandLine, pos); pos < commandLine.size(); SkipBlanks(commandLine, pos))
    parts.push_back(ReadArgument(commandLine, pos));
  return parts;
}

namespace {
// The reads of pipes without a room of their caller's: what a pipe holds by default.
constexpr std::size_t OwnReadSize = 65536;
} // namespace

void TChildPipes::ReadInto(TReadRoom room) {
  room_ = std::move(room);
}

std::span<char> TChildPipes::NextRoom() {
  if (room_)
    return room_();
  if (ownBuffer_.empty())
    ownBuffer_.resize(OwnReadSize);
  return ownBuffer_;
}

void TChildPipes::CloseChildEnds() {
  childInput_.Close();
  childOutput_.Close();
}

// The child's end ends the reading: what the pipe held then is the child's and is all taken; what
// comes after is taken only while it keeps coming, and only so much of it.
std::string_view TChildPipes::TakeRemainingOutput() {
  auto now = std::chrono::steady_clock::now();
  if (!takingRest_) {
    takingRest_ = true;
    restHeld_ = OutputLeft();
    restTaken_ = 0;
    restUntil_ = now + std::chrono::milliseconds(RestAfterEndTime);
  }
  if (restTaken_ >= restHeld_ && (restTaken_ - restHeld_ >= RestAfterEndBytes || now >= restUntil_))
    return {};
  std::string_view bytes = TakeWaitingOutput();
  restTaken_ += bytes.size();
  return bytes;
}
