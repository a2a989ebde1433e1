// A console child for the process tests and benchmarks. It does what its arguments say, one after
// the other, writing straight to its standard handles (no buffering, no newline translation) so
// that every "out:" arrives in the pipe as one write:
//
//   out:TEXT      write TEXT to standard output; \r \n \t \f \0 \\ and \xHH are escapes
//   err:TEXT      the same to standard error
//   sleep:MS      pause MS milliseconds
//   await:PATH    pause until the file PATH exists; after a minute give up and end with 97
//   wait          read one line (up to LF or the end) from standard input, and drop it
//   input:N       read N lines from standard input and write each back as "got:" + line
//   drain         read standard input to its end, then write "eof" and a line end
//   args          write every argument of this program, "[" + argument + "]" per line, and end
//   cwd           write the current folder and a line end
//   spew:N:L      write N bytes in lines of L bytes (L-1 letters and LF), in 64 KB writes
//   stamp:N:MS    write N lines, MS milliseconds apart, each the steady clock in nanoseconds
//   exit:N        end with exit code N (decimal, or hexadecimal after 0x)
//   crash         write through a null pointer (an access violation)
//
// Without exit: the program ends with 0 after its last argument.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define ZEL_WRITE _write
#define ZEL_READ _read
#else
#include <unistd.h>
#define ZEL_WRITE ::write
#define ZEL_READ ::read
#endif

namespace {

void WriteAll(int fd, const char *bytes, std::size_t size) {
  while (size > 0) {
    auto put = ZEL_WRITE(fd, bytes, unsigned(size));
    if (put <= 0)
      std::exit(99);
    bytes += put;
    size -= std::size_t(put);
  }
}

void Write(int fd, const std::string &text) {
  WriteAll(fd, text.data(), text.size());
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string Unescape(const std::string &text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    char c = text[++i];
    switch (c) {
    case 'r':
      bytes += '\r';
      break;
    case 'n':
      bytes += '\n';
      break;
    case 't':
      bytes += '\t';
      break;
    case 'f':
      bytes += '\f';
      break;
    case '0':
      bytes += '\0';
      break;
    case 'x':
      if (i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
        bytes += char(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
        i += 2;
      }
      break;
    default:
      bytes += c;
      break;
    }
  }
  return bytes;
}

// One line of standard input without its LF; false at the end of the input.
bool ReadLine(std::string &line) {
  line.clear();
  char c;
  while (ZEL_READ(0, &c, 1) == 1) {
    if (c == '\n')
      return true;
    line += c;
  }
  return !line.empty();
}

std::string After(const std::string &argument, std::size_t prefixLength) {
  return argument.substr(prefixLength);
}

bool StartsWith(const std::string &text, const char *prefix) {
  return text.rfind(prefix, 0) == 0;
}

void Spew(const std::string &spec) {
  std::size_t colon = spec.find(':');
  std::uint64_t total = std::strtoull(spec.c_str(), nullptr, 10);
  std::size_t lineLength =
      colon == std::string::npos ? 80 : std::strtoul(spec.c_str() + colon + 1, nullptr, 10);
  if (lineLength < 1)
    lineLength = 1;
  std::string line(lineLength - 1, 'x');
  line += '\n';
  std::string block;
  while (block.size() < 65536)
    block += line;
  for (std::uint64_t left = total; left > 0;) {
    std::size_t now = std::size_t(left < block.size() ? left : block.size());
    WriteAll(1, block.data(), now);
    left -= now;
  }
}

void Stamp(const std::string &spec) {
  int count = std::atoi(spec.c_str());
  std::size_t colon = spec.find(':');
  int pause = colon == std::string::npos ? 10 : std::atoi(spec.c_str() + colon + 1);
  for (int i = 0; i < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    Write(1, std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) + "\n");
  }
}

[[noreturn]] void Crash() {
  volatile std::uintptr_t address = 0; // read at run time, so the compiler cannot see the fault
  *reinterpret_cast<volatile int *>(address) = 1;
  std::abort();
}

} // namespace

int main(int argc, char **argv) {
#ifdef _WIN32
  _setmode(0, _O_BINARY);
  _setmode(1, _O_BINARY);
  _setmode(2, _O_BINARY);
#endif
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    std::string line;
    if (StartsWith(argument, "out:")) {
      Write(1, Unescape(After(argument, 4)));
    } else if (StartsWith(argument, "err:")) {
      Write(2, Unescape(After(argument, 4)));
    } else if (StartsWith(argument, "sleep:")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argument.c_str() + 6)));
    } else if (StartsWith(argument, "await:")) {
      // Polled, not timed: the test that creates the file decides when the child goes on; the
      // minute only keeps a test that never creates it from hanging.
      auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
      while (!std::filesystem::exists(After(argument, 6))) {
        if (std::chrono::steady_clock::now() > deadline)
          return 97;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    } else if (argument == "wait") {
      ReadLine(line);
    } else if (StartsWith(argument, "input:")) {
      for (int n = std::atoi(argument.c_str() + 6); n > 0 && ReadLine(line); --n)
        Write(1, "got:" + line + "\n");
    } else if (argument == "drain") {
      while (ReadLine(line)) {
      }
      Write(1, "eof\n");
    } else if (argument == "args") {
      for (int j = 1; j < argc; ++j)
        Write(1, std::string("[") + argv[j] + "]\n");
      return 0;
    } else if (argument == "cwd") {
      Write(1, std::filesystem::current_path().string() + "\n");
    } else if (StartsWith(argument, "spew:")) {
      Spew(After(argument, 5));
    } else if (StartsWith(argument, "stamp:")) {
      Stamp(After(argument, 6));
    } else if (StartsWith(argument, "exit:")) {
      return int(std::uint32_t(std::strtoul(argument.c_str() + 5, nullptr, 0)));
    } else if (argument == "crash") {
      Crash();
    } else {
      Write(2, "testchild: unknown action " + argument + "\n");
      return 98;
    }
  }
  return 0;
}
