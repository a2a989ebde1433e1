#include "ProcessTestSupport.h"
#include "TestSupport.h"
#include "framework/Application.h"
#include "framework/Files.h"
#include "framework/Handles.h"

#include <cstdlib>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <fstream>
#endif

std::string QuoteArgument(const std::string &argument) {
  if (!argument.empty() && argument.find_first_of(" \t") == std::string::npos)
    return argument;
  return Quoted(argument);
}

std::string TestName(const std::string &text) {
  std::string name = text;
  for (char &c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
      c = '_';
  return name;
}

std::string Quoted(const std::string &text) {
  std::string quoted(1, '"');
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string ChildCommand(std::initializer_list<std::string> actions) {
  std::string line = Quoted(ProgramPath("testchild"));
  for (const auto &action : actions) {
    line += ' ';
    line += QuoteArgument(action);
  }
  return line;
}

bool WaitUntilFinished(const TDosCommand &command, std::chrono::seconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!command.Finished()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool WaitProcessingMessages(const TDosCommand &command, std::chrono::seconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!command.Finished()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void TLineRecorder::Attach(TDosCommand &command) {
  command.OnNewLine = [this](TDosCommand &sender, const std::string &line, TOutputType type) {
    std::size_t shown = sender.DisplayLines ? sender.DisplayLines->size() : 0;
    {
      std::lock_guard lock(mutex_);
      lines_.push_back({line, type, shown});
      thread_ = std::this_thread::get_id();
    }
    changed_.notify_all();
  };
}

bool TLineRecorder::WaitForCount(std::size_t count, std::chrono::seconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return lines_.size() >= count; });
}

std::vector<TReportedLine> TLineRecorder::Lines() {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::thread::id TLineRecorder::ReportingThread() {
  std::lock_guard lock(mutex_);
  return thread_;
}

std::uint32_t ProcessIdInFile(const std::string &path, std::chrono::seconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!Fs::FileExists(path)) {
    if (std::chrono::steady_clock::now() > deadline)
      return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return std::uint32_t(std::strtoul(ReadTextFile(path).c_str(), nullptr, 10));
}

#ifdef _WIN32
bool ProcessGoes(std::uint32_t id, std::chrono::seconds limit) {
  UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
  if (!process)
    return true; // no such process any more
  return ::WaitForSingleObject(process.Get(), DWORD(limit.count() * 1000)) == WAIT_OBJECT_0;
}
#else
namespace {
bool HasGone(std::uint32_t id) {
  if (::kill(pid_t(id), 0) != 0)
    return errno == ESRCH;
  // An orphan that has ended stays a zombie until whoever adopted it collects it.
  std::ifstream stat("/proc/" + std::to_string(id) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::size_t name = text.rfind(')');
  return name == std::string::npos || (name + 2 < text.size() && text[name + 2] == 'Z');
}
} // namespace

bool ProcessGoes(std::uint32_t id, std::chrono::seconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!HasGone(id)) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}
#endif
