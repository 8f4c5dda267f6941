// The panel of the real orvex-launcher as a person uses it: typing at a person's pace, the keys held
// while the hot key shows it, Return on what is selected. Applications are desktop entries of the test's
// own whose programs leave a mark when they start.
#include "LauncherEndToEndFixture.h"

#include "support/AccessibilityBus.h"
#include "support/ScreenReader.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>

#include <iostream>

namespace orvex {
namespace {

using test::ChildProcess;
using test::DesktopSession;
using test::LauncherEndToEnd;
using test::prepareHome;
using test::XWindowInfo;

// Where the fixture applications' programs leave their marks.
QString markPath(const QString &id) {
    return test::homePath() + QStringLiteral("/started-") + id;
}

// A desktop entry in the user's applications folder whose program writes its mark file; `icon` is its
// Icon= value.
void installApplication(const QString &id, const QString &name, const QString &icon = {}) {
    const QString program = test::homePath() + QStringLiteral("/programs/") + id;
    test::writeFile(program, QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(markPath(id)).toUtf8());
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::remove(markPath(id));
    test::writeFile(
        qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications/") + id +
            QStringLiteral(".desktop"),
        QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n%3")
            .arg(name, program, icon.isEmpty() ? QString() : QStringLiteral("Icon=%1\n").arg(icon))
            .toUtf8());
}

bool similar(const QColor &a, const QColor &b) {
    return std::abs(a.red() - b.red()) < 16 && std::abs(a.green() - b.green()) < 16 &&
           std::abs(a.blue() - b.blue()) < 16 && std::abs(a.alpha() - b.alpha()) < 16;
}

class PanelEndToEnd : public LauncherEndToEnd {
protected:
    // The first picture of a window's _NET_WM_ICON: width, height, then its pixels as ARGB numbers.
    std::optional<QImage> firstWindowIcon(quint32 window) const {
        QString output;
        if (!session->run(QStringLiteral("xprop"),
                          {QStringLiteral("-id"), QString::number(window), QStringLiteral("-f"),
                           QStringLiteral("_NET_WM_ICON"), QStringLiteral("32c"), QStringLiteral(" $0+\n"),
                           QStringLiteral("_NET_WM_ICON")},
                          &output))
            return std::nullopt;
        const qsizetype start = output.indexOf(QLatin1Char(' '));
        if (start < 0)
            return std::nullopt;
        const QStringList values = output.mid(start).split(QLatin1Char(','));
        const int width = values.value(0).trimmed().toInt();
        const int height = values.value(1).trimmed().toInt();
        if (width <= 0 || height <= 0 || values.size() < 2 + width * height)
            return std::nullopt;
        QImage image(width, height, QImage::Format_ARGB32);
        for (int i = 0; i < width * height; ++i)
            image.setPixel(i % width, i / width, QRgb(values.at(2 + i).trimmed().toUInt()));
        return image;
    }
    // The launcher sees only the test's applications, none of the machine's.
    QProcessEnvironment launcherEnvironment() const {
        QProcessEnvironment environment = session->environment();
        const QString systemData = test::homePath() + QStringLiteral("/system-data");
        test::makeDirectory(systemData);
        environment.insert(QStringLiteral("XDG_DATA_DIRS"), systemData);
        return environment;
    }
    // The ids of the fixture applications that have started so far.
    static QStringList started(const QStringList &ids) {
        QStringList marks;
        for (const QString &id : ids)
            if (QFile::exists(markPath(id)))
                marks.append(id);
        return marks;
    }
};

// Typed at a person's pace, each prefix gets its own answer; the selection the user never moved is the
// first row of the last one, so Return opens the best match and not a row kept from an earlier list.
TEST_F(PanelEndToEnd, ReturnAfterTypingOpensTheFirstRowOfTheLastAnswer) {
    prepareHome();
    const QStringList ids = {QStringLiteral("velox"), QStringLiteral("velox-settings")};
    installApplication(ids.at(0), QStringLiteral("Velox File Manager"));
    installApplication(ids.at(1), QStringLiteral("File Manager Settings"));
    startSession();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, launcherEnvironment());
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(waitForFocus(panel.id));

    ASSERT_TRUE(type(QStringLiteral("velox"), 150));
    ASSERT_TRUE(waitForHeight(panel.id, 460));
    session->settle(std::chrono::milliseconds(400));
    ASSERT_TRUE(key(QStringLiteral("ctrl+a")));
    ASSERT_TRUE(type(QStringLiteral("file"), 150));
    session->settle(std::chrono::milliseconds(600));
    DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("panel-typed-file"));

    ASSERT_TRUE(key(QStringLiteral("Return")));
    ASSERT_TRUE(session->waitUntil([&] { return !started(ids).isEmpty(); })) << "Return opened nothing";
    session->settle(std::chrono::milliseconds(300));
    EXPECT_EQ(started(ids).join(QLatin1Char(',')).toStdString(), "velox-settings")
        << "the name that begins with the query is the first row";
    quitWithControlQ(launcher, panel.id);
}

// The user opens one application again and again by another query; the query whose answer was cached
// before now answers it first, and Return opens it: the row that stood first in the cached answer keeps
// no claim on the selection once the answer is ranked afresh.
TEST_F(PanelEndToEnd, AfterLearningReturnOpensTheRowThatNowComesFirst) {
    prepareHome();
    const QStringList ids = {QStringLiteral("velox"), QStringLiteral("velox-settings")};
    installApplication(ids.at(0), QStringLiteral("Velox File Manager"));
    installApplication(ids.at(1), QStringLiteral("File Manager Settings"));
    startSession();
    test::AccessibilityBus bus;
    ASSERT_TRUE(bus.isReady()) << bus.failure().toStdString();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, bus.environment(launcherEnvironment()));
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(waitForFocus(panel.id));
    const std::optional<test::AccessibleRef> app = bus.waitForApplication(launcher.pid());
    ASSERT_TRUE(app);
    // The rows as the list shows them, "*" before the selected one.
    const auto shownRows = [&] {
        QStringList names;
        const auto list = bus.waitForNode(
            *app, [](const test::AccessibleNode &node) { return node.name == QLatin1String("Results"); },
            std::chrono::milliseconds(0));
        if (list)
            for (const test::AccessibleRef &row : bus.children(list->ref)) {
                const test::AccessibleNode node = bus.node(row);
                names << (node.has(QStringLiteral("selected")) ? QStringLiteral("*") : QString()) + node.name;
            }
        return names;
    };
    const auto firstRowIs = [&](const QString &name) {
        return session->waitUntil([&] {
            const QStringList rows = shownRows();
            return !rows.isEmpty() && rows.constFirst().endsWith(name);
        });
    };

    ASSERT_TRUE(type(QStringLiteral("manager"), 100));
    ASSERT_TRUE(firstRowIs(QStringLiteral("File Manager Settings")))
        << shownRows().join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitForViewable(panel.id, false));

    for (int opening = 0; opening < 6; ++opening) {
        SCOPED_TRACE(opening);
        ASSERT_TRUE(showWithHotKey(panel.id));
        ASSERT_TRUE(key(QStringLiteral("ctrl+a")));
        ASSERT_TRUE(type(QStringLiteral("velox"), 50));
        ASSERT_TRUE(firstRowIs(QStringLiteral("Velox File Manager")));
        ASSERT_TRUE(key(QStringLiteral("Return")));
        ASSERT_TRUE(session->waitUntil([&] { return QFile::remove(markPath(ids.at(0))); }))
            << "Return did not open it";
        ASSERT_TRUE(waitForViewable(panel.id, false));
    }

    ASSERT_TRUE(showWithHotKey(panel.id));
    ASSERT_TRUE(key(QStringLiteral("ctrl+a")));
    ASSERT_TRUE(type(QStringLiteral("manager"), 100));
    ASSERT_TRUE(firstRowIs(QStringLiteral("Velox File Manager")))
        << "learning did not bring it first: " << shownRows().join(QLatin1Char('|')).toStdString();
    DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("panel-learned-first-row"));
    EXPECT_TRUE(shownRows().constFirst().startsWith(QLatin1Char('*')))
        << "the selection is not on the first row: " << shownRows().join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(key(QStringLiteral("Return")));
    ASSERT_TRUE(session->waitUntil([&] { return !started(ids).isEmpty(); })) << "Return opened nothing";
    EXPECT_EQ(started(ids).join(QLatin1Char(',')).toStdString(), "velox");
    quitWithControlQ(launcher, panel.id);
}

// The field's menu opens from the keyboard, at the caret, with the Menu key and with Shift+F10; Escape
// closes it and leaves the panel as it was, and its items are chosen with the keys.
TEST_F(PanelEndToEnd, TheMenuKeyAndShiftF10OpenTheFieldsMenu) {
    prepareHome();
    startSession();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, launcherEnvironment());
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(waitForFocus(panel.id));
    ASSERT_TRUE(type(QStringLiteral("velox"), 50));
    // The menu: a pop-up window of the launcher's own over the panel.
    const auto menu = [&]() -> std::optional<XWindowInfo> {
        for (const XWindowInfo &window : session->windowsOf(launcher.pid()))
            if (window.viewable && window.overrideRedirect && window.topLevel != panel.topLevel &&
                geometry(panel.id).intersects(window.geometry))
                return window;
        return std::nullopt;
    };

    ASSERT_TRUE(key(QStringLiteral("Menu")));
    EXPECT_TRUE(session->waitUntil([&] { return menu().has_value(); })) << "the Menu key opened no menu";
    DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("panel-field-menu-by-keyboard"));
    // One Escape closes it: the key opened one menu, not one for the field and another from the toolkit.
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    EXPECT_TRUE(session->waitUntil([&] { return !menu(); })) << "Escape left a menu open";
    EXPECT_TRUE(session->isViewable(panel.id)) << "Escape in the menu hid the panel";
    EXPECT_TRUE(waitForFocus(panel.id));

    ASSERT_TRUE(key(QStringLiteral("shift+F10")));
    EXPECT_TRUE(session->waitUntil([&] { return menu().has_value(); })) << "Shift+F10 opened no menu";
    // Up from the top reaches the last item, "Settings…".
    ASSERT_TRUE(key(QStringLiteral("Up")));
    ASSERT_TRUE(key(QStringLiteral("Return")));
    EXPECT_TRUE(session->waitForWindow(launcher.pid(), QStringLiteral("Launcher Settings")))
        << "the menu's Settings… did not show the settings";
    quitWithControlQ(launcher, panel.id);
}

// Ctrl+Comma, which the status menu shows beside "Settings…", shows the settings from the panel.
TEST_F(PanelEndToEnd, ControlCommaInThePanelShowsTheSettings) {
    prepareHome();
    startSession();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, launcherEnvironment());
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(waitForFocus(panel.id));
    ASSERT_TRUE(key(QStringLiteral("ctrl+comma")));
    const std::optional<XWindowInfo> settings =
        session->waitForWindow(launcher.pid(), QStringLiteral("Launcher Settings"));
    EXPECT_TRUE(settings) << "Ctrl+Comma showed no settings";
    DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("panel-control-comma-settings"));
    quitWithControlQ(launcher, panel.id);
}

// Control+Space shows the panel with Control down; Control then comes up inside the hot key's grab, which
// sends the panel no key event. The selected row says "open" again once the key is up, not at the next key.
TEST_F(PanelEndToEnd, ControlReleasedInsideTheHotKeysGrabTakesTheRevealHintAway) {
    prepareHome();
    installApplication(QStringLiteral("velox"), QStringLiteral("Velox File Manager"));
    startSession();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, launcherEnvironment());
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(waitForFocus(panel.id));
    ASSERT_TRUE(type(QStringLiteral("velox"), 150));
    ASSERT_TRUE(waitForHeight(panel.id, 460));
    // The pointer away from the rows, so that no hover changes them.
    ASSERT_TRUE(session->xdotool({QStringLiteral("mousemove"), QStringLiteral("5"), QStringLiteral("5")}));
    session->settle(std::chrono::milliseconds(500));
    // The first row: below the search bar and the divider.
    const QRect frame = geometry(panel.id);
    const QRect firstRow(frame.x() + 8, frame.y() + 84, frame.width() - 16, 58);
    const QImage opening = session->screenshot().copy(firstRow);

    ASSERT_TRUE(key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitForViewable(panel.id, false));
    ASSERT_TRUE(session->xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl"),
                                  QStringLiteral("keydown"), QStringLiteral("space")}));
    ASSERT_TRUE(waitForViewable(panel.id, true));
    ASSERT_TRUE(waitForFocus(panel.id));
    session->settle(std::chrono::milliseconds(400));
    const QImage held = session->screenshot();
    DesktopSession::saveScreenshot(held, QStringLiteral("panel-control-held"));
    EXPECT_NE(held.copy(firstRow), opening) << "Control held: the row offers to reveal";

    ASSERT_TRUE(session->xdotool(
        {QStringLiteral("keyup"), QStringLiteral("ctrl"), QStringLiteral("keyup"), QStringLiteral("space")}));
    EXPECT_TRUE(session->waitUntil([&] { return session->screenshot().copy(firstRow) == opening; },
                                   std::chrono::seconds(3)))
        << "the reveal hint stays after Control is up";
    DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("panel-control-released"));
    EXPECT_TRUE(session->isViewable(panel.id));
    quitWithControlQ(launcher, panel.id);
}

// Another application copied 5 MB of text; the user pastes it five times, hiding and showing the panel
// between pastes. The query is no longer than typing allows, and so is what the history keeps, so the
// settings file stays small enough to take every later setting.
TEST_F(PanelEndToEnd, FiveLargePastesLeaveAQueryAsLongAsTypingAllowsAndASmallSettingsFile) {
    prepareHome();
    startSession();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, launcherEnvironment());
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(waitForFocus(panel.id));

    const QString copied = test::homePath() + QStringLiteral("/copied.txt");
    test::writeFile(copied, QByteArray("abcdefgh").repeated(650000));
    ChildProcess &owner = newProcess();
    ASSERT_TRUE(owner.start(QStringLiteral(ORVEX_CLIPBOARD_OWNER), {copied}, session->environment()));
    ASSERT_TRUE(session->waitUntil([&] { return owner.standardOutput().contains("owner"); }));

    for (int paste = 0; paste < 5; ++paste) {
        SCOPED_TRACE(paste);
        if (!session->isViewable(panel.id)) {
            ASSERT_TRUE(showWithHotKey(panel.id));
        }
        ASSERT_TRUE(key(QStringLiteral("ctrl+v")));
        ASSERT_TRUE(key(QStringLiteral("Escape")));
        ASSERT_TRUE(waitForViewable(panel.id, false));
        // Hiding stores the query in the history.
        ASSERT_TRUE(session->waitUntil([&] {
            const auto history =
                test::storedDefaults()->arrayValue(QStringLiteral("launcherSearchHistoryQueries"));
            return history && !history->isEmpty();
        }));
    }
    ASSERT_TRUE(showWithHotKey(panel.id));
    session->settle(std::chrono::milliseconds(300));
    DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("panel-after-large-pastes"));
    quitWithControlQ(launcher, panel.id);

    const auto history = test::storedDefaults()->arrayValue(QStringLiteral("launcherSearchHistoryQueries"));
    ASSERT_TRUE(history && !history->isEmpty());
    for (const PlistValue &entry : *history)
        EXPECT_LE(entry.toString().value_or(QString()).size(), 32767);
    const QString query = history->constLast().toString().value_or(QString());
    EXPECT_EQ(query.size(), 32767) << "as long as the field allows";
    EXPECT_TRUE(query.startsWith(QStringLiteral("abcdefghabcdefgh")));
    const qint64 fileSize = QFileInfo(UserDefaults::standardFilePath()).size();
    EXPECT_LT(fileSize, 1024 * 1024) << "the settings file holds " << fileSize << " bytes";
}

// An application whose icon is installed while the launcher runs shows it once the sources were
// refreshed, not a blank square until a restart. The launcher's own windows carry its own icon.
TEST_F(PanelEndToEnd, AnIconInstalledMeanwhileShowsAfterARefreshAndThePanelCarriesTheLaunchersIcon) {
    prepareHome();
    installApplication(QStringLiteral("velox"), QStringLiteral("Velox File Manager"),
                       QStringLiteral("velox-icon"));
    // The theme every desktop has, here without the application's icon yet.
    const QString hicolor = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/icons/hicolor");
    QFile::remove(hicolor + QStringLiteral("/32x32/apps/velox-icon.png"));
    test::writeFile(
        hicolor + QStringLiteral("/index.theme"),
        "[Icon Theme]\nName=Hicolor\nDirectories=32x32/apps\n\n[32x32/apps]\nSize=32\nType=Fixed\n");
    startSession();
    ChildProcess &launcher = newProcess();
    const XWindowInfo panel = startLauncher(launcher, launcherEnvironment());
    ASSERT_NE(panel.id, 0u);
    ASSERT_TRUE(waitForFocus(panel.id));

    const std::optional<QImage> windowIcon = firstWindowIcon(panel.id);
    ASSERT_TRUE(windowIcon) << "the panel has no window icon";
    const QImage own = QIcon(QStringLiteral(ORVEX_SOURCE_DIR "/data/io.orvex.launcher.svg"))
                           .pixmap(windowIcon->size())
                           .toImage();
    for (const QPoint point : {QPoint(windowIcon->width() / 2, windowIcon->height() / 2),
                               QPoint(windowIcon->width() / 4, windowIcon->height() / 3)})
        EXPECT_TRUE(similar(windowIcon->pixelColor(point), own.pixelColor(point)))
            << "the panel carries another icon than the launcher's at " << point.x() << "," << point.y();

    ASSERT_TRUE(type(QStringLiteral("velox"), 100));
    ASSERT_TRUE(waitForHeight(panel.id, 460));
    session->settle(std::chrono::milliseconds(500));
    // The first row's icon, centred in its frame.
    const QPoint iconCentre = geometry(panel.id).topLeft() + QPoint(8 + 16 + 16, 84 + 8 + 27);
    const auto isRed = [&] {
        const QColor colour = session->screenshot().pixelColor(iconCentre);
        return colour.red() > 200 && colour.green() < 60 && colour.blue() < 60;
    };
    ASSERT_FALSE(isRed());

    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(QColor(230, 20, 20));
    test::makeDirectory(hicolor + QStringLiteral("/32x32/apps"));
    ASSERT_TRUE(red.save(hicolor + QStringLiteral("/32x32/apps/velox-icon.png")));
    // A change in a watched folder makes the next search refresh the sources.
    test::writeFile(test::homePath() + QStringLiteral("/Documents/new note.txt"), "note\n");
    // Typed again until the refresh has run, for as long as any wait on this desktop lasts.
    int attempt = 0;
    const bool shown = session->waitUntil([&] {
        return key(attempt++ % 2 ? QStringLiteral("BackSpace") : QStringLiteral("space")) &&
               session->waitUntil(isRed, std::chrono::milliseconds(700));
    });
    DesktopSession::saveScreenshot(session->screenshot(), QStringLiteral("panel-icon-installed-later"));
    EXPECT_TRUE(shown) << "the icon installed meanwhile never shows";
    quitWithControlQ(launcher, panel.id);
}

// The panel as a screen reader meets it, through the accessibility bus.
class PanelAccessibility : public PanelEndToEnd {
protected:
    void SetUp() override {
        prepareHome();
        for (const auto &[id, name] :
             std::initializer_list<std::pair<const char *, const char *>>{{"velox", "Velox File Manager"},
                                                                          {"velox-viewer", "Velox Viewer"},
                                                                          {"velox-notes", "Velox Notes"}})
            installApplication(QString::fromUtf8(id), QString::fromUtf8(name));
        startSession();
        ASSERT_TRUE(bus.isReady()) << bus.failure().toStdString();
        ASSERT_TRUE(bus.recordEvents()) << bus.failure().toStdString();
        ChildProcess &launcher = newProcess();
        panel = startLauncher(launcher, bus.environment(launcherEnvironment()));
        ASSERT_NE(panel.id, 0u);
        ASSERT_TRUE(waitForFocus(panel.id));
        app = bus.waitForApplication(launcher.pid());
        ASSERT_TRUE(app) << "the launcher is not on the accessibility bus";
        field = bus.waitForNode(*app, [](const test::AccessibleNode &node) {
            return node.name == QLatin1String("Search") && node.role == QLatin1String("text");
        });
        ASSERT_TRUE(field) << test::AccessibilityBus::describe(bus.tree(*app)).toStdString();
    }
    // Types the query all three applications answer and reads the list and its rows.
    void showTheThreeRows() {
        ASSERT_TRUE(type(QStringLiteral("velox"), 150));
        ASSERT_TRUE(waitForHeight(panel.id, 460));
        session->settle(std::chrono::milliseconds(500));
        results = bus.waitForNode(*app, [](const test::AccessibleNode &node) {
            return node.name == QLatin1String("Results") && node.role == QLatin1String("list");
        });
        ASSERT_TRUE(results) << test::AccessibilityBus::describe(bus.tree(*app)).toStdString();
        rows = bus.children(results->ref);
        ASSERT_EQ(rows.size(), 3) << test::AccessibilityBus::describe(bus.tree(*app)).toStdString();
    }

    test::AccessibilityBus bus;
    XWindowInfo panel;
    std::optional<test::AccessibleRef> app;
    std::optional<test::AccessibleNode> field;
    std::optional<test::AccessibleNode> results;
    QList<test::AccessibleRef> rows;
};

bool isFocusEvent(const test::AccessibleEvent &event) {
    return event.kind == QLatin1String("object:state-changed:focused") && event.detail1 == 1;
}

// A keystroke that keeps the rows keeps their objects: no focus moves, nothing is said about an object
// that is gone. A search that finds nothing says so in a notification, the focus staying in the field.
TEST_F(PanelAccessibility, TypingKeepsTheRowsObjectsAndAnEmptyListIsANotification) {
    ASSERT_NO_FATAL_FAILURE(showTheThreeRows());
    const QList<test::AccessibleRef> rowsBefore = rows;

    bus.clearEvents();
    ASSERT_TRUE(type(QStringLiteral(" "), 150));
    session->settle(std::chrono::milliseconds(800));
    QStringList heard;
    int focusMoves = 0;
    for (const test::AccessibleEvent &event : bus.events()) {
        const test::AccessibleNode source = bus.node(event.source);
        heard << event.kind + QLatin1Char(' ') + source.summary();
        EXPECT_FALSE(source.role.isEmpty())
            << "an event about an object that is gone: " << event.kind.toStdString();
        focusMoves += isFocusEvent(event) ? 1 : 0;
    }
    EXPECT_EQ(focusMoves, 0) << heard.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(bus.children(results->ref), rowsBefore) << "the same rows, the same objects";

    bus.clearEvents();
    ASSERT_TRUE(type(QStringLiteral("zzzq"), 150));
    ASSERT_TRUE(waitForHeight(panel.id, 76));
    const auto isNoResults = [](const test::AccessibleNode &node) {
        return node.role == QLatin1String("notification") && node.name == QLatin1String("No results");
    };
    const std::optional<test::AccessibleNode> notice =
        bus.waitForNode(*app, [&](const test::AccessibleNode &node) {
            return isNoResults(node) && node.has(QStringLiteral("showing"));
        });
    EXPECT_TRUE(notice) << test::AccessibilityBus::describe(bus.tree(*app)).toStdString();
    EXPECT_TRUE(bus.waitForEvent([&](const test::AccessibleEvent &event) {
        return event.kind == QLatin1String("object:state-changed:showing") && event.detail1 == 1 && notice &&
               event.source == notice->ref;
    })) << "the notification does not say it came to show";
    EXPECT_TRUE(bus.node(field->ref).has(QStringLiteral("focused")));
    EXPECT_TRUE(bus.waitForEvent([&](const test::AccessibleEvent &event) {
        return isFocusEvent(event) && event.source == field->ref;
    })) << "the screen reader is brought back to the field";

    // Rows again: the notification goes.
    ASSERT_TRUE(key(QStringLiteral("ctrl+a")));
    ASSERT_TRUE(type(QStringLiteral("velox"), 150));
    ASSERT_TRUE(waitForHeight(panel.id, 460));
    if (notice) {
        EXPECT_TRUE(bus.waitForState(notice->ref, [](const test::AccessibleNode &node) {
            return !node.has(QStringLiteral("showing"));
        })) << bus.node(notice->ref).summary().toStdString();
    }
}

// Assistive technology that selects a row moves the panel's selection: Return then opens that row.
TEST_F(PanelAccessibility, ARowSelectedThroughTheBusIsWhatReturnOpens) {
    ASSERT_NO_FATAL_FAILURE(showTheThreeRows());
    ASSERT_EQ(bus.node(rows.at(2)).name, QStringLiteral("Velox Viewer"));

    // What a screen reader offers on a row of a list.
    ASSERT_TRUE(bus.doAction(rows.at(2), QStringLiteral("Toggle")));
    EXPECT_TRUE(bus.waitForState(
        rows.at(2), [](const test::AccessibleNode &node) { return node.has(QStringLiteral("selected")); }));
    session->settle(std::chrono::milliseconds(300));
    DesktopSession::saveScreenshot(session->screenshot(),
                                   QStringLiteral("panel-row-selected-by-assistive-technology"));
    ASSERT_TRUE(key(QStringLiteral("Return")));
    const QStringList ids = {QStringLiteral("velox"), QStringLiteral("velox-viewer"),
                             QStringLiteral("velox-notes")};
    ASSERT_TRUE(session->waitUntil([&] { return !started(ids).isEmpty(); })) << "Return opened nothing";
    session->settle(std::chrono::milliseconds(300));
    EXPECT_EQ(started(ids).join(QLatin1Char(',')).toStdString(), "velox-viewer");
}

// A screen reader's user presses a row that is not the selected one: that row opens, as Return on it
// would (the panel goes, the opening is learned), and the selected row does not.
TEST_F(PanelAccessibility, ARowPressedThroughTheBusOpensAsReturnOnItWould) {
    ASSERT_NO_FATAL_FAILURE(showTheThreeRows());
    std::optional<test::AccessibleNode> pressed;
    QString selectedName;
    for (const test::AccessibleRef &row : rows) {
        const test::AccessibleNode node = bus.node(row);
        if (node.name == QLatin1String("Velox Notes"))
            pressed = node;
        if (node.has(QStringLiteral("selected")))
            selectedName = node.name;
    }
    ASSERT_TRUE(pressed) << test::AccessibilityBus::describe(bus.tree(results->ref)).toStdString();
    ASSERT_FALSE(selectedName.isEmpty()) << "the panel selects its first row";
    ASSERT_NE(selectedName, pressed->name) << "the pressed row must not be the selected one";
    EXPECT_EQ(pressed->actions.value(0), QStringLiteral("Press"))
        << "a screen reader's default action on the row: " << pressed->summary().toStdString();

    ASSERT_TRUE(bus.doAction(pressed->ref, QStringLiteral("Press"))) << pressed->summary().toStdString();
    const QStringList ids = {QStringLiteral("velox"), QStringLiteral("velox-viewer"),
                             QStringLiteral("velox-notes")};
    ASSERT_TRUE(session->waitUntil([&] { return !started(ids).isEmpty(); })) << "pressing opened nothing";
    EXPECT_TRUE(waitForViewable(panel.id, false)) << "the panel stays after opening a row";
    const auto learned = [] {
        const auto counts = test::storedDefaults()->dictionaryValue(QStringLiteral("launcherPathOpenCounts"));
        QStringList opened;
        if (counts)
            for (auto count = counts->cbegin(); count != counts->cend(); ++count)
                opened << QFileInfo(count.key()).completeBaseName();
        return opened;
    };
    EXPECT_TRUE(session->waitUntil([&] { return !learned().isEmpty(); })) << "the opening is not learned";
    session->settle(std::chrono::milliseconds(300));
    EXPECT_EQ(started(ids).join(QLatin1Char(',')).toStdString(), "velox-notes");
    EXPECT_EQ(learned().join(QLatin1Char(',')).toStdString(), "velox-notes");
}

// The panel as a blind user meets it: Orca reads it, and the test listens to what Orca says.
class PanelScreenReader : public PanelEndToEnd {
protected:
    void SetUp() override {
        prepareHome();
        installApplication(QStringLiteral("terminal"), QStringLiteral("Terminal Emulator"));
        installApplication(QStringLiteral("editor"), QStringLiteral("Text Editor"));
        startSession();
        ASSERT_TRUE(bus.isReady()) << bus.failure().toStdString();
        reader = std::make_unique<test::ScreenReader>(*session, bus);
        ASSERT_TRUE(reader->isReady()) << reader->failure().toStdString();
        ChildProcess &launcher = newProcess();
        panel = startLauncher(launcher, bus.environment(launcherEnvironment()));
        ASSERT_NE(panel.id, 0u);
        ASSERT_TRUE(waitForFocus(panel.id));
        ASSERT_TRUE(reader->waitForSpeech(QStringLiteral("Search"))) << said();
        reader->clear();
    }
    void TearDown() override {
        if (HasFailure())
            std::cerr << said() << "\n" << reader->logTail().toStdString() << std::endl;
        PanelEndToEnd::TearDown();
        reader.reset();
    }
    std::string said() const { return reader ? reader->transcript().toStdString() : std::string(); }

    test::AccessibilityBus bus;
    std::unique_ptr<test::ScreenReader> reader;
    XWindowInfo panel;
};

// "t" makes Terminal Emulator the row Return opens, "te" keeps it, "tex" makes it Text Editor: each new
// row is said once, with its name and what it is, and a row that stays is not said again.
TEST_F(PanelScreenReader, TheRowReturnWouldOpenIsSaidOnceWithItsKindEachTimeItChanges) {
    ASSERT_TRUE(type(QStringLiteral("t")));
    ASSERT_TRUE(reader->waitForSpeech(QStringLiteral("Terminal Emulator"))) << said();
    EXPECT_TRUE(reader->waitForSpeech(QStringLiteral("Application"))) << said();
    ASSERT_TRUE(type(QStringLiteral("e")));
    ASSERT_TRUE(type(QStringLiteral("x")));
    EXPECT_TRUE(reader->waitForSpeech(QStringLiteral("Text Editor"))) << said();
    EXPECT_EQ(reader->count(QStringLiteral("Terminal Emulator")), 1) << said();

    // Back to "t": Terminal Emulator is the first row again.
    ASSERT_TRUE(key(QStringLiteral("BackSpace")));
    ASSERT_TRUE(key(QStringLiteral("BackSpace")));
    EXPECT_TRUE(reader->waitForSpeech([](const QString &utterance) {
        return utterance.contains(QLatin1String("Terminal Emulator"));
    })) << said();
    EXPECT_TRUE(session->waitUntil([&] { return reader->count(QStringLiteral("Terminal Emulator")) == 2; }))
        << said();
    EXPECT_EQ(reader->count(QStringLiteral("Text Editor")), 1) << said();
}

// An answer that finds nothing is said, once, while the focus stays in the field; the next key that still
// finds nothing says nothing more.
TEST_F(PanelScreenReader, NoResultsIsSaidOnceWhenAnAnswerFindsNothing) {
    ASSERT_TRUE(type(QStringLiteral("zqx"), 100));
    EXPECT_TRUE(reader->waitForSpeech(QStringLiteral("No results"))) << said();
    ASSERT_TRUE(type(QStringLiteral("q")));
    // Rows again: what the next answer brings is said after anything the last key made Orca say.
    ASSERT_TRUE(key(QStringLiteral("ctrl+a")));
    ASSERT_TRUE(type(QStringLiteral("t")));
    ASSERT_TRUE(reader->waitForSpeech(QStringLiteral("Terminal Emulator"))) << said();
    EXPECT_EQ(reader->count(QStringLiteral("No results")), 1) << said();
    EXPECT_EQ(session->inputFocus(), panel.id);
}

} // namespace
} // namespace orvex
