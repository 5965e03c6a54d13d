#pragma once
// The few class-library pieces the components share: the root object, notify events and the
// general exception classes.

#include <functional>
#include <stdexcept>
#include <string>

namespace platform {

// Root of every component; events carry a pointer to the object that raised them.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;
// A handler sets Handled to ask the component to go on or to retry.
using THandlerEvent = std::function<void(bool& Handled)>;

// The general exception class: a message and nothing more.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A value out of the range its destination can hold.
class ERangeError : public Exception {
public:
    ERangeError() : Exception("Range check error") {}
    explicit ERangeError(const std::string& message) : Exception(message) {}
};

// A file stream that could not be opened or created.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};
class EFCreateError : public Exception {
public:
    using Exception::Exception;
};
// A file stream that opened but could not give the bytes it holds (it shrank, say).
class EReadError : public Exception {
public:
    using Exception::Exception;
};

// A text that does not convert to the number asked for.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Decimal text (leading blanks and a sign allowed) to a 32-bit integer; EConvertError
// "'%s' は整数ではありません" otherwise.
int StrToInt(const std::string& text);

// The application's handler for an exception that nothing else caught (a timer's handler, say).
// Without one installed, the message goes to the standard error stream.
using ExceptionHandler = std::function<void(const std::exception& error)>;
inline ExceptionHandler& ApplicationExceptionHandler() {
    static ExceptionHandler handler;
    return handler;
}
void HandleException(const std::exception& error);

}  // namespace platform
