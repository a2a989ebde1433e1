// The error hierarchy. Every failure the program reports is an Exception carrying the message text
// the user sees; EAbort is the silent abort that the top-level handler drops without a message box.
#pragma once
#include <exception>
#include <string>

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string &Message() const noexcept { return message_; }
  const char *what() const noexcept override { return message_.c_str(); }

private:
  std::string message_;
};

class EAbort : public Exception {
public:
  EAbort() : Exception("Operation aborted") {}
};

// A registry value that exists but holds the wrong type, or a write the registry refused.
class ERegistryException : public Exception {
public:
  using Exception::Exception;
};

// A file that could not be read or written as a whole.
class EFileError : public Exception {
public:
  using Exception::Exception;
};
