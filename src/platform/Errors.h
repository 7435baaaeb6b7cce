#pragma once
// The errors the system raises. Every error carries the system's own message
// text; the application-wide report shows that text to the user.

#include <QString>
#include <stdexcept>

class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString()), fMessage(message) {}
    QString Message() const { return fMessage; }

private:
    QString fMessage;
};

// A list operation failed ("Duplicates not allowed", "Item not found").
class EListError : public Exception {
public:
    using Exception::Exception;
};

// A text could not be converted to a number or date.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A variant (an untyped value such as an XML attribute) could not be converted.
class EVariantError : public Exception {
public:
    using Exception::Exception;
};

// A file could not be parsed.
class EParseError : public Exception {
public:
    using Exception::Exception;
};

// An operating-system call failed; carries the system's error code.
class EOSError : public Exception {
public:
    EOSError(int code, const QString& message) : Exception(message), fCode(code) {}
    int Code() const { return fCode; }

private:
    int fCode;
};

// A file could not be written completely; the old file, if any, is untouched.
class EWriteError : public Exception {
public:
    using Exception::Exception;
};

// A grid was addressed with a row or column that does not exist.
class EGridError : public Exception {
public:
    using Exception::Exception;
};
