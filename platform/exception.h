// The system's base error class and the runtime errors the lower layers raise.
// Every failure that crosses a unit boundary is one of these, carrying its message text.
#pragma once

#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
  public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// A text that does not convert to the wanted type ("'%s' is not a valid integer value").
class EConvertError : public Exception {
  public:
    using Exception::Exception;
};

// A value outside the range of its target type ("Range check error").
class ERangeError : public Exception {
  public:
    using Exception::Exception;
};

// An input/output failure of a file the system writes; ErrorCode is the runtime's code.
class EInOutError : public Exception {
  public:
    EInOutError(std::string message, int errorCode)
        : Exception(std::move(message)), ErrorCode(errorCode) {}
    int ErrorCode;
};
