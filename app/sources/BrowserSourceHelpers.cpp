#include "sources/BrowserSourceHelpers.h"

#include "platform/StringUtils.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>

namespace orvex::BrowserSourceHelpers {

namespace {

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Browsers leave "|", "^", "`", "{", "}" and a stray "%" unescaped in the addresses they report and
// store, which a strict parser refuses; they are escaped for the check only. A backslash stays refused:
// browsers read it as "/", which would move the host away from the one shown.
QString escapedAsBrowsersWouldMeanIt(const QString &text) {
    QString escaped;
    escaped.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'%' && !(i + 2 < text.size() && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2])))
            escaped += QLatin1String("%25");
        else if (QStringView(u"|^`{}").contains(c))
            escaped += QLatin1Char('%') + QString::number(c.unicode(), 16).toUpper();
        else
            escaped += c;
    }
    return escaped;
}

QString schemeOf(const QString &urlText) {
    const qsizetype colon = urlText.indexOf(QLatin1Char(':'));
    return colon > 0 ? urlText.left(colon).toLower() : QString();
}

// The host of an address whose scheme the caller has checked.
std::optional<QString> addressHost(const QString &urlText) {
    const qsizetype colon = urlText.indexOf(QLatin1Char(':'));
    // The host is read from the text: QUrl would lowercase and IDNA-convert it, and it refuses the
    // percent-encoded hosts that browsers do report.
    qsizetype hostStart = colon + 1;
    qsizetype hostEnd = hostStart;
    if (QStringView(urlText).mid(hostStart).startsWith(u"//")) {
        const qsizetype authorityStart = hostStart + 2;
        qsizetype authorityEnd = authorityStart;
        while (authorityEnd < urlText.size() && urlText[authorityEnd] != u'/' &&
               urlText[authorityEnd] != u'?' && urlText[authorityEnd] != u'#')
            ++authorityEnd;
        const QStringView authority = QStringView(urlText).mid(authorityStart, authorityEnd - authorityStart);
        hostStart = authorityStart + authority.lastIndexOf(u'@') + 1;
        hostEnd = hostStart;
        if (hostEnd < authorityEnd && urlText[hostEnd] == u'[') {
            while (hostEnd < authorityEnd && urlText[hostEnd] != u']')
                ++hostEnd;
            hostEnd = std::min(hostEnd + 1, authorityEnd);
        } else {
            while (hostEnd < authorityEnd && urlText[hostEnd] != u':')
                ++hostEnd;
        }
    }
    QString host = urlText.mid(hostStart, hostEnd - hostStart);
    QString checked = urlText;
    if (host.contains(QLatin1Char('%'))) {
        const QByteArray decoded = QByteArray::fromPercentEncoding(host.toUtf8());
        QStringDecoder utf8(QStringDecoder::Utf8);
        host = utf8.decode(decoded);
        // A decoded host must still be one host, not new address syntax.
        static const QRegularExpression addressSyntax(QStringLiteral("[/?#@:\\[\\]\\s%]"));
        if (utf8.hasError() || host.contains(addressSyntax))
            return std::nullopt;
        checked.replace(hostStart, hostEnd - hostStart, host);
    }
    if (!QUrl(escapedAsBrowsersWouldMeanIt(checked), QUrl::StrictMode).isValid())
        return std::nullopt;
    if (host.startsWith(QLatin1Char('[')))
        host = host.mid(1, host.size() - (host.endsWith(QLatin1Char(']')) ? 2 : 1));
    return host;
}

} // namespace

std::optional<QString> webAddressHost(const QString &urlText) {
    const QString scheme = schemeOf(urlText);
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;
    return addressHost(urlText);
}

std::optional<QString> bookmarkAddressPlace(const QString &urlText) {
    const QString scheme = schemeOf(urlText);
    if (scheme == QLatin1String("ftp")) {
        const std::optional<QString> host = addressHost(urlText);
        return host && !host->isEmpty() ? host : std::nullopt;
    }
    if (scheme != QLatin1String("file"))
        return webAddressHost(urlText);
    // Only a file of this machine: a "file" address naming another host is no local path.
    const QUrl url(urlText, QUrl::StrictMode);
    if (!url.isValid() ||
        (!url.host().isEmpty() && url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0))
        return std::nullopt;
    const QString path = url.path(QUrl::FullyDecoded);
    if (!path.startsWith(QLatin1Char('/')))
        return std::nullopt;
    return path;
}

QString rowTitle(const QString &title, const QString &host) {
    const QString hostLabel = host.isEmpty() ? QStringLiteral("website") : host;
    if (title.isEmpty())
        return hostLabel;
    return title + QStringLiteral(" \u2014 ") + hostLabel;
}

int matchTier(const QString &queryLowercased, const QString &titleLowercased, const QString &hostLowercased,
              const QString &urlLowercased, const QString &alsoContainsLowercased) {
    if (titleLowercased == queryLowercased || hostLowercased == queryLowercased)
        return 4;
    if (titleLowercased.startsWith(queryLowercased) || hostLowercased.startsWith(queryLowercased))
        return 3;
    if (titleLowercased.contains(queryLowercased) || hostLowercased.contains(queryLowercased) ||
        (!alsoContainsLowercased.isEmpty() && alsoContainsLowercased.contains(queryLowercased)))
        return 2;
    if (urlLowercased.contains(queryLowercased))
        return 1;
    return 0;
}

SearchResults rankedRows(QList<std::pair<int, SearchResult>> tieredRows, qsizetype limit) {
    std::stable_sort(tieredRows.begin(), tieredRows.end(), [](const auto &a, const auto &b) {
        if (a.first != b.first)
            return a.first > b.first;
        if (a.second.openCount() != b.second.openCount())
            return a.second.openCount() > b.second.openCount();
        return StringUtils::localizedCaseInsensitiveCompare(a.second.filename(), b.second.filename()) < 0;
    });
    SearchResults rows;
    const qsizetype count = std::min(limit, tieredRows.size());
    rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        rows.append(tieredRows[i].second);
    return rows;
}

} // namespace orvex::BrowserSourceHelpers
