#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace orvex::test {

// Makes this process (and so every process it starts) hermetic: HOME is `root`/home with the XDG_*_HOME
// folders and XDG_RUNTIME_DIR inside `root`; XDG_DATA_DIRS names an empty folder for the test's own data
// and one that lends only the machine's MIME database and icon themes; XDG_CONFIG_DIRS names an empty
// folder; the locale is C.UTF-8; Qt draws offscreen at scale 1 with no other QT_* setting; no display, no
// desktop session and no session bus of the user's is reachable. Fonts come from fontconfig's own
// configuration (/etc/fonts), which XDG_CONFIG_DIRS does not move. Returns false when the folders cannot
// be made.
bool isolateTestEnvironment(const QTemporaryDir &root);

// Delivers, at the end of every test, the events the test left queued for the event loop (work posted to
// the main queue, notifications on their way), so that they reach the test that caused them and never a
// later one of the same process. Call after InitGoogleTest.
void deliverQueuedEventsAfterEachTest();

// Removes every file (links, sockets and FIFOs too) that earlier tests of the process left in the home,
// the runtime folder and the system data and configuration folders, so that a test sees them as a test
// of its own process would. Folders stay: libraries such as GIO watch them from their first use on.
void removeFilesOfEarlierTests();

// Calls removeFilesOfEarlierTests() before every test but the first. Call after InitGoogleTest.
void startEveryTestWithoutEarlierFiles();

// The data folder listed first in XDG_DATA_DIRS, empty at the start: "applications" and the like put in
// it are what a system installation would provide.
QString systemDataFolder();
// The folder that lends the machine's MIME database and icon themes, listed last in XDG_DATA_DIRS.
QString machineDataFolder();
// XDG_DATA_DIRS as the test process was started with it: the machine's own data folders, its
// applications included.
QStringList machineDataFolders();

// For a test that truly reads what the machine has installed: while the object lives, XDG_DATA_DIRS is
// the machine's own (machineDataFolders()), for this process and the processes it starts.
class MachineDataFolders {
public:
    MachineDataFolders();
    ~MachineDataFolders();
    MachineDataFolders(const MachineDataFolders &) = delete;
    MachineDataFolders &operator=(const MachineDataFolders &) = delete;

private:
    QByteArray saved_;
};

} // namespace orvex::test
