#include "Application.h"
#include "Desktop.h"
#include "Exception.h"
#include "Files.h"

TApplication &Application() {
  static TApplication application;
  return application;
}

TApplication::~TApplication() = default;

std::string TApplication::ExeName() const { return exeName_.empty() ? Fs::ProgramFileName() : exeName_; }

int TApplication::ParamCount() const {
  if (parametersSet_)
    return int(parameters_.size());
  return int(PlatformParameters().size());
}

std::string TApplication::ParamStr(int index) const {
  if (index == 0)
    return ExeName();
  const auto &parameters = parametersSet_ ? parameters_ : PlatformParameters();
  return index > 0 && index <= int(parameters.size()) ? parameters[std::size_t(index - 1)] : std::string();
}

void TApplication::SetParameters(std::vector<std::string> parameters) {
  parameters_ = std::move(parameters);
  parametersSet_ = true;
}

TDesktop &TApplication::Desktop() { return desktop_ ? *desktop_ : *platformDesktop_; }

void TApplication::SetDesktop(TDesktop *desktop) { desktop_ = desktop; }

void TApplication::HandleException(const std::exception &error) {
  if (dynamic_cast<const EAbort *>(&error))
    return;
  std::string message = error.what();
  // The standard error box ends a message with a full stop unless it ends in punctuation already.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
    message += '.';
  Desktop().ShowError(message);
}
