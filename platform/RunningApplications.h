#pragma once

#include <QString>
#include <QStringList>

namespace orvex {

// Answers whether a program runs for the current user, read from /proc: the stand-in for asking the
// desktop for running applications. Knows no particular application; callers pass executable names.
class RunningApplications {
public:
    explicit RunningApplications(QString procRoot = QStringLiteral("/proc"));

    // True when a process owned by the current user has one of `executableNames` as its command name
    // (as the kernel keeps it, cut to 15 bytes) or as the file name of its first argument.
    bool isAnyRunning(const QStringList &executableNames) const;

private:
    QString procRoot_;
};

} // namespace orvex
