#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace orvex::test {

// A desktop of the test's own: XDG data and configuration folders holding only what the test writes
// (plus the system's MIME database, so that file types are recognised), programs that record how they
// were started, desktop entries that run them, and the user's default handlers in mimeapps.list.
// The environment is set once per test process, before anything asks GIO; each test starts from an empty
// desktop.
class DesktopFixture {
public:
    DesktopFixture();
    ~DesktopFixture();
    DesktopFixture(const DesktopFixture &) = delete;
    DesktopFixture &operator=(const DesktopFixture &) = delete;

    // The data folder listed in XDG_DATA_DIRS, as a system installation would be.
    static QString systemDataFolder();
    static QString userDataFolder();
    static QString userConfigFolder();

    // A program that writes its arguments, one per line, to the file at `recordPath()` of `name`.
    QString recordingProgram(const QString &name);
    // A program that writes how it was started to the file at `recordPath()` of `name`: a line
    // "cwd=<its working folder>", then "env:<NAME=value>" for each variable, then "arg=<argument>" for each
    // argument.
    QString startRecordingProgram(const QString &name);
    // Where the program `name` records; the file appears only once the whole record is written.
    QString recordPath(const QString &name) const;
    // The recorded arguments once they appear within the time-out; nothing when the program never ran.
    std::optional<QStringList> recorded(const QString &name,
                                        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // Writes an application entry running `exec` to `folder`/`fileName`; returns its path.
    QString writeEntry(const QString &folder, const QString &fileName, const QString &exec,
                       const QString &extraLines = {});
    // Rebuilds the folder's mimeinfo.cache, as installing a package does: the types the entries open
    // are known from it alone.
    void updateMimeCache(const QString &applicationsFolder);
    // Writes the user's mimeapps.list with these "type=entry id" defaults.
    void writeDefaults(const QStringList &defaults);
    // Returns once GIO has seen every change to the folders so far (the writers above call it).
    void settle();

private:
    QString root_;
};

} // namespace orvex::test
