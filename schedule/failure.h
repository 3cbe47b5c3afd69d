#pragma once

#include <QString>
#include <exception>
#include <string>

namespace horvex {

// A failure raised by a step of a command and caught by the command's trap,
// which shows description() to the operator after "Error: ".
class Failure : public std::exception {
public:
    explicit Failure(QString description)
        : description_(std::move(description))
        , utf8_(description_.toStdString()) {}

    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    QString description_;
    std::string utf8_;
};

// A file changed on disk since it was read: whoever saves must read it again
// rather than write over what another program or person put there.
class ChangedOnDisk : public Failure {
public:
    using Failure::Failure;
};

} // namespace horvex
