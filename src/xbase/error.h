#pragma once

#include <QString>
#include <stdexcept>

namespace xbase {

// Every failure of the engine. The text names the file and what was wrong and is
// meant for the user (it ends up in the program's general error box).
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// A lock that another cursor or process holds: a record in use, a table opened
// exclusively elsewhere. Callers that retry or report "record in use" catch this one.
class LockError : public Error {
public:
    using Error::Error;
};

} // namespace xbase
