#include "fixtures/DesktopEntryFixture.h"
#include "fixtures/ManagerFixture.h"
#include "fixtures/ResultNames.h"
#include "fixtures/UsageFixture.h"
#include "search/AppsSource.h"
#include "search/Database.h"
#include "search/Ranking.h"
#include "search/SearchRankingSettings.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>

namespace orvex {
namespace {

class DesktopApplications : public ::testing::Test {
protected:
    void SetUp() override {
        const QByteArray exec = "Exec=true %U\n";
        // A user's entry replaces the system's of the same id, and one with Hidden removes it.
        editor = desktop.writeEntry(desktop.userData, QStringLiteral("editor.desktop"),
                                    "Type=Application\nName=Editor\nName[de]=Bearbeiter\n" + exec);
        desktop.writeEntry(desktop.systemData, QStringLiteral("editor.desktop"),
                           "Type=Application\nName=System Editor\n" + exec);
        desktop.writeEntry(desktop.userData, QStringLiteral("removed.desktop"),
                           "Type=Application\nHidden=true\n");
        desktop.writeEntry(desktop.systemData, QStringLiteral("removed.desktop"),
                           "Type=Application\nName=Removed Tool\n" + exec);
        // Entries this desktop does not offer.
        desktop.writeEntry(desktop.systemData, QStringLiteral("hidden.desktop"),
                           "Type=Application\nName=Hidden Tool\nHidden=true\n" + exec);
        desktop.writeEntry(desktop.systemData, QStringLiteral("nodisplay.desktop"),
                           "Type=Application\nName=Helper Tool\nNoDisplay=true\n" + exec);
        desktop.writeEntry(desktop.systemData, QStringLiteral("missing.desktop"),
                           "Type=Application\nName=Missing Tool\nTryExec=orvex-no-such-program\n" + exec);
        desktop.writeEntry(desktop.systemData, QStringLiteral("stale.desktop"),
                           "Type=Application\nName=Stale Tool\nExec=orvex-removed-program %U\n");
        desktop.writeEntry(desktop.systemData, QStringLiteral("link.desktop"),
                           "Type=Link\nName=Link Tool\nURL=https://example.org/\n");
        desktop.writeEntry(desktop.systemData, QStringLiteral("noname.desktop"), "Type=Application\n" + exec);
        desktop.writeEntry(desktop.systemData, QStringLiteral("noexec.desktop"),
                           "Type=Application\nName=Idle Tool\n");
        desktop.writeEntry(desktop.systemData, QStringLiteral("broken.desktop"),
                           "Type=Application\nName=Broken \xff Tool\n" + exec);
        // A value in another encoding costs the entry only that key, unless it is the program to run.
        desktop.writeEntry(desktop.systemData, QStringLiteral("latin.desktop"),
                           "Type=Application\nName=Latin Tool\nName[de]=Lat\xe9in\nComment=caf\xe9\n" + exec);
        desktop.writeEntry(desktop.systemData, QStringLiteral("latin-exec.desktop"),
                           "Type=Application\nName=Latin Exec Tool\nDBusActivatable=true\nExec=caf\xe9\n");
        desktop.writeEntry(desktop.systemData, QStringLiteral(".dotted.desktop"),
                           "Type=Application\nName=Dotted Tool\n" + exec);
        desktop.writeEntry(desktop.systemData, QStringLiteral("notes.txt"),
                           "Type=Application\nName=Text Tool\n" + exec);
        // Offered only on some desktops.
        gnomeOnly = desktop.writeEntry(desktop.systemData, QStringLiteral("gnome-tweaks.desktop"),
                                       "Type=Application\nName=Tweaks\nOnlyShowIn=GNOME;\n" + exec);
        desktop.writeEntry(desktop.systemData, QStringLiteral("not-kde.desktop"),
                           "Type=Application\nName=Not KDE Tool\nNotShowIn=KDE;\n" + exec);
        // A subfolder gives the id "kde-console.desktop", which hides the vendor's entry of that id.
        console = desktop.writeEntry(desktop.systemData, QStringLiteral("kde/console.desktop"),
                                     "Type=Application\nName=Console\nTryExec=sh\n" + exec);
        desktop.writeEntry(desktop.vendorData, QStringLiteral("kde-console.desktop"),
                           "Type=Application\nName=Vendor Console\n" + exec);
        dbus = desktop.writeEntry(desktop.vendorData, QStringLiteral("org.example.Maps.desktop"),
                                  "Type=Application\nName=Maps\nDBusActivatable=true\n");
        // Sandboxed application stores export their entries as links into each application's own tree.
        const QString exported = desktop.root + QStringLiteral("/app/org.example.Paint/export/paint.desktop");
        test::writeFile(exported, "[Desktop Entry]\nType=Application\nName=Paint\n" + exec);
        linked = desktop.vendorData + QStringLiteral("/applications/org.example.Paint.desktop");
        EXPECT_TRUE(QFile::link(exported, linked));
        EXPECT_TRUE(
            QFile::link(desktop.root + QStringLiteral("/app/gone.desktop"),
                        desktop.vendorData + QStringLiteral("/applications/org.example.Gone.desktop")));
    }

    test::DesktopEntryFixture desktop;
    QString editor, gnomeOnly, console, dbus, linked;
};

TEST_F(DesktopApplications, OffersWhatThisDesktopShows) {
    const struct {
        const char *name;
        QStringList desktopNames;
        QStringList locales;
        QStringList expected;
    } cases[] = {
        {"no desktop named", {}, {}, {"Editor", "Not KDE Tool", "Console", "Maps", "Paint", "Latin Tool"}},
        {"GNOME, German",
         {"GNOME"},
         {"de_DE.UTF-8"},
         {"Bearbeiter", "Tweaks", "Not KDE Tool", "Console", "Maps", "Paint", "Latin Tool"}},
        {"KDE", {"KDE"}, {"fr_FR.UTF-8"}, {"Editor", "Console", "Maps", "Paint", "Latin Tool"}},
    };
    for (const auto &c : cases) {
        const SearchResults rows =
            discoverDesktopApplications(desktop.environment(c.desktopNames, c.locales));
        QStringList sorted = test::filenames(rows);
        QStringList expected = c.expected;
        sorted.sort();
        expected.sort();
        EXPECT_EQ(sorted, expected) << c.name;
    }
}

TEST_F(DesktopApplications, RowsStandForTheEntryFile) {
    const SearchResults rows = discoverDesktopApplications(desktop.environment());
    const auto find = [&](const QString &title) {
        const auto it = std::find_if(rows.begin(), rows.end(),
                                     [&](const SearchResult &r) { return r.filename() == title; });
        EXPECT_NE(it, rows.end()) << title.toStdString();
        return it == rows.end() ? SearchResult({}) : *it;
    };
    for (const auto &[title, path] :
         {std::pair{QStringLiteral("Editor"), editor}, std::pair{QStringLiteral("Console"), console},
          std::pair{QStringLiteral("Maps"), dbus}, std::pair{QStringLiteral("Paint"), linked}}) {
        const SearchResult row = find(title);
        EXPECT_EQ(row.kind(), SearchResultKind::app);
        EXPECT_EQ(row.fullPath(), path);
        EXPECT_EQ(row.usageKey(), path);
        EXPECT_EQ(row.directory(), path.left(path.lastIndexOf(QLatin1Char('/'))));
        EXPECT_EQ(row.id(), stableNegativeID(path));
        EXPECT_FALSE(row.databaseID() || row.action() || row.isDirectPathMatch() || row.isRecentActivation());
        EXPECT_TRUE(isDesktopApplicationRow(row));
    }
    // Bundles of the design's roots keep working beside them.
    const QString bundles = desktop.root + QStringLiteral("/Applications");
    test::makeDirectory(bundles + QStringLiteral("/Marmot.app/Contents"));
    const SearchResults all = discoverApplications({bundles}, desktop.environment());
    ASSERT_EQ(all.size(), rows.size() + 1);
    EXPECT_EQ(all.first().filename(), QStringLiteral("Marmot.app"));
    EXPECT_FALSE(isDesktopApplicationRow(all.first()));
    EXPECT_EQ(all.first().fullPath(), bundles + QStringLiteral("/Marmot.app"));
}

// Through the search road: the walked rows are found by their localised names in the design's tiers,
// and usage and recents key on the entry's file.
TEST_F(DesktopApplications, AreSearchedCountedAndRememberedLikeApps) {
    test::ManagerFixture fixture;
    auto configuration = fixture.configuration();
    configuration.desktopEntries =
        desktop.environment({QStringLiteral("GNOME")}, {QStringLiteral("de_DE.UTF-8")});
    configuration.recentActivationsEnabled = true;
    auto manager = fixture.makeManager(configuration);
    manager->warmupFileSystemPermissions();

    const SearchRankingPreferences preferences(ExtensionBoostRules{});
    const struct {
        const char *query;
        const char *first;
        TextMatchTier tier;
    } cases[] = {
        {"bearbeiter", "Bearbeiter", TextMatchTier::exact},
        {"bearb", "Bearbeiter", TextMatchTier::prefix},
        {"arbeit", "Bearbeiter", TextMatchTier::contains},
        {"twea", "Tweaks", TextMatchTier::prefix},
    };
    for (const auto &c : cases) {
        const SearchResults rows = manager->search(QString::fromUtf8(c.query), false);
        ASSERT_FALSE(rows.isEmpty()) << c.query;
        EXPECT_EQ(rows[0].filename(), QString::fromUtf8(c.first)) << c.query;
        EXPECT_EQ(textMatchTier(rows[0], QString::fromUtf8(c.query), {}), c.tier) << c.query;
        EXPECT_EQ(rows[0].relevanceScore(), relevanceScore(rows[0], QString::fromUtf8(c.query), preferences));
    }
    for (const char *query : {"system editor", "removed", "hidden tool", "helper", "missing tool",
                              "stale tool", "link tool", "idle", "latin exec"})
        EXPECT_TRUE(manager->search(QString::fromUtf8(query), false).isEmpty()) << query;

    const SearchResult row = manager->search(QStringLiteral("bearbeiter"), false).at(0);
    manager->recordActivation(row);
    EXPECT_EQ(test::storedOpenCounts(fixture).value(editor.toLower()), 1);
    const SearchResults again = manager->search(QStringLiteral("bearb"), false);
    ASSERT_FALSE(again.isEmpty());
    EXPECT_EQ(again[0].fullPath(), editor);
    EXPECT_TRUE(again[0].isRecentActivation());
    EXPECT_EQ(again[0].openCount(), 1);
    EXPECT_EQ(std::count_if(again.begin(), again.end(),
                            [&](const SearchResult &r) { return r.fullPath() == editor; }),
              1);

    // Removed from the disk, the entry is no longer offered as a recent row once apps were crawled again.
    ASSERT_TRUE(QFile::remove(editor));
    manager->warmupFileSystemPermissions();
    for (const SearchResult &r : manager->search(QStringLiteral("bearb"), false))
        EXPECT_NE(r.fullPath(), editor);
}

// The entry file is the row's identity but no text the user knows: a recently opened application answers
// its name and the folder shown under it, never the words of its file's name.
TEST_F(DesktopApplications, MatchThroughTheirNameAndFolderNotTheirEntryFile) {
    const QString entry = desktop.writeEntry(desktop.systemData, QStringLiteral("debian-uxterm.desktop"),
                                             "Type=Application\nName=UXTerm\nExec=true\n");
    test::ManagerFixture fixture;
    auto configuration = fixture.configuration();
    configuration.desktopEntries = desktop.environment({QStringLiteral("GNOME")}, {});
    configuration.recentActivationsEnabled = true;
    auto manager = fixture.makeManager(configuration);
    manager->warmupFileSystemPermissions();
    const SearchResults found = manager->search(QStringLiteral("uxterm"), false);
    ASSERT_FALSE(found.isEmpty());
    ASSERT_EQ(found[0].fullPath(), entry);
    manager->recordActivation(found[0]);
    const QString folder = QFileInfo(entry).absolutePath();

    const struct {
        QString query;
        bool offered;
    } cases[] = {
        {QStringLiteral("uxterm"), true},
        {QStringLiteral("xter"), true},
        {folder.section(QLatin1Char('/'), -1), true}, // the folder shown under the name
        {QStringLiteral("debian"), false},
        {QStringLiteral(".desktop"), false},
        {QStringLiteral("debian-uxterm"), false},
    };
    const SearchRankingPreferences preferences(ExtensionBoostRules{});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        const SearchResults recent = manager->searchRecentActivationResults(c.query, preferences);
        EXPECT_EQ(!recent.isEmpty(), c.offered);
        const SearchResults rows = manager->search(c.query, false);
        const bool answered = std::any_of(rows.begin(), rows.end(),
                                          [&](const SearchResult &r) { return r.fullPath() == entry; });
        EXPECT_EQ(answered, c.offered);
        EXPECT_EQ(textMatchTier(found[0], c.query, {}) != TextMatchTier::none, c.offered);
    }
}

// The applications folders are watched: an entry put there or taken away while the launcher runs is
// seen within seconds, long before the list's time to live (the clock here never moves), also in a
// user's folder that did not exist when the watching began.
TEST_F(DesktopApplications, EntriesAddedOrRemovedWhileRunningAreSeenWithinSeconds) {
    using namespace std::chrono_literals;
    const QString laterData = desktop.root + QStringLiteral("/later");
    test::ManagerFixture fixture;
    auto configuration = fixture.configuration();
    configuration.backgroundRefreshEnabled = true;
    configuration.desktopEntries = desktop.environment();
    configuration.desktopEntries.dataFolders.prepend(laterData);
    auto manager = fixture.makeManager(configuration);
    manager->search(QStringLiteral("x"), false);
    manager->waitForBackgroundTasks();

    const auto offers = [&](const QString &query, const QString &path) {
        const SearchResults rows = manager->search(query, false);
        return std::any_of(rows.begin(), rows.end(),
                           [&](const SearchResult &r) { return r.fullPath() == path; });
    };
    ASSERT_TRUE(offers(QStringLiteral("editor"), editor));

    const QString added =
        desktop.writeEntry(desktop.systemData, QStringLiteral("org.example.Latecomer.desktop"),
                           "Type=Application\nName=Latecomer\nExec=true\n");
    EXPECT_TRUE(test::waitUntil([&] { return offers(QStringLiteral("latecomer"), added); }, 10s));

    ASSERT_TRUE(QFile::remove(added));
    EXPECT_TRUE(test::waitUntil([&] { return !offers(QStringLiteral("latecomer"), added); }, 10s));

    // The user's own entry of an id hides the system's as soon as it is there.
    const QString mine = desktop.writeEntry(laterData, QStringLiteral("editor.desktop"),
                                            "Type=Application\nName=My Editor\nExec=true\n");
    EXPECT_TRUE(test::waitUntil([&] { return offers(QStringLiteral("my editor"), mine); }, 10s));
    EXPECT_FALSE(offers(QStringLiteral("editor"), editor));
}

} // namespace
} // namespace orvex
