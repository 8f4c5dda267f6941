#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

// One desktop entry file (the freedesktop.org format in which a Linux desktop describes its
// applications): the keys of its "Desktop Entry" group, read without trusting the file, and the rules
// by which a desktop decides whether to show and how to start the application.
class DesktopEntry {
public:
    // Larger files are refused: real entries are a few kilobytes, even with every translation.
    static constexpr qint64 maxFileBytes = 512 * 1024;

    // Nothing when the file cannot be read safely or has no "Desktop Entry" group. A key whose value
    // is not UTF-8 is read as absent (see isUnreadable()), as GIO reads it; the rest of the entry stays.
    static std::optional<DesktopEntry> readFile(const QString &path);
    static std::optional<DesktopEntry> parse(const QByteArray &bytes);

    // A string value with its escapes (\s, \n, \t, \r, \\) resolved; nothing when the key is absent.
    std::optional<QString> string(const QString &key) const;
    // The translation for the first of `locales` (message locales such as "de_DE.UTF-8", most preferred
    // first) that the entry has, tried as lang_COUNTRY@MODIFIER, lang_COUNTRY, lang@MODIFIER, lang;
    // else the untranslated value.
    std::optional<QString> localeString(const QString &key, const QStringList &locales) const;
    // The key is in the group but its value is not UTF-8: every reading above treats it as absent.
    bool isUnreadable(const QString &key) const;
    // True only for "true" (and "1", which older writers use).
    bool boolean(const QString &key) const;
    // A list value split at each ";" that is not escaped as "\;"; empty pieces are dropped.
    QStringList strings(const QString &key) const;

    // "Type" is "Application".
    bool isApplication() const;
    // Whether a desktop named by `desktopNames` (XDG_CURRENT_DESKTOP, in order) shows the entry under
    // "OnlyShowIn" and "NotShowIn": the first name listed in either decides; none listed, it is shown
    // unless "OnlyShowIn" names desktops.
    bool isShownIn(const QStringList &desktopNames) const;
    // Whether "TryExec", when present, names an executable file: a path as it is, a bare name in one of
    // the folders of `searchPath`.
    bool hasInstalledTryExec(const QStringList &searchPath) const;

    // "Exec" split into the program and its arguments, with no files to hand over: file and address
    // field codes are dropped, %c becomes the name for `locales`, %k the entry's path, %i "--icon" and
    // the icon, %% a percent sign. Nothing when "Exec" is absent, empty or its quoting is broken.
    std::optional<QStringList> commandLine(const QString &entryPath, const QStringList &locales) const;

    // A program as a command line or "TryExec" names it, as an executable file: a path as it is, a bare
    // name in the first folder of `searchPath` that holds it. Nothing when there is none.
    static std::optional<QString> findProgram(const QString &program, const QStringList &searchPath);

    // The messages locale forms tried for one locale, most specific first; none for "C" and "POSIX".
    static QStringList localeVariants(const QString &locale);

private:
    struct Reader;
    // The first line of a key decides, readable or not.
    bool has(const QString &key) const;

    QHash<QString, QString> values_; // raw values of the group, keys with their [locale] part
    QSet<QString> unreadable_;
};

} // namespace orvex
