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
//   detach:PATH   start a copy of this program in the background that shares our standard handles
//                 and babbles (below), and go on without waiting for it
//   babble:ID:PATH  (what the copy does) write this process's identifier to the file PATH, then
//                 write lines to standard output without pause, "babble" while the process ID
//                 runs and "orphan" once it has ended; a failed write (a closed pipe) does not
//                 end it. After a minute it gives up: it writes the file PATH.end and ends.
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
#include <process.h>
#include <windows.h>
#define ZEL_WRITE _write
#define ZEL_READ _read
#define ZEL_GETPID _getpid
#else
#include <csignal>
#include <unistd.h>
#define ZEL_WRITE ::write
#define ZEL_READ ::read
#define ZEL_GETPID ::getpid
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

// Whether the process that started the babbling copy still runs.
class TParentWatch {
public:
#ifdef _WIN32
  explicit TParentWatch(unsigned long id) : process_(::OpenProcess(SYNCHRONIZE, FALSE, id)) {}
  ~TParentWatch() {
    if (process_)
      ::CloseHandle(process_);
  }
  bool Runs() const {
    return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
  }

private:
  HANDLE process_;
#else
  explicit TParentWatch(unsigned long id) : id_(pid_t(id)) {}
  // An orphan is adopted by another process.
  bool Runs() const {
    return ::getppid() == id_;
  }

private:
  pid_t id_;
#endif
};

void Babble(unsigned long parentId, const std::string &idFile) {
#ifndef _WIN32
  std::signal(SIGPIPE, SIG_IGN); // a closed pipe fails the write instead of ending the process
#endif
  TParentWatch parent(parentId);
  // Written whole under another name first: whoever waits for the file finds the whole number.
  {
    std::FILE *file = std::fopen((idFile + ".part").c_str(), "w");
    if (!file)
      std::exit(95);
    std::fprintf(file, "%d", int(ZEL_GETPID()));
    std::fclose(file);
  }
  std::filesystem::rename(idFile + ".part", idFile);
  // Large writes, as "yes" makes them: faster than the runner takes them, so the pipe never empties.
  std::string babble, orphan;
  while (babble.size() < 262144) {
    babble += "babble\n";
    orphan += "orphan\n";
  }
  bool orphaned = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (std::chrono::steady_clock::now() < deadline) {
    orphaned = orphaned || !parent.Runs();
    const std::string &lines = orphaned ? orphan : babble;
    if (ZEL_WRITE(1, lines.data(), unsigned(lines.size())) <= 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Whoever waited for this process to go can tell that nothing ended it.
  if (std::FILE *file = std::fopen((idFile + ".end").c_str(), "w"))
    std::fclose(file);
}

// Like a background job of a shell script, which the script does not wait for.
void Detach(const std::string &idFile) {
#ifdef _WIN32
  char self[MAX_PATH];
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string line = std::string("\"") + self + "\" \"babble:" + std::to_string(::GetCurrentProcessId()) +
                     ":" + idFile + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION created{};
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &created))
    std::exit(96);
  ::CloseHandle(created.hThread);
  ::CloseHandle(created.hProcess);
#else
  unsigned long parent = static_cast<unsigned long>(::getpid());
  pid_t pid = ::fork();
  if (pid < 0)
    std::exit(96);
  if (pid == 0) {
    Babble(parent, idFile);
    ::_exit(0);
  }
#endif
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
    } else if (StartsWith(argument, "detach:")) {
      Detach(After(argument, 7));
    } else if (StartsWith(argument, "babble:")) {
      char *rest = nullptr;
      unsigned long parent = std::strtoul(argument.c_str() + 7, &rest, 10);
      Babble(parent, *rest == ':' ? std::string(rest + 1) : std::string());
    } else {
      Write(2, "testchild: unknown action " + argument + "\n");
      return 98;
    }
  }
  return 0;
}
