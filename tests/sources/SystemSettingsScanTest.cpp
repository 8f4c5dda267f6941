#include "fixtures/ManagerFixture.h"
#include "fixtures/ResultNames.h"
#include "fixtures/SystemSettingsFixture.h"
#include "platform/PropertyList.h"
#include "search/SearchContext.h"
#include "sources/SystemSettingsPanes.h"
#include "support/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

// Readable failure messages for texts.
[[maybe_unused]] static void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace orvex {
namespace {

using test::PlistFormat;
using test::titles;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;
using ::testing::UnorderedElementsAre;

PlistValue text(const char *value) {
    return PlistValue(QString::fromUtf8(value));
}

PlistValue::Dictionary info(const char *identifier, PlistValue::Dictionary more = {}) {
    more.insert(QStringLiteral("CFBundleIdentifier"), text(identifier));
    return more;
}

PlistValue::Dictionary settingsExtensionPoint() {
    return {{QStringLiteral("NSExtensionPointIdentifier"), text("com.apple.Settings.extension.ui")}};
}

// A folder of bundles covering every acceptance, refusal and skip rule, in both file forms.
QString writeExtensionsFolder() {
    const QString root = test::homePath() + QStringLiteral("/Extensions");
    const auto write = [&root](const char *name, const PlistValue::Dictionary &dictionary,
                               PlistFormat format) {
        test::writeSettingsExtension(root, QString::fromUtf8(name), dictionary, format);
    };
    const QString displayName = QStringLiteral("CFBundleDisplayName");
    const QString name = QStringLiteral("CFBundleName");

    // Accepted.
    write("Sound.appex", info("com.apple.Sound-Settings.extension", {{displayName, text("Sound")}}),
          PlistFormat::xml);
    write("WiFi.appex", info("com.apple.wifi-settings-extension", {{displayName, text("WiFiSettings")}}),
          PlistFormat::binary);
    write("ControlCenterSettings.appex", info("com.apple.ControlCenter-Settings.extension"),
          PlistFormat::xml);
    write("Keyboard.appex",
          info("com.apple.Keyboard-Settings.extension", {{displayName, text("Keyboard Settings Extension")}}),
          PlistFormat::binary);
    write("Trackpad.appex",
          info("com.apple.Trackpad-Settings.extension",
               {{displayName, text("  ")}, {name, text("TrackpadSettings")}}),
          PlistFormat::xml);
    write("Mouse.appex",
          info("com.apple.Mouse-Settings.extension", {{displayName, PlistValue(7)}, {name, text("Mouse")}}),
          PlistFormat::binary);
    write("UniversalAccess.appex",
          info("com.apple.universalaccess",
               {{name, text("Accessibility")},
                {QStringLiteral("NSExtension"), PlistValue(settingsExtensionPoint())}}),
          PlistFormat::binary);
    write("Greetings.appex",
          info("com.example.gr\u00fc\u00dfe-settings.extension", {{displayName, text("Gr\u00fc\u00dfe")}}),
          PlistFormat::binary);

    // Refused by the rules.
    write("BatteryWidget.appex", info("com.apple.BatteryWidget-Settings.extension"), PlistFormat::xml);
    write("Mail.appex",
          info("com.apple.Mail.extension",
               {{QStringLiteral("NSExtension"), text("com.apple.Settings.extension.ui")}}),
          PlistFormat::binary);
    write("Intents.appex", info("com.apple.systempreferences.IntentsExtension"), PlistFormat::xml);

    // Not bundles of the folder, or not readable as one.
    write("Plain.bundle", info("com.apple.Plain-Settings.extension"), PlistFormat::xml);
    write("Upper.APPEX", info("com.apple.Upper-Settings.extension"), PlistFormat::xml);
    write(".Hidden.appex", info("com.apple.Hidden-Settings.extension"), PlistFormat::xml);
    write("NoIdentifier.appex", {{name, text("Nothing")}}, PlistFormat::xml);
    write("EmptyIdentifier.appex",
          info("", {{QStringLiteral("NSExtension"), PlistValue(settingsExtensionPoint())}}),
          PlistFormat::binary);
    test::makeDirectory(root + QStringLiteral("/NoPlist.appex/Contents"));
    test::writeFile(root + QStringLiteral("/Garbage.appex/Contents/Info.plist"), "not a property list");
    test::writeFile(
        root + QStringLiteral("/ArrayRoot.appex/Contents/Info.plist"),
        PropertyList::writeXml(PlistValue(PlistValue::Array{text("com.apple.Array-Settings.extension")})));
    test::writeFile(root + QStringLiteral("/File.appex"), "a file, not a bundle");
    return root;
}

QString address(const char *identifier) {
    return QStringLiteral("x-apple.systempreferences:") + QString::fromUtf8(identifier);
}

TEST(SystemSettingsScan, AcceptsRefusesAndTitlesTheBundles) {
    const QList<SystemSettingsShortcut> scanned = SystemSettingsPanes::discover(writeExtensionsFolder());

    QStringList found;
    for (const SystemSettingsShortcut &pane : scanned) {
        found.append(pane.title + QStringLiteral(" = ") + pane.primaryURLString);
        EXPECT_EQ(pane.subtitle, QStringLiteral("System Settings"));
        EXPECT_EQ(pane.fallbackURLString, std::nullopt);
        EXPECT_THAT(pane.keywords, IsSupersetOf({pane.title.toLower()}));
    }
    EXPECT_THAT(found, UnorderedElementsAre(
                           QStringLiteral("Sound = ") + address("com.apple.Sound-Settings.extension"),
                           QStringLiteral("Wi-Fi = ") + address("com.apple.wifi-settings-extension"),
                           QStringLiteral("Control Center = ") +
                               address("com.apple.ControlCenter-Settings.extension"),
                           QStringLiteral("Keyboard = ") + address("com.apple.Keyboard-Settings.extension"),
                           QStringLiteral("Trackpad = ") + address("com.apple.Trackpad-Settings.extension"),
                           QStringLiteral("Mouse = ") + address("com.apple.Mouse-Settings.extension"),
                           QStringLiteral("Accessibility = ") + address("com.apple.universalaccess"),
                           QStringLiteral("Gr\u00fc\u00dfe = ") +
                               address("com.example.gr\u00fc\u00dfe-settings.extension")));

    const auto wifi = std::find_if(scanned.begin(), scanned.end(), [](const SystemSettingsShortcut &p) {
        return p.title == QLatin1String("Wi-Fi");
    });
    ASSERT_NE(wifi, scanned.end());
    EXPECT_THAT(wifi->keywords, UnorderedElementsAre("wi-fi", "wifi", "wireless", "wlan", "com", "apple",
                                                     "settings", "extension"));
}

TEST(SystemSettingsScan, MergesWithTheBuiltInsAndMatches) {
    test::ManagerFixture fixture;
    StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
    sources.systemSettingsExtensionsRoot = writeExtensionsFolder();
    auto manager = fixture.makeManager(sources);

    const QList<SystemSettingsShortcut> seed = SystemSettingsPanes::seedShortcuts();
    const QList<SystemSettingsShortcut> merged =
        SystemSettingsPanes::merge(seed, SystemSettingsPanes::discover(sources.systemSettingsExtensionsRoot));
    EXPECT_THAT(titles(merged), ElementsAre("Accessibility", "Control Center", "Displays", "Gr\u00fc\u00dfe",
                                            "Keyboard", "Mouse", "Notifications", "Screen Time", "Sound",
                                            "Time Machine", "Trackpad", "Wallpaper", "Wi-Fi"));
    // The scanned Sound collapsed into the built-in row, which keeps its fallback and keywords.
    const auto sound = std::find_if(merged.begin(), merged.end(), [](const SystemSettingsShortcut &p) {
        return p.title == QLatin1String("Sound");
    });
    ASSERT_NE(sound, merged.end());
    EXPECT_EQ(*sound, seed[0]);

    // Every scanned pane carries the pieces of its identifier; the built-ins do not.
    EXPECT_THAT(
        test::filenames(SystemSettingsPanes::rows(manager->searchContext(QStringLiteral("apple")), merged)),
        ElementsAre("Accessibility", "Control Center", "Keyboard", "Mouse", "Trackpad", "Wi-Fi"));

    const SearchResults wireless =
        SystemSettingsPanes::rows(manager->searchContext(QStringLiteral("wlan")), merged);
    ASSERT_EQ(wireless.size(), 1);
    EXPECT_EQ(wireless.first().actionURLString(), address("com.apple.wifi-settings-extension"));
    EXPECT_EQ(wireless.first().fallbackActionURLString(), std::nullopt);
    manager->shutdown();
}

} // namespace
} // namespace orvex
