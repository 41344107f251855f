#pragma once

#include <QString>
#include <stdexcept>

namespace reportkit {

// Every failure of the report engine. The text is meant for the user: it names
// the file (and line) or the object concerned and what was wrong.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

} // namespace reportkit
