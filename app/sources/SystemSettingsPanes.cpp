#include "sources/SystemSettingsPanes.h"

#include "platform/PropertyList.h"
#include "platform/SafeFile.h"
#include "platform/StringUtils.h"
#include "search/SearchContext.h"
#include "sources/SystemSettingsLauncher.h"

#include <QChar>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace orvex {

namespace {

const QString &systemSettingsSubtitle() {
    static const QString subtitle = QStringLiteral("System Settings");
    return subtitle;
}

const QString &paneAddressPrefix() {
    static const QString prefix = QStringLiteral("x-apple.systempreferences:");
    return prefix;
}

// Titles of scanned panes whose bundle names read poorly, keyed by lowercased bundle identifier.
const QHash<QString, QString> &titleTable() {
    static const QHash<QString, QString> table = {
        {QStringLiteral("com.apple.wifi-settings-extension"), QStringLiteral("Wi-Fi")},
        {QStringLiteral("com.apple.users-groups-settings.extension"), QStringLiteral("Users & Groups")},
        {QStringLiteral("com.apple.battery-settings.extension"), QStringLiteral("Battery")},
        {QStringLiteral("com.apple.time-machine-settings.extension"), QStringLiteral("Time Machine")},
        {QStringLiteral("com.apple.touch-id-settings.extension"), QStringLiteral("Touch ID & Password")},
        {QStringLiteral("com.apple.networkextensionsettingsui.nesettingsuiextension"), QStringLiteral("VPN")},
        {QStringLiteral("com.apple.systempreferences.appleidsettings"), QStringLiteral("Apple Account")},
        {QStringLiteral("com.apple.desktop-settings.extension"), QStringLiteral("Wallpaper")},
        {QStringLiteral("com.apple.screensaver-settings.extension"), QStringLiteral("Screen Saver")},
        {QStringLiteral("com.apple.lock-screen-settings.extension"), QStringLiteral("Lock Screen")},
        {QStringLiteral("com.apple.software-update-settings.extension"), QStringLiteral("Software Update")},
        {QStringLiteral("com.apple.print-scan-settings.extension"), QStringLiteral("Printers & Scanners")},
    };
    return table;
}

// Extra search words for scanned panes whose lowercased title contains the first text.
const QList<std::pair<QString, QStringList>> &keywordTable() {
    static const QList<std::pair<QString, QStringList>> table = {
        {QStringLiteral("sound"),
         {QStringLiteral("audio"), QStringLiteral("speaker"), QStringLiteral("microphone"),
          QStringLiteral("mic"), QStringLiteral("volume")}},
        {QStringLiteral("displays"),
         {QStringLiteral("monitor"), QStringLiteral("screen"), QStringLiteral("resolution"),
          QStringLiteral("brightness")}},
        {QStringLiteral("time machine"),
         {QStringLiteral("backup"), QStringLiteral("restore"), QStringLiteral("sicherung")}},
        {QStringLiteral("notifications"),
         {QStringLiteral("alerts"), QStringLiteral("banner"), QStringLiteral("benachrichtigung")}},
        {QStringLiteral("wallpaper"),
         {QStringLiteral("background"), QStringLiteral("desktop"), QStringLiteral("hintergrund")}},
        {QStringLiteral("wi-fi"),
         {QStringLiteral("wifi"), QStringLiteral("wireless"), QStringLiteral("wlan")}},
        {QStringLiteral("lock screen"), {QStringLiteral("sleep"), QStringLiteral("screen lock")}},
    };
    return table;
}

bool isLetterMarkOrNumber(char32_t c) {
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

// The pieces of `text` between characters that are not letters, marks or numbers; empty pieces
// are left out.
QStringList alphanumericPieces(const QString &text) {
    QStringList pieces;
    QList<char32_t> current;
    const auto flush = [&] {
        if (!current.isEmpty())
            pieces.append(QString::fromUcs4(current.constData(), current.size()));
        current.clear();
    };
    for (const char32_t c : text.toUcs4()) {
        if (isLetterMarkOrNumber(c))
            current.append(c);
        else
            flush();
    }
    flush();
    return pieces;
}

void appendUnique(QStringList &list, const QString &value) {
    if (!value.isEmpty() && !list.contains(value))
        list.append(value);
}

bool titleLessThan(const QString &a, const QString &b) {
    return StringUtils::localizedCaseInsensitiveCompare(a, b) < 0;
}

enum class MatchTier { none = 0, contains = 1, prefix = 2, exact = 3 };

MatchTier matchTier(const SystemSettingsShortcut &pane, const QString &queryLowercased) {
    const QString title = pane.title.toLower();
    QStringList terms;
    appendUnique(terms, title);
    for (const QString &piece : alphanumericPieces(title))
        appendUnique(terms, piece);
    for (const QString &keyword : pane.keywords)
        appendUnique(terms, keyword.toLower());

    MatchTier best = MatchTier::none;
    for (const QString &term : terms) {
        MatchTier tier = MatchTier::none;
        if (term == queryLowercased)
            tier = MatchTier::exact;
        else if (term.startsWith(queryLowercased))
            tier = MatchTier::prefix;
        else if (queryLowercased.contains(term) || term.contains(queryLowercased))
            tier = MatchTier::contains;
        best = std::max(best, tier);
        if (best == MatchTier::exact)
            break;
    }
    return best;
}

} // namespace

std::optional<SystemSettingsBundle> SystemSettingsBundle::open(const QString &path) {
    if (!QFileInfo(path).isDir())
        return std::nullopt;
    const std::optional<QByteArray> bytes =
        SafeFile::readRegularFile(path + QStringLiteral("/Contents/Info.plist"));
    if (!bytes)
        return std::nullopt;
    const std::optional<PlistValue> plist = PropertyList::read(*bytes);
    if (!plist || !plist->dictionaryPointer())
        return std::nullopt;
    return SystemSettingsBundle{.path = path, .infoDictionary = *plist->dictionaryPointer()};
}

std::optional<QString> SystemSettingsBundle::infoString(const QString &key) const {
    const auto it = infoDictionary.constFind(key);
    if (it == infoDictionary.constEnd())
        return std::nullopt;
    return it->toString();
}

std::optional<QString> SystemSettingsBundle::bundleIdentifier() const {
    std::optional<QString> identifier = infoString(QStringLiteral("CFBundleIdentifier"));
    if (!identifier || identifier->isEmpty())
        return std::nullopt;
    return identifier;
}

QList<SystemSettingsShortcut> SystemSettingsPanes::seedShortcuts() {
    const auto pane = [](const char *title, const char *extension, const char *fallback,
                         QStringList keywords) {
        return SystemSettingsShortcut{
            .title = QString::fromLatin1(title),
            .subtitle = systemSettingsSubtitle(),
            .primaryURLString = paneAddressPrefix() + QString::fromLatin1(extension),
            .fallbackURLString = paneAddressPrefix() + QString::fromLatin1(fallback),
            .keywords = std::move(keywords),
        };
    };
    return {
        pane("Sound", "com.apple.Sound-Settings.extension", "com.apple.preference.sound",
             {QStringLiteral("audio"), QStringLiteral("sound"), QStringLiteral("speaker"),
              QStringLiteral("speakers"), QStringLiteral("microphone"), QStringLiteral("mic"),
              QStringLiteral("lautsprecher"), QStringLiteral("ton")}),
        pane("Displays", "com.apple.Displays-Settings.extension", "com.apple.preference.displays",
             {QStringLiteral("display"), QStringLiteral("displays"), QStringLiteral("monitor"),
              QStringLiteral("monitors"), QStringLiteral("screen"), QStringLiteral("screens"),
              QStringLiteral("bildschirm")}),
        pane("Notifications", "com.apple.Notifications-Settings.extension",
             "com.apple.preference.notifications",
             {QStringLiteral("notification"), QStringLiteral("notifications"), QStringLiteral("alerts"),
              QStringLiteral("benachrichtigung"), QStringLiteral("benachrichtigungen")}),
        pane("Wallpaper", "com.apple.Wallpaper-Settings.extension",
             "com.apple.preference.desktopscreeneffect",
             {QStringLiteral("wallpaper"), QStringLiteral("background"), QStringLiteral("desktop"),
              QStringLiteral("hintergrund")}),
        pane("Screen Time", "com.apple.Screen-Time-Settings.extension", "com.apple.preference.screentime",
             {QStringLiteral("screen time"), QStringLiteral("screentime"), QStringLiteral("usage"),
              QStringLiteral("focus"), QStringLiteral("bildschirmzeit")}),
        // The older address of this pane reads "preferences", unlike the others.
        pane("Time Machine", "com.apple.Time-Machine-Settings.extension", "com.apple.preferences.TimeMachine",
             {QStringLiteral("time machine"), QStringLiteral("backup"), QStringLiteral("backups"),
              QStringLiteral("restore"), QStringLiteral("sicherung"), QStringLiteral("sicherungen")}),
    };
}

QList<SystemSettingsShortcut> SystemSettingsPanes::discover(const QString &extensionsRoot) {
    QList<SystemSettingsShortcut> shortcuts;
    if (extensionsRoot.isEmpty() || !QFileInfo(extensionsRoot).isDir())
        return shortcuts;
    // Without QDir::Hidden, entries whose names start with "." are left out.
    const QFileInfoList entries =
        QDir(extensionsRoot).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix() != QLatin1String("appex"))
            continue;
        const std::optional<SystemSettingsBundle> bundle = SystemSettingsBundle::open(entry.filePath());
        if (!bundle)
            continue;
        const std::optional<QString> identifier = bundle->bundleIdentifier();
        if (!identifier)
            continue;

        QString extensionPoint;
        const auto extension = bundle->infoDictionary.constFind(QStringLiteral("NSExtension"));
        if (extension != bundle->infoDictionary.constEnd())
            if (const PlistValue::Dictionary *dictionary = extension->dictionaryPointer())
                extensionPoint =
                    dictionary->value(QStringLiteral("NSExtensionPointIdentifier"), PlistValue(QString()))
                        .toString()
                        .value_or(QString());
        if (!shouldIncludeBundle(*identifier, extensionPoint))
            continue;

        const QString title = paneTitle(*bundle, *identifier);
        shortcuts.append(SystemSettingsShortcut{
            .title = title,
            .subtitle = systemSettingsSubtitle(),
            .primaryURLString = paneAddressPrefix() + *identifier,
            .fallbackURLString = std::nullopt,
            .keywords = keywords(title, *identifier),
        });
    }
    return shortcuts;
}

bool SystemSettingsPanes::shouldIncludeBundle(const QString &bundleIdentifier,
                                              const QString &extensionPointIdentifier) {
    const QString b = bundleIdentifier.toLower();
    const QString p = extensionPointIdentifier.toLower();
    const bool accepted = b.contains(QLatin1String("-settings.extension")) ||
                          p == QLatin1String("com.apple.settings.extension.ui") ||
                          b.startsWith(QLatin1String("com.apple.systempreferences.")) ||
                          b.contains(QLatin1String("wifi-settings"));
    if (!accepted)
        return false;
    return !b.contains(QLatin1String("intentsextension")) && !b.contains(QLatin1String("widget")) &&
           !b.contains(QLatin1String("followupsettings.followupsettingsextension"));
}

QString SystemSettingsPanes::paneTitle(const SystemSettingsBundle &bundle, const QString &bundleIdentifier) {
    const auto known = titleTable().constFind(bundleIdentifier.toLower());
    if (known != titleTable().constEnd())
        return *known;
    for (const QString &key : {QStringLiteral("CFBundleDisplayName"), QStringLiteral("CFBundleName")}) {
        const std::optional<QString> name = bundle.infoString(key);
        if (name && !StringUtils::trimmedWhitespaceAndNewlines(*name).isEmpty())
            return cleanupTitle(*name);
    }
    const QString fromFileName = cleanupTitle(QFileInfo(bundle.path).completeBaseName());
    // A bundle named only by blanks still gets a title that can be shown and matched.
    return fromFileName.isEmpty() ? bundleIdentifier : fromFileName;
}

QString SystemSettingsPanes::cleanupTitle(const QString &title) {
    thread_local const QRegularExpression wordJoint(QStringLiteral("([a-z0-9])([A-Z])"));
    thread_local const QRegularExpression blanks(QStringLiteral("\\s+"),
                                                 QRegularExpression::UseUnicodePropertiesOption);
    QString text = StringUtils::trimmedWhitespaceAndNewlines(title);
    text.replace(wordJoint, QStringLiteral("\\1 \\2"));
    for (const QLatin1String ending :
         {QLatin1String(" Settings Extension"), QLatin1String(" Settings Intents Extension"),
          QLatin1String(" Intents Extension"), QLatin1String(" Extension"), QLatin1String(" Settings")}) {
        if (text.endsWith(ending))
            text.chop(ending.size());
    }
    text.replace(blanks, QStringLiteral(" "));
    return StringUtils::trimmedWhitespaceAndNewlines(text);
}

QStringList SystemSettingsPanes::keywords(const QString &title, const QString &bundleIdentifier) {
    const QString lowerTitle = title.toLower();
    QStringList keywords;
    appendUnique(keywords, lowerTitle);
    for (const auto &[contained, added] : keywordTable())
        if (lowerTitle.contains(contained))
            for (const QString &keyword : added)
                appendUnique(keywords, keyword);
    for (const QString &piece : alphanumericPieces(bundleIdentifier.toLower()))
        if (StringUtils::graphemeCount(piece) >= 2)
            appendUnique(keywords, piece);
    return keywords;
}

QList<SystemSettingsShortcut> SystemSettingsPanes::merge(const QList<SystemSettingsShortcut> &preferred,
                                                         const QList<SystemSettingsShortcut> &discovered) {
    QList<SystemSettingsShortcut> merged;
    QSet<QString> seen;
    for (const QList<SystemSettingsShortcut> *list : {&preferred, &discovered})
        for (const SystemSettingsShortcut &pane : *list)
            if (const QString identity = pane.primaryURLString.toLower(); !seen.contains(identity)) {
                seen.insert(identity);
                merged.append(pane);
            }
    std::stable_sort(merged.begin(), merged.end(),
                     [](const SystemSettingsShortcut &a, const SystemSettingsShortcut &b) {
                         return titleLessThan(a.title, b.title);
                     });
    return merged;
}

QList<SystemSettingsShortcut> SystemSettingsPanes::openable(const QList<SystemSettingsShortcut> &shortcuts,
                                                            const DesktopEntryEnvironment &environment) {
    QList<SystemSettingsShortcut> openable;
    for (const SystemSettingsShortcut &pane : shortcuts) {
        if (systemSettingsTarget(pane.primaryURLString, environment) ||
            (pane.fallbackURLString && systemSettingsTarget(*pane.fallbackURLString, environment)))
            openable.append(pane);
    }
    return openable;
}

SearchResults SystemSettingsPanes::rows(const SearchContext &context,
                                        const QList<SystemSettingsShortcut> &shortcuts) {
    const QString &queryLowercased = context.queryLowercased();
    if (queryLowercased.isEmpty())
        return {};
    QList<std::pair<MatchTier, SearchResult>> matches;
    for (const SystemSettingsShortcut &pane : shortcuts) {
        const MatchTier tier = matchTier(pane, queryLowercased);
        if (tier == MatchTier::none)
            continue;
        const SearchResult row({
            .id = stableNegativeID(QStringLiteral("action://system-settings/") + pane.primaryURLString),
            .filename = pane.title,
            .directory = pane.subtitle,
            .kind = SearchResultKind::action,
            .action = SearchResultAction::openSystemSettings,
            .actionURLString = pane.primaryURLString,
            .fallbackActionURLString = pane.fallbackURLString,
        });
        matches.append({tier, context.withLearnedOpenCount(row)});
    }
    std::stable_sort(matches.begin(), matches.end(), [](const auto &a, const auto &b) {
        if (a.first != b.first)
            return a.first > b.first;
        return titleLessThan(a.second.filename(), b.second.filename());
    });
    SearchResults rows;
    for (qsizetype i = 0; i < matches.size() && i < 10; ++i)
        rows.append(matches[i].second);
    return rows;
}

} // namespace orvex
