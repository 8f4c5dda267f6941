#include "sources/BrowserSourceHelpers.h"

#include "platform/StringUtils.h"

#include <QUrl>

#include <algorithm>

namespace orvex::BrowserSourceHelpers {

std::optional<QString> webAddressHost(const QString &urlText) {
    const QUrl url(urlText, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;

    // QUrl would lowercase and IDNA-convert the host; rows show it as the address wrote it.
    const qsizetype colon = urlText.indexOf(QLatin1Char(':'));
    const QStringView rest = QStringView(urlText).mid(colon + 1);
    if (!rest.startsWith(u"//"))
        return QString();
    QStringView authority = rest.mid(2);
    const qsizetype authorityEnd = [&] {
        for (qsizetype i = 0; i < authority.size(); ++i) {
            const QChar c = authority[i];
            if (c == u'/' || c == u'?' || c == u'#')
                return i;
        }
        return authority.size();
    }();
    authority = authority.left(authorityEnd);
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0)
        authority = authority.mid(at + 1);
    QStringView host;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        host = close > 0 ? authority.mid(1, close - 1) : authority.mid(1);
    } else {
        const qsizetype portColon = authority.indexOf(u':');
        host = portColon >= 0 ? authority.left(portColon) : authority;
    }
    return QUrl::fromPercentEncoding(host.toUtf8());
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
