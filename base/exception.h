// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's exception hierarchy. Every failure that reaches the user carries its German
// text here; the window decides how it is shown. Texts are UTF-8.

#include <exception>
#include <new>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& Message() const noexcept { return m_message; }

private:
    std::string m_message;
};

// A text that is not a valid number, e.g. "'%s' ist kein gültiger Gleitkommawert".
class EConvertError : public Exception {
    using Exception::Exception;
};

// Floating-point faults that the original raised through hardware traps.
class EMathError : public Exception {
    using Exception::Exception;
};
class EOverflow : public EMathError {
public:
    EOverflow() : EMathError("Gleitkommaüberlauf") {}
};
class EZeroDivide : public EMathError {
public:
    EZeroDivide() : EMathError("Gleitkommadivision durch Null") {}
};
class EInvalidOp : public EMathError {
public:
    EInvalidOp() : EMathError("Ungültige Gleitkommaoperation") {}
};

// Input/output error with the system error code it came from.
class EInOutError : public Exception {
public:
    EInOutError(std::string message, int errorCode)
        : Exception(std::move(message)), ErrorCode(errorCode) {}
    int ErrorCode;
};

class EStreamError : public Exception {
    using Exception::Exception;
};
class EFCreateError : public EStreamError {
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
    using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
    using EStreamError::EStreamError;
};

class EChartError : public Exception {
    using Exception::Exception;
};

class ECommError : public Exception {
    using Exception::Exception;
};

// The text a caught failure shows the user: the message of the program's own exceptions, "Zu
// wenig Arbeitsspeicher" when memory ran out (the library's own text is "std::bad_alloc"), and
// the library's text for any other standard exception.
inline std::string ExceptionMessage(const std::exception& e) {
    if (const auto* own = dynamic_cast<const Exception*>(&e)) {
        return own->Message();
    }
    if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
        return "Zu wenig Arbeitsspeicher";
    }
    return e.what();
}
