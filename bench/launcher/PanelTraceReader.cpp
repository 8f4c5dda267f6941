#include "PanelTraceReader.h"

#include <QFileInfo>
#include <QUrl>

namespace orvex::bench {

void PanelTraceReader::follow(const QString &path) {
    path_ = path;
    offset_ = QFileInfo(path).exists() ? QFileInfo(path).size() : 0;
    partial_.clear();
    lists_.clear();
    paints_.clear();
    searches_.clear();
}

void PanelTraceReader::update() {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= offset_)
        return;
    file.seek(offset_);
    const QByteArray bytes = file.readAll();
    offset_ += bytes.size();
    partial_ += bytes;
    qsizetype end = 0;
    while ((end = partial_.indexOf('\n')) >= 0) {
        const QList<QByteArray> fields = partial_.left(end).split(' ');
        partial_.remove(0, end + 1);
        if (fields.size() < 3)
            continue;
        const MonotonicClock::time_point at{std::chrono::nanoseconds(fields.at(0).toLongLong())};
        if (fields.at(1) == "list" && fields.size() >= 6) {
            TracedList list;
            list.at = at;
            list.number = fields.at(2).toInt();
            list.preview = fields.at(3) == "preview";
            list.rows = fields.at(4).toInt();
            list.fingerprint = fields.at(5).toULongLong(nullptr, 16);
            list.query = fields.size() > 6 ? QUrl::fromPercentEncoding(fields.at(6)) : QString();
            lists_.push_back(list);
        } else if (fields.at(1) == "paint") {
            paints_.push_back({at, fields.at(2).toInt()});
        } else if (fields.at(1) == "search" && fields.size() >= 4) {
            const MonotonicClock::time_point start{std::chrono::nanoseconds(fields.at(2).toLongLong())};
            searches_.push_back({start, at, QUrl::fromPercentEncoding(fields.at(3))});
        }
    }
}

std::optional<TracedList> PanelTraceReader::lastList(MonotonicClock::time_point from) const {
    if (lists_.empty() || lists_.back().at < from)
        return std::nullopt;
    return lists_.back();
}

std::optional<TracedList> PanelTraceReader::firstList(MonotonicClock::time_point from, bool preview,
                                                      const QString &query) const {
    for (const TracedList &list : lists_) {
        if (list.at >= from && list.preview == preview && list.query == query)
            return list;
    }
    return std::nullopt;
}

std::optional<TracedPaint> PanelTraceReader::paintOf(int list) const {
    for (const TracedPaint &paint : paints_) {
        if (paint.list == list)
            return paint;
    }
    return std::nullopt;
}

std::optional<TracedSearch> PanelTraceReader::lastSearch(const QString &query,
                                                         MonotonicClock::time_point by) const {
    std::optional<TracedSearch> last;
    for (const TracedSearch &search : searches_) {
        if (search.query == query && search.end <= by)
            last = search;
    }
    return last;
}

} // namespace orvex::bench
