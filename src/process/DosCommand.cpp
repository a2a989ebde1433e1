#include "process/DosCommand.h"
#include "framework/Files.h"
#include "framework/Process.h"
#include "process/LineSplitter.h"

namespace {
// With a time limit the worker looks at the timer's counters this often; without one it waits
// only for the child, its output and requests.
constexpr std::uint32_t TimeLimitCheck = 100;
// The least room a read gets: what a pipe holds at most.
constexpr std::size_t RoomForRead = 65536;
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

// Where the splitter puts a read, which lies in the captured lines' room already: text stays where
// it was read (or closes the gap a line end left), line ends go to the worker.
struct TLineSink {
  TDosThread &Worker;
  void Append(const char *from, const char *to) { Worker.settings_.CapturedLines->AppendFromRoom(from, to); }
  void EndLine() { Worker.EndLine(); }
  bool Stopped() const { return Worker.stopRequested_; }
};

TDosThread::TDosThread(TSettings settings) : settings_(std::move(settings)) {}

// The child is started on the caller's thread, and the worker's thread gets going while the child
// does. A child that cannot be started ends the worker at once: no thread is made for it.
void TDosThread::Start() {
  try {
    StartChild();
  } catch (...) {
    ReleaseChild();
    EndWithError(std::current_exception());
    return;
  }
  thread_ = std::thread([this] {
    threadId_ = std::this_thread::get_id();
    Execute();
  });
}

void TDosThread::Join() {
  if (thread_.joinable() && !OnItsThread())
    thread_.join();
}

TDosThread::~TDosThread() {
  Join();
}

void TDosThread::RequestStop() {
  stopRequested_ = true;
  wake_.Set();
}

void TDosThread::AddInput(std::string entry) {
  {
    std::lock_guard lock(inputMutex_);
    pendingInput_.push_back(std::move(entry));
  }
  wake_.Set();
}

std::string TDosThread::DisplayLine() const {
  std::lock_guard lock(displayMutex_);
  displayTaken_ = true;
  return displayLine_;
}

std::exception_ptr TDosThread::FatalError() const {
  std::lock_guard lock(errorMutex_);
  return fatalError_;
}

void TDosThread::Signal() {
  if (settings_.Signal)
    settings_.Signal->Set();
}

void TDosThread::StartChild() {
  pipes_ = std::make_unique<TChildPipes>();
  std::uint32_t error = 0;
  if (!pipes_->Create(!settings_.CloseInput, error)) {
    settings_.Timer->StopCounting();
    throw Exception("Cannot create pipe: " + SystemErrorMessage(error));
  }
  child_.SetStartFolder(settings_.StartFolder);
  if (!child_.Start(settings_.CommandLine, pipes_->ChildInput(), pipes_->ChildOutput(),
                    std::uint32_t(settings_.PriorityClass))) {
    settings_.Timer->StopCounting();
    throw TCreateProcessError(settings_.CommandLine + " doesn't exist.");
  }
  pipes_->CloseChildEnds();
  ExitCode = StillActive;
  // Output is read straight into the captured lines.
  pipes_->ReadInto([&captured = *settings_.CapturedLines] { return captured.Room(RoomForRead); });
}

// Nothing escapes the thread: an error is kept for the runner's user, and the worker still counts
// as finished so that nobody waits for it for ever.
void TDosThread::Execute() {
  try {
    WatchChild();
  } catch (...) {
    ReleaseChild();
    EndWithError(std::current_exception());
  }
}

// Our ends of the pipes close as the worker ends: whatever the child left running that still writes
// gets a broken pipe rather than a full one, and no read in progress lands in the captured lines
// once they are given up.
void TDosThread::ReleaseChild() {
  pipes_.reset();
  child_.Close();
}

void TDosThread::EndWithError(std::exception_ptr error) {
  {
    std::lock_guard lock(errorMutex_);
    fatalError_ = std::move(error);
  }
  Finished = true;
  Signal();
}

void TDosThread::WatchChild() {
  bool limited = settings_.MaxTimeAfterBeginning > 0 || settings_.MaxTimeAfterLastOutput > 0;
  bool terminating = false;
  for (;;) {
    FeedInput();
    auto result = pipes_->Wait(child_, wake_, limited ? TimeLimitCheck : TEvent::Infinite);
    if (result == TChildPipes::wrOutput)
      TakeIn(pipes_->TakeOutput());
    if (stopRequested_ && !terminating) {
      pipes_->Cancel();
      child_.Terminate(0);
      terminating = true;
    }
    if (result == TChildPipes::wrChildEnded) {
      // The process handle says the child has gone; what it wrote before is all in the pipe. The
      // pipe may not end, though: whatever the child left running may hold it and write on.
      for (auto rest = pipes_->TakeRemainingOutput(); !rest.empty(); rest = pipes_->TakeRemainingOutput())
        TakeIn(rest);
      break;
    }
    if (TimeIsUp())
      break;
  }
  ExitCode = child_.HasEnded() ? child_.ExitCode() : StillActive;

  FlushPendingLine();
  ReleaseChild();
  settings_.Timer->StopCounting();
  Finished = true;
  Signal();
  if (settings_.OnTerminated)
    settings_.OnTerminated(*settings_.Sender);
}

bool TDosThread::TimeIsUp() const {
  const TProcessTimer &timer = *settings_.Timer;
  return (settings_.MaxTimeAfterBeginning > 0 && timer.SecondsSinceStart > settings_.MaxTimeAfterBeginning) ||
         (settings_.MaxTimeAfterLastOutput > 0 &&
          timer.SecondsSinceLastLine > settings_.MaxTimeAfterLastOutput);
}

// One read: its lines, then the partial line it leaves, and what the display shows now.
void TDosThread::TakeIn(std::string_view bytes) {
  if (stopRequested_)
    return;
  lineEnded_ = false;
  TLineSink sink{*this};
  LineSplitting::Split(bytes, sink);
  if (lineEnded_)
    settings_.Timer->ResetLastLine(); // only line ends reset it, once per read is enough
  TCapturedLines &captured = *settings_.CapturedLines;
  if (!captured.OpenLine().empty())
    ShowPartialLine();
  if (!captured.OpenLine().empty())
    PublishDisplayLine(captured.OpenLine());
  else if (lineEnded_)
    PublishDisplayLine(captured.back());
}

// A line costs a string of its own only when someone is shown each line.
void TDosThread::EndLine() {
  TCapturedLines &captured = *settings_.CapturedLines;
  captured.EndOpenLine();
  lineEnded_ = true;
  if (settings_.DisplayLines || settings_.OnNewLine)
    ShowEntireLine(std::string(captured.back()));
  else
    partialShown_ = false;
}

// A finished line replaces the partial one on display, if one is showing, and is reported whole.
void TDosThread::ShowEntireLine(const std::string &line) {
  ShowOnDisplay(line);
  partialShown_ = false;
  if (settings_.OnNewLine)
    settings_.OnNewLine(*settings_.Sender, line, otEntireLine);
}

void TDosThread::ShowPartialLine() {
  if (settings_.DisplayLines || settings_.OnNewLine) {
    std::string text(settings_.CapturedLines->OpenLine());
    ShowOnDisplay(text);
    if (settings_.OnNewLine)
      settings_.OnNewLine(*settings_.Sender, text, otBeginningOfLine);
  }
  partialShown_ = true;
}

// A child that ended in the middle of a line still gets that line captured.
void TDosThread::FlushPendingLine() {
  TCapturedLines &captured = *settings_.CapturedLines;
  if (captured.OpenLine().empty())
    return;
  captured.EndOpenLine();
  if (settings_.DisplayLines || settings_.OnNewLine)
    ShowEntireLine(std::string(captured.back()));
  PublishDisplayLine(captured.back());
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

void TDosThread::PublishDisplayLine(std::string_view text) {
  {
    std::lock_guard lock(displayMutex_);
    displayLine_.assign(text);
    if (!displayTaken_)
      return; // the caller has yet to take the line before, and will find this one instead
    displayTaken_ = false;
  }
  Signal();
}

void TDosThread::FeedInput() {
  for (;;) {
    std::string entry;
    {
      std::lock_guard lock(inputMutex_);
      if (pendingInput_.empty() || stopRequested_)
        return;
      entry = std::move(pendingInput_.front());
      pendingInput_.erase(pendingInput_.begin());
    }
    if (entry.empty() || settings_.CloseInput)
      continue; // not even a marker, or no input to send it to
    std::string text = entry.substr(1);
    if (settings_.InputToOutput)
      EchoInput(text);
    if (entry[0] == '_')
      text += "\r\n";
    pipes_->QueueInput(text);
  }
}

// The echo completes a partial line that is showing, as a terminal shows typed text after a
// prompt. It is shown, never captured: the partial line it completes leaves the captured lines.
void TDosThread::EchoInput(const std::string &text) {
  TCapturedLines &captured = *settings_.CapturedLines;
  std::string line = std::string(captured.OpenLine()) + text;
  captured.DropOpenLine();
  ShowEntireLine(line);
  PublishDisplayLine(line);
}

// ---- TDosCommand ----

TDosCommand::TDosCommand() = default;

TDosCommand::~TDosCommand() {
  for (auto &worker : workers_)
    worker->RequestStop();
  workers_.clear(); // joins them while the timer and the lists they use still exist
}

void TDosCommand::Run() {
  if (CommandLine.empty())
    return;
  if (worker_) {
    worker_->RequestStop();
    worker_->Join();
  }
  // Earlier workers are of no further use; one that runs the handler calling this is kept until
  // its thread has left it.
  std::erase_if(workers_, [](const std::unique_ptr<TDosThread> &worker) { return !worker->OnItsThread(); });
  if (!timer_)
    timer_ = std::make_unique<TProcessTimer>();
  CapturedLines.clear();
  timer_->StartCounting();
  TDosThread::TSettings settings;
  settings.Sender = this;
  settings.CommandLine = CommandLine;
  settings.CapturedLines = &CapturedLines;
  settings.DisplayLines = DisplayLines;
  settings.InputToOutput = InputToOutput;
  settings.CloseInput = CloseInput;
  settings.Signal = &signal_;
  settings.Timer = timer_.get();
  settings.MaxTimeAfterBeginning = MaxTimeAfterBeginning;
  settings.MaxTimeAfterLastOutput = MaxTimeAfterLastOutput;
  settings.OnNewLine = OnNewLine;
  settings.OnTerminated = OnTerminated;
  settings.PriorityClass = PriorityClass;
  settings.StartFolder = StartFolder;
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

std::string TDosCommand::DisplayLine() const {
  return worker_ ? worker_->DisplayLine() : std::string();
}

void TDosCommand::Stop() {
  if (worker_)
    worker_->RequestStop();
}
