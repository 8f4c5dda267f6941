#include "DesktopEntry.h"

#include "SafeFile.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace orvex {

namespace {

const QString &desktopEntryGroup() {
    static const QString group = QStringLiteral("Desktop Entry");
    return group;
}

// A key as the format allows it: letters, digits and "-", then at most one "[locale]".
bool isValidKey(QStringView key) {
    qsizetype i = 0;
    while (i < key.size() && (key[i].isLetterOrNumber() || key[i] == QLatin1Char('-')) &&
           key[i].unicode() < 0x80)
        ++i;
    if (i == 0)
        return false;
    if (i == key.size())
        return true;
    return key[i] == QLatin1Char('[') && key.endsWith(QLatin1Char(']')) && key.size() - i > 2 &&
           !key.mid(i + 1, key.size() - i - 2).contains(QLatin1Char('[')) &&
           !key.mid(i + 1, key.size() - i - 2).contains(QLatin1Char(']'));
}

// Resolves the string escapes; with `splitList`, an unescaped ";" ends a piece and "\;" is a ";".
QStringList unescaped(const QString &raw, bool splitList) {
    QStringList pieces;
    QString current;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c == QLatin1Char('\\') && i + 1 < raw.size()) {
            const QChar next = raw.at(++i);
            switch (next.unicode()) {
            case 's':
                current += QLatin1Char(' ');
                break;
            case 'n':
                current += QLatin1Char('\n');
                break;
            case 't':
                current += QLatin1Char('\t');
                break;
            case 'r':
                current += QLatin1Char('\r');
                break;
            case '\\':
                current += QLatin1Char('\\');
                break;
            case ';':
                current += QLatin1Char(';');
                break;
            default:
                // Not an escape the format knows: kept as written.
                current += c;
                current += next;
            }
        } else if (splitList && c == QLatin1Char(';')) {
            if (!current.isEmpty())
                pieces.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!splitList || !current.isEmpty())
        pieces.append(current);
    return pieces;
}

bool isExecutableFile(const QString &path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::readFile(const QString &path) {
    const std::optional<QByteArray> bytes = SafeFile::readRegularFile(path, maxFileBytes);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes);
}

// Reads the "Desktop Entry" group line by line.
struct DesktopEntry::Reader {
    DesktopEntry entry;
    bool inGroup = false;
    bool foundGroup = false;

    void readLine(QStringView line) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            return;
        if (trimmed.startsWith(QLatin1Char('['))) {
            // Only the first "Desktop Entry" group counts; actions and other groups are not read.
            const bool isEntryGroup = trimmed.endsWith(QLatin1Char(']')) &&
                                      trimmed.mid(1, trimmed.size() - 2) == desktopEntryGroup();
            inGroup = isEntryGroup && !foundGroup;
            foundGroup = foundGroup || isEntryGroup;
            return;
        }
        if (!inGroup)
            return;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return;
        const QString key = line.left(equals).trimmed().toString();
        if (!isValidKey(key) || entry.has(key))
            return;
        // Blanks around the value are not part of it; a meaningful one is written "\s".
        entry.values_.insert(key, line.mid(equals + 1).trimmed().toString());
    }

    // A line that is not UTF-8: it still ends the group when it starts another, and a key whose value
    // is not UTF-8 is known as unreadable, which no reading of the entry sees.
    void readUnreadableLine(QByteArrayView line) {
        const QByteArrayView trimmed = line.trimmed();
        if (trimmed.startsWith('#'))
            return;
        if (trimmed.startsWith('[')) {
            inGroup = false; // not UTF-8, so not "Desktop Entry"
            return;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inGroup || equals < 0 || !line.first(equals).isValidUtf8())
            return;
        const QString key = QString::fromUtf8(line.first(equals)).trimmed();
        if (isValidKey(key) && !entry.has(key))
            entry.unreadable_.insert(key);
    }
};

std::optional<DesktopEntry> DesktopEntry::parse(const QByteArray &bytes) {
    Reader reader;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (!decoder.hasError()) {
        for (QStringView line : QStringView(text).split(QLatin1Char('\n')))
            reader.readLine(line);
    } else {
        // One value in another encoding (a Latin-1 comment) leaves out that key, not the entry.
        QByteArrayView rest(bytes);
        if (rest.startsWith("\xEF\xBB\xBF"))
            rest = rest.sliced(3); // a byte-order mark, as the decoder drops it
        while (!rest.isEmpty()) {
            const qsizetype newline = rest.indexOf('\n');
            const QByteArrayView line = newline < 0 ? rest : rest.first(newline);
            rest = newline < 0 ? QByteArrayView() : rest.sliced(newline + 1);
            if (line.isValidUtf8())
                reader.readLine(QString::fromUtf8(line));
            else
                reader.readUnreadableLine(line);
        }
    }
    if (!reader.foundGroup)
        return std::nullopt;
    return std::move(reader.entry);
}

bool DesktopEntry::isUnreadable(const QString &key) const {
    return unreadable_.contains(key);
}

bool DesktopEntry::has(const QString &key) const {
    return values_.contains(key) || unreadable_.contains(key);
}

std::optional<QString> DesktopEntry::string(const QString &key) const {
    const auto it = values_.constFind(key);
    if (it == values_.constEnd())
        return std::nullopt;
    return unescaped(*it, false).value(0);
}

std::optional<QString> DesktopEntry::localeString(const QString &key, const QStringList &locales) const {
    for (const QString &locale : locales) {
        for (const QString &variant : localeVariants(locale)) {
            if (auto value = string(key + QLatin1Char('[') + variant + QLatin1Char(']')))
                return value;
        }
    }
    return string(key);
}

bool DesktopEntry::boolean(const QString &key) const {
    const auto value = string(key);
    return value && (*value == QLatin1String("true") || *value == QLatin1String("1"));
}

QStringList DesktopEntry::strings(const QString &key) const {
    const auto it = values_.constFind(key);
    if (it == values_.constEnd())
        return {};
    return unescaped(*it, true);
}

bool DesktopEntry::isApplication() const {
    return string(QStringLiteral("Type")) == QLatin1String("Application");
}

bool DesktopEntry::isShownIn(const QStringList &desktopNames) const {
    const QStringList only = strings(QStringLiteral("OnlyShowIn"));
    const QStringList not_ = strings(QStringLiteral("NotShowIn"));
    for (const QString &name : desktopNames) {
        if (only.contains(name))
            return true;
        if (not_.contains(name))
            return false;
    }
    return only.isEmpty();
}

bool DesktopEntry::hasInstalledTryExec(const QStringList &searchPath) const {
    const auto tryExec = string(QStringLiteral("TryExec"));
    return !tryExec || tryExec->isEmpty() || findProgram(*tryExec, searchPath);
}

std::optional<QString> DesktopEntry::findProgram(const QString &program, const QStringList &searchPath) {
    if (program.isEmpty())
        return std::nullopt;
    if (program.contains(QLatin1Char('/')))
        return isExecutableFile(program) ? std::optional(program) : std::nullopt;
    for (const QString &folder : searchPath) {
        const QString path = folder + QLatin1Char('/') + program;
        if (!folder.isEmpty() && isExecutableFile(path))
            return path;
    }
    return std::nullopt;
}

std::optional<QStringList> DesktopEntry::commandLine(const QString &entryPath,
                                                     const QStringList &locales) const {
    const auto exec = string(QStringLiteral("Exec"));
    if (!exec)
        return std::nullopt;
    QStringList arguments;
    QString current;
    bool inArgument = false; // something was written, even if it expanded to nothing
    bool quoted = false;     // the argument holds a quoted part, so it stays even when empty
    bool inQuotes = false;
    const auto finish = [&] {
        if (inArgument && (quoted || !current.isEmpty()))
            arguments.append(current);
        current.clear();
        inArgument = quoted = false;
    };
    const QString &e = *exec;
    for (qsizetype i = 0; i < e.size(); ++i) {
        const QChar c = e.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else if (c == QLatin1Char('\\') && i + 1 < e.size() &&
                       QStringView(u"\"`$\\").contains(e.at(i + 1))) {
                current += e.at(++i);
            } else {
                current += c;
            }
            continue;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            finish();
        } else if (c == QLatin1Char('"')) {
            inQuotes = quoted = inArgument = true;
        } else if (c == QLatin1Char('%')) {
            inArgument = true;
            if (i + 1 >= e.size())
                break;
            switch (e.at(++i).unicode()) {
            case '%':
                current += QLatin1Char('%');
                break;
            case 'c':
                current += localeString(QStringLiteral("Name"), locales).value_or(QString());
                break;
            case 'k':
                current += entryPath;
                break;
            case 'i':
                if (const auto icon = string(QStringLiteral("Icon")); icon && !icon->isEmpty()) {
                    finish();
                    arguments << QStringLiteral("--icon") << *icon;
                }
                break;
            default:
                // %f, %F, %u, %U: no files are handed over; the deprecated and unknown codes expand to
                // nothing.
                break;
            }
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inQuotes)
        return std::nullopt;
    finish();
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return std::nullopt;
    return arguments;
}

QStringList DesktopEntry::localeVariants(const QString &locale) {
    const QString trimmed = locale.trimmed();
    if (trimmed.isEmpty() || trimmed == QLatin1String("C") || trimmed == QLatin1String("POSIX") ||
        trimmed.startsWith(QLatin1String("C.")))
        return {};
    QString rest = trimmed;
    QString modifier;
    if (const qsizetype at = rest.indexOf(QLatin1Char('@')); at >= 0) {
        modifier = rest.mid(at + 1);
        rest.truncate(at);
    }
    if (const qsizetype dot = rest.indexOf(QLatin1Char('.')); dot >= 0)
        rest.truncate(dot); // the encoding plays no part
    QString country;
    if (const qsizetype underscore = rest.indexOf(QLatin1Char('_')); underscore >= 0) {
        country = rest.mid(underscore + 1);
        rest.truncate(underscore);
    }
    const QString &language = rest;
    if (language.isEmpty())
        return {};
    QStringList variants;
    if (!country.isEmpty() && !modifier.isEmpty())
        variants.append(language + QLatin1Char('_') + country + QLatin1Char('@') + modifier);
    if (!country.isEmpty())
        variants.append(language + QLatin1Char('_') + country);
    if (!modifier.isEmpty())
        variants.append(language + QLatin1Char('@') + modifier);
    variants.append(language);
    return variants;
}

} // namespace orvex
