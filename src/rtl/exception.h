#pragma once

#include <exception>
#include <string>

namespace quorvane {

// Base of every failure this system raises: it carries one message text and nothing else,
// so that a handler can show any failure without knowing its class.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}

    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Runtime errors named by the text lists, files and number conversions.
class EStringListError : public Exception {
public:
    using Exception::Exception;
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Raised when an object is asked to take over the content of one of a foreign class.
class EAssignError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace quorvane
