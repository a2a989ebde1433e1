#include "process/DosCommand.h"
#include "framework/Files.h"
#include "framework/Process.h"

#include <cstring>

namespace {
constexpr std::uint32_t FirstBufferSize = 1024;

// The first byte c in [from, to), or to.
const char *FindByte(const char *from, const char *to, char c) {
  if (from == to)
    return to;
  auto *found = static_cast<const char *>(std::memchr(from, c, std::size_t(to - from)));
  return found ? found : to;
}
} // namespace

// ---- TProcessTimer ----

TProcessTimer::TProcessTimer() {
  SetEnabled(false);
  OnTimer = [this] { Tick(); };
}

void TProcessTimer::StartCounting() {
  SetInterval(1000);
  SecondsSinceStart = 0;
  SecondsSinceLastLine = 0;
  stopRequested_ = false;
  countingThread_ = std::this_thread::get_id();
  SetEnabled(true);
}

void TProcessTimer::Tick() {
  if (stopRequested_) {
    SetEnabled(false);
    return;
  }
  ++SecondsSinceStart;
  ++SecondsSinceLastLine;
}

void TProcessTimer::ResetLastLine() {
  SecondsSinceLastLine = 0;
}

void TProcessTimer::StopCounting() {
  if (std::this_thread::get_id() == countingThread_)
    SetEnabled(false);
  else
    stopRequested_ = true;
}

// ---- TDosThread ----

TDosThread::TDosThread(TSettings settings) : settings_(std::move(settings)) {}

void TDosThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

TDosThread::~TDosThread() {
  if (thread_.joinable())
    thread_.join();
}

void TDosThread::AddInput(std::string entry) {
  std::lock_guard lock(inputMutex_);
  pendingInput_.push_back(std::move(entry));
}

std::exception_ptr TDosThread::FatalError() const {
  std::lock_guard lock(errorMutex_);
  return fatalError_;
}

// Nothing escapes the thread: an error is kept for the runner's user, and the worker still counts
// as finished so that nobody waits for it for ever.
void TDosThread::Execute() {
  try {
    RunChild();
  } catch (...) {
    {
      std::lock_guard lock(errorMutex_);
      fatalError_ = std::current_exception();
    }
    Finished = true;
  }
}

void TDosThread::RunChild() {
  // Finished starts false at construction; it is not cleared here, so that a stop requested before
  // the thread got going is still honoured.
  TPipe input, output;
  std::uint32_t error = 0;
  if (!CreateChildPipe(input, TChildEnd::Read, error) || !CreateChildPipe(output, TChildEnd::Write, error)) {
    settings_.Timer->StopCounting();
    throw Exception("Cannot create pipe: " + SystemErrorMessage(error));
  }
  TChildProcess child;
  if (!child.Start(settings_.CommandLine, input.ReadEnd, output.WriteEnd,
                   std::uint32_t(settings_.PriorityClass))) {
    settings_.Timer->StopCounting();
    throw TCreateProcessError(settings_.CommandLine + " doesn't exist.");
  }

  std::vector<char> buffer(FirstBufferSize);
  for (;;) {
    std::uint32_t exitCode = child.ExitCode();
    ExitCode = exitCode;
    std::uint32_t waiting = 0;
    output.ReadEnd.BytesWaiting(waiting);
    if (waiting > 0) {
      if (waiting > buffer.size())
        buffer.resize(waiting);
      // One pass takes everything that was waiting, as one block: a pipe may hand it over in
      // pieces, and the pass that first sees the child ended must not leave any of it behind.
      std::uint32_t taken = 0;
      while (taken < waiting) {
        std::uint32_t got = output.ReadEnd.Read(buffer.data() + taken, std::uint32_t(buffer.size()) - taken);
        if (got == 0)
          break;
        taken += got;
      }
      SplitIntoLines(buffer.data(), taken);
      if (!pending_.empty())
        ShowPartialLine();
    } else {
      FeedInput(input.WriteEnd);
      // Only a pass that found nothing waits: while output flows, the next peek follows at once.
      // The millisecond's wait ends early when the child ends (or, on POSIX, writes).
      child.Pause(output.ReadEnd, 1);
    }
    if (Finished)
      child.Terminate(0);
    if (exitCode != StillActive || TimeIsUp())
      break;
  }

  FlushPendingLine();
  child.Close();
  input = TPipe();
  output = TPipe();
  settings_.Timer->StopCounting();
  Finished = true;
  if (settings_.OnTerminated)
    settings_.OnTerminated(*settings_.Sender);
}

bool TDosThread::TimeIsUp() const {
  const TProcessTimer &timer = *settings_.Timer;
  return (settings_.MaxTimeAfterBeginning > 0 && timer.SecondsSinceStart > settings_.MaxTimeAfterBeginning) ||
         (settings_.MaxTimeAfterLastOutput > 0 &&
          timer.SecondsSinceLastLine > settings_.MaxTimeAfterLastOutput);
}

// Byte 0 is dropped; LF ends a line; CR ends a line and takes an LF that follows it in the same
// read along (an LF at the start of the next read ends another, empty, line).
void TDosThread::SplitIntoLines(const char *bytes, std::uint32_t count) {
  const char *end = bytes + count;
  const char *next = bytes;
  while (next < end && !Finished) {
    // The first of LF, CR and 0, each searched for only before the one found already: memchr runs
    // far faster than a byte loop over output that is mostly plain text.
    const char *stop = FindByte(next, end, '\n');
    stop = FindByte(next, stop, '\r');
    stop = FindByte(next, stop, '\0');
    pending_.append(next, stop);
    next = stop;
    if (next == end)
      break;
    char c = *next++;
    if (c == '\r' && next < end && *next == '\n')
      ++next;
    if (c != '\0')
      EndLine();
  }
}

void TDosThread::EndLine() {
  settings_.Timer->ResetLastLine();
  settings_.CapturedLines->push_back(std::move(pending_));
  ShowEntireLine(settings_.CapturedLines->back());
}

// A finished line replaces the partial one on display, if one is showing, and is reported whole.
void TDosThread::ShowEntireLine(const std::string &line) {
  ShowOnDisplay(line);
  partialShown_ = false;
  if (settings_.OnNewLine)
    settings_.OnNewLine(*settings_.Sender, line, otEntireLine);
  pending_.clear();
}

void TDosThread::ShowPartialLine() {
  ShowOnDisplay(pending_);
  if (settings_.OnNewLine)
    settings_.OnNewLine(*settings_.Sender, pending_, otBeginningOfLine);
  partialShown_ = true;
}

// A child that ended in the middle of a line still gets that line captured.
void TDosThread::FlushPendingLine() {
  if (pending_.empty())
    return;
  settings_.CapturedLines->push_back(std::move(pending_));
  ShowEntireLine(settings_.CapturedLines->back());
}

// The display keeps one entry for a line shown in part; its later parts and the finished line
// replace that entry.
void TDosThread::ShowOnDisplay(const std::string &text) {
  TStringList *display = settings_.DisplayLines;
  if (!display)
    return;
  if (partialShown_ && !display->empty())
    display->back() = text;
  else
    display->push_back(text);
}

void TDosThread::FeedInput(TPipeEnd &input) {
  for (;;) {
    std::string entry;
    {
      std::lock_guard lock(inputMutex_);
      if (pendingInput_.empty() || Finished)
        return;
      entry = std::move(pendingInput_.front());
      pendingInput_.erase(pendingInput_.begin());
    }
    if (entry.empty())
      continue; // not even a marker: nothing to send
    std::string text = entry.substr(1);
    if (settings_.InputToOutput)
      EchoInput(text);
    if (entry[0] == '_')
      text += "\r\n";
    input.Write(text.data(), std::uint32_t(text.size()));
  }
}

// The echo completes a partial line that is showing, as a terminal shows typed text after a
// prompt. It is shown, never captured.
void TDosThread::EchoInput(const std::string &text) { ShowEntireLine(pending_ + text); }

// ---- TDosCommand ----

TDosCommand::TDosCommand() = default;

TDosCommand::~TDosCommand() {
  for (auto &worker : workers_)
    worker->Finished = true;
  workers_.clear(); // joins them while the timer and the lists they use still exist
}

void TDosCommand::Run() {
  if (CommandLine.empty())
    return;
  if (!timer_)
    timer_ = std::make_unique<TProcessTimer>();
  CapturedLines.clear();
  timer_->StartCounting();
  // Earlier workers that have finished are of no further use.
  std::erase_if(workers_, [](const std::unique_ptr<TDosThread> &worker) { return worker->Finished.load(); });
  TDosThread::TSettings settings;
  settings.Sender = this;
  settings.CommandLine = CommandLine;
  settings.CapturedLines = &CapturedLines;
  settings.DisplayLines = DisplayLines;
  settings.InputToOutput = InputToOutput;
  settings.Timer = timer_.get();
  settings.MaxTimeAfterBeginning = MaxTimeAfterBeginning;
  settings.MaxTimeAfterLastOutput = MaxTimeAfterLastOutput;
  settings.OnNewLine = OnNewLine;
  settings.OnTerminated = OnTerminated;
  settings.PriorityClass = PriorityClass;
  workers_.push_back(std::make_unique<TDosThread>(std::move(settings)));
  worker_ = workers_.back().get();
  worker_->Start();
}

// With no worker nothing runs, which counts as finished.
bool TDosCommand::Finished() const {
  return worker_ ? worker_->Finished.load() : true;
}

std::uint32_t TDosCommand::ExitCode() const {
  return worker_ ? worker_->ExitCode.load() : 0;
}

std::exception_ptr TDosCommand::FatalError() const {
  return worker_ ? worker_->FatalError() : nullptr;
}

void TDosCommand::SendLine(const std::string &text, bool lineEnd) {
  if (worker_)
    worker_->AddInput((lineEnd ? "_" : "-") + text);
}

void TDosCommand::Stop() {
  if (worker_)
    worker_->Finished = true;
}
