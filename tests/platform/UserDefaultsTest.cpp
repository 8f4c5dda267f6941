#include "platform/UserDefaults.h"

#include "PlistTestSupport.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <sys/stat.h>
#include <thread>

namespace orvex {
namespace {

using test::entry;
using Dict = PlistValue::Dictionary;
using Array = PlistValue::Array;
using namespace std::chrono_literals;

// Long enough that the background writer never runs during a test that flushes by hand.
constexpr auto noBackgroundWrite = std::chrono::hours(1);

QString s(const char *text) {
    return QString::fromUtf8(text);
}

QString folderFor(const char *test) {
    return test::homePath() + s("/.config/") + s(test);
}

std::optional<Dict> fileContent(const QString &path) {
    const auto value = PropertyList::readFile(path, UserDefaults::maxFileBytes);
    return value ? value->toDictionary() : std::nullopt;
}

int modeOf(const QString &path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return static_cast<int>(info.st_mode & 07777);
}

QStringList setAsideFiles(const QString &folder) {
    return QDir(folder).entryList({s("defaults.plist.corrupt-*")}, QDir::Files | QDir::Dirs | QDir::Hidden);
}

// Which typed reads answer for the key.
QList<PlistValue::Type> answeringReads(const UserDefaults &defaults, const QString &key) {
    QList<PlistValue::Type> types;
    if (defaults.boolValue(key))
        types.append(PlistValue::Type::Boolean);
    if (defaults.integerValue(key))
        types.append(PlistValue::Type::Integer);
    if (defaults.realValue(key))
        types.append(PlistValue::Type::Real);
    if (defaults.stringValue(key))
        types.append(PlistValue::Type::String);
    if (defaults.dataValue(key))
        types.append(PlistValue::Type::Data);
    if (defaults.dateValue(key))
        types.append(PlistValue::Type::Date);
    if (defaults.arrayValue(key))
        types.append(PlistValue::Type::Array);
    if (defaults.dictionaryValue(key))
        types.append(PlistValue::Type::Dictionary);
    return types;
}

TEST(UserDefaults, EveryTypeRoundTripsThroughTheFile) {
    // Folders that do not exist yet are created private to the user.
    const QString folder = folderFor("roundtrip") + s("/nested");
    const QString path = folder + s("/defaults.plist");
    const std::pair<QString, PlistValue> values[] = {
        {s("bool"), PlistValue(true)},
        {s("intMax"), PlistValue(std::numeric_limits<qint64>::max())},
        {s("intMin"), PlistValue(std::numeric_limits<qint64>::min())},
        {s("real"), PlistValue(-2.5e-7)},
        {s("string"), PlistValue(s("caf\u00e9 \u65e5\u672c \U0001F389 <&> \r\n"))},
        {s("data"), PlistValue(QByteArray("\x00\xff\x10 binary", 10))},
        {s("date"), PlistValue(Date(754321098.654321))},
        {s("array"),
         PlistValue(Array{PlistValue(1), PlistValue(Array{PlistValue(s("deep"))}), PlistValue(false)})},
        {s("dictionary"), PlistValue(Dict{{s("inner"), PlistValue(Dict{{s("x"), PlistValue(Date(-0.25))}})},
                                          {s("list"), PlistValue(Array{})}})},
        {s("launcher.key with spaces"), PlistValue(QString())},
    };
    {
        UserDefaults writer(path, noBackgroundWrite);
        for (const auto &[key, value] : values)
            writer.set(key, value);
        writer.set(s("removed"), PlistValue(1));
        writer.remove(s("removed"));
        ASSERT_TRUE(writer.flush());
        EXPECT_FALSE(writer.hasPendingChanges());
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("bplist00")); // the file is a binary property list
    EXPECT_EQ(modeOf(path), 0600);
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(folderFor("roundtrip")), 0700);

    const UserDefaults reader(path);
    QStringList expectedKeys;
    for (const auto &[key, value] : values) {
        EXPECT_EQ(reader.value(key), value) << key.toStdString();
        EXPECT_EQ(answeringReads(reader, key), QList<PlistValue::Type>{value.type()}) << key.toStdString();
        expectedKeys.append(key);
    }
    expectedKeys.sort();
    EXPECT_EQ(reader.keys(), expectedKeys);
    EXPECT_FALSE(reader.value(s("removed")));
    EXPECT_TRUE(answeringReads(reader, s("absent")).isEmpty());
}

// Runs a program with arguments to its end (at most 30 s); answers its exit code, or -1.
int runProgram(const QString &program, const QStringList &arguments, QByteArray *errors = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(30000) || !process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(30000);
        return -1;
    }
    if (errors)
        *errors = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The file is a standard property list: other tools read every key and value as it was written,
// control characters, fractions of seconds and values this build keeps opaque included.
TEST(UserDefaults, StandardReadersReadTheFileExactly) {
    const QString folder = folderFor("standard-readers");
    const QString path = folder + s("/defaults.plist");
    // A file another program wrote, holding a UID and an integer beyond 64 bits.
    test::BinaryPlistBuilder b;
    b.add(b.dictionary({1, 2}, {3, 4}));
    b.add(test::BinaryPlistBuilder::ascii("archivedObject"));
    b.add(test::BinaryPlistBuilder::ascii("serialNumber"));
    b.add(QByteArray("\x80\x2a", 2));
    b.add(QByteArray(1, '\x14') + QByteArray(8, '\0') + QByteArray(8, '\xff'));
    test::writeFile(path, b.build());
    const QString controlled = s("/home/u/a\x01b\x1f\tc.url");
    {
        UserDefaults defaults(path, noBackgroundWrite);
        defaults.set(
            s("launcherPathOpenCounts"),
            PlistValue(Dict{{controlled, PlistValue(3)}, {s("/home/u/\u00e9t\u00e9.pdf"), PlistValue(1)}}));
        defaults.set(s("text") + QChar(0x0b),
                     PlistValue(s("line") + QChar(0x0b) + s("feed") + QChar(0) + s("nul \U0001F389")));
        defaults.set(s("lone surrogate") + QChar(0xd800), PlistValue(QString(QChar(0xdc00))));
        defaults.set(s("date"), PlistValue(Date(754321098.25)));
        defaults.set(s("data"), PlistValue(QByteArray("\x00\xff binary", 9)));
        defaults.set(s("numbers"),
                     PlistValue(Array{PlistValue(-5), PlistValue(300), PlistValue(qint64(1) << 40),
                                      PlistValue(std::numeric_limits<qint64>::min()), PlistValue(0.1),
                                      PlistValue(true)}));
        ASSERT_TRUE(defaults.flush());
    }
    const auto written = PropertyList::readFile(path, UserDefaults::maxFileBytes);
    ASSERT_TRUE(written && written->dictionaryPointer());
    EXPECT_TRUE(entry(*written->dictionaryPointer(), "archivedObject")->opaquePointer());
    const auto counts = entry(*written->dictionaryPointer(), "launcherPathOpenCounts");
    ASSERT_TRUE(counts && counts->dictionaryPointer());
    EXPECT_EQ(counts->dictionaryPointer()->value(controlled, PlistValue(0)),
              PlistValue(3)); // the key exactly
    EXPECT_TRUE(entry(*written->dictionaryPointer(), s("lone surrogate\ufffd").toUtf8().constData()));

    // Python's plistlib reads it and writes what it read as a binary list of its own.
    const QString fromPython = folder + s("/python.plist");
    QByteArray errors;
    EXPECT_EQ(runProgram(
                  s("/usr/bin/python3"),
                  {s("-c"),
                   s("import plistlib, sys\n"
                     "with open(sys.argv[1], 'rb') as f: value = plistlib.load(f)\n"
                     "with open(sys.argv[2], 'wb') as f: plistlib.dump(value, f, fmt=plistlib.FMT_BINARY)\n"),
                   path, fromPython},
                  &errors),
              0)
        << errors.toStdString();
    EXPECT_EQ(PropertyList::readFile(fromPython, UserDefaults::maxFileBytes), written);

    // plistutil converts it to XML and to its own binary form.
    EXPECT_EQ(
        runProgram(s("/usr/bin/plistutil"), {s("-i"), path, s("-o"), folder + s("/plistutil.xml")}, &errors),
        0)
        << errors.toStdString();
    const QString fromPlistutil = folder + s("/plistutil.plist");
    EXPECT_EQ(runProgram(s("/usr/bin/plistutil"), {s("-i"), path, s("-f"), s("bin"), s("-o"), fromPlistutil},
                         &errors),
              0)
        << errors.toStdString();
    EXPECT_EQ(PropertyList::readFile(fromPlistutil, UserDefaults::maxFileBytes), written);
}

TEST(UserDefaults, InstancesSharingAFileKeepEachOthersKeys) {
    const QString path = folderFor("shared") + s("/defaults.plist");
    UserDefaults first(path, noBackgroundWrite);
    UserDefaults second(path, noBackgroundWrite);
    first.set(s("first"), PlistValue(1));
    first.set(s("shared"), PlistValue(s("from first")));
    second.set(s("second"), PlistValue(2));
    ASSERT_TRUE(first.flush());
    ASSERT_TRUE(second.flush());
    // After its flush, the second instance also holds what the first one wrote.
    EXPECT_EQ(second.stringValue(s("shared")), s("from first"));
    {
        const UserDefaults third(path);
        EXPECT_EQ(third.integerValue(s("first")), 1);
        EXPECT_EQ(third.integerValue(s("second")), 2);
    }

    // A removal by one instance is not undone by the other's older copy of the key.
    first.remove(s("shared"));
    ASSERT_TRUE(first.flush());
    second.set(s("second"), PlistValue(3));
    ASSERT_TRUE(second.flush());
    EXPECT_FALSE(second.value(s("shared")));
    const UserDefaults fourth(path);
    EXPECT_EQ(fourth.keys(), (QStringList{s("first"), s("second")}));
    EXPECT_EQ(fourth.integerValue(s("second")), 3);
}

TEST(UserDefaults, ConcurrentWritersLoseNoKeys) {
    const QString path = folderFor("concurrent") + s("/defaults.plist");
    constexpr int keysPerWriter = 150;
    {
        UserDefaults a(path, 1ms);
        UserDefaults b(path, 1ms);
        auto write = [](UserDefaults &defaults, const QString &prefix) {
            for (int i = 0; i < keysPerWriter; ++i) {
                defaults.set(prefix + QString::number(i), PlistValue(i));
                if (i % 10 == 0)
                    defaults.flush();
            }
        };
        std::thread left([&] { write(a, s("a")); });
        std::thread right([&] { write(b, s("b")); });
        left.join();
        right.join();
    }
    const auto content = fileContent(path);
    ASSERT_TRUE(content);
    EXPECT_EQ(content->size(), 2 * keysPerWriter);
    EXPECT_EQ(entry(*content, "a149"), PlistValue(149));
    EXPECT_EQ(entry(*content, "b0"), PlistValue(0));
}

// A read-merge-write under the file's lock: no increment of either instance is lost, however the
// two interleave.
TEST(UserDefaults, UpdatesOfTwoInstancesNeverLoseEachOthersChanges) {
    const QString path = folderFor("update") + s("/defaults.plist");
    constexpr int incrementsEach = 100;
    UserDefaults a(path, noBackgroundWrite);
    UserDefaults b(path, noBackgroundWrite);
    auto increment = [](UserDefaults &defaults, const QString &own) {
        for (int i = 0; i < incrementsEach; ++i) {
            ASSERT_TRUE(defaults.update([&](const UserDefaults::StoredValues &stored) {
                // The file's own value, which memory has taken in too.
                const qint64 count = stored(s("count")).value_or(PlistValue(0)).toInteger().value_or(0);
                EXPECT_EQ(defaults.integerValue(s("count")).value_or(0), count);
                defaults.set(s("count"), PlistValue(count + 1));
                defaults.set(own, PlistValue(i));
            }));
        }
    };
    std::thread left([&] { increment(a, s("a")); });
    std::thread right([&] { increment(b, s("b")); });
    left.join();
    right.join();
    const auto content = fileContent(path);
    ASSERT_TRUE(content);
    EXPECT_EQ(entry(*content, "count"), PlistValue(2 * incrementsEach));
    EXPECT_EQ(entry(*content, "a"), PlistValue(incrementsEach - 1));
    EXPECT_EQ(entry(*content, "b"), PlistValue(incrementsEach - 1));
    EXPECT_FALSE(a.hasPendingChanges());
}

TEST(UserDefaults, UpdateThatCannotWriteStillChangesMemory) {
    const QString blocker = folderFor("update-blocked");
    test::writeFile(blocker, "a file, not a folder");
    UserDefaults defaults(blocker + s("/defaults.plist"), noBackgroundWrite);
    testing::internal::CaptureStdout();
    int calls = 0;
    const bool written = defaults.update([&](const UserDefaults::StoredValues &stored) {
        ++calls;
        EXPECT_FALSE(stored(s("k")));
        defaults.set(s("k"), PlistValue(1));
    });
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(written);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(defaults.integerValue(s("k")), 1);
    EXPECT_TRUE(defaults.hasPendingChanges());
}

// A flush reads the file again only when it is another version than the one last read or written;
// every way another writer changes it is noticed.
TEST(UserDefaults, FlushSeesEveryChangeOfAnotherWriter) {
    const QString path = folderFor("versions") + s("/defaults.plist");
    UserDefaults mine(path, noBackgroundWrite);
    mine.set(s("mine"), PlistValue(1));
    ASSERT_TRUE(mine.flush());
    {
        UserDefaults other(path, noBackgroundWrite);
        other.set(s("other"), PlistValue(2));
        ASSERT_TRUE(other.flush());
    }
    ASSERT_TRUE(mine.flush());
    EXPECT_EQ(mine.integerValue(s("other")), 2);

    // Rewritten in place (same inode) by a program that knows nothing of the lock.
    const QByteArray replaced =
        PropertyList::writeBinary(PlistValue(Dict{{s("mine"), PlistValue(1)}, {s("edited"), PlistValue(3)}}));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
        ASSERT_EQ(file.write(replaced), replaced.size());
    }
    mine.set(s("later"), PlistValue(4));
    ASSERT_TRUE(mine.flush());
    EXPECT_EQ(fileContent(path),
              (Dict{{s("mine"), PlistValue(1)}, {s("edited"), PlistValue(3)}, {s("later"), PlistValue(4)}}));
    EXPECT_FALSE(mine.value(s("other")));
}

// A file that would outgrow its limit: a cache marked discardable is left out (and said once), so that
// the settings, counts and recent activations are still written. A value that does not fit and is no
// cache keeps what the file holds; the other keys are written all the same.
TEST(UserDefaults, ACacheMakesWayWhenTheFileWouldBeFull) {
    const QString path = folderFor("full") + s("/defaults.plist");
    constexpr qint64 limit = 1024 * 1024;
    {
        UserDefaults writer(path, noBackgroundWrite, limit);
        writer.set(s("someoneElsesBulk"), PlistValue(QByteArray(limit - 100000, 'b')));
        ASSERT_TRUE(writer.flush());
    }
    UserDefaults defaults(path, noBackgroundWrite, limit);
    defaults.setDiscardable(s("cache"));
    defaults.set(s("cache"), PlistValue(QByteArray(200000, 'c')));
    defaults.set(s("counts"), PlistValue(Dict{{s("/a"), PlistValue(3)}}));
    testing::internal::CaptureStdout();
    EXPECT_TRUE(defaults.flush());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Defaults file would exceed 1048576 bytes, written without: cache: " + path.toStdString() +
                  "\n");
    EXPECT_FALSE(defaults.value(s("cache")));
    EXPECT_FALSE(defaults.hasPendingChanges());
    const auto content = fileContent(path);
    ASSERT_TRUE(content);
    EXPECT_FALSE(entry(*content, "cache"));
    EXPECT_EQ(entry(*content, "counts"), PlistValue(Dict{{s("/a"), PlistValue(3)}}));

    // Counts that no longer fit are not a cache: they keep their stored value, and the theme set with
    // them is written.
    defaults.set(s("counts"), PlistValue(QByteArray(200000, 'n')));
    defaults.set(s("theme"), PlistValue(s("nord")));
    testing::internal::CaptureStdout();
    EXPECT_TRUE(defaults.flush());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Defaults file would exceed 1048576 bytes, kept the stored values of: counts: " +
                  path.toStdString() + "\n");
    EXPECT_FALSE(defaults.hasPendingChanges());
    EXPECT_EQ(defaults.value(s("counts")), PlistValue(Dict{{s("/a"), PlistValue(3)}}))
        << "memory is the file";
    const auto after = fileContent(path);
    ASSERT_TRUE(after);
    EXPECT_EQ(entry(*after, "counts"), PlistValue(Dict{{s("/a"), PlistValue(3)}}));
    EXPECT_EQ(entry(*after, "theme"), PlistValue(s("nord")));
    EXPECT_TRUE(entry(*after, "someoneElsesBulk"));
}

// No single key can make the file refuse the others: expendable keys give way largest first and only
// as far as needed; a new key too large for the file is left out.
TEST(UserDefaults, OneOversizedKeyNeverStopsTheOthersFromBeingWritten) {
    constexpr qint64 limit = 64 * 1024;
    struct Case {
        const char *name;
        std::function<void(UserDefaults &)> set;
        QStringList absent;
        QStringList present;
    } cases[] = {
        {"the larger of two expendable keys goes",
         [](UserDefaults &d) {
             d.set(s("history"), PlistValue(QByteArray(50000, 'h')));
             d.set(s("cache"), PlistValue(QByteArray(20000, 'c')));
         },
         {s("history")},
         {s("cache"), s("theme")}},
        {"a new value no file could hold",
         [](UserDefaults &d) { d.set(s("huge"), PlistValue(QString(limit, QLatin1Char('x')))); },
         {s("huge")},
         {s("theme")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folderFor("oversized") + s("/defaults.plist");
        QFile::remove(path);
        UserDefaults defaults(path, noBackgroundWrite, limit);
        defaults.setDiscardable(s("history"));
        defaults.setDiscardable(s("cache"));
        defaults.set(s("theme"), PlistValue(s("nord")));
        c.set(defaults);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(defaults.flush());
        EXPECT_NE(testing::internal::GetCapturedStdout().find("Defaults file would exceed"),
                  std::string::npos);
        const auto content = fileContent(path);
        ASSERT_TRUE(content);
        for (const QString &key : c.absent)
            EXPECT_FALSE(content->contains(key)) << key.toStdString();
        for (const QString &key : c.present)
            EXPECT_TRUE(content->contains(key)) << key.toStdString();
        EXPECT_FALSE(defaults.hasPendingChanges());
    }
}

// The user deletes the file (or its folder) while the launcher runs: the next write, or the end of the
// instance, puts back every value it holds, not only those changed since.
TEST(UserDefaults, AFileDeletedWhileRunningIsWrittenBackWhole) {
    const Dict settings{{s("launcherThemeID"), PlistValue(s("nord"))},
                        {s("launcherHotKeyCode"), PlistValue(49)},
                        {s("launcherWindowX"), PlistValue(340.0)},
                        {s("launcherPermissionsOnboardingCompleted"), PlistValue(true)}};
    for (const bool wholeFolder : {false, true}) {
        SCOPED_TRACE(wholeFolder ? "folder deleted" : "file deleted");
        const QString folder = folderFor("deleted");
        const QString path = folder + s("/defaults.plist");
        QDir(folder).removeRecursively();
        {
            UserDefaults writer(path, noBackgroundWrite);
            for (auto it = settings.cbegin(); it != settings.cend(); ++it)
                writer.set(it.key(), it.value());
            ASSERT_TRUE(writer.flush());
        }
        {
            UserDefaults running(path, noBackgroundWrite);
            ASSERT_EQ(running.value(s("launcherThemeID")), PlistValue(s("nord")));
            wholeFolder ? QDir(folder).removeRecursively() : QFile::remove(path);
            running.set(s("launcherWindowTopY"), PlistValue(95.0));
            ASSERT_TRUE(running.flush());
            Dict expected = settings;
            expected.insert(s("launcherWindowTopY"), PlistValue(95.0));
            EXPECT_EQ(fileContent(path), expected);

            // Deleted again, with nothing changed afterwards: the end of the instance writes it back.
            QFile::remove(path);
        }
        Dict expected = settings;
        expected.insert(s("launcherWindowTopY"), PlistValue(95.0));
        EXPECT_EQ(fileContent(path), expected);
    }
}

TEST(UserDefaults, ChangesReachTheFileWithoutAnExplicitFlush) {
    const QString path = folderFor("background") + s("/defaults.plist");
    UserDefaults defaults(path, 20ms);
    defaults.set(s("soon"), PlistValue(s("written")));
    EXPECT_TRUE(test::waitUntil([&] {
        const auto content = fileContent(path);
        return content && entry(*content, "soon") == PlistValue(s("written"));
    }));
    EXPECT_TRUE(test::waitUntil([&] { return !defaults.hasPendingChanges(); }));

    // Destruction writes what is still pending.
    {
        UserDefaults late(path, noBackgroundWrite);
        late.set(s("late"), PlistValue(true));
    }
    const auto content = fileContent(path);
    ASSERT_TRUE(content);
    EXPECT_EQ(entry(*content, "late"), PlistValue(true));
    EXPECT_EQ(entry(*content, "soon"), PlistValue(s("written")));
}

TEST(UserDefaults, KilledWriterLeavesTheLastCompleteState) {
    const QString folder = folderFor("killed");
    const QString path = folder + s("/defaults.plist");
    QRandomGenerator random(7);
    for (int round = 0; round < 12; ++round) {
        QProcess writer;
        writer.start(s(ORVEX_DEFAULTS_WRITER), {path});
        ASSERT_TRUE(writer.waitForStarted());
        qint64 lastReported = 0;
        int reports = 0;
        auto readReports = [&] {
            while (writer.canReadLine()) {
                const QByteArray line = writer.readLine().trimmed();
                ASSERT_TRUE(line.startsWith("flushed ")) << line.toStdString();
                lastReported = line.mid(8).toLongLong();
                ++reports;
            }
        };
        const int wanted = 1 + round % 3;
        while (reports < wanted) {
            ASSERT_TRUE(writer.waitForReadyRead(10000)) << "the writer stopped reporting";
            readReports();
        }
        // Kill at an arbitrary point of a later flush (one takes some tens of milliseconds).
        QThread::usleep(random.bounded(40000));
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(10000));
        readReports();

        const auto content = fileContent(path);
        ASSERT_TRUE(content) << "round " << round;
        const auto counter = entry(*content, "counter");
        ASSERT_TRUE(counter && counter->toInteger());
        // The file holds the last reported flush, or the one that completed just before the kill.
        EXPECT_GE(*counter->toInteger(), lastReported);
        EXPECT_LE(*counter->toInteger(), lastReported + 1);
        // ... and all of that flush: every key from the same write.
        const auto payload = entry(*content, "payload");
        ASSERT_TRUE(payload && payload->toString());
        EXPECT_TRUE(payload->toString()->endsWith(QLatin1Char('x') + QString::number(*counter->toInteger())));
        EXPECT_EQ(entry(*content, "nested"), PlistValue(Dict{{s("counter"), *counter}}));
    }
    EXPECT_TRUE(setAsideFiles(folder).isEmpty());
    const UserDefaults after(path);
    EXPECT_TRUE(after.integerValue(s("counter")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              (QStringList{s("defaults.plist"), s("defaults.plist.lock")}));
}

// A writer killed between writing its copy and renaming it leaves "defaults.plist.XXXXXX" behind.
TEST(UserDefaults, LeftOverCopiesOfKilledWritersAreRemoved) {
    const QString folder = folderFor("left-over");
    const QString path = folder + s("/defaults.plist");
    const QStringList kept = {s("defaults.plist.corrupt-20240101-000000"),
                              s("defaults.plist.lock"),
                              s("defaults.plist.notes"),
                              s("defaults.plist.Ab12Cd7"),
                              s("other.plist.Ab12Cd"),
                              s("defaults.plist.Ab-2Cd")};
    for (const QString &name : kept)
        test::writeFile(folder + QLatin1Char('/') + name, "someone else's");
    test::makeDirectory(folder + s("/defaults.plist.Zz99Yy"));
    test::writeFile(folder + s("/defaults.plist.Ab12Cd"), "<?xml half a copy");
    auto leftOvers = [&] {
        return QDir(folder).entryList({s("defaults.plist.??????")}, QDir::Files | QDir::Hidden);
    };

    UserDefaults defaults(path, noBackgroundWrite);
    EXPECT_EQ(leftOvers(), QStringList{s("defaults.plist.Ab-2Cd")}); // not a temporary name
    // Also while running: each write clears what writers killed meanwhile left behind.
    test::writeFile(folder + s("/defaults.plist.xY7zQ1"), "<?xml half a copy");
    defaults.set(s("k"), PlistValue(1));
    ASSERT_TRUE(defaults.flush());
    EXPECT_EQ(leftOvers(), QStringList{s("defaults.plist.Ab-2Cd")}); // not a temporary name
    for (const QString &name : kept)
        EXPECT_TRUE(QFileInfo::exists(folder + QLatin1Char('/') + name)) << name.toStdString();
    EXPECT_TRUE(QFileInfo(folder + s("/defaults.plist.Zz99Yy")).isDir());
}

TEST(UserDefaults, UnreadableFileIsSetAsideAndReadingStartsEmpty) {
    test::BinaryPlistBuilder brokenBinary;
    brokenBinary.add(brokenBinary.array({0})); // contains itself
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"garbage", "\x01\x02 not a property list"},
        {"empty", ""},
        {"truncated", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><integer>1</integer>"},
        {"array root", "<plist version=\"1.0\"><array><integer>1</integer></array></plist>"},
        {"cyclic binary", brokenBinary.build()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = folderFor("corrupt") + QLatin1Char('/') + s(c.name);
        const QString path = folder + s("/defaults.plist");
        test::writeFile(path, c.bytes);

        testing::internal::CaptureStdout();
        UserDefaults defaults(path, noBackgroundWrite);
        const QString output = QString::fromStdString(testing::internal::GetCapturedStdout());

        const QStringList aside = setAsideFiles(folder);
        ASSERT_EQ(aside.size(), 1);
        const QString asidePath = folder + QLatin1Char('/') + aside.first();
        EXPECT_EQ(output.count(QLatin1Char('\n')), 1) << output.toStdString();
        EXPECT_TRUE(output.startsWith(s("Unreadable defaults file moved aside"))) << output.toStdString();
        EXPECT_TRUE(output.contains(asidePath)) << output.toStdString();
        QFile kept(asidePath);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), c.bytes);
        EXPECT_TRUE(defaults.keys().isEmpty());

        // Writing starts a fresh file and leaves the set-aside copy alone.
        defaults.set(s("fresh"), PlistValue(1));
        ASSERT_TRUE(defaults.flush());
        EXPECT_EQ(fileContent(path), (Dict{{s("fresh"), PlistValue(1)}}));
        EXPECT_EQ(setAsideFiles(folder), aside);
    }
}

TEST(UserDefaults, FileCorruptedWhileRunningIsSetAsideOnFlush) {
    const QString folder = folderFor("corrupted-later");
    const QString path = folder + s("/defaults.plist");
    UserDefaults defaults(path, noBackgroundWrite);
    defaults.set(s("kept"), PlistValue(s("value")));
    ASSERT_TRUE(defaults.flush());
    test::writeFile(path, "garbage written by someone else");

    testing::internal::CaptureStdout();
    defaults.set(s("added"), PlistValue(2));
    const bool flushed = defaults.flush();
    const QString output = QString::fromStdString(testing::internal::GetCapturedStdout());
    ASSERT_TRUE(flushed);
    EXPECT_TRUE(output.startsWith(s("Unreadable defaults file moved aside"))) << output.toStdString();
    EXPECT_EQ(setAsideFiles(folder).size(), 1);
    // What this instance knew replaces the lost file, together with the new change.
    EXPECT_EQ(fileContent(path), (Dict{{s("added"), PlistValue(2)}, {s("kept"), PlistValue(s("value"))}}));
}

TEST(UserDefaults, BinaryFileIsRead) {
    test::BinaryPlistBuilder b;
    b.add(b.dictionary({1}, {2}));
    b.add(test::BinaryPlistBuilder::ascii("launcherThemeID"));
    b.add(test::BinaryPlistBuilder::ascii("midnight"));
    const QString path = folderFor("binary") + s("/defaults.plist");
    test::writeFile(path, b.build());
    UserDefaults defaults(path, noBackgroundWrite);
    EXPECT_EQ(defaults.stringValue(s("launcherThemeID")), s("midnight"));
    defaults.set(s("other"), PlistValue(false));
    ASSERT_TRUE(defaults.flush());
    EXPECT_EQ(fileContent(path),
              (Dict{{s("launcherThemeID"), PlistValue(s("midnight"))}, {s("other"), PlistValue(false)}}));
}

TEST(UserDefaults, FlushThatCannotWriteReturnsFalseAndKeepsTheChanges) {
    // A regular file where the folder should be stops the write even for root.
    const QString blocker = folderFor("blocked");
    test::writeFile(blocker, "a file, not a folder");
    const QString path = blocker + s("/defaults.plist");
    UserDefaults defaults(path, noBackgroundWrite);
    defaults.set(s("pending"), PlistValue(s("value")));

    testing::internal::CaptureStdout();
    const bool flushed = defaults.flush();
    const QString output = QString::fromStdString(testing::internal::GetCapturedStdout());
    EXPECT_FALSE(flushed);
    EXPECT_TRUE(output.startsWith(s("Failed to write defaults file: ") + path)) << output.toStdString();
    EXPECT_TRUE(defaults.hasPendingChanges());
    EXPECT_EQ(defaults.stringValue(s("pending")), s("value"));

    // Once the folder can exist, the same change is written.
    ASSERT_TRUE(QFile::remove(blocker));
    test::makeDirectory(blocker);
    EXPECT_TRUE(defaults.flush());
    EXPECT_FALSE(defaults.hasPendingChanges());
    EXPECT_EQ(fileContent(path), (Dict{{s("pending"), PlistValue(s("value"))}}));
}

TEST(UserDefaults, RefusesValuesNestedTooDeeplyToReadBack) {
    PlistValue deep(Array{});
    for (int depth = 0; depth < PropertyList::maxDepth; ++depth)
        deep = PlistValue(Array{deep});
    UserDefaults defaults(folderFor("deep") + s("/defaults.plist"), noBackgroundWrite);
    testing::internal::CaptureStdout();
    defaults.set(s("deep"), deep);
    const QString output = QString::fromStdString(testing::internal::GetCapturedStdout());
    EXPECT_TRUE(output.contains(s("deep"))) << output.toStdString();
    EXPECT_FALSE(defaults.value(s("deep")));
    EXPECT_FALSE(defaults.hasPendingChanges());
}

TEST(UserDefaults, StandardDefaultsLiveInThePrivateConfigFolder) {
    const QString folder = test::homePath() + s("/.config/orvex-launcher");
    EXPECT_EQ(UserDefaults::standardFilePath(), folder + s("/defaults.plist"));
    EXPECT_EQ(UserDefaults::standard().filePath(), UserDefaults::standardFilePath());
    UserDefaults::standard().set(s("launcherStandardTest"), PlistValue(true));
    ASSERT_TRUE(UserDefaults::standard().flush());
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(UserDefaults::standardFilePath()), 0600);
    EXPECT_EQ(entry(*fileContent(UserDefaults::standardFilePath()), "launcherStandardTest"),
              PlistValue(true));
}

TEST(UserDefaults, MemoryOnlyInstanceTouchesNoFile) {
    UserDefaults defaults;
    defaults.set(s("k"), PlistValue(1));
    EXPECT_TRUE(defaults.flush());
    EXPECT_FALSE(defaults.hasPendingChanges());
    EXPECT_EQ(defaults.integerValue(s("k")), 1);
    EXPECT_TRUE(defaults.filePath().isEmpty());
}

} // namespace
} // namespace orvex
